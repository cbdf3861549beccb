// Export and import of the whole configuration over Modbus RTU at 19200 baud
// (the simulator's pty, which delays each reply by the wire time of request
// and reply), against the wire bound: per exchange, request and reply
// characters at 11 bits plus a 3.5-character silence after each frame.
//
//   nvreport_bench

#include "TSimProcess.h"
#include "TerminalFixture.h"
#include "TnvConfigJob.h"
#include "TnvMBThread.h"
#include "TnvParValueSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

namespace {

constexpr double kBaud = 19200.0;
constexpr int kReadRequest = 8;   // slave, 3, address, quantity, CRC
constexpr int kReadReply = 7;     // slave, 3, count, one word, CRC
constexpr int kWriteRequest = 11; // slave, 16, address, quantity, count, one word, CRC
constexpr int kWriteReply = 8;    // slave, 16, address, quantity, CRC

double ExchangeMs(int request, int reply) {
    return (request + reply + 2 * 3.5) * 11.0 / kBaud * 1000.0;
}

// Sleeps in the event loop until an event makes done() true: polling it in a
// loop would take the CPU that the simulator and the exchange thread need on
// a loaded machine, and add its own latency to every figure.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    QTimer deadline; // wakes the wait below when the time is up
    deadline.start(ms);
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// A simulator on a pty at 19200 baud, an RTU link to it and a job.
struct TBench {
    kxtest::TSimProcess Sim{true, {QStringLiteral("--line-speed"), QStringLiteral("19200")}};
    std::unique_ptr<TnvMBThread> Thread;
    TnvConfigJob Job;
    QTemporaryDir Dir;
    int Done = 0;
    QString Failure;
    qint64 FirstReceptionNs = 0;
    qint64 WritingNs = 0;
    QElapsedTimer Clock;

    bool Open() {
        if (!Sim.Ready() ||
            !Job.Load(TerminalFixture::SourceDir() + "/data", "VF_Parameters_v207.ini").isEmpty())
            return false;
        Sim.MapComPort(1);
        Thread = std::make_unique<TnvMBThread>();
        TnvMBSetup& s = Thread->Settings;
        s.Name = "COM1";
        s.PortNumber = 1;
        s.BaudRate = 19200;
        s.Parity = 2;
        s.FlowCtrl = 8;
        s.StopBits = 50;
        s.Timeout = 1000;
        s.Enabled = true;
        Job.OnDone = [this](TnvConfigJob*, TnvConfigJob::TMode mode) {
            Done = mode;
        };
        Job.OnFail = [this](TnvConfigJob*, const QString& message) {
            Failure = message;
        };
        Job.OnProgress = [this](TnvConfigJob*, TnvConfigJob::TPhase phase, int done, int) {
            if (phase == TnvConfigJob::phWriting && WritingNs == 0)
                WritingNs = Clock.nsecsElapsed();
            if (done == 1 && FirstReceptionNs == 0)
                FirstReceptionNs = Clock.nsecsElapsed();
        };
        return Thread->Start() && PumpUntil([this] { return Thread->IsConnected(); }, 5000);
    }
    // Runs start to its end; false on a failure.
    bool Run(const std::function<bool()>& start) {
        Done = 0;
        Failure.clear();
        FirstReceptionNs = 0;
        WritingNs = 0;
        Clock.start();
        return start() && PumpUntil([this] { return Done != 0 || !Failure.isEmpty(); }, 20000) &&
               Failure.isEmpty();
    }
};

void ExportAt19200(benchmark::State& state) {
    TBench bench;
    if (!bench.Open()) {
        state.SkipWithError("no simulator link");
        return;
    }
    const QString file = bench.Dir.path() + "/drive.720";
    const int values = bench.Job.ValueCount();
    double waitMs = 0;
    double totalMs = 0;
    for (auto _ : state) {
        if (!bench.Run([&] { return bench.Job.StartExport(bench.Thread.get(), 2, file); })) {
            state.SkipWithError(qPrintable("export failed: " + bench.Failure));
            return;
        }
        state.SetIterationTime(bench.Clock.nsecsElapsed() * 1e-9);
        totalMs += bench.Clock.nsecsElapsed() / 1e6;
        waitMs += bench.FirstReceptionNs / 1e6 - ExchangeMs(kReadRequest, kReadReply);
    }
    const double bound = values * ExchangeMs(kReadRequest, kReadReply);
    state.counters["wire_bound_ms"] = bound;
    state.counters["bound_ratio"] = totalMs / static_cast<double>(state.iterations()) / bound;
    state.counters["first_pass_wait_ms"] = waitMs / static_cast<double>(state.iterations());
}
BENCHMARK(ExportAt19200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

void ImportAt19200(benchmark::State& state) {
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    TBench bench;
    qputenv("XDG_DATA_HOME", bench.Dir.path().toLocal8Bit());
    const QString file = bench.Dir.path() + "/drive.720";
    if (!bench.Open() ||
        !bench.Run([&] { return bench.Job.StartExport(bench.Thread.get(), 2, file); })) {
        state.SkipWithError("no simulator link");
        return;
    }
    const int written = bench.Job.ValueCount() - 1; // all but the drive size
    double backupMs = 0;
    double writeMs = 0;
    for (auto _ : state) {
        bench.Job.LoadFile(file);
        if (!bench.Run([&] { return bench.Job.StartImport(bench.Thread.get(), 2); })) {
            state.SkipWithError(qPrintable("import failed: " + bench.Failure));
            return;
        }
        const double totalMs = bench.Clock.nsecsElapsed() / 1e6;
        backupMs += bench.WritingNs / 1e6;
        writeMs += totalMs - bench.WritingNs / 1e6;
        state.SetIterationTime((totalMs - bench.WritingNs / 1e6) / 1000.0);
    }
    const double n = static_cast<double>(state.iterations());
    const double bound =
        written * (ExchangeMs(kWriteRequest, kWriteReply) + ExchangeMs(kReadRequest, kReadReply));
    state.counters["wire_bound_ms"] = bound;
    state.counters["bound_ratio"] = writeMs / n / bound;
    state.counters["backup_ms"] = backupMs / n;
    qputenv("XDG_DATA_HOME", dataHome);
}
BENCHMARK(ImportAt19200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
