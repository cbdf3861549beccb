#include "GraphTestSupport.h"
#include "NvDateTime.h"
#include "TnvScala.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// Worked by hand from the rule: shrink by 0.1 while over half the span, then
// grow by 2, 5 or 10 until a division is at least minDistance pixels wide.
TEST(DivisionStepTest, MatchesTheHandWorkedStep) {
    // The step wished, the span, pixels per unit, the least distance, the step.
    const std::tuple<double, double, double, double, double> cases[] = {
        {10, 130, 2.3, 25, 20},  {10, 130, 3.0, 25, 10},
        {10, 130, 1.0, 25, 50},  {10, 130, 0.1, 25, 500},
        {100, 130, 2.3, 25, 20}, {0, 130, 2.3, 25, 0},
        {10, 0, 1.0, 25, 0},     {10, -130, -2.3, 25, 0},
        {-10, 130, 2.3, 25, 20}, // a negative step by its magnitude
        {1e-9, 100, 1.0, 0, 1},  // no label width still ends
    };
    for (const auto& [wished, span, pixelsPerUnit, minDistance, step] : cases)
        EXPECT_NEAR(TnvScala::DivisionStep(wished, span, pixelsPerUnit, minDistance), step,
                    std::abs(step) * 1e-9)
            << wished << " over " << span << " at " << pixelsPerUnit;
}

class ScalaTest : public ::testing::Test {
protected:
    ScalaTest() { diagram = graph.CreateNewDiagram("D"); }
    TnvScala* Make(std::uint8_t align) {
        diagram->CreateScala("S", align);
        return align == 1 || align == 2 ? diagram->GetScalaX() : diagram->GetScalaY();
    }
    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
};

TEST_F(ScalaTest, DivisionsStartAtTheFirstMultipleAboveMinAndLabelTheirTime) {
    TnvScala* scale = Make(2);
    const std::tuple<double, double, double, std::vector<double>> cases[] = {
        // clang-format off
        {0, 130, 20, {20, 40, 60, 80, 100, 120}}, {-35, 40, 20, {-20, 0, 20, 40}},
        {0, 130, 0, {}}, {0, 130, -20, {}}, {0, 130, 1e-12, {}},
        // clang-format on
    };
    for (const auto& [min, max, step, divisions] : cases) {
        scale->SetRange(min, max);
        EXPECT_EQ(scale->Divisions(step), divisions) << min << " by " << step;
    }
    scale->SetRange(5, 5); // a flat range divides by nothing
    EXPECT_DOUBLE_EQ(scale->PixelsPerUnit(), 1.0);
    // Time labels are times, and dates have two lines.
    scale->SetIsTime(true);
    const double start = nv::EncodeDate(2026, 12, 6) + nv::EncodeTime(12, 0, 0, 0);
    scale->SetRange(start, start + 30 * kSecond);
    EXPECT_EQ(scale->LabelText(start), "12:00:00");
    EXPECT_TRUE(scale->SecondLineText(start).isEmpty());
    scale->SetIsDate(true);
    EXPECT_EQ(scale->LabelText(start + 5 * kSecond), "06/12/2026");
    EXPECT_EQ(scale->SecondLineText(start + 5 * kSecond), "12:00:05");
}

// Align 0 makes a vertical scale that draws nothing; an unset (negative) step
// draws without hanging.
TEST_F(ScalaTest, OddScalesDrawNothingOrWithoutHanging) {
    EXPECT_EQ(diagram->CreateScala("Odd", 0), 'Y');
    TnvScala* odd = diagram->GetScalaY();
    odd->SetRange(0, 10);
    odd->SetDivStep(1);
    odd->GetLinePen().SetColor(0x0000FF);
    QImage image = test::White(50, 50);
    {
        TnvCanvas canvas(image);
        odd->SetDrawArea({0, 0, 49, 49});
        odd->SetGridArea({10, 0, 49, 49});
        EXPECT_TRUE(odd->Draw(&canvas));
    }
    EXPECT_EQ(image, test::White(50, 50));

    TnvScala* scale = Make(2);
    scale->SetRange(0, 100);
    EXPECT_DOUBLE_EQ(scale->GetDivStep(), -1.0); // nobody set a step
    TnvCanvas canvas(image);
    scale->SetDrawArea({0, 0, 40, 102});
    scale->SetGridArea({41, 1, 49, 49});
    EXPECT_TRUE(scale->Draw(&canvas));
}

} // namespace
