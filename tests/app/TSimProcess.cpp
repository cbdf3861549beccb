#include "TSimProcess.h"

#include "TerminalFixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <modbus.h>

namespace {

QString SimProgram() {
    const QByteArray dir = qgetenv("KX_BINARY_DIR");
    const QString build =
        dir.isEmpty() ? QStringLiteral(KX_DEFAULT_BINARY_DIR) : QString::fromLocal8Bit(dir);
    return build + QStringLiteral("/sim/kx720-sim");
}

} // namespace

TSimProcess::TSimProcess(bool withPty, const QStringList& extra)
    : FWithPty(withPty) {
    QStringList arguments{QStringLiteral("--tcp"),
                          QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--defs"),
                          TerminalFixture::SourceDir() +
                              QStringLiteral("/data/VF_Parameters_v207.ini"),
                          QStringLiteral("--log"),
                          RequestLogPath()};
    if (withPty)
        arguments << QStringLiteral("--pty") << PtyLink();
    arguments << extra;
    FProcess.setProgram(SimProgram());
    FProcess.setArguments(arguments);
    FProcess.start();
    if (!FProcess.waitForStarted(5000))
        return;
    const int expected = withPty ? 2 : 1;
    QStringList ready;
    while (ready.size() < expected && FProcess.waitForReadyRead(5000)) {
        while (FProcess.canReadLine())
            ready << QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    for (const QString& line : ready)
        if (line.startsWith(QLatin1String("ready tcp ")))
            FTcpPort = line.section(QLatin1Char(':'), -1).toInt();
    if (ready.size() < expected)
        FTcpPort = 0;
    if (FTcpPort != 0 && !Connect())
        FTcpPort = 0;
}

TSimProcess::~TSimProcess() {
    if (FClient) {
        modbus_close(FClient);
        modbus_free(FClient);
    }
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000))
        FProcess.kill();
}

QString TSimProcess::RequestLogPath() const {
    return FDir.path() + QStringLiteral("/requests.log");
}

QList<TSimProcess::TRequest> TSimProcess::Requests() const {
    QFile file(RequestLogPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<TRequest> requests;
    // TIME LINK SLAVE FUNCTION ADDRESS QUANTITY OUTCOME, tab-separated.
    for (const QString& line : QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'))) {
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

QString TSimProcess::PtyLink() const {
    return FDir.path() + QStringLiteral("/com");
}

void TSimProcess::MapComPort(int port) const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/kx720");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/ports.ini"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        file.write(QStringLiteral("COM%1=%2\n").arg(port).arg(PtyLink()).toLocal8Bit());
}

bool TSimProcess::Connect() {
    FClient = modbus_new_tcp("127.0.0.1", FTcpPort);
    if (!FClient)
        return false;
    modbus_set_slave(FClient, 2);
    modbus_set_response_timeout(FClient, 1, 0);
    return modbus_connect(FClient) == 0;
}

std::optional<std::uint16_t> TSimProcess::Read(std::uint16_t address) {
    std::uint16_t word = 0;
    if (!FClient || modbus_read_registers(FClient, address, 1, &word) != 1)
        return std::nullopt;
    return word;
}

bool TSimProcess::Write(std::uint16_t address, std::uint16_t word) {
    return FClient && modbus_write_register(FClient, address, word) == 1;
}

QString TSimProcess::Log() {
    FLog += QString::fromLocal8Bit(FProcess.readAllStandardError());
    return FLog;
}
