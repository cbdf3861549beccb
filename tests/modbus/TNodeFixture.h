#pragma once

#include "TLinkFixture.h"
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
#if defined(KX_ASAN) || defined(KX_TSAN)
    static constexpr int kPatience = 20000;
#else
    static constexpr int kPatience = 8000;
#endif

    TConfigHome Home;
    std::unique_ptr<TSubprocess> Sim;
    int BenchPort = 0;
    TnvParDefSet Defs;
    std::unique_ptr<TnvMBThread> Thread;
    std::unique_ptr<TnvTDMachine> Node;
    std::vector<int> States;

    void SetUp() override {
        ASSERT_TRUE(Defs.LoadFromFile(SourcePath("data/TD_Machine.ini")));
    }

    void TearDown() override {
        Node.reset(); // before the thread it uses
        Thread.reset();
    }

    // Starts the machine, with its generated program table, and options.
    void StartSim(QStringList options = {}) {
        options << "--defs" << SourcePath("data/TD_Machine.ini") << "--machine"
                << "--slave" << QString::number(kSlave) << "--tcp"
                << "0";
        Sim = std::make_unique<TSubprocess>(KX_SIM_BINARY, options);
        const QString tcp = Sim->ReadLine(10000);
        ASSERT_TRUE(tcp.startsWith("ready tcp")) << tcp.toStdString();
        BenchPort = tcp.section(':', -1).toInt();
    }

    // A node on a started thread, enabled, with the "Node" category.
    void StartNode(int timeout = 150) {
        Thread = std::make_unique<TnvMBThread>();
        TnvMBSetup& s = Thread->Settings;
        s.Enabled = true;
        s.Timeout = timeout;
        s.Retries = 0;
        s.Name = "TCP";
        s.ConnType = TnvMBSetup::kTcpIp;
        s.HostName = "127.0.0.1";
        s.TCPIPPort = BenchPort;
        Node = std::make_unique<TnvTDMachine>();
        TnvTDSetup setup;
        setup.NodeName = "Press";
        setup.ConnName = s.Name;
        setup.SlaveAddress = kSlave;
        setup.Enabled = true;
        Node->AssignSettings(setup);
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

    // Writes a word to the machine's register through a link of the bench's own.
    bool Bench(uint16_t reg, uint16_t word) {
        const TBytes pdu{0x06, static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg & 0xFF),
                         static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)};
        TBytes echo{kSlave};
        echo.insert(echo.end(), pdu.begin(), pdu.end());
        return RawTcpClient(static_cast<uint16_t>(BenchPort)).Transact(kSlave, pdu) == echo;
    }

    void Freeze(bool frozen) {
        ::kill(Sim->Pid(), frozen ? SIGSTOP : SIGCONT);
    }
};

} // namespace kxtest
