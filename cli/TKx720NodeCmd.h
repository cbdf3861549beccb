#pragma once

#include "TKx720Cli.h"

#include <QString>
#include <QTextStream>
#include <memory>

class TnvMBThread;
class TnvParDefSet;
class TnvTDMachine;

// "kx720 node": supervises one machine node and prints every change of its
// state with the code and a text of ours; "kx720 node headers FIRST LAST"
// reads program headers with a progress line and prints them as a table.
// GUI thread (the main thread) only.
class TKx720NodeCmd {
public:
    // The machine definitions used when --defs is not given.
    static constexpr const char* kDefaultDefs = "TD_Machine.ini";

    struct TOptions {
        QString IniFile;  // --ini: settings from an INI file ...
        QString NodeName; // --node: ... section NodeName
        bool Headers = false;
        int First = 0;
        int Last = 0;
    };

    TKx720NodeCmd(const TKx720Job& job, const TOptions& options, QTextStream& out,
                  QTextStream& err);
    ~TKx720NodeCmd();
    TKx720NodeCmd(const TKx720NodeCmd&) = delete;
    TKx720NodeCmd& operator=(const TKx720NodeCmd&) = delete;

    // Parses the arguments after "node": nothing, or "headers FIRST LAST".
    // False with error set for anything else.
    static bool ParseArguments(const QStringList& args, TOptions& options, QString& error);
    // Our text for a node state ("ok", "alarm", "no link", ...).
    static QString StateText(int code);

    // Runs to the end (--count state changes, the headers, Ctrl-C); returns
    // the process's exit code.
    int Run();
    // Ends at once with exitCode (a signal's 128 + number), saying on
    // standard error what was cut short.
    void Interrupt(int exitCode);

private:
    bool Prepare();
    void StateChanged();
    void AskForHeaders();
    void Progress(int index, int last);
    void HeadersDone(bool failed);
    void PrintHeaders(int first, int last);
    void Finish(int code);
    void Fail(const QString& line, const QString& detail = {});

    TKx720Job FJob;
    TOptions FOptions;
    QTextStream& FOut;
    QTextStream& FErr;
    // Declared in this order so that the node goes before the thread it uses,
    // and the definitions last of all.
    std::unique_ptr<TnvParDefSet> FDefs;
    std::unique_ptr<TnvMBThread> FThread;
    std::unique_ptr<TnvTDMachine> FNode;
    bool FProgressInPlace;
    int FChanges = 0;
    int FReadCount = 0; // headers read so far
    bool FAsked = false;
    bool FFinished = false;
    int FExitCode = 0;
};
