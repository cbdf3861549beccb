#include "TNodeFixture.h"
#include "TnvIniFile.h"
#include "TnvMBDeviceInfo.h"
#include "TnvRegistry.h"

#include <QElapsedTimer>

namespace {

using namespace kxtest;

constexpr uint16_t kAlarmRegister = 0x0192;

// ---------------------------------------------------------------- without a link

TEST(TnvTDSetup, SavesAndLoadsThroughBothStoresAndDefaultsWhatIsAbsent) {
    TConfigHome home;
    QTemporaryDir dir;
    const QString file = dir.path() + "/nodes.ini";
    TnvTDSetup saved{.NodeName = "Press", .ConnName = "TCP", .SlaveAddress = 17, .SampleTime = 12};
    ASSERT_TRUE(saved.SaveToIniFile(file));
    ASSERT_TRUE(saved.SaveToRegistry(TnvRegistryRoot::CurrentUser, "Software\\KX720\\Nodes"));
    EXPECT_EQ(TnvIniFile(file).ReadSection("Press"),
              (QStringList{"ConnectionName", "ModBusAddress", "SampleTime", "Enable"}));
    TnvIniFile ini(file);
    ini.WriteString("Lathe", "ConnectionName", "COM1");
    ini.UpdateFile();
    for (const int store : {0, 1, 2}) { // INI, registry, INI with defaults
        TnvTDSetup loaded;
        loaded.NodeName = store == 2 ? "Lathe" : "Press";
        ASSERT_TRUE(store == 1 ? loaded.LoadFromRegistry(TnvRegistryRoot::CurrentUser,
                                                         "Software\\KX720\\Nodes")
                               : loaded.LoadFromIniFile(file));
        const bool defaults = store == 2;
        EXPECT_EQ(loaded.ConnName, defaults ? "COM1" : "TCP") << store;
        EXPECT_EQ(loaded.SlaveAddress, defaults ? 0 : 17);
        EXPECT_EQ(loaded.SampleTime, defaults ? 50 : 12);
        EXPECT_EQ(loaded.Enabled, defaults);
        EXPECT_EQ(loaded.GetIsValid(), !defaults); // address 0
    }
    saved.SampleTime = 9; // too short a period
    EXPECT_FALSE(saved.SaveToIniFile(dir.path() + "/other.ini"));
}

TEST(TnvTDMachine, StatesWithoutALink) {
    TnvTDMachine node;
    EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kDisabled);
    node.AssignSettings({.NodeName = "", .ConnName = "", .SlaveAddress = 3, .Enabled = true});
    EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kNoThread);
    EXPECT_FALSE(node.AskForDeviceInfo(100));

    TnvMBThread disabledLink; // never started
    node.SetSubscribed(&disabledLink);
    EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kLinkDisabled);

    TnvMBThread link; // enabled, never started: the request stays queued
    link.Settings.Enabled = true;
    node.SetSubscribed(&link);
    EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kWaiting);
    EXPECT_FALSE(node.AskForProgHeaders(0, 9)); // only a node that is ok
    EXPECT_TRUE(node.AskForDeviceInfo(100));
    EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kIdentifying);
    node.SetSubscribed(nullptr); // withdraws the queued request
    EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kNoThread);
}

TEST(TnvTDMachine, VetoesKeepTheAddressAndTheSubscription) {
    for (bool veto : {false, true}) {
        TnvMBThread link;
        link.Settings.Enabled = true;
        TnvTDMachine node;
        node.AssignSettings({.NodeName = "", .ConnName = "", .SlaveAddress = 3, .Enabled = true});
        node.SetSubscribed(&link);
        node.OnBeforeAddrChange = [veto](TnvTDMachine*, int, bool& canchange) {
            canchange = !veto;
        };
        node.OnBeforeDisable = [veto](TnvTDMachine*, bool& canchange) {
            canchange = !veto;
        };
        node.SetSlaveAddress(9);
        EXPECT_EQ(node.GetSlaveAddress(), veto ? 3 : 9);
        EXPECT_EQ(node.GetSettings().SlaveAddress, veto ? 3 : 9);
        node.SetEnabled(false);
        EXPECT_FALSE(node.GetEnabled()); // even when vetoed
        EXPECT_EQ(node.GetNodeState(), TnvTDMachine::kDisabled);
        // A subscribed set waits for the link; an unsubscribed one is idle.
        EXPECT_EQ(node.GetParValues()->GetUpdateState(), veto ? usWaiting : usIdle);
    }
}

TEST(TnvTDProgHeaders, IndicesOutsideTheCapacityAreIgnoredAndNoDefinitionsSendNothing) {
    TnvTDProgHeaders headers(100);
    EXPECT_EQ(headers.GetLastIndex(), 99);
    headers.SetFirstIndex(100);
    headers.SetLastIndex(100);
    EXPECT_EQ(headers.GetFirstIndex(), 0);
    EXPECT_EQ(headers.GetLastIndex(), 99);
    EXPECT_EQ(headers.GetHeader(100), TnvTDProgHeaders::TSlot{});
    // Without definitions nothing is sent.
    TModbusSrv notOpen;
    headers.SetFirstIndex(4);
    EXPECT_EQ(headers.Exchange(notOpen), TnvMBThread::kNoValue);
    EXPECT_EQ(headers.GetLastIndex(), 3);
}

// ---------------------------------------------------------------- against a machine

using NodeOnSim = TNodeFixture;

TEST_F(NodeOnSim, StatesFollowAlarmsAndLinkLoss) {
    StartSim();
    StartNode();
    std::vector<std::pair<int, bool>> alarms; // index, newalarm
    Node->OnTDAlarmChange = [&](TnvTDMachine*, TnvParValue* value, bool newalarm) {
        alarms.emplace_back(value->GetParDef().ParIndex, newalarm);
    };
    ASSERT_TRUE(WaitState(TnvTDMachine::kOk));
    States.clear();

    ASSERT_TRUE(Sim->Write(kAlarmRegister, 0x0004, kSlave));
    ASSERT_TRUE(WaitState(TnvTDMachine::kAlarm));
    ASSERT_TRUE(Sim->Write(kAlarmRegister, 0, kSlave));
    ASSERT_TRUE(WaitState(TnvTDMachine::kOk));
    EXPECT_EQ(alarms, (std::vector<std::pair<int, bool>>{{402, true}, {402, false}}));

    Freeze(true);
    ASSERT_TRUE(WaitState(TnvTDMachine::kExchangeError));
    Freeze(false);
    ASSERT_TRUE(WaitState(TnvTDMachine::kOk));
    EXPECT_EQ(States, (std::vector<int>{108, 163, 171, 163}));
}

TEST_F(NodeOnSim, AnAlarmPresentAtTheStartIsNeverShownAsOk) {
    // Slow replies: the first reads are handled long before the alarm words come in.
    StartSim({"--delay", "30"});
    ASSERT_TRUE(Sim->Write(kAlarmRegister + 1, 0x0100, kSlave)); // the second alarm word
    StartNode();
    ASSERT_TRUE(WaitState(TnvTDMachine::kAlarm));
    EXPECT_EQ(std::count(States.begin(), States.end(), TnvTDMachine::kOk), 0);
}

TEST_F(NodeOnSim, IdentificationTimerHoldsTheStateUntilTheAnswer) {
    StartSim({"--ident", "721B:305"});
    StartNode();
    ASSERT_TRUE(WaitState(TnvTDMachine::kOk));
    QString model;
    Node->OnTDInfo = [&](TnvTDMachine* node, TnvMBDeviceInfo* info) {
        model = info->HardwareVersionText() + " " + info->FirmwareVersionText();
        EXPECT_EQ(node->GetNodeState(), TnvTDMachine::kIdentifying); // raised before the update
    };
    ASSERT_TRUE(Node->AskForDeviceInfo(300));
    ASSERT_TRUE(WaitState(TnvTDMachine::kOk));
    EXPECT_EQ(model, "KX721-B 3.05");
}

using HeadersOnSim = TNodeFixture;

TEST_F(HeadersOnSim, AReadingStopsAtOnceWhenItsThreadOrNodeGoes) {
    for (bool destroyThread : {false, true}) {
        SCOPED_TRACE(destroyThread ? "thread destroyed" : "node unsubscribed");
        StartSim({"--delay", "40"}); // 100 headers would take 12 s
        StartNode();
        ASSERT_TRUE(WaitState(TnvTDMachine::kOk));
        // The node withdraws its own request; a thread that ends stops any.
        TnvTDProgHeaders own(100);
        TnvTDProgHeaders* headers = destroyThread ? &own : Node->GetProgHeaders();
        int progress = 0;
        bool ended = false;
        headers->OnProgress = [&](TnvTDProgHeaders*, int, int) {
            ++progress;
        };
        headers->OnFailure = [&](TnvTDProgHeaders*, int, int) {
            ended = true;
        };
        if (destroyThread) {
            own.SetDefinitions(&Defs);
            own.SetSlaveAddress(kSlave);
            Thread->AddUserFunc(&own);
        } else {
            ASSERT_TRUE(Node->AskForProgHeaders(0, 99));
        }
        ASSERT_TRUE(PumpUntil([&] { return progress > 0; }, kPatience));
        QElapsedTimer clock;
        clock.start();
        if (destroyThread) {
            Node.reset();
            Thread.reset();
            EXPECT_LT(clock.elapsed(), kPatience / 4);
            ASSERT_TRUE(PumpUntil([&] { return ended; }, kPatience));
            EXPECT_EQ(own.LastError, TnvTDProgHeaders::kHeaderFailed);
            EXPECT_GE(own.GetLastIndex(), progress - 1);
            EXPECT_LT(own.GetLastIndex(), 99);
        } else {
            Node->SetSubscribed(nullptr);
            EXPECT_LT(clock.elapsed(), kPatience / 4);
            Pump(200);
            EXPECT_FALSE(ended); // a withdrawn request is not reported
        }
        TearDown();
        Sim.reset();
    }
}

// ---------------------------------------------------------------- a wrong reply

class HeadersOnPeer : public TLinkFixture {};
INSTANTIATE_TEST_SUITE_P(Both, HeadersOnPeer, ::testing::Values(TKind::Tcp, TKind::Rtu), KindName);

TEST_P(HeadersOnPeer, AHeaderReplyOfAnotherLengthFailsWithoutTouchingTheSlot) {
    // Every read answers 10 bytes: the read-back still shows the selection;
    // the header read, of 4 registers, is refused by the transport.
    Start({"--size", "10"});
    TnvParDefSet defs;
    ASSERT_TRUE(defs.LoadFromFile(SourcePath("data/TD_Machine.ini")));
    TnvTDProgHeaders headers(100);
    headers.SetDefinitions(&defs);
    headers.SetSlaveAddress(1);
    headers.SetFirstIndex(3);
    headers.SetLastIndex(8);
    EXPECT_EQ(headers.Exchange(Srv), TModbusSrv::kInvalidReply);
    EXPECT_EQ(headers.GetLastIndex(), 2);
    EXPECT_FALSE(headers.GetComplete());
    EXPECT_FALSE(headers.GetBusy());
    EXPECT_EQ(headers.GetHeader(3), TnvTDProgHeaders::TSlot{});
    EXPECT_EQ(LoggedRequests(Log),
              (QStringList{"01 06 00 0a 00 03", "01 03 00 0a 00 01", "01 03 00 10 00 04"}));
}

} // namespace
