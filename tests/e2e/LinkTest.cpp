// The real main window against a simulated drive: the link opens over TCP
// and over a pty COM port, the live state arrives, edits reach the drive, and
// closing never hangs.

#include "TCOMModule.h"
#include "TLampBox.h"
#include "TLiveField.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSimProcess.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int kLinkMs = 8000;

class LinkTest : public TerminalFixture {
protected:
    static TnvParValue* Value(std::uint32_t index) {
        return PARModule->nvParValueSet.FindValue(index);
    }
    static std::uint16_t Address(std::uint32_t index) { return Value(index)->GetParDef().RegAddr; }

    // Selects TCP/IP towards the simulator, as the operator does.
    static void SelectTcp(int port) {
        TCPForm->ePort->setText(QString::number(port));
        MainForm->mnTCPIP->trigger(); // the answerer confirms the dialog
    }
    void OpenAndWait() {
        MainForm->acOpenConnection->trigger();
        ASSERT_TRUE(WaitFor([] { return MainForm->acCloseConnection->isVisible(); }, kLinkMs));
    }
    // A write request raised while the previous write of the same value is
    // on the wire is cleared by that write's completion, so a test edits
    // again only once the write has been reported.
    static void WaitWritten(std::uint32_t index) {
        EXPECT_TRUE(WaitFor([index] { return !Value(index)->GetWriteRequest(); }, kLinkMs));
        QTest::qWait(3 * TnvMBThread::kCycleMs);
    }
    // Waits until the drive's register at index holds word.
    bool DriveHolds(kxtest::TSimProcess& sim, std::uint32_t index, std::uint16_t word) {
        return WaitFor([&] { return sim.Read(Address(index)) == word; }, kLinkMs);
    }
};

} // namespace

TEST_F(LinkTest, TcpLinkShowsTheLiveDrive) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0110")});
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    ASSERT_EQ(MainForm->tbSelectPort->text(), "TCP/IP");
    OpenAndWait();
    EXPECT_TRUE(
        LogContains(QStringLiteral("ModBus connection to: 127.0.0.1:%1").arg(sim.TcpPort())));
    EXPECT_FALSE(MainForm->tbSelectPort->isEnabled());
    EXPECT_EQ(MainForm->tbModBus->defaultAction(), MainForm->acCloseConnection);
    EXPECT_EQ(MainForm->tbModBus->actions().size(), 1) << "no drop-down on the connection button";
    // Values read once settle; the live ones keep arriving.
    ASSERT_TRUE(
        WaitFor([] { return !Value(49)->GetCyclic() && !Value(18)->GetCyclic(); }, kLinkMs));
    EXPECT_EQ(Value(49)->GetValueUShort(0), 0x0110);
    const std::uint16_t dcBus = *sim.Read(Address(22));
    EXPECT_TRUE(WaitFor(
        [&] {
            return MainForm->stDcBus->text() == Value(22)->GetValueNumText(0) &&
                   Value(22)->GetValueUShort(0) != 0;
        },
        kLinkMs));
    EXPECT_NEAR(Value(22)->GetValueUShort(0), dcBus, dcBus / 10 + 5);
    EXPECT_EQ(MainForm->cbMode_Stop->isChecked(),
              *sim.Read(Address(3)) == 0 && *sim.Read(Address(2)) == 0);
    EXPECT_TRUE(WaitFor([] { return MainForm->acImport->isEnabled(); }, kLinkMs));
    // The fault boxes show the drive's fault words bit by bit.
    const std::uint16_t faults = *sim.Read(Address(2));
    const std::uint16_t previous = *sim.Read(Address(26));
    for (int bit = 0; bit < TMainForm::kFaultBits; ++bit) {
        EXPECT_EQ(MainForm->Fault_b[bit]->isChecked(), ((faults >> bit) & 1) != 0) << bit;
        EXPECT_EQ(MainForm->PreFault_b[bit]->isChecked(), ((previous >> bit) & 1) != 0) << bit;
    }
    MainForm->acCloseConnection->trigger();
    EXPECT_TRUE(LogContains("ModBus closed."));
    EXPECT_TRUE(MainForm->acOpenConnection->isVisible());
    EXPECT_FALSE(MainForm->acCloseConnection->isVisible());
    EXPECT_TRUE(MainForm->tbSelectPort->isEnabled());
    MainForm->ApplicationEventsIdle();
    EXPECT_FALSE(MainForm->acImport->isEnabled());
}

TEST_F(LinkTest, PtyComPortLinkOpensAndReadsTheDrive) {
    kxtest::TSimProcess sim(true);
    ASSERT_TRUE(sim.Ready());
    sim.MapComPort(3);
    Start();
    MainForm->mnCOM[2]->trigger();
    OpenAndWait();
    EXPECT_TRUE(LogContains("ModBus open on COM3"));
    EXPECT_TRUE(WaitFor([] { return !Value(14)->GetCyclic(); }, kLinkMs));
    EXPECT_EQ(MainForm->tbOmegaRef->maximum(), *sim.Read(Address(14)));
}

TEST_F(LinkTest, MissingSerialDeviceIsLoggedClearly) {
    Start();
    kxtest::TSimProcess sim(false); // only for a private ports.ini
    QFile::remove(sim.PtyLink());
    sim.MapComPort(2);
    MainForm->mnCOM[1]->trigger();
    MainForm->acOpenConnection->trigger();
    EXPECT_TRUE(
        WaitFor([this] { return Lines().join('\n').contains("Connection Error: "); }, kLinkMs));
    EXPECT_TRUE(Lines().join('\n').contains("no such device")) << Lines().join('\n').toStdString();
}

TEST_F(LinkTest, SetpointIsClampedAndTheDriveReceivesTheAcceptedWord) {
    kxtest::TSimProcess sim(false);
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    OpenAndWait();
    ASSERT_TRUE(WaitFor(
        [] {
            return !Value(13)->GetCyclic() && !Value(14)->GetCyclic() && !Value(15)->GetCyclic();
        },
        kLinkMs));
    const std::uint16_t min = Value(13)->GetValueUShort(0);
    const std::uint16_t max = Value(14)->GetValueUShort(0);
    EXPECT_EQ(MainForm->tbOmegaRef->minimum(), min);
    EXPECT_EQ(MainForm->tbOmegaRef->maximum(), max);
    // Each edit waits for the previous write's report (see WaitWritten).
    const std::uint16_t third = min + (max - min) / 3;
    MainForm->tbOmegaRef->setValue(third);
    EXPECT_TRUE(DriveHolds(sim, 15, third));
    WaitWritten(15);
    MainForm->sgOmegaRef->CommitText(1, 0, QString::number(max + 500));
    EXPECT_EQ(Value(15)->GetValueUShort(0), max);
    EXPECT_TRUE(DriveHolds(sim, 15, max));
    WaitWritten(15);
    MainForm->sgOmegaRef->CommitText(1, 0, QStringLiteral("0"));
    EXPECT_TRUE(DriveHolds(sim, 15, min));
    WaitWritten(15);
    EXPECT_EQ(MainForm->tbOmegaRef->value(), min);
    // The in-cell up/down steps from there.
    auto* upDown = MainForm->sgOmegaRef->OverlayParent()->findChild<TUpDown*>();
    ASSERT_NE(upDown, nullptr);
    upDown->Step(+1);
    EXPECT_TRUE(DriveHolds(sim, 15, min + 1));
}

TEST_F(LinkTest, SoftwareInputClickWritesAndTheReadBackSetsTheBox) {
    kxtest::TSimProcess sim(false);
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    OpenAndWait();
    ASSERT_TRUE(
        WaitFor([] { return !Value(27)->GetCyclic() && !Value(18)->GetCyclic(); }, kLinkMs));
    const std::uint16_t before = *sim.Read(Address(27));
    MainForm->cbSW[2]->click();
    const std::uint16_t expected = before ^ 0x0004;
    EXPECT_TRUE(DriveHolds(sim, 27, expected));
    // The drive changes it behind our back; the next read-back shows it.
    ASSERT_TRUE(WaitFor([] { return !Value(27)->GetCyclic(); }, kLinkMs));
    ASSERT_TRUE(sim.Write(Address(27), 0x0001));
    Value(27)->SetCyclic(true);
    EXPECT_TRUE(WaitFor(
        [] { return MainForm->cbSW[0]->isChecked() && !MainForm->cbSW[2]->isChecked(); }, kLinkMs));
}

TEST_F(LinkTest, KeepAliveWritesEveryTwoAndAHalfSeconds) {
    kxtest::TSimProcess sim(false);
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    OpenAndWait();
    // Commands from Modbus show the keep-alive box.
    ASSERT_TRUE(WaitFor([] { return !Value(18)->GetCyclic(); }, kLinkMs));
    Value(18)->SetValueBit(0, 2, true);
    ASSERT_TRUE(WaitFor(
        [] { return !MainForm->cbKeepAlive->isHidden() && MainForm->gbHWInput->isHidden(); },
        kLinkMs));
    ASSERT_TRUE(sim.Write(Address(29), 0));
    MainForm->cbKeepAlive->click();
    ASSERT_TRUE(MainForm->TimerLink->isActive());
    const QString report = Value(29)->GetParDef().Name + QStringLiteral(" ");
    const int before = static_cast<int>(Lines().filter(report).size());
    EXPECT_TRUE(DriveHolds(sim, 29, 10000));
    ASSERT_TRUE(sim.Write(Address(29), 0));
    EXPECT_TRUE(WaitFor([&] { return sim.Read(Address(29)) == 10000; }, 4000));
    EXPECT_TRUE(WaitFor([&] { return Lines().filter(report).size() >= before + 2; }, 1000));
    EXPECT_TRUE(Lines().filter(report).last().endsWith(" uploaded (RAM)"));
    // Hardware commands hide the box and stop the timer.
    Value(18)->SetValueBit(0, 2, false);
    EXPECT_TRUE(WaitFor(
        [] {
            return MainForm->cbKeepAlive->isHidden() && !MainForm->gbHWInput->isHidden() &&
                   MainForm->gbSWInput->isHidden();
        },
        kLinkMs));
    EXPECT_FALSE(MainForm->TimerLink->isActive());
}

TEST_F(LinkTest, ReopeningClosesFirstAndMakesTheSetpointControlsOnce) {
    kxtest::TSimProcess sim(false);
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    OpenAndWait();
    const QString connect = QStringLiteral("ModBus connection to: 127.0.0.1:%1").arg(sim.TcpPort());
    MainForm->acOpenConnectionExecute(); // the open action again, as a second opening
    ASSERT_TRUE(WaitFor([&] { return LogCount(connect) == 2; }, kLinkMs));
    const QStringList lines = Lines();
    const int closed = static_cast<int>(lines.indexOf("ModBus closed."));
    EXPECT_GE(closed, 0);
    EXPECT_LT(closed, static_cast<int>(lines.lastIndexOf(connect)));
    QWidget* overlay = MainForm->sgOmegaRef->OverlayParent();
    EXPECT_EQ(overlay->findChildren<TUpDown*>().size(), 1);
    EXPECT_EQ(overlay->findChildren<QToolButton*>(QStringLiteral("sbtnSaveRef")).size(), 1);
}

TEST_F(LinkTest, RunningDriveDisablesTheFileActions) {
    kxtest::TSimProcess sim(false);
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    OpenAndWait();
    ASSERT_TRUE(WaitFor([] { return MainForm->acExport->isEnabled(); }, kLinkMs));
    // A status word with the run bit, as the drive reports it.
    TnvParValue* status = Value(3);
    const std::vector<std::uint8_t> frame{2, 3, 2, 0, 1};
    status->DoOnReceive(status->LoadFromFrame(frame));
    MainForm->ApplicationEventsIdle();
    EXPECT_FALSE(MainForm->acImport->isEnabled());
    EXPECT_FALSE(MainForm->acExport->isEnabled());
    EXPECT_FALSE(MainForm->acPrint->isEnabled());
}

TEST_F(LinkTest, EmptyPortTextIsReportedAndTheProgramGoesOn) {
    Start();
    TCPForm->ePort->clear();
    MainForm->mnTCPIP->trigger();
    MainForm->acOpenConnection->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Answerer->Texts.isEmpty(); }, 2000));
    EXPECT_EQ(Answerer->Texts.last(), "'' is not a valid integer value");
    EXPECT_NE(COMModule->MBThread, nullptr);
    EXPECT_FALSE(COMModule->MBThread->IsConnected());
}

// ---------------------------------------------------------------- closing

TEST_F(LinkTest, ClosingWhileConnectingNeverHangs) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--delay"), QStringLiteral("800")});
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    MainForm->acOpenConnection->trigger();
    EXPECT_LT(Stop(), 3000);
}

TEST_F(LinkTest, ClosingWhileConnectedNeverHangs) {
    kxtest::TSimProcess sim(true);
    ASSERT_TRUE(sim.Ready());
    sim.MapComPort(1);
    Start();
    OpenAndWait();
    EXPECT_LT(Stop(), 3000);
}

TEST_F(LinkTest, ClosingWhileFailingNeverHangs) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--silence"), QStringLiteral("1")});
    ASSERT_TRUE(sim.Ready());
    Start();
    SelectTcp(sim.TcpPort());
    OpenAndWait();
    EXPECT_TRUE(
        WaitFor([this] { return Lines().join('\n').contains("Error on ModBus data exchange: "); },
                kLinkMs));
    EXPECT_LT(Stop(), 3000);
}

TEST_F(LinkTest, ClosingWhenNothingAnswersNeverHangs) {
    Start();
    SelectTcp(1); // nothing listens on port 1
    MainForm->acOpenConnection->trigger();
    EXPECT_TRUE(
        WaitFor([this] { return Lines().join('\n').contains("Connection Error: "); }, kLinkMs));
    EXPECT_LT(Stop(), 3000);
}
