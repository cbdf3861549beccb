#include "GraphTestSupport.h"
#include "TnvError.h"
#include "TnvLegenda.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

using test::MakeComplete;

namespace {

// An empty graph clears its whole bitmap to the button face; a change
// repaints, once, and only while AutoRefresh is on.
TEST(GraphTest, TheDrawAreaCoversTheBitmapAndChangesRepaintOnlyWithAutoRefresh) {
    TnvGraph graph;
    graph.SetWidth(320);
    graph.SetHeight(100);
    EXPECT_EQ(graph.GetDrawArea(), (TnvRect{0, 0, 319, 99}));
    graph.Repaint();
    test::ExpectPixels(graph.GetBitmap(), {{0, 0, 0xF0F0F0}, {319, 99, 0xF0F0F0}});
    int refreshed = 0;
    graph.OnRefreshed = [&](TnvGraph*, QImage&, bool&) {
        ++refreshed;
    };
    TnvDiagram* d = MakeComplete(graph, "A", {0, 0, 100, 100});
    d->SetAutoScalaX(false);
    TnvScala* x = d->GetScalaX();
    x->SetRange(0, 10);
    EXPECT_EQ(refreshed, 0);
    graph.SetAutoRefresh(true);
    x->SetRange(0, 20);
    x->SetRange(0, 20); // no change, no repaint
    EXPECT_EQ(refreshed, 1);
}

// Names are unique and case-sensitive; a refused element leaves what holds
// the name or the slot alone.
TEST(GraphTest, DuplicateNamesAndSlotsAreRefused) {
    TnvGraph graph;
    TnvDiagram* d = graph.CreateNewDiagram("D");
    EXPECT_EQ(graph.CreateNewDiagram("D"), nullptr);
    EXPECT_EQ(graph.GetDiagram("d"), nullptr);
    EXPECT_EQ(graph.GetDiagram(std::int8_t(-1)), nullptr);
    auto* second = new TnvDiagram(&graph, "D"); // still added
    EXPECT_EQ(graph.GetDiagram(std::int8_t(1)), second);
    delete second; // leaves the graph
    EXPECT_EQ(graph.GetDgrCount(), 1);
    d->CreateScala("X", 2);
    TnvScala* x = d->GetScalaX();
    EXPECT_LT(d->CreateScala("X2", 2), 0);
    EXPECT_EQ(d->GetScalaX(), x);
    TnvTraccia* t = d->CreateTraccia("T");
    EXPECT_LT(d->AddElement(std::make_unique<TnvTraccia>(d, "T")), 0);
    EXPECT_EQ(d->GetTraccia("T"), t);
    EXPECT_LT(d->AddElement(std::make_unique<TnvGraphElement>(d, "E")), 0) << "no kind";
    EXPECT_THROW(TnvDiagram(nullptr, "X"), TnvError);
    EXPECT_THROW(TnvTraccia(nullptr, "T"), TnvError);
}

// One element of each kind, made in a diagram: scale, trace, marker, legend.
TnvGraphElement* MakeElement(TnvDiagram& d, int kind) {
    switch (kind) {
    case 0:
        d.CreateScala("X", 2);
        return d.GetScalaX();
    case 1:
        return d.CreateTraccia("T");
    case 2:
        return d.CreateMarker("M");
    default:
        d.AddElement(std::make_unique<TnvLegenda>(&d, "L", &d.GetTrkList()));
        return d.GetLegenda();
    }
}

// A removed element reaches back into its diagram neither on a change nor when
// destroyed; one added to another diagram moves, so neither diagram destroys
// it twice nor paints it after the move.
TEST(GraphTest, ElementsOutliveAndLeaveTheirDiagrams) {
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        TnvGraph graph;
        TnvDiagram* d = graph.CreateNewDiagram("D");
        TnvGraphElement* e = MakeElement(*d, kind);
        d->SelectElement(e);
        std::shared_ptr<TnvGraphElement> taken = d->RemoveElement(e);
        ASSERT_EQ(taken.get(), e);
        EXPECT_EQ(e->GetOwner(), nullptr);
        EXPECT_EQ(d->GetSelElement(), nullptr);
        EXPECT_EQ(d->RemoveElement(e), nullptr);
        delete d;
        e->SetVisible(false);
        taken.reset();

        TnvDiagram* from = graph.CreateNewDiagram("From");
        TnvDiagram* to = graph.CreateNewDiagram("To");
        e = MakeElement(*from, kind);
        EXPECT_GE(to->AddElement(std::unique_ptr<TnvGraphElement>(e)), 0);
        EXPECT_EQ(e->GetOwner(), to);
        EXPECT_FALSE(from->RemoveElement(e));
        delete from;
        e->SetVisible(false);
        EXPECT_TRUE(to->RemoveElement(e));
    }
    TnvGraph graph;
    TnvDiagram* d = graph.CreateNewDiagram("D");
    delete d->CreateMarker("M"); // deleted by its user, it leaves the diagram
    EXPECT_TRUE(d->GetMrkList().empty());
}

// A refused move leaves the element where it was; a moved legend paints the
// traces of its new diagram, not those of the one deleted.
TEST(GraphTest, ARefusedMoveKeepsTheElementAndAMovedLegendListsItsNewTraces) {
    TnvGraph graph;
    TnvDiagram* from = graph.CreateNewDiagram("From");
    TnvDiagram* to = MakeComplete(graph, "To", {0, 0, 200, 100});
    TnvTraccia* t = from->CreateTraccia("T");
    to->CreateTraccia("T");
    EXPECT_EQ(to->AddElement(std::unique_ptr<TnvGraphElement>(t)), -3);
    EXPECT_EQ(from->AddElement(std::unique_ptr<TnvGraphElement>(t)), -3); // already there
    EXPECT_EQ(from->GetTraccia("T"), t);
    EXPECT_EQ(t->GetOwner(), from);
    auto* legend = static_cast<TnvLegenda*>(MakeElement(*from, 3));
    to->AddElement(std::unique_ptr<TnvGraphElement>(legend));
    delete from;
    graph.Repaint();
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

TEST_F(SelectionTest, TopmostCompleteDiagramInsideItsBordersIsSelected) {
    const std::pair<QPoint, const char*> cases[] = {
        {{75, 75}, "High"}, {{25, 25}, "Low"}, {{0, 20}, ""},   {{100, 20}, ""},
        {{20, 100}, ""},    {{1, 1}, "Low"},   {{150, 120}, ""}};
    for (const auto& [at, name] : cases) {
        SCOPED_TRACE(at.x() * 1000 + at.y());
        graph.SelectAtPos(at);
        const TnvDiagram* selected = graph.GetSelDiagram();
        EXPECT_EQ(selected ? selected->GetName() : "", name);
        EXPECT_EQ(low->GetSelected(), selected == low);
        EXPECT_EQ(high->GetSelected(), selected == high);
    }
    high->SetVisible(false);
    graph.SelectAtPos({75, 75});
    EXPECT_EQ(graph.GetSelDiagram(), low);
    // Deselecting the diagram leaves no trace selected in it.
    TnvTraccia* t = low->CreateTraccia("T");
    low->SelectElement(t);
    graph.SetSelectedDgr(nullptr);
    EXPECT_FALSE(t->GetSelected());
    EXPECT_EQ(low->GetSelElement(), nullptr);
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
    EXPECT_EQ(graph.CoordAtCurPos({p.Left - 2, p.Bottom - 10}, out), -1);
    EXPECT_DOUBLE_EQ(out.X, -2.0 * 100 / (p.Right - p.Left - 2));
    out = {-7, -7};
    EXPECT_EQ(graph.CoordAtCurPos({300, 300}, out), -1);
    EXPECT_DOUBLE_EQ(out.X, -7);
}

TEST(GraphTest, AutoScaleSkipsInvisibleTracesAndMarkers) {
    TnvGraph graph;
    TnvDiagram* d = MakeComplete(graph, "D", {0, 0, 200, 100});
    TnvScala& x = *d->GetScalaX();
    TnvScala& y = *d->GetScalaY();
    x.SetRange(3, 4);
    TnvTraccia* first = d->CreateTraccia("A");
    first->AddPoint(false, 7, 7);
    graph.Repaint();
    EXPECT_EQ(std::pair(x.GetMin(), x.GetMax()), std::pair(0.0, 0.0)) << "a point spans nothing";
    first->AddPoint(false, 10, 5);
    TnvTraccia* second = d->CreateTraccia("B");
    second->AddPoint(false, 30, 40);
    second->AddPoint(false, 35, 45);
    graph.Repaint();
    EXPECT_EQ(std::pair(x.GetMin(), x.GetMax()), std::pair(7.0, 35.0));
    EXPECT_EQ(std::pair(y.GetMin(), y.GetMax()), std::pair(5.0, 45.0));
    first->SetVisible(false); // an invisible trace 0 leaves [0, 0] to join the union
    graph.Repaint();
    EXPECT_EQ(std::pair(x.GetMin(), x.GetMax()), std::pair(0.0, 35.0));
    // Markers count only along their orientations and while visible.
    TnvMarker* m = d->CreateMarker("M");
    m->SetPoint(100, 100);
    m->SetOrType(orHorizontal);
    graph.Repaint();
    EXPECT_EQ(std::pair(x.GetMax(), y.GetMax()), std::pair(35.0, 100.0));
    m->SetVisible(false);
    graph.Repaint();
    EXPECT_EQ(y.GetMax(), 45);
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

TEST(GraphTest, ASharedScaleIsDestroyedOnceAfterTheLastHolder) {
    for (bool clearAll : {false, true}) {
        SCOPED_TRACE(clearAll ? "ClearAll" : "diagrams deleted one by one");
        int destroyed = 0;
        {
            TnvGraph graph;
            TnvDiagram* a = graph.CreateNewDiagram("A");
            ASSERT_EQ(a->AddElement(std::make_unique<CountedScala>(a, destroyed)), 'X');
            TnvScala* shared = a->GetScalaX();
            for (const char* name : {"B", "C"})
                graph.CreateNewDiagram(name)->SetScalaX(a->GetScalaXShared());
            if (clearAll) {
                graph.ClearAll();
                EXPECT_EQ(destroyed, 1);
                continue;
            }
            delete a;
            EXPECT_EQ(shared->GetOwner(), graph.GetDiagram("B")); // handed on
            shared->SetRange(1, 2);
            delete graph.GetDiagram("B");
            EXPECT_EQ(destroyed, 0);
            EXPECT_EQ(shared->GetOwner(), graph.GetDiagram("C"));
        }
        EXPECT_EQ(destroyed, 1);
    }
}

} // namespace
