#include "PeerLog.h"

#include <QFile>

namespace kxtest {

QString Hex(const std::vector<uint8_t>& bytes) {
    QStringList parts;
    for (uint8_t b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QChar('0'));
    return parts.join(' ');
}

QStringList LoggedRequests(const QString& logFile, bool withLineChecks) {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray raw = QByteArray::fromHex(line.trimmed());
        if (raw.isEmpty() || (!withLineChecks && raw.size() > 1 && raw[1] == 0x08))
            continue; // the transport's line checks
        lines << Hex(std::vector<uint8_t>(raw.begin(), raw.end()));
    }
    return lines;
}

} // namespace kxtest
