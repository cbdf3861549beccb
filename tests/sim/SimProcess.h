#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

using TBytes = std::vector<uint8_t>;

// A kx720-sim started for one test: it waits for the ready lines and ends the
// process (SIGTERM, then SIGKILL) when it goes out of scope.
class SimProcess {
public:
    // Starts the simulator with the project's definitions unless arguments
    // name others; Ready() tells whether every link came up within 5 s.
    explicit SimProcess(QStringList arguments, int links = 1);
    ~SimProcess();

    bool Ready() const { return FReady; }
    QStringList ReadyLines() const { return FReadyLines; }
    // The port of the first "ready tcp" line.
    uint16_t TcpPort() const;
    // Sends SIGTERM (or SIGINT) and returns the exit code, -1 when it had to be killed.
    int Stop(int signal = 15);
    QString StandardError();

    static QString Binary();

private:
    QProcess FProcess;
    bool FReady = false;
    QStringList FReadyLines;
};

// A Modbus TCP client written for the tests: it sends requests with its own
// transaction ids and returns the reply bytes exactly as they came.
class RawTcpClient {
public:
    explicit RawTcpClient(uint16_t port);
    ~RawTcpClient();
    bool Connected() const { return FFd >= 0; }
    // Sends MBAP + unit + pdu; returns the reply's unit id and PDU (no MBAP),
    // read by the MBAP length, after checking that the MBAP echoes the
    // transaction id; none on a time-out or a closed connection.
    std::optional<TBytes>
    Transact(uint8_t unit, const TBytes& pdu,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    void SendRaw(const TBytes& bytes);
    // Reads whatever arrives within timeout; sets closed when the peer closed.
    TBytes ReadRaw(std::chrono::milliseconds timeout, bool* closed = nullptr);
    static TBytes Mbap(uint16_t transaction, uint8_t unit, const TBytes& pdu);

private:
    bool ReadExactly(uint8_t* into, size_t count, std::chrono::milliseconds timeout);

    int FFd = -1;
    uint16_t FTransaction = 0x1200;
};

// An RTU master on a serial device or pty written for the tests.
class RawRtuClient {
public:
    explicit RawRtuClient(const QString& device);
    ~RawRtuClient();
    bool Opened() const { return FFd >= 0; }
    // Sends address + pdu + CRC and returns every byte that came back until a
    // silence of 50 ms after the first (CRC included); empty on a time-out.
    TBytes Transact(const TBytes& adu,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    static TBytes WithCrc(TBytes frame);
    static bool CrcValid(const TBytes& frame);

private:
    int FFd = -1;
};
