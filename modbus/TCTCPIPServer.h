#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class TModbusSrv;

// A Modbus TCP server that serves its clients through one link, the way a
// serial-to-Ethernet gateway does. Created by TModbusSrv::CreateTCPServer.
//
// One serving thread polls the listening socket and every client, keeps the
// clients' whole requests in one queue in arrival order, and carries them out
// on the link one at a time through the link's own TxRxMessage, so the link's
// framing and late-reply rules hold for them as for the exchange thread. The
// link is held for one exchange at a time, so its owner never waits longer
// than one exchange for it.
//
// - The unit id is the slave address on the line. Unit 0 is a broadcast: it is
//   sent and gets no reply.
// - A reply carries the request's transaction id and unit id.
// - The drive's own exception replies pass through. A link that is not open,
//   or whose port failed, gives exception 0x0A (gateway path unavailable); a
//   time-out or a reply that cannot be used gives 0x0B (gateway target device
//   failed to respond).
// - A port failure (a pty or USB adapter gone, a TCP peer that closed) closes
//   the link, and the next request reopens it, so the server recovers when the
//   line comes back. A link closed by its owner stays closed: stop the server
//   before closing the link for good.
// - A header that is not Modbus (protocol id not 0, length outside 2 to 254)
//   closes that client's connection only. A half-received frame costs nothing
//   but its buffer; queued requests of a client that left are dropped unsent.
class TCTCPIPServer {
public:
    // Connections served at once; a further client is accepted and closed at
    // once (OnClientEvent: Refused). A connection whose host vanished is
    // closed by keep-alive probes within about a minute.
    static constexpr int kMaxClients = 16;
    // Requests waiting for the line, all clients together and per client. A
    // request beyond either gets exception 0x06 (server device busy) at once.
    static constexpr std::size_t kMaxQueued = 64;
    static constexpr int kMaxQueuedPerClient = 8;
    // Replies a client has not read yet, in bytes; beyond it, it is dropped.
    static constexpr std::size_t kMaxUnsent = 64 * 1024;
    // The largest MBAP length field: unit id and a 253-byte PDU.
    static constexpr int kMaxMbapLength = 254;

    // Gateway exception codes.
    static constexpr uint8_t kServerBusy = 0x06;
    static constexpr uint8_t kPathUnavailable = 0x0A;
    static constexpr uint8_t kTargetFailed = 0x0B;

    enum class TClientEvent { Connected, Left, Dropped, Refused };

    // The link must outlive the server.
    explicit TCTCPIPServer(TModbusSrv& link);
    // Stops the server.
    ~TCTCPIPServer();
    TCTCPIPServer(const TCTCPIPServer&) = delete;
    TCTCPIPServer& operator=(const TCTCPIPServer&) = delete;

    // The address and port to listen on; read by StartServer. An empty
    // address is 127.0.0.1; all interfaces need an explicit 0.0.0.0 or ::.
    // Port 0 takes a free port (GetListenPort names it).
    void put_ListenAddress(const QString& address) { FListenAddress = address; }
    void put_Port(int32_t port) { FPort = port; }

    // Listens and starts serving. True when it serves (also when it already
    // did); false when it cannot listen, ErrorText saying why.
    bool StartServer();
    // Stops serving and closes every connection; returns after at most one
    // exchange on the link. False when it was not serving.
    bool StopServer();
    bool IsServing() const { return FServing; }

    // The listening address when it is a single one, else this host's first
    // IPv4 address beyond loopback, else "127.0.0.1".
    QString GetLocalHostIP() const;
    // The port it listens on (the one chosen for port 0); 0 when not serving.
    int GetListenPort() const { return FListenPort; }
    // Why StartServer failed.
    QString ErrorText() const { return FErrorText; }

    // Requests answered from the drive (its exception replies included) and
    // requests that failed (gateway exceptions, busy, a broadcast that could
    // not be sent). Any thread.
    uint64_t GetServedCount() const { return FServed; }
    uint64_t GetFailedCount() const { return FFailed; }

    // A client connected, left, was dropped (detail says why) or was refused.
    // Raised on the serving thread; assign before StartServer.
    std::function<void(TCTCPIPServer* sender, const QString& peer, TClientEvent event,
                       const QString& detail)>
        OnClientEvent;

private:
    struct TClient;
    struct TRequest;

    void Serve();
    void AcceptClients();
    // False when the client is to be closed.
    bool ReadClient(TClient& client);
    bool TakeFrames(TClient& client);
    bool FlushClient(TClient& client);
    void Enqueue(TClient& client, TRequest request);
    void ServeNextRequest();
    int32_t Exchange(const std::vector<uint8_t>& query, std::vector<uint8_t>& response);
    void Reply(TClient& client, const TRequest& request, const std::vector<uint8_t>& pdu);
    void DropClosedClients();
    void RaiseClientEvent(const TClient& client, TClientEvent event, const QString& detail = {});
    TClient* FindClient(uint64_t id);
    void CloseSockets();

    TModbusSrv& FLink;
    QString FListenAddress;
    int32_t FPort = 502;
    QString FErrorText;
    int FListenFd = -1;
    int FWakeFd = -1;
    std::atomic<int> FListenPort{0};
    std::atomic<bool> FServing{false};
    std::atomic<bool> FStopping{false};
    std::atomic<uint64_t> FServed{0};
    std::atomic<uint64_t> FFailed{0};
    std::thread FThread;

    // Serving thread only.
    std::vector<std::unique_ptr<TClient>> FClients;
    std::deque<TRequest> FQueue;
    uint64_t FNextClientId = 1;
    size_t FFirstPolled = 0; // turns so that no client is always read first
    bool FLinkLost = false;  // the server closed the link after a port failure
};
