#include "TLinkStatusBar.h"

#include "NvFormat.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>

namespace {

// Often enough for the last reply to look live, rare enough to cost nothing.
constexpr int kRefreshMs = 500;

} // namespace

TLinkStatusBar::TLinkStatusBar(QWidget* parent)
    : QStatusBar(parent)
    , FState(AddField("stLinkState", "Connection"))
    , FTarget(AddField("stLinkTarget", "Connected to"))
    , FSlave(AddField("stLinkSlave", "Slave address"))
    , FReply(AddField("stLinkReply", "Last reply"))
    , FTimer(new QTimer(this)) {
    setObjectName("sbLink");
    setSizeGripEnabled(false);
    FixReplySize();
    FTimer->setInterval(kRefreshMs);
    connect(FTimer, &QTimer::timeout, this, &TLinkStatusBar::Refresh);
    // The slave address may change while no link is open, too.
    FTimer->start();
    ShowDisconnected();
}

QLabel* TLinkStatusBar::AddField(const QString& name, const QString& caption) {
    auto* field = new QLabel(this);
    field->setObjectName(name);
    // A label with a name of its own is heard by that name and never by its
    // text: the caption describes the field, the text is what is heard.
    field->setAccessibleDescription(caption);
    // Permanent, so that the actions' status tips never hide the link state.
    addPermanentWidget(field);
    return field;
}

void TLinkStatusBar::FixReplySize() {
    // The reply time changes every second. A field that keeps its size takes
    // the new time without laying the whole window out again.
    const QFontMetrics metrics = FReply->fontMetrics();
    QChar widestDigit = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QChar(digit);
    const QString time = QStringLiteral("00:00:00").replace(u'0', widestDigit);
    const QString shown = FReply->text();
    QSize widest;
    for (const QString& sample :
         {QStringLiteral("Last reply ") + time, QStringLiteral("No reply yet")}) {
        FReply->setText(sample);
        widest = widest.expandedTo(FReply->sizeHint());
    }
    FReply->setFixedSize(widest);
    FReply->setText(shown);
}

void TLinkStatusBar::changeEvent(QEvent* event) {
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        FixReplySize();
}

void TLinkStatusBar::ShowConnected(const QString& target) {
    FConnected = true;
    FTargetText = target;
    FOpenedAt = nv::Now();
    FLastSeen = 0.0;
    Refresh();
}

void TLinkStatusBar::ShowDisconnected() {
    FConnected = false;
    Refresh();
}

void TLinkStatusBar::Refresh() {
    FState->setText(FConnected ? "Connected" : "Disconnected");
    // A style sheet set again, even the same one, restyles the label and
    // lays the bar out anew: at every refresh, a millisecond of the GUI
    // thread's time.
    const QString sheet = FConnected ? QStringLiteral("color: darkgreen; font-weight: bold;")
                                     : QStringLiteral("color: darkred; font-weight: bold;");
    if (FState->styleSheet() != sheet)
        FState->setStyleSheet(sheet);
    FTarget->setText(FConnected ? FTargetText : QString());
    FTarget->setVisible(FConnected);
    const int slave = SlaveAddress ? SlaveAddress() : 0;
    FSlave->setText(QStringLiteral("Slave address %1").arg(slave));
    FSlave->setVisible(slave > 0);
    // Stamps older than the link are no replies of it: values are stamped
    // when they are created too.
    if (FConnected && LastReply) {
        const nv::TDateTime reply = LastReply();
        if (reply >= FOpenedAt)
            FLastSeen = reply;
    }
    if (FLastSeen > 0.0)
        FReply->setText("Last reply " + nv::FormatDateTime("hh:nn:ss", FLastSeen));
    else
        FReply->setText(FConnected ? QStringLiteral("No reply yet") : QString());
    FReply->setVisible(!FReply->text().isEmpty());
}
