// The parameter dialogs and the about box against the drive simulator over
// Modbus TCP: what reaches the drive, what the memo reports, and what comes
// back.

#include "TAboutForm.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSimProcess.h"
#include "TSpeedButton.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <modbus.h>
#include <optional>

namespace {

constexpr int kLinkMs = 8000;

class DialogSimTest : public TerminalFixture {
protected:
    static TnvParValue* Value(std::uint32_t index) {
        return PARModule->nvParValueSet.FindValue(index);
    }
    static std::uint16_t Word(std::uint32_t index) { return Value(index)->GetValueUShort(0); }
    static std::uint16_t Address(std::uint32_t index) { return Value(index)->GetParDef().RegAddr; }

    // Opens the link to the simulator over TCP, as the operator does.
    static void OpenTcp(int port) {
        TCPForm->ePort->setText(QString::number(port));
        MainForm->mnTCPIP->trigger(); // the answerer confirms the dialog
        MainForm->acOpenConnection->trigger();
        ASSERT_TRUE(WaitFor([] { return MainForm->acCloseConnection->isVisible(); }, kLinkMs));
    }
    // Starts the terminal, links it to the simulator over TCP and waits for
    // the first reads to settle.
    void Connect(kxtest::TSimProcess& sim) {
        ASSERT_TRUE(sim.Ready());
        Start();
        OpenTcp(sim.TcpPort());
        ASSERT_TRUE(
            WaitFor([] { return !Value(49)->GetCyclic() && !Value(18)->GetCyclic(); }, kLinkMs));
    }
    // Shows dialog and waits until what it reads has arrived.
    static void ShowAndRead(QWidget* dialog, std::initializer_list<std::uint32_t> indices) {
        dialog->show();
        for (std::uint32_t index : indices)
            ASSERT_TRUE(WaitFor([index] { return !Value(index)->GetCyclic(); }, kLinkMs)) << index;
    }
    bool DriveHolds(kxtest::TSimProcess& sim, std::uint32_t index, std::uint16_t word) {
        return WaitFor([&] { return sim.Read(Address(index)) == word; }, kLinkMs);
    }
    bool LogEndsWith(const QString& tail) const {
        for (const QString& line : Lines())
            if (line.endsWith(tail))
                return true;
        return false;
    }
    int LinesWith(const QString& part) const {
        int count = 0;
        for (const QString& line : Lines())
            count += line.contains(part) ? 1 : 0;
        return count;
    }
    static TSpeedButton* ButtonAt(TValueGrid* grid, int col, int row) {
        for (TSpeedButton* button : grid->OverlayParent()->findChildren<TSpeedButton*>())
            if (button->geometry() == grid->CellRect(col, row))
                return button;
        return nullptr;
    }
};

// A Modbus TCP client of the test's own at a given unit id.
class TUnitClient {
public:
    TUnitClient(int port, int unit)
        : FContext(modbus_new_tcp("127.0.0.1", port)) {
        modbus_set_slave(FContext, unit);
        FConnected = modbus_connect(FContext) == 0;
    }
    ~TUnitClient() {
        modbus_close(FContext);
        modbus_free(FContext);
    }
    bool Write(std::uint16_t address, std::uint16_t word) {
        return FConnected && modbus_write_register(FContext, address, word) == 1;
    }
    std::optional<std::uint16_t> Read(std::uint16_t address) {
        std::uint16_t word = 0;
        if (!FConnected || modbus_read_registers(FContext, address, 1, &word) != 1)
            return std::nullopt;
        return word;
    }

private:
    modbus_t* FContext;
    bool FConnected = false;
};

} // namespace

TEST_F(DialogSimTest, SaveOnNominalCurrentWritesTheWorkingAndTheStoredCopy) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0010")});
    Connect(sim);
    ShowAndRead(FormPlateData, {4, 5, 6, 7, 19, 20, 49});
    FormPlateData->sgPlateData->CommitText(1, 2, QStringLiteral("123"));
    ASSERT_EQ(Word(5), 123);
    ButtonAt(FormPlateData->sgPlateData, 3, 2)->click();
    EXPECT_TRUE(DriveHolds(sim, 5, 123));
    EXPECT_TRUE(DriveHolds(sim, 32, 123));
    EXPECT_TRUE(WaitFor([this] { return LogEndsWith(" saved (EEPROM)"); }, kLinkMs));
    // One line each; a write whose reply was lost is tried again, and may
    // then be reported a second time.
    const int retries = LinesWith(QStringLiteral("Error on ModBus data exchange"));
    for (const char* tail : {" uploaded (RAM)", " saved (EEPROM)"}) {
        const int count = LinesWith(QString::fromLatin1(tail));
        EXPECT_GE(count, 1) << tail;
        EXPECT_LE(count, 1 + retries) << Lines().join('\n').toStdString();
    }
    EXPECT_TRUE(LogContains(Value(5)->GetParDef().Name + " " + Value(5)->GetValueNumText(0) +
                            " uploaded (RAM)"));
    EXPECT_EQ(FormPlateData->sgPlateData->GetCellText(1, 2), Value(5)->GetValueNumText(0));
    EXPECT_FALSE(Answerer->Texts.contains("Disable the drive before to send or save this data."));
}

TEST_F(DialogSimTest, SendAllWhileTheDriveRunsWarnsOnceAndWritesNothing) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0010")});
    Connect(sim);
    ShowAndRead(FormPlateData, {4, 5, 6, 7});
    // The software input "forward" starts the drive (commands from Modbus).
    ASSERT_TRUE(sim.Write(Address(29), 10000));
    ASSERT_TRUE(sim.Write(Address(27), 1));
    ASSERT_TRUE(WaitFor([] { return (Word(3) & 1) != 0; }, kLinkMs))
        << sim.StandardError().toStdString();
    const std::uint16_t onDrive = *sim.Read(Address(7));
    FormPlateData->sgPlateData->CommitText(1, 4, QString::number(onDrive == 3 ? 4 : 3));
    const int linesBefore = static_cast<int>(Lines().size());
    const auto boxesBefore = Answerer->Texts.size();
    FormPlateData->btnSendAll->click();
    EXPECT_EQ(Answerer->Texts.mid(boxesBefore),
              QStringList{"Disable the drive before to send or save this data."});
    QTest::qWait(5 * TnvMBThread::kCycleMs);
    EXPECT_EQ(sim.Read(Address(7)), onDrive);
    for (int i = linesBefore; i < Lines().size(); ++i)
        EXPECT_FALSE(Lines()[i].endsWith(" uploaded (RAM)")) << Lines()[i].toStdString();
}

TEST_F(DialogSimTest, TwelveKilohertzGoesToBothCopiesAndDeratesTheCurrent) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0010")});
    Connect(sim);
    ShowAndRead(FormPlateData, {19, 20, 49});
    ASSERT_EQ(Word(19), 0);
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(2, 2), "016.0A");
    FormPlateData->rgPWMItems->button(2)->click();
    EXPECT_TRUE(DriveHolds(sim, 19, 2));
    EXPECT_TRUE(DriveHolds(sim, 46, 2));
    EXPECT_EQ(FormPlateData->sgSizeInfo->GetCellText(2, 2), "012.8A");
    EXPECT_TRUE(WaitFor([] { return !Value(19)->GetCyclic(); }, kLinkMs));
    EXPECT_TRUE(FormPlateData->rgPWMItems->button(2)->isChecked());
}

TEST_F(DialogSimTest, SoftwareCommandSourceShowsTheSoftwareInputsOnceConfirmed) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    MainForm->show();
    ASSERT_TRUE(sim.Write(Address(18), 0x0003)); // commands from the hardware inputs
    ShowAndRead(FormCtrlMode, {18});
    ASSERT_EQ(FormCtrlMode->cbInput->currentIndex(), 0);
    ASSERT_FALSE(MainForm->gbSWInput->isVisible());
    FormCtrlMode->cbInput->setCurrentIndex(1);
    emit FormCtrlMode->cbInput->activated(1);
    EXPECT_TRUE(WaitFor([] { return MainForm->gbSWInput->isVisible(); }, kLinkMs));
    EXPECT_TRUE(MainForm->cbKeepAlive->isVisible());
    EXPECT_FALSE(MainForm->gbHWInput->isVisible());
    EXPECT_EQ(*sim.Read(Address(18)) & 4, 4);
    EXPECT_EQ(FormCtrlMode->cbInput->currentIndex(), 1);
}

TEST_F(DialogSimTest, SaveToRemoteWalksTheChainAndTheTerminalFollows) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    ShowAndRead(FormModBus, {0, 30});
    ASSERT_EQ(FormModBus->sgAddress->GetCellText(1, 1), "2");
    FormModBus->sgAddress->CommitText(1, 1, QStringLiteral("5"));
    EXPECT_EQ(FormModBus->sgAddress->GetCellText(1, 1), "5");
    FormModBus->sbtnSaveRemote->click();
    ASSERT_TRUE(WaitFor(
        [this] { return LogContains(QStringLiteral("New ModBus slave address set to LOCAL: 5")); },
        kLinkMs))
        << Lines().join('\n').toStdString();
    const QStringList lines = Lines();
    const auto eeprom =
        lines.indexOf(QStringLiteral("New ModBus slave address set to REMOTE EEPROM: 5"));
    const auto remote = lines.indexOf(QStringLiteral("New ModBus slave address set to REMOTE: 5"));
    const auto local = lines.indexOf(QStringLiteral("New ModBus slave address set to LOCAL: 5"));
    EXPECT_TRUE(eeprom >= 0 && eeprom < remote && remote < local);
    EXPECT_EQ(PARModule->nvParValueSet.GetSlaveAddress(), 5);
    // The drive now answers at 5, and the terminal reads it there. (A read
    // may have gone to the old address between the drive's switch and the
    // terminal's; from here on none fails.)
    const int errorsAfterChain = LinesWith(QStringLiteral("Error on ModBus data exchange"));
    TUnitClient bench(sim.TcpPort(), 5);
    EXPECT_EQ(bench.Read(Address(30)), 5);
    ASSERT_TRUE(bench.Write(Address(16), 1234));
    ShowAndRead(FormAccel, {16});
    EXPECT_EQ(Word(16), 1234);
    EXPECT_EQ(FormAccel->sgAccel->GetCellText(1, 1), Value(16)->GetValueNumText(0));
    EXPECT_EQ(LinesWith(QStringLiteral("Error on ModBus data exchange")), errorsAfterChain);
}

TEST_F(DialogSimTest, AboutBoxIdentifiesTheDrive) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0110"),
                                    QStringLiteral("--ident"), QStringLiteral("720A:207")});
    Connect(sim);
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
    ASSERT_TRUE(sim.Ready());
    Start();
    OpenTcp(sim.TcpPort());
    AboutForm->show();
    EXPECT_TRUE(WaitFor(
        [] { return AboutForm->DeviceMemo->toPlainText() == "Device identification failed."; },
        3 * kLinkMs));
    AboutForm->hide();
}

// Pictures of the dialogs linked to the simulator, for a person to look at:
// run on an X display with KX_SCREENSHOT_DIR set; skipped otherwise.
TEST_F(DialogSimTest, Screenshots) {
    const QString folder = qEnvironmentVariable("KX_SCREENSHOT_DIR");
    if (folder.isEmpty() || qEnvironmentVariable("QT_QPA_PLATFORM") == "offscreen")
        GTEST_SKIP() << "set KX_SCREENSHOT_DIR and run on an X display";
    kxtest::TSimProcess sim(false, {QStringLiteral("--size"), QStringLiteral("0x0110")});
    Connect(sim);
    const std::pair<QWidget*, const char*> shots[] = {
        {FormPlateData, "plate-data"}, {FormCtrlMode, "ctrl-mode"}, {FormModBus, "modbus"},
        {FormAccel, "accel"},          {AboutForm, "about"},
    };
    for (const auto& [window, name] : shots) {
        window->show();
        QTest::qWait(1500); // the values read at showing arrive
        QProcess::execute(QStringLiteral("/usr/bin/import"),
                          {QStringLiteral("-window"), QStringLiteral("root"),
                           folder + QLatin1Char('/') + QLatin1String(name) + ".png"});
        window->hide();
    }
}

TEST_F(DialogSimTest, EndingTheProgramWhileTheRequestWaitsIsSafe) {
    kxtest::TSimProcess sim(false, {QStringLiteral("--delay"), QStringLiteral("400")});
    ASSERT_TRUE(sim.Ready());
    Start();
    OpenTcp(sim.TcpPort());
    AboutForm->show();
    // The request is queued or on the wire: the link must not outlive it.
    EXPECT_LT(Stop(), 5000);
}
