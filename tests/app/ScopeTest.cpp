// The scope window: the rolling traces and their limit lines, the layout a
// click changes, what it reads while shown, and what it records and saves,
// down to a capture of a real trip of the simulated drive.

#include "TFormScope.h"
#include "TGraphView.h"
#include "TSimProcess.h"
#include "TerminalFixture.h"
#include "TestFiles.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

namespace {

class ScopeTest : public TerminalFixture {
protected:
    void SetUp() override {
        TerminalFixture::SetUp();
        Start();
        FormScope->resize(600, 480);
        ShowExposed(FormScope);
    }
    static TnvGraph& Graph() { return FormScope->Graph(); }
    static TnvDiagram* Diagram(const char* name) { return Graph().GetDiagram(QString(name)); }
    static TnvTraccia* Trace(const char* d, std::int8_t i) { return Diagram(d)->GetTraccia(i); }
    static QStringList Order() {
        QStringList names;
        for (const auto& d : Graph().GetDiagrams())
            names << d->GetName();
        return names;
    }
    // n receptions of the four samples, frequency w, w + 1, ...
    static void Cycles(int n, std::uint16_t first = 0) {
        for (int i = 0; i < n; ++i) {
            Receive(1000, 560);
            Receive(1001, 40);
            Receive(1002, static_cast<std::uint16_t>(first + i));
            Receive(1003, 300);
        }
    }
};

TEST_F(ScopeTest, TracesRollOverTheirSampleCountWhileTheRecordKeepsAll) {
    Cycles(151);
    FormScope->nvGraph->Repaint();
    for (const auto& [diagram, trace] : {std::pair("Frequency", 0), std::pair("Frequency", 1),
                                         std::pair("Current", 0), std::pair("DcBus", 0)})
        EXPECT_EQ(Trace(diagram, trace)->GetCount(), 150) << diagram << trace;
    // The first sample (frequency word 0) is gone, the second is first.
    EXPECT_DOUBLE_EQ(Trace("Frequency", 0)->GetPoints().front().Y,
                     Value(1002)->GetParDef().FormatNorm * 1);
    EXPECT_EQ(FormScope->Record().RowCount(), 151u);
    // More samples kept: the traces show what was recorded.
    FormScope->seSamples->setValue(1000);
    FormScope->nvGraph->Repaint();
    EXPECT_EQ(Trace("Frequency", 0)->GetCount(), 151);
}

TEST_F(ScopeTest, LimitLinesFollowTheDriveAndThePlateData) {
    // The brake line steps up above a 300 V drive.
    for (const auto& [driveVoltage, brake] : {std::pair{300, 400.0}, {301, 670.0}}) {
        Receive(20, static_cast<std::uint16_t>(driveVoltage));
        Cycles(1);
        TnvDiagram* bus = Diagram("DcBus");
        EXPECT_EQ(bus->GetMarker("Brake")->GetPoint().Y, brake) << driveVoltage;
        EXPECT_NEAR(bus->GetScalaY()->GetMax(), brake * 1.1, 1e-9);
    }
    Receive(4, 400);
    Cycles(1);
    EXPECT_NEAR(Diagram("DcBus")->GetMarker("Under")->GetPoint().Y, 400 * 1.4142 * 0.75, 1e-9);
    EXPECT_NEAR(Diagram("DcBus")->GetScalaY()->GetMin(), 400 * 1.4142 * 0.75 * 0.9, 1e-9);
    Receive(20, 460);
    Receive(49, 0x0010);
    Receive(6, 200);
    Cycles(1);
    EXPECT_EQ(Diagram("Current")->GetMarker("IMax")->GetPoint().Y, Value(6)->GetValueDouble(0));
    EXPECT_NEAR(Diagram("Current")->GetScalaY()->GetMax(), Value(6)->GetValueDouble(0) * 1.1, 1e-9);
}

TEST_F(ScopeTest, AClickBringsASmallDiagramIntoTheLargePlace) {
    FormScope->nvGraph->Repaint();
    const int w = FormScope->nvGraph->width();
    const int h = FormScope->nvGraph->height();
    ASSERT_EQ(Order(), (QStringList{"Frequency", "Current", "Voltage", "DcBus"}));
    // The title band of "Current", the middle one above.
    QTest::mouseClick(FormScope->nvGraph, Qt::LeftButton, {}, {w / 2, 8});
    EXPECT_EQ(Order(), (QStringList{"Frequency", "Voltage", "DcBus", "Current"}));
    EXPECT_EQ(Diagram("Current")->GetDrawArea(), (TnvRect{0, 100, w, h}));
    EXPECT_EQ(Diagram("DcBus")->GetDrawArea(), (TnvRect{0, 0, w / 3, 100}));
}

TEST_F(ScopeTest, AShownScopeRestsUntilSomethingChanges) {
    // The graph reports one pixel less than it was given: a window that sets
    // the size on every paint would repaint without end.
    int repaints = 0;
    FormScope->nvGraph->OnBeforeRepaint = [&repaints](TGraphView*) {
        ++repaints;
    };
    // The repaints once the n-th has come and a while has passed without more.
    const auto settled = [&repaints](int n) {
        WaitFor([&] { return repaints >= n; }, 5000);
        QTest::qWait(300);
        return repaints;
    };
    EXPECT_EQ(settled(0), 0);
    FormScope->resize(640, 500);
    EXPECT_EQ(settled(1), 1);
    Cycles(3);
    EXPECT_EQ(settled(2), 2) << "one repaint for a burst of receptions";
}

TEST_F(ScopeTest, TheAnalogReferenceIsReadWhileItSetsTheFrequency) {
    // The control mode, and whether the analog reference is polled.
    for (const auto& [controlMode, polled] : {std::pair{0x0000, true}, {0x0002, false}}) {
        FormScope->hide();
        Receive(18, static_cast<std::uint16_t>(controlMode));
        FormScope->show();
        EXPECT_EQ(Value(21)->GetCyclic(), polled) << controlMode;
        Receive(21, 5);
        EXPECT_EQ(Value(21)->GetCyclic(), polled) << controlMode << " after a reading";
        for (std::uint32_t index : {1000, 1001, 1002, 1003})
            EXPECT_TRUE(Value(index)->GetCyclic()) << index;
    }
    FormScope->hide();
    for (std::uint32_t index : {21, 1000, 1001, 1002, 1003})
        EXPECT_FALSE(Value(index)->GetCyclic()) << index;
    Receive(21, 5);
    EXPECT_FALSE(Value(21)->GetCyclic());
}

TEST_F(ScopeTest, PauseFreezesThePictureAndTheCsvHoldsEverySample) {
    // Every tool is heard by its caption.
    for (QToolButton* b : {FormScope->tbPause, FormScope->tbSaveCsv, FormScope->tbSavePng})
        EXPECT_EQ(b->accessibleName(), b->text());
    EXPECT_EQ(FormScope->cbCapture->accessibleName(), "Capture on fault");
    EXPECT_EQ(FormScope->seSamples->accessibleName(), "Samples");
    Cycles(10);
    FormScope->nvGraph->Repaint();
    FormScope->tbPause->click();
    EXPECT_EQ(FormScope->tbPause->text(), "Run");
    EXPECT_EQ(FormScope->tbPause->accessibleName(), "Run");
    Cycles(5, 10);
    FormScope->nvGraph->Repaint();
    EXPECT_EQ(Trace("Frequency", 0)->GetCount(), 10) << "frozen";
    FormScope->tbPause->click();
    FormScope->nvGraph->Repaint();
    EXPECT_EQ(Trace("Frequency", 0)->GetCount(), 15) << "caught up";

    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("scope"));
    TFormScope::AskSaveFileName = [name](QWidget*, const QString&, const QString&) {
        return name;
    };
    FormScope->tbSaveCsv->click();
    const QStringList lines = QString::fromLatin1(kxtest::ReadFile(name + QStringLiteral(".csv")))
                                  .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 16);
    EXPECT_EQ(lines[0], "time,frequency_hz,setpoint_hz,current_a,voltage_v,dc_bus_v");
    const double norm = Value(1002)->GetParDef().FormatNorm;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(',');
        ASSERT_EQ(fields.size(), 6) << lines[i].toStdString();
        EXPECT_TRUE(QDateTime::fromString(fields[0], Qt::ISODateWithMs).isValid())
            << fields[0].toStdString();
        EXPECT_TRUE(fields[0].contains('.')) << "milliseconds";
        EXPECT_NEAR(fields[1].toDouble(), (i - 1) * norm, 1e-9);
        EXPECT_DOUBLE_EQ(fields[5].toDouble(), Value(1000)->GetValueDouble(0));
    }
}

class ScopeSimTest : public TerminalFixture {};

TEST_F(ScopeSimTest, AnOverCurrentTripIsCapturedWithTwentySamplesAfterIt) {
    kxtest::TSimProcess sim(false);
    Connect(sim);
    FormScope->cbCapture->setChecked(true);
    FormScope->show();
    // Full voltage from 0 Hz: the magnetising current overloads the drive.
    const std::pair<std::uint32_t, std::uint16_t> writes[] = {{10, 230}, {9, 230},    {8, 230},
                                                              {7, 1},    {29, 10000}, {27, 1}};
    for (const auto& [index, word] : writes)
        ASSERT_TRUE(sim.Write(Value(index)->GetParDef().RegAddr, word)) << index;
    const auto captured = [] {
        return Lines().filter("Scope capture after a trip: ").value(0);
    };
    ASSERT_TRUE(WaitFor([&] { return !captured().isEmpty(); }, 20000))
        << sim.StandardError().toStdString() << Lines().join('\n').toStdString();
    EXPECT_NE(Value(2)->GetValueUShort(0), 0);
    EXPECT_TRUE(FormScope->IsPaused());

    const QDir dir(TFormScope::CaptureDir());
    const QStringList csvs = dir.entryList({QStringLiteral("*.csv")});
    const QStringList pngs = dir.entryList({QStringLiteral("*.png")});
    ASSERT_EQ(csvs.size(), 1);
    ASSERT_EQ(pngs.size(), 1);
    EXPECT_TRUE(captured().contains(csvs[0]) && captured().contains(pngs[0]));
    EXPECT_TRUE(csvs[0].contains(QStringLiteral("-slave2")));
    EXPECT_FALSE(QImage(dir.filePath(pngs[0])).isNull());

    const QStringList lines = QString::fromLatin1(kxtest::ReadFile(dir.filePath(csvs[0])))
                                  .split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 1 + 21);
    QList<double> frequency;
    for (const QString& line : lines.mid(1))
        frequency << line.section(',', 1, 1).toDouble();
    // Running before the trip, stopped at once after it, to the last sample.
    EXPECT_GT(*std::max_element(frequency.begin(), frequency.end() - 20), 0.0);
    EXPECT_EQ(frequency.mid(frequency.size() - 19), QList<double>(19, 0.0));
    for (const QString& name : csvs + pngs)
        QFile::remove(dir.filePath(name));
}

} // namespace
