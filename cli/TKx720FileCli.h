#pragma once

#include "TnvConfigJob.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>

class TnvMBThread;

// What a file command of the command line asked for.
struct TKx720FileJob {
    TnvConfigJob::TMode Command = TnvConfigJob::jmNone;
    QString File; // export, import, compare: the ".720" file
    QString Pdf;  // print: the PDF to write instead of text on standard output
    bool IgnoreSize = false;
    QString Host; // --tcp host, or empty for --com
    int Port = 0;
    int ComPort = 0;
    int Slave = 2;
    QString Defs = QStringLiteral("VF_Parameters_v207.ini");
    int Timeout = 1000;
};

// The configuration commands of kx720 (export, import, print, compare) on the
// terminal's own configuration job: the same file, backup, read-back and
// report. Progress goes to standard error when it is a terminal.
// Main thread only.
class TKx720FileCli {
public:
    // True for the verbs this class serves.
    static bool IsCommand(const QString& verb);
    // Fills job's command and file from the positional arguments (the verb
    // first); false with the reason in error.
    static bool Parse(const QStringList& args, TKx720FileJob& job, QString& error);
    // The application object for argv: a GUI one (offscreen unless a display
    // is asked for) when a PDF is to be drawn, else a core one.
    static std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv);

    TKx720FileCli(const TKx720FileJob& job, QTextStream& out, QTextStream& err);
    ~TKx720FileCli();
    TKx720FileCli(const TKx720FileCli&) = delete;
    TKx720FileCli& operator=(const TKx720FileCli&) = delete;

    // Runs the command to its end; the exit code: 0 success (compare: equal),
    // 1 failure (compare: different), 2 compare's trouble.
    int Run();
    // Ends the command at once with exitCode (a signal's 128 + number),
    // saying on standard error what was cut short.
    void Interrupt(int exitCode);

private:
    bool Prepare();
    void StartThread();
    void StartJob();
    void JobDone();
    bool WritePdf(const QStringList& lines);
    void ShowProgress(TnvConfigJob::TPhase phase, int done, int total);
    void Fail(const QString& line, const QString& detail = {});
    void Finish(int code);
    int FailureCode() const;

    TKx720FileJob FJob;
    QTextStream& FOut;
    QTextStream& FErr;
    TnvConfigJob FConfig;
    std::unique_ptr<TnvMBThread> FThread;
    bool FProgressShown = false;
    bool FFinished = false;
    int FExitCode = 0;
};
