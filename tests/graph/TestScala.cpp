#include "GraphTestSupport.h"
#include "NvDateTime.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvScala.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct StepCase {
    const char* name;
    double wished;
    double span;
    double pixelsPerUnit;
    double minDistance;
    double expected;
};

class DivisionStepTest : public ::testing::TestWithParam<StepCase> {};

constexpr double kSecond = 1.0 / 86400.0;

// Worked by hand from the rule: shrink by 0.1 while over half the span, then
// grow by 2, 5 or 10 until a division is at least minDistance pixels wide.
const StepCase kStepCases[] = {
    {"FrequencyScaleShortAxis", 10, 130, 2.3, 25, 20},
    {"FrequencyScaleTallAxis", 10, 130, 3.0, 25, 10},
    {"GrowsByFive", 10, 130, 1.0, 25, 50},
    {"GrowsTwice", 10, 130, 0.1, 25, 500},
    {"ShrinksToFitTheSpan", 100, 130, 2.3, 25, 20},
    {"ThirtySecondsWide", 10 * kSecond, 30 * kSecond, 300 / (30 * kSecond), 40, 10 * kSecond},
    {"ThirtySecondsNarrow", 10 * kSecond, 30 * kSecond, 100 / (30 * kSecond), 40, 20 * kSecond},
    {"ZeroStep", 0, 130, 2.3, 25, 0},
    {"ZeroSpan", 10, 0, 1.0, 25, 0},
    {"NegativeSpan", 10, -130, -2.3, 25, 0},
    {"NegativeStepByMagnitude", -10, 130, 2.3, 25, 20},
    {"NoLabelWidthStillEnds", 1e-9, 100, 1.0, 0, 1},
};

TEST_P(DivisionStepTest, MatchesTheHandWorkedStep) {
    const StepCase& c = GetParam();
    EXPECT_NEAR(TnvScala::DivisionStep(c.wished, c.span, c.pixelsPerUnit, c.minDistance),
                c.expected, std::abs(c.expected) * 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Table, DivisionStepTest, ::testing::ValuesIn(kStepCases),
                         [](const auto& param) { return std::string(param.param.name); });

class ScalaTest : public ::testing::Test {
protected:
    ScalaTest() {
        diagram = graph.CreateNewDiagram("D");
        graph.OnRefreshQuery = [this](TnvGraph*, QImage&, bool&) {
            ++queries;
        };
    }
    TnvScala* Make(std::uint8_t align) {
        diagram->CreateScala("S", align);
        return align == 1 || align == 2 ? diagram->GetScalaX() : diagram->GetScalaY();
    }
    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
    int queries = 0;
};

TEST_F(ScalaTest, FrequencyScaleDivisions) {
    TnvScala* scale = Make(3);
    scale->SetRange(0, 130);
    const std::vector<double> tens = scale->Divisions(10);
    ASSERT_EQ(tens.size(), 13u);
    EXPECT_DOUBLE_EQ(tens.front(), 10);
    EXPECT_DOUBLE_EQ(tens.back(), 130);
    const std::vector<double> twenties = scale->Divisions(20);
    ASSERT_EQ(twenties.size(), 6u);
    EXPECT_DOUBLE_EQ(twenties.back(), 120);
}

TEST_F(ScalaTest, DivisionsStartAtTheFirstMultipleAboveMin) {
    TnvScala* scale = Make(2);
    scale->SetRange(-35, 40);
    const std::vector<double> d = scale->Divisions(20);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_DOUBLE_EQ(d[0], -20);
    EXPECT_DOUBLE_EQ(d[3], 40);
    EXPECT_TRUE(scale->Divisions(0).empty());
    EXPECT_TRUE(scale->Divisions(-20).empty());
    EXPECT_TRUE(scale->Divisions(1e-12).empty());
}

TEST_F(ScalaTest, TimeScaleLabelsAreTimes) {
    TnvScala* scale = Make(2);
    scale->SetIsTime(true);
    const double start = nv::Date() + nv::EncodeTime(12, 0, 0, 0);
    scale->SetRange(start, start + 30 * kSecond);
    EXPECT_EQ(scale->LabelText(scale->GetMin()), "12:00:00");
    EXPECT_EQ(scale->LabelText(scale->GetMax()), "12:00:30");
    const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d$");
    const std::vector<double> d = scale->Divisions(10 * kSecond);
    ASSERT_GE(d.size(), 2u);
    for (double v : d)
        EXPECT_TRUE(time.match(scale->LabelText(v)).hasMatch())
            << scale->LabelText(v).toStdString();
    EXPECT_TRUE(scale->SecondLineText(start).isEmpty());
}

TEST_F(ScalaTest, DateAndTimeLabelsHaveTwoLines) {
    TnvScala* scale = Make(2);
    scale->SetIsDate(true);
    scale->SetIsTime(true);
    const double v = nv::EncodeDate(2026, 12, 6) + nv::EncodeTime(8, 30, 5, 0);
    EXPECT_EQ(scale->LabelText(v), "06/12/2026");
    EXPECT_EQ(scale->SecondLineText(v), "08:30:05");
}

TEST_F(ScalaTest, NumberLabelsUseTheFormat) {
    TnvScala* scale = Make(3);
    scale->SetText("000.0");
    EXPECT_EQ(scale->LabelText(12.34), "012.3");
}

TEST_F(ScalaTest, SetRangeWithTheCurrentValuesDoesNotRepaint) {
    TnvScala* scale = Make(3);
    scale->SetRange(0, 10);
    const int before = queries;
    scale->SetRange(0, 10);
    EXPECT_EQ(queries, before);
    scale->SetRange(0, 11);
    EXPECT_EQ(queries, before + 1);
}

TEST_F(ScalaTest, PixelsPerUnitFollowsTheArea) {
    TnvScala* scale = Make(2);
    scale->SetDrawArea({0, 0, 102, 10});
    EXPECT_DOUBLE_EQ(scale->PixelsPerUnit(), 1.0); // span 0
    scale->SetRange(0, 50);
    EXPECT_DOUBLE_EQ(scale->PixelsPerUnit(), 2.0);
    scale->SetRange(50, 0);
    EXPECT_DOUBLE_EQ(scale->PixelsPerUnit(), -2.0);
}

TEST_F(ScalaTest, AlignZeroIsVerticalAndDrawsNothing) {
    EXPECT_EQ(diagram->CreateScala("Odd", 0), 'Y');
    EXPECT_EQ(diagram->CreateScala("X", 2), 'X');
    diagram->SetVisible(true);
    EXPECT_TRUE(diagram->IsComplete());
    TnvScala* odd = diagram->GetScalaY();
    odd->SetRange(0, 10);
    odd->SetDivStep(1);
    odd->GetLinePen().SetColor(0x0000FF);
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        TnvCanvas canvas(image);
        odd->SetDrawArea({0, 0, 49, 49});
        odd->SetGridArea({10, 0, 49, 49});
        EXPECT_TRUE(odd->Draw(&canvas));
    }
    for (int yy = 0; yy < 50; ++yy)
        for (int xx = 0; xx < 50; ++xx)
            ASSERT_EQ(test::Pixel(image, xx, yy), 0xFFFFFF);
}

TEST_F(ScalaTest, NegativeStepDrawsWithoutHanging) {
    TnvScala* scale = Make(3);
    scale->SetRange(0, 100);
    EXPECT_DOUBLE_EQ(scale->GetDivStep(), -1.0); // nobody set a step
    QImage image(60, 120, QImage::Format_RGB32);
    TnvCanvas canvas(image);
    scale->SetDrawArea({0, 0, 40, 102});
    scale->SetGridArea({41, 1, 59, 101});
    EXPECT_TRUE(scale->Draw(&canvas));
}

} // namespace
