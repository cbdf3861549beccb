#include "TLinkFixture.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace kxtest;

namespace {

std::vector<uint8_t> ReadQuery(uint16_t address) {
    return {0x01, 0x03, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
            0x00, 0x01};
}

class TModbusSrvLink : public TLinkFixture {};

INSTANTIATE_TEST_SUITE_P(Both, TModbusSrvLink, ::testing::Values(TKind::Tcp, TKind::Rtu), KindName);

// The second request is answered N time-outs late; every request reads
// another register, so a reply taken for a later request shows as a wrong
// word. Time-outs are allowed, wrong words are not, and the link recovers.
TEST_P(TModbusSrvLink, LateReplyNeverAnswersALaterRequest) {
    constexpr int kTimeout = 100;
    for (const double late : {1.5, 2.5, 3.0, 10.0}) {
        SCOPED_TRACE(late);
        const int delay = static_cast<int>(late * kTimeout);
        Start({"--mode", "late", "--late-at", "2", "--delay-ms", QString::number(delay)}, kTimeout);
        int answeredInARow = 0;
        for (uint16_t address = 0x10; address < 0x50 && answeredInARow < 5; ++address) {
            std::vector<uint8_t> reply;
            const int32_t status = Tx(ReadQuery(address), reply);
            answeredInARow = status == 0 ? answeredInARow + 1 : 0;
            if (status != 0) {
                EXPECT_TRUE(status == TModbusSrv::kTimeout || status == TModbusSrv::kInvalidReply)
                    << std::hex << status;
                continue;
            }
            ASSERT_EQ(reply.size(), 5u);
            EXPECT_EQ((reply[3] << 8) | reply[4], 0x1000 + address) << "register " << address;
        }
        EXPECT_EQ(answeredInARow, 5);
    }
}

class TModbusSrvRtuOnly : public TLinkFixture {};
INSTANTIATE_TEST_SUITE_P(Serial, TModbusSrvRtuOnly, ::testing::Values(TKind::Rtu), KindName);

TEST_P(TModbusSrvRtuOnly, Rs485ModeAndMarkParityOnAPtyFailClearly) {
    Pty = std::make_unique<TPtyPair>();
    ASSERT_TRUE(Pty->Ready());
    Home.Map(2, Pty->LinkEnd());
    for (const QString what : {"RS-485", "parity"}) {
        TModbusSrv srv;
        ASSERT_TRUE(srv.OpenConnection("COM2", 1));
        srv.put_PortNumber(2);
        srv.put_TxMode(what == "RS-485" ? 1 : 0);
        srv.put_Parity(what == "parity" ? 3 : 0);
        EXPECT_FALSE(srv.Connect()) << what.toStdString();
        EXPECT_TRUE(srv.ErrorText().contains(what)) << srv.ErrorText().toStdString();
    }
}

// A client killed while it held the port never gives the line its old
// settings back. A pty drops the parity bit, so the next client's identical
// settings change nothing, which the C library reports as refused.
TEST_P(TModbusSrvRtuOnly, APtyLeftInOurSettingsOpensAgain) {
    Start({});
    const int line = ::open(Pty->LinkEnd().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(line, 0);
    termios left{};
    ASSERT_EQ(::tcgetattr(line, &left), 0);
    Srv.CloseConnection();
    ASSERT_EQ(::tcsetattr(line, TCSANOW, &left), 0);
    ::close(line);
    EXPECT_TRUE(Srv.Connect()) << Srv.ErrorText().toStdString();
    std::vector<uint8_t> reply;
    EXPECT_EQ(Tx(ReadQuery(0x10), reply), 0);
}

// A reply of an earlier run arrives just before the first reply of this one;
// a slave without the line check answers it with an exception.
TEST_P(TModbusSrvRtuOnly, ReplyLeftInTheLineNeverAnswersTheFirstRequest) {
    for (const bool echo : {true, false}) {
        SCOPED_TRACE(echo);
        Start(echo ? QStringList{"--stale", "010302dead"}
                   : QStringList{"--stale", "010302dead", "--no-echo"});
        std::vector<uint8_t> reply;
        EXPECT_EQ(Tx(ReadQuery(0x10), reply), 0);
        EXPECT_EQ(Hex(reply), "01 03 02 10 10");
    }
}

// Port numbers name devices; a link without a connection, or of an unknown
// kind, sends nothing.
TEST(TModbusSrv, PortNumbersNameDevicesAndNoLinkIsNotInitialized) {
    TModbusSrv srv;
    std::vector<uint8_t> reply;
    EXPECT_EQ(srv.TxRxMessage(ReadQuery(1), 6, reply), TModbusSrv::kNotInitialized);
    EXPECT_FALSE(srv.OpenConnection("X", 3));
    TConfigHome home;
    EXPECT_EQ(TModbusSrv::DeviceOfPort(1), "/dev/ttyS0");
}

TEST_P(TModbusSrvLink, ReadsAndWritesAnIndependentServer) {
    Start({}, 500, true);
    std::vector<uint8_t> reply;
    ASSERT_EQ(Tx({0x01, 0x03, 0x00, 0x05, 0x00, 0x01}, reply), 0);
    EXPECT_EQ(Hex(reply), "01 03 02 03 ed"); // 1005
    ASSERT_EQ(Tx({0x01, 0x10, 0x00, 0x05, 0x00, 0x01, 0x02, 0x12, 0x34}, reply), 0);
    EXPECT_EQ(Hex(reply), "01 10 00 05 00 01");
    ASSERT_EQ(Tx({0x01, 0x03, 0x00, 0x05, 0x00, 0x01}, reply), 0);
    EXPECT_EQ(Hex(reply), "01 03 02 12 34");
}

} // namespace
