#include "TThreadFixture.h"
#include "TnvMBDeviceInfo.h"

#include <chrono>
#include <mutex>

using namespace kxtest;

namespace {

// What the value set's events saw, in order.
struct TRecorder {
    std::vector<std::pair<uint32_t, uint16_t>> Received; // index, word
    std::vector<uint32_t> Written;
    std::vector<std::pair<uint32_t, int>> Failed; // index, code

    void Attach(TnvParValueSet& set) {
        for (const auto& value : set.GetValues()) {
            const uint32_t index = value->GetParDef().ParIndex;
            value->OnReceive = [this, index](TnvParValue* v, bool) {
                Received.emplace_back(index, v->GetValueUShort(0));
            };
            value->OnWritten = [this, index](TnvParValue*) {
                Written.push_back(index);
            };
            value->OnError = [this, index](TnvParValue*, int code) {
                Failed.emplace_back(index, code);
            };
        }
    }
};

// When each exchange of a thread's transport ended, as its worker saw it.
// The thread's transport factory keeps it alive as long as the worker.
class TExchangeClock {
public:
    using TTime = std::chrono::steady_clock::time_point;
    static std::shared_ptr<TExchangeClock> On(TnvMBThread& thread) {
        auto clock = std::make_shared<TExchangeClock>();
        thread.SetServerFactory([clock] {
            auto server = std::make_unique<TModbusSrv>();
            server->SetOnExchanged([clock](int32_t, std::chrono::microseconds) {
                const std::lock_guard lock(clock->FLock);
                clock->FEnds.push_back(std::chrono::steady_clock::now());
            });
            return server;
        });
        return clock;
    }
    std::vector<TTime> Ends() {
        const std::lock_guard lock(FLock);
        return FEnds;
    }

private:
    std::mutex FLock;
    std::vector<TTime> FEnds;
};

class TnvMBThreadLink : public TThreadFixture {
protected:
    TRecorder Events;
    void SetUp() override {
        TThreadFixture::SetUp();
        Events.Attach(Set);
    }
    void TearDown() override { Thread.reset(); }
};

INSTANTIATE_TEST_SUITE_P(Both, TnvMBThreadLink, ::testing::Values(TKind::Tcp, TKind::Rtu),
                         KindName);

TEST_P(TnvMBThreadLink, FramesCarryQuantityOneAndTheSlavesLowByte) {
    StartPeer({});
    Set.SetSlaveAddress(257);
    Run();
    Value(6)->SetValueUShort(0, 0xABCD);
    Value(6)->SetWriteRequest(true);
    Value(5)->SetValueULong(0, 0x01020304);
    Value(5)->SetWriteRequest(true);
    ASSERT_TRUE(PumpUntil([&] { return Events.Written.size() == 2; }));
    Value(6)->SetCyclic(true);
    ASSERT_TRUE(PumpUntil([&] { return !Events.Received.empty(); }));
    Thread.reset();
    EXPECT_EQ(LoggedRequests(Log).mid(0, 3),
              (QStringList{"01 10 01 24 00 01 04 01 02 03 04", "01 10 01 23 00 01 02 ab cd",
                           "01 03 01 23 00 01"}));
    EXPECT_EQ(Events.Received.front(), std::make_pair(6u, uint16_t{0xABCD}));
    EXPECT_FALSE(Value(6)->GetWriteRequest());
}

TEST_P(TnvMBThreadLink, SilentPeerCostsRetriesPlusOneExchangesForTheFirstValueOnly) {
    StartPeer({"--mode", "silent"}, 20, 2);
    Run({1, 2, 3});
    ASSERT_TRUE(PumpUntil([&] { return Events.Failed.size() >= 2; }));
    Thread.reset(); // may cut the last cycle's retries short
    Pump(50);
    // Over RTU the line check before each attempt is all that goes out.
    const QStringList sent = LoggedRequests(Log, true);
    EXPECT_GE(sent.size(), 6);
    for (const QString& request : sent) // only the first value
        EXPECT_TRUE(request == "01 03 00 10 00 01" || request.startsWith("01 08 00 00"))
            << request.toStdString();
    // One failure per cycle of three exchanges; the stop may cut the last cycle
    // short without one, a loaded machine end it one exchange early at its deadline.
    const auto failed = static_cast<qsizetype>(Events.Failed.size());
    EXPECT_GE(failed, sent.size() / 3);
    EXPECT_LE(failed, (sent.size() + 2) / 3);
    for (const auto& failure : Events.Failed)
        EXPECT_EQ(failure, std::make_pair(1u, int(TModbusSrv::kTimeout)));
    EXPECT_TRUE(Events.Received.empty());
    EXPECT_EQ(Set.GetUpdateState(), usError);
}

// A reply of another size than the value comes from another parameter than
// the one defined: it is refused, never read past nor shown in part.
TEST_P(TnvMBThreadLink, ReplyOfAnotherSizeThanTheValueIsInvalid) {
    for (const char* mode : {"short", "long"}) {
        SCOPED_TRACE(mode);
        Events = {};
        StartPeer({"--mode", mode});
        Run({1});
        ASSERT_TRUE(PumpUntil([&] { return !Events.Failed.empty(); }));
        EXPECT_EQ(Events.Failed.front(), std::make_pair(1u, int(TModbusSrv::kInvalidReply)));
        EXPECT_EQ(Value(1)->GetStatus(), TnvParValue::stCleared);
        Thread.reset();
    }
}

// An operator's edit made while the read of the same value is on the wire
// is written, and the late read reply does not overwrite it.
class TnvMBThreadTcp : public TnvMBThreadLink {};
INSTANTIATE_TEST_SUITE_P(Tcp, TnvMBThreadTcp, ::testing::Values(TKind::Tcp), KindName);

TEST_P(TnvMBThreadTcp, AnEditMadeWhileItsReadIsOnTheWireIsWrittenAndKept) {
    StartPeer({"--every-ms", "300"}, 1000); // register 0x10 holds 0x1010
    Run({1});
    // The peer logs a request when it arrives, before it waits.
    ASSERT_TRUE(PumpUntil([&] { return !LoggedRequests(Log).isEmpty(); }));
    ASSERT_EQ(Value(1)->GetStatus(), TnvParValue::stCleared) << "the reply came before the edit";
    Value(1)->SetValueUShort(0, 0xBEEF);
    Value(1)->SetWriteRequest(true);
    ASSERT_TRUE(PumpUntil([&] { return Events.Written.size() == 1; }, 5000));
    Thread.reset();
    EXPECT_EQ(LoggedRequests(Log).mid(0, 2),
              (QStringList{"01 03 00 10 00 01", "01 10 00 10 00 01 02 be ef"}));
    EXPECT_EQ(Value(1)->GetValueUShort(0), 0xBEEF);
}

TEST_P(TnvMBThreadLink, FailedWriteIsRepeatedUntilItSucceeds) {
    StartPeer({"--mode", "exception"});
    Value(1)->SetWriteRequest(true);
    Run();
    ASSERT_TRUE(PumpUntil([&] { return Events.Failed.size() >= 2; }));
    EXPECT_TRUE(Value(1)->GetWriteRequest());
    EXPECT_TRUE(Events.Written.empty());
}

TEST_P(TnvMBThreadLink, AddingTwiceKeepsOneSubscription) {
    StartPeer({});
    Run({1});
    Thread->AddValueSet(&Set);
    ASSERT_TRUE(PumpUntil([&] { return Events.Received.size() >= 3; }));
    Thread->RemoveValueSet(&Set);
    EXPECT_EQ(Set.GetUpdateState(), usIdle);
    Pump(50);
    const auto before = LoggedRequests(Log).size();
    const auto received = Events.Received.size();
    Pump(250);
    Thread.reset();
    EXPECT_EQ(LoggedRequests(Log).size(), before);
    // One read per cycle: a doubled subscription would read twice per cycle.
    EXPECT_EQ(static_cast<qsizetype>(received), before);
}

// A job subscribing its set right after a pass does not wait out the rest of
// the cycle: without the wake-up the next exchange would come about 100 ms
// after the last one.
TEST_P(TnvMBThreadLink, SubscribingASetStartsAPassAtOnce) {
    StartPeer({});
    const auto clock = TExchangeClock::On(*Thread);
    Run({1});
    TnvParValueSet job;
    ASSERT_TRUE(job.AddParBindsFromIdxList(&Defs, "2"));
    job.SetSlaveAddress(1);
    job.FindValue(2)->SetCyclic(true);
    auto shortest = std::chrono::steady_clock::duration::max();
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A pass of the one value has just ended.
        const size_t seen = clock->Ends().size();
        ASSERT_TRUE(PumpUntil([&] { return clock->Ends().size() > seen; }));
        const size_t before = clock->Ends().size();
        Thread->AddValueSet(&job);
        const bool ran = PumpUntil([&] { return clock->Ends().size() >= before + 2; });
        Thread->RemoveValueSet(&job); // before the set can go out of scope
        ASSERT_TRUE(ran);
        const auto ends = clock->Ends();
        shortest = std::min(shortest, ends.at(before) - ends.at(before - 1));
    }
    EXPECT_LT(shortest, std::chrono::milliseconds(80));
}

// Results travel to the GUI thread in lots; on a slow link a lot must not
// wait for the end of the pass, or a progress bar would jump from 0 to 100 %.
TEST_P(TnvMBThreadLink, ResultsOfASlowPassArriveDuringThePass) {
    StartPeer({"--every-ms", "80"}, 500);
    const auto clock = TExchangeClock::On(*Thread);
    Run({1, 2, 3, 4});
    ASSERT_TRUE(PumpUntil([&] { return !Events.Received.empty(); }));
    EXPECT_LT(clock->Ends().size(), 4u);
}

// Against a silent slave each exchange would wait out its retries; stopping
// must not. The time-out is long enough that waiting it out twice shows.
TEST_P(TnvMBThreadLink, StoppingCutsTheExchangeOnTheWireShort) {
    constexpr int kTimeout = 400;
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destruction" : "RemoveValueSet");
        StartPeer({"--mode", "silent"}, kTimeout, 2);
        Run({1});
        ASSERT_TRUE(PumpUntil([&] { return !LoggedRequests(Log, true).isEmpty(); }));
        Pump(kTimeout / 2); // well inside the first attempt
        QElapsedTimer clock;
        clock.start();
        if (destroy)
            Thread.reset();
        else
            Thread->RemoveValueSet(&Set);
        EXPECT_LT(clock.elapsed(), kTimeout + 100);
        Pump(50);
        EXPECT_TRUE(Events.Failed.empty()); // a cut exchange is not a failure
        Thread.reset();
    }
}

// A user request is queued once, never retried, and ends on the GUI thread.
TEST_P(TnvMBThreadLink, UserRequestsAreServedOnceOnTheGuiThread) {
    for (const bool answered : {true, false}) {
        SCOPED_TRACE(answered ? "answered" : "silence");
        // A loaded machine may keep the answer past a short time-out.
        StartPeer(answered ? QStringList{"--ident", "000002d0410000cf0000"}
                           : QStringList{"--mode", "silent"},
                  answered ? 1000 : 100, 2);
        TnvMBDeviceInfo info(1);
        int ends = 0; // responses count 1, errors 100
        info.OnResponse = [&](TnvMBDeviceInfo*) {
            ends += 1;
        };
        info.OnError = [&](TnvMBDeviceInfo*) {
            ends += 100;
        };
        ASSERT_TRUE(Thread->Start());
        Thread->AddUserFunc(&info);
        Thread->AddUserFunc(&info); // already queued: still one request
        ASSERT_TRUE(PumpUntil([&] { return ends != 0; }));
        Pump(250);
        Thread.reset();
        EXPECT_EQ(ends, answered ? 1 : 100);
        EXPECT_EQ(info.LastError, answered ? 0 : TModbusSrv::kTimeout);
        const QStringList sent = LoggedRequests(Log, true);
        EXPECT_EQ(answered ? sent.count("01 41") : sent.size(), 1) << sent.join(", ").toStdString();
    }
}

// The link's life: opening, failing to open, and being destroyed at awkward
// moments.
class TnvMBThreadLife : public ::testing::Test {
protected:
    TConfigHome Home;
    std::vector<QString> Log; // outlives the thread, whose last event writes to it
    TnvParValueSet Set;
    std::unique_ptr<TnvMBThread> Thread = std::make_unique<TnvMBThread>();

    void SetUp() override {
        Thread->Settings.Name = "TCP";
        Thread->Settings.ConnType = 2;
        Thread->Settings.TCPIPPort = FreeTcpPort(); // nobody listens
        Thread->Settings.Enabled = true;
        Thread->Settings.Timeout = 100;
        Thread->OnConnect = [this](TnvMBThread*) {
            Log.push_back("connect");
        };
        Thread->OnDisconnect = [this](TnvMBThread*) {
            Log.push_back("disconnect");
        };
        Thread->OnError = [this](TnvMBThread*, int32_t code) {
            Log.push_back(QString::number(code));
        };
        Set.OnUpdateStateChange = [this](TnvParValueSet*, TnvUpdateState s) {
            Log.push_back("state " + QString::number(s));
        };
    }
};

TEST_F(TnvMBThreadLife, InvalidOrDisabledSettingsNeverStart) {
    TnvMBThread serial;
    serial.Settings = {.Name = "COM1", .Enabled = true}; // PortNumber 0
    EXPECT_FALSE(serial.Start());
    Thread->Settings.Enabled = false;
    EXPECT_FALSE(Thread->Start());
    Thread->AddValueSet(&Set);
    Pump(150);
    EXPECT_EQ(Set.GetUpdateState(), usWaiting);
    EXPECT_TRUE(Log.empty());
}

TEST_F(TnvMBThreadLife, LinkThatDoesNotOpenReportsOnceAndIdlesTheSet) {
    ASSERT_TRUE(Thread->Start());
    Thread->AddValueSet(&Set);
    ASSERT_TRUE(PumpUntil([&] { return Set.GetUpdateState() == usIdle; }));
    Pump(300);
    Thread.reset();
    EXPECT_EQ(Log, (std::vector<QString>{"-1", "state 0", "disconnect"}));
}

TEST_F(TnvMBThreadLife, TransportThatCannotBeCreatedIsMinusThree) {
    Thread->SetServerFactory(
        []() -> std::unique_ptr<TModbusSrv> { throw std::runtime_error("no"); });
    ASSERT_TRUE(Thread->Start());
    ASSERT_TRUE(PumpUntil([&] { return !Log.empty(); }));
    EXPECT_EQ(Log.front(), "-3");
    EXPECT_EQ(Thread->LastError(), TnvMBThread::kServerFailed);
    EXPECT_FALSE(Thread->IsConnected());
}

TEST_F(TnvMBThreadLife, DestroyedWhileConnecting) {
    Thread->SetServerFactory([] {
        QThread::msleep(150); // a slow port
        return std::make_unique<TModbusSrv>();
    });
    ASSERT_TRUE(Thread->Start());
    Thread.reset(); // the worker's OnError and OnDisconnect need this thread
    EXPECT_EQ(Log, (std::vector<QString>{"-1", "disconnect"}));
}

TEST_F(TnvMBThreadLife, DestroyedWhileTheConnectEventWaitsForTheGuiThread) {
    auto peer = TPeer::TcpSlave();
    ASSERT_TRUE(peer->Ready());
    Thread->Settings.TCPIPPort = peer->Port();
    ASSERT_TRUE(Thread->Start());
    QThread::msleep(200); // the worker is connected and waits in OnConnect
    Thread.reset();
    EXPECT_EQ(Log, (std::vector<QString>{"connect", "disconnect"}));
}

} // namespace
