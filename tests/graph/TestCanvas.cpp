#include "GraphTestSupport.h"
#include "TnvCanvas.h"

#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using test::Pixel;

namespace {

constexpr TnvColor kRed = 0x0000FF;
constexpr TnvColor kBlue = 0xFF0000;
constexpr TnvColor kWhite = 0xFFFFFF;

class CanvasTest : public ::testing::Test {
protected:
    CanvasTest()
        : image(40, 30, QImage::Format_RGB32) {
        image.fill(Qt::white);
    }
    void UsePen(TnvColor color, TnvPenMode mode = TnvPenMode::Copy,
                TnvPenStyle style = TnvPenStyle::Solid, int width = 1) {
        canvas.Pen().Assign(TnvPen(color, mode, style, width));
    }
    QImage image;
    TnvCanvas canvas{image};
};

TEST(ColorTest, StoredColoursAreBlueGreenRed) {
    EXPECT_EQ(nv::ToQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(nv::ToQColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(nv::ToQColor(0x808000), QColor(0, 128, 128));
    EXPECT_EQ(nv::ToQColor(kClBtnFace), QColor(240, 240, 240));
}

TEST_F(CanvasTest, LineLeavesOutItsEndPoint) {
    UsePen(kRed);
    canvas.MoveTo(2, 5);
    canvas.LineTo(10, 5);
    canvas.MoveTo(20, 2);
    canvas.LineTo(25, 7);
    canvas.End();
    EXPECT_EQ(Pixel(image, 2, 5), kRed);
    EXPECT_EQ(Pixel(image, 9, 5), kRed);
    EXPECT_EQ(Pixel(image, 10, 5), kWhite);
    EXPECT_EQ(Pixel(image, 1, 5), kWhite);
    EXPECT_EQ(Pixel(image, 20, 2), kRed);
    EXPECT_EQ(Pixel(image, 24, 6), kRed);
    EXPECT_EQ(Pixel(image, 25, 7), kWhite);
}

TEST_F(CanvasTest, LinesRunningBackKeepTheirStartAndLeaveOutTheirEnd) {
    UsePen(kRed);
    canvas.MoveTo(5, 20);
    canvas.LineTo(5, 10); // up
    canvas.MoveTo(20, 8);
    canvas.LineTo(10, 8); // left
    canvas.MoveTo(30, 25);
    canvas.LineTo(25, 20); // up and left
    canvas.End();
    EXPECT_EQ(Pixel(image, 5, 20), kRed);
    EXPECT_EQ(Pixel(image, 5, 11), kRed);
    EXPECT_EQ(Pixel(image, 5, 10), kWhite);
    EXPECT_EQ(Pixel(image, 20, 8), kRed);
    EXPECT_EQ(Pixel(image, 11, 8), kRed);
    EXPECT_EQ(Pixel(image, 10, 8), kWhite);
    EXPECT_EQ(Pixel(image, 30, 25), kRed);
    EXPECT_EQ(Pixel(image, 26, 21), kRed);
    EXPECT_EQ(Pixel(image, 25, 20), kWhite);
}

TEST_F(CanvasTest, PolylineKeepsEveryJointAndLeavesOutTheLastPoint) {
    UsePen(kRed);
    // Right, then up (the joint is lost by the painter's own rule), then left.
    const QPoint points[] = {{2, 20}, {10, 20}, {10, 5}, {3, 5}};
    canvas.Polyline(points, 4);
    canvas.End();
    EXPECT_EQ(Pixel(image, 2, 20), kRed);
    EXPECT_EQ(Pixel(image, 10, 20), kRed);
    EXPECT_EQ(Pixel(image, 10, 5), kRed);
    EXPECT_EQ(Pixel(image, 4, 5), kRed);
    EXPECT_EQ(Pixel(image, 3, 5), kWhite);
}

TEST_F(CanvasTest, PolylineJoinsAndLeavesOutOnlyTheLastPoint) {
    UsePen(kRed);
    const QPoint points[] = {{2, 2}, {8, 2}, {8, 9}};
    canvas.Polyline(points, 3);
    canvas.End();
    EXPECT_EQ(Pixel(image, 2, 2), kRed);
    EXPECT_EQ(Pixel(image, 8, 2), kRed); // the corner
    EXPECT_EQ(Pixel(image, 8, 8), kRed);
    EXPECT_EQ(Pixel(image, 8, 9), kWhite);
}

TEST_F(CanvasTest, RectangleHasAnExclusiveCorner) {
    UsePen(kRed);
    canvas.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Solid));
    canvas.Rectangle(5, 5, 15, 12);
    canvas.End();
    EXPECT_EQ(Pixel(image, 5, 5), kRed);
    EXPECT_EQ(Pixel(image, 14, 11), kRed);
    EXPECT_EQ(Pixel(image, 14, 8), kRed);
    EXPECT_EQ(Pixel(image, 10, 11), kRed);
    EXPECT_EQ(Pixel(image, 10, 8), kBlue);
    EXPECT_EQ(Pixel(image, 15, 8), kWhite);
    EXPECT_EQ(Pixel(image, 10, 12), kWhite);
}

TEST_F(CanvasTest, ClearBrushLeavesTheInside) {
    UsePen(kRed);
    canvas.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Clear));
    canvas.Rectangle(5, 5, 15, 12);
    canvas.End();
    EXPECT_EQ(Pixel(image, 10, 8), kWhite);
    EXPECT_EQ(Pixel(image, 5, 8), kRed);
}

TEST_F(CanvasTest, OnePixelWideRectangleIsAColumn) {
    UsePen(kRed);
    canvas.Rectangle(7, 3, 8, 9);
    canvas.End();
    EXPECT_EQ(Pixel(image, 7, 3), kRed);
    EXPECT_EQ(Pixel(image, 7, 8), kRed);
    EXPECT_EQ(Pixel(image, 7, 9), kWhite);
    EXPECT_EQ(Pixel(image, 8, 5), kWhite);
}

TEST_F(CanvasTest, ClipExcludesRightAndBottom) {
    canvas.SetClipRect({5, 5, 10, 10});
    UsePen(kRed);
    canvas.Brush().Assign(TnvBrush(kRed, TnvBrushStyle::Solid));
    canvas.Rectangle(0, 0, 20, 20);
    canvas.End();
    EXPECT_EQ(Pixel(image, 5, 5), kRed);
    EXPECT_EQ(Pixel(image, 9, 9), kRed);
    EXPECT_EQ(Pixel(image, 10, 9), kWhite);
    EXPECT_EQ(Pixel(image, 9, 10), kWhite);
    EXPECT_EQ(Pixel(image, 4, 5), kWhite);
}

TEST_F(CanvasTest, XorModeInvertsTwice) {
    image.fill(QColor(0x12, 0x34, 0x56));
    UsePen(kWhite, TnvPenMode::Xor);
    canvas.MoveTo(0, 3);
    canvas.LineTo(10, 3);
    canvas.MoveTo(0, 4);
    canvas.LineTo(10, 4);
    canvas.MoveTo(0, 4);
    canvas.LineTo(10, 4);
    canvas.End();
    EXPECT_EQ(Pixel(image, 5, 3), 0xA9CBED);
    EXPECT_EQ(Pixel(image, 5, 4), 0x563412);
}

TEST_F(CanvasTest, NopAndClearPensDrawNothing) {
    UsePen(kRed, TnvPenMode::Nop);
    canvas.MoveTo(0, 3);
    canvas.LineTo(10, 3);
    UsePen(kRed, TnvPenMode::Copy, TnvPenStyle::Clear);
    canvas.MoveTo(0, 4);
    canvas.LineTo(10, 4);
    canvas.End();
    EXPECT_EQ(Pixel(image, 5, 3), kWhite);
    EXPECT_EQ(Pixel(image, 5, 4), kWhite);
}

TEST_F(CanvasTest, DotPenLeavesGaps) {
    UsePen(kRed, TnvPenMode::Copy, TnvPenStyle::Dot);
    canvas.MoveTo(0, 3);
    canvas.LineTo(30, 3);
    canvas.End();
    int painted = 0;
    for (int x = 0; x < 30; ++x)
        painted += Pixel(image, x, 3) == kRed;
    EXPECT_EQ(Pixel(image, 0, 3), kRed);
    EXPECT_GT(painted, 10);
    EXPECT_LT(painted, 20);
}

TEST_F(CanvasTest, StraightDashedLinesFollowThePatternFromTheirStart) {
    UsePen(kRed, TnvPenMode::Copy, TnvPenStyle::Dot);
    canvas.MoveTo(0, 3);
    canvas.LineTo(30, 3);
    canvas.SetClipRect({0, 0, 40, 25});
    canvas.MoveTo(35, 29);
    canvas.LineTo(35, 0); // upward, its lowest rows clipped
    canvas.End();
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(Pixel(image, x, 3), x % 6 < 3 ? kRed : kWhite) << x;
    EXPECT_EQ(Pixel(image, 30, 3), kWhite);
    for (int y = 1; y < 30; ++y) {
        const bool on = (29 - y) % 6 < 3 && y < 25;
        EXPECT_EQ(Pixel(image, 35, y), on ? kRed : kWhite) << y;
    }
    EXPECT_EQ(Pixel(image, 35, 0), kWhite); // the end is left out
}

// Lines from far outside the image: only their visible stretch is walked, in
// the dash phase it has there.
TEST_F(CanvasTest, FarStraightLinesKeepTheirDashPhase) {
    const struct {
        TnvPenStyle Style;
        std::vector<int> Pattern;
        QPoint From;
        QPoint To;
    } cases[] = {
        {TnvPenStyle::Dash, {18, 6}, {-1'000'000'007, 3}, {35, 3}},
        {TnvPenStyle::DashDot, {9, 6, 3, 6}, {2'000'000'011, 5}, {3, 5}},
        {TnvPenStyle::DashDotDot, {9, 3, 3, 3, 3, 3}, {7, INT32_MIN}, {7, 25}},
        {TnvPenStyle::Dot, {3, 3}, {9, INT32_MAX}, {9, 2}},
        {TnvPenStyle::Solid, {1, 0}, {INT32_MIN, 12}, {INT32_MAX, 12}},
    };
    for (const auto& c : cases) {
        image.fill(Qt::white);
        UsePen(kRed, TnvPenMode::Copy, c.Style);
        canvas.MoveTo(c.From.x(), c.From.y());
        canvas.LineTo(c.To.x(), c.To.y());
        canvas.End();
        const bool horizontal = c.From.y() == c.To.y();
        const int64_t start = horizontal ? c.From.x() : c.From.y();
        const int64_t end = horizontal ? c.To.x() : c.To.y();
        const int64_t period = std::accumulate(c.Pattern.begin(), c.Pattern.end(), int64_t{0});
        const int extent = horizontal ? image.width() : image.height();
        for (int along = 0; along < extent; ++along) {
            int64_t into = std::abs(along - start) % period;
            size_t run = 0;
            while (into >= c.Pattern[run])
                into -= c.Pattern[run++];
            const bool on = along >= std::min(start, end) && along <= std::max(start, end) &&
                            along != end && run % 2 == 0;
            const int x = horizontal ? along : c.From.x();
            const int y = horizontal ? c.From.y() : along;
            ASSERT_EQ(Pixel(image, x, y), on ? kRed : kWhite)
                << "style " << int(c.Style) << " at " << along;
        }
    }
}

// Shapes as wide as an int reaches fill what the image shows of them.
TEST_F(CanvasTest, ShapesOfAnyExtentAreCutToTheImage) {
    UsePen(kRed);
    canvas.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Solid));
    canvas.FillRect(INT32_MIN, INT32_MIN, INT32_MAX, 10);
    canvas.Rectangle(INT32_MIN, 15, INT32_MAX, INT32_MAX);
    canvas.Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX); // too vast to draw
    canvas.SetClipRect({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    canvas.TextOut(INT32_MAX - 2, 0, "far");
    canvas.End();
    EXPECT_EQ(Pixel(image, 0, 0), kBlue);
    EXPECT_EQ(Pixel(image, 39, 9), kBlue);
    EXPECT_EQ(Pixel(image, 20, 12), kWhite);
    EXPECT_EQ(Pixel(image, 0, 15), kRed); // the top side; the others lie beyond the image
    EXPECT_EQ(Pixel(image, 0, 16), kBlue);
    EXPECT_EQ(Pixel(image, 39, 29), kBlue);
}

TEST_F(CanvasTest, OpaqueTextFillsItsCell) {
    canvas.Font().Assign(TnvFont(kRed, test::kFace, -10));
    canvas.Brush().Assign(TnvBrush(kBlue, TnvBrushStyle::Solid));
    canvas.TextOut(3, 4, "0");
    const int w = canvas.TextWidth("0");
    const int h = canvas.TextHeight("0");
    canvas.End();
    EXPECT_EQ(w, test::Metrics().horizontalAdvance("0"));
    EXPECT_EQ(h, test::Metrics().height());
    EXPECT_EQ(Pixel(image, 3, 4), kBlue);
    EXPECT_EQ(Pixel(image, 3 + w - 1, 4 + h - 1), kBlue);
    EXPECT_EQ(Pixel(image, 3 + w, 4), kWhite);
}

TEST(FontTest, MissingFacesFallBackToCloseOnes) {
    EXPECT_EQ(TnvFont::ResolveFamily("Arial Narrow"), "Liberation Sans Narrow");
    EXPECT_EQ(TnvFont::ResolveFamily("Courier"), "Liberation Mono");
    EXPECT_EQ(TnvFont::ResolveFamily("No Such Face"), "DejaVu Sans");
    EXPECT_EQ(TnvFont(0, "Arial Narrow", -10).GetName(), "Arial Narrow");
}

} // namespace
