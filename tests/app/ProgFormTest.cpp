// The configuration window driven from the main window's file actions
// against the drive simulator: the dialogs, the size question, the memo
// lines, and that the main window's values update again afterwards.

#include "TCompareForm.h"
#include "TProgForm.h"
#include "TSimProcess.h"
#include "TerminalFixture.h"
#include "TestFiles.h"
#include "TestWait.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPrinter>
#include <QTableWidget>

namespace {

// A job walks the whole configuration; under the sanitizers, on a loaded
// machine, that took longer than 15 s once.
constexpr int kJobMs = kxtest::kSanitized ? 45000 : 15000;
constexpr std::uint16_t kAccelTimeRegister = 0x10;

class ProgFormTest : public TerminalFixture {
protected:
    // Links the terminal to sim; the configuration window closes itself.
    void ConnectForJobs(kxtest::TSimProcess& sim) {
        Connect(sim);
        Answerer->Leave = ProgForm;
        Answerer->Reply = QMessageBox::No;
        ASSERT_TRUE(WaitFor([] { return MainForm->acExport->isEnabled(); }, kJobMs));
    }
    void ConnectAndExport(kxtest::TSimProcess& sim, const QString& name) {
        ConnectForJobs(sim);
        ProgForm->SaveDialog->selectFile(Path(name));
        Run(MainForm->acExport, "Export succeeded.");
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
};

TEST_F(ProgFormTest, ExportPrintAndCompareThroughTheWindow) {
    kxtest::TSimProcess sim(false);
    ConnectAndExport(sim, "drive.720");
    EXPECT_TRUE(
        kxtest::ReadFile(Path("drive.720")).startsWith("[Header]\r\nOwner=KX720_VevIde\r\n"));
    EXPECT_TRUE(MainSetUpdates());

    ProgForm->Printer->setOutputFormat(QPrinter::PdfFormat);
    ProgForm->Printer->setOutputFileName(Path("report.pdf"));
    Run(MainForm->acPrint, "Print succeeded.");
    EXPECT_GT(QFileInfo(Path("report.pdf")).size(), 0);

    ASSERT_TRUE(sim.Write(kAccelTimeRegister, 77));
    ProgForm->OpenDialog->selectFile(Path("drive.720"));
    Run(MainForm->acCompare, "Compare succeeded.");
    EXPECT_TRUE(ProgForm->CompareForm->isVisible());
    ASSERT_EQ(ProgForm->CompareForm->sgDifferences->rowCount(), 1);
    EXPECT_EQ(ProgForm->CompareForm->sgDifferences->item(0, 1)->text(), "AccelTime");
    EXPECT_EQ(ProgForm->CompareForm->sgDifferences->item(0, 2)->text(), "77");
}

TEST_F(ProgFormTest, CancelledDialogsFailAndHandTheLinkBack) {
    kxtest::TSimProcess sim(false);
    ConnectForJobs(sim);
    Answerer->AcceptDialogs = false; // cancels the file dialogs
    Run(MainForm->acExport, "Export to file cancelled.");
    Run(MainForm->acImport, "Import from file cancelled.");
    EXPECT_TRUE(MainSetUpdates());
}

// An import the operator stops at the size question, and one of a file that
// lacks a key: neither writes anything.
TEST_F(ProgFormTest, AStoppedOrBrokenImportWritesNothing) {
    const struct {
        const char* Name;
        std::pair<const char*, const char*> Changes[2];
        QMessageBox::StandardButton Reply;
        const char* Last;
        const char* Said;
        int Boxes;
    } cases[] = {
        {"size",
         {{"512.0=0\r\n", "512.0=1\r\n"}, {"16.0=50\r\n", "16.0=60\r\n"}},
         QMessageBox::Yes,
         "Warning: drive size difference. Stop by user.",
         "Warning: Source drive size different from Destination drive size.",
         1},
        {"key",
         {{"16.0=50\r\n", ""}, {"17.0=50\r\n", "17.0=70\r\n"}},
         QMessageBox::No,
         "Error: load from file failed!",
         "'' is not a valid integer value",
         0},
    };
    kxtest::TSimProcess sim(false);
    ConnectAndExport(sim, "drive.720");
    const QByteArray exported = kxtest::ReadFile(Path("drive.720"));
    ASSERT_FALSE(exported.isEmpty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QByteArray text = exported;
        for (const auto& [from, to] : c.Changes)
            text.replace(from, to);
        const QString name = kxtest::WriteFile(Path(QString(c.Name) + ".720"), text);
        Answerer->Reply = c.Reply;
        Answerer->Texts.clear();
        ProgForm->OpenDialog->selectFile(name);
        Run(MainForm->acImport, c.Last);
        EXPECT_TRUE(LogContains(c.Said));
        EXPECT_EQ(Answerer->Texts.filter("Terminate importing data?").size(), c.Boxes);
        EXPECT_EQ(sim.Read(kAccelTimeRegister), 50) << "nothing written";
        EXPECT_EQ(sim.Read(kAccelTimeRegister + 1), 50);
    }
}

} // namespace
