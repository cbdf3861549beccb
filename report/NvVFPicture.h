#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>

namespace nv {

// The raw words the V/F picture is drawn from: main voltage (4), the curve
// (8 to 12), the frequency limits (13, 14) and the drive-size code (49).
struct TVFWords {
    std::uint16_t MainVoltage = 0;
    std::uint16_t StartVoltage = 0;
    std::uint16_t BoostVoltage = 0;
    std::uint16_t BaseVoltage = 0;
    std::uint16_t BoostFreq = 0; // 0.1 Hz
    std::uint16_t BaseFreq = 0;  // 0.1 Hz
    std::uint16_t MinFreq = 0;   // 0.1 Hz
    std::uint16_t MaxFreq = 0;   // 0.1 Hz
    std::uint16_t SizeCode = 0;
};

// The drive's V/F curve as the terminal's chart shows it, painted by the
// graph library: flat at the base voltage from the base corner up to the
// drive's maximum frequency, with the five markers. Needs a QGuiApplication
// (fonts); GUI thread.
QImage DrawVFCurve(const TVFWords& words, QSize size);

// 0.1 Hz units: 1280 or 4000 by the size code's frequency class; 0 for a
// class the terminal does not know.
std::uint16_t VFDriveMaxFrequency(std::uint16_t sizeCode);

} // namespace nv
