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
};

TEST_F(VFChartTest, DraggedMarkersStopAtTheirLimits) {
    struct TCase {
        const char* Marker;
        int Label; // 1: by its frequency, 2: by its voltage
        double To; // Hz or V
        std::uint32_t Index;
        int Settled; // -1: the value under the pixel, rounded
    };
    const TCase cases[] = {
        {"Boost", 1, 200.0, 11, 600}, // beyond the chart: stops at the base corner
        {"Fmax", 1, 5.0, 14, 101},    // below the minimum: minimum + 0.1 Hz
        {"Fmin", 1, 35.0, 13, -1},    // free below the maximum
        {"Boost", 2, 150.0, 9, -1},   // free between start and base voltage
        {"Base", 2, 600.0, 10, 460},  // the drive's maximum voltage
        // Below zero: 0, not a word that wraps to 65487 and settles at the
        // boost voltage.
        {"Start", 2, -50.0, 8, 0},
    };
    for (const TCase& c : cases) {
        ReceiveCurve();
        View()->Repaint();
        TnvMarker* m = Marker(c.Marker);
        const bool byFrequency = c.Label == 1;
        const QPoint to =
            byFrequency ? At(Chart(), c.To, m->GetPoint().Y) : At(Chart(), m->GetPoint().X, c.To);
        Tnv2DPoint under;
        Chart()->CoordAtPos(under, to);
        const int settled = c.Settled >= 0 ? c.Settled
                            : byFrequency  ? TFormVFChart::DragWord(under.X, 10)
                                           : TFormVFChart::DragWord(under.Y, 1);
        Drag(View(), Label(m, c.Label), to);
        EXPECT_EQ(Word(c.Index), settled) << c.Marker << " to " << c.To;
        const double shown = byFrequency ? m->GetPoint().X * 10 : m->GetPoint().Y;
        EXPECT_NEAR(shown, settled, 1e-6) << c.Marker << ": on the accepted value";
        EXPECT_EQ(FormVFChart->Graph().GetSelDiagram(), nullptr) << "released";
    }
    // Grid and chart agree.
    EXPECT_EQ(FormVFChart->sgVFChart->GetCellText(1, 1), Value(8)->GetValueNumText(0));
}

TEST_F(VFChartTest, AMoveAfterTheReleaseDragsNothing) {
    TnvMarker* boost = Marker("Boost");
    Drag(View(), Label(boost, 2), At(Chart(), boost->GetPoint().X, 120));
    ASSERT_EQ(Word(9), 120);
    QTest::mouseMove(View(), At(Chart(), boost->GetPoint().X, 180));
    EXPECT_EQ(Word(9), 120);
    // A press outside every marker's label selects no marker.
    Drag(View(), At(Chart(), 90, 300), At(Chart(), 100, 200));
    EXPECT_EQ(Word(9), 120);
    EXPECT_EQ(Word(14), 1200);
}

TEST_F(VFChartTest, TheFrequencyAxisAndTheCurveFollowTheDriveSize) {
    const struct {
        std::uint16_t Size;
        double AxisEnd;
        double CurveEnd;
    } cases[] = {{0x0000, 128.0 / 0.98, 128.0}, {0x0100, 400.0 / 0.98, 400.0}};
    for (const auto& c : cases) {
        Receive(49, c.Size);
        Receive(10, 230); // the curve is drawn again from the values
        EXPECT_NEAR(Chart()->GetScalaX()->GetMax(), c.AxisEnd, 1e-9) << c.Size;
        const auto& curve = Chart()->GetTraccia(std::int8_t{0})->GetPoints();
        ASSERT_EQ(curve.size(), 4u);
        EXPECT_DOUBLE_EQ(curve.back().X, c.CurveEnd);
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
    const auto line = [](std::uint32_t index) {
        return QStringLiteral("Not connected: %1 not sent.").arg(Value(index)->GetParDef().Name);
    };
    const std::uint32_t stored9 = Value(9)->GetParDef().RegProg;
    const std::uint32_t stored11 = Value(11)->GetParDef().RegProg;
    const struct {
        std::uint16_t Status;
        int Tag;
        QList<std::uint32_t> Written;
    } cases[] = {
        {0, 13, {8}},                        // Send, "Start volt.": its voltage only
        {0, 23, {9, 11}},                    // Send, "Boost corner": both cells
        {0, 24, {9, 11, stored9, stored11}}, // Save: the stored copies too
        {1, 23, {}},                         // the drive runs: nothing
    };
    for (const auto& c : cases) {
        Stop();
        Start();
        Receive(3, c.Status);
        const auto boxes = Answerer->Texts.size();
        const qsizetype before = Lines().size();
        // An edit in another row is neither sent by itself nor with the row.
        FormVFChart->sgVFChart->CommitText(2, 4, QString::number(Word(13) + 1));
        ASSERT_NE(ButtonTagged(c.Tag), nullptr) << c.Tag;
        ButtonTagged(c.Tag)->click();
        QStringList expected;
        for (std::uint32_t index : c.Written)
            expected << line(index);
        QStringList asked = Lines().mid(before).filter(QStringLiteral("Not connected: "));
        asked.sort();
        expected.sort();
        EXPECT_EQ(asked, expected) << c.Tag;
        EXPECT_EQ(Answerer->Texts.size() - boxes, c.Status ? 1 : 0) << c.Tag;
        EXPECT_FALSE(Value(9)->GetCyclic()) << "no read-back";
    }
}

TEST(VFChartDragWord, RoundsHalfUpAndStaysWithinAWord) {
    const struct {
        double X;
        double Units;
        std::uint16_t Word;
    } cases[] = {{50.04, 10, 500}, {50.05, 10, 501}, {0.0, 10, 0},
                 {-0.04, 10, 0},   {-3.0, 10, 0},    {229.5, 1, 230},
                 {229.49, 1, 229}, {1e9, 1, 65535},  {6553.45, 10, 65535}};
    for (const auto& c : cases)
        EXPECT_EQ(TFormVFChart::DragWord(c.X, c.Units), c.Word) << c.X;
}

} // namespace
