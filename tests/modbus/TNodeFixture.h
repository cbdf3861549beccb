#pragma once

#include "TThreadFixture.h"
#include "TnvTDMachine.h"
#include "TnvTDProgHeaders.h"

#include <csignal>

namespace kxtest {

// kx720-sim playing a machine (data/TD_Machine.ini, slave 2) over TCP, through
// which a test also plays the test bench (raises alarms). A node with its own
// exchange thread supervises it; the node's state changes are recorded. The
// node works above the exchange thread, whose links are tested on their own.
class TNodeFixture : public ::testing::Test {
protected:
    static constexpr uint8_t kSlave = 2;
    static constexpr int kPatience = kSanitized ? 20000 : 8000;

    TConfigHome Home;
    std::unique_ptr<TSimProcess> Sim;
    TnvParDefSet Defs;
    std::unique_ptr<TnvMBThread> Thread;
    std::unique_ptr<TnvTDMachine> Node;
    std::vector<int> States;

    void SetUp() override { ASSERT_TRUE(Defs.LoadFromFile(SourcePath("data/TD_Machine.ini"))); }

    void TearDown() override {
        Node.reset(); // before the thread it uses
        Thread.reset();
    }

    // Starts the machine, with its generated program table, and options.
    void StartSim(QStringList options = {}) {
        Sim = std::make_unique<TSimProcess>(
            options << "--defs" << SourcePath("data/TD_Machine.ini") << "--machine"
                    << "--slave" << QString::number(kSlave) << "--tcp"
                    << "0");
        ASSERT_TRUE(Sim->Ready()) << Sim->StandardError().toStdString();
    }

    // A node on a started thread, enabled, with the "Node" category.
    void StartNode() {
        Thread = std::make_unique<TnvMBThread>();
        Thread->Settings = {.Name = "TCP",
                            .ConnType = TnvMBSetup::kTcpIp,
                            .Retries = 0,
                            .Timeout = 150,
                            .TCPIPPort = Sim->TcpPort(),
                            .Enabled = true};
        Node = std::make_unique<TnvTDMachine>();
        Node->AssignSettings(
            {.NodeName = "Press", .ConnName = "TCP", .SlaveAddress = kSlave, .Enabled = true});
        Node->AssignDefSet(&Defs);
        ASSERT_TRUE(Node->GetParValues()->AddParBindsCategory(&Defs, "Node"));
        Node->OnNodeStateChange = [this](TnvTDMachine* n) {
            States.push_back(n->GetNodeState());
        };
        ASSERT_TRUE(Thread->Start());
        Node->SetSubscribed(Thread.get());
    }

    bool WaitState(int state) {
        return PumpUntil([&] { return Node->GetNodeState() == state; }, kPatience);
    }

    void Freeze(bool frozen) { ::kill(Sim->Pid(), frozen ? SIGSTOP : SIGCONT); }
};

} // namespace kxtest
