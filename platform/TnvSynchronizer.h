#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QEvent;
class QObject;

// The blocking hand-off from a worker thread to the GUI thread: Synchronize
// runs a call on the GUI thread and returns when it has run. The GUI thread
// serves calls from its event loop, and also while it waits for the worker to
// end (ServeUntil), so a worker that needs the GUI thread and a GUI thread that
// waits for that worker never block each other.
class TnvSynchronizer {
public:
    // Created on the GUI thread, whose calls it serves.
    TnvSynchronizer();
    // GUI thread, after every worker that uses it has ended.
    ~TnvSynchronizer();
    TnvSynchronizer(const TnvSynchronizer&) = delete;
    TnvSynchronizer& operator=(const TnvSynchronizer&) = delete;

    // Any thread: runs call on the GUI thread and waits for it (at once when
    // called on the GUI thread). An exception raised by call goes to the
    // default error report on the GUI thread; it never reaches the worker.
    void Synchronize(const std::function<void()>& call);

    // GUI thread: runs every call that waits, in the order they came.
    void ServePending();

    // GUI thread: serves calls until finished() answers true. finished is
    // asked after each call served and whenever Wake is called; the worker
    // calls Wake as its last act.
    void ServeUntil(const std::function<bool()>& finished);

    // Any thread: makes ServeUntil ask its condition again.
    void Wake();

    // GUI thread: whether e is the pending wake-up event (which it then no
    // longer is). For the receiving object.
    bool TakeWakeEvent(const QEvent* e);

private:
    struct TCall {
        std::function<void()> Call;
        bool Done = false;
    };
    void RunCall(TCall& call);

    std::thread::id FGuiThread;
    std::mutex FLock;
    std::condition_variable FChanged; // a call queued or done, or Wake
    std::deque<std::shared_ptr<TCall>> FQueue;
    bool FWoken = false;
    QEvent* FWakeEvent = nullptr;       // posted and not yet delivered
    std::unique_ptr<QObject> FReceiver; // makes the GUI event loop serve the queue
};
