#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

// The stand-in for a hidden message window: any thread posts (code, w, l)
// messages, which are handled on the thread the window lives on (the GUI
// thread) in posting order. Messages still queued when the window is
// destroyed are dropped.
class TnvMessageWindow : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned WM_USER = 1024;

    using THandler = std::function<void(unsigned code, std::uintptr_t w, std::intptr_t l)>;

    explicit TnvMessageWindow(THandler handler, QObject* parent = nullptr);

    // Any thread. Never blocks.
    void Post(unsigned code, std::uintptr_t w, std::intptr_t l);

protected:
    bool event(QEvent* e) override;

private:
    THandler FHandler;
};
