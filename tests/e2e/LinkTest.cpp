// The real main window against a simulated drive: the link opens over TCP
// and over a pty COM port, the live state arrives, edits reach the drive, and
// closing never hangs.

#include "TCOMModule.h"
#include "TLampBox.h"
#include "TLiveField.h"
#include "TSimProcess.h"
#include "TTCPForm.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QToolButton>

namespace {

class LinkTest : public TerminalFixture {
protected:
    static std::uint16_t Address(std::uint32_t index) { return Value(index)->GetParDef().RegAddr; }
    // A write request raised while the previous write of the same value is
    // on the wire is cleared by that write's completion, so a test edits
    // again only once the write has been reported.
    static void WaitWritten(std::uint32_t index) {
        EXPECT_TRUE(WaitFor([index] { return !Value(index)->GetWriteRequest(); }, kLinkMs));
        QTest::qWait(3 * TnvMBThread::kCycleMs);
    }
    // Waits until the drive's register at index holds word.
    static bool DriveHolds(kxtest::TSimProcess& sim, std::uint32_t index, std::uint16_t word) {
        return WaitFor([&] { return sim.Read(Address(index)) == word; }, kLinkMs);
    }
};

} // namespace

TEST_F(LinkTest, TcpLinkShowsTheLiveDriveAndReopensCleanly) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0110")});
    Connect(sim);
    const QString connect = QStringLiteral("ModBus connection to: 127.0.0.1:%1").arg(sim.TcpPort());
    EXPECT_TRUE(LogContains(connect));
    EXPECT_FALSE(MainForm->tbSelectPort->isEnabled());
    // Values read once settle; the live ones keep arriving.
    ASSERT_TRUE(Settled({49, 18}));
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
    // Opening again closes first and makes the setpoint controls once.
    MainForm->acOpenConnectionExecute();
    ASSERT_TRUE(WaitFor([&] { return LogCount(connect) == 2; }, kLinkMs));
    const QStringList lines = Lines();
    const int closed = static_cast<int>(lines.indexOf("ModBus closed."));
    EXPECT_GE(closed, 0);
    EXPECT_LT(closed, static_cast<int>(lines.lastIndexOf(connect)));
    QWidget* overlay = MainForm->sgOmegaRef->OverlayParent();
    EXPECT_EQ(overlay->findChildren<TUpDown*>().size(), 1);
    EXPECT_EQ(overlay->findChildren<QToolButton*>(QStringLiteral("sbtnSaveRef")).size(), 1);
    EXPECT_TRUE(WaitFor([] { return MainForm->acImport->isEnabled(); }, kLinkMs));
    MainForm->acCloseConnection->trigger();
    EXPECT_EQ(LogCount("ModBus closed."), 2);
    EXPECT_TRUE(MainForm->tbSelectPort->isEnabled());
    MainForm->ApplicationEventsIdle();
    EXPECT_FALSE(MainForm->acImport->isEnabled());
}

TEST_F(LinkTest, SetpointIsClampedAndTheDriveReceivesTheAcceptedWord) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    ASSERT_TRUE(Settled({13, 14, 15}));
    const std::uint16_t min = Value(13)->GetValueUShort(0);
    const std::uint16_t max = Value(14)->GetValueUShort(0);
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
    // A running drive locks the file actions.
    ASSERT_TRUE(WaitFor([] { return MainForm->acExport->isEnabled(); }, kLinkMs));
    Receive(3, 1); // a status word with the run bit, as the drive reports it
    MainForm->ApplicationEventsIdle();
    for (QAction* action : {MainForm->acImport, MainForm->acExport, MainForm->acPrint})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
}

// Commands from Modbus: a software input reaches the drive and comes back
// from it; the keep-alive box shows and writes every two and a half seconds.
TEST_F(LinkTest, SoftwareCommandsReachTheDriveAndComeBack) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    ASSERT_TRUE(Settled({27, 18}));
    const std::uint16_t before = *sim.Read(Address(27));
    MainForm->cbSW[2]->click();
    EXPECT_TRUE(DriveHolds(sim, 27, before ^ 0x0004));
    // The drive changes it behind our back; the next read-back shows it.
    ASSERT_TRUE(Settled({27}));
    ASSERT_TRUE(sim.Write(Address(27), 0x0001));
    Value(27)->SetCyclic(true);
    EXPECT_TRUE(WaitFor(
        [] { return MainForm->cbSW[0]->isChecked() && !MainForm->cbSW[2]->isChecked(); }, kLinkMs));

    Value(18)->SetValueBit(0, 2, true);
    ASSERT_TRUE(WaitFor(
        [] { return !MainForm->cbKeepAlive->isHidden() && MainForm->gbHWInput->isHidden(); },
        kLinkMs));
    ASSERT_TRUE(sim.Write(Address(29), 0));
    MainForm->cbKeepAlive->click();
    ASSERT_TRUE(MainForm->TimerLink->isActive());
    EXPECT_TRUE(DriveHolds(sim, 29, 10000));
    ASSERT_TRUE(sim.Write(Address(29), 0));
    EXPECT_TRUE(WaitFor([&] { return sim.Read(Address(29)) == 10000; }, 4000));
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

// Every stage a link reaches is told in the memo, and closing the program
// there returns at once.
TEST_F(LinkTest, EachStageIsLoggedAndClosingNeverHangs) {
    const struct {
        const char* What;
        QStringList Sim;
        int Com;            // 0: TCP/IP
        bool Refused;       // TCP/IP towards a port on which nothing listens
        bool NoDevice;      // the COM port's device is gone
        const char* Logged; // what to wait for before closing
    } rows[] = {
        {"connecting", {"--delay", "800"}, 0, false, false, nullptr},
        {"connected on COM3", {}, 3, false, false, "ModBus open on COM3"},
        {"no serial device", {}, 2, false, true, "no such device"},
        {"failing", {"--silence", "1"}, 0, false, false, "Error on ModBus data exchange: "},
        {"nothing answers", {}, 0, true, false, "Connection Error: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        kxtest::TSimProcess sim(row.Com != 0, row.Sim);
        ASSERT_TRUE(sim.Ready());
        if (row.NoDevice)
            QFile::remove(sim.PtyLink());
        Start();
        if (row.Com != 0) {
            sim.MapComPort(row.Com);
            MainForm->mnCOM[row.Com - 1]->trigger();
            MainForm->acOpenConnection->trigger();
        } else {
            OpenTcp(row.Refused ? 1 : sim.TcpPort());
        }
        EXPECT_TRUE(!row.Logged || Logged(row.Logged)) << Lines().join('\n').toStdString();
        if (row.Com == 3) { // the pty link reads the drive
            EXPECT_TRUE(Settled({14}));
            EXPECT_EQ(MainForm->tbOmegaRef->maximum(), *sim.Read(Address(14)));
        }
        EXPECT_LT(Stop(), 3000);
    }
}
