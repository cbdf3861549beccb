#include "TnvMBDeviceInfo.h"
#include "TLinkFixture.h"

using namespace kxtest;

namespace {

// Suffixes end at a space or a NUL; the firmware's shows after a dash.
TEST(TnvMBDeviceInfo, TextsShowModelVersionAndSuffixes) {
    using TSuffix = std::array<char, 2>;
    // model, its suffix, firmware version, its suffix; the texts shown
    const std::tuple<uint16_t, TSuffix, uint16_t, TSuffix, const char*, const char*> rows[] = {
        {720, {' ', ' '}, 5, {' ', 'B'}, "KX720", "0.05"},
        {720, {0, 'B'}, 100, {'r', 'c'}, "KX720", "1.00-rc"},
        {721, {'A', 'B'}, 1234, {'b', ' '}, "KX721-AB", "12.34-b"},
        // A drive's control characters (ESC c resets a terminal) never reach the screen.
        {720, {'\x1b', 'c'}, 207, {'\n', '\x07'}, "KX720-?c", "2.07-??"}};
    for (const auto& [model, hwSuffix, version, fwSuffix, hardware, firmware] : rows) {
        TnvMBDeviceInfo info(2);
        info.HwModel = model;
        info.HwSuffix = hwSuffix;
        info.FwVersion = version;
        info.FwSuffix = fwSuffix;
        EXPECT_EQ(info.HardwareVersionText(), hardware);
        EXPECT_EQ(info.FirmwareVersionText(), firmware);
    }
}

class TnvMBDeviceInfoLink : public TLinkFixture {};
INSTANTIATE_TEST_SUITE_P(Both, TnvMBDeviceInfoLink, ::testing::Values(TKind::Tcp, TKind::Rtu),
                         KindName);

// A user-defined function has no byte count: the transport frames its reply
// itself, and nothing of it may be left to answer the next request.
TEST_P(TnvMBDeviceInfoLink, DecodesATwelveByteReplyFramedWhole) {
    Start({"--ident", "abcd02d0410000cf0000"});
    TnvMBDeviceInfo info(1);
    EXPECT_EQ(info.Exchange(Srv), 0);
    EXPECT_TRUE(info.Valid);
    EXPECT_EQ(info.InfoWord, 0xABCD);
    EXPECT_EQ(info.HardwareVersionText(), "KX720-A");
    EXPECT_EQ(info.FirmwareVersionText(), "2.07");
    std::vector<uint8_t> reply;
    ASSERT_EQ(Tx({0x01, 0x03, 0x00, 0x20, 0x00, 0x01}, reply), 0);
    EXPECT_EQ(Hex(reply), "01 03 02 10 20");
    EXPECT_EQ(LoggedRequests(Log), (QStringList{"01 41", "01 03 00 20 00 01"}));
}

TEST_P(TnvMBDeviceInfoLink, OtherLengthsCompleteWithoutValid) {
    for (const char* ident : {"abcd02d0410000cf00", "abcd02d0410000cf000000"}) { // 11, 13 bytes
        Start({"--ident", ident});
        TnvMBDeviceInfo info(1);
        info.HwModel = 99;
        EXPECT_EQ(info.Exchange(Srv), 0) << ident;
        EXPECT_FALSE(info.Valid);
        EXPECT_EQ(info.HwModel, 99); // the previous contents stay
    }
}

} // namespace
