#include "TestPeers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kxtest {

QString SourcePath(const QString& relative) {
    QString root = QString::fromLocal8Bit(qgetenv("KX_SOURCE_DIR"));
    if (root.isEmpty())
        root = QStringLiteral(KX_TEST_SOURCE_DIR);
    return root + "/" + relative;
}

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

int FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

TPeer::TPeer(const QString& program, const QStringList& arguments) {
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(program, arguments);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && FProcess.state() != QProcess::NotRunning) {
        if (!FProcess.canReadLine()) {
            FProcess.waitForReadyRead(100);
            continue;
        }
        const QString line = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
        if (line.startsWith("READY")) {
            FPort = line.section(' ', 1, 1).toInt();
            FReady = true;
            return;
        }
    }
}

TPeer::~TPeer() {
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }
}

std::unique_ptr<TPeer> TPeer::TcpSlave(const QStringList& options) {
    return std::make_unique<TPeer>(
        "/usr/bin/python3",
        QStringList{SourcePath("tests/modbus/peers/peer.py"), "tcp", "0"} + options);
}

std::unique_ptr<TPeer> TPeer::RtuSlave(const QString& device, const QStringList& options) {
    return std::make_unique<TPeer>(
        "/usr/bin/python3",
        QStringList{SourcePath("tests/modbus/peers/peer.py"), "rtu", device} + options);
}

namespace {

// pymodbus prints READY before it listens; wait until it accepts.
void WaitUntilListening(int port) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(port);
        const bool listening =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (listening)
            return;
        QThread::msleep(50);
    }
}

} // namespace

std::unique_ptr<TPeer> TPeer::PymodbusTcp() {
    const int port = FreeTcpPort();
    auto peer = std::make_unique<TPeer>(
        "/usr/bin/python3", QStringList{SourcePath("tests/modbus/peers/pymodbus_server.py"), "tcp",
                                        QString::number(port)});
    WaitUntilListening(port);
    peer->FPort = port;
    return peer;
}

std::unique_ptr<TPeer> TPeer::PymodbusRtu(const QString& device) {
    auto peer = std::make_unique<TPeer>(
        "/usr/bin/python3",
        QStringList{SourcePath("tests/modbus/peers/pymodbus_server.py"), "rtu", device});
    QThread::msleep(700); // the serial server opens its port after READY
    return peer;
}

TPtyPair::TPtyPair() {
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start("socat",
                   {"pty,raw,echo=0,link=" + LinkEnd(), "pty,raw,echo=0,link=" + PeerEnd()});
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (QFileInfo::exists(LinkEnd()) && QFileInfo::exists(PeerEnd())) {
            FReady = true;
            return;
        }
        QThread::msleep(10);
    }
}

TPtyPair::~TPtyPair() {
    FProcess.kill();
    FProcess.waitForFinished(5000);
}

TConfigHome::TConfigHome()
    : FOldHome(qgetenv("XDG_CONFIG_HOME"))
    , FOldDirs(qgetenv("XDG_CONFIG_DIRS")) {
    QDir(FDir.path()).mkpath("home/kx720");
    QDir(FDir.path()).mkpath("system");
    qputenv("XDG_CONFIG_HOME", (FDir.path() + "/home").toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (FDir.path() + "/system").toLocal8Bit());
}

TConfigHome::~TConfigHome() {
    qputenv("XDG_CONFIG_HOME", FOldHome);
    qputenv("XDG_CONFIG_DIRS", FOldDirs);
    if (FOldHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    if (FOldDirs.isEmpty())
        qunsetenv("XDG_CONFIG_DIRS");
}

void TConfigHome::Map(int port, const QString& device) {
    FPorts[port] = device;
    QFile file(FDir.path() + "/home/kx720/ports.ini");
    file.open(QIODevice::WriteOnly | QIODevice::Text);
    for (auto it = FPorts.begin(); it != FPorts.end(); ++it)
        file.write(QStringLiteral("COM%1=%2\n").arg(it.key()).arg(it.value()).toLocal8Bit());
}

QString Hex(const std::vector<uint8_t>& bytes) {
    QStringList parts;
    for (uint8_t b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QChar('0'));
    return parts.join(' ');
}

QStringList LoggedRequests(const QString& logFile) {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray raw = QByteArray::fromHex(line.trimmed());
        if (raw.isEmpty())
            continue;
        lines << Hex(std::vector<uint8_t>(raw.begin(), raw.end()));
    }
    return lines;
}

} // namespace kxtest
