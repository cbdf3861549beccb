// The parameter reactions without a link: receptions are fed to the values
// as the exchange thread's messages would be.

#include "NvDriveSize.h"
#include "TAboutForm.h"
#include "TLampBox.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvError.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

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

TEST_F(DispatcherTest, EditsSettleWithinLimitsThatFollowOtherValues) {
    // Known is received first (index 0: none); Received reads the value from
    // the drive rather than editing it. Index 4: the main voltage within the
    // drive's; 13: the minimum frequency 0.1 Hz below the maximum; 7: the time
    // at maximum current; 16 and 17: the ramps; 6 over a drive maximum below
    // the nominal current: crossed limits, where the maximum wins without
    // endless recursion; 15: the setpoint below the maximum frequency; 10000:
    // the address the terminal talks to, one drive's (0 reaches them all, and
    // a word beyond a byte would reach another drive).
    const struct {
        std::pair<std::uint32_t, std::uint16_t> Known;
        std::uint32_t Index;
        std::uint16_t Typed;
        bool Received;
        std::uint16_t Settled;
    } cases[] = {{{0, 0}, 4, 230, false, 0},        {{20, 460}, 4, 230, false, 230},
                 {{0, 0}, 13, 1300, false, 1199},   {{0, 0}, 7, 0, false, 1},
                 {{0, 0}, 7, 9, false, 5},          {{0, 0}, 16, 0, false, 1},
                 {{0, 0}, 17, 5000, true, 3000},    {{5, 200}, 6, 150, false, 120},
                 {{14, 900}, 15, 1500, false, 900}, {{0, 0}, 10000, 17, false, 17},
                 {{0, 0}, 10000, 0, false, 1},      {{0, 0}, 10000, 300, false, 247}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Index << " <- " << c.Typed);
        if (c.Known.first != 0)
            Receive(c.Known.first, c.Known.second);
        c.Received ? Receive(c.Index, c.Typed) : Set(c.Index, c.Typed);
        EXPECT_EQ(Word(c.Index), c.Settled);
        if (c.Index == 10000) {
            EXPECT_EQ(PARModule->nvParValueSet.GetSlaveAddress(), c.Settled);
        }
    }
}

TEST_F(DispatcherTest, DriveSizeGivesDeratedCurrentsAndFrequencyLimits) {
    // The size word, the PWM index, the typical and maximum currents, the
    // frequency limit, the about box's text.
    const std::tuple<std::uint16_t, int, QStringList, const char*, const char*> cases[] = {
        {0x0110, 2, {"012.8A", "025.0A"}, "400Hz", "400V 16A(25A) 400Hz"},
        // Twice the nominal current is below the table's maximum here.
        {0x0001, 3, {"006.4A", "012.0A"}, "128Hz", "230V 8A(12A) 128Hz"},
        // Classes and PWM index beyond the tables.
        {0x0222, 0, {"000.0A", "000.0A"}, "000Hz", "???V ???A ???Hz"},
        {0x0000, 4, {"000.0A", "000.0A"}, "128Hz", "400V 8A(12A) 128Hz"},
    };
    for (const auto& [size, pwm, currents, frequency, about] : cases) {
        const auto rows = nv::DriveSizeRows(size, pwm, {});
        EXPECT_EQ(rows[2].mid(2), currents) << size;
        EXPECT_EQ(rows[3][3], frequency) << size;
        EXPECT_EQ(TAboutForm::DriveSizeText(size), about) << size;
    }
    Receive(49, 0x0200);
    for (std::uint32_t index : {12u, 14u}) {
        Set(index, 600);
        EXPECT_EQ(Word(index), 0) << index;
    }
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
}

// A received setpoint moves the bar without being written back.
TEST_F(DispatcherTest, LiveStateReachesLampsFieldsAndTheSetpointBar) {
    Value(15)->SetWriteRequest(false);
    Receive(15, 300);
    EXPECT_EQ(MainForm->tbOmegaRef->value(), 300);
    EXPECT_FALSE(Value(15)->GetWriteRequest());
    // Receiving the frequency limits moves the bar's range.
    Receive(13, 200);
    Receive(14, 900);
    EXPECT_EQ(MainForm->tbOmegaRef->minimum(), 200);
    EXPECT_EQ(MainForm->tbOmegaRef->maximum(), 900);
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
    const std::pair<std::uint16_t, QStringList> cases[] = {
        {0x0030, {"Move forward (L->H edge)", "Move reverse", "Reset (L->H edge)"}},
        {0x0008, {"Drive enable", "Reverse", "Reset (H level)"}},
    };
    for (const auto& [word, captions] : cases) {
        Receive(18, word);
        EXPECT_FALSE(MainForm->TimerLink->isActive());
        EXPECT_EQ((QStringList{MainForm->cbHW[0]->text(), MainForm->cbHW[1]->text(),
                               MainForm->cbHW[2]->text(), MainForm->cbSW[0]->text()}),
                  captions + captions.first(1));
    }
}

// The setpoint's Save needs the setpoint from Modbus, the software inputs'
// Save the commands from Modbus; the other bit alone is not enough.
TEST_F(DispatcherTest, SaveButtonsWriteTheStoredCopyOnlyFromModbus) {
    // The Save, the control word's bit it needs, the value it stores, a word.
    const std::tuple<std::function<void()>, std::uint16_t, std::uint32_t, std::uint16_t> cases[] = {
        {[] { MainForm->sbtnSaveRefClick(); }, 0x0002, 15, 700},
        {[] { MainForm->btnSave->click(); }, 0x0004, 27, 3}};
    for (const auto& [click, fromModbus, index, word] : cases) {
        SCOPED_TRACE(index);
        const std::uint32_t stored = Value(index)->GetParDef().RegProg;
        Receive(18, 0x0006 & ~fromModbus);
        Value(stored)->SetWriteRequest(false);
        click();
        EXPECT_FALSE(Value(stored)->GetWriteRequest());
        Receive(18, fromModbus);
        Set(index, word);
        click();
        EXPECT_TRUE(Value(stored)->GetWriteRequest());
        EXPECT_EQ(Word(stored), word);
    }
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

TEST_F(DispatcherTest, TypedSetpointIsWrittenOnEnterAsTheRawWord) {
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
    grid.CommitText(1, 0, "  500 ");
    EXPECT_EQ(Word(15), 500);
    grid.CommitText(1, 0, "   ");
    EXPECT_EQ(Word(15), 500);
    EXPECT_THROW(grid.CommitText(1, 0, "5x"), TnvError);
    EXPECT_EQ(Word(15), 500);
}
