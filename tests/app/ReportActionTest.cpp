// The terminal's "Report..." action against the drive simulator over Modbus
// TCP: the file it writes, the browser it asks for, and a link that closes
// while the drive is read.

#include "TMainForm.h"
#include "TReportAction.h"
#include "TSimProcess.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TerminalFixture.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QToolBar>
#include <QWidget>

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
    static QString ReadText(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir FDir;
    QString Asked;
    QList<QUrl> Opened;
};

TEST_F(ReportActionTest, WritesTheReportAndOpensItInTheBrowser) {
    kxtest::TSimProcess sim(false);
    ConnectReporting(sim);
    QWidget* button = MainForm->tbarMain->widgetForAction(Report()->Action());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->accessibleName(), "Report...");

    Asked.clear(); // the operator cancels the file dialog
    Report()->Action()->trigger();
    EXPECT_FALSE(Report()->IsRunning());

    Asked = FDir.filePath("drive"); // no suffix: ".html" is added
    Report()->Action()->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Opened.isEmpty(); }, 20000))
        << Lines().join('\n').toStdString();
    const QString file = FDir.filePath("drive.html");
    EXPECT_EQ(Opened, QList<QUrl>{QUrl::fromLocalFile(file)});
    EXPECT_TRUE(LogContains("Report written to " + file));
    const QString html = ReadText(file);
    EXPECT_TRUE(html.contains("<tr><th>Hardware version</th><td>KX720-A</td></tr>"));
    EXPECT_TRUE(html.contains("<img src=\"data:image/png;base64,"));
    EXPECT_TRUE(Report()->Action()->isEnabled());
}

// A slow drive, and the operator closes the link while the report reads it:
// nothing is written, and the next report on a new link works.
TEST_F(ReportActionTest, LinkClosedWhileReadingWritesNothing) {
    kxtest::TSimProcess sim(false, {"--delay", "40"});
    ConnectReporting(sim);
    Asked = FDir.filePath("cut.html");
    Report()->Action()->trigger();
    ASSERT_TRUE(Report()->IsRunning());
    EXPECT_FALSE(Report()->Action()->isEnabled());
    MainForm->acCloseConnection->trigger();
    ASSERT_TRUE(WaitFor([] { return !Report()->IsRunning(); }, kLinkMs));
    EXPECT_TRUE(LogContains("Report: the link closed before the drive was read; nothing written."));
    EXPECT_FALSE(QFile::exists(Asked));
    EXPECT_FALSE(Report()->Action()->isEnabled());

    MainForm->acOpenConnection->trigger();
    ASSERT_TRUE(WaitFor([] { return Report()->Action()->isEnabled(); }, kLinkMs));
    Report()->Action()->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Opened.isEmpty(); }, 30000))
        << Lines().join('\n').toStdString();
    EXPECT_TRUE(ReadText(Asked).contains("KX720-A"));
}

} // namespace
