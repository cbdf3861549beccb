#pragma once

#include "RawTcpClient.h"
#include "TSubprocess.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <memory>

namespace kxtest {

// A kx720-sim of its own for one test, started through TSubprocess, waited
// for until its links are ready, and stopped (SIGTERM, then SIGKILL) when the
// object goes. Its standard error and request log live in a private folder.
class TSimProcess {
public:
    // Runs the simulator with arguments (and the project's definitions
    // unless they name others); Ready() tells whether `links` links came up.
    explicit TSimProcess(QStringList arguments, int links = 1);
    // The terminal tests' drive: Modbus TCP on a free loopback port with a
    // request log and, when asked, an RTU pty that PtyLink() names; extra are
    // further options (fault injection, size). A Modbus TCP client of its own
    // lets the test look at and change the drive's registers.
    explicit TSimProcess(bool withPty, const QStringList& extra = {});
    ~TSimProcess();
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    bool Ready() const { return FReady; }
    // The port of the first "ready tcp" line.
    uint16_t TcpPort() const;
    // Sends signal and returns the exit code, -1 when it had to be killed.
    int Stop(int signal = SIGTERM);
    int Pid() const { return FProcess ? FProcess->Pid() : -1; }
    // What the simulator wrote to standard error so far.
    QString StandardError() const;
    static QString Binary();

    QString PtyLink() const;
    // Points COMn of the terminal's ports.ini at the pty.
    void MapComPort(int port) const;
    // The drive's register at address; none when the exchange fails. The
    // first call of a simulator started with arguments connects a client.
    std::optional<uint16_t> Read(uint16_t address, uint8_t slave = 2);
    bool Write(uint16_t address, uint16_t word, uint8_t slave = 2);

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
    void Start(QStringList arguments, int links);
    RawTcpClient* Client();

    QTemporaryDir FDir;
    std::unique_ptr<TSubprocess> FProcess;
    std::unique_ptr<RawTcpClient> FClient;
    QStringList FReadyLines;
    bool FReady = false;
};

} // namespace kxtest
