#include "ParamsTestSupport.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <string>

namespace {

// The exchange thread's side of one write: take the buffer as the frame's data.
Bytes TakeForWrite(TnvParValue& value) {
    Bytes data(static_cast<std::size_t>(value.GetSize()));
    value.CopyTo(data);
    return data;
}

TEST(WriteRequest, AnEditMadeWhileTheWriteIsOnTheWireIsStillSent) {
    const TnvParDef word = MakeDef(TnvParDef::tpInt16);
    TnvParValue value(nullptr, &word);
    value.SetValueUShort(0, 100);
    value.SetWriteRequest(true);
    EXPECT_EQ(TakeForWrite(value), (Bytes{0, 100}));

    value.SetValueUShort(0, 200); // the operator moves on before the reply
    value.SetWriteRequest(true);
    value.DoOnWritten(); // the reply to the write of 100
    ASSERT_TRUE(value.GetWriteRequest());

    EXPECT_EQ(TakeForWrite(value), (Bytes{0, 200}));
    value.DoOnWritten();
    EXPECT_FALSE(value.GetWriteRequest());
}

TEST(WriteRequest, ACompletedWriteEndsTheRequestItServed) {
    const TnvParDef word = MakeDef(TnvParDef::tpInt16);
    TnvParValue taken(nullptr, &word);
    taken.SetWriteRequest(true);
    TakeForWrite(taken);
    taken.DoOnWritten();
    EXPECT_FALSE(taken.GetWriteRequest());
    EXPECT_EQ(taken.GetStatus(), TnvParValue::stSent);

    TnvParValue neverTaken(nullptr, &word); // a result that came another way
    neverTaken.SetWriteRequest(true);
    neverTaken.DoOnWritten();
    EXPECT_FALSE(neverTaken.GetWriteRequest());
}

// What the GUI thread does to a word while the exchange thread's read of it
// is on the wire; the drive answers 0x1234.
struct TDuringRead {
    const char* Name;
    std::function<void(TnvParValue&)> Act;
    std::uint16_t Kept; // the buffer once the reply is handled
    bool Changed;       // LoadFromFrame's answer
};

void PrintTo(const TDuringRead& row, std::ostream* os) {
    *os << row.Name;
}

class ReadOnTheWire : public ::testing::TestWithParam<TDuringRead> {};

TEST_P(ReadOnTheWire, TheReplyNeverReplacesANewerEdit) {
    const TnvParDef word = MakeDef(TnvParDef::tpInt16);
    TnvParValue value(nullptr, &word);
    value.SetValueUShort(0, 100);
    value.SetCyclic(true);
    ASSERT_TRUE(value.IsDue()); // the read leaves
    GetParam().Act(value);
    EXPECT_EQ(value.LoadFromFrame(Bytes{2, 3, 2, 0x12, 0x34}), GetParam().Changed);
    EXPECT_EQ(value.GetValueUShort(0), GetParam().Kept);
    if (value.GetWriteRequest()) {
        EXPECT_EQ(TakeForWrite(value), (Bytes{std::uint8_t(GetParam().Kept >> 8),
                                              std::uint8_t(GetParam().Kept & 0xFF)}));
    }

    // The next read, with nothing done meanwhile, is taken.
    value.SetWriteRequest(false);
    ASSERT_TRUE(value.IsDue());
    EXPECT_TRUE(value.LoadFromFrame(Bytes{2, 3, 2, 0x56, 0x78}));
    EXPECT_EQ(value.GetValueUShort(0), 0x5678);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadOnTheWire,
    ::testing::Values(
        TDuringRead{"Nothing", [](TnvParValue&) {}, 0x1234, true},
        TDuringRead{"Edit", [](TnvParValue& v) { v.SetValueUShort(0, 0xBEEF); }, 0xBEEF, false},
        TDuringRead{"EditAndSend",
                    [](TnvParValue& v) {
                        v.SetValueUShort(0, 0xBEEF);
                        v.SetWriteRequest(true);
                    },
                    0xBEEF, false},
        TDuringRead{"EditToTheSameWord", [](TnvParValue& v) { v.SetValueUShort(0, 100); }, 100,
                    false},
        TDuringRead{"SendWhatIsShown", [](TnvParValue& v) { v.SetWriteRequest(true); }, 100, false},
        TDuringRead{"SendWithdrawn",
                    [](TnvParValue& v) {
                        v.SetWriteRequest(true);
                        v.SetWriteRequest(false);
                    },
                    0x1234, true},
        TDuringRead{"RefusedEdit",
                    [](TnvParValue& v) {
                        v.OnCheckValue = [](TnvParValue*, double, bool& accept) {
                            accept = false;
                        };
                        v.SetValueUShort(0, 0xBEEF);
                        v.OnCheckValue = nullptr;
                    },
                    0x1234, true}),
    [](const ::testing::TestParamInfo<TDuringRead>& row) { return std::string(row.param.Name); });

} // namespace
