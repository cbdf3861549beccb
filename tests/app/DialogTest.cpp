// The parameter dialogs and the about box without a link: layout, what the
// reactions show in them, the running guard, Send and Save, and reading
// while shown. Receptions are fed to the values as the exchange thread's
// messages would be.

#include "TAboutForm.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvParValue.h"

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <vector>

namespace {

class DialogTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Start();
        KeepWriteRequests();
    }

    static void ClearRequests() {
        for (std::uint32_t index : {4, 5, 6, 7, 16, 17, 19, 31, 32, 33, 34, 43, 44, 46})
            Value(index)->SetWriteRequest(false);
    }
    static bool AnyWriteRequest(std::initializer_list<std::uint32_t> indices) {
        for (std::uint32_t index : indices)
            if (Value(index)->GetWriteRequest())
                return true;
        return false;
    }
    template <typename T>
    static T* Child(QWidget* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // The grid button over cell (col, row).
    static TSpeedButton* ButtonAt(TValueGrid* grid, int col, int row) {
        for (TSpeedButton* button : grid->OverlayParent()->findChildren<TSpeedButton*>())
            if (button->geometry() == grid->CellRect(col, row))
                return button;
        return nullptr;
    }
    static TUpDown* UpDownOf(TValueGrid* grid, int tag) {
        for (TUpDown* upDown : grid->OverlayParent()->findChildren<TUpDown*>())
            if (upDown->Tag == tag)
                return upDown;
        return nullptr;
    }
};

} // namespace

// ---------------------------------------------------------------- layout

TEST_F(DialogTest, DialogsCarryTheirCaptionsGridsAndButtonsOverTheirCells) {
    struct TCase {
        QWidget* Dialog;
        const char* Caption;
        TValueGrid* Grid;
        std::vector<int> Widths;
        int Rows;
        std::vector<std::pair<int, const char*>> Buttons; // row, caption of columns 2 and 3
    };
    const TCase cases[] = {
        {FormPlateData,
         "Motor main setup",
         FormPlateData->sgPlateData,
         {120, 60, 50, 50},
         5,
         {{1, "Send"}, {2, "Send"}, {3, "Send"}, {4, "Send"}}},
        {FormPlateData, "Motor main setup", FormPlateData->sgSizeInfo, {120, 50, 50, 50}, 4, {}},
        {FormAccel,
         "Acceleration time",
         FormAccel->sgAccel,
         {80, 80, 80, 80},
         3,
         {{1, "Send"}, {2, "Send"}}},
        {FormModBus, "Modbus setup", FormModBus->sgAddress, {120, 60, 100}, 3, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Grid->objectName().toStdString());
        c.Dialog->show();
        EXPECT_EQ(c.Dialog->windowTitle(), c.Caption);
        EXPECT_TRUE(c.Dialog->windowFlags() & Qt::Tool);
        ASSERT_EQ(c.Grid->columnCount(), static_cast<int>(c.Widths.size()));
        EXPECT_EQ(c.Grid->rowCount(), c.Rows);
        for (int col = 0; col < c.Grid->columnCount(); ++col)
            EXPECT_EQ(c.Grid->columnWidth(col), c.Widths[static_cast<std::size_t>(col)]);
        for (const auto& [row, caption] : c.Buttons) {
            TSpeedButton* send = ButtonAt(c.Grid, 2, row);
            TSpeedButton* save = ButtonAt(c.Grid, 3, row);
            ASSERT_TRUE(send && save) << row;
            EXPECT_EQ(send->text(), caption);
            EXPECT_EQ(save->text(), "Save");
            EXPECT_EQ(send->Tag, save->Tag);
            EXPECT_EQ(c.Grid->GetCellValue(1, row), Value(static_cast<std::uint32_t>(send->Tag)));
            TUpDown* upDown = UpDownOf(c.Grid, send->Tag);
            ASSERT_NE(upDown, nullptr);
            const QRect cell = c.Grid->CellRect(1, row);
            EXPECT_EQ(upDown->geometry(), QRect(cell.right() - 14, cell.top(), 15, cell.height()));
        }
        c.Dialog->hide();
    }
    EXPECT_EQ(FormPlateData->sgPlateData->GetCellText(0, 2), "Nom. Current");
    EXPECT_EQ(FormPlateData->sgPlateData->GetCellText(1, 0), "Value");
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(0, 3), "Frequency range");
    EXPECT_EQ(FormAccel->sgAccel->GetCellText(0, 2), "Decel. Time");
    EXPECT_EQ(FormModBus->sgAddress->GetCellText(0, 2), "Remote EEPROM");
    TSpeedButton* saveRemote = ButtonAt(FormModBus->sgAddress, 2, 1);
    ASSERT_NE(saveRemote, nullptr);
    EXPECT_EQ(saveRemote->text(), "Save to remote");
    EXPECT_EQ(saveRemote->Tag, 30);
    EXPECT_NE(UpDownOf(FormModBus->sgAddress, 0), nullptr);
    EXPECT_NE(UpDownOf(FormModBus->sgAddress, 10000), nullptr);
    EXPECT_TRUE(FormModBus->btnCancel->isDefault());
    EXPECT_EQ(FormCtrlMode->windowTitle(), "Control mode setup");
    EXPECT_EQ(FormCtrlMode->cbInput->itemText(1), "SOFTWARE control from ModBus");
    EXPECT_EQ(FormPlateData->rgPWM->title(), "PWM frequency setup (restart required!)");
    EXPECT_EQ(FormPlateData->rgPWMItems->button(2)->text(), "12 KHz");
}

TEST_F(DialogTest, EveryControlHasAnAccessibleName) {
    for (QWidget* dialog : std::initializer_list<QWidget*>{FormPlateData, FormCtrlMode, FormModBus,
                                                           FormAccel, AboutForm}) {
        dialog->show();
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_"))
                continue;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(face, nullptr);
            EXPECT_FALSE(face->text(QAccessible::Name).isEmpty())
                << widget->objectName().toStdString();
        }
        dialog->hide();
    }
    EXPECT_EQ(FormCtrlMode->cbBrake->accessibleName(), "Brake mode:");
    EXPECT_EQ(FormPlateData->btnSendAll->accessibleName(), "Send All");
    EXPECT_EQ(FormPlateData->btnCancel->accessibleName(), "Cancel");
}

namespace {

// The names of the buttons a screen reader reaches from root, walking the
// accessibility tree down as it does.
QStringList ReachableButtons(QAccessibleInterface* root) {
    QStringList names;
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child)
            continue;
        if (child->role() == QAccessible::Button && !child->state().invisible)
            names << child->text(QAccessible::Name);
        names << ReachableButtons(child);
    }
    return names;
}

} // namespace

TEST_F(DialogTest, RowButtonsAreReachedByAScreenReaderAndNamedForTheirRow) {
    const std::pair<QWidget*, QStringList> cases[] = {
        {FormPlateData,
         {"Send Main Voltage", "Save Main Voltage", "Send Nom. Current", "Save Nom. Current",
          "Send Max Current", "Save Max Current", "Send Max time @Imax", "Save Max time @Imax"}},
        {FormAccel,
         {"Send Accel. Time", "Save Accel. Time", "Send Decel. Time", "Save Decel. Time"}},
        {FormModBus, {"Save to remote"}},
    };
    for (const auto& [dialog, expected] : cases) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        dialog->show();
        const QStringList reached = ReachableButtons(QAccessible::queryAccessibleInterface(dialog));
        for (const QString& name : expected)
            EXPECT_EQ(reached.count(name), 1)
                << name.toStdString() << " among " << reached.join(", ").toStdString();
        dialog->hide();
    }
}

// ---------------------------------------------------------------- shown values

TEST_F(DialogTest, DefaultsAreValidatedAndShown) {
    // Nothing read: the voltage has no room yet, the currents settle below
    // the unknown drive's maximum (0).
    EXPECT_EQ(FormPlateData->sgPlateData->GetCellText(1, 1), Value(4)->GetValueNumText(0));
    EXPECT_EQ(FormPlateData->sgPlateData->GetCellText(1, 4), Value(7)->GetValueNumText(0));
    EXPECT_EQ(Word(7), 2);
    EXPECT_EQ(FormAccel->sgAccel->GetCellText(1, 1), Value(16)->GetValueNumText(0));
    EXPECT_EQ(Word(16), 1);
    EXPECT_EQ(FormModBus->sgAddress->GetCellText(1, 0), "2");
}

TEST_F(DialogTest, ReceivedPlateDataAndSizeFillTheGrids) {
    Receive(49, 0x0110);
    Receive(20, 460);
    Receive(19, 2);
    Receive(5, 100);
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(0, 0), "Drive size: 0110h");
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(2, 2), "012.8A");
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(3, 2), "025.0A");
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(3, 3), "400Hz");
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(3, 1), Value(20)->GetValueNumText(0));
    EXPECT_EQ(FormPlateData->sgPlateData->GetCellText(1, 2), Value(5)->GetValueNumText(0));
    EXPECT_TRUE(FormPlateData->rgPWMItems->button(2)->isChecked());
    EXPECT_FALSE(Value(19)->GetWriteRequest()) << "showing the drive's index writes nothing";
}

TEST_F(DialogTest, ControlModeWordSetsTheListsAndAChoiceWritesTheBit) {
    Receive(18, 0b1000101);
    const int expected[] = {1, 0, 1, 0, 0, 0, 1};
    for (int bit = 0; bit < TFormCtrlMode::kFlags; ++bit)
        EXPECT_EQ(FormCtrlMode->cbFlags[static_cast<std::size_t>(bit)]->currentIndex(),
                  expected[bit])
            << bit;
    EXPECT_FALSE(Value(18)->GetWriteRequest());
    FormCtrlMode->cbEnableSource->setCurrentIndex(1);
    emit FormCtrlMode->cbEnableSource->activated(1);
    EXPECT_EQ(Word(18), 0b1001101);
    EXPECT_TRUE(Value(18)->GetWriteRequest());
    EXPECT_TRUE(Value(18)->GetCyclic()) << "read back after the write";
}

// ---------------------------------------------------------------- editing

TEST_F(DialogTest, RampTimesOutsideOneTo3000AreCorrectedInTheCell) {
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"0", 1}, {"5000", 3000}, {"3000", 3000}, {"250", 250}};
    for (const auto& [typed, word] : cases) {
        FormAccel->sgAccel->CommitText(1, 2, QString::fromLatin1(typed));
        EXPECT_EQ(Word(17), word) << typed;
        EXPECT_EQ(FormAccel->sgAccel->GetCellText(1, 2), Value(17)->GetValueNumText(0)) << typed;
    }
    FormAccel->SendAllClick();
    EXPECT_TRUE(Value(16)->GetWriteRequest());
    EXPECT_TRUE(Value(17)->GetWriteRequest());
}

TEST_F(DialogTest, RemoteAddressStepsButNotBelowZero) {
    TUpDown* upDown = UpDownOf(FormModBus->sgAddress, 0);
    ASSERT_NE(upDown, nullptr);
    Value(0)->SetValueUShort(0, 0);
    upDown->Step(-1);
    EXPECT_EQ(Word(0), 0);
    EXPECT_EQ(upDown->GetPosition(), 0);
    upDown->Step(+1);
    EXPECT_EQ(Word(0), 1);
    EXPECT_EQ(FormModBus->sgAddress->GetCellText(1, 1), "1");
    EXPECT_EQ(Word(30), 1) << "the stored copy follows the edited working address";
    EXPECT_FALSE(Value(0)->GetWriteRequest()) << "nothing is written before Save to remote";
    EXPECT_FALSE(Value(30)->GetWriteRequest());
}

TEST_F(DialogTest, EditingTheLocalAddressMovesTheTerminal) {
    FormModBus->sgAddress->CommitText(1, 0, QStringLiteral("7"));
    EXPECT_EQ(PARModule->nvParValueSet.GetSlaveAddress(), 7);
    EXPECT_EQ(FormModBus->sgAddress->GetCellText(1, 0), "7");
    EXPECT_TRUE(LogContains("New ModBus slave address set to LOCAL: 7"));
}

// ---------------------------------------------------------------- writing

TEST_F(DialogTest, RunningDriveRefusesEveryPlateDataWriteWithOneWarningEach) {
    Receive(3, 1);
    ClearRequests();
    TValueGrid* grid = FormPlateData->sgPlateData;
    const std::function<void()> presses[] = {
        [] { FormPlateData->btnSendAll->click(); },
        [] { FormPlateData->btnSaveAll->click(); },
        [grid] { ButtonAt(grid, 2, 2)->click(); },
        [grid] { ButtonAt(grid, 3, 2)->click(); },
    };
    int expected = 0;
    for (const auto& press : presses) {
        press();
        EXPECT_TRUE(WaitFor([&] { return Answerer->Texts.size() == expected + 1; }, 2000));
        ++expected;
        EXPECT_EQ(Answerer->Texts.back(), "Disable the drive before to send or save this data.");
        EXPECT_FALSE(AnyWriteRequest({4, 5, 6, 7, 31, 32, 33, 34}));
    }
    // The PWM frequency and the other dialogs write regardless.
    FormPlateData->rgPWMItems->button(1)->click();
    EXPECT_TRUE(Value(19)->GetWriteRequest());
    FormAccel->btnSendAll->click();
    EXPECT_TRUE(Value(16)->GetWriteRequest());
    EXPECT_EQ(Answerer->Texts.size(), expected);
}

TEST_F(DialogTest, SendWritesTheWorkingCopySaveAlsoTheStoredOne) {
    Receive(20, 460);
    Receive(49, 0x0010);
    Value(5)->SetValueUShort(0, 60);
    ClearRequests();
    ButtonAt(FormPlateData->sgPlateData, 2, 2)->click();
    EXPECT_TRUE(Value(5)->GetWriteRequest());
    EXPECT_FALSE(Value(32)->GetWriteRequest());
    ClearRequests();
    ButtonAt(FormPlateData->sgPlateData, 3, 2)->click();
    EXPECT_TRUE(Value(5)->GetWriteRequest());
    EXPECT_TRUE(Value(5)->GetCyclic());
    EXPECT_TRUE(Value(32)->GetWriteRequest());
    EXPECT_EQ(Word(32), 60);
    ClearRequests();
    FormPlateData->btnSaveAll->click();
    for (std::uint32_t index : {4, 5, 6, 7, 31, 32, 33, 34})
        EXPECT_TRUE(Value(index)->GetWriteRequest()) << index;
    ClearRequests();
    FormPlateData->btnSendAll->click();
    EXPECT_TRUE(AnyWriteRequest({4}) && AnyWriteRequest({7}));
    EXPECT_FALSE(AnyWriteRequest({31, 32, 33, 34}));
    EXPECT_EQ(Answerer->Texts.size(), 0);
}

TEST_F(DialogTest, RampSaveAllWritesTheFixedStoredCopies) {
    FormAccel->sgAccel->CommitText(1, 1, QStringLiteral("120"));
    FormAccel->sgAccel->CommitText(1, 2, QStringLiteral("340"));
    ClearRequests();
    FormAccel->btnSaveAll->click();
    EXPECT_EQ(Word(43), 120);
    EXPECT_EQ(Word(44), 340);
    for (std::uint32_t index : {16, 17, 43, 44})
        EXPECT_TRUE(Value(index)->GetWriteRequest()) << index;
}

TEST_F(DialogTest, PwmChoiceWritesBothCopiesAndRevalidatesTheCurrents) {
    Receive(49, 0x0010); // 16 A: nominal 16.0 A, maximum 25.0 A
    Receive(19, 0);
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(2, 2), "016.0A");
    ClearRequests();
    FormPlateData->rgPWMItems->button(2)->click();
    EXPECT_EQ(Word(19), 2);
    EXPECT_EQ(Word(46), 2);
    EXPECT_TRUE(Value(19)->GetWriteRequest());
    EXPECT_TRUE(Value(46)->GetWriteRequest());
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(2, 2), "012.8A");
}

// ---------------------------------------------------------------- showing

TEST_F(DialogTest, ShownDialogsReadTheirParametersAndStopWhenHidden) {
    struct TCase {
        QWidget* Dialog;
        std::vector<std::uint32_t> Read;
        std::vector<std::uint32_t> Stopped;
    };
    const TCase cases[] = {
        {FormPlateData, {4, 5, 6, 7, 19, 20, 49}, {4, 5, 6, 7, 19}},
        {FormCtrlMode, {18}, {18}},
        {FormModBus, {0, 30}, {0, 30}},
        {FormAccel, {16, 17}, {16, 17}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Dialog->objectName().toStdString());
        c.Dialog->show();
        for (std::uint32_t index : c.Read)
            EXPECT_TRUE(Value(index)->GetCyclic()) << index;
        auto* cancel = c.Dialog->findChild<QPushButton*>(QStringLiteral("btnCancel"));
        ASSERT_NE(cancel, nullptr);
        cancel->click();
        EXPECT_FALSE(c.Dialog->isVisible());
        for (std::uint32_t index : c.Stopped)
            EXPECT_FALSE(Value(index)->GetCyclic()) << index;
    }
}

TEST_F(DialogTest, SpeedButtonsFollowTheDialogsAtIdle) {
    MainForm->show();
    MainForm->acPlateData->trigger();
    MainForm->acAccel->trigger();
    MainForm->ApplicationEventsIdle();
    EXPECT_TRUE(MainForm->sbtnMotorData->isChecked());
    EXPECT_TRUE(MainForm->sbtnAccel->isChecked());
    EXPECT_FALSE(MainForm->sbtnInput->isChecked());
    FormPlateData->btnCancel->click(); // closed by the dialog, not by its button
    QEventLoop idle;                   // runs until it waits for the timer: idle
    QTimer::singleShot(50, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_FALSE(MainForm->sbtnMotorData->isChecked());
    EXPECT_TRUE(MainForm->sbtnAccel->isChecked());
}

// ---------------------------------------------------------------- about box

TEST_F(DialogTest, AboutBoxSizeTextsByClass) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0000, "400V 8A(12A) 128Hz"}, {0x0110, "400V 16A(25A) 400Hz"},
        {0x0101, "230V 8A(12A) 400Hz"}, {0x0222, "???V ???A ???Hz"},
        {0xF0F0, "400V ???A 128Hz"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(TAboutForm::DriveSizeText(code), text) << code;
}

TEST_F(DialogTest, AboutBoxShowsAllItsLinesWithoutAScrollBar) {
    AboutForm->show();
    QApplication::processEvents();
    EXPECT_GE(AboutForm->width(), 332);
    EXPECT_GE(AboutForm->height(), 252);
    for (QPlainTextEdit* memo : {AboutForm->AboutMemo, AboutForm->DeviceMemo}) {
        SCOPED_TRACE(memo->objectName().toStdString());
        if (memo == AboutForm->DeviceMemo) // as many lines as an identification has
            memo->setPlainText(
                QStringLiteral("Hardware version:\tKX720-A\nFirmware version:\t2.07\n"
                               "Drive size:\t230V 16A(25A) 400Hz"));
        QApplication::processEvents();
        EXPECT_FALSE(memo->verticalScrollBar()->isVisible());
        EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0);
        const QFontMetrics metrics(memo->font());
        for (const QString& line : memo->toPlainText().split('\n'))
            EXPECT_LE(metrics.horizontalAdvance(line), memo->viewport()->width())
                << line.toStdString();
    }
    AboutForm->AboutMemoClick();
}

TEST_F(DialogTest, AboutBoxWithoutLinkSaysNotConnected) {
    AboutForm->show();
    EXPECT_EQ(AboutForm->DeviceMemo->toPlainText(), "Not connected!");
    const QStringList lines = AboutForm->AboutMemo->toPlainText().split('\n');
    ASSERT_GE(lines.size(), 11);
    EXPECT_EQ(lines[0], "D/U Reziz Edadodudevevu Redevido Ver.2.07_");
    EXPECT_EQ(lines[3], "KX720 > 8A 400V/230V 128Hz/400Hz");
    EXPECT_TRUE(lines[8].startsWith("web: "));
    EXPECT_EQ(lines[10], " This software is intended for technician users only.");
    AboutForm->AboutMemoClick();
    EXPECT_FALSE(AboutForm->isVisible());
}
