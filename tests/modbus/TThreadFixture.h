#pragma once

#include "TLinkFixture.h"
#include "TestFiles.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <functional>

namespace kxtest {

// Definitions for the thread tests: 1 to 4 are 16-bit words at 0x10 to 0x13,
// 5 a 32-bit value at 0x0124, 6 a 16-bit word at 0x0123.
inline QString WriteDefinitions(const QString& folder) {
    QString text = "[Categories]\nRam=1/6\n";
    const int addresses[] = {0x10, 0x11, 0x12, 0x13, 0x0124, 0x0123};
    for (int index = 1; index <= 6; ++index)
        text += QStringLiteral("[Par-%1]\nRegAddr=%2\nRegQtty=%3\nRegProg=%2\nName=P%1\nDescr=P%1\n"
                               "Type=%4\nUnsigned=1\nReadonly=0\nFormatNorm=1\nFormatString=0\n")
                    .arg(index)
                    .arg(addresses[index - 1])
                    .arg(index == 5 ? 2 : 1)
                    .arg(index == 5 ? 4 : 3);
    return WriteFile(folder + "/defs.ini", text.toUtf8());
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
        Thread->Settings = Settings(timeout, retries);
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
