#include "NvVFPicture.h"

#include "NvVFGraph.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <algorithm>

namespace nv {
namespace {

void SetMarker(TnvDiagram& diagram, const char* name, double x, double y) {
    if (TnvMarker* marker = diagram.GetMarker(QString::fromLatin1(name)))
        marker->SetPoint(x, y);
}

} // namespace

std::uint16_t VFDriveMaxFrequency(std::uint16_t sizeCode) {
    switch ((sizeCode >> 8) & 0xFU) {
    case 0:
        return 1280;
    case 1:
        return 4000;
    default:
        return 0;
    }
}

QImage DrawVFCurve(const TVFWords& w, QSize size) {
    TnvGraph graph;
    TnvDiagram* diagram = nv::BuildVFGraph(graph);
    const std::uint16_t driveMax = VFDriveMaxFrequency(w.SizeCode);
    // An unknown drive size: end the curve at the maximum frequency set.
    const double lastFreq = (driveMax ? driveMax : std::max(w.MaxFreq, w.BaseFreq)) * 0.1;
    if (TnvTraccia* trace = diagram->GetTraccia(std::int8_t{0})) {
        trace->Clear();
        trace->AddPoint(false, 0.0, w.StartVoltage);
        trace->AddPoint(false, w.BoostFreq * 0.1, w.BoostVoltage);
        trace->AddPoint(false, w.BaseFreq * 0.1, w.BaseVoltage);
        trace->AddPoint(false, lastFreq, w.BaseVoltage);
    }
    SetMarker(*diagram, "Start", 0.0, w.StartVoltage);
    SetMarker(*diagram, "Boost", w.BoostFreq * 0.1, w.BoostVoltage);
    SetMarker(*diagram, "Base", w.BaseFreq * 0.1, w.BaseVoltage);
    SetMarker(*diagram, "Fmin", w.MinFreq * 0.1, 0.0);
    SetMarker(*diagram, "Fmax", w.MaxFreq * 0.1, 0.0);
    const double top = 1.1 * std::max(w.BaseVoltage, w.MainVoltage);
    diagram->GetScalaY()->SetRange(0.0, top > 0.0 ? top : 500.0);
    diagram->GetScalaX()->SetRange(0.0, driveMax ? driveMax * 0.1 / 0.98 : 130.0);
    // From one pixel, so that the bitmap always takes the new size.
    graph.SetWidth(1);
    graph.SetHeight(1);
    graph.SetWidth(size.width());
    graph.SetHeight(size.height());
    graph.Repaint();
    return graph.GetBitmap().copy();
}

} // namespace nv
