#include "TnvSimRtuFramer.h"
#include "Crc16.h"
#include "RawTcpClient.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using kxtest::TBytes;
using kxtest::WithCrc;
using TTime = TnvSimRtuFramer::TTime;

class RtuFramerTest : public ::testing::Test {
protected:
    void Feed(const TBytes& bytes, TTime at) { framer.Feed(bytes.data(), bytes.size(), at); }
    TnvSimRtuFramer framer{TnvSimRtuFramer::SilenceFor(19200)};
};

TEST(RtuCrcTest, MatchesTheKnownCheckSequence) {
    const TBytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(TnvSimRtuFramer::Crc16(request.data(), request.size()), 0x0A84); // sent 84 0A
}

TEST(RtuSilenceTest, IsThreeAndAHalfCharactersUpTo19200Baud) {
    EXPECT_EQ(TnvSimRtuFramer::SilenceFor(9600), 4010us);
    EXPECT_EQ(TnvSimRtuFramer::SilenceFor(19200), 2005us);
    EXPECT_EQ(TnvSimRtuFramer::SilenceFor(115200), 1750us);
}

TEST_F(RtuFramerTest, KnownLengthFrameIsTakenWithoutWaitingForTheSilence) {
    Feed(WithCrc({0x02, 0x03, 0x00, 0x14, 0x00, 0x01}), 1000us);
    EXPECT_EQ(framer.Next(1000us), (TBytes{0x02, 0x03, 0x00, 0x14, 0x00, 0x01}));
    EXPECT_FALSE(framer.Deadline());
}

TEST_F(RtuFramerTest, WriteMultipleLengthFollowsItsByteCount) {
    const TBytes frame = WithCrc({0x02, 0x10, 0x00, 0x10, 0x00, 0x01, 0x04, 1, 2, 3, 4});
    Feed(TBytes(frame.begin(), frame.begin() + 9), 0us);
    EXPECT_FALSE(framer.Next(100us));
    Feed(TBytes(frame.begin() + 9, frame.end()), 200us);
    EXPECT_EQ(framer.Next(200us)->size(), frame.size() - 2);
}

TEST_F(RtuFramerTest, IdentificationRequestIsFourBytes) {
    Feed(WithCrc({0x02, 0x41}), 0us);
    EXPECT_EQ(framer.Next(0us), (TBytes{0x02, 0x41}));
}

TEST_F(RtuFramerTest, UnknownFunctionIsFramedBySilence) {
    Feed(WithCrc({0x02, 0x2B, 0x0E, 0x01, 0x00}), 0us);
    EXPECT_FALSE(framer.Next(1000us));
    EXPECT_EQ(framer.Deadline(), 2005us);
    EXPECT_EQ(framer.Next(2005us), (TBytes{0x02, 0x2B, 0x0E, 0x01, 0x00}));
}

TEST_F(RtuFramerTest, BadCrcIsDroppedAtTheSilence) {
    TBytes frame = WithCrc({0x02, 0x03, 0x00, 0x14, 0x00, 0x01});
    frame.back() ^= 0x55;
    Feed(frame, 0us);
    EXPECT_FALSE(framer.Next(0us));
    EXPECT_FALSE(framer.Next(3000us));
    EXPECT_EQ(framer.DroppedFrames(), 1u);
    EXPECT_FALSE(framer.Deadline());
}

TEST_F(RtuFramerTest, GapInsideAFrameDropsBothParts) {
    const TBytes frame = WithCrc({0x02, 0x03, 0x00, 0x14, 0x00, 0x01});
    Feed(TBytes(frame.begin(), frame.begin() + 4), 0us);
    EXPECT_FALSE(framer.Next(5000us));
    Feed(TBytes(frame.begin() + 4, frame.end()), 5000us);
    EXPECT_FALSE(framer.Next(10000us));
    EXPECT_EQ(framer.DroppedFrames(), 2u);
}

TEST_F(RtuFramerTest, BackToBackFramesComeOutOneByOne) {
    TBytes both = WithCrc({0x02, 0x41});
    const TBytes second = WithCrc({0x02, 0x03, 0x00, 0x00, 0x00, 0x02});
    both.insert(both.end(), second.begin(), second.end());
    Feed(both, 0us);
    EXPECT_EQ(framer.Next(0us), (TBytes{0x02, 0x41}));
    EXPECT_EQ(framer.Next(0us), (TBytes{0x02, 0x03, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_FALSE(framer.Next(0us));
}

TEST_F(RtuFramerTest, NoiseLongerThanAFrameIsDroppedWithoutWaitingForSilence) {
    Feed(TBytes(200, 0x55), 0us);
    Feed(TBytes(100, 0x55), 100us);
    EXPECT_FALSE(framer.Deadline());
    EXPECT_EQ(framer.DroppedFrames(), 1u);
    Feed(WithCrc({0x02, 0x41}), 200us);
    EXPECT_EQ(framer.Next(200us), (TBytes{0x02, 0x41}));
}

} // namespace
