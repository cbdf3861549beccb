// The V/F characteristic dialog: dragging the chart's markers with the mouse,
// the chart following the values, and what its buttons write to the drive.

#include "TFormVFChart.h"
#include "TGraphView.h"
#include "TSpeedButton.h"
#include "TValueGrid.h"
#include "TerminalFixture.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QTest>
#include <cmath>

namespace {

// The chart's grid button with the tag.
TSpeedButton* ButtonTagged(int tag) {
    for (TSpeedButton* b : FormVFChart->findChildren<TSpeedButton*>())
        if (b->Tag == tag)
            return b;
    return nullptr;
}

class VFChartTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Start();
        ReceiveCurve();
        FormVFChart->resize(480, 600);
        ShowExposed(FormVFChart);
        View()->Repaint();
    }
    // A 400 V drive whose curve is 10 V, (20 Hz, 100 V), (60 Hz, 230 V),
    // between 10 and 120 Hz.
    static void ReceiveCurve() {
        Receive(20, 460);
        Receive(4, 400);
        const std::pair<std::uint32_t, std::uint16_t> curve[] = {
            {10, 230}, {9, 100}, {8, 10}, {12, 600}, {11, 200}, {14, 1200}, {13, 100}};
        for (const auto& [index, word] : curve)
            Receive(index, word);
    }
    static TGraphView* View() { return FormVFChart->Image; }
    static TnvDiagram* Chart() { return FormVFChart->Graph().GetDiagram(std::int8_t{0}); }
    static TnvMarker* Marker(const char* name) { return FormVFChart->Marker(name); }
    // The chart driven as the operator drives it: real mouse events at pixels
    // computed from its values. The pixel of world point (x, y) after a paint,
    // the inverse of the diagram's own pixel-to-world conversion:
    static QPoint At(TnvDiagram* d, double x, double y) {
        const TnvRect p = d->GetPlotArea();
        const TnvScala& xs = *d->GetScalaX();
        const TnvScala& ys = *d->GetScalaY();
        const double px = p.Left + (x - xs.GetMin()) * (p.Right - p.Left - 2) / xs.GetSpan();
        const double py = p.Bottom - (y - ys.GetMin()) * (p.Bottom - p.Top - 2) / ys.GetSpan();
        return {static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py))};
    }
    // The middle of a marker's X (1) or Y (2) label.
    static QPoint Label(TnvMarker* m, int which) {
        const TnvRect r = which == 1 ? m->GetXLabelBox() : m->GetYLabelBox();
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    // Press at from, move to to, release there.
    static void Drag(QPoint from, QPoint to) {
        QTest::mousePress(View(), Qt::LeftButton, {}, from);
        QTest::mouseMove(View(), (from + to) / 2);
        QTest::mouseMove(View(), to);
        QTest::mouseRelease(View(), Qt::LeftButton, {}, to);
    }
};

TEST_F(VFChartTest, DraggedMarkersStopAtTheirLimits) {
    // The marker, dragged by its frequency (1) or voltage (2) label to a value in
    // Hz or V, the value it edits, and where that settles (-1: the value under
    // the pixel, rounded).
    const std::tuple<const char*, int, double, std::uint32_t, int> cases[] = {
        {"Boost", 1, 200.0, 11, 600}, // beyond the chart: stops at the base corner
        {"Fmax", 1, 5.0, 14, 101},    // below the minimum: minimum + 0.1 Hz
        {"Fmin", 1, 35.0, 13, -1},    // free below the maximum
        {"Boost", 2, 150.0, 9, -1},   // free between start and base voltage
        {"Base", 2, 600.0, 10, 460},  // the drive's maximum voltage
        // Below zero: 0, not a word that wraps to 65487 and settles at the
        // boost voltage.
        {"Start", 2, -50.0, 8, 0},
    };
    for (const auto& [name, label, target, index, expected] : cases) {
        ReceiveCurve();
        View()->Repaint();
        TnvMarker* m = Marker(name);
        const bool byFrequency = label == 1;
        const QPoint to = byFrequency ? At(Chart(), target, m->GetPoint().Y)
                                      : At(Chart(), m->GetPoint().X, target);
        Tnv2DPoint under;
        Chart()->CoordAtPos(under, to);
        const int settled = expected >= 0 ? expected
                            : byFrequency ? TFormVFChart::DragWord(under.X, 10)
                                          : TFormVFChart::DragWord(under.Y, 1);
        Drag(Label(m, label), to);
        EXPECT_EQ(Word(index), settled) << name << " to " << target;
        const double shown = byFrequency ? m->GetPoint().X * 10 : m->GetPoint().Y;
        EXPECT_NEAR(shown, settled, 1e-6) << name << ": on the accepted value";
        EXPECT_EQ(FormVFChart->Graph().GetSelDiagram(), nullptr) << "released";
    }
    // Grid and chart agree.
    EXPECT_EQ(FormVFChart->sgVFChart->GetCellText(1, 1), Value(8)->GetValueNumText(0));
}

TEST_F(VFChartTest, AMoveAfterTheReleaseDragsNothing) {
    TnvMarker* boost = Marker("Boost");
    Drag(Label(boost, 2), At(Chart(), boost->GetPoint().X, 120));
    ASSERT_EQ(Word(9), 120);
    QTest::mouseMove(View(), At(Chart(), boost->GetPoint().X, 180));
    EXPECT_EQ(Word(9), 120);
    // A press outside every marker's label selects no marker.
    Drag(At(Chart(), 90, 300), At(Chart(), 100, 200));
    EXPECT_EQ(Word(9), 120);
    EXPECT_EQ(Word(14), 1200);
}

TEST_F(VFChartTest, TheFrequencyAxisAndTheCurveFollowTheDriveSize) {
    // The drive size, the frequency axis's end and the curve's.
    const std::tuple<std::uint16_t, double, double> cases[] = {{0x0000, 128.0 / 0.98, 128.0},
                                                               {0x0100, 400.0 / 0.98, 400.0}};
    for (const auto& [size, axisEnd, curveEnd] : cases) {
        Receive(49, size);
        Receive(10, 230); // the curve is drawn again from the values
        EXPECT_NEAR(Chart()->GetScalaX()->GetMax(), axisEnd, 1e-9) << size;
        const auto& curve = Chart()->GetTraccia(std::int8_t{0})->GetPoints();
        ASSERT_EQ(curve.size(), 4u);
        EXPECT_DOUBLE_EQ(curve.back().X, curveEnd);
        EXPECT_DOUBLE_EQ(curve.back().Y, 230);
        ShowExposed(FormVFChart); // drawn from what it read while closed
        const QImage shown = View()->grab().toImage();
        View()->Repaint();
        EXPECT_TRUE(shown == View()->grab().toImage()) << "the chart as read";
        FormVFChart->hide(); // the next readings arrive while it is closed
    }
    EXPECT_NEAR(Chart()->GetScalaY()->GetMax(), 1.1 * 400, 1e-9) << "the main voltage";
}

TEST_F(VFChartTest, RowButtonsWriteTheirRowAndRefuseARunningDrive) {
    // Without a link every write is refused with a line naming the
    // parameter: the lines tell what a button asked to write.
    const std::uint32_t stored9 = Value(9)->GetParDef().RegProg;
    const std::uint32_t stored11 = Value(11)->GetParDef().RegProg;
    // The drive's status word, the button's tag, the values it writes.
    const std::tuple<std::uint16_t, int, QList<std::uint32_t>> cases[] = {
        {0, 13, {8}},                        // Send, "Start volt.": its voltage only
        {0, 23, {9, 11}},                    // Send, "Boost corner": both cells
        {0, 24, {9, 11, stored9, stored11}}, // Save: the stored copies too
        {1, 23, {}},                         // the drive runs: nothing
    };
    for (const auto& [status, tag, written] : cases) {
        Stop();
        Start();
        Receive(3, status);
        const auto boxes = Answerer->Texts.size();
        const qsizetype before = Lines().size();
        // An edit in another row is neither sent by itself nor with the row.
        FormVFChart->sgVFChart->CommitText(2, 4, QString::number(Word(13) + 1));
        ASSERT_NE(ButtonTagged(tag), nullptr) << tag;
        ButtonTagged(tag)->click();
        QStringList expected;
        for (std::uint32_t index : written)
            expected << NotSent(index);
        QStringList asked = Lines().mid(before).filter(QStringLiteral("Not connected: "));
        asked.sort();
        expected.sort();
        EXPECT_EQ(asked, expected) << tag;
        EXPECT_EQ(Answerer->Texts.size() - boxes, status ? 1 : 0) << tag;
        EXPECT_FALSE(Value(9)->GetCyclic()) << "no read-back";
    }
}

TEST(VFChartDragWord, RoundsHalfUpAndStaysWithinAWord) {
    // The value under the pointer, words per unit, the word.
    const std::tuple<double, double, std::uint16_t> cases[] = {
        {50.04, 10, 500}, {50.05, 10, 501}, {0.0, 10, 0},    {-0.04, 10, 0},      {-3.0, 10, 0},
        {229.5, 1, 230},  {229.49, 1, 229}, {1e9, 1, 65535}, {6553.45, 10, 65535}};
    for (const auto& [x, units, word] : cases)
        EXPECT_EQ(TFormVFChart::DragWord(x, units), word) << x;
}

} // namespace
