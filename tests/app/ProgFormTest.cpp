// The configuration window driven from the main window's file actions
// against the drive simulator: the dialogs, the size question, the memo
// lines, and that the main window's values update again afterwards.

#include "TCOMModule.h"
#include "TCompareForm.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TProgForm.h"
#include "TSimProcess.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

constexpr int kJobMs = 15000;
constexpr std::uint16_t kAccelTimeRegister = 0x10;

// Answers what opens modally: message boxes with Answer, file dialogs with
// the file they were given (or cancels them), other dialogs with OK.
class TJobAnswerer {
public:
    TJobAnswerer() {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Answer(); });
        FTimer.start();
    }
    QMessageBox::StandardButton Reply = QMessageBox::No;
    bool CancelFiles = false;
    QStringList Boxes;

private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Boxes << box->windowTitle() + "|" + box->text();
            box->done(Reply);
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            if (CancelFiles)
                files->reject();
            else
                QMetaObject::invokeMethod(files, "accept");
        } else if (qobject_cast<TProgForm*>(modal) == nullptr) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->accept();
        }
    }
    QTimer FTimer;
};

class ProgFormTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Answerer.reset(); // this test answers its own way
        Jobs = std::make_unique<TJobAnswerer>();
    }
    void TearDown() override {
        TerminalFixture::TearDown();
        Jobs.reset();
    }
    void Connect(kxtest::TSimProcess& sim) {
        ASSERT_TRUE(sim.Ready());
        Start();
        TCPForm->ePort->setText(QString::number(sim.TcpPort()));
        MainForm->mnTCPIP->trigger();
        MainForm->acOpenConnection->trigger();
        ASSERT_TRUE(WaitFor([] { return MainForm->acExport->isEnabled(); }, kJobMs));
    }
    QString Path(const QString& name) const { return Dir.path() + "/" + name; }
    // Runs a file action and waits for the memo's last line of it.
    void Run(QAction* action, const QString& last) {
        action->trigger();
        ASSERT_TRUE(WaitFor([&] { return LogContains(last); }, kJobMs))
            << Lines().join('\n').toStdString();
        EXPECT_FALSE(ProgForm->isVisible());
    }
    // The main window's set is attached again: its live values update.
    static bool MainSetUpdates() {
        TnvParValue* dcBus = PARModule->nvParValueSet.FindValue(22);
        const auto before = dcBus->GetTimeStamp();
        return WaitFor([&] { return dcBus->GetTimeStamp() != before; }, kJobMs);
    }

    QTemporaryDir Dir;
    std::unique_ptr<TJobAnswerer> Jobs;
};

TEST_F(ProgFormTest, ExportPrintAndCompareThroughTheWindow) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    ProgForm->SaveDialog->selectFile(Path("drive.720"));
    Run(MainForm->acExport, "Export succeeded.");
    QFile file(Path("drive.720"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("[Header]\r\nOwner=KX720_VevIde\r\n"));
    EXPECT_TRUE(MainSetUpdates());

    ProgForm->Printer->setOutputFormat(QPrinter::PdfFormat);
    ProgForm->Printer->setOutputFileName(Path("report.pdf"));
    Run(MainForm->acPrint, "Print succeeded.");
    QProcess text;
    text.start("pdftotext", {Path("report.pdf"), "-"});
    ASSERT_TRUE(text.waitForFinished(10000));
    EXPECT_TRUE(text.readAllStandardOutput().contains("KX720 Configuration Terminal v2.07"));

    ASSERT_TRUE(sim.Write(kAccelTimeRegister, 77));
    ProgForm->OpenDialog->selectFile(Path("drive.720"));
    Run(MainForm->acCompare, "Compare succeeded.");
    EXPECT_TRUE(ProgForm->CompareForm->isVisible());
    ASSERT_EQ(ProgForm->CompareForm->sgDifferences->rowCount(), 1);
    EXPECT_EQ(ProgForm->CompareForm->sgDifferences->item(0, 1)->text(), "AccelTime");
    EXPECT_EQ(ProgForm->CompareForm->sgDifferences->item(0, 2)->text(), "77");
    EXPECT_TRUE(MainSetUpdates());
}

TEST_F(ProgFormTest, CancelledDialogsFailAndHandTheLinkBack) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    Jobs->CancelFiles = true;
    Run(MainForm->acExport, "Export to file cancelled.");
    Run(MainForm->acImport, "Import from file cancelled.");
    EXPECT_TRUE(MainSetUpdates());
    bool failed = false;
    ProgForm->OnFail = [&](TProgForm*, const QString&) {
        failed = true;
    };
    EXPECT_FALSE(ProgForm->Execute(COMModule->MBThread.get(), 2, TProgForm::kExport));
    EXPECT_TRUE(failed);
    EXPECT_EQ(ProgForm->ErrorText(), "Export to file cancelled.");
}

TEST_F(ProgFormTest, YesToTheSizeQuestionWritesNothing) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    ProgForm->SaveDialog->selectFile(Path("drive.720"));
    Run(MainForm->acExport, "Export succeeded.");
    QFile file(Path("drive.720"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray other =
        file.readAll().replace("512.0=0\r\n", "512.0=1\r\n").replace("16.0=50\r\n", "16.0=60\r\n");
    QFile changed(Path("other.720"));
    ASSERT_TRUE(changed.open(QIODevice::WriteOnly));
    changed.write(other);
    changed.close();

    Jobs->Reply = QMessageBox::Yes;
    ProgForm->OpenDialog->selectFile(Path("other.720"));
    Run(MainForm->acImport, "Warning: drive size difference. Stop by user.");
    ASSERT_EQ(Jobs->Boxes.size(), 1);
    EXPECT_EQ(Jobs->Boxes[0], "WARNING!|Source drive size different from Destination drive "
                              "size!\n\r Terminate importing data?");
    EXPECT_TRUE(LogContains("Warning: Source drive size different from Destination drive size."));
    EXPECT_EQ(sim.Read(kAccelTimeRegister), 50) << "nothing written";
    EXPECT_TRUE(MainSetUpdates());
}

TEST_F(ProgFormTest, AFileWithAMissingKeyWritesNothing) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    ProgForm->SaveDialog->selectFile(Path("drive.720"));
    Run(MainForm->acExport, "Export succeeded.");
    QFile file(Path("drive.720"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray cut =
        file.readAll().replace("16.0=50\r\n", "").replace("17.0=50\r\n", "17.0=70\r\n");
    QFile broken(Path("cut.720"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(cut);
    broken.close();

    ProgForm->OpenDialog->selectFile(Path("cut.720"));
    Run(MainForm->acImport, "Error: load from file failed!");
    EXPECT_TRUE(LogContains("'' is not a valid integer value"));
    EXPECT_EQ(sim.Read(0x11), 50) << "nothing written";
    EXPECT_TRUE(MainSetUpdates()) << "the live values go on";
}

} // namespace
