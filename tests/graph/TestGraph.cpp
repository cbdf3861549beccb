#include "TnvDiagram.h"
#include "TnvError.h"
#include "TnvGraph.h"
#include "TnvLegenda.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <gtest/gtest.h>

namespace {

// A complete diagram over area with scales of one world unit per pixel.
TnvDiagram* MakeComplete(TnvGraph& graph, const QString& name, TnvRect area) {
    TnvDiagram* d = graph.CreateNewDiagram(name);
    d->SetArea(area.Left, area.Top, area.Right, area.Bottom);
    d->SetVisible(true);
    d->CreateScala("X", 2);
    d->CreateScala("Y", 3);
    return d;
}

TEST(GraphSizeTest, SetWidthStoresOneLessAndResizesAgainOnTheSameWidth) {
    TnvGraph graph;
    int resized = 0;
    graph.OnResize = [&](TnvGraph*) {
        ++resized;
    };
    graph.SetWidth(319);
    EXPECT_EQ(resized, 0);
    graph.SetWidth(320);
    EXPECT_EQ(graph.GetWidth(), 319);
    EXPECT_EQ(graph.GetBitmap().width(), 320);
    EXPECT_EQ(resized, 1);
    graph.SetWidth(320);
    EXPECT_EQ(resized, 2);
    graph.SetHeight(100);
    EXPECT_EQ(graph.GetHeight(), 99);
    EXPECT_EQ(graph.GetBitmap().height(), 100);
    EXPECT_EQ(resized, 3);
}

TEST(GraphSizeTest, SetLeftMovesOnlyTheLeftEdge) {
    TnvGraph graph;
    graph.SetLeft(10);
    EXPECT_EQ(graph.GetDrawArea(), (TnvRect{10, 0, 319, 239}));
    EXPECT_EQ(graph.GetWidth(), 309);
}

TEST(GraphRefreshTest, RefreshQueryRepaintsOnlyWhenAllowed) {
    TnvGraph graph;
    int refreshed = 0;
    bool allow = true;
    graph.OnRefreshed = [&](TnvGraph*, QImage&, bool&) {
        ++refreshed;
    };
    graph.OnRefreshQuery = [&](TnvGraph*, QImage&, bool& doit) {
        doit = allow;
    };
    graph.RefreshQuery();
    EXPECT_EQ(refreshed, 0); // AutoRefresh is off
    graph.SetAutoRefresh(true);
    graph.RefreshQuery();
    EXPECT_EQ(refreshed, 1);
    allow = false;
    graph.RefreshQuery();
    EXPECT_EQ(refreshed, 1);
}

TEST(GraphRefreshTest, DiagramDrawCanSkipADiagram) {
    TnvGraph graph;
    TnvDiagram* d = MakeComplete(graph, "A", {0, 0, 100, 100});
    d->SetDgrBack(0x0000FF);
    graph.OnDiagramDraw = [](TnvDiagram*, QImage&, bool& doit) {
        doit = false;
    };
    graph.Repaint();
    EXPECT_NE(graph.GetBitmap().pixel(50, 50), qRgb(255, 0, 0));
}

TEST(GraphDiagramTest, NamesAndIndices) {
    TnvGraph graph;
    TnvDiagram* a = graph.CreateNewDiagram("A");
    EXPECT_EQ(graph.CreateNewDiagram("A"), nullptr);
    EXPECT_EQ(graph.GetDiagram("A"), a);
    EXPECT_EQ(graph.GetDiagram("a"), nullptr);
    EXPECT_EQ(graph.GetDiagram(std::int8_t(0)), a);
    EXPECT_EQ(graph.GetDiagram(std::int8_t(1)), nullptr);
    EXPECT_EQ(graph.GetDiagram(std::int8_t(-1)), nullptr);
    EXPECT_EQ(graph.AddDiagram(nullptr), -2);
    auto* second = new TnvDiagram(&graph, "A"); // still added
    EXPECT_EQ(graph.GetDgrCount(), 2);
    EXPECT_EQ(graph.GetDiagram(std::int8_t(1)), second);
    delete second; // leaves the graph
    EXPECT_EQ(graph.GetDgrCount(), 1);
}

TEST(GraphDiagramTest, OwnersAreRequired) {
    try {
        TnvDiagram d(nullptr, "X");
        FAIL();
    } catch (const TnvError& e) {
        EXPECT_EQ(e.Message(), "Diagram: Owner not valid!");
    }
    try {
        TnvTraccia t(nullptr, "T");
        FAIL();
    } catch (const TnvError& e) {
        EXPECT_EQ(e.Message(), "Graph Element: Bad owner pointer.");
    }
}

TEST(GraphDiagramTest, AddElementCodes) {
    TnvGraph graph;
    TnvDiagram* d = graph.CreateNewDiagram("D");
    EXPECT_EQ(d->CreateScala("X", 2), 88);
    TnvScala* x = d->GetScalaX();
    EXPECT_EQ(d->CreateScala("X2", 2), -4);
    EXPECT_EQ(d->GetScalaX(), x); // the refused scale leaves the slot alone
    EXPECT_EQ(d->CreateScala("Y", 0), 89);
    EXPECT_EQ(d->AddElement(nullptr), -2);
    EXPECT_EQ(d->AddElement(std::make_unique<TnvGraphElement>(d, "E")), -1);
    EXPECT_NE(d->CreateTraccia("T"), nullptr);
    EXPECT_EQ(d->CreateTraccia("T"), nullptr);
    EXPECT_EQ(d->AddElement(std::make_unique<TnvTraccia>(d, "T")), -3);
    EXPECT_EQ(d->AddElement(std::make_unique<TnvTraccia>(d, "U")), 1);
    EXPECT_EQ(d->AddElement(std::make_unique<TnvLegenda>(d, "L", &d->GetTrkList())), 76);
    EXPECT_EQ(d->AddElement(std::make_unique<TnvLegenda>(d, "L", &d->GetTrkList())), -4);
    EXPECT_EQ(d->GetTrkList().size(), 2u);
}

TEST(GraphDiagramTest, RemoveElementHandsItBack) {
    TnvGraph graph;
    TnvDiagram* d = graph.CreateNewDiagram("D");
    TnvTraccia* t = d->CreateTraccia("T");
    d->SelectElement(t);
    std::shared_ptr<TnvGraphElement> taken = d->RemoveElement(t);
    EXPECT_EQ(taken.get(), t);
    EXPECT_EQ(d->GetSelElement(), nullptr);
    EXPECT_TRUE(d->GetTrkList().empty());
    EXPECT_EQ(d->RemoveElement(t), nullptr);
    TnvMarker* m = d->CreateMarker("M");
    delete m; // an element deleted by its user leaves the diagram
    EXPECT_TRUE(d->GetMrkList().empty());
}

// One element of each kind, made in a diagram; its pointer stays valid while
// the diagram (or whoever took it over) holds it.
struct TElementKind {
    const char* Name;
    TnvGraphElement* (*Make)(TnvDiagram& d);
};

const TElementKind kElementKinds[] = {
    {"scale",
     [](TnvDiagram& d) -> TnvGraphElement* {
         d.CreateScala("X", 2);
         return d.GetScalaX();
     }},
    {"trace",
     [](TnvDiagram& d) -> TnvGraphElement* {
         return d.CreateTraccia("T");
     }},
    {"marker",
     [](TnvDiagram& d) -> TnvGraphElement* {
         return d.CreateMarker("M");
     }},
    {"legend",
     [](TnvDiagram& d) -> TnvGraphElement* {
         d.AddElement(std::make_unique<TnvLegenda>(&d, "L", &d.GetTrkList()));
         return d.GetLegenda();
     }},
};

// A removed element reaches back into its diagram neither on a change nor
// when destroyed, even after the diagram is gone.
TEST(ElementOwnerTest, RemovedElementOutlivesItsDiagram) {
    for (const TElementKind& kind : kElementKinds) {
        SCOPED_TRACE(kind.Name);
        TnvGraph graph;
        TnvDiagram* d = graph.CreateNewDiagram("D");
        TnvGraphElement* e = kind.Make(*d);
        std::shared_ptr<TnvGraphElement> taken = d->RemoveElement(e);
        ASSERT_EQ(taken.get(), e);
        EXPECT_EQ(e->GetOwner(), nullptr);
        delete d;
        e->SetVisible(false);
        taken.reset();
    }
}

// Adding an element another diagram holds moves it: the first diagram lets it
// go, so neither destroys it twice nor paints it after the move.
TEST(ElementOwnerTest, AddingAnOwnedElementMovesIt) {
    for (const TElementKind& kind : kElementKinds) {
        SCOPED_TRACE(kind.Name);
        TnvGraph graph;
        TnvDiagram* from = graph.CreateNewDiagram("From");
        TnvDiagram* to = graph.CreateNewDiagram("To");
        TnvGraphElement* e = kind.Make(*from);
        EXPECT_GE(to->AddElement(std::unique_ptr<TnvGraphElement>(e)), 0);
        EXPECT_EQ(e->GetOwner(), to);
        EXPECT_FALSE(from->RemoveElement(e)); // no longer there
        delete from;
        e->SetVisible(false);
        EXPECT_TRUE(to->RemoveElement(e));
    }
}

TEST(ElementOwnerTest, ARefusedMoveLeavesTheElementWhereItWas) {
    TnvGraph graph;
    TnvDiagram* from = graph.CreateNewDiagram("From");
    TnvDiagram* to = graph.CreateNewDiagram("To");
    TnvTraccia* t = from->CreateTraccia("T");
    to->CreateTraccia("T");
    EXPECT_EQ(to->AddElement(std::unique_ptr<TnvGraphElement>(t)), -3);
    EXPECT_EQ(from->AddElement(std::unique_ptr<TnvGraphElement>(t)), -3); // already there
    EXPECT_EQ(from->GetTraccia("T"), t);
    EXPECT_EQ(t->GetOwner(), from);
}

TEST(ElementOwnerTest, AMovedLegendListsItsNewDiagramsTraces) {
    TnvGraph graph;
    TnvDiagram* from = graph.CreateNewDiagram("From");
    TnvDiagram* to = MakeComplete(graph, "To", {0, 0, 200, 100});
    from->AddElement(std::make_unique<TnvLegenda>(from, "L", &from->GetTrkList()));
    TnvLegenda* legend = from->GetLegenda();
    from->CreateTraccia("Old");
    to->CreateTraccia("New");
    to->AddElement(std::unique_ptr<TnvGraphElement>(legend));
    delete from;
    graph.SetWidth(200);
    graph.SetHeight(100);
    graph.Repaint(); // paints the legend from the list that is still there
    EXPECT_EQ(legend->GetRowCount(), 1);
}

class SelectionTest : public ::testing::Test {
protected:
    SelectionTest() {
        low = MakeComplete(graph, "Low", {0, 0, 100, 100});
        high = MakeComplete(graph, "High", {50, 50, 150, 150});
    }
    TnvGraph graph;
    TnvDiagram* low = nullptr;
    TnvDiagram* high = nullptr;
};

TEST_F(SelectionTest, TopmostCompleteDiagramIsSelected) {
    graph.SelectAtPos({75, 75});
    EXPECT_EQ(graph.GetSelDiagram(), high);
    EXPECT_TRUE(high->GetSelected());
    graph.SelectAtPos({25, 25});
    EXPECT_EQ(graph.GetSelDiagram(), low);
    EXPECT_FALSE(high->GetSelected());
    graph.SelectAtPos({200, 200});
    EXPECT_EQ(graph.GetSelDiagram(), nullptr);
    EXPECT_FALSE(low->GetSelected());
    high->SetVisible(false);
    graph.SelectAtPos({75, 75});
    EXPECT_EQ(graph.GetSelDiagram(), low);
}

TEST_F(SelectionTest, BringToFrontChangesThePaintingOrderNotDgrAtPos) {
    graph.SelectAtPos({25, 25});
    graph.BringToFront(graph.GetSelDiagram());
    EXPECT_EQ(graph.GetDiagram(std::int8_t(1)), low);
    EXPECT_EQ(graph.DgrAtPos({75, 75}), high); // now the lowest at that point
    graph.SelectAtPos({75, 75});
    EXPECT_EQ(graph.GetSelDiagram(), low);
    graph.BringToFront(nullptr);
    EXPECT_EQ(graph.GetDgrCount(), 2);
}

TEST_F(SelectionTest, BordersBelongToNoDiagram) {
    EXPECT_EQ(graph.DgrAtPos({0, 20}), nullptr);
    EXPECT_EQ(graph.DgrAtPos({100, 20}), nullptr);
    EXPECT_EQ(graph.DgrAtPos({20, 0}), nullptr);
    EXPECT_EQ(graph.DgrAtPos({20, 100}), nullptr);
    EXPECT_EQ(graph.DgrAtPos({1, 1}), low);
    graph.SelectAtPos({150, 120});
    EXPECT_EQ(graph.GetSelDiagram(), nullptr);
}

TEST_F(SelectionTest, DeselectingADiagramDeselectsItsTrace) {
    TnvTraccia* t = low->CreateTraccia("T");
    graph.SelectAtPos({25, 25});
    low->SelectElement(t);
    EXPECT_TRUE(t->GetSelected());
    graph.SetSelectedDgr(nullptr);
    EXPECT_FALSE(t->GetSelected());
    EXPECT_EQ(low->GetSelElement(), nullptr);
}

TEST_F(SelectionTest, CoordAtCurPosWritesThePointAndReportsThePlot) {
    graph.Repaint(); // lays the diagrams out
    high->GetScalaX()->SetRange(0, 100);
    high->GetScalaY()->SetRange(0, 50);
    const TnvRect p = high->GetPlotArea();
    Tnv2DPoint out{-7, -7};
    EXPECT_EQ(graph.CoordAtCurPos({p.Left + 10, p.Bottom - 10}, out), 1);
    EXPECT_DOUBLE_EQ(out.X, 10.0 * 100 / (p.Right - p.Left - 2));
    EXPECT_DOUBLE_EQ(out.Y, 10.0 * 50 / (p.Bottom - p.Top - 2));
    // Inside the area, outside the plot (in the Y scale): -1, point written.
    out = {-7, -7};
    EXPECT_EQ(graph.CoordAtCurPos({p.Left - 2, p.Bottom - 10}, out), -1);
    EXPECT_DOUBLE_EQ(out.X, -2.0 * 100 / (p.Right - p.Left - 2));
    out = {-7, -7};
    EXPECT_EQ(graph.CoordAtCurPos({300, 300}, out), -1);
    EXPECT_DOUBLE_EQ(out.X, -7);
}

TEST(AutoScaleTest, BoundsSkipInvisibleTracesAndMarkers) {
    TnvGraph graph;
    TnvDiagram* d = MakeComplete(graph, "D", {0, 0, 200, 100});
    TnvTraccia* first = d->CreateTraccia("A");
    TnvTraccia* second = d->CreateTraccia("B");
    first->AddPoint(false, 10, 5);
    first->AddPoint(false, 20, 6);
    second->AddPoint(false, 30, 40);
    second->AddPoint(false, 35, 45);
    graph.Repaint();
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMin(), 10);
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMax(), 35);
    EXPECT_DOUBLE_EQ(d->GetScalaY()->GetMin(), 5);
    EXPECT_DOUBLE_EQ(d->GetScalaY()->GetMax(), 45);

    // An invisible trace 0 leaves [0, 0] to join the union.
    first->SetVisible(false);
    graph.Repaint();
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMin(), 0);
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMax(), 35);

    // Markers count only along their orientations and while visible.
    TnvMarker* m = d->CreateMarker("M");
    m->SetPoint(100, 100);
    m->SetOrType(orHorizontal);
    graph.Repaint();
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMax(), 35);
    EXPECT_DOUBLE_EQ(d->GetScalaY()->GetMax(), 100);
    m->SetVisible(false);
    graph.Repaint();
    EXPECT_DOUBLE_EQ(d->GetScalaY()->GetMax(), 45);
}

TEST(AutoScaleTest, NoDataGivesAZeroRange) {
    TnvGraph graph;
    TnvDiagram* d = MakeComplete(graph, "D", {0, 0, 200, 100});
    d->GetScalaX()->SetRange(3, 4);
    d->CreateTraccia("A")->AddPoint(false, 7, 7); // a single point spans nothing
    graph.Repaint();
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMin(), 0);
    EXPECT_DOUBLE_EQ(d->GetScalaX()->GetMax(), 0);
}

// Counts its destructions, to show a shared scale dies exactly once.
class CountedScala : public TnvScala {
public:
    CountedScala(TnvDiagram* owner, int& destroyed)
        : TnvScala(owner, 2, "Shared")
        , FDestroyed(destroyed) {}
    ~CountedScala() override { ++FDestroyed; }

private:
    int& FDestroyed;
};

TEST(SharedScaleTest, DestroyedOnceAfterTheLastHolder) {
    int destroyed = 0;
    {
        TnvGraph graph;
        TnvDiagram* a = graph.CreateNewDiagram("A");
        TnvDiagram* b = graph.CreateNewDiagram("B");
        TnvDiagram* c = graph.CreateNewDiagram("C");
        ASSERT_EQ(a->AddElement(std::make_unique<CountedScala>(a, destroyed)), 'X');
        b->SetScalaX(a->GetScalaXShared());
        c->SetScalaX(a->GetScalaXShared());
        TnvScala* shared = a->GetScalaX();
        delete a;
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(b->GetScalaX(), shared);
        EXPECT_EQ(shared->GetOwner(), b); // handed on, so Changed still reaches a graph
        shared->SetRange(1, 2);
        delete b;
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(shared->GetOwner(), c);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(SharedScaleTest, ClearAllDestroysItOnce) {
    int destroyed = 0;
    TnvGraph graph;
    TnvDiagram* a = graph.CreateNewDiagram("A");
    for (const char* name : {"B", "C", "D"})
        graph.CreateNewDiagram(name)->SetScalaX(nullptr);
    ASSERT_EQ(a->AddElement(std::make_unique<CountedScala>(a, destroyed)), 'X');
    for (std::int8_t i = 1; i < 4; ++i)
        graph.GetDiagram(i)->SetScalaX(a->GetScalaXShared());
    graph.ClearAll();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(graph.GetDgrCount(), 0);
}

} // namespace
