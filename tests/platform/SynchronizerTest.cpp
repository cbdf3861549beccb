#include "NvErrorReport.h"
#include "TnvError.h"
#include "TnvSynchronizer.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// The GUI thread waits for the worker to end without an event loop, as a
// destructor does; the worker still needs three calls on the GUI thread, and
// the one that raises goes to the error report, not to the worker. A call
// from the GUI thread itself runs at once.
TEST(TnvSynchronizer, ServeUntilServesAWorkerThatIsEnding) {
    TnvSynchronizer sync;
    const auto gui = std::this_thread::get_id();
    std::vector<int> order;
    sync.Synchronize([&] { order.push_back(0); });
    QString reported;
    nv::SetErrorReporter([&](const QString& message) { reported = message; });
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        sync.Synchronize([&] { order.push_back(std::this_thread::get_id() == gui ? 1 : -1); });
        sync.Synchronize([] { throw TnvError("Wrong data type!"); });
        sync.Synchronize([&] { order.push_back(std::this_thread::get_id() == gui ? 2 : -2); });
        finished = true;
        sync.Wake();
    });
    sync.ServeUntil([&] { return finished.load(); });
    worker.join();
    nv::SetErrorReporter(nullptr);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(reported, "Wrong data type!");
}

} // namespace
