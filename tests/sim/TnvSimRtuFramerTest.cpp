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

TEST(RtuFramingTest, CrcAndSilenceAreTheLine) {
    const TBytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(TnvSimRtuFramer::Crc16(request.data(), request.size()), 0x0A84); // sent 84 0A
    EXPECT_EQ(TnvSimRtuFramer::SilenceFor(115200), 1750us);
}

// Frames of a known length are taken at once, without waiting for the
// silence; two back to back come out one by one.
TEST_F(RtuFramerTest, KnownLengthFramesAreTakenWithoutWaiting) {
    const TBytes write = WithCrc({0x02, 0x10, 0x00, 0x10, 0x00, 0x01, 0x04, 1, 2, 3, 4});
    Feed(TBytes(write.begin(), write.begin() + 9), 0us);
    EXPECT_FALSE(framer.Next(100us));
    Feed(TBytes(write.begin() + 9, write.end()), 200us);
    EXPECT_EQ(framer.Next(200us)->size(), write.size() - 2);
    EXPECT_FALSE(framer.Deadline());

    TBytes both = WithCrc({0x02, 0x41});
    const TBytes read = WithCrc({0x02, 0x03, 0x00, 0x00, 0x00, 0x02});
    both.insert(both.end(), read.begin(), read.end());
    Feed(both, 300us);
    EXPECT_EQ(framer.Next(300us), (TBytes{0x02, 0x41}));
    EXPECT_EQ(framer.Next(300us), (TBytes{0x02, 0x03, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_FALSE(framer.Next(300us));
}

TEST_F(RtuFramerTest, UnknownFunctionIsFramedBySilence) {
    Feed(WithCrc({0x02, 0x2B, 0x0E, 0x01, 0x00}), 0us);
    EXPECT_FALSE(framer.Next(1000us));
    EXPECT_EQ(framer.Deadline(), 2005us);
    EXPECT_EQ(framer.Next(2005us), (TBytes{0x02, 0x2B, 0x0E, 0x01, 0x00}));
}

TEST_F(RtuFramerTest, BadFramesAreDropped) {
    TBytes frame = WithCrc({0x02, 0x03, 0x00, 0x14, 0x00, 0x01});
    frame.back() ^= 0x55;
    Feed(frame, 0us);
    EXPECT_FALSE(framer.Next(0us));
    EXPECT_FALSE(framer.Next(3000us));
    EXPECT_EQ(framer.DroppedFrames(), 1u);
    EXPECT_FALSE(framer.Deadline());

    frame.back() ^= 0x55; // a gap inside a frame drops both parts
    Feed(TBytes(frame.begin(), frame.begin() + 4), 4000us);
    EXPECT_FALSE(framer.Next(9000us));
    Feed(TBytes(frame.begin() + 4, frame.end()), 9000us);
    EXPECT_FALSE(framer.Next(14000us));
    EXPECT_EQ(framer.DroppedFrames(), 3u);

    // Noise longer than a frame goes without waiting for a silence.
    Feed(TBytes(200, 0x55), 20000us);
    Feed(TBytes(100, 0x55), 20100us);
    EXPECT_FALSE(framer.Deadline());
    EXPECT_EQ(framer.DroppedFrames(), 4u);
    Feed(WithCrc({0x02, 0x41}), 20200us);
    EXPECT_EQ(framer.Next(20200us), (TBytes{0x02, 0x41}));
}

} // namespace
