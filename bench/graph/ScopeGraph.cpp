#include "ScopeGraph.h"

#include "NvDateTime.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <cmath>

namespace {

constexpr TnvColor kSilver = 0xC0C0C0;
constexpr TnvColor kGray = 0x808080;
constexpr double kSecond = 1.0 / 86400.0;

struct TTraceSpec {
    const char* Name;
    TnvColor Color;
    int Width;
    TnvPenStyle Style;
    TnvColor Brush;
};

struct TMarkerSpec {
    const char* Name;
    TnvColor Color;
    TnvPenStyle Style;
    int MrkType;
    double Y;
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
    d->SetTrkBack(kSilver);
    d->CreateScala(unit, 3);
    TnvScala* y = d->GetScalaY();
    y->SetRange(0, max);
    y->SetDivStep(step);
    y->SetText(format);
    y->GetGridPen().SetColor(kGray);
    return d;
}

void AddTrace(TnvDiagram& d, const TTraceSpec& shape, double now, int points, double amplitude,
              double phase) {
    TnvTraccia* t = d.CreateTraccia(shape.Name);
    t->GetLinePen().Assign(TnvPen(shape.Color, TnvPenMode::Copy, shape.Style, shape.Width));
    t->GetLineBrush().Assign(TnvBrush(shape.Brush, TnvBrushStyle::Solid));
    t->SetTrkType(1);
    for (int i = 0; i < points; ++i) {
        const double y =
            amplitude * (0.6 + 0.3 * std::sin(i * 0.08 + phase) + 0.05 * std::sin(i * 0.9 + phase));
        t->AddPoint(t->GetCount() >= 150, now + i * 0.2 * kSecond, y);
    }
}

void AddMarker(TnvDiagram& d, const TMarkerSpec& shape, const char* format) {
    TnvMarker* m = d.CreateMarker(shape.Name);
    m->SetText(format);
    m->GetLinePen().Assign(TnvPen(shape.Color, TnvPenMode::Copy, shape.Style, 1));
    m->GetLineBrush().SetColor(shape.Color);
    m->SetOrType(orHorizontal);
    m->SetDotted(0);
    m->SetMrkType(static_cast<std::uint8_t>(shape.MrkType));
    m->SetPoint(0, shape.Y);
}

} // namespace

void BuildScopeGraph(TnvGraph& graph, int points) {
    graph.SetAutoRefresh(false);
    const double now = nv::Now();

    TnvDiagram* f = AddDiagram(graph, "Frequency", 0xFDCBAC, "[Hz]", 130, 10, "000.0");
    f->CreateScala("Samples", 2);
    TnvScala* x = f->GetScalaX();
    x->SetTitleVisible(false);
    x->SetRange(now, now + 30 * kSecond);
    x->SetDivStep(10 * kSecond);
    x->SetText("0.00");
    x->SetIsTime(true);
    x->GetGridPen().SetColor(kGray);
    AddTrace(*f, {"Freq", 0xFF0000, 2, TnvPenStyle::Solid, 0xFF0000}, now, points, 100, 0);
    AddTrace(*f, {"Setpoint", 0x008000, 1, TnvPenStyle::Dot, kSilver}, now, points, 110, 0.3);
    AddMarker(*f, {"Act", 0xFF0000, TnvPenStyle::Dot, 3, 95}, "000.0");
    AddMarker(*f, {"Ref", 0x008000, TnvPenStyle::Solid, 3, 104}, "000.0");

    TnvDiagram* c = AddDiagram(graph, "Current", 0xFDB386, "[A]", 20, 5, "00.0");
    AddTrace(*c, {"Ampere", 0x00FF00, 2, TnvPenStyle::Solid, kSilver}, now, points, 14, 1);
    AddMarker(*c, {"INom", 0xFF0000, TnvPenStyle::Dash, 1, 10}, "00.0");
    AddMarker(*c, {"IMax", 0x0000FF, TnvPenStyle::Dash, 1, 17}, "00.0");
    AddMarker(*c, {"Act", 0x00FF00, TnvPenStyle::Dot, 3, 12}, "00.0");

    TnvDiagram* v = AddDiagram(graph, "Voltage", 0xFB7C31, "[V]", 700, 100, "000");
    AddTrace(*v, {"Volt", 0x0000FF, 2, TnvPenStyle::Solid, kSilver}, now, points, 400, 2);
    AddMarker(*v, {"Act", 0x0000FF, TnvPenStyle::Dot, 3, 380}, "000");

    TnvDiagram* b = AddDiagram(graph, "DcBus", 0xD05104, "[V]", 700, 100, "000");
    AddTrace(*b, {"Volt", 0xFF00FF, 2, TnvPenStyle::Solid, kSilver}, now, points, 600, 3);
    AddMarker(*b, {"Brake", 0x0000FF, TnvPenStyle::Dash, 1, 670}, "000");
    AddMarker(*b, {"Under", 0x0000FF, TnvPenStyle::Dash, 2, 300}, "000");
    AddMarker(*b, {"Act", 0xFF00FF, TnvPenStyle::Dot, 3, 560}, "000");

    for (TnvDiagram* shared : {c, v, b})
        shared->SetScalaX(f->GetScalaXShared());
}

void LayoutScopeGraph(TnvGraph& graph, int width, int height) {
    graph.SetLeft(0);
    graph.SetTop(0);
    graph.SetWidth(width);
    graph.SetHeight(height);
    const int w = width;
    const int h = height;
    const TnvRect areas[4] = {
        {2 * w / 3, 0, w, 100}, {w / 3, 0, 2 * w / 3, 100}, {0, 0, w / 3, 100}, {0, 100, w, h}};
    for (std::int8_t i = 0; i < 4; ++i)
        if (TnvDiagram* d = graph.GetDiagram(i))
            d->SetArea(areas[i].Left, areas[i].Top, areas[i].Right, areas[i].Bottom);
}
