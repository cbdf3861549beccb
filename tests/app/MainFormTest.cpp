// The main window without a link: the port menu, the lamps, the memo and
// accessibility.

#include "TAboutForm.h"
#include "TCOMModule.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TLampBox.h"
#include "TLiveField.h"
#include "TSpeedButton.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
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
    EXPECT_EQ(COMModule->ComPort, 5);
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

TEST_F(MainFormTest, EveryControlOfEveryWindowHasAnAccessibleName) {
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
    EXPECT_EQ(FormCtrlMode->cbBrake->accessibleName(), "Brake mode:");
    EXPECT_EQ(FormPlateData->btnSendAll->accessibleName(), "Send All");
    EXPECT_EQ(FormPlateData->btnCancel->accessibleName(), "Cancel");
    for (QWidget* window : std::initializer_list<QWidget*>{MainForm, FormPlateData, FormCtrlMode,
                                                           FormModBus, FormAccel, AboutForm}) {
        window->show();
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || (window == MainForm && !widget->isVisible()) ||
                widget->objectName().startsWith(QLatin1String("qt_")))
                continue;
            EXPECT_FALSE(nameOf(widget).isEmpty()) << widget->objectName().toStdString();
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

TEST_F(MainFormTest, LiveFieldsAreHeardWithTheirCaptionAndValue) {
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

TEST_F(MainFormTest, TheMemoIsBounded) {
    for (int i = 0; i < TMainForm::kMemoLines; ++i)
        MainForm->Memo->appendPlainText(QString::number(i));
    EXPECT_EQ(Lines().size(), TMainForm::kMemoLines) << "the memo is bounded";
    EXPECT_EQ(Lines().back(), QString::number(TMainForm::kMemoLines - 1));
}
