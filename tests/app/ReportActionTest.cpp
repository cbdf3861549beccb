// The terminal's "Report..." action against the drive simulator: what the
// terminal adds to the report library (the file dialog, the browser, a link
// that closes while the drive is read). The HTML is the command line's test.

#include "TReportAction.h"
#include "TSimProcess.h"
#include "TerminalFixture.h"
#include "TestFiles.h"

#include <QToolBar>

namespace {

class ReportActionTest : public TerminalFixture {
protected:
    void ConnectReporting(kxtest::TSimProcess& sim) {
        Connect(sim);
        Report()->Folder = qEnvironmentVariable("KX_BINARY_DIR") + "/data/reports";
        Report()->AskFileName = [this](const QString&) {
            return Asked;
        };
        Report()->OpenUrl = [this](const QUrl& url) {
            Opened << url;
            return true;
        };
        ASSERT_TRUE(WaitFor([] { return Report()->Action()->isEnabled(); }, kLinkMs));
    }
    static TReportAction* Report() { return MainForm->ReportAction; }

    QTemporaryDir FDir;
    QString Asked;
    QList<QUrl> Opened;
};

// A slow drive, and the operator closes the link while the report reads it:
// nothing is written; on a new link the report is written and opened.
TEST_F(ReportActionTest, LinkClosedWhileReadingWritesNothing) {
    kxtest::TSimProcess sim(false, {"--delay", "40"});
    ConnectReporting(sim);
    QWidget* button = MainForm->tbarMain->widgetForAction(Report()->Action());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->accessibleName(), "Report...");
    Asked.clear(); // the operator cancels the file dialog
    Report()->Action()->trigger();
    EXPECT_FALSE(Report()->IsRunning());

    Asked = FDir.filePath("drive"); // no suffix: ".html" is added
    const QString file = Asked + ".html";
    Report()->Action()->trigger();
    ASSERT_TRUE(Report()->IsRunning());
    EXPECT_FALSE(Report()->Action()->isEnabled());
    MainForm->acCloseConnection->trigger();
    ASSERT_TRUE(WaitFor([] { return !Report()->IsRunning(); }, kLinkMs));
    EXPECT_TRUE(LogContains("Report: the link closed before the drive was read; nothing written."));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(Report()->Action()->isEnabled());

    MainForm->acOpenConnection->trigger();
    ASSERT_TRUE(WaitFor([] { return Report()->Action()->isEnabled(); }, kLinkMs));
    Report()->Action()->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Opened.isEmpty(); }, 30000))
        << Lines().join('\n').toStdString();
    EXPECT_EQ(Opened, QList<QUrl>{QUrl::fromLocalFile(file)});
    EXPECT_TRUE(LogContains("Report written to " + file));
    EXPECT_TRUE(kxtest::ReadFile(file).contains("KX720-A"));
    EXPECT_TRUE(Report()->Action()->isEnabled());
}

} // namespace
