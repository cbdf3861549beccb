#include "GraphTestSupport.h"
#include "TnvLegenda.h"
#include "TnvTraccia.h"

namespace {

class LegendaTest : public ::testing::Test {
protected:
    LegendaTest() {
        diagram = test::MakeComplete(graph, "D", {10, 20, 300, 200});
        diagram->AddElement(std::make_unique<TnvLegenda>(diagram, "L", &diagram->GetTrkList()));
        legend = diagram->GetLegenda();
        legend->GetTitleFont().Assign(TnvFont(kClWhite, test::kFace, -10));
        legend->SetLeft(30);
        legend->SetTop(5);
    }
    // Adds the traces and paints; a negative count leaves the columns alone.
    void Paint(std::initializer_list<const char*> names, int columns = -1) {
        for (const char* name : names)
            diagram->CreateTraccia(name);
        if (columns >= 0)
            legend->SetColCount(columns);
        graph.Repaint();
    }
    TnvGraph graph;
    TnvDiagram* diagram = nullptr;
    TnvLegenda* legend = nullptr;
};

TEST_F(LegendaTest, NeverDrawnItHitsNothingAndRowsFollowTracesAndColumns) {
    diagram->CreateTraccia("A");
    EXPECT_EQ(legend->TraceAtPos({41, 26}), nullptr);
    diagram->RemoveElement(diagram->GetTraccia("A"));
    graph.Repaint();
    EXPECT_EQ(legend->GetRowCount(), 1);
    // Rows are the traces divided by the columns, the remainder left out.
    Paint({"A", "B"}, 5);
    EXPECT_EQ(legend->GetColCount(), 2);
    Paint({"C", "D", "E"});
    EXPECT_EQ(legend->GetRowCount(), 2);
    Paint({}, 0);
    EXPECT_EQ(legend->GetColCount(), 1);
    EXPECT_EQ(legend->GetRowCount(), 5);
}

TEST_F(LegendaTest, ThreeTracesInTwoColumnsShowOneRow) {
    Paint({"Alpha", "Be", "Gamma_long"}, 2);
    const QFontMetrics m = test::Metrics();
    const TnvRect e = legend->GetDrawArea();
    EXPECT_EQ(legend->GetRowCount(), 1);
    EXPECT_EQ(e, (TnvRect{40, 25, (m.horizontalAdvance("Gamma_long") * 10 / 9) * 2 + 40,
                          m.height() * 4 / 3 + 25}));
    EXPECT_EQ(legend->GetCellWidth(), (e.Right - e.Left) / 2);
    EXPECT_EQ(legend->GetCellHeight(), e.Bottom - e.Top);
    const int cw = legend->GetCellWidth();
    EXPECT_EQ(legend->TraceAtPos({42, 27}), diagram->GetTraccia("Alpha"));
    EXPECT_EQ(legend->TraceAtPos({41 + cw + 1, 27}), diagram->GetTraccia("Be"));
    EXPECT_EQ(legend->TraceAtPos({41, 27}), nullptr); // on the first cell's border
    EXPECT_EQ(legend->TraceAtPos({42, 27 + legend->GetCellHeight()}), nullptr); // no second row
    // A click on a cell selects its trace, and only that one.
    graph.SelectAtPos({42 + cw, 28});
    EXPECT_EQ(graph.GetSelDiagram(), diagram);
    EXPECT_TRUE(diagram->GetTraccia("Be")->GetSelected());
    graph.Repaint(); // the selected name is drawn italic in its colour
    graph.SelectAtPos({42, 28});
    EXPECT_FALSE(diagram->GetTraccia("Be")->GetSelected());
    EXPECT_EQ(diagram->GetSelTraccia(), diagram->GetTraccia("Alpha"));
}

} // namespace
