#include "TKx720Cli.h"

#include "NvExchangeError.h"
#include "NvFormat.h"
#include "NvIndexList.h"
#include "NvParIndex.h"
#include "TKx720Catalog.h"
#include "TKx720Stats.h"
#include "TModbusSrv.h"
#include "TnvError.h"
#include "TnvIniFile.h"
#include "TnvMBDeviceInfo.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <set>

namespace {

constexpr uint8_t kBitField = 1;
constexpr uint8_t kString = 7;

QString RawWords(const TnvParValue& value) {
    const std::vector<uint8_t> buffer = value.GetBuffer();
    QStringList words;
    for (size_t i = 0; i + 1 < buffer.size(); i += 2)
        words << QString::asprintf("0x%04X", (buffer[i] << 8) | buffer[i + 1]);
    return words.join(' ');
}

bool HoldsParameters(const TnvIniFile& file) {
    const QStringList sections = file.ReadSections();
    return std::any_of(sections.begin(), sections.end(), [](const QString& section) {
        return section.startsWith(QLatin1String("Par-"), Qt::CaseInsensitive);
    });
}

} // namespace

TKx720Cli::TKx720Cli(const TKx720Job& job, QTextStream& out, QTextStream& err)
    : FJob(job)
    , FOut(out)
    , FErr(err)
    , FDefs(std::make_unique<TnvParDefSet>())
    , FSet(std::make_unique<TnvParValueSet>()) {}

TKx720Cli::~TKx720Cli() {
    if (FThread) {
        FThread->RemoveValueSet(FSet.get());
        FThread.reset(); // before the set and the request it posts to
    }
}

int TKx720Cli::Run() {
    if (!LoadDefinitions())
        return FExitCode;
    if (FJob.Command == TKx720Job::TCommand::List)
        return RunList();
    if (!RefuseLocalParameters() || !ConvertDisplayValues())
        return FExitCode;
    StartThread();
    if (FFinished)
        return FExitCode;
    const int code = QCoreApplication::exec();
    if (FStats)
        FErr << FStats->Report() << Qt::endl;
    return FFinished ? FExitCode : code;
}

bool TKx720Cli::LoadDefinitions() {
    const QFileInfo file(FJob.Defs);
    if (!file.exists()) {
        Fail("Error loading parameters definitions.", FJob.Defs + ": no such file");
        return false;
    }
    try {
        if (!file.isFile() || !FDefs->LoadFromFile(file.absoluteFilePath())) {
            Fail("Error loading parameters definitions.", FJob.Defs + ": not a file");
            return false;
        }
        // A file the terminal would refuse is refused here too, before any
        // parameter is looked for in it.
        const std::unique_ptr<TnvIniFile> source = FDefs->TestForSource();
        if (!source || !HoldsParameters(*source)) {
            Fail("Error loading parameters definitions.",
                 FJob.Defs + ": holds no parameter definition");
            return false;
        }
        for (const QString& category : FDefs->GetCategoryNames()) {
            try {
                nv::ForEachListedIndex(FDefs->GetCategoryIdxList(category),
                                       [](uint32_t) { return true; });
            } catch (const TnvError& e) {
                Fail("Error loading parameters definitions.",
                     QStringLiteral("%1: %2: %3").arg(FJob.Defs, category, e.Message()));
                return false;
            }
        }
        return ResolveJob() && BindIndices();
    } catch (const std::exception& e) {
        Fail("Error loading parameters definitions.", QString::fromUtf8(e.what()));
        return false;
    }
}

bool TKx720Cli::BindIndices() {
    uint32_t missing = 0;
    bool anyMissing = false;
    FDefs->OnErrParDef = [&](TnvParDefSet*, uint32_t index) {
        missing = index;
        anyMissing = true;
    };
    FSet->SetSlaveAddress(FJob.Slave);
    for (uint32_t index : FJob.Indices) {
        const TnvParDef* def = FDefs->GetParDefinition(index);
        if (anyMissing || !def || !FSet->AddParBind(def)) {
            FDefs->OnErrParDef = nullptr;
            Fail(
                QStringLiteral("Error, parameter not found: %1").arg(anyMissing ? missing : index));
            return false;
        }
    }
    FDefs->OnErrParDef = nullptr;
    return true;
}

bool TKx720Cli::ResolveJob() {
    using TCommand = TKx720Job::TCommand;
    if (FJob.Command != TCommand::Read && FJob.Command != TCommand::Watch)
        return true;
    QString error;
    if (!TKx720Catalog(*FDefs).Resolve(FJob.Specs, FJob.Indices, error)) {
        Fail(error);
        return false;
    }
    if (FJob.Indices.empty()) {
        Fail("No parameter to " + QString(FJob.Command == TCommand::Read ? "read" : "watch"));
        return false;
    }
    FJob.Words.assign(FJob.Indices.size(), {});
    return true;
}

bool TKx720Cli::ConvertDisplayValues() {
    if (FJob.Command != TKx720Job::TCommand::Set)
        return true;
    // Every pair is checked before the first goes out: a refused one must not
    // leave the drive half set.
    for (size_t i = 0; i < FJob.Indices.size(); ++i) {
        const TnvParDef& def = *FDefs->GetParDefinition(FJob.Indices[i]);
        const QString subject = QStringLiteral("%1 %2").arg(def.ParIndex).arg(def.Name);
        if (def.Readonly) {
            Fail(subject + ": read-only, nothing sent");
            return false;
        }
        uint16_t word = 0;
        QString error;
        if (def.Length != 1 ||
            !TKx720Catalog::DisplayToWord(def, FJob.Texts.value(int(i)), word, error)) {
            Fail(subject + ": " + (error.isEmpty() ? "has several elements (use write)" : error) +
                 ", nothing sent");
            return false;
        }
        FJob.Words[i] = {word};
    }
    return true;
}

int TKx720Cli::RunList() {
    TKx720Catalog catalog(*FDefs);
    QString category;
    if (!FJob.Specs.isEmpty()) {
        for (const QString& name : FDefs->GetCategoryNames()) {
            if (name.compare(FJob.Specs.first(), Qt::CaseInsensitive) == 0)
                category = name;
        }
        if (category.isEmpty()) {
            Fail(QStringLiteral("No category '%1' in %2 (%3)")
                     .arg(FJob.Specs.first(), FJob.Defs, FDefs->GetCategoryNames().join(", ")));
            return FExitCode;
        }
    }
    std::vector<uint32_t> indices = catalog.Indices(category);
    std::sort(indices.begin(), indices.end());
    for (const QString& line : catalog.ListLines(indices, FJob.Csv))
        FOut << line << Qt::endl;
    return 0;
}

bool TKx720Cli::RefuseLocalParameters() {
    std::set<uint32_t> local;
    try {
        nv::ForEachListedIndex(FDefs->GetCategoryIdxList("Local"), [&](uint32_t index) {
            local.insert(index);
            return true;
        });
    } catch (const TnvError&) {
        // The indices listed before the bad token still count.
    }
    for (uint32_t index : FJob.Indices) {
        if (!local.contains(index))
            continue;
        const TnvParDef* def = FDefs->GetParDefinition(index);
        Fail(QStringLiteral(
                 "Parameter %1 (%2) is local to the terminal and never goes to the drive.")
                 .arg(index)
                 .arg(def ? def->Name : QString()));
        return false;
    }
    return true;
}

QString TKx720Cli::ExchangeFailure(int32_t code) const {
    return "Error on ModBus data exchange: " + nv::ExchangeErrorText(code);
}

void ApplyLink(int comPort, const QString& host, int port, int timeout, TnvMBSetup& s) {
    // The terminal's own link: COMn at 19200 baud, even parity, or TCP/IP.
    if (comPort <= 0)
        comPort = 1;
    s.Name = QStringLiteral("COM%1").arg(comPort);
    s.BaudRate = 19200;
    s.Parity = 2;
    s.FlowCtrl = 8;
    s.StopBits = 50;
    s.PortNumber = comPort;
    s.Timeout = timeout;
    s.Enabled = true;
    if (!host.isEmpty()) {
        s.HostName = host;
        s.TCPIPPort = port;
        s.ConnType = TnvMBSetup::kTcpIp;
    }
}

bool StartLink(TnvMBThread& thread, TLinkFail fail) {
    thread.OnError = [fail](TnvMBThread* sender, int32_t code) {
        fail("Connection Error: " + nv::ExchangeErrorText(code), sender->LastErrorDetail());
    };
    if (thread.Start())
        return true;
    fail("Connection Error: " + nv::ExchangeErrorText(TnvMBThread::kLinkRefused),
         QStringLiteral("the settings of %1 are not valid").arg(thread.Settings.Name));
    return false;
}

void TKx720Cli::StartThread() {
    FThread = std::make_unique<TnvMBThread>();
    ApplyLink(FJob.ComPort, FJob.Host, FJob.Port, FJob.Timeout, FThread->Settings);
    if (FJob.Stats) {
        FStats = std::make_shared<TKx720Stats>();
        FThread->SetServerFactory([stats = FStats] {
            auto server = std::make_unique<TModbusSrv>();
            server->SetOnExchanged([stats](int32_t status, std::chrono::microseconds took) {
                stats->Record(status, took);
            });
            return server;
        });
    }
    FThread->OnConnect = [this](TnvMBThread*) {
        BeginJob();
    };
    // The same hints as the terminal's log, for the same causes.
    StartLink(*FThread, [this](const QString& message, const QString& detail) {
        Fail(message, detail + nv::LinkErrorHint(detail));
    });
}

void TKx720Cli::BeginJob() {
    using TCommand = TKx720Job::TCommand;
    if (FJob.Command == TCommand::Ident) {
        FIdent = std::make_unique<TnvMBDeviceInfo>(static_cast<uint8_t>(FJob.Slave));
        FIdent->OnResponse = [this](TnvMBDeviceInfo*) {
            OnIdent();
        };
        FIdent->OnError = [this](TnvMBDeviceInfo* info) {
            Fail(ExchangeFailure(info->LastError), FThread->LastErrorDetail());
        };
        FThread->AddUserFunc(FIdent.get());
        return;
    }
    for (size_t i = 0; i < FJob.Indices.size(); ++i) {
        TnvParValue* value = FSet->FindValue(FJob.Indices[i]);
        value->OnReceive = [this](TnvParValue* v, bool) {
            OnRead(v);
        };
        value->OnWritten = [this](TnvParValue* v) {
            OnWritten(v);
        };
        value->OnError = [this](TnvParValue* v, int code) {
            const QString detail = FThread->LastErrorDetail();
            const QString failure = ValueFailure(v, code);
            // An exception reply is said in full on the first line already.
            Fail(failure, failure.contains("the drive refused") ? QString() : detail);
        };
        FPending[value] = FJob.Command == TCommand::Watch ? FJob.Count : 1;
        try {
            if (FJob.Command == TCommand::Write || FJob.Command == TCommand::Set) {
                for (size_t e = 0; e < FJob.Words[i].size(); ++e)
                    value->SetValueUShort(static_cast<uint8_t>(e), FJob.Words[i][e]);
                value->SetWriteRequest(true);
            } else {
                value->SetCyclic(true);
            }
        } catch (const TnvError& e) {
            Fail(QStringLiteral("%1: %2").arg(value->GetParDef().ParIndex).arg(e.Message()));
            return;
        }
    }
    FThread->AddValueSet(FSet.get());
    if (FJob.KeepAlive)
        StartKeepAlive();
}

void TKx720Cli::StartKeepAlive() {
    FKeepAliveSet = std::make_unique<TnvParValueSet>();
    FKeepAliveSet->SetSlaveAddress(FJob.Slave);
    const TnvParDef* def = FDefs->GetParDefinition(nv::par::kKeepAlive);
    if (!def || !FKeepAliveSet->AddParBind(def)) {
        Fail(QStringLiteral("Error, parameter not found: %1").arg(nv::par::kKeepAlive));
        return;
    }
    TnvParValue* value = FKeepAliveSet->FindValue(nv::par::kKeepAlive);
    value->OnError = [this](TnvParValue* v, int code) {
        Fail(ValueFailure(v, code), FThread->LastErrorDetail());
    };
    const auto write = [value] {
        value->SetValueUShort(0, TKx720Job::kKeepAliveWord);
        value->SetWriteRequest(true);
    };
    write();
    FThread->AddValueSet(FKeepAliveSet.get());
    FKeepAliveTimer = std::make_unique<QTimer>();
    FKeepAliveTimer->setInterval(TKx720Job::kKeepAlivePeriodMs);
    QObject::connect(FKeepAliveTimer.get(), &QTimer::timeout, write);
    FKeepAliveTimer->start();
}

QString TKx720Cli::ValueFailure(TnvParValue* value, int32_t code) const {
    const TnvParDef& def = value->GetParDef();
    const QString subject = QStringLiteral("%1 %2: ").arg(def.ParIndex).arg(def.Name);
    static const QRegularExpression exception(R"(^exception (\d+)$)");
    const auto match = exception.match(FThread->LastErrorDetail().trimmed());
    if (match.hasMatch()) {
        const bool writing = FJob.Command == TKx720Job::TCommand::Write ||
                             FJob.Command == TKx720Job::TCommand::Set ||
                             def.ParIndex == nv::par::kKeepAlive;
        const int number = match.captured(1).toInt();
        return subject + QStringLiteral("the drive refused the %1: exception %2, %3")
                             .arg(writing ? "write" : "read")
                             .arg(number, 2, 10, QChar('0'))
                             .arg(nv::ModbusExceptionText(number));
    }
    constexpr int32_t kWriteFailure = static_cast<int32_t>(0x80040208);
    constexpr int32_t kReadFailure = static_cast<int32_t>(0x80040209);
    if (!FJob.Host.isEmpty() && (code == kWriteFailure || code == kReadFailure))
        return subject + QStringLiteral("Error on ModBus data exchange: the TCP link to %1:%2 "
                                        "was dropped")
                             .arg(FJob.Host)
                             .arg(FJob.Port);
    return subject + ExchangeFailure(code);
}

QString TKx720Cli::ValueLine(TnvParValue* value) const {
    const TnvParDef& shown = value->GetParDef();
    const QString head = QStringLiteral("%1\t%2\t").arg(shown.ParIndex).arg(shown.Name);
    if (FJob.RawOnly)
        return head + RawWords(*value);
    const TnvParDef& def = value->GetParDef();
    QString text;
    if (def.Type == kString) {
        text = value->GetValueString();
    } else if (def.Type == kBitField) {
        QStringList words;
        for (uint8_t i = 0; i < def.Length; ++i)
            words << QString::asprintf("0x%04X", value->GetValueUShort(i));
        text = words.join(' ');
    } else {
        text = value->GetValueNumText(0);
    }
    if (FJob.TextOnly)
        return head + text;
    return head + text + '\t' + RawWords(*value);
}

void TKx720Cli::OnRead(TnvParValue* value) {
    if (FFinished)
        return;
    if (FJob.Command == TKx720Job::TCommand::Watch)
        FOut << nv::FormatDateTime(R"(yyyy"-"mm"-"dd"T"hh:nn:ss.zzz)", value->GetTimeStamp())
             << '\t';
    FOut << ValueLine(value) << Qt::endl;
    ++FReceptions;
    int& left = FPending[value];
    if (FJob.Command == TKx720Job::TCommand::Read)
        value->SetCyclic(false);
    if (left > 0 && --left == 0 && FJob.Command == TKx720Job::TCommand::Watch)
        value->SetCyclic(false);
    if (FJob.Command == TKx720Job::TCommand::Watch && FJob.Count == 0)
        return;
    for (const auto& [v, n] : FPending) {
        if (n > 0)
            return;
    }
    Finish(0);
}

QString TKx720Cli::WriteReport(TnvParValue* value) const {
    const TnvParDef& def = value->GetParDef();
    if (def.Readonly)
        return QString::asprintf("Read only parameter #%03u uploaded!", def.ParIndex);
    QString line = def.Name;
    if (def.Type == kBitField) {
        for (uint8_t i = 0; i < def.Length; ++i)
            line += QString::asprintf(" 0x%04X", value->GetValueUShort(i));
    } else {
        line += " " + value->GetValueNumText(0);
    }
    return line + (def.ParIndex >= nv::par::kFirstStored ? " saved (EEPROM)" : " uploaded (RAM)");
}

void TKx720Cli::OnWritten(TnvParValue* value) {
    if (FFinished)
        return;
    FOut << WriteReport(value) << Qt::endl;
    FPending[value] = 0;
    for (const auto& [v, n] : FPending) {
        if (n > 0)
            return;
    }
    Finish(0);
}

void TKx720Cli::OnIdent() {
    if (!FIdent->Valid) {
        Fail("Error on ModBus data exchange: " +
                 nv::ExchangeErrorText(static_cast<int32_t>(0x80040202)),
             QStringLiteral("the identification reply is not 12 bytes long"));
        return;
    }
    FOut << "Hardware version:\t" << FIdent->HardwareVersionText() << Qt::endl;
    FOut << "Firmware version:\t" << FIdent->FirmwareVersionText() << Qt::endl;
    Finish(0);
}

void TKx720Cli::Interrupt(int exitCode) {
    if (FFinished)
        return;
    static const char* const kVerbs[] = {"read", "write", "watch", "ident", "list", "set"};
    QStringList indices;
    for (uint32_t index : FJob.Indices)
        indices << QString::number(index);
    FErr << "Interrupted: " << kVerbs[static_cast<int>(FJob.Command)];
    if (!indices.isEmpty())
        FErr << ' ' << indices.join(' ');
    FErr << QStringLiteral(" (%1 received)").arg(FReceptions) << Qt::endl;
    Finish(exitCode);
}

void TKx720Cli::Fail(const QString& line, const QString& detail) {
    if (FFinished)
        return;
    FErr << line << Qt::endl;
    if (!detail.isEmpty())
        FErr << "  " << detail << Qt::endl;
    ReportUnwritten();
    Finish(1);
}

void TKx720Cli::ReportUnwritten() {
    using TCommand = TKx720Job::TCommand;
    if (FJob.Command != TCommand::Write && FJob.Command != TCommand::Set)
        return;
    // Walk the pairs in command-line order, so the report reads as typed.
    for (size_t i = 0; i < FJob.Indices.size(); ++i) {
        TnvParValue* value = FSet->FindValue(FJob.Indices[i]);
        const auto pending = FPending.find(value);
        if (value && pending != FPending.end() && pending->second == 0)
            continue;
        QStringList words;
        for (uint16_t word : FJob.Words[i])
            words << QString::number(word);
        FErr << "Not written: " << FJob.Indices[i] << '='
             << (FJob.Command == TCommand::Set ? FJob.Texts.value(int(i)) : words.join(','))
             << Qt::endl;
    }
}

void TKx720Cli::Finish(int code) {
    if (FFinished)
        return;
    FFinished = true;
    FExitCode = code;
    // Leave the event loop from its top, never from inside the thread's own
    // event, which the thread's destruction would otherwise wait for.
    QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
}
