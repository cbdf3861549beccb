#include "NvErrorReport.h"
#include "TnvError.h"
#include "TnvSynchronizer.h"

#include <QCoreApplication>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(TnvSynchronizer, ServeUntilServesAWorkerThatIsEnding) {
    // The GUI thread waits for the worker to end without an event loop, as a
    // destructor does; the worker still needs two calls on the GUI thread.
    TnvSynchronizer sync;
    const auto gui = std::this_thread::get_id();
    std::atomic<bool> finished{false};
    std::vector<int> order;
    std::thread worker([&] {
        sync.Synchronize([&] { order.push_back(std::this_thread::get_id() == gui ? 1 : -1); });
        sync.Synchronize([&] { order.push_back(std::this_thread::get_id() == gui ? 2 : -2); });
        finished = true;
        sync.Wake();
    });
    sync.ServeUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(TnvSynchronizer, CallOnTheGuiThreadRunsAtOnce) {
    TnvSynchronizer sync;
    bool ran = false;
    sync.Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(TnvSynchronizer, ExceptionGoesToTheErrorReportNotTheWorker) {
    TnvSynchronizer sync;
    QString reported;
    nv::SetErrorReporter([&](const QString& message) { reported = message; });
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        sync.Synchronize([] { throw TnvError("Wrong data type!"); });
        finished = true;
        sync.Wake();
    });
    sync.ServeUntil([&] { return finished.load(); });
    worker.join();
    nv::SetErrorReporter(nullptr);
    EXPECT_EQ(reported, "Wrong data type!");
}

} // namespace
