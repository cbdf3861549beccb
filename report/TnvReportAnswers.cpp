#include "TnvReportAnswers.h"

#include "NvConfigFile.h"
#include "NvConvert.h"
#include "NvFormat.h"
#include "NvIndexList.h"
#include "NvParIndex.h"
#include "NvVFPicture.h"
#include "TnvError.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"
#include "TnvReportHtml.h"

#include <QBuffer>
#include <array>

namespace {

constexpr std::array<const char*, 13> kFaultCaptions = {
    "Over voltage", "Under voltage",  "Drive over heating", "Motor over heating", "Power failure",
    "Over current", "Power IxT",      "Motor IIxT",         "Invalid parameters", "Offset limit",
    "EEPROM Error", "EEPROM default", "Communication Lost"};

const QSize kVFPictureSize(480, 320);

// The number after key's prefix, or -1 when key is not prefix and a number.
int NumberAfter(const QString& key, const char* prefix) {
    const QString start = QString::fromLatin1(prefix);
    int number = -1;
    if (!key.startsWith(start) || !nv::TryStrToInt(key.mid(start.size()), number) || number < 0)
        return -1;
    return number;
}

bool InCategory(const TnvParDefSet& defs, const char* category, std::uint32_t index) {
    bool found = false;
    try {
        nv::ForEachListedIndex(defs.GetCategoryIdxList(QString::fromLatin1(category)),
                               [&](std::uint32_t listed) {
                                   found = found || listed == index;
                                   return true;
                               });
    } catch (const TnvError&) {
        // A malformed list: the indices before the bad token were seen.
    }
    return found;
}

} // namespace

TnvReportAnswers::TnvReportAnswers(TnvParDefSet& defs, TnvParValueSet& values)
    : FDefs(defs)
    , FValues(values)
    , FSlave(values.GetSlaveAddress()) {}

void TnvReportAnswers::SetIdentification(const QString& hardware, const QString& firmware) {
    FHardware = hardware;
    FFirmware = firmware;
}

void TnvReportAnswers::Attach(TnvReportHtml& report) {
    report.SetValueSet(&FValues);
    report.OnDescriptor = [this](TnvReportHtml*, const QString& key) {
        return Descriptor(key);
    };
    report.OnCondition = [this](TnvReportHtml*, const QString& key) {
        return Condition(key);
    };
    report.OnMessage = [this](TnvReportHtml*, const QString& key) {
        return Message(key);
    };
    report.OnDescription = [this](TnvReportHtml*, const QString&, const TnvParCode& code) {
        return Description(code.Index);
    };
}

QStringList TnvReportAnswers::Compile(const QString& templateFile, const QString& databaseFile) {
    TnvReportHtml report;
    report.SetName(QStringLiteral("Report"));
    report.SetDatabaseName(databaseFile);
    Attach(report);
    report.CreateReport(templateFile);
    return report.GetReportList();
}

QString TnvReportAnswers::Descriptor(const QString& key) const {
    if (key == "Date")
        return nv::FormatDateTime(QStringLiteral("dd/mm/yyyy hh:nn:ss"),
                                  FDateSet ? FDate : nv::Now());
    if (key == "Slave")
        return QString::number(FSlave);
    if (key == "Hardware")
        return FHardware.toHtmlEscaped();
    if (key == "Firmware")
        return FFirmware.toHtmlEscaped();
    if (key == "Size")
        return nv::DriveSizeText(Word(nv::par::kSizeCode)).toHtmlEscaped();
    if (key == "VFCurve")
        return VFCurveImage();
    if (const int index = NumberAfter(key, "Faults"); index >= 0)
        return FaultList(static_cast<std::uint32_t>(index));
    if (const int index = NumberAfter(key, "FaultFilter"); index >= 0)
        return FaultFilter(static_cast<std::uint32_t>(index));
    if (const int index = NumberAfter(key, "Word"); index >= 0)
        return HasValue(static_cast<std::uint32_t>(index))
                   ? QString::asprintf("0x%04X", Word(static_cast<std::uint32_t>(index)))
                   : QString();
    return QString();
}

bool TnvReportAnswers::Condition(const QString& key) const {
    if (key == "Identified")
        return !FHardware.isEmpty();
    if (const int index = NumberAfter(key, "Fault"); index >= 0)
        return Word(static_cast<std::uint32_t>(index)) != 0;
    return false;
}

QString TnvReportAnswers::Message(const QString& key) const {
    if (const int bit = NumberAfter(key, "Fault"); bit >= 0)
        return FaultCaption(bit);
    if (const int index = NumberAfter(key, "Place"); index >= 0)
        return Place(static_cast<std::uint32_t>(index));
    return QString();
}

QString TnvReportAnswers::Description(std::int32_t index) const {
    const TnvParValue* value =
        index < 0 ? nullptr : FValues.FindValue(static_cast<std::uint32_t>(index));
    return value ? value->GetParDef().Descr.toHtmlEscaped() : QString();
}

QString TnvReportAnswers::FaultCaption(int bit) {
    return bit >= 0 && bit < static_cast<int>(kFaultCaptions.size())
               ? QString::fromLatin1(kFaultCaptions[static_cast<std::size_t>(bit)])
               : QString();
}

bool TnvReportAnswers::HasValue(std::uint32_t index) const {
    return FValues.FindValue(index) != nullptr;
}

std::uint16_t TnvReportAnswers::Word(std::uint32_t index) const {
    TnvParValue* value = FValues.FindValue(index);
    if (!value)
        return 0;
    try {
        return value->GetValueUShort(0);
    } catch (const TnvError&) {
        return 0; // not a 16-bit word
    }
}

QString TnvReportAnswers::Place(std::uint32_t index) const {
    const TnvParValue* value = FValues.FindValue(index);
    if (!value)
        return QString();
    const TnvParDef& def = value->GetParDef();
    if (InCategory(FDefs, "EEProm", index))
        return QStringLiteral("EEPROM");
    if (InCategory(FDefs, "Flash", index))
        return QStringLiteral("Flash");
    if (def.RegProg != def.RegAddr && HasValue(def.RegProg))
        return QStringLiteral("RAM (stored as %1)").arg(def.RegProg);
    return QStringLiteral("RAM");
}

QString TnvReportAnswers::FaultList(std::uint32_t index) const {
    const std::uint16_t word = Word(index);
    QStringList captions;
    for (int bit = 0; bit < static_cast<int>(kFaultCaptions.size()); ++bit)
        if (word & (1U << bit))
            captions << FaultCaption(bit);
    return captions.isEmpty() ? QStringLiteral("None") : captions.join(QStringLiteral(", "));
}

QString TnvReportAnswers::FaultFilter(std::uint32_t index) const {
    const std::uint16_t word = Word(index);
    QStringList bits;
    for (int bit = 0; bit < 16; ++bit)
        if (word & (1U << bit))
            bits << QString::number(bit);
    // "0" keeps no record: the TABLE tag then shows its EMPTY text.
    return bits.isEmpty() ? QStringLiteral("0") : QStringLiteral("bit IN (%1)").arg(bits.join(','));
}

QString TnvReportAnswers::VFCurveImage() const {
    const nv::TVFWords words{.MainVoltage = Word(nv::par::kMainVoltage),
                             .StartVoltage = Word(nv::par::kStartVoltage),
                             .BoostVoltage = Word(nv::par::kBoostVoltage),
                             .BaseVoltage = Word(nv::par::kBaseVoltage),
                             .BoostFreq = Word(nv::par::kBoostFrequency),
                             .BaseFreq = Word(nv::par::kBaseFrequency),
                             .MinFreq = Word(nv::par::kMinFrequency),
                             .MaxFreq = Word(nv::par::kMaxFrequency),
                             .SizeCode = Word(nv::par::kSizeCode)};
    const QImage image = nv::DrawVFCurve(words, kVFPictureSize);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"%2\" height=\"%3\" "
                          "alt=\"V/F curve: start %4 V, boost %5 V at %6 Hz, base %7 V at %8 Hz\">")
        .arg(QString::fromLatin1(png.toBase64()))
        .arg(image.width())
        .arg(image.height())
        .arg(words.StartVoltage)
        .arg(words.BoostVoltage)
        .arg(nv::FormatFloat(QStringLiteral("0.0"), words.BoostFreq * 0.1))
        .arg(words.BaseVoltage)
        .arg(nv::FormatFloat(QStringLiteral("0.0"), words.BaseFreq * 0.1));
}
