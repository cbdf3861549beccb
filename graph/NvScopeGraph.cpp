#include "NvScopeGraph.h"

#include "NvDateTime.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <algorithm>

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr int kSmallHeight = 100;

struct TTraceSpec {
    const char* Name;
    TnvColor Color;
    int Width;
    TnvPenStyle Style;
    TnvColor Brush;
};

struct TMarkerSpec {
    const char* Name;
    const char* Text;
    TnvColor Color;
    TnvPenStyle Style;
    int MrkType;
};

TnvDiagram* AddDiagram(TnvGraph& graph, const char* name, TnvColor back, const char* unit,
                       double max, double step, const char* format) {
    TnvDiagram* d = graph.CreateNewDiagram(name);
    d->SetVisible(true);
    d->SetAutoScalaX(true);
    d->SetAutoScalaY(false);
    d->GetTitleFont().SetSize(-12);
    d->SetTitleVisible(true);
    d->SetDgrBack(back);
    d->SetTrkBack(kClSilver);
    d->SetFollowOwnerArea(false);
    d->CreateScala(unit, 3);
    TnvScala* y = d->GetScalaY();
    y->SetRange(0, max);
    y->SetDivStep(step);
    y->SetText(format);
    y->SetIsDate(false);
    y->SetIsTime(false);
    y->GetGridPen().SetColor(kClGray);
    return d;
}

void AddTrace(TnvDiagram& d, const TTraceSpec& shape) {
    TnvTraccia* t = d.CreateTraccia(shape.Name);
    t->GetLinePen().Assign(TnvPen(shape.Color, TnvPenMode::Copy, shape.Style, shape.Width));
    t->GetLineBrush().Assign(TnvBrush(shape.Brush, TnvBrushStyle::Solid));
    t->SetTrkType(1);
}

void AddMarker(TnvDiagram& d, const TMarkerSpec& shape) {
    TnvMarker* m = d.CreateMarker(shape.Name);
    m->SetText(shape.Text);
    m->GetLinePen().Assign(TnvPen(shape.Color, TnvPenMode::Copy, shape.Style, 1));
    m->GetLineBrush().SetColor(shape.Color);
    m->SetOrType(orHorizontal);
    m->SetDotted(0);
    m->SetMrkType(static_cast<std::uint8_t>(shape.MrkType));
    m->SetPoint(0, 0);
}

} // namespace

namespace nv {

void BuildScopeGraph(TnvGraph& graph) {
    graph.SetAutoRefresh(false);

    TnvDiagram* f = AddDiagram(graph, "Frequency", 0xFDCBAC, "[Hz]", 130, 10, "000.0");
    f->CreateScala("Samples", 2);
    TnvScala* x = f->GetScalaX();
    x->SetTitleVisible(false);
    const double now = Now();
    x->SetRange(now, now + 30 * kSecond);
    x->SetDivStep(10 * kSecond);
    x->SetText("0.00");
    x->SetIsDate(false);
    x->SetIsTime(true);
    x->GetGridPen().SetColor(kClGray);
    AddTrace(*f, {"Freq", kClBlue, 2, TnvPenStyle::Solid, kClBlue});
    AddTrace(*f, {"Setpoint", kClGreen, 1, TnvPenStyle::Dot, kClSilver});
    AddMarker(*f, {"Act", "000.0", kClBlue, TnvPenStyle::Dot, 3});
    AddMarker(*f, {"Ref", "000.0", kClGreen, TnvPenStyle::Solid, 3});

    TnvDiagram* c = AddDiagram(graph, "Current", 0xFDB386, "[A]", 20, 5, "00.0");
    AddTrace(*c, {"Ampere", kClLime, 2, TnvPenStyle::Solid, kClSilver});
    AddMarker(*c, {"INom", "00.0", kClBlue, TnvPenStyle::Dash, 1});
    AddMarker(*c, {"IMax", "00.0", kClRed, TnvPenStyle::Dash, 1});
    AddMarker(*c, {"Act", "00.0", kClLime, TnvPenStyle::Dot, 3});

    TnvDiagram* v = AddDiagram(graph, "Voltage", 0xFB7C31, "[V]", 700, 100, "000");
    AddTrace(*v, {"Volt", kClRed, 2, TnvPenStyle::Solid, kClSilver});
    AddMarker(*v, {"Act", "000", kClRed, TnvPenStyle::Dot, 3});

    TnvDiagram* b = AddDiagram(graph, "DcBus", 0xD05104, "[V]", 700, 100, "000");
    AddTrace(*b, {"Volt", kClFuchsia, 2, TnvPenStyle::Solid, kClSilver});
    AddMarker(*b, {"Brake", "000", kClRed, TnvPenStyle::Dash, 1});
    AddMarker(*b, {"Under", "000", kClRed, TnvPenStyle::Dash, 2});
    AddMarker(*b, {"Act", "000", kClFuchsia, TnvPenStyle::Dot, 3});

    for (TnvDiagram* shared : {c, v, b})
        shared->SetScalaX(f->GetScalaXShared());
}

void LayoutScopeGraph(TnvGraph& graph, int width, int height) {
    const int w = width;
    const int h = height;
    const TnvRect areas[4] = {{2 * w / 3, 0, w, kSmallHeight},
                              {w / 3, 0, 2 * w / 3, kSmallHeight},
                              {0, 0, w / 3, kSmallHeight},
                              {0, kSmallHeight, w, h}};
    for (std::int8_t i = 0; i < 4; ++i)
        if (TnvDiagram* d = graph.GetDiagram(i))
            d->SetArea(areas[i].Left, areas[i].Top, areas[i].Right, areas[i].Bottom);
}

void FillEnvelope(TnvTraccia& trace, std::span<const Tnv2DPoint> points, int columns) {
    trace.Clear();
    const std::size_t n = points.size();
    const auto buckets = static_cast<std::size_t>(std::max(columns, 1));
    if (n <= 2 * buckets) {
        for (const Tnv2DPoint& p : points)
            trace.AddPoint(false, p.X, p.Y);
        return;
    }
    for (std::size_t b = 0; b < buckets; ++b) {
        const auto first = points.begin() + static_cast<std::ptrdiff_t>(b * n / buckets);
        const auto last = points.begin() + static_cast<std::ptrdiff_t>((b + 1) * n / buckets);
        const auto [lo, hi] = std::minmax_element(
            first, last, [](const Tnv2DPoint& a, const Tnv2DPoint& c) { return a.Y < c.Y; });
        const auto& [early, late] = lo < hi ? std::pair(*lo, *hi) : std::pair(*hi, *lo);
        trace.AddPoint(false, early.X, early.Y);
        if (lo != hi)
            trace.AddPoint(false, late.X, late.Y);
    }
}

} // namespace nv
