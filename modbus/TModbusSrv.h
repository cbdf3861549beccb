#pragma once

#include "TnvLinkLock.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

class TCTCPIPServer;
struct _modbus;

// The Modbus transport of one link, serial RTU or TCP, over libmodbus. The
// caller builds every request without its check sequence (slave address,
// function code, data) and receives whole replies (slave address first, no
// CRC, no MBAP header). Called by one thread at a time: the exchange thread's
// worker, or the owner of the link and the TCP server serving through it,
// which take turns through LinkLock.
//
// Order of use: OpenConnection, the put_ settings, Connect, any number of
// TxRxMessage, CloseConnection.
//
// Meaning of the line codes (serial links):
//   Parity    0 none, 1 odd, 2 even; 3 mark and 4 space cannot be done by the
//             port and make Connect fail.
//   ByteSize  data bits, 7 or 8.
//   StopBits  2 or 20: two stop bits; any other value: one stop bit (the RTU
//             standard with parity; the terminal's own 50 means one).
//   FlowCtrl  0 none, 1 RTS/CTS, 2 XON/XOFF, 8 none with DTR and RTS held
//             high (feeds line converters; a pty has no such lines).
//   TxMode    0 RS-232, 1 RS-485 (the kernel drives RTS around each frame;
//             fails on a device without RS-485 support, such as a pty).
//   SilentInt the silence after which an incoming frame counts as ended:
//             0 20 ms, 1 50 ms, 2 100 ms. A reply of a known function ends
//             earlier, as soon as its length is complete with a valid CRC.
//   Timeout   ms from the end of the request to the start of the reply.
// The terminal's own setting (19200, 8, Parity 2, StopBits 50, FlowCtrl 8,
// TxMode 0) is standard RTU: 19200 baud, 8 data bits, even parity, 1 stop bit.
//
// Port numbers name devices through "COMn=DEVICE" lines of ports.ini in the
// user's config folder (<XDG_CONFIG_HOME or ~/.config>/kx720/ports.ini);
// without a line, COMn is /dev/ttyS(n-1).
//
// Stale input. Over TCP every request carries its own transaction id and a
// reply with another id is dropped. A serial line has no such id, and a
// slave may answer any time later, so the line is kept in one of three
// states: clean (nothing can still arrive), owing replies to copies of one
// request (retries of the same frame: any of them answers it alike), or
// unknown (after opening, or after a frame we could not match). Before a
// request goes out on a line that is unknown or owes replies to another
// request (one that timed out, say), the line is resynchronised:
// a line check (function 8, "return query data") with a random word is sent
// and everything that arrives is thrown away until the slave echoes that
// word. A slave answers in order, so all it owed came before the echo. No
// echo within the time-out fails the request with a time-out; the next one
// checks the line again. A slave without the diagnostics function answers
// the check with its exception reply, which is taken as the echo: such a
// slave is kept apart from late replies of earlier runs only by the order of
// its replies.
class TModbusSrv {
public:
    // Status codes of TxRxMessage.
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kTimeout = static_cast<int32_t>(0x80040201);
    static constexpr int32_t kInvalidReply = static_cast<int32_t>(0x80040202);
    static constexpr int32_t kCrcError = static_cast<int32_t>(0x80040203);
    static constexpr int32_t kWriteError = static_cast<int32_t>(0x80040208);
    static constexpr int32_t kReadError = static_cast<int32_t>(0x80040209);
    static constexpr int32_t kNotInitialized = static_cast<int32_t>(0x8004020A);

    // The kinds of link OpenConnection takes, with the codes the link settings
    // store (TnvMBSetup::ConnType).
    enum TLinkKind : int16_t { lkSerial = 1, lkTcpIp = 2 };

    TModbusSrv();
    ~TModbusSrv();
    TModbusSrv(const TModbusSrv&) = delete;
    TModbusSrv& operator=(const TModbusSrv&) = delete;

    // Names the link and its kind (a TLinkKind); false for another kind.
    bool OpenConnection(const QString& name, int16_t connType);

    void put_Retries(int16_t value) { FRetries = value; }
    void put_RaiseError(bool value) { FRaiseError = value; }
    void put_BaudRate(int32_t value) { FBaudRate = value; }
    void put_PortNumber(int16_t value) { FPortNumber = value; }
    void put_ByteSize(int16_t value) { FByteSize = value; }
    void put_FlowCtrl(int16_t value) { FFlowCtrl = value; }
    void put_Parity(int16_t value) { FParity = value; }
    void put_StopBits(int32_t value) { FStopBits = value; }
    void put_SilentInt(int16_t value) { FSilentInt = value; }
    void put_Timeout(int32_t value) { FTimeout = value; }
    void put_TxMode(int16_t value) { FTxMode = value; }
    void put_TCPIPPort(int32_t value) { FTCPIPPort = value; }
    void put_HostName(const QString& value) { FHostName = value; }

    // The retry count handed over; the transport itself never repeats.
    int16_t get_Retries() const { return FRetries; }
    bool get_RaiseError() const { return FRaiseError; }

    // Opens the port or the TCP connection. False when it cannot (ErrorText
    // says why). Raises TnvError when libmodbus cannot create a context.
    bool Connect();
    bool IsConnected() const { return FContext != nullptr; }

    // Sends query[0..queryLength) and returns the status (kOk or a code above);
    // on kOk response holds the whole reply. An exception reply of the slave
    // asked is returned at once as kInvalidReply, with the reply in response;
    // every other failure leaves response empty.
    int32_t TxRxMessage(const std::vector<uint8_t>& query, int queryLength,
                        std::vector<uint8_t>& response);

    void CloseConnection();

    // A Modbus TCP server that serves its clients through this link (see
    // TCTCPIPServer.h), not yet listening. The link must outlive it.
    std::unique_ptr<TCTCPIPServer> CreateTCPServer();
    // Held by Connect, TxRxMessage and CloseConnection for one call each, so
    // that a TCP server serving through the link and the link's owner take
    // turns in the order they asked; a user that needs several calls in a
    // row takes it around them.
    TnvLinkLock& LinkLock() { return FLinkLock; }

    // Asked while waiting for the peer: true ends the wait at once and the
    // exchange fails as a time-out. Called on the thread that exchanges.
    void SetStopRequest(std::function<bool()> stop) { FStopRequest = std::move(stop); }

    // Raised at the end of every TxRxMessage with its status and how long it
    // took (a line check included), on the thread that exchanges.
    using TExchangeObserver = std::function<void(int32_t status, std::chrono::microseconds took)>;
    void SetOnExchanged(TExchangeObserver observer) { FOnExchanged = std::move(observer); }

    // Why the last Connect or TxRxMessage failed, for the log.
    QString ErrorText() const { return FErrorText; }

    // The device a serial port number stands for (see above).
    static QString DeviceOfPort(int portNumber);
    // The device of a "COMn=" line of ports.ini, or an empty string.
    static QString MappedDeviceOfPort(int portNumber);
    // Where ports.ini is looked for.
    static QString PortsFile();

private:
    using TClock = std::chrono::steady_clock;

    int32_t TxRxFrame(const std::vector<uint8_t>& query, int queryLength,
                      std::vector<uint8_t>& response);
    bool ConnectRtu();
    bool ConnectTcp();
    bool ApplyFlowControl();
    int32_t TxRxRtu(const std::vector<uint8_t>& query, std::vector<uint8_t>& response);
    int32_t TxRxTcp(const std::vector<uint8_t>& query, std::vector<uint8_t>& response);
    int32_t ReceiveRtu(const std::vector<uint8_t>& query, std::vector<uint8_t>& response);
    // kOk for a reply that answers query (its slave or unit and function) and
    // is well formed; otherwise kInvalidReply, an exception reply included.
    int32_t CheckReply(const std::vector<uint8_t>& query, const std::vector<uint8_t>& response);
    // Reads one frame (with its CRC) whose first byte comes before deadline;
    // kOk, kTimeout or kReadError.
    int32_t ReadRtuFrame(TClock::time_point deadline, std::vector<uint8_t>& frame);
    int32_t Resynchronise(uint8_t slave);
    bool LineNeedsCheck(const std::vector<uint8_t>& query) const;
    int32_t ReceiveTcp(uint16_t transaction, std::vector<uint8_t>& response);
    // Throws away what waits in the port or arrives within waitFor, until it
    // has been quiet for quiet; true when anything was there.
    bool DiscardInput(std::chrono::milliseconds waitFor, std::chrono::milliseconds quiet);
    bool WriteAll(const uint8_t* data, size_t size);
    // Reads what arrives before deadline into out (waiting before the first
    // try when waitFirst); 0 on time-out, -1 on error.
    int ReadSome(uint8_t* out, size_t size, TClock::time_point deadline, bool waitFirst = false);
    // Waits for input until deadline: 1 ready, 0 time-out, -1 error.
    int PollInput(TClock::time_point deadline);
    std::chrono::milliseconds Silence() const;
    int Fd() const;
    int32_t Fail(int32_t code, const QString& text);

    QString FName;
    TLinkKind FKind{}; // none (0) until OpenConnection
    int16_t FRetries = 2;
    bool FRaiseError = false;
    int32_t FBaudRate = 19200;
    int16_t FPortNumber = 0;
    int16_t FByteSize = 8;
    int16_t FFlowCtrl = 0;
    int16_t FParity = 0;
    int32_t FStopBits = 20;
    int16_t FSilentInt = 0;
    int32_t FTimeout = 1000;
    int16_t FTxMode = 0;
    int32_t FTCPIPPort = 502;
    QString FHostName;

    _modbus* FContext = nullptr;
    uint16_t FTransaction = 0;
    bool FTcpFrameCut = false; // a reply was left half read
    enum class TLine { Unknown, Clean, Owing };
    TLine FLine = TLine::Unknown;
    std::vector<uint8_t> FOwedQuery; // the request whose copies are owed
    int FOwedCopies = 0;
    std::mt19937 FNonces{std::random_device{}()};
    std::function<bool()> FStopRequest;
    TExchangeObserver FOnExchanged;
    QString FErrorText;
    TnvLinkLock FLinkLock;
};
