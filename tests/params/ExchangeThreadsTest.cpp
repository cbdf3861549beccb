#include "ParamsTestSupport.h"
#include "TestWait.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <atomic>
#include <thread>

namespace {

// The exchange thread's side of a pass: write a requested value and post
// that, or else read a due value from a "reply" and post the result.
TEST(ExchangeThreads, AWorkerDeliversWhileTheGuiThreadReadsAndWrites) {
    constexpr int kReplies = 2000;
    TnvParDef def = MakeDef(TnvParDef::tpInt16);
    def.FormatString = "0";
    TnvParValueSet set;
    ASSERT_TRUE(set.AddParBind(&def));
    TnvParValue* value = set.FindValue(1);
    const auto id = reinterpret_cast<std::uintptr_t>(value);
    value->SetCyclic(true);

    int received = 0;
    int lastSeen = -1;
    bool ordered = true;
    value->OnReceive = [&](TnvParValue* v, bool) {
        // The buffer may already hold a later reply; it never goes back.
        const int now = v->GetValueUShort(0);
        ordered = ordered && now >= lastSeen;
        lastSeen = now;
        ++received;
    };

    std::atomic<bool> stop{false};
    std::atomic<int> posted{0};
    int lastTaken = 0; // the last reply that reached the buffer
    std::thread worker([&] {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(value->GetSize()));
        for (int reply = 1; reply <= kReplies; ++reply) {
            if (value->GetWriteRequest()) {
                value->CopyTo(out);
                set.PostMessage(TnvParValueSet::kMsgWriteDone, id, 0);
            } else if (value->GetCyclic() && value->IsDue()) {
                const bool changed = value->LoadFromFrame(
                    Bytes{1, 3, 2, std::uint8_t(reply >> 8), std::uint8_t(reply)});
                if (changed)
                    lastTaken = reply;
                ++posted;
                set.PostMessage(TnvParValueSet::kMsgReadDone, id, changed ? 1 : 0);
            }
            if (set.GetSlaveAddress() < 0)
                stop = true;
        }
    });

    // Meanwhile the GUI thread keeps using the value as the windows do.
    for (int k = 0; k < 200; ++k) {
        value->GetValueNumText(0);
        value->SetWriteRequest(k % 7 == 0);
        value->SetCyclic(true);
        set.SetSlaveAddress(k);
        QCoreApplication::processEvents();
    }
    worker.join();
    EXPECT_TRUE(kxtest::PumpUntil([&] { return received == posted; }, 5000));
    EXPECT_FALSE(stop);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(value->GetValueUShort(0), lastTaken);
    EXPECT_EQ(set.GetUpdateState(), usOk);
}

} // namespace
