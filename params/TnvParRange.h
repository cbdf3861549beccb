#pragma once

#include <QString>
#include <cstdint>

// A limit monitor that a value may own: tells whether a received value lies
// above, below or inside its limits. A plain record; GUI thread.
class TnvParRange {
public:
    // Updates State (1 above, -1 below, 0 inside; the low verdict wins when
    // both limits trip) and returns whether it differs from the previous one.
    // Mode 1 measures the limits relative to Reference (Reference +
    // Reference * High); any other Mode takes High and Low as they are.
    bool Check(double v);

    QString Name;
    std::uint8_t Mode = 0;
    double Reference = 0.0;
    double High = 0.0;
    double Low = 0.0;
    bool HighCheck = false;
    bool LowCheck = false;
    std::int8_t State = 0;
    std::int8_t PrevState = 0;
};
