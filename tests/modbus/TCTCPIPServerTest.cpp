#include "TCTCPIPServer.h"
#include "TThreadFixture.h"

#include <QElapsedTimer>
#include <QStringList>
#include <map>
#include <mutex>
#include <thread>

using namespace kxtest;
using namespace std::chrono_literals;

namespace {

constexpr int kSlack = kSanitized ? 250 : 60; // ms a loaded machine may add to a bound

// Replies as unit 1 gets them.
TBytes Exception(uint8_t function, uint8_t code) {
    return {0x01, static_cast<uint8_t>(function | 0x80), code};
}

// The reply the peer gives to a read of one register at address.
TBytes PeerWord(uint16_t address) {
    const uint16_t word = 0x1000 + address;
    return {0x01, 0x03, 0x02, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)};
}

// A TCP server serving through the fixture's link to our misbehaving peer.
class TServerTest : public TLinkFixture {
protected:
    std::mutex EventsLock;
    QStringList Events;                    // "connected", "left", "dropped", "refused"
    std::unique_ptr<TCTCPIPServer> Server; // goes first: it raises the events

    void Serve(const QStringList& options, int timeout = 150) {
        Server.reset(); // before the link it serves through
        Start(options, timeout);
        Server = Srv.CreateTCPServer();
        Server->put_Port(0);
        Server->OnClientEvent = [this](TCTCPIPServer*, const QString&,
                                       TCTCPIPServer::TClientEvent event, const QString&) {
            static const char* const kNames[] = {"connected", "left", "dropped", "refused"};
            std::lock_guard lock(EventsLock);
            Events << kNames[static_cast<int>(event)];
        };
        ASSERT_TRUE(Server->StartServer()) << Server->ErrorText().toStdString();
    }

    uint16_t Port() const { return static_cast<uint16_t>(Server->GetListenPort()); }

    // Waits until the server has raised name count times.
    bool AwaitEvent(const QString& name, int count = 1) {
        return PumpUntil([&] {
            std::lock_guard lock(EventsLock);
            return Events.count(name) >= count;
        });
    }
};

INSTANTIATE_TEST_SUITE_P(Both, TServerTest, ::testing::Values(TKind::Tcp, TKind::Rtu), KindName);

// What the drive answers reaches the client under the request's own
// transaction and unit id; what it does not answer becomes 0x0B in time.
TEST_P(TServerTest, AnswersCarryTheRequestsIdsAndTheDrivesWords) {
    const std::tuple<const char*, TBytes, TBytes> cases[] = {
        // mode, request, reply
        {"normal", RawTcpClient::ReadPdu(0x0123), PeerWord(0x0123)},
        {"normal", {0x06, 0x00, 0x20, 0xBE, 0xEF}, {0x01, 0x06, 0x00, 0x20, 0xBE, 0xEF}},
        {"exception", RawTcpClient::ReadPdu(0x10), Exception(0x03, 0x02)},
        {"silent", RawTcpClient::ReadPdu(0x10), Exception(0x03, TCTCPIPServer::kTargetFailed)},
    };
    constexpr int kTimeout = 300;
    for (const auto& [mode, pdu, expected] : cases) {
        SCOPED_TRACE(mode);
        Serve({"--mode", mode}, kTimeout);
        RawTcpClient client(Port());
        // Several in a row: a time-out must not make the next one wait longer.
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer clock;
            clock.start();
            EXPECT_EQ(client.Transact(1, pdu), expected);
            EXPECT_LE(clock.elapsed(), kTimeout + 100 + kSlack);
        }
    }
}

// Junk closes that client's connection only, as soon as its header shows it.
TEST_P(TServerTest, AClientBreakingTheProtocolIsDroppedAlone) {
    const std::pair<const char*, TBytes> junk[] = {
        {"length 1", {0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01}},
        {"length 255", {0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x01}},
        {"protocol 1", {0x00, 0x01, 0x00, 0x01, 0x00, 0x06, 0x01, 0x03, 0x00, 0x10, 0x00, 0x01}},
    };
    Serve({"--log", Log});
    RawTcpClient good(Port());
    int dropped = 0;
    for (const auto& [name, bytes] : junk) {
        SCOPED_TRACE(name);
        RawTcpClient bad(Port());
        ASSERT_TRUE(bad.SendRaw(bytes));
        EXPECT_TRUE(bad.ClosedByPeer());
        EXPECT_TRUE(AwaitEvent("dropped", ++dropped));
        EXPECT_EQ(good.Transact(1, RawTcpClient::ReadPdu(0x11)), PeerWord(0x11));
    }
    EXPECT_EQ(LoggedRequests(Log).size(),
              static_cast<qsizetype>(std::size(junk))); // no junk on the line
}

// A client vanishing mid-frame costs nothing; unit 0 is sent as a broadcast
// and gets no reply. A link its owner closed stays closed; the server says so
// for every request.
TEST_P(TServerTest, VanishingClientsBroadcastsAndAClosedLinkCostNothing) {
    Serve({"--log", Log});
    {
        RawTcpClient vanishing(Port());
        const TBytes frame = RawTcpClient::Mbap(1, 1, RawTcpClient::ReadPdu(0x12));
        ASSERT_TRUE(vanishing.SendRaw(TBytes(frame.begin(), frame.begin() + 9)));
        ASSERT_TRUE(AwaitEvent("connected"));
    }
    EXPECT_TRUE(AwaitEvent("left"));
    RawTcpClient client(Port());
    ASSERT_TRUE(client.SendRaw(RawTcpClient::Mbap(7, 0, {0x06, 0x00, 0x30, 0x12, 0x34})));
    EXPECT_FALSE(client.Receive(500ms));
    EXPECT_EQ(client.Transact(1, RawTcpClient::ReadPdu(0x30)), (TBytes{1, 0x03, 0x02, 0x12, 0x34}));
    Srv.CloseConnection();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(client.Transact(1, RawTcpClient::ReadPdu(0x10)),
                  Exception(0x03, TCTCPIPServer::kPathUnavailable));
    EXPECT_EQ(LoggedRequests(Log), (QStringList{"00 06 00 30 12 34", "01 03 00 30 00 01"}));
    EXPECT_EQ(Server->GetServedCount(), 2u);
    EXPECT_EQ(Server->GetFailedCount(), 2u);
}

TEST_P(TServerTest, ClientsAndRequestsBeyondTheLimitsAreRefused) {
    Serve({"--every-ms", "20"});
    std::vector<std::unique_ptr<RawTcpClient>> clients;
    for (int i = 0; i < TCTCPIPServer::kMaxClients; ++i)
        clients.push_back(std::make_unique<RawTcpClient>(Port()));
    ASSERT_TRUE(AwaitEvent("connected", TCTCPIPServer::kMaxClients));
    RawTcpClient extra(Port());
    EXPECT_TRUE(extra.ClosedByPeer());
    EXPECT_TRUE(AwaitEvent("refused"));

    // One burst of pipelined requests: the client's share of the queue is
    // served, the rest is told at once that the server is busy.
    TBytes burst;
    const int sent = TCTCPIPServer::kMaxQueuedPerClient + 4;
    for (int i = 0; i < sent; ++i) {
        const TBytes frame =
            RawTcpClient::Mbap(static_cast<uint16_t>(100 + i), 1, RawTcpClient::ReadPdu(0x10 + i));
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(clients[0]->SendRaw(burst));
    std::map<uint16_t, TBytes> replies;
    for (int i = 0; i < sent; ++i) {
        const auto reply = clients[0]->Receive();
        ASSERT_TRUE(reply);
        replies[reply->Transaction] = reply->Adu;
    }
    for (int i = 0; i < sent; ++i) {
        const TBytes expected = i < TCTCPIPServer::kMaxQueuedPerClient
                                    ? PeerWord(static_cast<uint16_t>(0x10 + i))
                                    : Exception(0x03, TCTCPIPServer::kServerBusy);
        EXPECT_EQ(replies[static_cast<uint16_t>(100 + i)], expected) << i;
    }
    // Every other client is still served.
    EXPECT_EQ(clients.back()->Transact(1, RawTcpClient::ReadPdu(0x20)), PeerWord(0x20));
}

// Against a queue of requests to a silent drive, stopping the server and the
// link's owner (an exchange thread, a bridge closing it) wait for the
// exchange under way at most, however many requests wait.
TEST_P(TServerTest, StoppingAndTheLinksOwnerWaitForOneExchangeAtMost) {
    constexpr int kTimeout = 300;
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "StopServer" : "owner's exchange");
        Serve({"--mode", "silent"}, kTimeout);
        RawTcpClient client(Port());
        for (int i = 0; i < TCTCPIPServer::kMaxQueuedPerClient; ++i)
            ASSERT_TRUE(client.SendRaw(
                RawTcpClient::Mbap(static_cast<uint16_t>(i), 1, RawTcpClient::ReadPdu(0x10))));
        std::this_thread::sleep_for(50ms);
        QElapsedTimer clock;
        clock.start();
        if (stop) {
            EXPECT_TRUE(Server->StopServer());
            EXPECT_LE(clock.elapsed(), kTimeout + 100 + kSlack);
            EXPECT_TRUE(client.ClosedByPeer());
            EXPECT_FALSE(Server->StopServer());
        } else {
            std::vector<uint8_t> response;
            EXPECT_EQ(Tx({1, 0x03, 0x00, 0x10, 0x00, 0x01}, response), TModbusSrv::kTimeout);
            EXPECT_LE(clock.elapsed(), 2 * kTimeout + 100 + kSlack); // theirs, then ours
        }
    }
}

} // namespace
