#include "TnvMessageWindow.h"

#include "NvErrorReport.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

QEvent::Type MessageEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class TMessageEvent : public QEvent {
public:
    TMessageEvent(unsigned code, std::uintptr_t w, std::intptr_t l)
        : QEvent(MessageEventType())
        , Code(code)
        , W(w)
        , L(l) {}

    const unsigned Code;
    const std::uintptr_t W;
    const std::intptr_t L;
};

} // namespace

TnvMessageWindow::TnvMessageWindow(THandler handler, QObject* parent)
    : QObject(parent)
    , FHandler(std::move(handler)) {}

void TnvMessageWindow::Post(unsigned code, std::uintptr_t w, std::intptr_t l) {
    // Posted events of one priority to one receiver are delivered in posting
    // order, whatever thread posted them.
    QCoreApplication::postEvent(this, new TMessageEvent(code, w, l));
}

bool TnvMessageWindow::event(QEvent* e) {
    if (e->type() != MessageEventType())
        return QObject::event(e);
    const auto* message = static_cast<const TMessageEvent*>(e);
    try {
        if (FHandler)
            FHandler(message->Code, message->W, message->L);
    } catch (...) {
        // An exception must never unwind through Qt's event loop.
        nv::ReportCurrentException();
    }
    return true;
}
