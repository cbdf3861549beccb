#include "PeerLog.h"

#include <QFile>

namespace kxtest {

QString Hex(const std::vector<uint8_t>& bytes) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
            .toHex(' '));
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
        lines << QString::fromLatin1(raw.toHex(' '));
    }
    return lines;
}

} // namespace kxtest
