#include "ParamsTestSupport.h"
#include "TnvParValue.h"

#include <string>

namespace {

using T = TnvParDef;

// Answers of n calls of IsDue, "1" for due and "." for not.
std::string DuePattern(TnvParBind& bind, int n) {
    std::string pattern;
    for (int k = 0; k < n; ++k)
        pattern += bind.IsDue() ? '1' : '.';
    return pattern;
}

// The exchange thread's side of one write: take the buffer as the frame's data.
Bytes TakeForWrite(TnvParValue& value) {
    Bytes data(static_cast<std::size_t>(value.GetSize()));
    value.CopyTo(data);
    return data;
}

class WordValue : public ::testing::Test {
protected:
    const TnvParDef Def = MakeDef(T::tpInt16);
    TnvParValue Value{nullptr, &Def};
};

TEST_F(WordValue, PollingIsDueAtOnceThenEveryPeriodAndAWriteDelaysTheNextRead) {
    EXPECT_EQ(DuePattern(Value, 21), "1.........1.........1");
    Value.SetPeriod(15);
    EXPECT_EQ(DuePattern(Value, 16), "1..............1");
    Value.SetCyclic(true);
    EXPECT_EQ(DuePattern(Value, 3), "111");
    Value.SetCyclic(false);
    EXPECT_EQ(DuePattern(Value, 2), "11") << "period 0 is due at every pass";
    Value.SetCyclic(15);
    EXPECT_EQ(DuePattern(Value, 3), "1..");
    Value.SetWriteRequest(true);
    EXPECT_EQ(DuePattern(Value, 15), "..............1");

    TnvParValue idle(nullptr, &Def);
    EXPECT_EQ(DuePattern(idle, 3), "1..");
    idle.SetWriteRequest(true);
    EXPECT_EQ(DuePattern(idle, 8), ".......1") << "a value that is not cyclic keeps its count";
}

TEST(Frames, LoadFromFrameNeedsAWholeFrameAndCopyToStaysInTheDestination) {
    const TnvParDef def = MakeDef(T::tpInt32);
    TnvParValue value(nullptr, &def);
    for (std::size_t size = 0; size < 7; ++size)
        EXPECT_FALSE(value.LoadFromFrame(Bytes(size, 0xEE))) << size;
    EXPECT_EQ(value.GetBuffer(), Bytes(4, 0));
    const Bytes frame{2, 3, 4, 0x00, 0x01, 0x00, 0x02, 0xAA};
    EXPECT_TRUE(value.LoadFromFrame(frame));
    EXPECT_EQ(value.GetBuffer(), (Bytes{0x00, 0x01, 0x00, 0x02}));
    EXPECT_FALSE(value.LoadFromFrame(frame)) << "same data";
    EXPECT_EQ(value.GetStatus(), TnvParValue::stReceived);

    const TnvParDef noneDef = MakeDef(T::tpNone);
    TnvParValue none(nullptr, &noneDef);
    EXPECT_FALSE(none.LoadFromFrame(Bytes{2, 3, 2, 1, 2}));

    // CopyTo never writes beyond the destination.
    value.SetValueLong(0, 0x0001BEEF);
    Bytes out(5, 0x11);
    EXPECT_EQ(value.CopyTo(out), 4);
    EXPECT_EQ(out, (Bytes{0, 1, 0xBE, 0xEF, 0x11}));
    Bytes small(3, 0x11);
    EXPECT_EQ(value.CopyTo(small), 4);
    EXPECT_EQ(small, Bytes(3, 0x11));
    // A binding needs a loaded definition.
    TnvParDef unloaded;
    EXPECT_EQ(ErrorOf([&] { TnvParValue v(nullptr, &unloaded); }),
              "TnvParBind: Bad identity specifier!");
}

// A refused write changes nothing, an accepted one reports a change, and an
// event may write its own value again.
TEST(TypedAccess, ARefusedWriteChangesNothingAndAnAcceptedOneReportsAChange) {
    const TnvParDef def = MakeDef(T::tpInt16, 1, false);
    TnvParValue value(nullptr, &def);
    value.LoadFromFrame(Bytes{2, 3, 2, 0x00, 0x07});
    std::vector<double> checked;
    std::vector<bool> changes;
    value.OnCheckValue = [&](TnvParValue*, double v, bool& accept) {
        checked.push_back(v);
        accept = v >= 0;
    };
    value.OnSetValue = [&](TnvParValue*, bool changed) {
        changes.push_back(changed);
    };
    EXPECT_FALSE(value.SetValueShort(0, -2));
    EXPECT_EQ(value.GetBuffer(), (Bytes{0x00, 0x07}));
    EXPECT_EQ(value.GetStatus(), TnvParValue::stReceived);
    EXPECT_FALSE(value.GetWriteRequest());
    EXPECT_TRUE(value.SetValueShort(0, 9));
    EXPECT_FALSE(value.SetValueShort(0, 9));
    EXPECT_EQ(checked, (std::vector<double>{-2.0, 9.0, 9.0}));
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    // The clamping pattern of the application: a Value above 100 is set to 100.
    value.OnSetValue = [](TnvParValue* sender, bool) {
        if (sender->GetValueUShort(0) > 100)
            sender->SetValueUShort(0, 100);
    };
    value.SetValueUShort(0, 250);
    EXPECT_EQ(value.GetValueUShort(0), 100);
}

TEST_F(WordValue, AnErrorKeepsTheWriteRequestAndAnEditOnTheWireIsStillSent) {
    Value.SetValueUShort(0, 100);
    Value.SetWriteRequest(true);
    Value.DoOnError(-3);
    EXPECT_TRUE(Value.GetWriteRequest());
    EXPECT_EQ(TakeForWrite(Value), (Bytes{0, 100}));
    Value.SetValueUShort(0, 200); // the operator moves on before the reply
    Value.SetWriteRequest(true);
    Value.DoOnWritten(); // the reply to the write of 100
    ASSERT_TRUE(Value.GetWriteRequest());
    EXPECT_EQ(TakeForWrite(Value), (Bytes{0, 200}));
    Value.DoOnWritten();
    EXPECT_FALSE(Value.GetWriteRequest());
    EXPECT_EQ(Value.GetStatus(), TnvParValue::stSent);

    TnvParValue neverTaken(nullptr, &Def); // a result that came another way
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

using V = TnvParValue&;
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ReadOnTheWire,
    ::testing::Values(
        TDuringRead{"Nothing", [](V) {}, 0x1234, true},
        TDuringRead{"Edit", [](V v) { v.SetValueUShort(0, 0xBEEF); }, 0xBEEF, false},
        TDuringRead{"EditAndSend", [](V v) { v.SetValueUShort(0, 0xBEEF); v.SetWriteRequest(true); },
                    0xBEEF, false},
        TDuringRead{"EditToTheSameWord", [](V v) { v.SetValueUShort(0, 100); }, 100, false},
        TDuringRead{"SendWhatIsShown", [](V v) { v.SetWriteRequest(true); }, 100, false},
        TDuringRead{"SendWithdrawn", [](V v) { v.SetWriteRequest(true); v.SetWriteRequest(false); },
                    0x1234, true},
        TDuringRead{"RefusedEdit", [](V v) {
            v.OnCheckValue = [](TnvParValue*, double, bool& accept) { accept = false; };
            v.SetValueUShort(0, 0xBEEF);
            v.OnCheckValue = nullptr; }, 0x1234, true}),
    [](const ::testing::TestParamInfo<TDuringRead>& row) { return std::string(row.param.Name); });
// clang-format on

} // namespace
