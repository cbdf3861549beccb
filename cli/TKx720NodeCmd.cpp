#include "TKx720NodeCmd.h"

#include "NvConvert.h"
#include "NvExchangeError.h"
#include "TnvMBThread.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"
#include "TnvTDMachine.h"
#include "TnvTDProgHeaders.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kNodeCategory = QStringLiteral("Node");

QString Word(uint16_t word) {
    return QString::asprintf("0x%04X", word);
}

QString ErrorText(int32_t code) {
    if (code == TnvTDProgHeaders::kHeaderFailed)
        return QStringLiteral("program header not read (the machine did not take the selection, "
                              "or its reply had the wrong length)!");
    return nv::ExchangeErrorText(code);
}

} // namespace

TKx720NodeCmd::TKx720NodeCmd(const TKx720Job& job, const TOptions& options, QTextStream& out,
                             QTextStream& err)
    : FJob(job)
    , FOptions(options)
    , FOut(out)
    , FErr(err)
    , FDefs(std::make_unique<TnvParDefSet>())
    , FProgressInPlace(::isatty(::fileno(stderr)) == 1) {}

TKx720NodeCmd::~TKx720NodeCmd() {
    if (FNode)
        FNode->OnNodeStateChange = nullptr;
    FNode.reset(); // withdraws its values and requests from the thread
}

bool TKx720NodeCmd::ParseArguments(const QStringList& args, TOptions& options, QString& error) {
    if (args.isEmpty())
        return true;
    int first = 0;
    int last = 0;
    if (args.size() != 3 || args[0] != "headers" || !nv::TryStrToInt(args[1], first) ||
        !nv::TryStrToInt(args[2], last)) {
        error = "node takes no arguments, or: headers FIRST LAST";
        return false;
    }
    const int capacity = TnvTDMachine::kHeaderCapacity;
    if (first < 0 || last < first || last >= capacity) {
        error = QStringLiteral("headers wants 0 <= FIRST <= LAST <= %1").arg(capacity - 1);
        return false;
    }
    options.Headers = true;
    options.First = first;
    options.Last = last;
    return true;
}

QString TKx720NodeCmd::StateText(int code) {
    switch (code) {
    case TnvTDMachine::kAlarm:
        return QStringLiteral("alarm");
    case TnvTDMachine::kDisabled:
        return QStringLiteral("disabled");
    case TnvTDMachine::kOk:
        return QStringLiteral("ok");
    case TnvTDMachine::kWaiting:
        return QStringLiteral("waiting");
    case TnvTDMachine::kExchangeError:
        return QStringLiteral("no link");
    case TnvTDMachine::kNoThread:
        return QStringLiteral("no connection");
    case TnvTDMachine::kLinkDisabled:
        return QStringLiteral("connection disabled");
    case TnvTDMachine::kIdle:
        return QStringLiteral("link closed");
    case TnvTDMachine::kIdentifying:
        return QStringLiteral("identifying");
    default:
        return QStringLiteral("unknown");
    }
}

int TKx720NodeCmd::Run() {
    if (!Prepare())
        return FExitCode;
    const int code = QCoreApplication::exec();
    return FFinished ? FExitCode : code;
}

bool TKx720NodeCmd::Prepare() {
    if (!QFileInfo::exists(FJob.Defs)) {
        Fail("Error loading parameters definitions.", FJob.Defs + ": no such file");
        return false;
    }
    FDefs->LoadFromFile(QFileInfo(FJob.Defs).absoluteFilePath());

    FThread = std::make_unique<TnvMBThread>();
    TnvMBSetup& link = FThread->Settings;
    ApplyLink(FJob.ComPort, FJob.Host, FJob.Port, FJob.Timeout, link);
    if (!FJob.Host.isEmpty())
        link.Name = QStringLiteral("TCP");

    TnvTDSetup setup;
    if (!FOptions.IniFile.isEmpty()) {
        setup.NodeName = FOptions.NodeName;
        if (!setup.ExistInInifile(FOptions.IniFile) || !setup.LoadFromIniFile(FOptions.IniFile)) {
            Fail(QStringLiteral("No node [%1] in %2.").arg(FOptions.NodeName, FOptions.IniFile));
            return false;
        }
    } else {
        setup.NodeName = QStringLiteral("Node");
        setup.ConnName = link.Name;
        setup.SlaveAddress = FJob.Slave;
        setup.Enabled = true;
    }
    if (!setup.Enabled) {
        Fail(QStringLiteral("Node %1 is disabled (Enable=0).").arg(setup.NodeName));
        return false;
    }
    // An address above 255 would go out as its low byte, another machine.
    if (setup.SlaveAddress < 1 || setup.SlaveAddress > 247) {
        Fail(QStringLiteral("Node %1 has slave address %2, not 1 to 247.")
                 .arg(setup.NodeName)
                 .arg(setup.SlaveAddress));
        return false;
    }

    FNode = std::make_unique<TnvTDMachine>();
    FNode->AssignSettings(setup);
    FNode->AssignDefSet(FDefs.get());
    if (!FNode->GetParValues()->AddParBindsCategory(FDefs.get(), kNodeCategory)) {
        Fail(QStringLiteral("Error loading parameters definitions."),
             QStringLiteral("%1 has no usable category \"%2\"").arg(FJob.Defs, kNodeCategory));
        return false;
    }
    FNode->OnNodeStateChange = [this](TnvTDMachine*) {
        StateChanged();
    };
    FNode->GetProgHeaders()->OnProgress = [this](TnvTDProgHeaders*, int index, int last) {
        Progress(index, last);
    };
    FNode->GetProgHeaders()->OnComplete = [this](TnvTDProgHeaders*, int, int) {
        HeadersDone(false);
    };
    FNode->GetProgHeaders()->OnFailure = [this](TnvTDProgHeaders*, int, int) {
        HeadersDone(true);
    };

    if (!StartLink(*FThread, [this](const QString& message, const QString& detail) {
            Fail(message, detail);
        }))
        return false;
    FNode->SetSubscribed(FThread.get());
    return !FFinished;
}

void TKx720NodeCmd::StateChanged() {
    if (FFinished)
        return;
    const int state = FNode->GetNodeState();
    QString line = QStringLiteral("%1\t%2").arg(state).arg(StateText(state));
    if (state == TnvTDMachine::kAlarm) {
        for (uint32_t index : {TnvTDMachine::kAlarmIndex, TnvTDMachine::kAlarm2Index})
            if (TnvParValue* value = FNode->GetParValues()->FindValue(index))
                line += QStringLiteral("\t%1=%2").arg(index).arg(Word(value->GetValueUShort(0)));
    }
    if (!FOptions.Headers) {
        FOut << line << Qt::endl;
        ++FChanges;
        if (FJob.Count > 0 && FChanges >= FJob.Count)
            Finish(0);
        return;
    }
    if (FAsked)
        return;
    if (state == TnvTDMachine::kOk)
        AskForHeaders();
    else if (state != TnvTDMachine::kWaiting && state != TnvTDMachine::kIdentifying)
        Fail(QStringLiteral("Program headers are read only from a node that is ok; node %1 is in "
                            "state %2 (%3).")
                 .arg(FNode->GetNodeName())
                 .arg(state)
                 .arg(StateText(state)));
}

void TKx720NodeCmd::AskForHeaders() {
    FAsked = FNode->AskForProgHeaders(static_cast<uint16_t>(FOptions.First),
                                      static_cast<uint16_t>(FOptions.Last));
    if (!FAsked)
        Fail(QStringLiteral("Program headers could not be asked for."));
}

void TKx720NodeCmd::Progress(int index, int last) {
    ++FReadCount;
    const QString line =
        QStringLiteral("program header %1 of %2..%3").arg(index).arg(FOptions.First).arg(last);
    // On a terminal the line is rewritten in place; a log gets one line each.
    if (FProgressInPlace)
        FErr << '\r' << line << Qt::flush;
    else
        FErr << line << Qt::endl;
}

void TKx720NodeCmd::HeadersDone(bool failed) {
    if (FFinished)
        return;
    if (FProgressInPlace)
        FErr << '\r' << QString(40, ' ') << '\r' << Qt::flush;
    const TnvTDProgHeaders* headers = FNode->GetProgHeaders();
    PrintHeaders(FOptions.First, headers->GetLastIndex());
    if (!failed) {
        Finish(0);
        return;
    }
    const int last = headers->GetLastIndex();
    Fail("Error reading program headers: " + ErrorText(headers->LastError),
         last < FOptions.First
             ? QStringLiteral("no header read")
             : QStringLiteral("headers %1 to %2 read").arg(FOptions.First).arg(last));
}

void TKx720NodeCmd::PrintHeaders(int first, int last) {
    if (last < first)
        return;
    FOut << "Index\tWord0\tWord1\tWord2\tWord3" << Qt::endl;
    const TnvTDProgHeaders* headers = FNode->GetProgHeaders();
    for (int i = first; i <= last; ++i) {
        FOut << i;
        for (int k = 0; k < 4; ++k)
            FOut << '\t' << Word(headers->GetHeaderWord(static_cast<uint16_t>(i), k));
        FOut << Qt::endl;
    }
}

void TKx720NodeCmd::Interrupt(int exitCode) {
    if (FFinished)
        return;
    if (FOptions.Headers) {
        const int read = FNode && FAsked ? FReadCount : 0;
        if (FProgressInPlace)
            FErr << '\n';
        FErr << QStringLiteral("Interrupted: node headers %1 %2 (%3 read)")
                    .arg(FOptions.First)
                    .arg(FOptions.Last)
                    .arg(read)
             << Qt::endl;
        PrintHeaders(FOptions.First, FOptions.First + read - 1); // what was read is kept
    } else {
        FErr << QStringLiteral("Interrupted: node (%1 state changes)").arg(FChanges) << Qt::endl;
    }
    Finish(exitCode);
}

void TKx720NodeCmd::Fail(const QString& line, const QString& detail) {
    if (FFinished)
        return;
    FErr << line << Qt::endl;
    if (!detail.isEmpty())
        FErr << "  " << detail << Qt::endl;
    Finish(1);
}

void TKx720NodeCmd::Finish(int code) {
    if (FFinished)
        return;
    FFinished = true;
    FExitCode = code;
    // Leave the event loop from its top, never from inside one of the link's events.
    QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
}
