#pragma once

#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>

struct _modbus;

// A kx720-sim of its own for one test: Modbus TCP on a free loopback port
// and, when asked, an RTU pty; plus a Modbus TCP client of its own through
// which the test looks at and changes the drive's registers. Ended (and
// waited for) on destruction.
class TSimProcess {
public:
    // extra: further options (fault injection, size). withPty: also an RTU
    // pty, whose link PtyLink() names.
    explicit TSimProcess(bool withPty, const QStringList& extra = {});
    ~TSimProcess();

    bool IsReady() const { return FTcpPort != 0; }
    int TcpPort() const { return FTcpPort; }
    QString PtyLink() const;
    // Points COMn of the terminal's ports.ini at the pty.
    void MapComPort(int port) const;

    // The drive's register at address; none when the exchange fails.
    std::optional<std::uint16_t> Read(std::uint16_t address);
    bool Write(std::uint16_t address, std::uint16_t word);
    // What the simulator wrote to standard error so far.
    QString Log();

    // One request as the simulator's request log names it.
    struct TRequest {
        QString Link;     // tcp/N, pty:LINK
        int Function = 0; // 3 read, 6 and 16 writes, 0x41 identification
        int Address = -1; // -1 for a function without one
        QString Outcome;  // reply, exception XX, none REASON
    };
    // Every request the simulator has framed so far, in order.
    QList<TRequest> Requests() const;
    // The link of this object's own client, whose requests are the test's.
    QString ClientLink() const { return QStringLiteral("tcp/1"); }

private:
    bool Connect();
    QString RequestLogPath() const;

    QTemporaryDir FDir;
    QProcess FProcess;
    int FTcpPort = 0;
    bool FWithPty;
    _modbus* FClient = nullptr;
    QString FLog;
};
