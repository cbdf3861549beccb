#include "ParamsTestSupport.h"
#include "TnvParDef.h"
#include "TnvParRange.h"
#include "TnvParValue.h"

namespace {

using T = TnvParDef;

// Answers of n calls of IsDue, "1" for due and "." for not.
std::string DuePattern(TnvParBind& bind, int n) {
    std::string pattern;
    for (int k = 0; k < n; ++k)
        pattern += bind.IsDue() ? '1' : '.';
    return pattern;
}

// A 16-bit word and its value, as most of these tests need.
class WordValue : public ::testing::Test {
protected:
    const TnvParDef Def = MakeDef(T::tpInt16);
    TnvParValue Value{nullptr, &Def};
};

TEST(ParValue, ABindingNeedsALoadedDefinition) {
    TnvParDef unloaded;
    EXPECT_EQ(ErrorOf([&] { TnvParValue v(nullptr, nullptr); }),
              "TnvParBind: Bad identity specifier!");
    EXPECT_EQ(ErrorOf([&] { TnvParValue v(nullptr, &unloaded); }),
              "TnvParBind: Bad identity specifier!");
}

TEST(ParValue, TheBufferFollowsTypeAndLength) {
    const TnvParDef word = MakeDef(T::tpInt16);
    const TnvParDef date = MakeDef(T::tpDate, 3);
    const TnvParDef text = MakeDef(T::tpString, 5);
    const TnvParDef none = MakeDef(T::tpNone);
    EXPECT_EQ(TnvParValue(nullptr, &word).GetBuffer(), Bytes(2, 0));
    EXPECT_EQ(TnvParValue(nullptr, &date).GetSize(), 18);
    EXPECT_EQ(TnvParValue(nullptr, &text).GetSize(), 10);
    TnvParValue empty(nullptr, &none);
    EXPECT_EQ(empty.GetSize(), 0);
    EXPECT_FALSE(empty.LoadFromFrame(Bytes{2, 3, 2, 1, 2}));
    std::uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(empty.CopyTo(out), 0);
    EXPECT_EQ(empty.GetStatus(), TnvParValue::stCleared);
}

TEST_F(WordValue, PollingIsDueAtOnceThenEveryPeriodAndSetCyclicRestartsTheCount) {
    EXPECT_EQ(DuePattern(Value, 21), "1.........1.........1");
    Value.SetPeriod(15);
    EXPECT_EQ(DuePattern(Value, 31), "1..............1..............1");
    Value.SetCyclic(true);
    EXPECT_EQ(Value.GetPeriod(), 1);
    EXPECT_EQ(Value.GetCyclic(), 1);
    EXPECT_EQ(DuePattern(Value, 4), "1111");
    Value.SetCyclic(false);
    EXPECT_EQ(Value.GetCyclic(), 0);
    EXPECT_EQ(DuePattern(Value, 2), "11") << "period 0 is due at every pass";
}

TEST_F(WordValue, PollingAWriteRequestDelaysTheNextReadOfACyclicValue) {
    Value.SetCyclic(15);
    EXPECT_EQ(DuePattern(Value, 3), "1..");
    Value.SetWriteRequest(true);
    EXPECT_TRUE(Value.GetWriteRequest());
    EXPECT_EQ(Value.GetCountdown(), 15);
    EXPECT_EQ(DuePattern(Value, 15), "..............1");

    TnvParValue idle(nullptr, &Def);
    EXPECT_TRUE(idle.IsDue());
    idle.SetWriteRequest(true);
    EXPECT_EQ(idle.GetCountdown(), 10) << "a value that is not cyclic keeps its count";
    idle.SetWriteRequest(false);
    EXPECT_FALSE(idle.GetWriteRequest());
}

TEST(Frames, LoadFromFrameCopiesTheDataAfterTheHeader) {
    const TnvParDef def = MakeDef(T::tpInt32);
    TnvParValue value(nullptr, &def);
    const Bytes frame{2, 3, 4, 0x00, 0x01, 0x00, 0x02, 0xAA};
    EXPECT_TRUE(value.LoadFromFrame(frame));
    EXPECT_EQ(value.GetBuffer(), (Bytes{0x00, 0x01, 0x00, 0x02}));
    EXPECT_EQ(value.GetStatus(), TnvParValue::stReceived);

    const nv::TDateTime before = value.GetTimeStamp();
    value.GetValueULong(0);
    EXPECT_EQ(value.GetStatus(), TnvParValue::stRead);
    EXPECT_FALSE(value.LoadFromFrame(frame)) << "same data";
    EXPECT_EQ(value.GetStatus(), TnvParValue::stReceived);
    EXPECT_GE(value.GetTimeStamp(), before);
}

TEST(Frames, AShortFrameLeavesTheValueUntouched) {
    const TnvParDef def = MakeDef(T::tpInt32);
    TnvParValue value(nullptr, &def);
    value.SetValueULong(0, 0x01020304);
    for (std::size_t size = 0; size < 7; ++size) {
        const Bytes frame(size, 0xEE);
        EXPECT_FALSE(value.LoadFromFrame(frame)) << size;
    }
    EXPECT_EQ(value.GetBuffer(), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(value.GetStatus(), TnvParValue::stWritten);
}

TEST(Frames, CopyToFillsADestinationThatIsLargeEnough) {
    const TnvParDef def = MakeDef(T::tpInt16, 2);
    TnvParValue value(nullptr, &def);
    value.SetValueUShort(1, 0xBEEF);
    Bytes out(5, 0x11);
    EXPECT_EQ(value.CopyTo(out), 4);
    EXPECT_EQ(out, (Bytes{0, 0, 0xBE, 0xEF, 0x11}));
    Bytes small(3, 0x11);
    EXPECT_EQ(value.CopyTo(small), 4);
    EXPECT_EQ(small, Bytes(3, 0x11)) << "never written beyond its end";
}

TEST_F(WordValue, TypedAccessReadsAndWritesSetTheStatusEvenWhenTheyFail) {
    EXPECT_EQ(ErrorOf([&] { Value.GetValueLong(0); }), "Wrong data type!");
    EXPECT_EQ(Value.GetStatus(), TnvParValue::stRead);
    EXPECT_EQ(ErrorOf([&] { Value.SetValueUShort(1, 5); }),
              "SetValueUShort: Element index out of range.");
    EXPECT_EQ(Value.GetStatus(), TnvParValue::stWritten);
}

TEST(TypedAccess, ARefusedWriteChangesNothing) {
    const TnvParDef def = MakeDef(T::tpInt16, 1, false);
    TnvParValue value(nullptr, &def);
    value.LoadFromFrame(Bytes{2, 3, 2, 0x00, 0x07});
    double checked = 0.0;
    int setEvents = 0;
    value.OnCheckValue = [&](TnvParValue*, double v, bool& accept) {
        checked = v;
        accept = false;
    };
    value.OnSetValue = [&](TnvParValue*, bool) {
        ++setEvents;
    };
    EXPECT_FALSE(value.SetValueShort(0, -2));
    EXPECT_DOUBLE_EQ(checked, -2.0);
    EXPECT_EQ(value.GetBuffer(), (Bytes{0x00, 0x07}));
    EXPECT_EQ(value.GetStatus(), TnvParValue::stReceived);
    EXPECT_FALSE(value.GetWriteRequest());
    EXPECT_EQ(setEvents, 0);
}

TEST(TypedAccess, AnAcceptedWriteReportsWhetherTheBytesChanged) {
    const TnvParDef def = MakeDef(T::tpBits);
    TnvParValue value(nullptr, &def);
    std::vector<bool> changes;
    std::vector<double> checked;
    value.OnCheckValue = [&](TnvParValue*, double v, bool&) {
        checked.push_back(v);
    };
    value.OnSetValue = [&](TnvParValue*, bool changed) {
        changes.push_back(changed);
    };
    EXPECT_TRUE(value.SetValueBit(0, 2, true));
    EXPECT_FALSE(value.SetValueBit(0, 2, true));
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(checked, (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(value.GetValueUShort(0), 4);
}

TEST_F(WordValue, TypedAccessAnEventMayWriteItsOwnValueAgain) {
    // The clamping pattern of the application: a Value above 100 is set to 100.
    Value.OnSetValue = [](TnvParValue* sender, bool) {
        if (sender->GetValueUShort(0) > 100)
            sender->SetValueUShort(0, 100);
    };
    Value.SetValueUShort(0, 250);
    EXPECT_EQ(Value.GetValueUShort(0), 100);
}

TEST(TypedAccess, StringsSkipTheCheck) {
    const TnvParDef def = MakeDef(T::tpString, 3);
    TnvParValue value(nullptr, &def);
    bool asked = false;
    bool reported = false;
    value.OnCheckValue = [&](TnvParValue*, double, bool& accept) {
        asked = true;
        accept = false;
    };
    value.OnSetValue = [&](TnvParValue*, bool changed) {
        reported = changed;
    };
    EXPECT_TRUE(value.SetValueString("Hi"));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(reported);
    EXPECT_EQ(value.GetValueString(), QString("Hi") + QChar(0));
}

TEST_F(WordValue, ResultsWrittenClearsTheRequestAndAnErrorKeepsIt) {
    QStringList events;
    Value.OnWritten = [&](TnvParValue*) {
        events << "written";
    };
    Value.OnError = [&](TnvParValue*, int code) {
        events << QString("error %1").arg(code);
    };
    Value.OnReceive = [&](TnvParValue*, bool changed) {
        events << QString("rx %1").arg(changed);
    };
    Value.SetWriteRequest(true);
    Value.DoOnError(-3);
    EXPECT_TRUE(Value.GetWriteRequest());
    Value.DoOnWritten();
    EXPECT_FALSE(Value.GetWriteRequest());
    EXPECT_EQ(Value.GetStatus(), TnvParValue::stSent);
    Value.DoOnReceive(true);
    EXPECT_EQ(events, QStringList({"error -3", "written", "rx 1"}));
}

// A range checking both limits.
TnvParRange Limits(double high, double low, std::uint8_t mode = 0, double reference = 0.0) {
    TnvParRange range;
    range.Mode = mode;
    range.Reference = reference;
    range.High = high;
    range.Low = low;
    range.HighCheck = range.LowCheck = true;
    return range;
}

TEST(Range, VerdictsInAbsoluteAndRelativeMode) {
    TnvParRange absolute = Limits(10, 2);
    EXPECT_FALSE(absolute.Check(5));
    EXPECT_TRUE(absolute.Check(11));
    EXPECT_EQ(absolute.State, 1);
    EXPECT_FALSE(absolute.Check(12));
    EXPECT_TRUE(absolute.Check(1));
    EXPECT_EQ(absolute.State, -1);

    TnvParRange relative = Limits(0.1, 0.2, 1, 100);
    EXPECT_FALSE(relative.Check(110));
    EXPECT_TRUE(relative.Check(110.5));
    EXPECT_TRUE(relative.Check(80)) << "back inside";
    EXPECT_EQ(relative.State, 0);
    EXPECT_TRUE(relative.Check(79));

    TnvParRange crossed = Limits(1, 9); // both limits trip: the low verdict wins
    EXPECT_TRUE(crossed.Check(5));
    EXPECT_EQ(crossed.State, -1);
}

TEST(Range, AReceptionReportsAChangedVerdictOnce) {
    TnvParDef def = MakeDef(T::tpInt16);
    def.FormatNorm = 0.1;
    TnvParValue value(nullptr, &def);
    auto range = std::make_unique<TnvParRange>();
    range->High = 10.0;
    range->HighCheck = true;
    value.SetRange(std::move(range));
    int changes = 0;
    value.OnRangeChange = [&](TnvParValue*) {
        ++changes;
    };
    for (const Bytes& frame : {Bytes{2, 3, 2, 0, 50}, Bytes{2, 3, 2, 0, 150},
                               Bytes{2, 3, 2, 0, 160}, Bytes{2, 3, 2, 0, 10}}) {
        value.DoOnReceive(value.LoadFromFrame(frame));
    }
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(value.GetStatus(), TnvParValue::stReceived);
}

} // namespace
