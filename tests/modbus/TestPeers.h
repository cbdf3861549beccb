#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// Real peers for the link tests, each a subprocess ended by its pid when the
// object goes: our misbehaving Python slave, pymodbus, and socat pty pairs.
namespace kxtest {

// A path below the source tree (KX_SOURCE_DIR).
QString SourcePath(const QString& relative);

// A TCP port that was free a moment ago.
int FreeTcpPort();

// A child process, ended by its pid when the object goes. Started with
// posix_spawn rather than QProcess: ThreadSanitizer loses track of the
// parent's locks after QProcess's vfork-style start.
class TSubprocess {
public:
    TSubprocess(const QString& program, const QStringList& arguments);
    ~TSubprocess();
    TSubprocess(const TSubprocess&) = delete;
    TSubprocess& operator=(const TSubprocess&) = delete;
    bool Running() const { return FPid > 0; }
    int Pid() const { return FPid; }
    // The next line of the child's standard output, or a null string when
    // none comes within ms.
    QString ReadLine(int ms);

private:
    int FPid = -1;
    int FOutput = -1;
};

// A subprocess that prints "READY [port]" once it serves.
class TPeer {
public:
    // Starts program with arguments and waits up to 10 s for its READY line.
    TPeer(const QString& program, const QStringList& arguments);
    ~TPeer();
    bool Ready() const { return FReady; }
    int Port() const { return FPort; }

    // tests/modbus/peers/peer.py over TCP on a free port, or RTU on device.
    static std::unique_ptr<TPeer> TcpSlave(const QStringList& options = {});
    static std::unique_ptr<TPeer> RtuSlave(const QString& device, const QStringList& options = {});
    // pymodbus's own server; holding register a holds 1000 + a.
    static std::unique_ptr<TPeer> PymodbusTcp();
    static std::unique_ptr<TPeer> PymodbusRtu(const QString& device);

private:
    TSubprocess FProcess;
    bool FReady = false;
    int FPort = 0;
};

// Two linked ptys made by socat: the link's end and the peer's end.
class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    bool Ready() const { return FReady; }
    QString LinkEnd() const { return FDir.path() + "/link"; }
    QString PeerEnd() const { return FDir.path() + "/peer"; }

private:
    QTemporaryDir FDir;
    std::unique_ptr<TSubprocess> FProcess;
    bool FReady = false;
};

// A private config folder (XDG_CONFIG_HOME and XDG_CONFIG_DIRS) for the
// lifetime of the object; Map writes a COMn line into its ports.ini.
class TConfigHome {
public:
    TConfigHome();
    ~TConfigHome();
    QString Path() const { return FDir.path(); }
    void Map(int port, const QString& device);

private:
    QTemporaryDir FDir;
    QByteArray FOldHome;
    QByteArray FOldDirs;
    QMap<int, QString> FPorts;
};

// Hex text of bytes, "01 03 00 10".
QString Hex(const std::vector<uint8_t>& bytes);
// The requests a peer logged, one hex string ("01 03 01 23 00 01") per
// request, without the serial line checks (function 8) unless asked for.
QStringList LoggedRequests(const QString& logFile, bool withLineChecks = false);

} // namespace kxtest
