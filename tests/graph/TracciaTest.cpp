#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

class TracciaTest : public ::testing::Test {
protected:
    TracciaTest() {
        diagram = graph.CreateNewDiagram("D");
        trace = diagram->CreateTraccia("T");
    }
    // XMin, XMax, YMin, YMax.
    std::array<double, 4> Ranges() const {
        return {trace->GetXMin(), trace->GetXMax(), trace->GetYMin(), trace->GetYMax()};
    }
    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
    TnvTraccia* trace = nullptr;
};

TEST_F(TracciaTest, RangesFollowAddedAndRemovedPoints) {
    trace->AddPoint(false, 5, 7);
    EXPECT_EQ(Ranges(), (std::array<double, 4>{5, 5, 7, 7}));
    trace->AddPoint(false, 2, 100);
    trace->AddPoint(false, 3, 6);
    EXPECT_EQ(Ranges(), (std::array<double, 4>{2, 5, 6, 100}));
    trace->RemoveFirst(2);
    EXPECT_EQ(trace->GetCount(), 1);
    EXPECT_EQ(Ranges(), (std::array<double, 4>{3, 3, 6, 6}));
    trace->RemoveFirst(1); // not more points than n: nothing happens
    EXPECT_EQ(trace->GetCount(), 1);
    trace->Clear();
    trace->AddPoint(false, -4, 9);
    EXPECT_EQ(Ranges(), (std::array<double, 4>{-4, -4, 9, 9}));
    trace->Clear();
    trace->AddPoint(true, 1, 1);
    trace->AddPoint(true, 2, 2); // one point cannot shift: it grows to two
    EXPECT_EQ(trace->GetCount(), 2);
    for (int i = 3; i <= 151; ++i)
        trace->AddPoint(trace->GetCount() >= 150, i, i);
    EXPECT_EQ(trace->GetCount(), 150);
    EXPECT_DOUBLE_EQ(trace->GetPoints().front().X, 2);
    EXPECT_DOUBLE_EQ(trace->GetXMin(), 2);
}

TEST_F(TracciaTest, CursorLivesWhileSelected) {
    diagram->CreateScala("X", 2);
    diagram->CreateScala("Y", 3);
    diagram->GetScalaX()->SetRange(0, 100);
    diagram->GetScalaY()->SetRange(0, 50);
    trace->SetDrawArea({10, 10, 112, 62});
    trace->SetSelected(true);
    EXPECT_EQ(trace->GetCursor(), nullptr);
    trace->SetCursorAt(diagram->GetScalaX(), diagram->GetScalaY(), {60, 37});
    ASSERT_NE(trace->GetCursor(), nullptr);
    EXPECT_DOUBLE_EQ(trace->GetCursor()->X, 50.0);
    EXPECT_DOUBLE_EQ(trace->GetCursor()->Y, 25.0);
    trace->SetSelected(false);
    EXPECT_EQ(trace->GetCursor(), nullptr);
    trace->SetCursorAt(diagram->GetScalaX(), nullptr, {60, 37});
    EXPECT_EQ(trace->GetCursor(), nullptr);
}

} // namespace

// A point far off the plot keeps its side when it becomes a pixel, and stays
// within what the painter can rasterise.
TEST(TruncPixel, FarPointsKeepTheirSideWithinThePaintersRange) {
    constexpr double kFar[] = {1e7, 1e12, 1e300, std::numeric_limits<double>::infinity()};
    for (const double far : kFar) {
        SCOPED_TRACE(far);
        EXPECT_GT(nv::TruncPixel(far), 100'000);
        EXPECT_LT(nv::TruncPixel(far), 1 << 24);
        EXPECT_LT(nv::TruncPixel(-far), -100'000);
        EXPECT_GT(nv::TruncPixel(-far), -(1 << 24));
    }
    EXPECT_EQ(nv::TruncPixel(std::nan("")), 0);
    EXPECT_EQ(nv::TruncPixel(-12.7), -12);
}
