// Pixels of a painted diagram at positions worked out by hand from the layout,
// scale, trace and marker formulas.
//
// The fixture: a diagram over (10, 20)-(210, 120); X scale below without text
// or title, so it is 5 pixels high: (15, 115)-(210, 120); Y scale left with an
// empty label format and no title, so it is 5 pixels wide: (10, 20)-(15, 115).
// Plot area P = (16, 21)-(209, 114), 193 x 93 pixels; with the ranges 0..193
// and 0..93 one world unit is one pixel: x(v) = 16 + v, y(v) = 114 - v.
#include "GraphTestSupport.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <gtest/gtest.h>

using test::Pixel;

namespace {

constexpr TnvColor kDgrBack = 0x202020;
constexpr TnvColor kTrkBack = 0xC0C0C0;
constexpr TnvColor kTickX = 0x0000FF;
constexpr TnvColor kGridX = 0x00FF00;
constexpr TnvColor kTickY = 0xFF0000;
constexpr TnvColor kGridY = 0xFF00FF;
constexpr TnvColor kTrace = 0x00FFFF;
constexpr TnvColor kFill = 0x804000;
constexpr TnvColor kUntouched = 0xFFFFFF; // the new bitmap is white

class DiagramPaintTest : public ::testing::Test {
protected:
    DiagramPaintTest() {
        diagram = graph.CreateNewDiagram("D");
        diagram->SetArea(10, 20, 210, 120);
        diagram->SetVisible(true);
        diagram->SetAutoScalaX(false);
        diagram->SetAutoScalaY(false);
        diagram->SetDgrBack(kDgrBack);
        diagram->SetTrkBack(kTrkBack);
        diagram->CreateScala("X", 2);
        diagram->CreateScala("Y", 3);
        x = diagram->GetScalaX();
        y = diagram->GetScalaY();
        Configure(*x, kTickX, kGridX, 193);
        Configure(*y, kTickY, kGridY, 93);
        y->SetText("");
    }

    static void Configure(TnvScala& scale, TnvColor tick, TnvColor grid, double max) {
        scale.SetTextVisible(false);
        scale.SetTitleVisible(false);
        scale.GetLinePen().SetColor(tick);
        scale.GetGridPen().Assign(TnvPen(grid, TnvPenMode::Copy, TnvPenStyle::Solid, 1));
        scale.SetRange(0, max);
        scale.SetDivStep(50);
    }

    TnvTraccia* Trace(std::uint8_t type, std::uint8_t dotted = 0) {
        x->SetGridVisible(false);
        y->SetGridVisible(false);
        TnvTraccia* trace = diagram->CreateTraccia("T");
        trace->SetTrkType(type);
        trace->SetDotted(dotted);
        trace->GetLinePen().SetColor(kTrace);
        trace->GetLineBrush().Assign(TnvBrush(kFill, TnvBrushStyle::Solid));
        return trace;
    }

    TnvColor At(int px, int py) { return Pixel(graph.GetBitmap(), px, py); }

    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
    TnvScala* x = nullptr;
    TnvScala* y = nullptr;
};

TEST_F(DiagramPaintTest, LayoutFollowsTheScales) {
    graph.Repaint();
    EXPECT_EQ(x->GetDrawArea(), (TnvRect{15, 115, 210, 120}));
    EXPECT_EQ(y->GetDrawArea(), (TnvRect{10, 20, 15, 115}));
    EXPECT_EQ(diagram->GetPlotArea(), (TnvRect{16, 21, 209, 114}));
    EXPECT_DOUBLE_EQ(x->PixelsPerUnit(), 1.0);
    EXPECT_DOUBLE_EQ(y->PixelsPerUnit(), 1.0);
}

TEST_F(DiagramPaintTest, BackgroundsFillAreaAndPlot) {
    graph.Repaint();
    EXPECT_EQ(At(12, 50), kDgrBack);
    EXPECT_EQ(At(40, 117), kDgrBack);
    EXPECT_EQ(At(16, 22), kTrkBack);
    EXPECT_EQ(At(208, 113), kTrkBack);
    EXPECT_EQ(At(209, 114), kTrkBack);
    EXPECT_EQ(At(9, 64), kUntouched);
    EXPECT_EQ(At(211, 64), kUntouched);
    EXPECT_EQ(At(100, 121), kUntouched);
}

TEST_F(DiagramPaintTest, FrameTakesThePenEachScaleLeaves) {
    graph.Repaint();
    // Horizontal frame lines in the X grid pen, at P.Top - 1 and P.Bottom + 1.
    EXPECT_EQ(At(100, 20), kGridX);
    EXPECT_EQ(At(209, 20), kGridX);
    EXPECT_EQ(At(100, 115), kGridX);
    // Vertical ones in the Y grid pen; the right one at x = 210 lies on the
    // clip's exclusive edge and is not painted.
    EXPECT_EQ(At(15, 20), kGridY);
    EXPECT_EQ(At(15, 60), kGridY);
    EXPECT_EQ(At(15, 115), kGridY);
    EXPECT_EQ(At(210, 60), kDgrBack);
}

TEST_F(DiagramPaintTest, XScaleTicksAndGridLines) {
    graph.Repaint();
    // Ticks from y = 120 (clipped) up to 115 (left out) at G.Left, G.Right and
    // the divisions 50, 100, 150.
    for (int tx : {16, 66, 116, 166, 209}) {
        EXPECT_EQ(At(tx, 116), kTickX) << tx;
        EXPECT_EQ(At(tx, 119), kTickX) << tx;
    }
    EXPECT_EQ(At(41, 117), kDgrBack);
    // Grid lines from G.Top to G.Bottom, the end left out.
    for (int gx : {66, 116, 166}) {
        EXPECT_EQ(At(gx, 21), kGridX) << gx;
        EXPECT_EQ(At(gx, 113), kGridX) << gx;
        EXPECT_EQ(At(gx, 114), kTrkBack) << gx;
    }
    EXPECT_EQ(At(16, 60), kTrkBack); // no grid line at the range's start
}

TEST_F(DiagramPaintTest, YScaleTicksAndGridLines) {
    graph.Repaint();
    // Ticks from E.Right - 5 = 10 to E.Right = 15 (left out) at G.Top, G.Bottom
    // and the division 50 (y = 64).
    for (int ty : {21, 64, 114}) {
        EXPECT_EQ(At(10, ty), kTickY) << ty;
        EXPECT_EQ(At(14, ty), kTickY) << ty;
    }
    EXPECT_EQ(At(12, 40), kDgrBack);
    EXPECT_EQ(At(16, 64), kGridY);
    EXPECT_EQ(At(66, 64), kGridY); // drawn over the X grid
    EXPECT_EQ(At(208, 64), kGridY);
    EXPECT_EQ(At(209, 64), kTrkBack);
}

TEST_F(DiagramPaintTest, LineTraceJoinsItsPoints) {
    TnvTraccia* trace = Trace(1);
    trace->AddPoint(false, 10, 10); // (26, 104)
    trace->AddPoint(false, 60, 60); // (76, 54)
    graph.Repaint();
    EXPECT_EQ(At(26, 104), kTrace);
    EXPECT_EQ(At(50, 80), kTrace);
    EXPECT_EQ(At(75, 55), kTrace);
    EXPECT_EQ(At(76, 54), kTrkBack);
    EXPECT_EQ(At(27, 104), kTrkBack);
}

TEST_F(DiagramPaintTest, TracePointsOnTheLowerPlotEdgeAreClipped) {
    TnvTraccia* trace = Trace(1);
    trace->AddPoint(false, 10, 0); // row 114 = P.Bottom, outside the exclusive clip
    trace->AddPoint(false, 60, 0);
    graph.Repaint();
    EXPECT_EQ(At(40, 114), kTrkBack);
}

TEST_F(DiagramPaintTest, StepTraceCorners) {
    TnvTraccia* trace = Trace(2);
    trace->AddPoint(false, 10, 10); // (26, 104)
    trace->AddPoint(false, 60, 60); // (76, 54)
    graph.Repaint();
    EXPECT_EQ(At(26, 104), kTrace);
    EXPECT_EQ(At(75, 104), kTrace);
    EXPECT_EQ(At(76, 104), kTrace); // the corner
    EXPECT_EQ(At(76, 55), kTrace);
    EXPECT_EQ(At(76, 54), kTrkBack); // the last point's step has no length
    EXPECT_EQ(At(50, 80), kTrkBack);
}

TEST_F(DiagramPaintTest, BarsReachTheZeroRowAndAreCutByTheClip) {
    y->SetRange(20, 113); // still one pixel per unit; 0 lies 20 rows below the plot
    TnvTraccia* trace = Trace(3);
    trace->AddPoint(false, 10, 50); // (26, 84), bar to column 76 and row 134
    trace->AddPoint(false, 60, 70); // (76, 64), a bar one column wide
    graph.Repaint();
    EXPECT_EQ(At(26, 84), kTrace);
    EXPECT_EQ(At(50, 84), kTrace);
    EXPECT_EQ(At(26, 100), kTrace);
    EXPECT_EQ(At(50, 100), kFill);
    EXPECT_EQ(At(76, 70), kTrace);
    EXPECT_EQ(At(76, 100), kTrace);
    EXPECT_EQ(At(50, 113), kFill); // the bottom edge is beyond the clip
    EXPECT_EQ(At(50, 114), kTrkBack);
    EXPECT_EQ(At(77, 100), kTrkBack);
    EXPECT_EQ(At(50, 83), kTrkBack);
}

TEST_F(DiagramPaintTest, PixelTraceSetsOnePixelPerPoint) {
    TnvTraccia* trace = Trace(4);
    trace->AddPoint(false, 10, 10);
    trace->AddPoint(false, 60, 60);
    graph.Repaint();
    EXPECT_EQ(At(26, 104), kTrace);
    EXPECT_EQ(At(76, 54), kTrace);
    EXPECT_EQ(At(50, 80), kTrkBack);
}

TEST_F(DiagramPaintTest, SquareSymbol) {
    Trace(0, 2)->AddPoint(false, 50, 50); // (66, 64), box (64, 62)-(69, 67)
    graph.Repaint();
    EXPECT_EQ(At(64, 62), kTrace);
    EXPECT_EQ(At(68, 66), kTrace);
    EXPECT_EQ(At(66, 64), kFill);
    EXPECT_EQ(At(69, 64), kTrkBack);
    EXPECT_EQ(At(66, 67), kTrkBack);
}

TEST_F(DiagramPaintTest, CircleSymbol) {
    Trace(0, 1)->AddPoint(false, 50, 50);
    graph.Repaint();
    EXPECT_EQ(At(66, 62), kTrace);
    EXPECT_EQ(At(66, 66), kTrace);
    EXPECT_EQ(At(64, 64), kTrace);
    EXPECT_EQ(At(68, 64), kTrace);
    EXPECT_EQ(At(66, 64), kFill);
    EXPECT_EQ(At(64, 62), kTrkBack);
    EXPECT_EQ(At(69, 64), kTrkBack);
}

TEST_F(DiagramPaintTest, TriangleSymbol) {
    Trace(0, 3)->AddPoint(false, 50, 50); // corners (63, 66), (69, 66), (66, 59)
    graph.Repaint();
    EXPECT_EQ(At(63, 66), kTrace);
    EXPECT_EQ(At(69, 66), kTrace);
    EXPECT_EQ(At(66, 59), kTrace);
    EXPECT_EQ(At(66, 64), kFill);
    EXPECT_EQ(At(66, 67), kTrkBack);
    EXPECT_EQ(At(62, 66), kTrkBack);
    EXPECT_EQ(At(66, 58), kTrkBack);
}

TEST_F(DiagramPaintTest, DiagonalCrossSymbol) {
    Trace(0, 4)->AddPoint(false, 50, 50);
    graph.Repaint();
    for (QPoint p :
         {QPoint(64, 62), QPoint(68, 66), QPoint(64, 66), QPoint(68, 62), QPoint(66, 64)})
        EXPECT_EQ(At(p.x(), p.y()), kTrace) << p.x() << "," << p.y();
    EXPECT_EQ(At(69, 67), kTrkBack);
    EXPECT_EQ(At(69, 61), kTrkBack);
    EXPECT_EQ(At(66, 63), kTrkBack);
}

// Markers need room for their labels: the Y scale gets a six-digit format,
// so it is 5 + 6 w wide (w: width of "0").
class MarkerPaintTest : public DiagramPaintTest {
protected:
    MarkerPaintTest() {
        y->SetText("000000");
        y->GetTextFont().Assign(TnvFont(kClWhite, test::kFace, -10));
        x->SetGridVisible(false);
        y->SetGridVisible(false);
        marker = diagram->CreateMarker("M");
        marker->SetText("00.0");
        marker->GetLinePen().SetColor(kMarker);
        marker->GetLineBrush().Assign(TnvBrush(kFill, TnvBrushStyle::Solid));
        marker->GetTextPen().SetColor(kBox);
        marker->GetTextBrush().Assign(TnvBrush(kBoxFill, TnvBrushStyle::Solid));
        marker->GetTextFont().Assign(TnvFont(kClWhite, test::kFace, -10));
        marker->SetMrkType(3);
        x->SetRange(0, 209 - PlotLeft()); // one pixel per unit again
    }
    int PlotLeft() const { return 10 + 5 + 6 * test::Metrics().horizontalAdvance("0") + 1; }

    static constexpr TnvColor kMarker = 0x0080FF;
    static constexpr TnvColor kBox = 0x00FF80;
    static constexpr TnvColor kBoxFill = 0x400000;
    TnvMarker* marker = nullptr;
};

TEST_F(MarkerPaintTest, HorizontalLineSymbolAndLabelBox) {
    marker->SetOrType(orHorizontal);
    marker->SetPoint(100, 70); // row 114 - 70 = 44
    graph.Repaint();
    const int left = PlotLeft();
    ASSERT_EQ(diagram->GetPlotArea().Left, left);
    EXPECT_EQ(At(left, 44), kMarker);
    EXPECT_EQ(At(208, 44), kMarker);
    EXPECT_EQ(At(209, 44), kTrkBack); // the line ends at E.Right, left out
    // Triangle with its tip at (E.Left - 2, y), opening toward the scale.
    EXPECT_EQ(At(left - 2, 44), kMarker);
    EXPECT_EQ(At(left - 5, 44), kFill);

    const QFontMetrics m = test::Metrics();
    const int th = m.height();
    const int w = m.horizontalAdvance("70.0");
    const TnvRect box = marker->GetYLabelBox();
    EXPECT_EQ(box.Right, left - 7);
    EXPECT_EQ(box.Left, left - 7 - w - 3);
    EXPECT_EQ(box.Top, 44 - 3 * (th / 4));
    EXPECT_EQ(box.Bottom, 44 + th);
    EXPECT_EQ(At(box.Right - 1, box.Top), kBox);
    EXPECT_EQ(At(box.Right - 1, box.Bottom - 1), kBox);
    EXPECT_EQ(At(box.Left + 1, box.Top), kBox);
    EXPECT_EQ(At(box.Left + 1, box.Top + 1), kBoxFill);
    EXPECT_EQ(At(box.Right, box.Bottom - 1), kDgrBack); // the corner is exclusive
    EXPECT_EQ(marker->GetXLabelBox(), TnvRect{});       // no vertical part drawn
}

TEST_F(MarkerPaintTest, VerticalLineSymbolAndLabelBox) {
    marker->SetOrType(orVertical);
    marker->SetPoint(100, 70);
    graph.Repaint();
    const int mx = PlotLeft() + 100;
    EXPECT_EQ(At(mx, 21), kMarker);
    EXPECT_EQ(At(mx, 114), kMarker); // down to E.Bottom + 1, left out
    EXPECT_EQ(At(mx, 116), kMarker); // the triangle's tip below the plot
    EXPECT_EQ(At(mx + 1, 60), kTrkBack);
    EXPECT_EQ(At(mx, 44 + 1), kMarker);

    const QFontMetrics m = test::Metrics();
    const int th = m.height();
    const int w = m.horizontalAdvance("100.0");
    const TnvRect box = marker->GetXLabelBox();
    EXPECT_EQ(box.Top, 114 + 8);
    EXPECT_EQ(box.Bottom, 114 + 8 + th + 3 * (th / 4));
    EXPECT_EQ(box.Left, mx - w / 2 - 2);
    EXPECT_EQ(box.Right, mx + w / 2 + 1);
}

TEST_F(MarkerPaintTest, PointOutsideTheRangesDrawsNothing) {
    graph.Repaint(); // a new marker sits at 1E+99
    EXPECT_EQ(marker->GetXLabelBox(), TnvRect{});
    EXPECT_EQ(marker->GetYLabelBox(), TnvRect{});
    EXPECT_EQ(At(100, 44), kTrkBack);
}

TEST_F(MarkerPaintTest, PointOnTheRangeMaximumIsDrawn) {
    marker->SetOrType(orHorizontal);
    marker->SetPoint(100, 93); // row 21, the plot's top row
    graph.Repaint();
    EXPECT_EQ(At(100, 21), kMarker);
}

TEST_F(MarkerPaintTest, PointSymbolWithoutLines) {
    marker->SetOrType(0);
    marker->SetDotted(2);
    marker->SetPoint(50, 50);
    graph.Repaint();
    const int mx = PlotLeft() + 50;
    EXPECT_EQ(At(mx - 2, 62), kMarker);
    EXPECT_EQ(At(mx, 64), kFill);
    EXPECT_EQ(At(mx + 10, 64), kTrkBack);
}

TEST_F(MarkerPaintTest, HitTestUsesTheLabelBoxesOfItsOrientations) {
    marker->SetPoint(100, 70);
    graph.Repaint();
    const TnvRect yBox = marker->GetYLabelBox();
    const TnvRect xBox = marker->GetXLabelBox();
    EXPECT_TRUE(marker->HitTest({yBox.Left + 1, yBox.Top + 1}));
    EXPECT_EQ(marker->GetSelected(), 2);
    EXPECT_FALSE(marker->HitTest({yBox.Left, yBox.Top + 1})); // the border is outside
    EXPECT_EQ(marker->GetSelected(), 0);
    EXPECT_TRUE(marker->HitTest({xBox.Left + 1, xBox.Top + 1}));
    EXPECT_EQ(marker->GetSelected(), 1);
    marker->SetOrType(orHorizontal);
    EXPECT_FALSE(marker->HitTest({xBox.Left + 1, xBox.Top + 1}));
}

TEST(GraphPaintTest, EmptyGraphClearsToButtonFaceAndReportsIt) {
    TnvGraph graph;
    int refreshed = 0;
    bool raised = false;
    TnvDiagram* sender = nullptr;
    graph.OnDiagramDraw = [&](TnvDiagram* s, QImage&, bool&) {
        raised = true;
        sender = s;
    };
    graph.OnRefreshed = [&](TnvGraph*, QImage&, bool&) {
        ++refreshed;
    };
    graph.Repaint();
    EXPECT_EQ(refreshed, 1);
    EXPECT_TRUE(raised);
    EXPECT_EQ(sender, nullptr);
    EXPECT_EQ(Pixel(graph.GetBitmap(), 0, 0), 0xF0F0F0);
    EXPECT_EQ(Pixel(graph.GetBitmap(), 318, 238), 0xF0F0F0);
}

} // namespace
