#include "NvVFPicture.h"

#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <algorithm>

namespace nv {
namespace {

// The look of the terminal's V/F chart; the points come from the values.
const char* const kSetup = R"setup([nvGraph]
Begin
AutoRefresh=false
DrawArea=0,0,479,319
[nvDiagram]
Begin
Title=V/F relation
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial,-12,B
TitleVisible=true
DrawArea=0,0,479,319
TrkBack=12632256
DgrBack=8388608
AutoScalaX=false
AutoScalaY=false
Visible=true
FollowOwnerArea=true
[nvScala]
Begin
LinePen=16777215,4,0,1
LineBrush=0,1
LineVisible=true
Title=Freq. [Hz]
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Align=2
GridPen=8421504,4,2,1
GridBrush=0,1
GridVisible=true
Text=00.0
TextPen=16777215,4,0,1
TextBrush=0,1
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Range=0,130
DivStep=10
IsDate=false
IsTime=false
End
[nvScala]
Begin
LinePen=16777215,4,0,1
LineBrush=0,1
LineVisible=true
Title=Voltage [V]
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Align=3
GridPen=8421504,4,2,1
GridBrush=0,1
GridVisible=true
Text=000
TextPen=16777215,4,0,1
TextBrush=0,1
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Range=0,500
DivStep=100
IsDate=false
IsTime=false
End
[nvTraccia]
Begin
LinePen=8388608,4,0,2
LineBrush=8388608,1
LineVisible=true
Title=V/F chart
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial Narrow,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
TrkType=1
Dotted=0
End
[nvMarker]
Begin
LinePen=255,4,0,1
LineBrush=255,0
LineVisible=true
Title=Fmax
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial Narrow,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Text=00.0
TextPen=16777215,4,0,1
TextBrush=0,0
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Point=120,0
MrkType=1
Dotted=0
OrType=V
End
[nvMarker]
Begin
LinePen=255,4,0,1
LineBrush=255,0
LineVisible=true
Title=Fmin
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial Narrow,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Text=00.0
TextPen=16777215,4,0,1
TextBrush=0,0
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Point=10,0
MrkType=2
Dotted=0
OrType=V
End
[nvMarker]
Begin
LinePen=16711935,4,2,1
LineBrush=16711935,0
LineVisible=true
Title=Start
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial Narrow,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Text=000
TextPen=16777215,4,0,1
TextBrush=0,0
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Point=0,20
MrkType=3
Dotted=0
OrType=H
End
[nvMarker]
Begin
LinePen=16711680,4,2,1
LineBrush=16711680,0
LineVisible=true
Title=Boost
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial Narrow,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Text=00.#
TextPen=16777215,4,0,1
TextBrush=0,0
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Point=20,100
MrkType=3
Dotted=0
OrType=HV
End
[nvMarker]
Begin
LinePen=32768,4,2,1
LineBrush=32768,0
LineVisible=true
Title=Base
TitlePen=16777215,4,0,1
TitleBrush=0,1
TitleFont=16777215,Arial Narrow,-10,
TitleVisible=true
DrawArea=0,0,479,319
Visible=true
Text=00.#
TextPen=16777215,4,0,1
TextBrush=0,0
TextFont=16777215,Arial Narrow,-10,
TextVisible=true
Point=60,400
MrkType=3
Dotted=0
OrType=HV
End
End
End
)setup";

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
    graph.SetSetup(QString::fromLatin1(kSetup));
    TnvDiagram* diagram = graph.GetDiagram(std::int8_t{0});
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
