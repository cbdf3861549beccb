// How quickly the terminal starts, and how long the GUI thread stalls while
// the link polls the live values.
//
//   kxapp_bench                       the benchmarks
//   kxapp_bench --startup-child       (internal) one start-up, timed by its parent

#include "TKxApplication.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSimProcess.h"
#include "TStallProbeApplication.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TerminalFixture.h"
#include "TnvParValue.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The child: starts the terminal as main() does, prints the wall clock once
// the main window is exposed with the definitions loaded.
int StartupChild(int argc, char* argv[]) {
    TKxApplication application(argc, argv);
    TTerminal terminal;
    MainForm->show();
    if (!QTest::qWaitForWindowExposed(MainForm) || !PARModule->nvParValueSet.FindValue(15))
        return 1;
    std::printf("%lld\n", static_cast<long long>(NowNs()));
    return 0;
}

void ProcessStartToMainWindowShown(benchmark::State& state) {
    for (auto _ : state) {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--startup-child")});
        child.setWorkingDirectory(TerminalFixture::SourceDir() + QStringLiteral("/data"));
        const std::int64_t started = NowNs();
        child.start();
        child.waitForFinished(10000);
        const std::int64_t shown = child.readAllStandardOutput().trimmed().toLongLong();
        if (child.exitCode() != 0 || shown == 0) {
            state.SkipWithError("the terminal did not start");
            return;
        }
        state.SetIterationTime((shown - started) * 1e-9);
    }
}
BENCHMARK(ProcessStartToMainWindowShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// The GUI thread's longest gap between two 1 ms timer ticks over 5 s while
// the link reads the 19 values the main window asks for at every pass.
void GuiStallWhilePolling(benchmark::State& state) {
    const bool serial = state.range(0) == 1;
    for (auto _ : state) {
        kxtest::TSimProcess sim(serial);
        if (!sim.Ready()) {
            state.SkipWithError("no simulator");
            return;
        }
        QDir::setCurrent(TerminalFixture::SourceDir() + QStringLiteral("/data"));
        TTerminal terminal;
        MainForm->show();
        if (serial) {
            sim.MapComPort(1);
        } else {
            TCPForm->ePort->setText(QString::number(sim.TcpPort()));
            MainForm->mnTCPIP->setChecked(true);
        }
        MainForm->acOpenConnection->trigger();
        const std::uint32_t polled[] = {0,  20, 4,  49, 19, 2,  26, 3,  18, 22,
                                        23, 24, 25, 1,  27, 13, 14, 15, 10};
        // The reactions read most of them once; keep all 19 cyclic.
        QTimer rearm;
        QObject::connect(&rearm, &QTimer::timeout, [&polled] {
            for (std::uint32_t index : polled)
                if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
                    value->SetCyclic(true);
        });
        rearm.start(50);
        TStallProbeApplication* probe = TStallProbeApplication::Instance();
        QTest::qWait(500); // connected and polling
        probe->Measure(5000, serial ? "RTU on a pty" : "TCP");
        probe->Count(state);
        const QStringList lines = MainForm->LogLines();
        state.counters["exchange_errors"] =
            static_cast<double>(lines.filter(QStringLiteral("Error on ModBus")).size());
    }
}
BENCHMARK(GuiStallWhilePolling)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("serial")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The floor of the stall: the same event loop with the same ticking timer and
// no terminal, no link and no simulator, so that the machine's own lateness
// in waking a thread shows beside the terminal's figure.
void GuiStallFloor(benchmark::State& state) {
    for (auto _ : state) {
        TStallProbeApplication* probe = TStallProbeApplication::Instance();
        probe->Measure(5000, "the bare event loop");
        probe->Count(state);
    }
}
BENCHMARK(GuiStallFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && std::string_view(argv[1]) == "--startup-child")
        return StartupChild(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    TStallProbeApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
