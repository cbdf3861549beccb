#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Where one parameter lives in the simulated drive's register map and how its
// raw registers convert into a physical quantity. A plain record, filled from
// the definitions file by TnvSimDefinitions.
struct TnvSimParameter {
    uint32_t Index = 0;
    uint16_t RegAddr = 0;
    uint16_t RegCount = 1; // registers on the wire, at least 1
    // Index of the stored (EEPROM) copy of this working parameter, if it has one.
    std::optional<uint32_t> StoredIndex;
    bool IsStoredCopy = false; // this parameter is itself a stored copy
    bool Readonly = true;
    bool Unsigned = true;
    uint8_t Type = 3;
    double FormatNorm = 1.0; // physical = raw * FormatNorm + FormatOffset
    double FormatOffset = 0.0;
    QString Name;
};
