#pragma once

#include "TnvSimRtuFramer.h"

#include <modbus.h>

#include <QString>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TnvSimModel;
class TnvSimFaults;
class TnvSimPty;
class TnvSimRequestLog;
class TnvSimSlave;

// The links of the simulator and the loop that serves them. One thread polls
// every socket and device (poll), so the drive model is never touched by two
// threads; several TCP clients are served side by side, each request as soon
// as it is complete. Replies wait in a queue per connection until their due
// time, so a delayed reply holds up no other client.
class TnvSimServer {
public:
    TnvSimServer(TnvSimSlave& slave, TnvSimModel& model, TnvSimFaults& faults);
    ~TnvSimServer();
    TnvSimServer(const TnvSimServer&) = delete;
    TnvSimServer& operator=(const TnvSimServer&) = delete;

    // The line speed of the RTU links opened after it (default 19200). A pty
    // link hears only requests sent while its client's port is at this speed.
    void SetBaud(int baud) { FBaud = baud; }

    // Each opens one link and returns its ready line; raises TnvError with the
    // reason when the link cannot be opened.
    QString ListenTcp(const QString& host, uint16_t port);
    QString OpenPty(const QString& link);
    QString OpenSerial(const QString& device);

    // Serves until RequestStop; returns then with every link closed.
    void Run();
    // May be called from a signal handler or another thread.
    void RequestStop();
    // Makes SIGINT and SIGTERM call RequestStop of server (one server at a time).
    static void InstallSignalHandlers(TnvSimServer& server);

    // Raised on the serving thread with lines for the operator's log.
    std::function<void(const QString&)> OnLog;
    // Every framed request is written to log, which must outlive the server.
    void SetRequestLog(TnvSimRequestLog* log) { FRequestLog = log; }

private:
    using TClock = std::chrono::steady_clock;
    struct TReply {
        TClock::time_point Due;
        std::vector<uint8_t> Bytes;
        bool CloseAfter = false;
    };
    struct TEndpoint {
        bool IsTcp = true;
        int Fd = -1;
        QString Name;
        QString LogLink;                         // the link as the request log names it
        std::vector<uint8_t> In;                 // TCP: bytes not yet framed
        std::unique_ptr<TnvSimRtuFramer> Framer; // RTU
        std::unique_ptr<TnvSimPty> Pty;          // RTU on a pty
        modbus_t* Serial = nullptr;              // RTU on a device
        std::deque<TReply> Replies;
        std::vector<uint8_t> Out; // due, not yet written
        uint32_t Requests = 0;
        bool Closing = false;
    };

    void AdvanceModel();
    // Until the next reply is due, a frame's silence ends or the model ticks.
    timespec PollTimeout() const;
    void Accept(int listener);
    void Read(TEndpoint& endpoint);
    void FrameTcp(TEndpoint& endpoint);
    void FrameRtu(TEndpoint& endpoint);
    // adu: address (unit id) and PDU; header: the MBAP header of a TCP request.
    void Serve(TEndpoint& endpoint, const std::vector<uint8_t>& adu, const uint8_t* header);
    // The reply PDU to a request, or none when the request gets no answer.
    std::optional<std::vector<uint8_t>> Answer(bool tcp, uint8_t unit,
                                               const std::vector<uint8_t>& pdu);
    void LogRequest(const TEndpoint& endpoint, uint8_t unit, const std::vector<uint8_t>& pdu,
                    const QString& outcome);
    static std::vector<uint8_t> TcpFrame(const uint8_t* header, uint8_t unit,
                                         const std::vector<uint8_t>& pdu);
    // corrupted: set when the fault injection spoiled the CRC.
    std::vector<uint8_t> RtuFrame(uint8_t unit, const std::vector<uint8_t>& pdu, bool& corrupted);
    void Flush(TEndpoint& endpoint);
    void Close(TEndpoint& endpoint);
    void CloseAll();
    void Log(const QString& line) const;
    std::unique_ptr<TEndpoint> NewRtu(int fd, const QString& name);

    TnvSimSlave& FSlave;
    TnvSimModel& FModel;
    TnvSimFaults& FFaults;
    TClock::time_point FStart;
    int FWake[2] = {-1, -1};
    std::vector<int> FListeners;
    std::vector<modbus_t*> FListenerContexts;
    std::vector<std::unique_ptr<TEndpoint>> FEndpoints;
    TnvSimRequestLog* FRequestLog = nullptr;
    uint32_t FTcpAccepted = 0;
    bool FAcceptFailing = false;
    TClock::time_point FAcceptResumes; // listeners rest until then after a failed accept
    int FBaud = 19200;
};
