#include "NvErrorReport.h"
#include "TestWait.h"
#include "TnvError.h"
#include "TnvMessageWindow.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using TMessage = std::tuple<unsigned, std::uintptr_t, std::intptr_t>;

TEST(MessageWindow, HandlesMessagesFromAnotherThreadInPostingOrder) {
    constexpr int kCount = 1000;
    std::vector<TMessage> received;
    bool onWindowThread = true;
    TnvMessageWindow window([&](unsigned code, std::uintptr_t w, std::intptr_t l) {
        onWindowThread = onWindowThread && QThread::currentThread() == window.thread();
        received.push_back({code, w, l});
    });

    std::thread poster([&window] {
        for (int i = 0; i < kCount; ++i)
            window.Post(TnvMessageWindow::WM_USER + 1 + i % 4, static_cast<std::uintptr_t>(i), -i);
    });
    ASSERT_TRUE(kxtest::PumpUntil([&] { return received.size() == kCount; }, 10000));
    poster.join();

    ASSERT_EQ(received.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(received[i], (TMessage{TnvMessageWindow::WM_USER + 1 + i % 4,
                                         static_cast<std::uintptr_t>(i), -i}));
    EXPECT_TRUE(onWindowThread);
}

// A burst queued from the worker wakes the window once, at the flush; until
// then nothing is handled, and a Post flushes what was queued before it.
TEST(MessageWindow, QueuedMessagesWaitForAFlushAndKeepTheirPlace) {
    std::vector<std::uintptr_t> received;
    TnvMessageWindow window(
        [&](unsigned, std::uintptr_t w, std::intptr_t) { received.push_back(w); });
    std::thread([&window] {
        window.Queue(TnvMessageWindow::WM_USER, 1, 0);
        window.Queue(TnvMessageWindow::WM_USER, 2, 0);
    }).join();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(received.empty());
    std::thread([&window] { window.Post(TnvMessageWindow::WM_USER, 3, 0); }).join();
    ASSERT_TRUE(kxtest::PumpUntil([&] { return received.size() == 3; }, 10000));
    std::thread([&window] {
        window.Queue(TnvMessageWindow::WM_USER, 4, 0);
        window.Flush();
    }).join();
    ASSERT_TRUE(kxtest::PumpUntil([&] { return received.size() == 4; }, 10000));
    EXPECT_EQ(received, (std::vector<std::uintptr_t>{1, 2, 3, 4}));
}

TEST(MessageWindow, ReportsAnExceptionAndGoesOnWithLaterMessages) {
    std::vector<QString> reports;
    nv::SetErrorReporter([&](const QString& message) { reports.push_back(message); });
    std::vector<unsigned> handled;
    TnvMessageWindow window([&](unsigned code, std::uintptr_t, std::intptr_t) {
        handled.push_back(code);
        if (code == 2)
            throw TnvError("Wrong data type!");
        if (code == 3)
            throw 42;
    });
    for (unsigned code = 1; code <= 5; ++code)
        window.Post(code, 0, 0);
    EXPECT_TRUE(kxtest::PumpUntil([&] { return handled.size() == 5; }, 10000));

    EXPECT_EQ(handled, (std::vector<unsigned>{1, 2, 3, 4, 5}));
    EXPECT_EQ(reports, (std::vector<QString>{"Wrong data type!", "Unknown error"}));

    // Outside a catch block, and with a reporter that raises, nothing escapes.
    reports.clear();
    nv::ReportCurrentException();
    EXPECT_EQ(reports, std::vector<QString>{"Unknown error"});
    nv::SetErrorReporter([](const QString&) { throw std::runtime_error("reporter failed"); });
    EXPECT_NO_THROW(nv::ReportError("to standard error instead"));
    nv::SetErrorReporter(nullptr);
}

// A handler that shows a message box runs a nested event loop that waits for
// events, one that reports progress one that does not; the following messages
// are handled in it, in order.
TEST(MessageWindow, GoesOnWithTheNextMessagesInANestedEventLoop) {
    for (const bool waits : {true, false}) {
        std::vector<int> trace; // +code when a handler starts, -code when it ends
        QEventLoop nested;
        QTimer::singleShot(2000, &nested, &QEventLoop::quit);
        TnvMessageWindow window([&](unsigned code, std::uintptr_t, std::intptr_t) {
            trace.push_back(static_cast<int>(code));
            if (code == 1 && waits)
                nested.exec();
            else if (code == 1)
                kxtest::PumpUntil([&] { return trace.size() >= 5; }, 2000);
            trace.push_back(-static_cast<int>(code));
            if (code == 3)
                nested.quit();
        });
        for (unsigned code = 1; code <= 3; ++code)
            window.Post(code, 0, 0);
        ASSERT_TRUE(kxtest::PumpUntil([&] { return trace.size() == 6; }, 10000));
        EXPECT_EQ(trace, (std::vector<int>{1, 2, -2, 3, -3, -1})) << "waits " << waits;
    }
}

} // namespace
