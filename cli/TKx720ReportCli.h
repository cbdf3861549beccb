#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>

class QCoreApplication;
class TnvMBThread;
class TnvParDefSet;
class TnvReportReader;

// What "kx720 report TEMPLATE [--db FILE] [-o OUT.html]" asked for.
struct TKx720ReportJob {
    QString Template;
    QString Database; // --db: the SQLite file of the TABLE tags
    QString Output;   // -o: the report file; standard output when empty
    QString Host;     // --tcp host
    int Port = 0;
    int ComPort = 0; // --com N
    int Slave = 2;
    QString Defs = "VF_Parameters_v207.ini";
    int Timeout = 1000;
};

// Reads the drive once (values of "Ram", "EEProm" and "Flash", and its
// identification), fills the template and writes the report whole or not at
// all. Progress on standard error; failures there too with exit status 1.
// Main thread only.
class TKx720ReportCli {
public:
    // True for the command's verb.
    static bool IsCommand(const QString& verb);
    // The application the command line needs: the report's picture needs
    // fonts, so "report" gets a GUI application (without a screen).
    static std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv);
    // Fills the job's template from the positional arguments ("report" and
    // TEMPLATE); false with the error text otherwise.
    static bool Parse(const QStringList& args, TKx720ReportJob& job, QString& error);

    TKx720ReportCli(const TKx720ReportJob& job, QTextStream& out, QTextStream& err);
    ~TKx720ReportCli();
    TKx720ReportCli(const TKx720ReportCli&) = delete;
    TKx720ReportCli& operator=(const TKx720ReportCli&) = delete;

    // Runs the job to its end; the exit status.
    int Run();
    // Ends the job at once with exitCode, saying what was cut short.
    void Interrupt(int exitCode);

private:
    bool Prepare();
    void StartThread();
    void Progress(int done, int total);
    void WriteReport();
    void Fail(const QString& line, const QString& detail = {});
    void Finish(int code);

    TKx720ReportJob FJob;
    QTextStream& FOut;
    QTextStream& FErr;
    std::unique_ptr<TnvParDefSet> FDefs;
    std::unique_ptr<TnvReportReader> FReader;
    std::unique_ptr<TnvMBThread> FThread;
    bool FProgressShown = false;
    bool FTerminal = false; // standard error is a terminal: progress on one line
    int FDone = 0;
    bool FFinished = false;
    int FExitCode = 0;
};
