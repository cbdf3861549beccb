#include "TSimProcess.h"

#include "TestFiles.h"
#include "TestPaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>

namespace kxtest {

namespace {

// Under a sanitizer the simulator takes seconds to come up.
constexpr int kStartMs = 10000;

} // namespace

QString TSimProcess::Binary() {
    return QStringLiteral(KX_SIM_BINARY);
}

TSimProcess::TSimProcess(QStringList arguments, int links) {
    Start(std::move(arguments), links);
}

TSimProcess::TSimProcess(bool withPty, const QStringList& extra) {
    QStringList arguments{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--log"), FDir.filePath(QStringLiteral("requests.log"))};
    if (withPty)
        arguments << QStringLiteral("--pty") << PtyLink();
    Start(arguments + extra, withPty ? 2 : 1);
    FReady = FReady && Client(); // the first client: ClientLink() names its link
}

RawTcpClient* TSimProcess::Client() {
    if (!FClient && FReady)
        FClient = std::make_unique<RawTcpClient>(TcpPort());
    return FClient && FClient->Connected() ? FClient.get() : nullptr;
}

void TSimProcess::Start(QStringList arguments, int links) {
    if (!arguments.contains(QStringLiteral("--defs")))
        arguments << QStringLiteral("--defs") << DefinitionsFile();
    FProcess = std::make_unique<TSubprocess>(Binary(), arguments,
                                             FDir.filePath(QStringLiteral("stderr.txt")));
    if (!FProcess->Running())
        return;
    QElapsedTimer timer;
    timer.start();
    while (FReadyLines.size() < links && timer.elapsed() < kStartMs) {
        const QString line = FProcess->ReadLine(static_cast<int>(kStartMs - timer.elapsed()));
        if (line.isNull())
            break; // ended, or silent too long
        if (line.startsWith(QStringLiteral("ready ")))
            FReadyLines << line.trimmed();
    }
    FReady = FReadyLines.size() == links;
}

TSimProcess::~TSimProcess() {
    FClient.reset();
    Stop();
}

uint16_t TSimProcess::TcpPort() const {
    for (const QString& line : FReadyLines)
        if (line.startsWith(QStringLiteral("ready tcp ")))
            return static_cast<uint16_t>(line.section(QLatin1Char(':'), -1).toUInt());
    return 0;
}

int TSimProcess::Stop(int signal) {
    return FProcess ? FProcess->Stop(signal) : -1;
}

QString TSimProcess::StandardError() const {
    return QString::fromLocal8Bit(ReadFile(FDir.filePath(QStringLiteral("stderr.txt"))));
}

QString TSimProcess::PtyLink() const {
    return FDir.path() + QStringLiteral("/com");
}

void TSimProcess::MapComPort(int port) const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/kx720");
    QDir().mkpath(folder);
    WriteFile(folder + QStringLiteral("/ports.ini"),
              QStringLiteral("COM%1=%2\n").arg(port).arg(PtyLink()).toLocal8Bit());
}

std::optional<uint16_t> TSimProcess::Read(uint16_t address, uint8_t slave) {
    RawTcpClient* client = Client();
    if (!client)
        return std::nullopt;
    const auto reply = client->Transact(slave, RawTcpClient::ReadPdu(address));
    if (!reply || reply->size() != 5 || (*reply)[1] != 0x03 || (*reply)[2] != 2)
        return std::nullopt;
    return static_cast<uint16_t>((*reply)[3] << 8 | (*reply)[4]);
}

bool TSimProcess::Write(uint16_t address, uint16_t word, uint8_t slave) {
    RawTcpClient* client = Client();
    if (!client)
        return false;
    const TBytes pdu{0x06, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF),
                     static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)};
    const auto reply = client->Transact(slave, pdu);
    return reply && reply->size() == 6 && TBytes(reply->begin() + 1, reply->end()) == pdu;
}

QList<TSimProcess::TRequest> TSimProcess::Requests() const {
    const QByteArray log = ReadFile(FDir.filePath(QStringLiteral("requests.log")));
    QList<TRequest> requests;
    // TIME LINK SLAVE FUNCTION ADDRESS QUANTITY OUTCOME, tab-separated.
    for (const QString& line : QString::fromLocal8Bit(log).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (line.startsWith(QLatin1Char('#')) || fields.size() < 7)
            continue;
        bool numeric = false;
        const int address = fields[4].toInt(&numeric);
        requests.append(
            {fields[1], fields[3].toInt(nullptr, 16), numeric ? address : -1, fields[6]});
    }
    return requests;
}

} // namespace kxtest
