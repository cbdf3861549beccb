#include "TnvMessageWindow.h"

#include "NvErrorReport.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

namespace {

QEvent::Type WakeEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

TnvMessageWindow::TnvMessageWindow(THandler handler, QObject* parent)
    : QObject(parent)
    , FHandler(std::move(handler)) {}

void TnvMessageWindow::Post(unsigned code, std::uintptr_t w, std::intptr_t l) {
    Queue(code, w, l);
    Flush();
}

void TnvMessageWindow::Queue(unsigned code, std::uintptr_t w, std::intptr_t l) {
    const std::lock_guard lock(FMutex);
    FQueue.push_back({code, w, l});
}

void TnvMessageWindow::Flush() {
    QEvent* wake = nullptr;
    {
        const std::lock_guard lock(FMutex);
        if (!FQueue.empty())
            wake = NewWakeEvent();
    }
    if (wake)
        QCoreApplication::postEvent(this, wake);
}

QEvent* TnvMessageWindow::NewWakeEvent() {
    if (FWakeEvent)
        return nullptr;
    // Made under the lock, so the window thread, which takes the lock before
    // it looks at an event, sees it complete.
    FWakeEvent = new QEvent(WakeEventType());
    return FWakeEvent;
}

bool TnvMessageWindow::event(QEvent* e) {
    bool wake = false;
    {
        const std::lock_guard lock(FMutex);
        wake = e == FWakeEvent;
        if (wake)
            FWakeEvent = nullptr;
    }
    // Other events run outside the lock: they may post, or delete the window.
    if (!wake)
        return QObject::event(e);
    HandleQueuedMessages();
    return true;
}

// Handles the messages queued so far (later ones come with their own
// wake-up). A handler may run a nested event loop (a message box), which must
// go on with the messages behind this one; only then is a wake-up posted for
// them. Posted up front, it cost every burst of a polled link a second turn
// of the GUI thread's event loop, with two wake-up writes and a poll.
void TnvMessageWindow::HandleQueuedMessages() {
    std::size_t count = 0;
    {
        const std::lock_guard lock(FMutex);
        count = FQueue.size();
    }
    QMetaObject::Connection awake;
    QMetaObject::Connection aboutToBlock;
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()); dispatcher && count > 1) {
        // The outer loop is busy in this call: a dispatcher that wakes or is
        // about to block now belongs to a loop that a handler runs.
        awake = connect(dispatcher, &QAbstractEventDispatcher::awake, this,
                        &TnvMessageWindow::Flush, Qt::DirectConnection);
        aboutToBlock = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                               &TnvMessageWindow::Flush, Qt::DirectConnection);
    }
    for (; count > 0; --count) {
        TMessage message{};
        {
            const std::lock_guard lock(FMutex);
            if (FQueue.empty())
                break;
            message = FQueue.front();
            FQueue.pop_front();
        }
        try {
            if (FHandler)
                FHandler(message.Code, message.W, message.L);
        } catch (...) {
            // An exception must never unwind through Qt's event loop.
            nv::ReportCurrentException();
        }
    }
    disconnect(awake);
    disconnect(aboutToBlock);
}
