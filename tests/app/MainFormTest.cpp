// The main window without a link: captions, initial states, the port menu,
// start-up without definitions, accessibility.

#include "TCOMModule.h"
#include "TLampBox.h"
#include "TLiveField.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvParValue.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <tuple>
#include <unistd.h>

namespace {

class MainFormTest : public TerminalFixture {};

struct TActionRow {
    QAction* TMainForm::*Action;
    const char* Category;
    const char* Caption;
    bool Visible;
    bool Enabled;
};

} // namespace

TEST_F(MainFormTest, ActionsHaveTheirCaptionsCategoriesAndInitialStates) {
    Start();
    const TActionRow rows[] = {
        {&TMainForm::acOpenConnection, "ModBus", "Open Connection", true, true},
        {&TMainForm::acCloseConnection, "ModBus", "Close Connection", false, true},
        {&TMainForm::acClose, "System", "Exit", true, true},
        {&TMainForm::acAbout, "System", "About", true, true},
        {&TMainForm::acMBServer, "System", "Register MBServer!", false, true},
        {&TMainForm::acPlateData, "KX720", "Motor plate data", true, true},
        {&TMainForm::acVFChart, "KX720", "V/F characteristic", true, true},
        {&TMainForm::acCtrlMode, "KX720", "Control mode setup", true, true},
        {&TMainForm::acSlaveAddr, "ModBus", "Slave", true, true},
        {&TMainForm::acAccel, "KX720", "Accel. / Decel.", true, true},
        {&TMainForm::acScope, "KX720", "Scope", true, true},
        {&TMainForm::acImport, "Files", "From File...", true, false},
        {&TMainForm::acExport, "Files", "To File...", true, false},
        {&TMainForm::acPrint, "Files", "Print", true, false},
    };
    for (const TActionRow& row : rows) {
        QAction* action = MainForm->*row.Action;
        SCOPED_TRACE(row.Caption);
        EXPECT_EQ(action->text(), QString::fromLatin1(row.Caption));
        EXPECT_EQ(action->property("Category").toString(), QString::fromLatin1(row.Category));
        EXPECT_EQ(action->isVisible(), row.Visible);
        if (row.Visible) { // the toolkit reports a hidden action as disabled
            EXPECT_EQ(action->isEnabled(), row.Enabled);
        }
    }
    EXPECT_EQ(MainForm->acOpenConnection->toolTip(), "Create a ModBus connection to Q330");
    EXPECT_EQ(MainForm->acMBServer->toolTip(), "ModBus ActiveX server registration required!");
    EXPECT_EQ(MainForm->tbModBus->defaultAction(), MainForm->acOpenConnection);
}

TEST_F(MainFormTest, WindowAndControlsCarryTheirCaptions) {
    Start();
    EXPECT_EQ(MainForm->windowTitle(), "D/U Reziz - Edadodudevevu Redevido 2.07");
    EXPECT_EQ(MainForm->gbCurFault->title(), "Current fault state ");
    EXPECT_EQ(MainForm->gbStatus->title(), "Previous fault state");
    EXPECT_EQ(MainForm->Fault_b[0]->text(), "Over voltage");
    EXPECT_EQ(MainForm->PreFault_b[12]->text(), "Communication Lost");
    EXPECT_EQ(MainForm->Fault_b[7]->text(), "Motor IIxT");
    EXPECT_EQ(MainForm->stDcBus->text(), "000V");
    EXPECT_EQ(MainForm->stPhCurrent->text(), "000.0A");
    EXPECT_EQ(MainForm->stFreq->text(), "000.0Hz");
    EXPECT_EQ(MainForm->sgOmegaRef->GetCellText(0, 0), "Setpoint");
    EXPECT_EQ(MainForm->sgOmegaRef->columnWidth(0), 85);
    EXPECT_EQ(MainForm->sgOmegaRef->columnWidth(2), 45);
    EXPECT_EQ(MainForm->cbKeepAlive->text(), "Comm. Keep Alive");
    EXPECT_EQ(MainForm->sbtnMotorData->text(), "Motor main setup");
    EXPECT_FALSE(MainForm->TimerLink->isActive());
    EXPECT_FALSE(MainForm->gbHWInput->isEnabled());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(MainForm->cbSW[i]->property("Tag").toInt(), i);
}

TEST_F(MainFormTest, TrackBarSpansTheDefaultFrequenciesBeforeAnythingIsRead) {
    Start();
    EXPECT_EQ(MainForm->tbOmegaRef->minimum(), 100);
    EXPECT_EQ(MainForm->tbOmegaRef->maximum(), 1200);
    EXPECT_EQ(MainForm->tbOmegaRef->pageStep(), 10);
    EXPECT_EQ(MainForm->tbOmegaRef->tickInterval(), 100);
}

TEST_F(MainFormTest, PortMenuCaptions) {
    Start();
    EXPECT_EQ(MainForm->tbSelectPort->text(), "COM1");
    EXPECT_TRUE(MainForm->mnCOM[0]->isChecked());
    EXPECT_EQ(MainForm->mnTCPIP->data().toInt(), 1000);
    // TCP/IP confirmed, then COM5: TCP/IP stays; unchecking it shows COM5.
    Answerer->AcceptDialogs = true;
    MainForm->mnTCPIP->trigger();
    EXPECT_TRUE(MainForm->mnTCPIP->isChecked());
    EXPECT_EQ(MainForm->tbSelectPort->text(), "TCP/IP");
    MainForm->mnCOM[4]->trigger();
    EXPECT_EQ(COMModule->ComPort, 5);
    EXPECT_EQ(MainForm->tbSelectPort->text(), "TCP/IP");
    MainForm->mnTCPIP->trigger();
    EXPECT_FALSE(MainForm->mnTCPIP->isChecked());
    EXPECT_EQ(MainForm->tbSelectPort->text(), "COM5");
}

TEST_F(MainFormTest, CancelledTcpDialogLeavesTheSerialPort) {
    Start();
    Answerer->AcceptDialogs = false;
    MainForm->mnCOM[2]->trigger();
    MainForm->mnTCPIP->trigger();
    EXPECT_FALSE(MainForm->mnTCPIP->isChecked());
    EXPECT_EQ(MainForm->tbSelectPort->text(), "COM3");
}

TEST_F(MainFormTest, RegisterServerWithoutTheFileLogsAndKeepsTheButton) {
    Start();
    COMModule->ThreadError(nullptr, -3);
    EXPECT_TRUE(LogContains("Connection Error: MBServer ActiveX not registered!"));
    EXPECT_TRUE(MainForm->acMBServer->isVisible());
    MainForm->acMBServer->trigger();
    EXPECT_TRUE(LogContains("File MBServer.exe not found!"));
    EXPECT_TRUE(MainForm->acMBServer->isVisible());
}

TEST_F(MainFormTest, ExchangeErrorTexts) {
    Start();
    EXPECT_EQ(TCOMModule::ExchangeErrorText(static_cast<std::int32_t>(0x80040205)), "80040205h");
    EXPECT_EQ(TCOMModule::ExchangeErrorText(static_cast<std::int32_t>(0x80040201)),
              "timeout, no response!");
    EXPECT_EQ(TCOMModule::ExchangeErrorText(-1),
              "error in ModBus connection or Port already busy!");
    EXPECT_FALSE(MainForm->acMBServer->isVisible());
}

TEST_F(MainFormTest, StartsWithoutDefinitionsAndStaysUsable) {
    Start(false);
    EXPECT_EQ(LogCount("Error loading parameters definitions."), 5);
    EXPECT_EQ(LogCount("Error on parameters creation."), 5);
    // Every handler still runs without values behind it.
    MainForm->tbOmegaRef->setValue(500);
    MainForm->cbSW[1]->click();
    MainForm->btnSave->click();
    MainForm->TimerLinkTimer();
    MainForm->acPlateData->trigger();
    MainForm->acPlateData->trigger();
    MainForm->ApplicationEventsIdle();
    EXPECT_TRUE(Answerer->Texts.isEmpty());
}

TEST_F(MainFormTest, LampsCannotBeToggledByTheOperator) {
    Start();
    TLampBox* lamp = MainForm->Fault_b[3];
    lamp->click();
    EXPECT_FALSE(lamp->isChecked());
    lamp->setChecked(true);
    lamp->click();
    EXPECT_TRUE(lamp->isChecked());
}

TEST_F(MainFormTest, EveryControlHasAnAccessibleName) {
    Start();
    MainForm->show();
    const auto nameOf = [](QObject* object) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
        return face ? face->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(nameOf(MainForm->Memo), "Memo");
    EXPECT_EQ(nameOf(MainForm->sgOmegaRef), "sgOmegaRef");
    EXPECT_EQ(nameOf(MainForm->tbOmegaRef), "tbOmegaRef");
    EXPECT_EQ(nameOf(MainForm->Fault_b[3]), "Motor over heating");
    EXPECT_EQ(nameOf(MainForm->gbModalita), "System Mode");
    EXPECT_EQ(nameOf(MainForm->tbSelectPort), "COM1");
    EXPECT_EQ(nameOf(MainForm->tbModBus), "Open Connection");
    for (QWidget* widget : MainForm->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || !widget->isVisible() ||
            widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        EXPECT_FALSE(nameOf(widget).isEmpty()) << widget->objectName().toStdString();
    }
    // Lamps expose their checked state.
    TLampBox* lamp = MainForm->cbMode_Fault;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(lamp);
    ASSERT_NE(face, nullptr);
    EXPECT_TRUE(face->state().checkable);
    EXPECT_FALSE(face->state().checked);
    lamp->setChecked(true);
    EXPECT_TRUE(face->state().checked);
}

TEST_F(MainFormTest, LiveFieldsAreHeardWithTheirCaptionAndValue) {
    Start();
    MainForm->show();
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
    }
    EXPECT_EQ(MainForm->stDcBus->text(), "566V");
}

TEST_F(MainFormTest, ClosingTheWindowEndsTheProgram) {
    Start();
    bool closed = false;
    MainForm->OnClosed = [&closed] {
        closed = true;
    };
    MainForm->show();
    MainForm->acClose->trigger();
    EXPECT_TRUE(closed);
}

TEST_F(MainFormTest, SpeedButtonsFollowTheirWindowsAtIdle) {
    Start();
    MainForm->show();
    MainForm->sbtnScope->click();
    MainForm->ApplicationEventsIdle();
    EXPECT_TRUE(MainForm->sbtnScope->isChecked());
    MainForm->acScope->trigger(); // hides it again, as its close box would
    MainForm->ApplicationEventsIdle();
    EXPECT_FALSE(MainForm->sbtnScope->isChecked());
}

TEST_F(MainFormTest, MemoLinesAlsoGoToStandardError) {
    Start();
    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    MainForm->Log(QStringLiteral("first line"));
    MainForm->Log(QStringLiteral("second line"));
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    EXPECT_EQ(capture.readAll(), QByteArray("first line\nsecond line\n"));
    EXPECT_EQ(Lines().mid(Lines().size() - 2), QStringList({"first line", "second line"}));
    for (int i = 0; i < TMainForm::kMemoLines; ++i)
        MainForm->Memo->appendPlainText(QString::number(i));
    EXPECT_EQ(Lines().size(), TMainForm::kMemoLines) << "the memo is bounded";
    EXPECT_EQ(Lines().back(), QString::number(TMainForm::kMemoLines - 1));
}
