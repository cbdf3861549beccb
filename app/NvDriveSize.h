#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// What the drive's size code (three 4-bit classes: voltage, current,
// frequency) and its PWM index mean for the limits of its parameters.
namespace nv {

// Ampere: the nominal current of the current class derated for the PWM
// index (16 A at index 2: 12.8 A); 0.0 for an unknown class or index.
double DriveNominalCurrent(std::uint16_t sizeCode, std::uint16_t pwmIndex);
// 0.1 Hz units: 1280 or 4000; 0 for an unknown frequency class.
std::uint16_t DriveMaxFrequency(std::uint16_t sizeCode);
// 0.1 A units: 120 or 250; 0 for an unknown current class, so that no
// maximum current is accepted on a drive the terminal does not know.
std::uint16_t DriveMaxCurrent(std::uint16_t sizeCode);

// The drive-size grid of the plate data dialog, rows of ",Min,Typ.,Max":
// the title cell, then voltage, current and frequency ranges.
std::array<QStringList, 4> DriveSizeRows(std::uint16_t sizeCode, std::uint16_t pwmIndex,
                                         const QString& voltageText);

} // namespace nv
