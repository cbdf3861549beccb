#include "GraphTestSupport.h"
#include "TnvCanvas.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <numeric>

using namespace test;

namespace {

void UsePen(TnvCanvas& c, TnvColor color, TnvPenMode mode = TnvPenMode::Copy,
            TnvPenStyle style = TnvPenStyle::Solid) {
    c.Pen().Assign(TnvPen(color, mode, style, 1));
}

void Line(TnvCanvas& c, int x1, int y1, int x2, int y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

// Each shape in a red pen on a white 40x30 image, and the pixels that show its edges.
TEST(CanvasTest, ShapesFollowTheExclusiveEdgeRules) {
    const std::tuple<const char*, std::function<void(TnvCanvas&)>, std::vector<TPixel>> cases[] = {
        // clang-format off
        {"lines leave out their end, whichever way they run",
         [](TnvCanvas& c) { Line(c, 2, 5, 10, 5), Line(c, 5, 20, 5, 10), Line(c, 30, 25, 25, 20); },
         {{2, 5, kRed}, {9, 5, kRed}, {10, 5, kWhite}, {1, 5, kWhite}, {5, 20, kRed}, {5, 11, kRed},
          {5, 10, kWhite}, {30, 25, kRed}, {26, 21, kRed}, {25, 20, kWhite}}},
        {"a polyline keeps every joint and leaves out the last point",
         [](TnvCanvas& c) {
             const QPoint points[] = {{2, 20}, {10, 20}, {10, 5}, {3, 5}};
             c.Polyline(points, 4);
         },
         {{2, 20, kRed}, {10, 20, kRed}, {10, 5, kRed}, {4, 5, kRed}, {3, 5, kWhite}}},
        {"a rectangle has an exclusive corner and a filled inside",
         [](TnvCanvas& c) {
             c.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Solid));
             c.Rectangle(5, 5, 15, 12);
         },
         {{5, 5, kRed}, {14, 11, kRed}, {14, 8, kRed}, {10, 11, kRed}, {10, 8, kBlue},
          {15, 8, kWhite}, {10, 12, kWhite}}},
        {"a clear brush leaves the inside, a one-wide rectangle is a column",
         [](TnvCanvas& c) {
             c.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Clear));
             c.Rectangle(5, 5, 15, 12);
             c.Rectangle(30, 3, 31, 9);
         },
         {{10, 8, kWhite}, {5, 8, kRed}, {30, 3, kRed}, {30, 8, kRed}, {30, 9, kWhite},
          {31, 5, kWhite}}},
        {"the clip leaves out its right and bottom edges",
         [](TnvCanvas& c) {
             c.SetClipRect({5, 5, 10, 10});
             c.Brush().Assign(TnvBrush(kRed, TnvBrushStyle::Solid));
             c.Rectangle(0, 0, 20, 20);
         },
         {{5, 5, kRed}, {9, 9, kRed}, {10, 9, kWhite}, {9, 10, kWhite}, {4, 5, kWhite}}},
        {"nop and clear pens draw nothing",
         [](TnvCanvas& c) {
             UsePen(c, kRed, TnvPenMode::Nop);
             Line(c, 0, 3, 10, 3);
             UsePen(c, kRed, TnvPenMode::Copy, TnvPenStyle::Clear);
             Line(c, 0, 4, 10, 4);
         },
         {{5, 3, kWhite}, {5, 4, kWhite}}},
        {"xor inverts what lies below, and a second time restores it",
         [](TnvCanvas& c) {
             c.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Solid));
             c.FillRect(0, 0, 20, 10);
             UsePen(c, kRed, TnvPenMode::Xor);
             Line(c, 0, 3, 10, 3), Line(c, 0, 4, 10, 4), Line(c, 0, 4, 10, 4);
         },
         {{5, 3, 0xFF00FF}, {5, 4, kBlue}}},
        {"shapes as wide as an int fill what the image shows of them",
         [](TnvCanvas& c) {
             c.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Solid));
             c.FillRect(INT32_MIN, INT32_MIN, INT32_MAX, 10);
             c.Rectangle(INT32_MIN, 15, INT32_MAX, INT32_MAX);
             c.Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX); // too vast to draw
             c.SetClipRect({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
             c.TextOut(INT32_MAX - 2, 0, "far");
         },
         {{0, 0, kBlue}, {39, 9, kBlue}, {20, 12, kWhite}, {0, 15, kRed}, {0, 16, kBlue},
          {39, 29, kBlue}}},
        // clang-format on
    };
    for (const auto& [name, draw, pixels] : cases) {
        SCOPED_TRACE(name);
        QImage image = White(40, 30);
        TnvCanvas canvas(image);
        UsePen(canvas, kRed);
        draw(canvas);
        canvas.End();
        ExpectPixels(image, pixels);
    }
}

// Dashed lines follow their pattern from their start, also when they come from
// far outside the image: only the visible stretch is walked, in its phase.
TEST(CanvasTest, StraightLinesKeepTheirDashPhase) {
    // The style, its pattern of dashes and gaps, the line's ends.
    const std::tuple<TnvPenStyle, std::vector<int>, QPoint, QPoint> cases[] = {
        // clang-format off
        {TnvPenStyle::Dot, {3, 3}, {0, 3}, {30, 3}}, {TnvPenStyle::Dot, {3, 3}, {20, 29}, {20, 0}},
        {TnvPenStyle::Dash, {18, 6}, {-1'000'000'007, 3}, {35, 3}},
        {TnvPenStyle::DashDot, {9, 6, 3, 6}, {2'000'000'011, 5}, {3, 5}},
        {TnvPenStyle::DashDotDot, {9, 3, 3, 3, 3, 3}, {7, INT32_MIN}, {7, 25}},
        {TnvPenStyle::Dot, {3, 3}, {9, INT32_MAX}, {9, 2}},
        {TnvPenStyle::Solid, {1, 0}, {INT32_MIN, 12}, {INT32_MAX, 12}},
        // clang-format on
    };
    for (const auto& [style, pattern, from, to] : cases) {
        QImage image = White(40, 30);
        TnvCanvas canvas(image);
        UsePen(canvas, kRed, TnvPenMode::Copy, style);
        Line(canvas, from.x(), from.y(), to.x(), to.y());
        canvas.End();
        const bool horizontal = from.y() == to.y();
        const int64_t start = horizontal ? from.x() : from.y();
        const int64_t end = horizontal ? to.x() : to.y();
        const int64_t period = std::accumulate(pattern.begin(), pattern.end(), int64_t{0});
        const int extent = horizontal ? image.width() : image.height();
        for (int along = 0; along < extent; ++along) {
            int64_t into = std::abs(along - start) % period;
            size_t run = 0;
            while (into >= pattern[run])
                into -= pattern[run++];
            const bool on = along >= std::min(start, end) && along <= std::max(start, end) &&
                            along != end && run % 2 == 0;
            const int x = horizontal ? along : from.x();
            const int y = horizontal ? from.y() : along;
            ASSERT_EQ(Pixel(image, x, y), on ? kRed : kWhite)
                << "style " << int(style) << " from " << start << " at " << along;
        }
    }
}

} // namespace
