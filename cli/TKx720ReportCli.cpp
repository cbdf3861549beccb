#include "TKx720ReportCli.h"

#include "NvExchangeError.h"
#include "NvSaveFile.h"
#include "TKx720Cli.h"
#include "TnvError.h"
#include "TnvMBThread.h"
#include "TnvParDefSet.h"
#include "TnvParValueSet.h"
#include "TnvReportAnswers.h"
#include "TnvReportReader.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTimer>
#include <unistd.h>

bool TKx720ReportCli::IsCommand(const QString& verb) {
    return verb == "report";
}

std::unique_ptr<QCoreApplication> TKx720ReportCli::CreateApplication(int& argc, char** argv) {
    bool report = false;
    for (int i = 1; i < argc; ++i)
        report = report || IsCommand(QString::fromLocal8Bit(argv[i]));
    if (!report)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

bool TKx720ReportCli::Parse(const QStringList& args, TKx720ReportJob& job, QString& error) {
    if (args.size() != 2 || args[1].isEmpty()) {
        error = "report wants one template file";
        return false;
    }
    job.Template = args[1];
    return true;
}

TKx720ReportCli::TKx720ReportCli(const TKx720ReportJob& job, QTextStream& out, QTextStream& err)
    : FJob(job)
    , FOut(out)
    , FErr(err)
    , FDefs(std::make_unique<TnvParDefSet>())
    , FTerminal(isatty(STDERR_FILENO) == 1) {}

TKx720ReportCli::~TKx720ReportCli() {
    FReader.reset(); // detaches its value set from the thread
    FThread.reset();
}

int TKx720ReportCli::Run() {
    if (!Prepare())
        return FExitCode;
    StartThread();
    if (FFinished)
        return FExitCode;
    const int code = QCoreApplication::exec();
    return FFinished ? FExitCode : code;
}

bool TKx720ReportCli::Prepare() {
    // Say what is wrong with the files before a drive is read for nothing.
    QFile templateFile(FJob.Template);
    if (!templateFile.open(QIODevice::ReadOnly)) {
        Fail(TnvFileError(FJob.Template, templateFile.errorString()).Message());
        return false;
    }
    if (!FJob.Database.isEmpty() && !QFileInfo(FJob.Database).isFile()) {
        Fail(QStringLiteral("The database \"%1\" does not exist.").arg(FJob.Database));
        return false;
    }
    if (!QFileInfo::exists(FJob.Defs)) {
        Fail("Error loading parameters definitions.", FJob.Defs + ": no such file");
        return false;
    }
    FDefs->LoadFromFile(QFileInfo(FJob.Defs).absoluteFilePath());
    FReader = std::make_unique<TnvReportReader>(*FDefs, FJob.Slave);
    if (FReader->GetTotal() == 0) {
        Fail("Error on parameters creation.",
             FJob.Defs + ": no values in \"Ram\", \"EEProm\", \"Flash\"");
        return false;
    }
    FReader->OnProgress = [this](TnvReportReader*, int done, int total) {
        Progress(done, total);
    };
    FReader->OnReady = [this](TnvReportReader*) {
        WriteReport();
    };
    FReader->OnFailed = [this](TnvReportReader*, int32_t code) {
        Fail("Error on ModBus data exchange: " + nv::ExchangeErrorText(code),
             FThread ? FThread->LastErrorDetail() : QString());
    };
    return true;
}

void TKx720ReportCli::StartThread() {
    FThread = std::make_unique<TnvMBThread>();
    ApplyLink(FJob.ComPort, FJob.Host, FJob.Port, FJob.Timeout, FThread->Settings);
    FThread->OnConnect = [this](TnvMBThread* thread) {
        FReader->Start(*thread);
    };
    StartLink(*FThread,
              [this](const QString& message, const QString& detail) { Fail(message, detail); });
}

void TKx720ReportCli::Progress(int done, int total) {
    FDone = done;
    if (FTerminal) {
        FErr << QStringLiteral("\rReading the drive: %1 of %2 values").arg(done).arg(total);
        FErr.flush();
        FProgressShown = true;
    } else if (done == 0) {
        FErr << QStringLiteral("Reading the drive: %1 values").arg(total) << Qt::endl;
    }
}

void TKx720ReportCli::WriteReport() {
    if (FFinished)
        return;
    if (FProgressShown) {
        FErr << Qt::endl;
        FProgressShown = false;
    }
    TnvReportAnswers answers(*FDefs, FReader->GetValueSet());
    answers.SetSlaveAddress(FJob.Slave);
    answers.SetIdentification(FReader->GetHardwareText(), FReader->GetFirmwareText());
    QStringList lines;
    try {
        lines = answers.Compile(FJob.Template, FJob.Database);
    } catch (const TnvError& e) {
        Fail(QStringLiteral("The report cannot be made: %1").arg(e.Message()));
        return;
    }
    const QByteArray text = (lines.join('\n') + '\n').toUtf8();
    if (FJob.Output.isEmpty()) {
        FOut << QString::fromUtf8(text);
        FOut.flush();
        Finish(0);
        return;
    }
    QSaveFile file(FJob.Output);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() ||
        !nv::CommitSaveFile(file)) {
        Fail(QStringLiteral("The report cannot be written to \"%1\": %2")
                 .arg(FJob.Output, file.errorString()));
        return;
    }
    FErr << QStringLiteral("Report written to %1").arg(FJob.Output) << Qt::endl;
    Finish(0);
}

void TKx720ReportCli::Interrupt(int exitCode) {
    if (FFinished)
        return;
    if (FProgressShown)
        FErr << Qt::endl;
    FErr << QStringLiteral("Interrupted: report (%1 of %2 values read, nothing written)")
                .arg(FDone)
                .arg(FReader ? FReader->GetTotal() : 0)
         << Qt::endl;
    Finish(exitCode);
}

void TKx720ReportCli::Fail(const QString& line, const QString& detail) {
    if (FFinished)
        return;
    if (FProgressShown)
        FErr << Qt::endl;
    FProgressShown = false;
    FErr << line << Qt::endl;
    if (!detail.isEmpty())
        FErr << "  " << detail << Qt::endl;
    Finish(1);
}

void TKx720ReportCli::Finish(int code) {
    if (FFinished)
        return;
    FFinished = true;
    FExitCode = code;
    if (FReader)
        FReader->Cancel();
    // Leave the event loop from its top, never from inside the thread's own
    // event, which the thread's destruction would otherwise wait for.
    QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
}
