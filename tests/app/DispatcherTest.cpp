// The parameter reactions without a link: receptions are fed to the values
// as the exchange thread's messages would be.

#include "NvDriveSize.h"
#include "TLampBox.h"
#include "TLiveField.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvError.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

namespace {

class DispatcherTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Start();
        KeepWriteRequests();
    }

    static void Set(std::uint32_t index, std::uint16_t word) {
        Value(index)->SetValueUShort(0, word);
    }
};

} // namespace

TEST_F(DispatcherTest, StartupDefaultsSettleAgainstWhatIsKnown) {
    // Nothing read: the drive's maximum voltage is 0, so the voltages are 0;
    // the frequencies stand.
    const std::pair<std::uint32_t, std::uint16_t> words[] = {
        {4, 0},    {10, 0},   {9, 0},     {8, 0},  {11, 200},
        {12, 600}, {13, 100}, {14, 1200}, {16, 1}, {10000, 2}};
    for (const auto& [index, word] : words)
        EXPECT_EQ(Word(index), word) << index;
}

TEST_F(DispatcherTest, LimitChains) {
    Set(4, 230);
    EXPECT_EQ(Word(4), 0) << "main voltage above word(20) = 0";
    Receive(20, 460);
    Set(4, 230);
    EXPECT_EQ(Word(4), 230);
    Set(13, 1300);
    EXPECT_EQ(Word(13), 1199) << "minimum above the maximum 1200";
    Set(14, 50);
    EXPECT_EQ(Word(14), 1200) << "maximum below minimum + 1";
    Set(7, 0);
    EXPECT_EQ(Word(7), 1);
    Set(7, 9);
    EXPECT_EQ(Word(7), 5);
}

TEST_F(DispatcherTest, RampTimesStayWithinOneTo3000) {
    const std::pair<std::uint16_t, std::uint16_t> cases[] = {
        {0, 1}, {5000, 3000}, {3000, 3000}, {1, 1}};
    for (const auto& [typed, settled] : cases) {
        Set(16, typed);
        EXPECT_EQ(Word(16), settled) << typed;
        Receive(17, typed);
        EXPECT_EQ(Word(17), settled) << typed;
    }
}

TEST_F(DispatcherTest, CrossedLimitsSettleAtTheMaximumWithoutEndlessRecursion) {
    // A nominal current read from the drive above the drive's maximum
    // current: the maximum current's limits cross.
    Receive(5, 200);
    Set(6, 150);
    EXPECT_EQ(Word(6), 120);
    Set(6, 10);
    EXPECT_EQ(Word(6), 120);
}

TEST_F(DispatcherTest, DriveSizeGivesDeratedCurrentsAndFrequencyLimits) {
    Receive(19, 2);
    Receive(49, 0x0110);
    const auto rows = PARModule->UpdateSizeInfo();
    EXPECT_EQ(rows[0][0], "Drive size: 0110h");
    EXPECT_EQ(rows[2][2], "012.8A");
    EXPECT_EQ(rows[3][3], "400Hz");
    Receive(49, 0x0200);
    EXPECT_EQ(PARModule->UpdateSizeInfo()[3][3], "000Hz");
    for (std::uint32_t index : {12u, 14u}) {
        Set(index, 600);
        EXPECT_EQ(Word(index), 0) << index;
    }
}

TEST(DriveSize, Tables) {
    EXPECT_DOUBLE_EQ(nv::DriveNominalCurrent(0x0000, 0), 8.0);
    EXPECT_DOUBLE_EQ(nv::DriveNominalCurrent(0x0010, 1), 16.0 * 0.9);
    EXPECT_DOUBLE_EQ(nv::DriveNominalCurrent(0x0020, 0), 0.0);
    EXPECT_DOUBLE_EQ(nv::DriveNominalCurrent(0x0000, 4), 0.0);
    EXPECT_EQ(nv::DriveMaxFrequency(0x0100), 4000);
    EXPECT_EQ(nv::DriveMaxFrequency(0x0300), 0);
    EXPECT_EQ(nv::DriveMaxCurrent(0x0010), 250);
    EXPECT_EQ(nv::DriveMaxCurrent(0x0030), 0);
    // Twice the nominal current is below the table's maximum here.
    EXPECT_EQ(nv::DriveSizeRows(0x0000, 3, {})[2][3], "012.0A");
}

TEST_F(DispatcherTest, WriteReportNamesTheValueAndWhereItWent) {
    Receive(20, 460);
    Set(4, 230);
    TnvParValue* voltage = Value(4);
    voltage->DoOnWritten();
    EXPECT_EQ(Lines().last(),
              voltage->GetParDef().Name + " " + voltage->GetValueNumText(0) + " uploaded (RAM)");
    Value(34)->DoOnWritten();
    EXPECT_TRUE(Lines().last().endsWith(" saved (EEPROM)"));
    Value(22)->DoOnWritten(); // live DC-bus voltage, read-only
    EXPECT_EQ(Lines().last(), "Read only parameter #022 uploaded!");
    Value(2)->DoOnError(static_cast<int>(0x80040201));
    EXPECT_EQ(Lines().last(), "Error on ModBus data exchange: timeout, no response!");
}

TEST_F(DispatcherTest, SetpointIsClampedShownAndSent) {
    Value(15)->SetWriteRequest(false);
    MainForm->tbOmegaRef->setValue(600);
    EXPECT_EQ(Word(15), 600);
    EXPECT_TRUE(Value(15)->GetWriteRequest());
    EXPECT_EQ(MainForm->sgOmegaRef->GetCellText(1, 0), Value(15)->GetValueNumText(0));
    // A received setpoint moves the bar without being written back.
    Value(15)->SetWriteRequest(false);
    Receive(15, 300);
    EXPECT_EQ(MainForm->tbOmegaRef->value(), 300);
    EXPECT_FALSE(Value(15)->GetWriteRequest());
    // Receiving the frequency limits moves the bar's range.
    Receive(13, 200);
    Receive(14, 900);
    EXPECT_EQ(MainForm->tbOmegaRef->minimum(), 200);
    EXPECT_EQ(MainForm->tbOmegaRef->maximum(), 900);
}

TEST_F(DispatcherTest, LiveStateReachesLampsAndFields) {
    Receive(2, 0);
    Receive(3, 1);
    EXPECT_TRUE(MainForm->cbMode_Run->isChecked());
    EXPECT_FALSE(MainForm->cbMode_Stop->isChecked());
    Receive(2, 0x1005);
    Receive(3, 1);
    EXPECT_TRUE(MainForm->cbMode_Fault->isChecked());
    EXPECT_FALSE(MainForm->cbMode_Run->isChecked());
    for (const auto& [lamp, on] : {std::pair{0, true}, {1, false}, {2, true}, {12, true}})
        EXPECT_EQ(MainForm->Fault_b[lamp]->isChecked(), on) << lamp;
    Receive(26, 0x0002);
    EXPECT_TRUE(MainForm->PreFault_b[1]->isChecked());
    Receive(1, 0x0005);
    for (const auto& [input, on] : {std::pair{0, true}, {1, false}, {2, true}})
        EXPECT_EQ(MainForm->cbHW[input]->isChecked(), on) << input;
}

// Which group shows for which word is the link session's concern; here the
// keep-alive and the captions that follow the command mode.
TEST_F(DispatcherTest, ControlModeSetsKeepAliveAndInputCaptions) {
    Receive(18, 0x0006);
    MainForm->cbKeepAlive->click();
    EXPECT_TRUE(MainForm->TimerLink->isActive());
    EXPECT_EQ(MainForm->TimerLink->interval(), 2500);
    const struct {
        std::uint16_t Word;
        const char* Captions[3];
    } cases[] = {
        {0x0030, {"Move forward (L->H edge)", "Move reverse", "Reset (L->H edge)"}},
        {0x0008, {"Drive enable", "Reverse", "Reset (H level)"}},
    };
    for (const auto& c : cases) {
        Receive(18, c.Word);
        EXPECT_FALSE(MainForm->TimerLink->isActive());
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(MainForm->cbHW[i]->text(), c.Captions[i]) << c.Word;
        EXPECT_EQ(MainForm->cbSW[0]->text(), c.Captions[0]);
    }
}

TEST_F(DispatcherTest, SoftwareInputClickSendsTheWord) {
    Receive(18, 0x0004);
    Receive(27, 0);
    MainForm->cbSW[1]->click();
    EXPECT_EQ(Word(27), 2);
    EXPECT_TRUE(Value(27)->GetWriteRequest());
    EXPECT_TRUE(Value(27)->GetCyclic()) << "read back after the write";
}

// The setpoint's Save needs the setpoint from Modbus, the software inputs'
// Save the commands from Modbus; the other bit alone is not enough.
TEST_F(DispatcherTest, SaveButtonsWriteTheStoredCopyOnlyFromModbus) {
    const struct {
        std::function<void()> Click;
        std::uint16_t FromModbus; // the control word's bit
        std::uint32_t Index;
        std::uint16_t Word;
    } cases[] = {{[] { MainForm->sbtnSaveRefClick(); }, 0x0002, 15, 700},
                 {[] { MainForm->btnSave->click(); }, 0x0004, 27, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Index);
        const std::uint32_t stored = Value(c.Index)->GetParDef().RegProg;
        Receive(18, 0x0006 & ~c.FromModbus);
        Value(stored)->SetWriteRequest(false);
        c.Click();
        EXPECT_FALSE(Value(stored)->GetWriteRequest());
        Receive(18, c.FromModbus);
        Set(c.Index, c.Word);
        c.Click();
        EXPECT_TRUE(Value(stored)->GetWriteRequest());
        EXPECT_EQ(Word(stored), c.Word);
    }
}

// The chain that follows a new address is walked against the simulator.
TEST_F(DispatcherTest, AReceivedSlaveAddressIsShownOnTheToolbar) {
    Receive(0, 7);
    EXPECT_EQ(MainForm->acSlaveAddr->text(), "Slave: " + Value(0)->GetValueNumText(0));
}

TEST_F(DispatcherTest, ReceivedValuesAreReadOnceLiveValuesStayCyclic) {
    for (std::uint32_t index : {4u, 13u, 15u, 18u, 19u, 20u, 27u, 49u, 2u, 3u, 22u}) {
        Value(index)->SetCyclic(true);
        Receive(index, Word(index));
    }
    for (std::uint32_t index : {4u, 13u, 15u, 18u, 19u, 20u, 27u, 49u})
        EXPECT_FALSE(Value(index)->GetCyclic()) << index;
    for (std::uint32_t index : {2u, 3u, 22u})
        EXPECT_TRUE(Value(index)->GetCyclic()) << index;
}

TEST_F(DispatcherTest, GridBindingsMakeControlsOnlyWhereAllowed) {
    TValueGrid grid(5, 4, nullptr);
    EXPECT_EQ(PARModule->AttachValueUpDown(&grid, 22, true, 1, 1), nullptr);
    EXPECT_EQ(grid.GetCellValue(1, 1), Value(22)) << "read-only: bound, no up/down";
    EXPECT_EQ(PARModule->AttachValueUpDown(&grid, 17, true, 1, 4), nullptr);
    EXPECT_EQ(grid.GetCellValue(1, 3), nullptr);
    EXPECT_EQ(PARModule->AttachValueUpDown(&grid, 99999, true, 1, 2), nullptr);
    TSpeedButton* row = PARModule->AttachCellButton(&grid, 3, -1, "Send", 4);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Tag, 34);
    TSpeedButton* bound = PARModule->AttachCellButton(&grid, 2, 17, "Save", 3);
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->Tag, 17);
    EXPECT_EQ(bound->geometry(), grid.CellRect(3, 2));
    TUpDown* upDown = PARModule->AttachValueUpDown(&grid, 29, true, 1, 0);
    ASSERT_NE(upDown, nullptr);
    EXPECT_EQ(upDown->geometry(), QRect(grid.CellRect(1, 0).right() - 14, grid.CellRect(1, 0).top(),
                                        15, grid.CellRect(1, 0).height()));
}

TEST_F(DispatcherTest, CommittedCellTextWritesTheRawWord) {
    TValueGrid& grid = *MainForm->sgOmegaRef;
    PARModule->AttachValueUpDown(&grid, 15, false, 1, 0);
    QString mask;
    TPARModule::GridGetEditMask(&grid, 1, 0, mask);
    EXPECT_EQ(mask, Value(15)->GetParDef().FormatMask);
    TPARModule::GridGetEditMask(&grid, 0, 0, mask);
    EXPECT_TRUE(mask.isEmpty());
    grid.CommitText(1, 0, "  500 ");
    EXPECT_EQ(Word(15), 500);
    grid.CommitText(1, 0, "   ");
    EXPECT_EQ(Word(15), 500);
    EXPECT_THROW(grid.CommitText(1, 0, "5x"), TnvError);
    EXPECT_EQ(Word(15), 500);
}

TEST_F(DispatcherTest, TypingIntoTheSetpointCellCommitsOnEnter) {
    MainForm->show();
    TValueGrid& grid = *MainForm->sgOmegaRef;
    PARModule->AttachValueUpDown(&grid, 15, false, 1, 0);
    grid.setCurrentCell(0, 1);
    grid.editItem(grid.item(0, 1));
    auto* editor = grid.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->inputMask().startsWith(Value(15)->GetParDef().FormatMask));
    editor->selectAll();
    QTest::keyClicks(editor, "0700");
    QTest::qWait(20);
    EXPECT_EQ(Word(15), 0) << "nothing is written while typing";
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([] { return Word(15) == 700; }, 1000)); // the view commits queued
    EXPECT_EQ(grid.GetCellText(1, 0), Value(15)->GetValueNumText(0));
}
