// The terminal's plots as the operator meets them: how long the GUI thread
// stalls while the scope is shown and the link polls, and how long a mouse
// move on the V/F chart takes to reach the screen.

#include "TFormScope.h"
#include "TFormVFChart.h"
#include "TGraphView.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TSimProcess.h"
#include "TStallProbeApplication.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TerminalFixture.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvParDef.h"
#include "TnvParValue.h"
#include "TnvScala.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

namespace {

void OpenTcp(kxtest::TSimProcess& sim) {
    TCPForm->ePort->setText(QString::number(sim.TcpPort()));
    MainForm->mnTCPIP->setChecked(true);
    MainForm->acOpenConnection->trigger();
    WaitFor([] { return MainForm->acCloseConnection->isVisible(); }, 8000);
}

// The GUI thread's longest gap between two 1 ms timer ticks over 5 s while
// the scope shows a running drive: its four samples and the main window's
// 19 values read at every pass over TCP.
void GuiStallWithScopeShown(benchmark::State& state) {
    for (auto _ : state) {
        kxtest::TSimProcess sim(false);
        if (!sim.Ready()) {
            state.SkipWithError("no simulator");
            return;
        }
        QDir::setCurrent(TerminalFixture::SourceDir() + QStringLiteral("/data"));
        TTerminal terminal;
        MainForm->show();
        OpenTcp(sim);
        const auto address = [](std::uint32_t index) {
            return PARModule->nvParValueSet.FindValue(index)->GetParDef().RegAddr;
        };
        sim.Write(address(29), 10000);
        sim.Write(address(27), 1);
        FormScope->resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
        FormScope->show();
        const std::uint32_t polled[] = {0,  20, 4,  49, 19, 2,  26, 3,    18,   22,   23,  24,
                                        25, 1,  27, 13, 14, 15, 10, 1000, 1001, 1002, 1003};
        // The reactions read most of them once; keep all 23 cyclic, and the
        // drive's keep-alive and setpoint moving.
        QTimer rearm;
        int tick = 0;
        QObject::connect(&rearm, &QTimer::timeout, [&] {
            for (std::uint32_t index : polled)
                if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
                    value->SetCyclic(true);
            if (++tick % 20 == 0) {
                sim.Write(address(29), 10000);
                sim.Write(address(15), tick % 40 ? 300 : 900);
            }
        });
        rearm.start(50);
        QTest::qWait(1000); // connected and polling
        const std::size_t rowsBefore = FormScope->Record().RowCount();
        TStallProbeApplication* probe = TStallProbeApplication::Instance();
        probe->Measure(5000, "TCP, the scope shown");
        probe->Count(state);
        state.counters["scope_rows_per_s"] =
            static_cast<double>(FormScope->Record().RowCount() - rowsBefore) / 5.0;
    }
}
BENCHMARK(GuiStallWithScopeShown)
    ->Args({720, 540})
    ->Args({1920, 1080})
    ->ArgNames({"w", "h"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// From a mouse move on a dragged marker to the chart painted on the screen:
// the value set, its limits checked, the chart redrawn, the widget painted.
void VFChartMouseMoveToPaint(benchmark::State& state) {
    QDir::setCurrent(TerminalFixture::SourceDir() + QStringLiteral("/data"));
    TTerminal terminal;
    FormVFChart->resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    FormVFChart->show();
    if (!QTest::qWaitForWindowExposed(FormVFChart)) {
        state.SkipWithError("the dialog did not show");
        return;
    }
    TGraphView* view = FormVFChart->Image;
    view->Repaint();
    TnvDiagram* chart = FormVFChart->Graph().GetDiagram(std::int8_t{0});
    TnvMarker* base = FormVFChart->Marker(QStringLiteral("Base"));
    const TnvRect label = base->GetXLabelBox();
    QTest::mousePress(view, Qt::LeftButton, {},
                      {(label.Left + label.Right) / 2, (label.Top + label.Bottom) / 2});
    const TnvRect plot = chart->GetPlotArea();
    const int y = (plot.Top + plot.Bottom) / 2;
    int step = 0;
    for (auto _ : state) {
        const int x = plot.Left + 20 + (step++ % 40) * (plot.Right - plot.Left - 40) / 40;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseMove(view, {x, y});
        QCoreApplication::processEvents(); // the widget's paint
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, {plot.Left + 20, y});
}
BENCHMARK(VFChartMouseMoveToPaint)
    ->Args({560, 600})
    ->Args({1920, 1080})
    ->ArgNames({"w", "h"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[]) {
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
