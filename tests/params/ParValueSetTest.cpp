#include "NvErrorReport.h"
#include "ParamsTestSupport.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <string>

namespace {

using S = TnvParValueSet;

std::uintptr_t W(TnvParValue* value) {
    return reinterpret_cast<std::uintptr_t>(value);
}

// A value set over parameters 1 to 3 that records what its events report.
class ParValueSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString text = "[Categories]\nRam=3,1/2\nBroken=1,99\n";
        for (int index = 1; index <= 4; ++index)
            text += QString("[Par-%1]\nName=%2\nType=3\n").arg(index).arg(index == 4 ? "P1" : "P");
        ASSERT_TRUE(Defs.LoadFromFile(kxtest::WriteFile(Dir.filePath("defs.ini"), text.toUtf8())));
        Set.OnUpdateStateChange = [this](TnvParValueSet* sender, TnvUpdateState state) {
            EXPECT_EQ(sender, &Set);
            Log << QString("state %1").arg(int(state));
        };
        ASSERT_TRUE(Set.AddParBindsCategory(&Defs, "Ram"));
        for (std::uint32_t index = 1; index <= 3; ++index) {
            TnvParValue* value = Set.FindValue(index);
            ASSERT_NE(value, nullptr);
            value->OnReceive = [this](TnvParValue* v, bool changed) {
                Log << QString("rx %1 %2").arg(v->GetParDef().ParIndex).arg(changed);
            };
            value->OnWritten = [this](TnvParValue* v) {
                Log << QString("written %1").arg(v->GetParDef().ParIndex);
            };
            value->OnError = [this](TnvParValue* v, int code) {
                Log << QString("error %1 %2").arg(v->GetParDef().ParIndex).arg(code);
            };
        }
        Log.clear();
        nv::SetErrorReporter([this](const QString& message) { Reports << message; });
    }

    void TearDown() override { nv::SetErrorReporter(nullptr); }

    TnvParValue* Value(std::uint32_t index) { return Set.FindValue(index); }

    QTemporaryDir Dir;
    TnvParDefSet Defs;
    TnvParValueSet Set;
    QStringList Log;
    QStringList Reports;
};

TEST_F(ParValueSetTest, CreationSkipsPresentValuesAndDeletingFiresBeforeDestroyingLastFirst) {
    EXPECT_TRUE(Set.AddParBind(Defs.Find(2u)));
    TnvParDef unloaded;
    EXPECT_FALSE(Set.AddParBind(&unloaded));
    EXPECT_FALSE(Set.AddParBindsCategory(&Defs, "Broken"));
    EXPECT_EQ(Set.GetCountParBind(), 3);
    ASSERT_TRUE(Set.AddParBindsFromIdxList(&Defs, "4"));
    Set.OnDeleteParBind = [this](TnvParValueSet*, TnvParBind* b) {
        Log << QString::number(b->GetParDef().ParIndex);
    };
    EXPECT_TRUE(Set.DeleteParValue(2));
    EXPECT_FALSE(Set.DeleteParValue(2));
    Set.DeleteAllPar();
    EXPECT_EQ(Log, QStringList({"2", "4", "3", "1"}));
    EXPECT_EQ(Set.GetCountParBind(), 0);
    // Messages queued for a destroyed set are dropped.
    auto doomed = std::make_unique<TnvParValueSet>();
    ASSERT_TRUE(doomed->AddParBindsFromIdxList(&Defs, "1"));
    int received = 0;
    doomed->FindValue(1)->OnReceive = [&](TnvParValue*, bool) {
        ++received;
    };
    doomed->PostMessage(S::kMsgReadDone, W(doomed->FindValue(1)), 1);
    doomed.reset();
    PumpEvents();
    EXPECT_EQ(received, 0);
}

// The state event fires once per change; a value of another set, or none, is
// never touched, yet the result still counts.
TEST_F(ParValueSetTest, TheStateEventFiresOncePerChangeWithOrWithoutAValue) {
    TnvParValueSet other;
    ASSERT_TRUE(other.AddParBindsFromIdxList(&Defs, "1"));
    TnvParValue* const stranger = other.FindValue(1);
    bool strangerTouched = false;
    stranger->OnReceive = [&](TnvParValue*, bool) {
        strangerTouched = true;
    };
    const std::pair<unsigned, std::uintptr_t> messages[] = {
        // clang-format off
        {S::kMsgReadDone, 0}, {S::kMsgReadDone, W(Value(1))}, {S::kMsgUpdateState, usOk},
        {S::kMsgExchangeFailed, W(stranger)}, {S::kMsgExchangeFailed, W(Value(1))},
        {S::kMsgUpdateState, usWaiting}, {S::kMsgUpdateState, 200}, {S::kMsgReadDone, W(stranger)},
        {9999, W(Value(1))},
        // clang-format on
    };
    for (const auto& [message, value] : messages)
        Set.WndProc(message, value, 7);
    EXPECT_FALSE(strangerTouched);
    EXPECT_EQ(Log,
              QStringList({"state 2", "rx 1 1", "state 3", "error 1 7", "state 1", "state 2"}));
}

// The state is kept even when its own event raises.
TEST_F(ParValueSetTest, AnExceptionInAnyEventIsReportedAndTheRestIsHandled) {
    Value(1)->OnReceive = [](TnvParValue*, bool) {
        throw TnvError("Wrong data type!");
    };
    Value(2)->OnError = [](TnvParValue*, int) {
        throw std::runtime_error("plain");
    };
    Set.OnUpdateStateChange = [](TnvParValueSet*, TnvUpdateState) {
        throw TnvError("state failed");
    };
    Set.PostMessage(S::kMsgReadDone, W(Value(1)), 1);
    Set.PostMessage(S::kMsgExchangeFailed, W(Value(2)), 4);
    Set.PostMessage(S::kMsgReadDone, W(Value(3)), 1);
    PumpEvents();
    EXPECT_EQ(Reports, QStringList({"Wrong data type!", "state failed", "plain", "state failed",
                                    "state failed"}));
    EXPECT_EQ(Log, QStringList({"rx 3 1"}));
    EXPECT_EQ(Set.GetUpdateState(), usOk);
}

// A message whose event raises, then a result of the opposite outcome; the
// report is a modal box whose event loop handles what is queued behind.
struct TRaisingRow {
    const char* Name;
    unsigned Raising; // for value 1, whose event raises
    unsigned Next;    // for value 2
    const char* Log;  // the events, in the order they fired
    TnvUpdateState Last;
};

class ReportInArrivalOrder : public ParValueSetTest,
                             public ::testing::WithParamInterface<TRaisingRow> {};

TEST_P(ReportInArrivalOrder, TheLastResultDecidesTheState) {
    const auto raise = [](auto&&...) {
        throw TnvError("Wrong data type!");
    };
    Value(1)->OnReceive = raise;
    Value(1)->OnWritten = raise;
    Value(1)->OnError = raise;
    nv::SetErrorReporter([this](const QString& message) {
        Reports << message;
        PumpEvents();
    });
    Set.PostMessage(GetParam().Raising, W(Value(1)), 4);
    Set.PostMessage(GetParam().Next, W(Value(2)), 4);
    PumpEvents();
    EXPECT_EQ(Reports, QStringList{"Wrong data type!"});
    EXPECT_EQ(Log.join(", ").toStdString(), GetParam().Log);
    EXPECT_EQ(int(Set.GetUpdateState()), int(GetParam().Last));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportInArrivalOrder,
    ::testing::Values(TRaisingRow{"ReadThenFailure", S::kMsgReadDone, S::kMsgExchangeFailed,
                                  "state 2, error 2 4, state 3", usError},
                      TRaisingRow{"WriteThenFailure", S::kMsgWriteDone, S::kMsgExchangeFailed,
                                  "state 2, error 2 4, state 3", usError},
                      TRaisingRow{"FailureThenRead", S::kMsgExchangeFailed, S::kMsgReadDone,
                                  "state 3, rx 2 1, state 2", usOk}),
    [](const ::testing::TestParamInfo<TRaisingRow>& row) { return std::string(row.param.Name); });

} // namespace
