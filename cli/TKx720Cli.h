#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TKx720Stats;
class QTimer;
class TnvMBDeviceInfo;
class TnvMBThread;
class TnvParDefSet;
class TnvParValue;
class TnvParValueSet;

// What the command line asked for.
struct TKx720Job {
    enum class TCommand { Read, Write, Watch, Ident, List, Set };
    TCommand Command = TCommand::Read;
    QString Host;    // --tcp host
    int Port = 0;    // --tcp port
    int ComPort = 0; // --com N
    int Slave = 2;
    QString Defs = "VF_Parameters_v207.ini";
    int Count = 0; // watch: receptions per index, 0 for no end
    int Timeout = 1000;
    static constexpr int kMinTimeout = 10;
    bool Stats = false;     // print the requests' latencies and outcomes at the end
    bool Csv = false;       // list: CSV instead of tab-separated columns
    bool RawOnly = false;   // read, watch: only the raw word(s)
    bool TextOnly = false;  // read, watch: only the display text
    bool KeepAlive = false; // write the keep-alive word while the job runs
    QStringList Specs;      // read, watch: indices, ranges, categories; list: category
    std::vector<uint32_t> Indices;
    std::vector<std::vector<uint16_t>> Words; // write: the words of each index
    QStringList Texts;                        // set: the display value of each index
    static constexpr uint16_t kKeepAliveWord = 10000;
    static constexpr int kKeepAlivePeriodMs = 2500;
};

class TnvMBSetup;

// Sets the link the job names on s: the terminal's own serial settings, or TCP/IP.
void ApplyLink(int comPort, const QString& host, int port, int timeout, TnvMBSetup& s);

// Starts thread on its settings (its OnConnect set before). A connection
// error reaches fail as "Connection Error: " with the code's text and the
// transport's detail: from the thread's OnError, or at once when the settings
// are refused (then false).
using TLinkFail = std::function<void(const QString& message, const QString& detail)>;
bool StartLink(TnvMBThread& thread, TLinkFail fail);

// Runs one job of the kx720 command line on a value set, an exchange thread
// and the application's event loop, like the terminal does: the terminal's
// texts, on standard output for results and standard error for failures.
// GUI thread (the main thread) only.
class TKx720Cli {
public:
    TKx720Cli(const TKx720Job& job, QTextStream& out, QTextStream& err);
    ~TKx720Cli();
    TKx720Cli(const TKx720Cli&) = delete;
    TKx720Cli& operator=(const TKx720Cli&) = delete;

    // Runs the job to its end; returns the process's exit code (0 success).
    int Run();
    // Ends the job at once with exitCode (a signal's 128 + number), saying on
    // standard error what was cut short.
    void Interrupt(int exitCode);

private:
    // False, after the failure is printed, when the definitions file is
    // missing, not a definitions file, unreadable or malformed.
    bool LoadDefinitions();
    bool BindIndices();
    // Turns the specs of read and watch into indices, and the display values
    // of set into words; false, after the failure is printed, for what the
    // definitions refuse.
    bool ResolveJob();
    bool ConvertDisplayValues();
    int RunList();
    void StartKeepAlive();
    // The parameter, in front of each exchange failure of its own.
    QString ValueFailure(TnvParValue* value, int32_t code) const;
    void ReportUnwritten();
    // False, with the message, when a job index names a parameter that lives
    // only in the terminal and never goes on the wire.
    bool RefuseLocalParameters();
    QString ExchangeFailure(int32_t code) const;
    void StartThread();
    void BeginJob();
    void Finish(int code);
    void Fail(const QString& line, const QString& detail = {});

    void OnRead(TnvParValue* value);
    void OnWritten(TnvParValue* value);
    void OnIdent();
    QString ValueLine(TnvParValue* value) const;
    QString WriteReport(TnvParValue* value) const;

    TKx720Job FJob;
    QTextStream& FOut;
    QTextStream& FErr;
    std::unique_ptr<TnvParDefSet> FDefs;
    std::unique_ptr<TnvParValueSet> FSet;
    std::unique_ptr<TnvMBThread> FThread;
    std::unique_ptr<TnvMBDeviceInfo> FIdent;
    std::shared_ptr<TKx720Stats> FStats; // shared with the transport on the worker
    std::unique_ptr<TnvParValueSet> FKeepAliveSet;
    std::unique_ptr<QTimer> FKeepAliveTimer;
    std::map<TnvParValue*, int> FPending; // value -> receptions or writes still awaited
    int FReceptions = 0;
    bool FFinished = false;
    int FExitCode = 0;
};
