#pragma once

#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

// The stand-in for a hidden message window: any thread posts (code, w, l)
// messages, which are handled on the thread the window lives on (the GUI
// thread) in posting order. Messages still queued when the window is
// destroyed are dropped. An exception escaping the handler goes to
// nv::ReportCurrentException. The handler must not destroy its window (use
// deleteLater); it may run a nested event loop (a message box), which goes on
// with the following messages.
class TnvMessageWindow : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned WM_USER = 1024;

    using THandler = std::function<void(unsigned code, std::uintptr_t w, std::intptr_t l)>;

    explicit TnvMessageWindow(THandler handler, QObject* parent = nullptr);

    // Any thread. Never blocks.
    void Post(unsigned code, std::uintptr_t w, std::intptr_t l);
    // Any thread. Never blocks. Queues a message without waking the window's
    // thread: a sender with many messages in a row wakes it once for all of
    // them with Flush (or with its next Post). Order is kept either way.
    void Queue(unsigned code, std::uintptr_t w, std::intptr_t l);
    // Any thread. Wakes the window's thread for the messages queued so far.
    void Flush();

protected:
    bool event(QEvent* e) override;

private:
    struct TMessage {
        unsigned Code;
        std::uintptr_t W;
        std::intptr_t L;
    };
    void HandleQueuedMessages();
    QEvent* NewWakeEvent(); // with FMutex held: a wake-up to post, or null if one is in flight

    THandler FHandler;
    // The messages travel in our own queue, not in the Qt event: a queue under
    // a std::mutex is visible to ThreadSanitizer, whereas the locks inside
    // Qt's event queue are not. The posted event only wakes the window.
    std::mutex FMutex;
    std::deque<TMessage> FQueue;  // guarded by FMutex
    QEvent* FWakeEvent = nullptr; // guarded by FMutex; the wake-up in flight, if any
};
