// The soak: the terminal and a simulator run for a set time with the scope
// shown and 23 values polled, while the simulator loses 1% of the requests,
// corrupts the CRC of 1% of its RTU replies and drops the TCP connection
// every few minutes. The soak acts as the operator: when the TCP link stops
// answering it closes the link and opens the RTU one; after as long on RTU it
// goes back to TCP. Every sample period it writes one CSV line of the
// terminal's resources; at the end it judges them (see Verdict).
//
//   kxapp_soak [--minutes M] [--sample-s S] [--drop-after N] [--csv FILE]
//
// Run through bench/soak, which also plots the CSV. Exit status 0 when the
// run passed, 1 when it did not, 2 when it could not run.

#include "TCOMModule.h"
#include "TFormScope.h"
#include "TKxApplication.h"
#include "TMainForm.h"
#include "TModbusSrv.h"
#include "TPARModule.h"
#include "TSimProcess.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TerminalFixture.h"
#include "TnvMBThread.h"
#include "TnvParValue.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <malloc.h>

using kxtest::TSimProcess;

namespace {

struct TOptions {
    int Minutes = 60;
    int SampleSeconds = 30;
    int DropAfter = 13000; // requests per TCP connection: about 3 minutes at the terminal's pace
    QString Csv = QStringLiteral("soak.csv");
};

// The process's own figures from /proc.
struct TSample {
    qint64 Seconds = 0;
    qint64 RssKb = 0;
    qint64 HeapKb = 0; // in use by malloc: growth here is the program's, not fragmentation
    int Fds = 0;
    int Threads = 0;
    qint64 ScopeRows = 0;
    qint64 MemoLines = 0;
    int Reopens = 0;
    int ExchangeErrors = 0;
};

qint64 StatusField(const QByteArray& status, const char* name) {
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(name))
            return line.mid(static_cast<qsizetype>(qstrlen(name)))
                .trimmed()
                .split(' ')[0]
                .toLongLong();
    return -1;
}

TSample Measure() {
    QFile file(QStringLiteral("/proc/self/status"));
    file.open(QIODevice::ReadOnly);
    const QByteArray status = file.readAll();
    TSample sample;
    sample.RssKb = StatusField(status, "VmRSS:");
    sample.HeapKb = static_cast<qint64>(mallinfo2().uordblks / 1024);
    sample.Threads = static_cast<int>(StatusField(status, "Threads:"));
    sample.Fds = static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                      .size());
    return sample;
}

bool ParseOptions(const QStringList& args, TOptions& options) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& name = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        bool ok = true;
        if (name == QLatin1String("--minutes"))
            options.Minutes = value.toInt(&ok);
        else if (name == QLatin1String("--sample-s"))
            options.SampleSeconds = value.toInt(&ok);
        else if (name == QLatin1String("--drop-after"))
            options.DropAfter = value.toInt(&ok);
        else if (name == QLatin1String("--csv"))
            options.Csv = value;
        else
            ok = false;
        if (!ok || value.isEmpty()) {
            std::fprintf(stderr, "kxapp_soak: bad option %s\n", qPrintable(name));
            return false;
        }
        ++i;
    }
    return options.Minutes > 0 && options.SampleSeconds > 0 && options.DropAfter > 0;
}

// The operator's side: which link is open, and when to change it.
class TOperator {
public:
    TOperator(TSimProcess& sim, int rtuSeconds)
        : FSim(sim)
        , FRtuSeconds(rtuSeconds) {}

    void Open(bool tcp) {
        FTcp = tcp;
        MainForm->mnTCPIP->setChecked(tcp);
        if (tcp)
            TCPForm->ePort->setText(QString::number(FSim.TcpPort()));
        MainForm->acOpenConnection->trigger();
        FOpened.start();
    }

    // Called once a second: a TCP link whose connection is gone, or an RTU
    // link that has had its turn, is closed and the other one opened.
    void Look() {
        const TnvMBThread* thread = COMModule->MBThread.get();
        const int32_t error = thread ? thread->LastError() : 0;
        const bool dropped =
            FTcp && (error == TModbusSrv::kReadError || error == TModbusSrv::kWriteError);
        const bool turnOver = !FTcp && FOpened.elapsed() > FRtuSeconds * 1000LL;
        if (!dropped && !turnOver)
            return;
        MainForm->acCloseConnection->trigger();
        ++Reopens;
        Open(!FTcp);
    }

    int Reopens = 0;

private:
    TSimProcess& FSim;
    int FRtuSeconds;
    bool FTcp = true;
    QElapsedTimer FOpened;
};

// After the first three minutes: RSS grows less than 1 MB, net of the rows the
// scope records by design (bounded at a day's worth), and descriptors and
// threads end no higher than they were. Descriptors and threads are taken as
// the least of three samples, as a reopened link and Qt's idle pool thread
// add a few for a moment.
bool Verdict(const std::vector<TSample>& samples) {
    const auto first = std::find_if(samples.begin(), samples.end(),
                                    [](const TSample& s) { return s.Seconds >= 180; });
    if (std::distance(first, samples.end()) < 6) {
        std::printf("verdict: too short to judge (needs 6 samples after the first 3 minutes)\n");
        return false;
    }
    const auto least = [](auto from, int TSample::*field) {
        return std::min({(*from).*field, (*(from + 1)).*field, (*(from + 2)).*field});
    };
    const TSample& base = *first;
    const TSample& last = samples.back();
    const auto tail = samples.end() - 3;
    const int fds[] = {least(first, &TSample::Fds), least(tail, &TSample::Fds)};
    const int threads[] = {least(first, &TSample::Threads), least(tail, &TSample::Threads)};
    const qint64 rowBytes = static_cast<qint64>(sizeof(TScopeRecord::TRow));
    const qint64 rssGrowth = last.RssKb - base.RssKb;
    const qint64 recordGrowth = (last.ScopeRows - base.ScopeRows) * rowBytes / 1024;
    const qint64 netGrowth = rssGrowth - recordGrowth;
    const bool pass = netGrowth < 1024 && fds[1] <= fds[0] && threads[1] <= threads[0];
    std::printf("from %llds to %llds: RSS %+lld kB (scope record %+lld kB, net %+lld kB, limit "
                "1024), heap %+lld kB, descriptors %d -> %d, threads %d -> %d, reopens %d, "
                "exchange errors logged %d\n",
                static_cast<long long>(base.Seconds), static_cast<long long>(last.Seconds),
                static_cast<long long>(rssGrowth), static_cast<long long>(recordGrowth),
                static_cast<long long>(netGrowth),
                static_cast<long long>(last.HeapKb - base.HeapKb), fds[0], fds[1], threads[0],
                threads[1], last.Reopens, last.ExchangeErrors);
    std::printf("verdict: %s\n", pass ? "PASS" : "FAIL");
    return pass;
}

// The 19 values of the main window and the scope's four samples.
constexpr std::uint32_t kPolled[] = {0,  20, 4,  49, 19, 2,  26, 3,    18,   22,   23,  24,
                                     25, 1,  27, 13, 14, 15, 10, 1000, 1001, 1002, 1003};

int Run(const TOptions& options) {
    const QStringList faults{QStringLiteral("--silence"),    QStringLiteral("0.01"),
                             QStringLiteral("--bad-crc"),    QStringLiteral("0.01"),
                             QStringLiteral("--drop-after"), QString::number(options.DropAfter)};
    TSimProcess sim(true, faults);
    if (!sim.Ready()) {
        std::fprintf(stderr, "kxapp_soak: the simulator did not start\n");
        return 2;
    }
    sim.MapComPort(1);
    QDir::setCurrent(TerminalFixture::SourceDir() + QStringLiteral("/data"));
    TTerminal terminal;
    MainForm->show();
    MainForm->acScope->trigger();

    QFile csv(options.Csv);
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "kxapp_soak: cannot write %s\n", qPrintable(options.Csv));
        return 2;
    }
    QTextStream out(&csv);
    out << "seconds,rss_kb,heap_kb,fds,threads,scope_rows,memo_lines,reopens,exchange_errors\n";

    // The drop interval sets the RTU turn too, so both links get about as long.
    TOperator op(sim, 180);
    op.Open(true);

    QTimer rearm;
    QObject::connect(&rearm, &QTimer::timeout, [] {
        for (std::uint32_t index : kPolled)
            if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
                value->SetCyclic(true);
    });
    rearm.start(50);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&op] { op.Look(); });
    look.start(1000);

    std::vector<TSample> samples;
    QElapsedTimer clock;
    clock.start();
    const auto sample = [&] {
        TSample s = Measure();
        s.Seconds = clock.elapsed() / 1000;
        s.ScopeRows = static_cast<qint64>(FormScope->Record().RowCount());
        const QStringList lines = MainForm->LogLines();
        s.MemoLines = lines.size();
        s.ExchangeErrors =
            static_cast<int>(lines.filter(QStringLiteral("Error on ModBus data exchange")).size());
        s.Reopens = op.Reopens;
        samples.push_back(s);
        out << s.Seconds << ',' << s.RssKb << ',' << s.HeapKb << ',' << s.Fds << ',' << s.Threads
            << ',' << s.ScopeRows << ',' << s.MemoLines << ',' << s.Reopens << ','
            << s.ExchangeErrors << Qt::endl;
        std::printf("%5llds  rss %lld kB  fds %d  threads %d  scope rows %lld  reopens %d\n",
                    static_cast<long long>(s.Seconds), static_cast<long long>(s.RssKb), s.Fds,
                    s.Threads, static_cast<long long>(s.ScopeRows), s.Reopens);
        std::fflush(stdout);
    };
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sampler.start(options.SampleSeconds * 1000);
    QTimer::singleShot(options.Minutes * 60'000, [] { QCoreApplication::quit(); });
    sample();
    QCoreApplication::exec();
    sample();
    MainForm->acCloseConnection->trigger();
    return Verdict(samples) ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The terminal's files (captures, settings) go to a folder of the run.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    TKxApplication application(argc, argv);
    TOptions options;
    if (!ParseOptions(QCoreApplication::arguments(), options)) {
        std::fprintf(
            stderr,
            "usage: kxapp_soak [--minutes M] [--sample-s S] [--drop-after N] [--csv FILE]\n");
        return 2;
    }
    return Run(options);
}
