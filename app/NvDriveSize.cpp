#include "NvDriveSize.h"

#include "NvFormat.h"

#include <algorithm>

namespace nv {

namespace {

constexpr std::array<std::uint16_t, 2> kNominalCurrent{80, 160};  // 0.1 A
constexpr std::array<std::uint16_t, 2> kMaxCurrent{120, 250};     // 0.1 A
constexpr std::array<std::uint16_t, 2> kMaxFrequency{1280, 4000}; // 0.1 Hz
constexpr std::array<double, 4> kPwmDerating{1.0, 0.9, 0.8, 0.8};

unsigned CurrentClass(std::uint16_t sizeCode) {
    return (sizeCode >> 4) & 0xF;
}

unsigned FrequencyClass(std::uint16_t sizeCode) {
    return (sizeCode >> 8) & 0xF;
}

} // namespace

double DriveNominalCurrent(std::uint16_t sizeCode, std::uint16_t pwmIndex) {
    const unsigned cls = CurrentClass(sizeCode);
    if (cls >= kNominalCurrent.size() || pwmIndex >= kPwmDerating.size())
        return 0.0;
    return kNominalCurrent[cls] * 0.1 * kPwmDerating[pwmIndex];
}

std::uint16_t DriveMaxFrequency(std::uint16_t sizeCode) {
    const unsigned cls = FrequencyClass(sizeCode);
    return cls < kMaxFrequency.size() ? kMaxFrequency[cls] : 0;
}

std::uint16_t DriveMaxCurrent(std::uint16_t sizeCode) {
    const unsigned cls = CurrentClass(sizeCode);
    return cls < kMaxCurrent.size() ? kMaxCurrent[cls] : 0;
}

std::array<QStringList, 4> DriveSizeRows(std::uint16_t sizeCode, std::uint16_t pwmIndex,
                                         const QString& voltageText) {
    const double nominal = DriveNominalCurrent(sizeCode, pwmIndex);
    const double maximum = std::min(DriveMaxCurrent(sizeCode) * 0.1, 2 * nominal);
    const QString title =
        QStringLiteral("Drive size: ") +
        QString::number(sizeCode, 16).rightJustified(4, QLatin1Char('0')).toUpper() +
        QStringLiteral("h");
    return {{
        {title, QStringLiteral("Min"), QStringLiteral("Typ."), QStringLiteral("Max")},
        {QStringLiteral("Voltage range"), QString(), QString(), voltageText},
        {QStringLiteral("Current range"), QString(), FormatFloat(QStringLiteral("000.0A"), nominal),
         FormatFloat(QStringLiteral("000.0A"), maximum)},
        {QStringLiteral("Frequency range"), QStringLiteral("000Hz"), QString(),
         FormatFloat(QStringLiteral("000Hz"), DriveMaxFrequency(sizeCode) * 0.1)},
    }};
}

} // namespace nv
