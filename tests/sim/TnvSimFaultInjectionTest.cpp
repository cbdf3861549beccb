#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace std::chrono_literals;
using namespace kxtest;

namespace {

const TBytes kReadMaxVoltage{0x03, 0x00, 0x14, 0x00, 0x01};
const TBytes kMaxVoltageReply{0x02, 0x03, 0x02, 0x01, 0xCC};

TEST(SimFaultTest, SilenceOneLosesEveryRequest) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--silence", "1"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    EXPECT_FALSE(client.Transact(2, kReadMaxVoltage, 300ms));
    EXPECT_FALSE(client.Transact(2, {0x06, 0x00, 0x0F, 0x00, 0x01}, 300ms));
}

// Which of 24 pipelined requests get an answer.
std::set<int> AnsweredWith(const QString& seed) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--silence", "0.5", "--seed", seed});
    if (!sim.Ready())
        return {};
    RawTcpClient client(sim.TcpPort());
    TBytes burst;
    for (int t = 0; t < 24; ++t) {
        const TBytes request = RawTcpClient::Mbap(static_cast<uint16_t>(t), 2, kReadMaxVoltage);
        burst.insert(burst.end(), request.begin(), request.end());
    }
    client.SendRaw(burst);
    const TBytes replies = client.ReadRaw(500ms);
    std::set<int> answered;
    for (size_t at = 0; at + 11 <= replies.size(); at += 11)
        answered.insert(replies[at + 1]);
    return answered;
}

TEST(SimFaultTest, SilenceFollowsTheSeed) {
    const std::set<int> first = AnsweredWith("5");
    EXPECT_GT(first.size(), 4u);
    EXPECT_LT(first.size(), 20u);
    EXPECT_EQ(AnsweredWith("5"), first);
    EXPECT_NE(AnsweredWith("6"), first);
}

TEST(SimFaultTest, DelayHoldsBackEveryReply) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--delay", "300"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(client.Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_LT(timer.elapsed(), 900);
}

TEST(SimFaultTest, DelayedClientDoesNotHoldUpAnother) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--delay", "400"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient first(sim.TcpPort());
    RawTcpClient second(sim.TcpPort());
    QElapsedTimer timer;
    timer.start();
    first.SendRaw(RawTcpClient::Mbap(1, 2, kReadMaxVoltage));
    second.SendRaw(RawTcpClient::Mbap(2, 2, kReadMaxVoltage));
    EXPECT_EQ(first.ReadRaw(1500ms).size(), 11u);
    EXPECT_EQ(second.ReadRaw(1500ms).size(), 11u);
    EXPECT_LT(timer.elapsed(), 750) << "the replies wait side by side, not one after the other";
}

TEST(SimFaultTest, BadCrcCorruptsRtuReplies) {
    QTemporaryDir dir;
    const QString link = dir.filePath("kx720");
    TSimProcess sim({"--pty", link, "--bad-crc", "1"});
    ASSERT_TRUE(sim.Ready());
    RawRtuClient client(link);
    const TBytes reply = client.Transact({0x02, 0x03, 0x00, 0x14, 0x00, 0x01});
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(TBytes(reply.begin(), reply.begin() + 5), kMaxVoltageReply);
    EXPECT_FALSE(CrcValid(reply));
}

TEST(SimFaultTest, ForcedExceptionAnswersOnlyItsRegister) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--exception", "0x14:4", "--exception", "15:6"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    EXPECT_EQ(client.Transact(2, kReadMaxVoltage), (TBytes{0x02, 0x83, 0x04}));
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x13, 0x00, 0x03}), (TBytes{0x02, 0x83, 0x04}));
    EXPECT_EQ(client.Transact(2, {0x06, 0x00, 0x0F, 0x00, 0x01}), (TBytes{0x02, 0x86, 0x06}));
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x0F, 0x00, 0x01}), (TBytes{0x02, 0x83, 0x06}));
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x15, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x01, 0xF4}));
}

TEST(SimFaultTest, StuckRegisterAcknowledgesWritesButKeepsItsWord) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--stuck", "0x0F"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    const TBytes readSetpoint{0x03, 0x00, 0x0F, 0x00, 0x01};
    const auto before = client.Transact(2, readSetpoint);
    ASSERT_TRUE(before && before->size() == 5u);
    EXPECT_EQ(client.Transact(2, {0x10, 0x00, 0x0F, 0x00, 0x01, 0x02, 0x01, 0x23}),
              (TBytes{0x02, 0x10, 0x00, 0x0F, 0x00, 0x01}));
    EXPECT_EQ(client.Transact(2, {0x06, 0x00, 0x0F, 0x01, 0x23}),
              (TBytes{0x02, 0x06, 0x00, 0x0F, 0x01, 0x23}));
    EXPECT_EQ(client.Transact(2, readSetpoint), before);
    // Its neighbour takes writes as ever.
    EXPECT_EQ(client.Transact(2, {0x06, 0x00, 0x10, 0x00, 0x2A}),
              (TBytes{0x02, 0x06, 0x00, 0x10, 0x00, 0x2A}));
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x10, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x00, 0x2A}));
}

TEST(SimFaultTest, DropAfterClosesTheConnection) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--drop-after", "2"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    EXPECT_EQ(client.Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    EXPECT_EQ(client.Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    bool closed = false;
    client.ReadRaw(500ms, &closed);
    EXPECT_TRUE(closed);
    RawTcpClient next(sim.TcpPort());
    EXPECT_EQ(next.Transact(2, kReadMaxVoltage), kMaxVoltageReply) << "a new connection is served";
}

TEST(SimFaultTest, LineSpeedDelaysByTheWireTime) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--line-speed", "1200"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(client.Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    // 8 bytes out, 7 back, 11 bits each, and two 3.5-character silences: 242 bits.
    EXPECT_GE(timer.elapsed(), 201);
    EXPECT_LT(timer.elapsed(), 700);
}

} // namespace
