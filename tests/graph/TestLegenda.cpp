#include "GraphTestSupport.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvLegenda.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <gtest/gtest.h>

namespace {

class LegendaTest : public ::testing::Test {
protected:
    LegendaTest() {
        diagram = graph.CreateNewDiagram("D");
        diagram->SetArea(10, 20, 300, 200);
        diagram->SetVisible(true);
        diagram->CreateScala("X", 2);
        diagram->CreateScala("Y", 3);
        diagram->AddElement(std::make_unique<TnvLegenda>(diagram, "L", &diagram->GetTrkList()));
        legend = diagram->GetLegenda();
        legend->GetTitleFont().Assign(TnvFont(kClWhite, test::kFace, -10));
        legend->SetLeft(30);
        legend->SetTop(5);
    }
    void AddTraces(std::initializer_list<const char*> names) {
        for (const char* name : names)
            diagram->CreateTraccia(name);
    }
    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
    TnvLegenda* legend = nullptr;
};

TEST_F(LegendaTest, NeverDrawnHitsNothing) {
    AddTraces({"A"});
    EXPECT_EQ(legend->GetCellWidth(), 0);
    EXPECT_EQ(legend->TraceAtPos({41, 26}), nullptr);
}

TEST_F(LegendaTest, EmptyDiagramWritesEmpty) {
    QImage image(320, 240, QImage::Format_RGB32);
    TnvCanvas canvas(image);
    EXPECT_TRUE(legend->Draw(&canvas));
    EXPECT_EQ(legend->GetRowCount(), 1);
}

TEST_F(LegendaTest, ThreeTracesInTwoColumnsShowOneRow) {
    AddTraces({"Alpha", "Be", "Gamma_long"});
    legend->SetColCount(2);
    graph.Repaint();
    const QFontMetrics m = test::Metrics();
    const int widest = m.horizontalAdvance("Gamma_long");
    const TnvRect e = legend->GetDrawArea();
    EXPECT_EQ(legend->GetRowCount(), 1);
    EXPECT_EQ(e.Left, 40);
    EXPECT_EQ(e.Top, 25);
    EXPECT_EQ(e.Right, (widest * 10 / 9) * 2 + 40);
    EXPECT_EQ(e.Bottom, m.height() * 4 / 3 + 25);
    EXPECT_EQ(legend->GetCellWidth(), (e.Right - e.Left) / 2);
    EXPECT_EQ(legend->GetCellHeight(), e.Bottom - e.Top);

    const int cw = legend->GetCellWidth();
    EXPECT_EQ(legend->TraceAtPos({42, 27}), diagram->GetTraccia("Alpha"));
    EXPECT_EQ(legend->TraceAtPos({41 + cw + 1, 27}), diagram->GetTraccia("Be"));
    EXPECT_EQ(legend->TraceAtPos({41, 27}), nullptr); // on the first cell's border
    EXPECT_EQ(legend->TraceAtPos({42, 27 + legend->GetCellHeight()}), nullptr); // no second row
}

TEST_F(LegendaTest, ColCountShrinksToTheTracesAndStays) {
    AddTraces({"A", "B"});
    legend->SetColCount(5);
    graph.Repaint();
    EXPECT_EQ(legend->GetColCount(), 2);
    AddTraces({"C", "D", "E"});
    graph.Repaint();
    EXPECT_EQ(legend->GetColCount(), 2);
    EXPECT_EQ(legend->GetRowCount(), 2);
}

TEST_F(LegendaTest, ClickingACellSelectsItsTrace) {
    AddTraces({"A", "B"});
    legend->SetColCount(2);
    graph.Repaint();
    const int cw = legend->GetCellWidth();
    graph.SelectAtPos({42 + cw, 28});
    EXPECT_EQ(graph.GetSelDiagram(), diagram);
    EXPECT_EQ(diagram->GetSelTraccia(), diagram->GetTraccia("B"));
    EXPECT_TRUE(diagram->GetTraccia("B")->GetSelected());
    graph.Repaint(); // the selected name is drawn italic in its colour
    graph.SelectAtPos({42, 28});
    EXPECT_FALSE(diagram->GetTraccia("B")->GetSelected());
    EXPECT_EQ(diagram->GetSelTraccia(), diagram->GetTraccia("A"));
}

TEST_F(LegendaTest, ZeroColumnsCountAsOne) {
    AddTraces({"A", "B"});
    legend->SetColCount(0);
    graph.Repaint();
    EXPECT_EQ(legend->GetColCount(), 1);
    EXPECT_EQ(legend->GetRowCount(), 2);
}

} // namespace
