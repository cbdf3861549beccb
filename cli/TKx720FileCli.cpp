#include "TKx720FileCli.h"

#include "NvConfigFile.h"
#include "NvDateTime.h"
#include "NvReportPaint.h"
#include "NvSaveFile.h"
#include "TKx720Cli.h"
#include "TnvError.h"
#include "TnvMBThread.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTimer>
#include <unistd.h>

namespace {

constexpr int kDiffer = 1;
constexpr int kTrouble = 2;

QString PhaseName(TnvConfigJob::TPhase phase) {
    switch (phase) {
    case TnvConfigJob::phBackup:
        return QStringLiteral("Backing up the drive");
    case TnvConfigJob::phWriting:
        return QStringLiteral("Writing and verifying");
    default:
        return QStringLiteral("Reading the drive");
    }
}

} // namespace

bool TKx720FileCli::IsCommand(const QString& verb) {
    return verb == QLatin1String("export") || verb == QLatin1String("import") ||
           verb == QLatin1String("print") || verb == QLatin1String("compare");
}

bool TKx720FileCli::Parse(const QStringList& args, TKx720FileJob& job, QString& error) {
    const QString verb = args.value(0);
    const bool wantsFile = verb != QLatin1String("print");
    if (args.size() != (wantsFile ? 2 : 1)) {
        error = wantsFile ? verb + QStringLiteral(" wants one FILE.720")
                          : QStringLiteral("print takes no arguments (--pdf FILE writes a PDF)");
        return false;
    }
    if (verb == QLatin1String("export"))
        job.Command = TnvConfigJob::jmExport;
    else if (verb == QLatin1String("import"))
        job.Command = TnvConfigJob::jmImport;
    else if (verb == QLatin1String("compare"))
        job.Command = TnvConfigJob::jmCompare;
    else
        job.Command = TnvConfigJob::jmPrint;
    job.File = args.value(1);
    if (!job.Pdf.isEmpty() && job.Command != TnvConfigJob::jmPrint) {
        error = QStringLiteral("--pdf goes with print only");
        return false;
    }
    if (job.IgnoreSize && job.Command != TnvConfigJob::jmImport) {
        error = QStringLiteral("--ignore-size goes with import only");
        return false;
    }
    return true;
}

std::unique_ptr<QCoreApplication> TKx720FileCli::CreateApplication(int& argc, char** argv) {
    bool print = false;
    bool pdf = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        print = print || arg == "print";
        pdf = pdf || arg == "--pdf" || arg.startsWith("--pdf=");
    }
    if (!print || !pdf)
        return std::make_unique<QCoreApplication>(argc, argv);
    // Fonts and painting need a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

TKx720FileCli::TKx720FileCli(const TKx720FileJob& job, QTextStream& out, QTextStream& err)
    : FJob(job)
    , FOut(out)
    , FErr(err) {
    FConfig.OnLog = [this](TnvConfigJob*, const QString& line) {
        ShowProgress(TnvConfigJob::phIdle, 0, 0);
        FErr << line << Qt::endl;
    };
    FConfig.OnProgress = [this](TnvConfigJob*, TnvConfigJob::TPhase phase, int done, int total) {
        ShowProgress(phase, done, total);
    };
    FConfig.OnSizeDiffers = [this](TnvConfigJob*, std::uint16_t, std::uint16_t) {
        if (FJob.IgnoreSize)
            FErr << "  --ignore-size: importing anyway" << Qt::endl;
        return !FJob.IgnoreSize;
    };
    FConfig.OnDone = [this](TnvConfigJob*, TnvConfigJob::TMode) {
        JobDone();
    };
    FConfig.OnFail = [this](TnvConfigJob*, const QString& message) {
        Fail(message, message.contains(QLatin1String("drive size"))
                          ? QStringLiteral("give --ignore-size to import anyway")
                          : QString());
    };
}

TKx720FileCli::~TKx720FileCli() {
    FConfig.Stop();
    FThread.reset();
}

int TKx720FileCli::Run() {
    if (!Prepare())
        return FExitCode;
    StartThread();
    if (FFinished)
        return FExitCode;
    const int code = QCoreApplication::exec();
    return FFinished ? FExitCode : code;
}

void TKx720FileCli::Interrupt(int exitCode) {
    if (FFinished)
        return;
    FConfig.Stop();
    ShowProgress(TnvConfigJob::phIdle, 0, 0);
    FErr << "Interrupted." << Qt::endl;
    if (FJob.Command == TnvConfigJob::jmImport && !FConfig.GetBackupFile().isEmpty())
        FErr << "  the drive may hold part of the file; its backup is " << FConfig.GetBackupFile()
             << Qt::endl;
    Finish(exitCode);
}

int TKx720FileCli::FailureCode() const {
    return FJob.Command == TnvConfigJob::jmCompare ? kTrouble : 1;
}

bool TKx720FileCli::Prepare() {
    const QFileInfo defs(FJob.Defs);
    if (!defs.exists()) {
        Fail(QStringLiteral("Error loading parameters definitions."),
             FJob.Defs + QStringLiteral(": no such file"));
        return false;
    }
    const QString failure = FConfig.Load(defs.absolutePath(), defs.fileName());
    if (!failure.isEmpty()) {
        Fail(failure, FJob.Defs);
        return false;
    }
    if (FJob.Command == TnvConfigJob::jmImport || FJob.Command == TnvConfigJob::jmCompare) {
        try {
            FConfig.LoadFile(FJob.File);
        } catch (const TnvError& e) {
            Fail(QStringLiteral("Error: load from file failed!"), e.Message());
            return false;
        }
    }
    return true;
}

void TKx720FileCli::StartThread() {
    FThread = std::make_unique<TnvMBThread>();
    ApplyLink(FJob.ComPort, FJob.Host, FJob.Port, FJob.Timeout, FThread->Settings);
    FThread->OnConnect = [this](TnvMBThread*) {
        // Not from inside the thread's event, which the job's first
        // subscription would otherwise wait on.
        QTimer::singleShot(0, QCoreApplication::instance(), [this] { StartJob(); });
    };
    StartLink(*FThread,
              [this](const QString& message, const QString& detail) { Fail(message, detail); });
}

void TKx720FileCli::StartJob() {
    if (FFinished)
        return;
    switch (FJob.Command) {
    case TnvConfigJob::jmExport:
        FConfig.StartExport(FThread.get(), FJob.Slave, FJob.File);
        break;
    case TnvConfigJob::jmImport:
        FConfig.StartImport(FThread.get(), FJob.Slave);
        break;
    default:
        FConfig.StartRead(FThread.get(), FJob.Slave, FJob.Command);
        break;
    }
}

void TKx720FileCli::JobDone() {
    ShowProgress(TnvConfigJob::phIdle, 0, 0);
    switch (FJob.Command) {
    case TnvConfigJob::jmExport:
        FOut << "Export succeeded." << Qt::endl;
        Finish(0);
        return;
    case TnvConfigJob::jmImport:
        FOut << "Import succeeded." << Qt::endl;
        Finish(0);
        return;
    case TnvConfigJob::jmPrint: {
        const QStringList lines = nv::ConfigReportLines(FConfig.Values(), FJob.Slave, nv::Now());
        if (FJob.Pdf.isEmpty()) {
            for (const QString& line : lines)
                FOut << line << '\n';
            FOut.flush();
        } else if (!WritePdf(lines)) {
            return;
        }
        Finish(0);
        return;
    }
    default:
        for (const nv::TConfigDifference& d : FConfig.Differences()) {
            const QString index = d.Length > 1 ? QStringLiteral("%1.%2").arg(d.Index).arg(d.Element)
                                               : QString::number(d.Index);
            FOut << index << '\t' << d.Name << '\t' << d.Drive << '\t' << d.File << '\n';
        }
        FOut.flush();
        Finish(FConfig.Differences().empty() ? 0 : kDiffer);
        return;
    }
}

bool TKx720FileCli::WritePdf(const QStringList& lines) {
    QSaveFile file(FJob.Pdf);
    if (!file.open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("Error: print failed!"), FJob.Pdf + ": " + file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("KX720_VevIde"));
        writer.setCreator(QStringLiteral("KX720_VevIde"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        if (!nv::PaintReport(writer, lines)) {
            file.cancelWriting();
            Fail(QStringLiteral("Error: print failed!"), FJob.Pdf);
            return false;
        }
    }
    if (!nv::CommitSaveFile(file)) {
        Fail(QStringLiteral("Error: print failed!"), FJob.Pdf + ": " + file.errorString());
        return false;
    }
    return true;
}

void TKx720FileCli::ShowProgress(TnvConfigJob::TPhase phase, int done, int total) {
    if (!::isatty(STDERR_FILENO))
        return;
    if (phase == TnvConfigJob::phIdle) {
        if (FProgressShown)
            FErr << '\n';
        FErr.flush();
        FProgressShown = false;
        return;
    }
    FErr << QStringLiteral("\r%1: %2/%3 ").arg(PhaseName(phase)).arg(done).arg(total);
    FErr.flush();
    FProgressShown = true;
}

void TKx720FileCli::Fail(const QString& line, const QString& detail) {
    if (FFinished)
        return;
    ShowProgress(TnvConfigJob::phIdle, 0, 0);
    FErr << line << Qt::endl;
    if (!detail.isEmpty())
        FErr << "  " << detail << Qt::endl;
    Finish(FailureCode());
}

void TKx720FileCli::Finish(int code) {
    if (FFinished)
        return;
    FFinished = true;
    FExitCode = code;
    QTimer::singleShot(0, QCoreApplication::instance(), [code] { QCoreApplication::exit(code); });
}
