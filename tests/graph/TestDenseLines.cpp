// Long traces: wide lines drawn in pieces, lines denser than their pixels
// written straight into the image, and the envelope that thins a trace to
// what its pixels can show.
#include "GraphTestSupport.h"
#include "NvScopeGraph.h"
#include "TnvCanvas.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvTraccia.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <vector>

using test::Pixel;

namespace {

constexpr TnvColor kRed = 0x0000FF;
constexpr TnvColor kWhite = 0xFFFFFF;

QImage White(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A zigzag of n points, step pixels apart horizontally, between rows top and bottom.
std::vector<QPoint> Zigzag(int n, double step, int top, int bottom) {
    std::vector<QPoint> points;
    for (int i = 0; i < n; ++i)
        points.emplace_back(2 + static_cast<int>(i * step), i % 2 ? top : bottom);
    return points;
}

int Differences(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

TEST(DenseLines, AWideLineDrawnInPiecesHasThePixelsOfOneStroke) {
    const std::vector<QPoint> points = Zigzag(100, 3, 5, 40);
    QImage ours = White(320, 50);
    {
        TnvCanvas canvas(ours);
        canvas.Pen().Assign(TnvPen(kRed, TnvPenMode::Copy, TnvPenStyle::Solid, 2));
        canvas.Polyline(points.data(), static_cast<int>(points.size()));
        canvas.End();
    }
    QImage whole = White(320, 50);
    {
        QPainter painter(&whole);
        painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    EXPECT_EQ(Differences(ours, whole), 0);
}

TEST(DenseLines, ADenseLineCoversItsSpanAndStaysInTheClip) {
    // 400 points over 100 columns, swinging between rows 10 and 30.
    const std::vector<QPoint> points = Zigzag(400, 0.25, 10, 30);
    struct TCase {
        const char* Name;
        TnvPenStyle Style;
        int Width;
    };
    const TCase cases[] = {{"thin", TnvPenStyle::Solid, 1},
                           {"wide", TnvPenStyle::Solid, 2},
                           {"dotted", TnvPenStyle::Dot, 1}};
    for (const TCase& c : cases) {
        QImage image = White(120, 40);
        TnvCanvas canvas(image);
        canvas.SetClipRect({0, 0, 60, 40}); // the right half is outside
        canvas.Pen().Assign(TnvPen(kRed, TnvPenMode::Copy, c.Style, c.Width));
        canvas.Polyline(points.data(), static_cast<int>(points.size()));
        canvas.End();
        int inColumn = 0; // red pixels in a column inside the clip
        for (int y = 0; y < 40; ++y)
            inColumn += Pixel(image, 30, y) == kRed ? 1 : 0;
        int outside = 0;
        for (int x = 61; x < 120; ++x)
            for (int y = 0; y < 40; ++y)
                outside += Pixel(image, x, y) == kRed ? 1 : 0;
        EXPECT_EQ(outside, 0) << c.Name;
        if (c.Style == TnvPenStyle::Solid) {
            EXPECT_EQ(Pixel(image, 30, 10), kRed) << c.Name;
            EXPECT_EQ(Pixel(image, 30, 30), kRed) << c.Name;
            EXPECT_GE(inColumn, 21) << c.Name << ": the column from 10 to 30";
            EXPECT_EQ(Pixel(image, 30, 9), kWhite) << c.Name;
            EXPECT_EQ(Pixel(image, 30, 30 + c.Width), kWhite) << c.Name;
        } else {
            EXPECT_GT(inColumn, 0) << c.Name;
            EXPECT_LT(inColumn, 21) << c.Name << ": the dots leave gaps";
        }
    }
}

TEST(DenseLines, AWildSampleFarOutsideCostsNoPixels) {
    std::vector<QPoint> points = Zigzag(400, 0.25, 10, 30);
    points[200] = QPoint(50, -2000000000);
    QImage image = White(120, 40);
    TnvCanvas canvas(image);
    canvas.Pen().Assign(TnvPen(kRed, TnvPenMode::Copy, TnvPenStyle::Solid, 2));
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
    canvas.End();
    EXPECT_EQ(Pixel(image, 20, 20), kRed);
}

TEST(Envelope, KeepsFewPointsAndThinsManyToTheirExtremes) {
    TnvGraph graph;
    TnvDiagram* d = graph.CreateNewDiagram("D");
    TnvTraccia* trace = d->CreateTraccia("T");
    struct TCase {
        int Points;
        int Columns;
        int Expected; // points kept
    };
    for (const TCase& c :
         {TCase{10, 100, 10}, TCase{200, 100, 200}, TCase{10000, 100, 200}, TCase{10000, 0, 2}}) {
        std::vector<Tnv2DPoint> points;
        for (int i = 0; i < c.Points; ++i)
            points.push_back({static_cast<double>(i), (i * 7919) % 1000 - 500.0});
        points[static_cast<std::size_t>(c.Points / 3)].Y = 9999;  // the highest sample
        points[static_cast<std::size_t>(c.Points / 2)].Y = -9999; // the lowest
        nv::FillEnvelope(*trace, points, c.Columns);
        EXPECT_EQ(trace->GetCount(), c.Expected) << c.Points << " over " << c.Columns;
        EXPECT_EQ(trace->GetYMax(), 9999) << c.Points;
        EXPECT_EQ(trace->GetYMin(), -9999) << c.Points;
        const std::vector<Tnv2DPoint>& kept = trace->GetPoints();
        for (std::size_t i = 1; i < kept.size(); ++i)
            ASSERT_LT(kept[i - 1].X, kept[i].X) << "in time order";
    }
}

} // namespace
