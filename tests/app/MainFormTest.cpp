// The main window without a link: the port menu, the lamps, the memo and
// accessibility.

#include "TAboutForm.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TFormScope.h"
#include "TFormVFChart.h"
#include "TLampBox.h"
#include "TLinkStatusBar.h"
#include "TLiveField.h"
#include "TProgForm.h"
#include "TSpeedButton.h"
#include "TTCPForm.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <tuple>

namespace {

class MainFormTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Start();
    }
};

} // namespace

TEST_F(MainFormTest, PortMenuKeepsTcpUntilItIsUncheckedOrCancelled) {
    EXPECT_EQ(MainForm->tbSelectPort->text(), "COM1");
    MainForm->mnTCPIP->trigger(); // the answerer confirms the dialog
    EXPECT_EQ(MainForm->tbSelectPort->text(), "TCP/IP");
    MainForm->mnCOM[4]->trigger();
    EXPECT_EQ(MainForm->tbSelectPort->text(), "TCP/IP");
    MainForm->mnTCPIP->trigger();
    EXPECT_FALSE(MainForm->mnTCPIP->isChecked());
    EXPECT_EQ(MainForm->tbSelectPort->text(), "COM5");
    Answerer->AcceptDialogs = false;
    MainForm->mnCOM[2]->trigger();
    MainForm->mnTCPIP->trigger();
    EXPECT_FALSE(MainForm->mnTCPIP->isChecked());
    EXPECT_EQ(MainForm->tbSelectPort->text(), "COM3");
}

TEST_F(MainFormTest, EveryControlOfEveryWindowHasAnAccessibleNameThatIsNoObjectId) {
    MainForm->show();
    const auto nameOf = [](QObject* object) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
        return face ? face->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(nameOf(MainForm->Memo), "Log");
    EXPECT_EQ(nameOf(MainForm->sgOmegaRef), "Setpoint");
    EXPECT_EQ(nameOf(MainForm->tbOmegaRef), "Setpoint slider");
    EXPECT_EQ(nameOf(MainForm->Fault_b[3]), "Motor over heating");
    EXPECT_EQ(nameOf(MainForm->gbModalita), "System Mode");
    EXPECT_EQ(nameOf(MainForm->tbSelectPort), "COM1");
    EXPECT_EQ(nameOf(MainForm->tbModBus), "Open Connection");
    EXPECT_EQ(FormCtrlMode->cbBrake->accessibleName(), "Brake mode:");
    EXPECT_EQ(FormPlateData->btnSendAll->accessibleName(), "Send All");
    EXPECT_EQ(FormPlateData->btnCancel->accessibleName(), "Cancel");
    for (QWidget* window : std::initializer_list<QWidget*>{
             MainForm, FormPlateData, FormCtrlMode, FormModBus, FormAccel, FormVFChart, FormScope,
             AboutForm, TCPForm, ProgForm}) {
        window->show();
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const QString id = widget->objectName();
            if (id.isEmpty() || (window == MainForm && !widget->isVisible()))
                continue;
            // What a screen reader says: a caption, never the program's own name for it.
            EXPECT_NE(nameOf(widget).toStdString(), id.toStdString());
            // Panes that only lay others out, and labels, which speak their text.
            const QString kind = QString::fromLatin1(widget->metaObject()->className());
            const bool pane = kind == "QLabel" || kind == "QWidget" || kind == "QFrame" ||
                              kind == "QSplitter" || kind == "QStackedWidget" ||
                              kind == "QDialogButtonBox";
            if (!id.startsWith(QLatin1String("qt_")) && !pane) {
                EXPECT_FALSE(nameOf(widget).isEmpty()) << id.toStdString();
            }
        }
        if (window != MainForm)
            window->hide();
    }
    // The link's state is heard as it reads, not as the caption of its field.
    for (const bool linked : {false, true}) {
        if (linked)
            MainForm->LinkStatus->ShowConnected(QStringLiteral("COM1"));
        for (QLabel* field : MainForm->LinkStatus->findChildren<QLabel*>())
            if (!field->isHidden()) {
                EXPECT_EQ(nameOf(field), field->text()) << field->objectName().toStdString();
            }
    }
    // Lamps expose their checked state, which only the drive changes.
    TLampBox* lamp = MainForm->cbMode_Fault;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(lamp);
    ASSERT_NE(face, nullptr);
    EXPECT_TRUE(face->state().checkable);
    EXPECT_FALSE(face->state().checked);
    for (bool on : {true, false}) {
        lamp->setChecked(on);
        lamp->click();
        EXPECT_EQ(face->state().checked, on);
    }
}

// The tool bar holds every command of the window: a right click must not be
// able to put it away, since nothing would bring it back.
TEST_F(MainFormTest, TheToolBarOffersNoMenuToHideIt) {
    ShowExposed(MainForm);
    // A menu runs its own event loop: the timer closes it, so the test goes on.
    bool popped = false;
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&popped] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popped = true;
            popup->close();
        }
    });
    closer.start(300);
    const QPoint at(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, MainForm->tbarMain->mapToGlobal(at));
    QApplication::sendEvent(MainForm->tbarMain, &event);
    EXPECT_TRUE(WaitFor([&closer] { return !closer.isActive(); }, 5000));
    EXPECT_FALSE(popped);
}

// Runs the layouts that showing or a font change asked for, however slow
// the machine: after a wait of a fixed time, one was once still pending and
// counted as the reading's.
void SettleLayouts() {
    for (int pass = 0; pass < 10; ++pass) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

// Counts the layouts that widgets are asked to redo.
class TLayoutRequests : public QObject {
public:
    TLayoutRequests() { qApp->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest && watched->isWidgetType())
            ++Count;
        return false;
    }
};

TEST_F(MainFormTest, LiveFieldsAreHeardWithTheirCaptionAndValue) {
    ShowExposed(MainForm);
    SettleLayouts();
    TLayoutRequests layouts;
    const std::tuple<TLiveField*, const char*, std::uint32_t, std::uint16_t> fields[] = {
        {MainForm->stDcBus, "DC bus voltage", 22, 566},
        {MainForm->stPhCurrent, "Phase current", 23, 57},
        {MainForm->stFreq, "Frequency", 24, 500},
        {MainForm->stPhVolt, "Motor voltage", 25, 230},
    };
    for (const auto& [field, caption, index, word] : fields) {
        SCOPED_TRACE(caption);
        Receive(index, word);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(field);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), caption);
        EXPECT_EQ(face->text(QAccessible::Value), Value(index)->GetValueNumText(0));
        EXPECT_EQ(face->text(QAccessible::Value), field->text());
        EXPECT_EQ(face->text(QAccessible::Description), field->toolTip());
        EXPECT_TRUE(face->state().readOnly);
    }
    EXPECT_EQ(MainForm->stDcBus->text(), "566V");
    QCoreApplication::processEvents();
    EXPECT_EQ(layouts.Count, 0) << "a reading lays the window out again";
}

TEST_F(MainFormTest, TheReplyTimeFitsItsFieldAndLaysNothingOut) {
    TLinkStatusBar* bar = MainForm->LinkStatus;
    nv::TDateTime reply = 0.0;
    bar->LastReply = [&reply] {
        return reply;
    };
    bar->ShowConnected(QStringLiteral("TCP/IP 127.0.0.1:502"));
    ShowExposed(MainForm);
    SettleLayouts();
    const auto* field = bar->findChild<QLabel*>(QStringLiteral("stLinkReply"));
    ASSERT_NE(field, nullptr);
    // The second time in a font twice the size, as a user may set it.
    for (const qreal scale : {1.0, 2.0}) {
        QFont font = bar->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        bar->setFont(font);
        SettleLayouts();
        TLayoutRequests layouts;
        const int width = field->width();
        for (const char* time : {"11:11:11", "20:48:08", "23:59:59", "04:44:44"}) {
            SCOPED_TRACE(time);
            // Tomorrow at that time: later than the link's opening.
            const int ms = QTime::fromString(QString::fromLatin1(time)).msecsSinceStartOfDay();
            reply = std::floor(nv::Now()) + 1.0 + ms / 86400e3;
            bar->Refresh();
            EXPECT_EQ(field->text(), QStringLiteral("Last reply ") + time);
            EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), field->width());
        }
        EXPECT_EQ(field->width(), width);
        QCoreApplication::processEvents();
        EXPECT_EQ(layouts.Count, 0) << "the reply time lays the window out again";
    }
}

TEST_F(MainFormTest, TheMemoIsBounded) {
    for (int i = 0; i < TMainForm::kMemoLines; ++i)
        MainForm->Memo->appendPlainText(QString::number(i));
    EXPECT_EQ(Lines().size(), TMainForm::kMemoLines) << "the memo is bounded";
    EXPECT_EQ(Lines().back(), QString::number(TMainForm::kMemoLines - 1));
}
