#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QProgressDialog;
class QTimer;
class QWidget;
class TnvMBThread;
class TnvReportReader;

// The terminal's "Report..." action: reads the connected drive once, fills
// the commissioning report, writes it to a file the operator chooses and
// opens it in the desktop's browser. Enabled while the link is open. Link
// failures go to the log memo; a report that cannot be made or written says
// why in a message box too. GUI thread.
class TReportAction : public QObject {
    Q_OBJECT
public:
    // window: the parent of the dialogs (the main window).
    explicit TReportAction(QWidget* window);
    ~TReportAction() override;

    QAction* Action() const { return acReport; }
    bool IsRunning() const;

    // The folder holding the report templates and their database: "reports"
    // of the working directory, else the build's or the installation's data
    // folder beside the program; empty when none holds both.
    static QString ReportFolder();

    // The folder the report is made from; ReportFolder() when empty.
    QString Folder;
    // Asks for the report's file (empty: cancelled); a file dialog unless
    // replaced (tests).
    std::function<QString(const QString& suggestion)> AskFileName;
    // Shows the written report; the desktop's browser unless replaced.
    std::function<bool(const QUrl& url)> OpenUrl;

    void acReportExecute();

private:
    void UpdateState();
    void Progress(int done, int total);
    void Ready();
    void Failed(std::int32_t code);
    void Cancelled();
    void EndReading();
    void Complain(const QString& text);

    QWidget* FWindow;
    QAction* acReport;
    QTimer* FUpdate;
    QProgressDialog* FProgress = nullptr;
    std::unique_ptr<TnvReportReader> FReader;
    TnvMBThread* FThread = nullptr; // the link the reader reads through
    QString FFolder;
    QString FFile;
};
