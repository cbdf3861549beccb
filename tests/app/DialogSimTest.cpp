// The parameter dialogs and the about box against the drive simulator over
// Modbus TCP: what reaches the drive, what the memo reports, and what comes
// back.

#include "TAboutForm.h"
#include "TFormAccel.h"
#include "TFormModBus.h"
#include "TSimProcess.h"
#include "TSpeedButton.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"

#include <QPlainTextEdit>
#include <QTest>

namespace {

class DialogSimTest : public TerminalFixture {
protected:
    static std::uint16_t Address(std::uint32_t index) { return Value(index)->GetParDef().RegAddr; }
    // Starts the terminal linked to sim and waits for the first reads.
    void ConnectAndSettle(kxtest::TSimProcess& sim) {
        Connect(sim);
        ASSERT_TRUE(Settled({49, 18}));
    }
    // Shows dialog and waits until what it reads has arrived.
    static void ShowAndRead(QWidget* dialog, std::initializer_list<std::uint32_t> indices) {
        dialog->show();
        ASSERT_TRUE(Settled(indices));
    }
};

} // namespace

TEST_F(DialogSimTest, SaveToRemoteWalksTheChainAndTheTerminalFollows) {
    kxtest::TSimProcess sim(false);
    ConnectAndSettle(sim);
    ShowAndRead(FormModBus, {0, 30});
    ASSERT_EQ(FormModBus->sgAddress->GetCellText(1, 1), "2");
    FormModBus->sgAddress->CommitText(1, 1, QStringLiteral("5"));
    EXPECT_EQ(FormModBus->sgAddress->GetCellText(1, 1), "5");
    FormModBus->sbtnSaveRemote->click();
    ASSERT_TRUE(Logged(QStringLiteral("New ModBus slave address set to LOCAL: 5")))
        << Lines().join('\n').toStdString();
    EXPECT_EQ(Lines().filter(QStringLiteral("New ModBus slave address set to ")),
              (QStringList{"New ModBus slave address set to REMOTE EEPROM: 5",
                           "New ModBus slave address set to REMOTE: 5",
                           "New ModBus slave address set to LOCAL: 5"}));
    // The drive now answers at 5, and the terminal reads it there. (A read
    // may have gone to the old address between the drive's switch and the
    // terminal's; from here on none fails.)
    const int errorsAfterChain = LinesWith(QStringLiteral("Error on ModBus data exchange"));
    ASSERT_TRUE(sim.Write(Address(16), 1234, 5));
    ShowAndRead(FormAccel, {16});
    EXPECT_EQ(Word(16), 1234);
    EXPECT_EQ(FormAccel->sgAccel->GetCellText(1, 1), Value(16)->GetValueNumText(0));
    EXPECT_EQ(LinesWith(QStringLiteral("Error on ModBus data exchange")), errorsAfterChain);
}

TEST_F(DialogSimTest, AboutBoxIdentifiesTheDrive) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0110"),
                                    QStringLiteral("--ident"), QStringLiteral("720A:207")});
    ConnectAndSettle(sim);
    int fills = 0;
    const QMetaObject::Connection counting =
        QObject::connect(AboutForm->DeviceMemo, &QPlainTextEdit::textChanged,
                         [&fills] { fills += AboutForm->DeviceMemo->blockCount() == 3 ? 1 : 0; });
    // Shown twice while the request waits: it is queued once.
    AboutForm->show();
    AboutForm->hide();
    AboutForm->show();
    ASSERT_TRUE(WaitFor([] { return AboutForm->DeviceMemo->blockCount() == 3; }, kLinkMs));
    QTest::qWait(5 * TnvMBThread::kCycleMs);
    QObject::disconnect(counting);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(AboutForm->DeviceMemo->toPlainText(),
              "Hardware version:\tKX720-A\nFirmware version:\t2.07\n"
              "Drive size:\t400V 16A(25A) 400Hz");
    AboutForm->hide();
}

TEST_F(DialogSimTest, AboutBoxReportsASilentDrive) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--silence"), QStringLiteral("1")});
    Connect(sim);
    AboutForm->show();
    EXPECT_TRUE(WaitFor(
        [] { return AboutForm->DeviceMemo->toPlainText() == "Device identification failed."; },
        3 * kLinkMs));
    AboutForm->hide();
}

TEST_F(DialogSimTest, EndingTheProgramWhileTheRequestWaitsIsSafe) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--delay"), QStringLiteral("400")});
    Connect(sim);
    AboutForm->show();
    // The request is queued or on the wire: the link must not outlive it.
    EXPECT_LT(Stop(), 5000);
}
