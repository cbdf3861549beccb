#include "TReportAction.h"

#include "NvDateTime.h"
#include "NvExchangeError.h"
#include "NvFormat.h"
#include "NvSaveFile.h"
#include "TCOMModule.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvError.h"
#include "TnvMBThread.h"
#include "TnvReportAnswers.h"
#include "TnvReportReader.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString kTemplate = QStringLiteral("commissioning.html");
const QString kDatabase = QStringLiteral("faults.db");

void Log(const QString& line) {
    if (MainForm)
        MainForm->Log(line);
}

TnvMBThread* OpenLink() {
    TnvMBThread* thread = COMModule ? COMModule->MBThread.get() : nullptr;
    return thread && thread->IsConnected() ? thread : nullptr;
}

} // namespace

TReportAction::TReportAction(QWidget* window)
    : QObject(window)
    , FWindow(window)
    , acReport(new QAction(QStringLiteral("Report..."), this))
    , FUpdate(new QTimer(this)) {
    acReport->setObjectName(QStringLiteral("acReport"));
    acReport->setProperty("Category", QStringLiteral("Files"));
    acReport->setToolTip(
        QStringLiteral("Commissioning report of the connected drive, in the browser"));
    acReport->setStatusTip(acReport->toolTip());
    acReport->setEnabled(false);
    connect(acReport, &QAction::triggered, this, &TReportAction::acReportExecute);
    AskFileName = [this](const QString& suggestion) {
        return QFileDialog::getSaveFileName(
            FWindow, QStringLiteral("Save the report"), suggestion,
            QStringLiteral("HTML Files (*.html *.htm);;All Files (*)"));
    };
    OpenUrl = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    connect(FUpdate, &QTimer::timeout, this, &TReportAction::UpdateState);
    FUpdate->start(100);
}

TReportAction::~TReportAction() {
    // The link may already be gone at the end of the program.
    if (FReader && FThread && OpenLink() != FThread)
        FReader->Abandon();
}

bool TReportAction::IsRunning() const {
    return FReader && FReader->IsRunning();
}

QString TReportAction::ReportFolder() {
    const QString program = QCoreApplication::applicationDirPath();
    const QString candidates[] = {QDir::current().filePath(QStringLiteral("reports")),
                                  program + QStringLiteral("/../data/reports"),
                                  program + QStringLiteral("/../share/kx720/reports")};
    for (const QString& folder : candidates)
        if (QFileInfo(folder + '/' + kTemplate).isFile() &&
            QFileInfo(folder + '/' + kDatabase).isFile())
            return QDir::cleanPath(folder);
    return QString();
}

void TReportAction::UpdateState() {
    // A link closed under the reading takes its thread along.
    if (IsRunning() && OpenLink() != FThread) {
        FReader->Abandon();
        EndReading();
        Log(QStringLiteral("Report: the link closed before the drive was read; nothing written."));
    }
    const bool enabled = OpenLink() && !IsRunning();
    if (acReport->isEnabled() != enabled)
        acReport->setEnabled(enabled);
}

void TReportAction::acReportExecute() {
    TnvMBThread* thread = OpenLink();
    if (!thread || IsRunning())
        return;
    FFolder = Folder.isEmpty() ? ReportFolder() : Folder;
    if (FFolder.isEmpty()) {
        Complain(QStringLiteral("The report templates were not found: \"reports/%1\" and \"%2\" "
                                "belong in the working directory or in the program's data folder.")
                     .arg(kTemplate, kDatabase));
        return;
    }
    const int slave = PARModule->nvParValueSet.GetSlaveAddress();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggestion =
        QDir(QFileInfo(documents).isDir() ? documents : QDir::homePath())
            .filePath(QStringLiteral("kx720-slave%1-%2.html")
                          .arg(slave)
                          .arg(nv::FormatDateTime(QStringLiteral("yyyymmdd-hhnn"), nv::Now())));
    QString file = AskFileName(suggestion);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".html");
    FFile = file;

    FReader = std::make_unique<TnvReportReader>(PARModule->nvParDefSet, slave);
    FReader->OnProgress = [this](TnvReportReader*, int done, int total) {
        Progress(done, total);
    };
    FReader->OnReady = [this](TnvReportReader*) {
        Ready();
    };
    FReader->OnFailed = [this](TnvReportReader*, std::int32_t code) {
        Failed(code);
    };
    FProgress = new QProgressDialog(QStringLiteral("Reading the drive for the report..."),
                                    QStringLiteral("Cancel"), 0, FReader->GetTotal(), FWindow);
    FProgress->setObjectName(QStringLiteral("ReportProgress"));
    FProgress->setWindowTitle(QStringLiteral("Report"));
    FProgress->setAccessibleName(FProgress->windowTitle());
    FProgress->setMinimumDuration(300);
    FProgress->setAutoReset(false);
    FProgress->setAutoClose(false);
    connect(FProgress, &QProgressDialog::canceled, this, &TReportAction::Cancelled);
    FThread = thread;
    Log(QStringLiteral("Report: reading the drive."));
    FReader->Start(*thread);
    UpdateState();
}

void TReportAction::Progress(int done, int total) {
    if (FProgress) {
        FProgress->setMaximum(total);
        FProgress->setValue(done);
    }
}

void TReportAction::Ready() {
    EndReading();
    TnvReportAnswers answers(PARModule->nvParDefSet, FReader->GetValueSet());
    answers.SetSlaveAddress(FReader->GetValueSet().GetSlaveAddress());
    answers.SetIdentification(FReader->GetHardwareText(), FReader->GetFirmwareText());
    QByteArray text;
    try {
        text = (answers.Compile(FFolder + '/' + kTemplate, FFolder + '/' + kDatabase).join('\n') +
                '\n')
                   .toUtf8();
    } catch (const TnvError& e) {
        Complain(QStringLiteral("The report cannot be made: %1").arg(e.Message()));
        return;
    }
    QSaveFile file(FFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() ||
        !nv::CommitSaveFile(file)) {
        Complain(QStringLiteral("The report cannot be written to \"%1\": %2")
                     .arg(FFile, file.errorString()));
        return;
    }
    Log(QStringLiteral("Report written to %1").arg(FFile));
    if (!OpenUrl(QUrl::fromLocalFile(FFile)))
        Log(QStringLiteral("Report: no browser opened %1; open it by hand.").arg(FFile));
}

void TReportAction::Failed(std::int32_t code) {
    EndReading();
    Log(QStringLiteral("Report: Error on ModBus data exchange: %1; nothing written.")
            .arg(nv::ExchangeErrorText(code)));
}

void TReportAction::Cancelled() {
    if (!IsRunning())
        return;
    FReader->Cancel();
    EndReading();
    Log(QStringLiteral("Report cancelled; nothing written."));
}

void TReportAction::EndReading() {
    FThread = nullptr;
    if (FProgress) {
        FProgress->disconnect(this);
        FProgress->deleteLater();
        FProgress = nullptr;
    }
    UpdateState();
}

void TReportAction::Complain(const QString& text) {
    Log(QStringLiteral("Report: ") + text);
    QMessageBox::warning(FWindow, QStringLiteral("Report"), text);
}
