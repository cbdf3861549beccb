// The parameter dialogs and the about box without a link: the grids' row
// controls, accessibility, what the reactions show in them, the running guard, Send and Save, and
// reading while shown. Receptions are fed to the values as the exchange thread's messages would be.

#include "TAboutForm.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TFormVFChart.h"
#include "TSpeedButton.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace {

class DialogTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Start();
        KeepWriteRequests();
    }

    static constexpr std::uint32_t kWritable[] = {4,  5,  6,  7,  16, 17, 19,
                                                  31, 32, 33, 34, 43, 44, 46};
};

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

// The names of the controls the Tab key reaches in window, in turn.
QStringList TabReached(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    window->setFocus();
    QTest::keyClick(window, Qt::Key_Tab);
    QStringList names;
    for (int i = 0; i < 80 && QApplication::focusWidget(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        names << QAccessible::queryAccessibleInterface(focus)->text(QAccessible::Name);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return names;
}

TEST_F(DialogTest, TheTabKeyReachesEveryCommandAndLeavesTheGrids) {
    const std::pair<QWidget*, QStringList> cases[] = {
        {MainForm, {"Exit", "COM1", "Slave", "Open Connection", "Log", "Scope"}},
        {FormVFChart, {"Send Start volt.", "Save Max freq.", "Send All", "Save All"}},
        {FormPlateData, {"Save Main Voltage", "Save Max time @Imax", "Send All", "Save All"}},
        {FormAccel, {"Send Accel. Time", "Save Decel. Time", "Send All", "Save All"}},
        {FormModBus, {"Save to remote", "Cancel"}},
    };
    for (const auto& [window, expected] : cases) {
        SCOPED_TRACE(window->objectName().toStdString());
        const QStringList reached = TabReached(window);
        for (const QString& name : expected)
            EXPECT_TRUE(reached.contains(name))
                << name.toStdString() << " not among " << reached.join(", ").toStdString();
        if (window != MainForm)
            window->hide();
    }
}

TEST_F(DialogTest, ReceivedWordsSetTheChoicesUnwrittenAndAChoiceWritesItsBit) {
    Receive(19, 2);
    EXPECT_TRUE(FormPlateData->rgPWMItems->button(2)->isChecked());
    EXPECT_FALSE(Value(19)->GetWriteRequest());
    Receive(18, 0b1000101);
    const int expected[] = {1, 0, 1, 0, 0, 0, 1};
    for (int bit = 0; bit < TFormCtrlMode::kFlags; ++bit)
        EXPECT_EQ(FormCtrlMode->cbFlags[static_cast<std::size_t>(bit)]->currentIndex(),
                  expected[bit])
            << bit;
    EXPECT_FALSE(Value(18)->GetWriteRequest());
    // A wheel turned over a list the operator has not chosen, as when the
    // dialog is scrolled through, changes nothing on the drive.
    QComboBox* input = FormCtrlMode->cbOmegaRef;
    const QPointF inside(input->width() / 2.0, input->height() / 2.0);
    QWheelEvent wheel(inside, input->mapToGlobal(inside), {}, {0, -120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(input, &wheel);
    EXPECT_EQ(input->currentIndex(), 0);
    EXPECT_EQ(Word(18), 0b1000101);
    EXPECT_FALSE(Value(18)->GetWriteRequest());
    FormCtrlMode->cbEnableSource->setCurrentIndex(1);
    emit FormCtrlMode->cbEnableSource->activated(1);
    EXPECT_EQ(Word(18), 0b1001101);
    EXPECT_TRUE(Value(18)->GetWriteRequest());
    EXPECT_TRUE(Value(18)->GetCyclic()) << "read back after the write";
}

TEST_F(DialogTest, RemoteAddressStepsButNotBelowZero) {
    TUpDown* upDown = nullptr; // the working address's, tagged with its index
    for (TUpDown* each : FormModBus->sgAddress->OverlayParent()->findChildren<TUpDown*>())
        upDown = each->Tag == 0 ? each : upDown;
    ASSERT_NE(upDown, nullptr);
    Value(0)->SetValueUShort(0, 0);
    upDown->Step(-1);
    EXPECT_EQ(Word(0), 0);
    EXPECT_EQ(upDown->GetPosition(), 0);
    upDown->Step(+1);
    EXPECT_EQ(Word(0), 1);
    EXPECT_FALSE(Value(0)->GetWriteRequest()) << "nothing is written before Save to remote";
    EXPECT_FALSE(Value(30)->GetWriteRequest());
}

// What each button asks to write: the working copies, and with Save the
// stored copies carrying the same words. A running drive refuses the plate
// data with one warning a press; the PWM frequency and the ramps go regardless.
TEST_F(DialogTest, SendWritesTheWorkingCopySaveAlsoTheStoredOne) {
    Receive(20, 460);
    Receive(49, 0x0010); // 16 A: nominal 16.0 A, maximum 25.0 A
    Receive(19, 0);
    Value(5)->SetValueUShort(0, 60);
    FormAccel->sgAccel->CommitText(1, 1, QStringLiteral("120"));
    FormAccel->sgAccel->CommitText(1, 2, QStringLiteral("340"));
    QAbstractButton* sendAll = FormPlateData->btnSendAll;
    QAbstractButton* saveAll = FormPlateData->btnSaveAll;
    QAbstractButton* sendRow = ButtonAt(FormPlateData->sgPlateData, 2, 2);
    QAbstractButton* saveRow = ButtonAt(FormPlateData->sgPlateData, 3, 2);
    // The press, whether the drive runs, the button, the values it writes.
    const std::tuple<const char*, bool, QAbstractButton*, std::vector<std::uint32_t>> cases[] = {
        {"Send All, running", true, sendAll, {}},
        {"Save All, running", true, saveAll, {}},
        {"Send in a row, running", true, sendRow, {}},
        {"Save in a row, running", true, saveRow, {}},
        {"8 kHz, running", true, FormPlateData->rgPWMItems->button(1), {19, 46}},
        {"ramp Send All, running", true, FormAccel->btnSendAll, {16, 17}},
        {"Send in a row", false, sendRow, {5}},
        {"Send All", false, sendAll, {4, 5, 6, 7}},
        {"Save All", false, saveAll, {4, 5, 6, 7, 31, 32, 33, 34}},
        {"ramp Save All", false, FormAccel->btnSaveAll, {16, 17, 43, 44}},
        {"12 kHz", false, FormPlateData->rgPWMItems->button(2), {19, 46}},
    };
    for (const auto& [press, running, button, expected] : cases) {
        SCOPED_TRACE(press);
        Receive(3, running ? 1 : 0);
        for (std::uint32_t index : kWritable)
            Value(index)->SetWriteRequest(false);
        const qsizetype boxes = Answerer->Texts.size() + (expected.empty() ? 1 : 0);
        button->click();
        ASSERT_TRUE(WaitFor([&] { return Answerer->Texts.size() == boxes; }, 2000));
        if (expected.empty()) {
            EXPECT_EQ(Answerer->Texts.back(),
                      "Disable the drive before to send or save this data.");
        }
        std::vector<std::uint32_t> written;
        for (std::uint32_t index : kWritable)
            if (Value(index)->GetWriteRequest())
                written.push_back(index);
        EXPECT_EQ(written, expected);
    }
    for (const auto& [index, word] : {std::pair{32u, 60}, {43u, 120}, {44u, 340}, {46u, 2}})
        EXPECT_EQ(Word(index), word) << index;
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(2, 2), "012.8A") << "derated at 12 kHz";
}

// Hiding leaves the drive's voltage and size as they were.
TEST_F(DialogTest, AShownDialogReadsItsParametersAndStopsWhenHidden) {
    FormPlateData->show();
    for (std::uint32_t index : {4, 5, 6, 7, 19, 20, 49})
        EXPECT_TRUE(Value(index)->GetCyclic()) << index;
    FormPlateData->btnCancel->click();
    EXPECT_FALSE(FormPlateData->isVisible());
    for (std::uint32_t index : {4, 5, 6, 7, 19})
        EXPECT_FALSE(Value(index)->GetCyclic()) << index;
}

TEST_F(DialogTest, AboutBoxShowsAllItsLinesWithoutAScrollBar) {
    AboutForm->show();
    QApplication::processEvents();
    EXPECT_EQ(AboutForm->DeviceMemo->toPlainText(), "Not connected!");
    // As many lines as an identification has.
    AboutForm->DeviceMemo->setPlainText("Hardware version:\tKX720-A\nFirmware version:\t2.07\n"
                                        "Drive size:\t230V 16A(25A) 400Hz");
    QApplication::processEvents();
    for (QPlainTextEdit* memo : {AboutForm->AboutMemo, AboutForm->DeviceMemo}) {
        SCOPED_TRACE(memo->objectName().toStdString());
        EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0);
        const QFontMetrics metrics(memo->font());
        for (const QString& line : memo->toPlainText().split('\n'))
            EXPECT_LE(metrics.horizontalAdvance(line), memo->viewport()->width())
                << line.toStdString();
    }
}
