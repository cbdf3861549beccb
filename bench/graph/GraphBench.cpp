// One Repaint of the scope's four diagrams beside a floor measured in the same
// run: the image filled and the same polylines drawn with bare painter calls.
#include "ScopeGraph.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPolygon>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPoints = 150;

void BM_Repaint(benchmark::State& state) {
    TnvGraph graph;
    BuildScopeGraph(graph, kPoints);
    LayoutScopeGraph(graph, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    graph.Repaint(); // layout and fonts warm
    for (auto _ : state) {
        graph.Repaint();
        benchmark::DoNotOptimize(graph.GetBitmap().constBits());
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
    TnvGraph graph;
    BuildScopeGraph(graph, kPoints);
    LayoutScopeGraph(graph, w, h);
    graph.Repaint();
    const std::vector<TFloorLine> lines = FloorLines(graph);
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

BENCHMARK(BM_Repaint)->Args({1920, 1080})->Args({319, 239})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Args({1920, 1080})->Args({319, 239})->Unit(benchmark::kMicrosecond);

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
