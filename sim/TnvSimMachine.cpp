#include "TnvSimMachine.h"

#include "TnvError.h"
#include "TnvSimRegisterStore.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr uint32_t kFaults = 2;
constexpr uint32_t kState = 401;
constexpr uint32_t kAlarm2 = 403;
constexpr uint8_t kDeviceFailure = 0x04;

bool ParseWord(const QString& text, uint16_t& word) {
    bool ok = false;
    const uint value = text.startsWith("0x", Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16)
                                                                  : text.toUInt(&ok, 10);
    word = static_cast<uint16_t>(value);
    return ok && value <= 0xFFFF;
}

} // namespace

TnvSimMachine::TnvSimMachine(TnvSimRegisterStore& store, TPrograms programs)
    : FStore(store)
    , FPrograms(std::move(programs)) {
    FStore.SetWord(kSelect, kNoProgram);
}

TnvSimMachine::TPrograms TnvSimMachine::LoadPrograms(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw TnvError(QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString()));
    // Bounded, as a device such as /dev/zero never ends; a pipe still works.
    constexpr qint64 kMaxBytes = 1 << 20;
    const QByteArray text = file.read(kMaxBytes + 1);
    if (text.size() > kMaxBytes)
        throw TnvError(QStringLiteral("%1: more than 1 MiB, no program table").arg(fileName));
    return ParsePrograms(QString::fromUtf8(text), fileName);
}

TnvSimMachine::TPrograms TnvSimMachine::ParsePrograms(const QString& text, const QString& name) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    TPrograms programs;
    const QStringList lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QStringList fields =
            lines[n].section('#', 0, 0).trimmed().split(blanks, Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        auto fail = [&] {
            throw TnvError(QStringLiteral("%1:%2: '%3' is not \"INDEX W0 W1 W2 W3\", "
                                          "\"INDEX refuse\" or \"INDEX ignore\"")
                               .arg(name)
                               .arg(n + 1)
                               .arg(lines[n].trimmed()));
        };
        uint16_t index = 0;
        if (!ParseWord(fields[0], index))
            fail();
        TProgram program;
        if (fields.size() == 2 && fields[1] == "refuse")
            program.Kind = TKind::Refuse;
        else if (fields.size() == 2 && fields[1] == "ignore")
            program.Kind = TKind::Ignore;
        else if (fields.size() != 5)
            fail();
        for (int k = 0; fields.size() == 5 && k < 4; ++k)
            if (!ParseWord(fields[k + 1], program.Header[static_cast<size_t>(k)]))
                fail();
        programs[index] = program;
    }
    return programs;
}

TnvSimMachine::TPrograms TnvSimMachine::GeneratedPrograms() {
    TPrograms programs;
    for (uint16_t i = 0; i < kGenerated; ++i)
        programs[i].Header = {i, static_cast<uint16_t>(10 + i % 20), static_cast<uint16_t>(60 + i),
                              0xC0DE};
    return programs;
}

void TnvSimMachine::ParameterWritten(uint32_t index) {
    if (index == kSelect)
        Select(FStore.Word(kSelect));
}

void TnvSimMachine::Select(uint16_t program) {
    const auto found = FPrograms.find(program);
    if (found != FPrograms.end() && found->second.Kind == TKind::Ignore) {
        FStore.SetWord(kSelect, FSelected ? (kLoaded | (*FSelected & 0xFF)) : kNoProgram);
        return;
    }
    FSelected = program;
    FStore.SetWord(kSelect, kLoaded | (program & 0xFF));
    const std::array<uint16_t, 4> header =
        found != FPrograms.end() ? found->second.Header : std::array<uint16_t, 4>{};
    FStore.SetWords(kHeader, {header.begin(), header.end()});
}

bool TnvSimMachine::IsBenchInput(uint32_t index) const {
    return index == kFaults || (index >= kState && index <= kAlarm2);
}

std::optional<uint8_t> TnvSimMachine::RefusesRead(uint16_t first, uint32_t count) const {
    const TnvSimParameter* header = FStore.Find(kHeader);
    if (!header || !FSelected)
        return std::nullopt;
    const auto found = FPrograms.find(*FSelected);
    if (found == FPrograms.end() || found->second.Kind != TKind::Refuse)
        return std::nullopt;
    const bool overlaps =
        first < header->RegAddr + header->RegCount && header->RegAddr < first + count;
    return overlaps ? std::optional<uint8_t>(kDeviceFailure) : std::nullopt;
}
