#include "TnvSimRequestLog.h"

#include "TnvError.h"

#include <QStringList>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kWriteSingle = 0x06;
constexpr uint8_t kWriteMultiple = 0x10;

uint16_t Word(const std::vector<uint8_t>& pdu, size_t at) {
    return static_cast<uint16_t>(pdu[at] << 8 | pdu[at + 1]);
}

QString Hex(uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString Number(const std::optional<uint16_t>& value) {
    return value ? QString::number(*value) : QStringLiteral("-");
}

} // namespace

TnvSimRequestLog::TnvSimRequestLog(const QString& path)
    : FPath(path)
    , FFile(std::fopen(path.toLocal8Bit().constData(), "w")) {
    if (!FFile)
        throw TnvError(
            QStringLiteral("--log %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    std::fputs("# kx720-sim request log: time\tlink\tslave\tfunction\taddress\tquantity\toutcome\n",
               FFile);
    std::fflush(FFile);
}

TnvSimRequestLog::~TnvSimRequestLog() {
    std::fclose(FFile);
}

TnvSimRequestLog::TEntry TnvSimRequestLog::Describe(uint8_t unit, const std::vector<uint8_t>& pdu) {
    TEntry entry;
    entry.Slave = unit;
    if (pdu.empty())
        return entry;
    entry.Function = pdu[0];
    if (pdu.size() < 5)
        return entry;
    switch (pdu[0]) {
    case kReadHolding:
    case kWriteMultiple:
        entry.Address = Word(pdu, 1);
        entry.Quantity = Word(pdu, 3);
        break;
    case kWriteSingle:
        entry.Address = Word(pdu, 1);
        entry.Quantity = 1;
        break;
    default:
        break;
    }
    return entry;
}

QString TnvSimRequestLog::OutcomeOf(const std::vector<uint8_t>& reply, bool badCrc) {
    QString outcome = reply.size() >= 2 && (reply[0] & 0x80)
                          ? QStringLiteral("exception ") + Hex(reply[1])
                          : QStringLiteral("reply");
    if (badCrc)
        outcome += QStringLiteral(" bad-crc");
    return outcome;
}

QString TnvSimRequestLog::Format(const TEntry& entry) {
    // A tab or line break in a device name would split the line's fields.
    QString link = entry.Link;
    link.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const auto ms = entry.Time.count() / 1000;
    const QString time =
        QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
    // Joined, not arg()-ed: a device name may itself hold "%1".
    return QStringList{time,
                       link,
                       QString::number(entry.Slave),
                       Hex(entry.Function),
                       Number(entry.Address),
                       Number(entry.Quantity),
                       entry.Outcome}
        .join(QLatin1Char('\t'));
}

void TnvSimRequestLog::Write(const TEntry& entry) {
    const QByteArray line = Format(entry).toLocal8Bit() + '\n';
    const bool written = std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()),
                                     FFile) == static_cast<size_t>(line.size()) &&
                         std::fflush(FFile) == 0;
    if (!written && !FFailed) {
        FFailed = true;
        if (OnError)
            OnError(QStringLiteral("--log %1: cannot write: %2")
                        .arg(FPath, QString::fromLocal8Bit(std::strerror(errno))));
    }
}
