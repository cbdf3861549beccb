#pragma once

#include "TLinkFixture.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <functional>

namespace kxtest {

// Definitions for the thread tests: 1 to 4 are 16-bit words at 0x10 to 0x13,
// 5 a 32-bit value at 0x0124, 6 a 16-bit word at 0x0123.
inline QString WriteDefinitions(const QString& folder) {
    QString text = "[Categories]\nRam=1/6\n";
    auto add = [&](int index, int address, int type) {
        text += QStringLiteral("[Par-%1]\nRegAddr=%2\nRegQtty=%3\nRegProg=%2\nName=P%1\nDescr=P%1\n"
                               "Type=%4\nUnsigned=1\nReadonly=0\nFormatNorm=1\nFormatString=0\n")
                    .arg(index)
                    .arg(address)
                    .arg(type == 4 ? 2 : 1)
                    .arg(type);
    };
    for (int i = 1; i <= 4; ++i)
        add(i, 0x0F + i, 3);
    add(5, 0x0124, 4);
    add(6, 0x0123, 3);
    const QString path = folder + "/defs.ini";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
}

// Runs the GUI thread's events until done() or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

inline void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

// A link fixture with a value set of the six definitions above and a thread
// whose settings point at the fixture's peer.
class TThreadFixture : public TLinkFixture {
protected:
    TnvParDefSet Defs;
    TnvParValueSet Set;
    std::unique_ptr<TnvMBThread> Thread;

    void SetUp() override {
        ASSERT_TRUE(Defs.LoadFromFile(WriteDefinitions(Dir.path())));
        ASSERT_TRUE(Set.AddParBindsFromIdxList(&Defs, "1/6"));
        Set.SetSlaveAddress(1);
    }

    // Starts the peer and a thread on it (not yet started).
    void StartPeer(const QStringList& options, int timeout = 100, int retries = 0,
                   bool pymodbus = false) {
        TLinkFixture::Start(options, timeout, pymodbus);
        Srv.CloseConnection();
        Thread = std::make_unique<TnvMBThread>();
        TnvMBSetup& s = Thread->Settings;
        s.Enabled = true;
        s.Timeout = timeout;
        s.Retries = retries;
        if (GetParam() == TKind::Tcp) {
            s.Name = "TCP";
            s.ConnType = 2;
            s.HostName = "127.0.0.1";
            s.TCPIPPort = Peer->Port();
        } else {
            s.Name = "COM3";
            s.PortNumber = 3;
            s.Parity = 2;
            s.FlowCtrl = 8;
            s.StopBits = 50;
        }
    }

    // Makes the given values cyclic, starts the thread and subscribes the set.
    void Run(std::initializer_list<uint32_t> cyclic = {}) {
        for (uint32_t index : cyclic)
            Set.FindValue(index)->SetCyclic(true);
        ASSERT_TRUE(Thread->Start());
        Thread->AddValueSet(&Set);
    }

    TnvParValue* Value(uint32_t index) { return Set.FindValue(index); }
};

} // namespace kxtest
