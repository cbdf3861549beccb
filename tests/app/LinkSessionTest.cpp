// What reaches the drive around a link's life: edits made without a link are
// dropped and said so, a new link only reads until the operator acts on it,
// every way a link ends leaves the same clean state, and the lower panel
// keeps its layout while the control mode word decides what it shows.

#include "TCOMModule.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TLinkStatusBar.h"
#include "TSimProcess.h"
#include "TSpeedButton.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QSlider>
#include <QTest>

namespace {

constexpr std::uint16_t kSoftwareAndModbusSetpoint = 0x0006;

class LinkSessionTest : public TerminalFixture {
protected:
    // Opens the link and waits until the values read at opening have come.
    static void OpenAndSettle(int port) {
        OpenTcp(port);
        ASSERT_TRUE(WaitFor(Linked, kLinkMs));
        ASSERT_TRUE(Settled({49, 18}));
        QTest::qWait(5 * TnvMBThread::kCycleMs); // anything queued would have gone by now
    }
    // The terminal's writes among the simulator's requests from position on.
    static std::string TerminalWrites(const kxtest::TSimProcess& sim, qsizetype from) {
        QStringList writes;
        for (const kxtest::TSimProcess::TRequest& r : sim.Requests().mid(from))
            if (r.Link != sim.ClientLink() && (r.Function == 6 || r.Function == 16))
                writes << QStringLiteral("%1 %2 at %3").arg(r.Link).arg(r.Function).arg(r.Address);
        return writes.join(QStringLiteral(", ")).toStdString();
    }
    static bool NoWriteRequest() {
        const auto& values = PARModule->nvParValueSet.GetValues();
        return std::none_of(values.begin(), values.end(),
                            [](const auto& value) { return value->GetWriteRequest(); });
    }
    static void Settle() {
        QApplication::processEvents();
        MainForm->centralWidget()->layout()->activate();
    }
    static QString StatusField(const char* name) {
        const auto* field = MainForm->LinkStatus->findChild<QLabel*>(name);
        return field && field->isVisibleTo(MainForm->LinkStatus) ? field->text() : QString();
    }
    static void ExpectStartupLayout() {
        EXPECT_EQ(StatusField("stLinkState"), "Disconnected");
        EXPECT_TRUE(StatusField("stLinkTarget").isEmpty());
        EXPECT_FALSE(MainForm->gbWorkState->isEnabled()) << "values of no link look live";
        EXPECT_FALSE(MainForm->gbModalita->isEnabled());
        EXPECT_FALSE(MainForm->gbHWInput->isHidden());
        EXPECT_TRUE(MainForm->gbSWInput->isHidden());
        EXPECT_TRUE(MainForm->cbKeepAlive->isHidden());
        EXPECT_TRUE(MainForm->pOmegaRef->isHidden());
    }
};

// One kind of edit the operator makes, and the parameter it would write.
struct TEdit {
    const char* What;
    std::function<void()> Make;
    std::uint32_t Index;
};

std::vector<TEdit> EveryKindOfEdit() {
    const auto keepAlive = [] {
        if (!MainForm->cbKeepAlive->isChecked())
            MainForm->cbKeepAlive->click();
        MainForm->TimerLinkTimer(); // the timer's tick
    };
    const auto setpoint = [] {
        QSlider* bar = MainForm->tbOmegaRef;
        bar->setValue(bar->value() == 600 ? 700 : 600);
    };
    return {
        {"software input", [] { MainForm->cbSW[0]->click(); }, 27},
        {"keep-alive", keepAlive, 29},
        {"setpoint track bar", setpoint, 15},
        {"dialog Send", [] { TerminalFixture::ButtonAt(FormAccel->sgAccel, 2, 1)->click(); }, 16},
        {"dialog Save",
         [] { TerminalFixture::ButtonAt(FormPlateData->sgPlateData, 3, 2)->click(); }, 5},
    };
}

} // namespace

// ---------------------------------------------------------------- without a link

TEST_F(LinkSessionTest, EditsWithoutALinkAreDroppedAndSaidSoOnce) {
    Start();
    for (const TEdit& edit : EveryKindOfEdit()) {
        SCOPED_TRACE(edit.What);
        edit.Make();
        edit.Make();
        EXPECT_FALSE(Value(edit.Index)->GetWriteRequest());
        EXPECT_EQ(LogCount(NotSent(edit.Index)), 1) << Lines().join('\n').toStdString();
    }
    // Save also drops the stored copy's write.
    EXPECT_EQ(LogCount(NotSent(Value(5)->GetParDef().RegProg)), 1);
    EXPECT_TRUE(NoWriteRequest());
    EXPECT_FALSE(MainForm->TimerLink->isActive());
}

TEST_F(LinkSessionTest, StartsInTheLayoutOfHardwareCommandsAndKeepsItsPlaces) {
    Start();
    MainForm->show();
    Settle();
    ExpectStartupLayout();
    // Whichever input group shows takes the same place; nothing moves.
    const auto places = [](QGroupBox* inputs) {
        return QList<QRect>{inputs->geometry(), MainForm->gbWorkState->geometry(),
                            MainForm->pOmegaRef->geometry(), MainForm->pMenu->geometry()};
    };
    const QList<QRect> startup = places(MainForm->gbHWInput);
    const std::tuple<std::uint16_t, bool, bool> cases[] = {
        {0x0006, true, true}, {0x0004, true, false}, {0x0002, false, true}, {0x0000, false, false}};
    for (const auto& [word, software, modbusSetpoint] : cases) {
        SCOPED_TRACE(word);
        Receive(18, word);
        Settle();
        EXPECT_EQ(MainForm->gbSWInput->isHidden(), !software);
        EXPECT_EQ(MainForm->cbKeepAlive->isHidden(), !software);
        EXPECT_EQ(MainForm->gbHWInput->isHidden(), software);
        EXPECT_EQ(MainForm->pOmegaRef->isHidden(), !modbusSetpoint);
        EXPECT_EQ(places(software ? MainForm->gbSWInput : MainForm->gbHWInput), startup);
    }
}

// ---------------------------------------------------------------- against the drive

TEST_F(LinkSessionTest, NothingIsWrittenThatWasNotSentOnThisLink) {
    // The ramp's register answers every request with an exception: its
    // write fails at every pass until the link is closed.
    const std::uint16_t accel = 0x0010;
    kxtest::TSimProcess sim(false,
                            {QStringLiteral("--exception"), QStringLiteral("%1:2").arg(accel)});
    ASSERT_TRUE(sim.Ready());
    Start();
    MainForm->show();
    ASSERT_EQ(Value(16)->GetParDef().RegAddr, accel);
    const auto makeEvery = [] {
        for (const TEdit& edit : EveryKindOfEdit())
            edit.Make();
    };

    makeEvery();
    // The dialogs read their values as the link opens; that answers nothing.
    // (Not the ramp dialog: its register fails every request here.)
    for (QWidget* dialog : std::initializer_list<QWidget*>{FormPlateData, FormCtrlMode, FormModBus})
        dialog->show();
    OpenAndSettle(sim.TcpPort());
    EXPECT_EQ(TerminalWrites(sim, 0), "") << "first opening";
    EXPECT_FALSE(MainForm->TimerLink->isActive());
    MainForm->LinkStatus->Refresh();
    EXPECT_EQ(StatusField("stLinkState"), "Connected");
    EXPECT_EQ(StatusField("stLinkTarget"), QString("TCP/IP 127.0.0.1:%1").arg(sim.TcpPort()));
    EXPECT_EQ(StatusField("stLinkSlave"), "Slave address 2");
    EXPECT_TRUE(MainForm->gbWorkState->isEnabled());

    // A write that keeps failing, then Close: it must not reach the next link.
    ButtonAt(FormAccel->sgAccel, 2, 1)->click();
    const QString invalid = QStringLiteral("Error on ModBus data exchange: invalid response!");
    ASSERT_TRUE(WaitFor([&] { return LogCount(invalid) >= 2; }, kLinkMs))
        << Lines().join('\n').toStdString();
    MainForm->acCloseConnection->trigger();
    ASSERT_TRUE(WaitFor([] { return !Linked(); }, kLinkMs));
    ExpectStartupLayout();
    // The last reply stays, so that the engineer sees when the drive last spoke.
    EXPECT_TRUE(StatusField("stLinkReply").startsWith("Last reply "));
    EXPECT_TRUE(NoWriteRequest());
    EXPECT_TRUE(LogContains(NotSent(16)));
    makeEvery();
    const qsizetype beforeReopen = sim.Requests().size();
    OpenAndSettle(sim.TcpPort());
    EXPECT_GT(sim.Requests().size(), beforeReopen) << "the new link reads";
    EXPECT_EQ(TerminalWrites(sim, beforeReopen), "") << "after a failed write and Close";
}

TEST_F(LinkSessionTest, EveryEndOfALinkLeavesTheSameCleanState) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--exception"), QStringLiteral("16:2")});
    ASSERT_TRUE(sim.Ready());
    const std::tuple<const char*, std::function<void()>, bool> endings[] = {
        {"Close Connection", [] { MainForm->acCloseConnection->trigger(); }, true},
        {"link lost for good", [] { COMModule->ThreadDisconnect(COMModule->MBThread.get()); },
         true},
        {"failed Open", [] { OpenTcp(1); }, false}, // nothing listens there
    };
    for (const auto& [what, end, connects] : endings) {
        SCOPED_TRACE(what);
        Start();
        MainForm->show();
        if (connects) {
            OpenTcp(sim.TcpPort());
            ASSERT_TRUE(WaitFor(Linked, kLinkMs));
        }
        // What a session leaves behind: software commands shown, the
        // keep-alive running, a write failing at every pass.
        Receive(18, kSoftwareAndModbusSetpoint);
        MainForm->cbKeepAlive->click();
        ASSERT_TRUE(MainForm->TimerLink->isActive());
        ButtonAt(FormAccel->sgAccel, 2, 1)->click();
        end();
        if (!connects) {
            ASSERT_TRUE(Logged(QStringLiteral("Connection Error:")));
        }
        EXPECT_TRUE(NoWriteRequest());
        EXPECT_FALSE(MainForm->cbKeepAlive->isChecked());
        EXPECT_FALSE(MainForm->TimerLink->isActive());
        ExpectStartupLayout();
        Stop();
    }
}
