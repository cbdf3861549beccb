#include "TnvMBBridge.h"
#include "TCTCPIPServer.h"
#include "TestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// A bridge over TCP to our peer, listening on a free port, that logs its
// events as "start", "stop" and "error <code>".
class TBridgeTest : public ::testing::Test {
protected:
    std::unique_ptr<kxtest::TPeer> Peer = kxtest::TPeer::TcpSlave();
    std::unique_ptr<TnvMBBridge> Bridge = std::make_unique<TnvMBBridge>();
    QStringList Events;

    void SetUp() override {
        ASSERT_TRUE(Peer->Ready());
        Bridge->OnStartServer = [this](TnvMBBridge*) {
            Events << "start";
        };
        Bridge->OnStopServer = [this](TnvMBBridge*) {
            Events << "stop";
        };
        Bridge->OnError = [this](TnvMBBridge*, int32_t code) {
            Events << QStringLiteral("error %1").arg(code);
        };
        Bridge->ServerPort = 0;
    }

    void UsePeer() {
        Bridge->Settings = {.Name = "Upstream",
                            .ConnType = TnvMBSetup::kTcpIp,
                            .Timeout = 300,
                            .TCPIPPort = Peer->Port()};
    }

    uint16_t Port() { return static_cast<uint16_t>(Bridge->GetTCPServer()->GetListenPort()); }
};

// The server goes with the bridge even when nobody switched it off.
TEST_F(TBridgeTest, ActivationRunsTheStepsOnceAndTheServerGoesWithTheBridge) {
    UsePeer();
    EXPECT_FALSE(Bridge->StartServer());
    EXPECT_EQ(Bridge->GetLastError(), TnvMBBridge::kNotConnected);
    EXPECT_TRUE(Events.isEmpty());
    Bridge->SetServerActive(true);
    Bridge->SetServerActive(true);
    EXPECT_EQ(Events, QStringList{"start"});
    EXPECT_TRUE(Bridge->GetConnected());
    const uint16_t port = Port();
    EXPECT_EQ(kxtest::RawTcpClient(port).Transact(1, kxtest::RawTcpClient::ReadPdu(0x10)),
              (kxtest::TBytes{1, 0x03, 0x02, 0x10, 0x10}));
    Bridge->SetServerActive(false);
    Bridge->SetServerActive(false);
    EXPECT_EQ(Events, (QStringList{"start", "stop"}));
    EXPECT_FALSE(Bridge->GetConnected());
    EXPECT_FALSE(kxtest::RawTcpClient(port).Connected());

    Bridge->SetServerActive(true);
    kxtest::RawTcpClient client(Port());
    ASSERT_TRUE(client.Connected());
    Bridge.reset();
    EXPECT_TRUE(client.ClosedByPeer());
    EXPECT_EQ(Events, (QStringList{"start", "stop", "start"}));
}

// Each failed step leaves the bridge idle and names itself by its code.
TEST_F(TBridgeTest, AFailedActivationClosesTheLinkAndReportsTheStep) {
    const std::tuple<const char*, std::function<void()>, int32_t> cases[] = {
        {"default settings", [] {}, TnvMBBridge::kLinkRefused},
        {"nobody upstream",
         [this] {
             UsePeer();
             Bridge->Settings.TCPIPPort = kxtest::FreeTcpPort();
         },
         TnvMBBridge::kLinkRefused},
        // Longer than libmodbus takes: it cannot even make a context.
        {"host name of 1100 characters",
         [this] {
             UsePeer();
             Bridge->Settings.HostName = QString(1100, 'h');
         },
         TnvMBBridge::kLinkRefused},
        {"listen port taken",
         [this] {
             UsePeer();
             Bridge->ServerPort = Peer->Port(); // the peer listens there
         },
         TnvMBBridge::kServerRefused},
    };
    for (const auto& [name, prepare, code] : cases) {
        SCOPED_TRACE(name);
        Bridge = std::make_unique<TnvMBBridge>();
        SetUp();
        Events.clear();
        prepare();
        Bridge->SetServerActive(true);
        EXPECT_EQ(Events, QStringList{QStringLiteral("error %1").arg(code)});
        EXPECT_EQ(Bridge->GetLastError(), code);
        EXPECT_FALSE(Bridge->GetConnected());
        EXPECT_FALSE(Bridge->GetServerActive());
        EXPECT_FALSE(Bridge->LastErrorDetail().isEmpty());
    }
}

} // namespace
