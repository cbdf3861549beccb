#include "NvConfigFile.h"

#include "NvConvert.h"
#include "NvFormat.h"
#include "NvParIndex.h"
#include "NvSaveFile.h"
#include "TnvError.h"
#include "TnvParDef.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QFile>
#include <QSaveFile>
#include <limits>

namespace nv {

namespace {

// A configuration file is a few kilobytes; anything far larger is not one,
// and is refused before it is read into memory.
constexpr qint64 kMaxConfigFileBytes = 16 * 1024 * 1024;

const QString kCompany = QStringLiteral("Velmora Drive Systems");
const QString kAddress = QStringLiteral("Service Department, 12 Drive Street, Example City");
const QString kWeb = QStringLiteral("www.velmora-drives.example");

QString Key(const TnvParDef& def, int k) {
    return QString::asprintf("%d.%d", def.RegAddr, k);
}

// An integer within [min, max]. Besides the platform's integers (decimal or
// "$"/"0x" hexadecimal, 32-bit) this takes unsigned decimals beyond 2^31, so
// that an unsigned 32-bit value the export wrote reads back.
qint64 RangedInteger(const QString& text, qint64 min, qint64 max, const TnvParDef& def) {
    qint64 number = 0;
    int small = 0;
    bool ok = false;
    if (nv::TryStrToInt(text, small)) {
        number = small;
    } else {
        number = static_cast<qint64>(text.toULongLong(&ok, 10));
        if (!ok)
            nv::StrToInt(text); // raises the platform's conversion error
    }
    if (number < min || number > max)
        throw TnvConvertError(QStringLiteral("'%1' is out of range for %2").arg(text, def.Name));
    return number;
}

bool Flag(TnvParValue& value, std::uint8_t flag) {
    return value.GetValueBit(0, flag);
}

QString ControlWordText(TnvParValue& value) {
    static const std::pair<const char*, const char*> kFlags[] = {
        {"Ramp", "Free wheel"},
        {"Speed by ModBus", "Speed by analog"},
        {"Command by ModBus", "Command by HW"},
        {"Enable+Direction", "Forward/Reverse"},
        {"Enabled edge", "Enable level"},
        {"Reset edge", "Reset level"},
    };
    QString text;
    for (std::uint8_t flag = 0; flag < std::size(kFlags); ++flag)
        text += QLatin1String(Flag(value, flag) ? kFlags[flag].first : kFlags[flag].second) +
                QStringLiteral("| ");
    return text + (Flag(value, 6) ? QStringLiteral("Th.Disabled") : QStringLiteral("Th.Enabled"));
}

QString InputsText(TnvParValue& value) {
    QString text;
    for (std::uint8_t flag = 0; flag < 3; ++flag)
        text += QStringLiteral("In%1: %2| ")
                    .arg(flag + 1)
                    .arg(Flag(value, flag) ? QStringLiteral("On") : QStringLiteral("Off"));
    return text;
}

QString SwitchingFrequencyText(TnvParValue& value) {
    static const char* const kTexts[] = {"4KHz", "8KHz", "12KHz", "16KHz"};
    const std::uint16_t index = value.GetValueUShort(0);
    return index < std::size(kTexts) ? QLatin1String(kTexts[index]) : QString();
}

QString ReportValueText(TnvParValue& value) {
    const TnvParDef& def = value.GetParDef();
    const std::uint32_t index = def.ParIndex;
    switch (def.Type) {
    case TnvParDef::tpBits:
        if (index == 18 || index == 45)
            return ControlWordText(value);
        if (index == 27 || index == 47)
            return InputsText(value);
        {
            QString text = value.GetValueText(0, 7);
            for (int flag = 6; flag >= 0; --flag)
                text += QLatin1Char(',') + value.GetValueText(0, static_cast<std::uint8_t>(flag));
            return text;
        }
    case TnvParDef::tpInt16:
        if (index == 19 || index == 46)
            return SwitchingFrequencyText(value);
        return value.GetValueNumText(0);
    case TnvParDef::tpString:
        return value.GetValueString();
    case TnvParDef::tpNone:
        return QString();
    default:
        return value.GetValueNumText(0);
    }
}

} // namespace

QString ConfigElementText(TnvParValue& value, std::uint8_t k) {
    const TnvParDef& def = value.GetParDef();
    switch (def.Type) {
    case TnvParDef::tpBits:
        return QString::number(value.GetValueUShort(k));
    case TnvParDef::tpInt8:
        return def.Unsigned ? QString::number(value.GetValueUChar(k))
                            : QString::number(value.GetValueChar(k));
    case TnvParDef::tpInt16:
        return def.Unsigned ? QString::number(value.GetValueUShort(k))
                            : QString::number(value.GetValueShort(k));
    case TnvParDef::tpInt32:
        return def.Unsigned ? QString::number(value.GetValueULong(k))
                            : QString::number(value.GetValueLong(k));
    case TnvParDef::tpDate:
        return nv::DateTimeToStr(value.GetValueDate(k, kConfigYearBase));
    case TnvParDef::tpTime:
        return nv::DateTimeToStr(value.GetValueTime(k));
    case TnvParDef::tpString:
        return value.GetValueString();
    default:
        return QString();
    }
}

void SetConfigElementText(TnvParValue& value, std::uint8_t k, const QString& text) {
    const TnvParDef& def = value.GetParDef();
    switch (def.Type) {
    case TnvParDef::tpBits:
        value.SetValueUShort(k, static_cast<std::uint16_t>(RangedInteger(text, 0, 0xFFFF, def)));
        break;
    case TnvParDef::tpInt8:
        if (def.Unsigned)
            value.SetValueUChar(k, static_cast<std::uint8_t>(RangedInteger(text, 0, 0xFF, def)));
        else
            value.SetValueChar(k, static_cast<std::int8_t>(RangedInteger(text, -128, 127, def)));
        break;
    case TnvParDef::tpInt16:
        if (def.Unsigned)
            value.SetValueUShort(k,
                                 static_cast<std::uint16_t>(RangedInteger(text, 0, 0xFFFF, def)));
        else
            value.SetValueShort(k,
                                static_cast<std::int16_t>(RangedInteger(text, -32768, 32767, def)));
        break;
    case TnvParDef::tpInt32:
        if (def.Unsigned)
            value.SetValueULong(
                k, static_cast<std::uint32_t>(RangedInteger(text, 0, 0xFFFFFFFFLL, def)));
        else
            value.SetValueLong(k, static_cast<std::int32_t>(RangedInteger(
                                      text, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max(), def)));
        break;
    case TnvParDef::tpDate:
        value.SetValueDate(k, nv::StrToDateTime(text));
        break;
    case TnvParDef::tpTime:
        value.SetValueTime(k, nv::StrToDateTime(text));
        break;
    case TnvParDef::tpString:
        value.SetValueString(text);
        break;
    default:
        break;
    }
}

QStringList ConfigFileLines(const TnvParValueSet& set) {
    QStringList lines{QStringLiteral("[Header]"),
                      QStringLiteral("Owner=KX720_VevIde"),
                      QStringLiteral("Version=") + kConfigVersion,
                      QStringLiteral("Company=") + kCompany,
                      QStringLiteral("Address=") + kAddress,
                      QStringLiteral("Web=") + kWeb,
                      QString(),
                      QStringLiteral("[KX720_Cfg]")};
    for (const auto& value : set.GetValues()) {
        const TnvParDef& def = value->GetParDef();
        for (int k = 0; k < def.Length; ++k)
            lines << Key(def, k) + QLatin1Char('=') +
                         ConfigElementText(*value, static_cast<std::uint8_t>(k));
    }
    return lines;
}

bool SaveConfigFile(const TnvParValueSet& set, const QString& fileName, QString& error) {
    if (fileName.isEmpty()) {
        error = QStringLiteral("no file name");
        return false;
    }
    QByteArray bytes;
    try {
        for (const QString& line : ConfigFileLines(set))
            bytes += line.toLatin1() + "\r\n";
    } catch (const TnvError& e) {
        error = e.Message();
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !nv::CommitSaveFile(file)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

bool TnvConfigKeys::Read(const QString& fileName, QString& error) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (file.size() > kMaxConfigFileBytes) {
        error = QStringLiteral("%1: not a configuration file (%2 bytes)")
                    .arg(fileName)
                    .arg(file.size());
        return false;
    }
    // A device reports no size: read one byte past the limit to know.
    const QByteArray bytes = file.read(kMaxConfigFileBytes + 1);
    if (bytes.size() > kMaxConfigFileBytes) {
        error = QStringLiteral("%1: not a configuration file (more than %2 bytes)")
                    .arg(fileName)
                    .arg(kMaxConfigFileBytes);
        return false;
    }
    QString text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    SetLines(text.split(QLatin1Char('\n')));
    return true;
}

void TnvConfigKeys::SetLines(const QStringList& lines) {
    FValues.clear();
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq).toLower();
        if (!FValues.contains(name))
            FValues.insert(name, line.mid(eq + 1));
    }
}

QString TnvConfigKeys::Value(const QString& key) const {
    return FValues.value(key.toLower());
}

void ApplyConfigKeys(TnvParValueSet& set, const TnvConfigKeys& keys) {
    for (const auto& value : set.GetValues()) {
        const TnvParDef& def = value->GetParDef();
        if (def.Type < TnvParDef::tpBits || def.Type > TnvParDef::tpString)
            continue;
        for (int k = 0; k < def.Length; ++k) {
            const QString text = keys.Value(Key(def, k));
            SetConfigElementText(*value, static_cast<std::uint8_t>(k),
                                 text.isNull() ? QString(QLatin1String("")) : text);
        }
    }
}

QString DriveSizeText(std::uint16_t code) {
    static const char* const kVolts[] = {"400V ", "230V "};
    static const char* const kAmps[] = {"8A(12A) ", "16A(25A) "};
    static const char* const kHertz[] = {"128Hz", "400Hz"};
    const unsigned volts = code & 0xFU;
    const unsigned amps = (code >> 4) & 0xFU;
    const unsigned hertz = (code >> 8) & 0xFU;
    return QLatin1String(volts < 2 ? kVolts[volts] : "???V ") +
           QLatin1String(amps < 2 ? kAmps[amps] : "???A ") +
           QLatin1String(hertz < 2 ? kHertz[hertz] : "???Hz");
}

QStringList ConfigReportLines(TnvParValueSet& set, int slave, nv::TDateTime now) {
    QStringList lines{QStringLiteral("KX720 Configuration Terminal v") + kConfigVersion,
                      QStringLiteral("\tReport date: ") + nv::DateTimeToStr(now),
                      QStringLiteral("\tModbus slave: ") + QString::number(slave)};
    TnvParValue* size = set.FindValue(nv::par::kSizeCode);
    QString sizeText = QStringLiteral("data error");
    if (size) {
        try {
            sizeText = DriveSizeText(size->GetValueUShort(0));
        } catch (const TnvError&) {
            // A size code of another type is as unreadable as a missing one.
        }
    }
    lines << QStringLiteral("\tDrive size: ") + sizeText << QString();
    for (const auto& value : set.GetValues()) {
        const TnvParDef& def = value->GetParDef();
        if (def.ParIndex == nv::par::kSizeCode)
            continue;
        QString text;
        try {
            text = ReportValueText(*value);
        } catch (const TnvError& e) {
            // A value the report cannot word still gets its line, with the
            // reason instead of a text, rather than losing the whole report.
            text = e.Message();
        }
        lines << QStringLiteral("  ") +
                     (def.RegProg == def.RegAddr ? QStringLiteral("RAM: ")
                                                 : QStringLiteral("EEPROM: ")) +
                     def.Descr + QStringLiteral(" = ") + text + QLatin1Char(' ');
    }
    lines << QStringLiteral("__");
    return lines;
}

std::vector<TConfigDifference> CompareConfigs(TnvParValueSet& drive, TnvParValueSet& file) {
    const auto text = [](TnvParValue& value, std::uint8_t k) {
        try {
            return ConfigElementText(value, k);
        } catch (const TnvError& e) {
            return e.Message();
        }
    };
    std::vector<TConfigDifference> differences;
    for (const auto& driveValue : drive.GetValues()) {
        const TnvParDef& def = driveValue->GetParDef();
        TnvParValue* fileValue = file.FindValue(def.ParIndex);
        if (!fileValue)
            continue;
        for (int k = 0; k < def.Length; ++k) {
            const auto element = static_cast<std::uint8_t>(k);
            TConfigDifference difference{def.ParIndex,
                                         element,
                                         def.Length,
                                         def.Name,
                                         text(*driveValue, element),
                                         text(*fileValue, element)};
            if (difference.Drive != difference.File)
                differences.push_back(std::move(difference));
        }
    }
    return differences;
}

} // namespace nv
