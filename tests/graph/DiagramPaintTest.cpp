// Pixels of a painted diagram at positions worked out by hand from the layout,
// scale, trace and marker formulas.
//
// The fixture: a diagram over (10, 20)-(210, 120); X scale below without text
// or title, so it is 5 pixels high: (15, 115)-(210, 120); Y scale left with an
// empty label format and no title, so it is 5 pixels wide: (10, 20)-(15, 115).
// Plot area P = (16, 21)-(209, 114), 193 x 93 pixels; with the ranges 0..193
// and 0..93 one world unit is one pixel: x(v) = 16 + v, y(v) = 114 - v.
#include "GraphTestSupport.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

using namespace test;

namespace {

constexpr TnvColor kDgrBack = 0x202020;
constexpr TnvColor kTrkBack = 0xC0C0C0;
constexpr TnvColor kTickX = 0x0000FF;
constexpr TnvColor kGridX = 0x00FF00;
constexpr TnvColor kTickY = 0xFF0000;
constexpr TnvColor kGridY = 0xFF00FF;
constexpr TnvColor kTrace = 0x00FFFF;
constexpr TnvColor kFill = 0x804000;
constexpr TnvColor kMarker = 0x0080FF;
constexpr TnvColor kBox = 0x00FF80;
constexpr TnvColor kBoxFill = 0x400000;
constexpr TnvColor kUntouched = 0xFFFFFF; // the new bitmap is white

class DiagramPaintTest : public ::testing::Test {
protected:
    DiagramPaintTest() {
        diagram = MakeComplete(graph, "D", {10, 20, 210, 120});
        diagram->SetAutoScalaX(false);
        diagram->SetAutoScalaY(false);
        diagram->SetDgrBack(kDgrBack);
        diagram->SetTrkBack(kTrkBack);
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

    void Expect(const std::vector<TPixel>& pixels) { ExpectPixels(graph.GetBitmap(), pixels); }

    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
    TnvScala* x = nullptr;
    TnvScala* y = nullptr;
};

TEST_F(DiagramPaintTest, BackgroundsFrameTicksAndGridFollowTheLayout) {
    graph.Repaint();
    // clang-format off
    Expect({// backgrounds of the area and the plot, nothing outside
            {12, 50, kDgrBack}, {40, 117, kDgrBack}, {16, 22, kTrkBack}, {209, 114, kTrkBack},
            {9, 64, kUntouched}, {211, 64, kUntouched}, {100, 121, kUntouched},
            // the frame: rows in the X grid pen, columns in the Y grid pen; the
            // right one lies on the clip's exclusive edge
            {100, 20, kGridX}, {209, 20, kGridX}, {100, 115, kGridX}, {15, 20, kGridY},
            {15, 115, kGridY}, {210, 60, kDgrBack},
            // X ticks from 120 (clipped) up to 115 (left out) at 0, 50, 100, 150, max
            {16, 116, kTickX}, {66, 119, kTickX}, {116, 116, kTickX}, {166, 119, kTickX},
            {209, 116, kTickX}, {41, 117, kDgrBack},
            // X grid lines from the top to the bottom, the end left out, none at 0
            {66, 21, kGridX}, {116, 113, kGridX}, {166, 113, kGridX}, {166, 114, kTrkBack},
            {16, 60, kTrkBack},
            // Y ticks from 10 to 15 (left out) at 0, 50, max; Y grid over the X grid
            {10, 21, kTickY}, {14, 64, kTickY}, {10, 114, kTickY}, {12, 40, kDgrBack},
            {16, 64, kGridY}, {66, 64, kGridY}, {208, 64, kGridY}, {209, 64, kTrkBack}});
    // clang-format on
}

// One trace of each type and symbol over the points (10, 10) = (26, 104) and
// (60, 60) = (76, 54), or the single point (50, 50) = (66, 64). Bars run on
// a Y range from 20, one pixel per unit still, so that 0 lies 20 rows below
// the plot.
TEST_F(DiagramPaintTest, TracesAndSymbols) {
    const struct {
        const char* Name;
        std::uint8_t Type;
        std::uint8_t Dotted;
        std::vector<Tnv2DPoint> Points;
        std::vector<TPixel> Pixels;
        double YMin = 0;
    } cases[] = {
        // clang-format off
        {"bars reach the zero row and are cut by the clip: (26, 84) to column 76, and (76, 64)",
         3, 0, {{10, 50}, {60, 70}},
         {{26, 84, kTrace}, {50, 84, kTrace}, {26, 100, kTrace}, {50, 100, kFill},
          {76, 70, kTrace}, {76, 100, kTrace}, {50, 113, kFill}, {50, 114, kTrkBack},
          {77, 100, kTrkBack}, {50, 83, kTrkBack}}, 20},
        {"line", 1, 0, {{10, 10}, {60, 60}},
         {{26, 104, kTrace}, {50, 80, kTrace}, {75, 55, kTrace}, {76, 54, kTrkBack},
          {27, 104, kTrkBack}}},
        {"step", 2, 0, {{10, 10}, {60, 60}},
         {{26, 104, kTrace}, {76, 104, kTrace}, {76, 55, kTrace}, {76, 54, kTrkBack},
          {50, 80, kTrkBack}}},
        {"pixel", 4, 0, {{10, 10}, {60, 60}},
         {{26, 104, kTrace}, {76, 54, kTrace}, {50, 80, kTrkBack}}},
        {"square", 0, 2, {{50, 50}},
         {{64, 62, kTrace}, {68, 66, kTrace}, {66, 64, kFill}, {69, 64, kTrkBack},
          {66, 67, kTrkBack}}},
        {"circle", 0, 1, {{50, 50}},
         {{66, 62, kTrace}, {66, 66, kTrace}, {64, 64, kTrace}, {68, 64, kTrace},
          {66, 64, kFill}, {64, 62, kTrkBack}, {69, 64, kTrkBack}}},
        {"triangle with corners (63, 66), (69, 66), (66, 59)", 0, 3, {{50, 50}},
         {{63, 66, kTrace}, {69, 66, kTrace}, {66, 59, kTrace}, {66, 64, kFill},
          {66, 67, kTrkBack}, {62, 66, kTrkBack}, {66, 58, kTrkBack}}},
        {"diagonal cross", 0, 4, {{50, 50}},
         {{64, 62, kTrace}, {68, 66, kTrace}, {64, 66, kTrace}, {68, 62, kTrace},
          {66, 64, kTrace}, {69, 67, kTrkBack}, {69, 61, kTrkBack}, {66, 63, kTrkBack}}},
        // clang-format on
    };
    x->SetGridVisible(false);
    y->SetGridVisible(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        y->SetRange(c.YMin, c.YMin + 93);
        TnvTraccia* trace = diagram->CreateTraccia("T");
        trace->SetTrkType(c.Type);
        trace->SetDotted(c.Dotted);
        trace->GetLinePen().SetColor(kTrace);
        trace->GetLineBrush().Assign(TnvBrush(kFill, TnvBrushStyle::Solid));
        for (const Tnv2DPoint& p : c.Points)
            trace->AddPoint(false, p.X, p.Y);
        graph.Repaint();
        Expect(c.Pixels);
        diagram->RemoveElement(trace);
    }
}

// Markers need room for their labels: the Y scale gets a six-digit format,
// so it is 5 + 6 w wide (w: width of "0").
class MarkerPaintTest : public DiagramPaintTest {
protected:
    MarkerPaintTest() {
        y->SetText("000000");
        y->GetTextFont().Assign(TnvFont(kClWhite, kFace, -10));
        x->SetGridVisible(false);
        y->SetGridVisible(false);
        marker = diagram->CreateMarker("M");
        marker->SetText("00.0");
        marker->GetLinePen().SetColor(kMarker);
        marker->GetLineBrush().Assign(TnvBrush(kFill, TnvBrushStyle::Solid));
        marker->GetTextPen().SetColor(kBox);
        marker->GetTextBrush().Assign(TnvBrush(kBoxFill, TnvBrushStyle::Solid));
        marker->GetTextFont().Assign(TnvFont(kClWhite, kFace, -10));
        marker->SetMrkType(3);
        x->SetRange(0, 209 - kLeft); // one pixel per unit again
    }
    const int kLeft = 10 + 5 + 6 * Metrics().horizontalAdvance("0") + 1; // the plot's
    const int kTh = Metrics().height();
    TnvMarker* marker = nullptr;
};

TEST_F(MarkerPaintTest, LineSymbolAndLabelBoxOfEachOrientation) {
    marker->SetOrType(orHorizontal);
    marker->SetPoint(100, 70); // row 114 - 70 = 44
    graph.Repaint();
    ASSERT_EQ(diagram->GetPlotArea().Left, kLeft);
    const TnvRect box = marker->GetYLabelBox();
    EXPECT_EQ(box, (TnvRect{kLeft - 10 - Metrics().horizontalAdvance("70.0"), 44 - 3 * (kTh / 4),
                            kLeft - 7, 44 + kTh}));
    // The line ends at E.Right, left out; the triangle's tip at E.Left - 2.
    // clang-format off
    Expect({{kLeft, 44, kMarker}, {208, 44, kMarker}, {209, 44, kTrkBack}, {kLeft - 2, 44, kMarker},
            {kLeft - 5, 44, kFill}, {box.Right - 1, box.Top, kBox},
            {box.Right - 1, box.Bottom - 1, kBox}, {box.Left + 1, box.Top + 1, kBoxFill},
            {box.Right, box.Bottom - 1, kDgrBack}});
    // clang-format on
    EXPECT_EQ(marker->GetXLabelBox(), TnvRect{}); // no vertical part drawn

    // Down to E.Bottom + 1, left out, and the triangle's tip below the plot.
    marker->SetOrType(orVertical);
    graph.Repaint();
    const int mx = kLeft + 100;
    const int w = Metrics().horizontalAdvance("100.0");
    EXPECT_EQ(marker->GetXLabelBox(),
              (TnvRect{mx - w / 2 - 2, 122, mx + w / 2 + 1, 122 + kTh + 3 * (kTh / 4)}));
    Expect({{mx, 21, kMarker}, {mx, 114, kMarker}, {mx, 116, kMarker}, {mx + 1, 60, kTrkBack}});
}

TEST_F(MarkerPaintTest, OnlyPointsInsideTheRangesAreDrawn) {
    graph.Repaint(); // a new marker sits at 1E+99
    EXPECT_EQ(marker->GetYLabelBox(), TnvRect{});
    Expect({{100, 44, kTrkBack}});
    marker->SetOrType(orHorizontal);
    marker->SetPoint(100, 93); // the range's maximum, the plot's top row
    graph.Repaint();
    Expect({{100, 21, kMarker}});
    marker->SetOrType(0);
    marker->SetDotted(2);
    marker->SetPoint(50, 50);
    graph.Repaint();
    Expect({{kLeft + 48, 62, kMarker}, {kLeft + 50, 64, kFill}, {kLeft + 60, 64, kTrkBack}});
    // A hit test takes the label boxes of the marker's orientations, not their border.
    const unsigned hv = orHorizontal | orVertical;
    marker->SetOrType(hv);
    marker->SetPoint(100, 70);
    graph.Repaint();
    const QPoint inY(marker->GetYLabelBox().Left + 1, marker->GetYLabelBox().Top + 1);
    const QPoint inX(marker->GetXLabelBox().Left + 1, marker->GetXLabelBox().Top + 1);
    const QPoint edge = inY - QPoint(1, 0);
    const std::tuple<unsigned, QPoint, int> hits[] = {
        {hv, inY, 2}, {hv, edge, 0}, {hv, inX, 1}, {orHorizontal, inX, 0}, {orVertical, inY, 0}};
    for (const auto& [orType, at, selected] : hits) {
        SCOPED_TRACE(testing::Message() << orType << " at " << at.x() << "," << at.y());
        marker->SetOrType(orType);
        EXPECT_EQ(marker->HitTest(at), selected != 0);
        EXPECT_EQ(marker->GetSelected(), selected);
    }
}

} // namespace
