#pragma once

#include "TnvSimParameter.h"

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

// The holding registers of the simulated drive, laid out by the parameter
// definitions. Parameters with the same first register and size share their
// registers (aliases); any other overlap is refused. Accessors by index are
// forgiving: an undefined index reads as 0 and ignores writes, so the drive
// model runs against a partial definitions file.
class TnvSimRegisterStore {
public:
    // Raises TnvError when two parameters overlap without being aliases.
    explicit TnvSimRegisterStore(std::vector<TnvSimParameter> parameters);

    const std::vector<TnvSimParameter>& Parameters() const { return FParameters; }
    const TnvSimParameter* Find(uint32_t index) const;
    // The parameter whose first register is address, or none.
    const TnvSimParameter* StartingAt(uint16_t address) const;

    bool IsMapped(uint16_t address) const { return FRegisters.count(address) != 0; }
    bool IsWritable(uint16_t address) const;
    // Unmapped registers read as 0 and ignore writes.
    uint16_t Register(uint16_t address) const;
    void SetRegister(uint16_t address, uint16_t word);
    // Indices of the parameters that own registers in [first, first + count).
    std::vector<uint32_t> ParametersIn(uint16_t first, uint32_t count) const;

    std::vector<uint16_t> Words(uint32_t index) const;
    void SetWords(uint32_t index, const std::vector<uint16_t>& words);
    uint16_t Word(uint32_t index) const;
    void SetWord(uint32_t index, uint16_t word);
    // The raw value (16 or 32 bits, signed unless Unsigned) times FormatNorm
    // plus FormatOffset; the setter rounds to the nearest raw value it can hold.
    double Physical(uint32_t index) const;
    void SetPhysical(uint32_t index, double value);

    // The working parameter whose stored copy is storedIndex, if any.
    const TnvSimParameter* WorkingOf(uint32_t storedIndex) const;

private:
    struct TSlot {
        uint16_t Word = 0;
        bool Writable = true; // false when any alias is read-only
        std::vector<uint32_t> Owners;
    };
    int64_t Raw(const TnvSimParameter& par) const;

    std::vector<TnvSimParameter> FParameters;
    std::unordered_map<uint32_t, size_t> FByIndex;
    std::map<uint16_t, TSlot> FRegisters;
};
