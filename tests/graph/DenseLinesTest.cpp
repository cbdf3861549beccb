// Long traces: wide lines drawn in pieces, lines denser than their pixels
// written straight into the image, and the envelope that thins a trace to
// what its pixels can show.
#include "GraphTestSupport.h"
#include "NvScopeGraph.h"
#include "TnvCanvas.h"
#include "TnvTraccia.h"

#include <QPainter>

using namespace test;

namespace {

// A zigzag of n points, step pixels apart horizontally, between rows top and bottom.
std::vector<QPoint> Zigzag(int n, double step, int top, int bottom) {
    std::vector<QPoint> points;
    for (int i = 0; i < n; ++i)
        points.emplace_back(2 + static_cast<int>(i * step), i % 2 ? top : bottom);
    return points;
}

QImage Draw(const std::vector<QPoint>& points, TnvPenStyle style, int width, int clipRight) {
    QImage image = White(320, 50);
    TnvCanvas canvas(image);
    canvas.SetClipRect({0, 0, clipRight, 50});
    canvas.Pen().Assign(TnvPen(kRed, TnvPenMode::Copy, style, width));
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
    canvas.End();
    return image;
}

// A wide line drawn in pieces has the pixels of one stroke.
TEST(DenseLinesTest, WideAndDenseLinesKeepTheirPixelsAndTheClip) {
    const std::vector<QPoint> points = Zigzag(100, 3, 5, 40);
    QImage whole = White(320, 50);
    {
        QPainter painter(&whole);
        painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    EXPECT_EQ(Draw(points, TnvPenStyle::Solid, 2, 320), whole);
    // 400 points over 100 columns swinging between rows 10 and 30, the right half
    // clipped; one of them wildly far outside.
    std::vector<QPoint> dense = Zigzag(400, 0.25, 10, 30);
    dense[201] = QPoint(52, -2000000000);
    for (const auto& [style, width] :
         {std::pair{TnvPenStyle::Solid, 1}, std::pair{TnvPenStyle::Solid, 2},
          std::pair{TnvPenStyle::Dot, 1}}) {
        SCOPED_TRACE(width + 10 * int(style));
        const QImage image = Draw(dense, style, width, 60);
        int inColumn = 0;
        for (int y = 0; y < 50; ++y)
            inColumn += Pixel(image, 30, y) == kRed;
        EXPECT_EQ(image.copy(61, 0, 259, 50), White(259, 50)) << "nothing right of the clip";
        if (style == TnvPenStyle::Solid) {
            ExpectPixels(image, {{30, 10, kRed}, {30, 30, kRed}, {20, 20, kRed}, {30, 9, kWhite}});
            EXPECT_EQ(Pixel(image, 30, 30 + width), kWhite);
            EXPECT_GE(inColumn, 21) << "the column from 10 to 30";
        } else {
            EXPECT_GT(inColumn, 0);
            EXPECT_LT(inColumn, 21) << "the dots leave gaps";
        }
    }
}

TEST(DenseLinesTest, TheEnvelopeKeepsFewPointsAndThinsManyToTheirExtremes) {
    TnvGraph graph;
    TnvTraccia* trace = graph.CreateNewDiagram("D")->CreateTraccia("T");
    // Points, pixel columns, points kept.
    const std::tuple<int, int, int> cases[] = {
        {10, 100, 10}, {200, 100, 200}, {10000, 100, 200}, {10000, 0, 2}};
    for (const auto& [count, columns, thinned] : cases) {
        SCOPED_TRACE(count);
        std::vector<Tnv2DPoint> points;
        for (int i = 0; i < count; ++i)
            points.push_back({static_cast<double>(i), (i * 7919) % 1000 - 500.0});
        points[static_cast<std::size_t>(count / 3)].Y = 9999;
        points[static_cast<std::size_t>(count / 2)].Y = -9999;
        nv::FillEnvelope(*trace, points, columns);
        EXPECT_EQ(trace->GetCount(), thinned);
        EXPECT_EQ(trace->GetYMax(), 9999);
        EXPECT_EQ(trace->GetYMin(), -9999);
        const std::vector<Tnv2DPoint>& kept = trace->GetPoints();
        for (std::size_t i = 1; i < kept.size(); ++i)
            ASSERT_LT(kept[i - 1].X, kept[i].X) << "in time order";
    }
}

} // namespace
