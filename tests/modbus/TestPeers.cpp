#include "TestPeers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
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

TSubprocess::TSubprocess(const QString& program, const QStringList& arguments) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    std::vector<QByteArray> storage{program.toLocal8Bit()};
    for (const QString& a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        FPid = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    FOutput = pipeFds[0];
}

TSubprocess::~TSubprocess() {
    if (FPid > 0) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
    if (FOutput >= 0)
        close(FOutput);
}

QString TSubprocess::ReadLine(int ms) {
    QByteArray line;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        pollfd p{FOutput, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(ms - timer.elapsed())) <= 0)
            break;
        char c = 0;
        if (read(FOutput, &c, 1) != 1)
            break;
        if (c == '\n')
            return QString::fromLocal8Bit(line);
        line += c;
    }
    return {};
}

TPeer::TPeer(const QString& program, const QStringList& arguments)
    : FProcess(program, arguments) {
    const QString line = FProcess.ReadLine(10000).trimmed();
    if (line.startsWith("READY")) {
        FPort = line.section(' ', 1, 1).toInt();
        FReady = true;
    }
}

TPeer::~TPeer() = default;

namespace {

std::unique_ptr<TPeer> Python(const QString& script, const QStringList& arguments) {
    return std::make_unique<TPeer>(
        "/usr/bin/python3", QStringList{SourcePath("tests/modbus/peers/" + script)} + arguments);
}

} // namespace

std::unique_ptr<TPeer> TPeer::TcpSlave(const QStringList& options) {
    return Python("peer.py", QStringList{"tcp", "0"} + options);
}

std::unique_ptr<TPeer> TPeer::RtuSlave(const QString& device, const QStringList& options) {
    return Python("peer.py", QStringList{"rtu", device} + options);
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
    auto peer = Python("pymodbus_server.py", {"tcp", QString::number(port)});
    WaitUntilListening(port);
    peer->FPort = port;
    return peer;
}

std::unique_ptr<TPeer> TPeer::PymodbusRtu(const QString& device) {
    auto peer = Python("pymodbus_server.py", {"rtu", device});
    QThread::msleep(700); // the serial server opens its port after READY
    return peer;
}

TPtyPair::TPtyPair()
    : FProcess(std::make_unique<TSubprocess>(
          "/usr/bin/socat",
          QStringList{"pty,raw,echo=0,link=" + LinkEnd(), "pty,raw,echo=0,link=" + PeerEnd()})) {
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

TPtyPair::~TPtyPair() = default;

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
