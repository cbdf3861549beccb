#include "NvVFGraph.h"

#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

namespace nv {
namespace {

struct TMarkerLook {
    const char* Name;
    const char* Text;
    TnvColor Color;
    TnvPenStyle Style;
    double X;
    unsigned OrType;
    int MrkType;
};
constexpr TMarkerLook kMarkers[] = {
    {"Fmax", "00.0", kClRed, TnvPenStyle::Solid, 128.0, orVertical, 1},
    {"Fmin", "00.0", kClRed, TnvPenStyle::Solid, 0, orVertical, 2},
    {"Start", "000", kClFuchsia, TnvPenStyle::Dot, 0, orHorizontal, 3},
    {"Boost", "00.#", kClBlue, TnvPenStyle::Dot, 0, orVertical | orHorizontal, 3},
    {"Base", "00.#", kClGreen, TnvPenStyle::Dot, 0, orVertical | orHorizontal, 3},
};

void AddScale(TnvDiagram& d, const QString& title, std::uint8_t align, double max, double step,
              const QString& text) {
    d.CreateScala(title, align);
    TnvScala* scale = align == 2 ? d.GetScalaX() : d.GetScalaY();
    scale->SetRange(0, max);
    scale->SetDivStep(step);
    scale->SetText(text);
    scale->SetIsDate(false);
    scale->SetIsTime(false);
    scale->GetGridPen().SetColor(kClGray);
}

} // namespace

TnvDiagram* BuildVFGraph(TnvGraph& graph) {
    graph.SetAutoRefresh(false);
    TnvDiagram* d = graph.CreateNewDiagram(kVFDiagram);
    d->SetVisible(true);
    d->SetAutoScalaX(false);
    d->SetAutoScalaY(false);
    d->SetTitleVisible(true);
    d->GetTitleFont().SetSize(-12);
    d->SetDgrBack(kClNavy);
    d->SetTrkBack(kClSilver);
    d->SetFollowOwnerArea(true);
    AddScale(*d, QStringLiteral("Freq. [Hz]"), 2, 130, 10, QStringLiteral("00.0"));
    AddScale(*d, QStringLiteral("Voltage [V]"), 3, 500, 100, QStringLiteral("000"));

    TnvTraccia* curve = d->CreateTraccia(QStringLiteral("V/F chart"));
    curve->GetLinePen().Assign(TnvPen(kClNavy, TnvPenMode::Copy, TnvPenStyle::Solid, 2));
    curve->GetLineBrush().SetColor(kClNavy);
    curve->SetTrkType(1);

    for (const TMarkerLook& look : kMarkers) {
        TnvMarker* m = d->CreateMarker(QString::fromLatin1(look.Name));
        m->SetText(QString::fromLatin1(look.Text));
        m->GetLinePen().Assign(TnvPen(look.Color, TnvPenMode::Copy, look.Style, 1));
        m->GetLineBrush().SetColor(look.Color);
        m->SetPoint(look.X, 0);
        m->SetOrType(look.OrType);
        m->SetMrkType(static_cast<std::uint8_t>(look.MrkType));
        m->SetDotted(0);
    }
    return d;
}

} // namespace nv
