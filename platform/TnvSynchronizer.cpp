#include "TnvSynchronizer.h"

#include "NvErrorReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <chrono>

namespace {

const QEvent::Type kServeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Lives on the GUI thread; each posted event makes it serve the queue.
class TServeReceiver : public QObject {
public:
    explicit TServeReceiver(TnvSynchronizer& owner)
        : FOwner(owner) {}

protected:
    bool event(QEvent* e) override {
        if (!FOwner.TakeWakeEvent(e))
            return QObject::event(e);
        FOwner.ServePending();
        return true;
    }

private:
    TnvSynchronizer& FOwner;
};

} // namespace

TnvSynchronizer::TnvSynchronizer()
    : FGuiThread(std::this_thread::get_id())
    , FReceiver(std::make_unique<TServeReceiver>(*this)) {}

TnvSynchronizer::~TnvSynchronizer() = default;

void TnvSynchronizer::Synchronize(const std::function<void()>& call) {
    auto entry = std::make_shared<TCall>();
    entry->Call = call;
    if (std::this_thread::get_id() == FGuiThread) {
        RunCall(*entry);
        return;
    }
    std::unique_lock lock(FLock);
    FQueue.push_back(entry);
    FChanged.notify_all();
    if (!FWakeEvent) {
        // Made under the lock, which the GUI thread takes before it looks at
        // the event: Qt's own queue is invisible to ThreadSanitizer.
        FWakeEvent = new QEvent(kServeEvent);
        QCoreApplication::postEvent(FReceiver.get(), FWakeEvent);
    }
    FChanged.wait(lock, [&] { return entry->Done; });
}

bool TnvSynchronizer::TakeWakeEvent(const QEvent* e) {
    std::lock_guard lock(FLock);
    if (e != FWakeEvent)
        return false;
    FWakeEvent = nullptr;
    return true;
}

void TnvSynchronizer::RunCall(TCall& call) {
    try {
        call.Call();
    } catch (...) {
        nv::ReportCurrentException();
    }
}

void TnvSynchronizer::ServePending() {
    for (;;) {
        std::shared_ptr<TCall> entry;
        {
            std::lock_guard lock(FLock);
            if (FQueue.empty())
                return;
            entry = FQueue.front();
            FQueue.pop_front();
        }
        RunCall(*entry);
        std::lock_guard lock(FLock);
        entry->Done = true;
        FChanged.notify_all();
    }
}

void TnvSynchronizer::ServeUntil(const std::function<bool()>& finished) {
    for (;;) {
        ServePending();
        if (finished())
            return;
        std::unique_lock lock(FLock);
        // The time limit only guards against a condition that changes without
        // a Wake; the worker wakes us as its last act.
        FChanged.wait_for(lock, std::chrono::milliseconds(50),
                          [&] { return FWoken || !FQueue.empty(); });
        FWoken = false;
    }
}

void TnvSynchronizer::Wake() {
    std::lock_guard lock(FLock);
    FWoken = true;
    FChanged.notify_all();
}
