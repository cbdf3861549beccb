// An operator's edit against the exchange thread's reads of the same value.

#include "ThreadFixture.h"

using kxtest::PumpUntil;
using kxtest::TKind;

namespace {

class TnvMBThreadEdit : public kxtest::TThreadFixture {
protected:
    void TearDown() override { Thread.reset(); }
};

INSTANTIATE_TEST_SUITE_P(Tcp, TnvMBThreadEdit, ::testing::Values(TKind::Tcp), kxtest::KindName);

TEST_P(TnvMBThreadEdit, AnEditMadeWhileItsReadIsOnTheWireIsWrittenAndKept) {
    StartPeer({"--every-ms", "300"}, 1000); // register 0x10 holds 0x1010
    int written = 0;
    Value(1)->OnWritten = [&](TnvParValue*) {
        ++written;
    };
    Run({1});
    // The peer logs a request when it arrives, before it waits.
    ASSERT_TRUE(PumpUntil([&] { return !kxtest::LoggedRequests(Log).isEmpty(); }));
    ASSERT_EQ(Value(1)->GetStatus(), TnvParValue::stCleared) << "the reply came before the edit";
    Value(1)->SetValueUShort(0, 0xBEEF);
    Value(1)->SetWriteRequest(true);
    ASSERT_TRUE(PumpUntil([&] { return written == 1; }, 5000));
    Thread.reset();

    const QStringList sent = kxtest::LoggedRequests(Log);
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent[0].toStdString(), "01 03 00 10 00 01");
    EXPECT_EQ(sent[1].toStdString(), "01 10 00 10 00 01 02 be ef");
    EXPECT_EQ(Value(1)->GetValueUShort(0), 0xBEEF);
}

} // namespace
