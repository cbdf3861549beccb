// One Repaint of the scope's four diagrams beside a floor measured in the same
// run: the image filled and the same polylines drawn with bare painter calls.
// Quote the ratio of the two at the same size and sample count.
#include "NvDateTime.h"
#include "NvScopeGraph.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// The scope as a running drive fills it: points samples per trace, 0.2 s
// apart, kept beside the graph as the scope window keeps its record.
struct TFilledScope {
    TnvGraph Graph;
    std::vector<std::pair<TnvTraccia*, std::vector<Tnv2DPoint>>> Samples;

    TFilledScope(int points, int width, int height) {
        nv::BuildScopeGraph(Graph);
        Graph.SetWidth(width);
        Graph.SetHeight(height);
        nv::LayoutScopeGraph(Graph, width, height);
        const double now = nv::Now();
        const double amplitude[4] = {100, 14, 400, 600};
        for (int d = 0; d < Graph.GetDgrCount(); ++d) {
            TnvDiagram* diagram = Graph.GetDiagram(static_cast<std::int8_t>(d));
            for (const auto& trace : diagram->GetTrkList()) {
                const double phase = d + 0.3 * static_cast<double>(Samples.size());
                std::vector<Tnv2DPoint> samples;
                for (int i = 0; i < points; ++i)
                    samples.push_back({now + i * 0.2 * kSecond,
                                       amplitude[d] * (0.6 + 0.3 * std::sin(i * 0.08 + phase) +
                                                       0.05 * std::sin(i * 0.9 + phase))});
                Samples.emplace_back(trace.get(), std::move(samples));
            }
            for (const auto& marker : diagram->GetMrkList())
                marker->SetPoint(now, amplitude[d] * 0.7);
        }
        Repaint(); // layout and fonts warm
    }

    // What the scope window does for a frame: the traces from the samples,
    // then the graph.
    void Repaint() {
        for (auto& [trace, samples] : Samples) {
            const TnvRect plot = trace->GetOwner()->GetPlotArea();
            nv::FillEnvelope(*trace, samples, std::max(plot.Right - plot.Left, 1));
        }
        Graph.Repaint();
    }
};

void BM_Repaint(benchmark::State& state) {
    TFilledScope scope(static_cast<int>(state.range(2)), static_cast<int>(state.range(0)),
                       static_cast<int>(state.range(1)));
    for (auto _ : state) {
        scope.Repaint();
        benchmark::DoNotOptimize(scope.Graph.GetBitmap().constBits());
    }
}

// The pixels and pens of every trace as the graph drew them last.
struct TFloorLine {
    QPolygon Points;
    QPen Pen;
};

std::vector<TFloorLine> FloorLines(TnvGraph& graph) {
    std::vector<TFloorLine> lines;
    for (const auto& diagram : graph.GetDiagrams()) {
        const TnvScala& xs = *diagram->GetScalaX();
        const TnvScala& ys = *diagram->GetScalaY();
        for (const auto& trace : diagram->GetTrkList()) {
            const TnvRect e = trace->GetDrawArea();
            TFloorLine line;
            for (const Tnv2DPoint& p : trace->GetPoints())
                line.Points << QPoint(int((p.X - xs.GetMin()) * xs.PixelsPerUnit()) + e.Left,
                                      e.Bottom - int((p.Y - ys.GetMin()) * ys.PixelsPerUnit()));
            const TnvPen& pen = trace->GetLinePen();
            line.Pen = QPen(nv::ToQColor(pen.GetColor()), pen.GetWidth(),
                            pen.GetStyle() == TnvPenStyle::Dot ? Qt::DotLine : Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin);
            lines.push_back(line);
        }
    }
    return lines;
}

void BM_Floor(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    TFilledScope scope(static_cast<int>(state.range(2)), w, h);
    const std::vector<TFloorLine> lines = FloorLines(scope.Graph);
    QImage image(w, h, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), QColor(192, 192, 192));
        for (const TFloorLine& line : lines) {
            painter.setPen(line.Pen);
            painter.drawPolyline(line.Points);
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "samples"});
    b->Args({1920, 1080, 150})->Args({319, 239, 150})->Args({1920, 1080, 10000});
}

BENCHMARK(BM_Repaint)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
