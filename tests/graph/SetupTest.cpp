#include "GraphTestSupport.h"
#include "NvFormat.h"
#include "NvGraphSetup.h"
#include "TnvError.h"
#include "TnvLegenda.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QRegularExpression>

namespace {

// A graph with every kind of element and non-default values throughout.
// AutoRefresh stays off: a repaint lays the elements out and so changes
// their areas in the text.
void BuildSample(TnvGraph& graph) {
    TnvDiagram* f = graph.CreateNewDiagram("Frequency");
    f->SetArea(0, 0, 300, 120);
    f->SetVisible(true);
    f->SetTitleVisible(true);
    f->SetDgrBack(0xFDCBAC);
    f->SetTrkBack(0xC0C0C0);
    f->SetAutoScalaY(false);
    f->GetTitleFont().SetSize(-12);
    f->CreateScala("Samples", 2);
    TnvScala* x = f->GetScalaX();
    x->SetTitleVisible(false);
    x->SetIsTime(true);
    x->SetRange(46000.25, 46000.25 + 30.0 / 86400);
    x->SetDivStep(10.0 / 86400);
    x->GetGridPen().SetColor(0x808080);
    f->CreateScala("[Hz]", 3);
    TnvScala* y = f->GetScalaY();
    y->SetRange(0, 130);
    y->SetDivStep(10);
    y->SetText("000.0");
    y->GetTextFont().SetStyles(fsUnderline);
    TnvTraccia* freq = f->CreateTraccia("Freq");
    freq->GetLinePen().Assign(TnvPen(0xFF0000, TnvPenMode::Xor, TnvPenStyle::Dot, 2));
    freq->GetLineBrush().Assign(TnvBrush(0xFF0000, TnvBrushStyle::Cross));
    freq->SetDotted(3);
    freq->SetTrkType(2);
    freq->AddPoint(false, 46000.25, 12.5);
    freq->AddPoint(false, 46000.2501, -0.125);
    freq->AddPoint(false, 46000.2502, 1E-7);
    freq->UserData1 = 99; // not part of the text
    f->CreateTraccia("Setpoint")->SetVisible(false);
    TnvMarker* act = f->CreateMarker("Act");
    act->SetText("000.0");
    act->SetOrType(orHorizontal);
    act->SetMrkType(3);
    act->SetPoint(0, 0);
    TnvMarker* v = f->CreateMarker("Vert");
    v->SetOrType(orVertical);
    v->GetTextFont().SetStyles(fsItalic);
    f->AddElement(std::make_unique<TnvLegenda>(f, "Legend", &f->GetTrkList()));
    f->GetLegenda()->SetColCount(2);
    f->GetLegenda()->SetTop(4);

    // The writer leaves out an empty "Title"; the element's own must not stand in for it.
    TnvDiagram* empty = graph.CreateNewDiagram("");
    empty->SetFollowOwnerArea(true);
    empty->CreateScala("Time", 2);
}

TEST(SetupTest, WriteReadWriteGivesTheSameText) {
    TnvGraph graph;
    BuildSample(graph);
    const QString text = graph.GetSetup();
    TnvGraph copy;
    copy.SetSetup(text);
    EXPECT_EQ(copy.GetSetup().split("\r\n"), text.split("\r\n"));
    // A new graph is five lines.
    EXPECT_EQ(TnvGraph().GetSetup(),
              "[nvGraph]\r\nBegin\r\nAutoRefresh=false\r\nDrawArea=0,0,319,239\r\nEnd");
}

// The reader is as lenient as the writer is exact, so the round trip alone
// would not show a wrong key or order.
TEST(SetupTest, TheTextHasTheBlocksInOrderAndTheValuesInTheirForms) {
    TnvGraph graph;
    BuildSample(graph);
    const QStringList lines = graph.GetSetup().split("\r\n");
    EXPECT_NE(lines[lines.lastIndexOf("[nvDiagram]") + 2].left(6), "Title=") << "nameless";
    qsizetype last = 0;
    for (const char* block : {"[nvLegenda]", "[nvScala]", "[nvTraccia]", "[nvMarker]"}) {
        EXPECT_GT(lines.indexOf(block), last) << block;
        last = lines.indexOf(block);
    }
    for (const char* line :
         {"P0=46000.25,12.5", "P2=46000.2502,1E-7", "Text=000.0", "OrType=H", "OrType=V",
          "LinePen=16711680,14,2,2", "TitleFont=16777215,Arial,-12,B"})
        EXPECT_TRUE(lines.contains(line)) << line;
    EXPECT_FALSE(lines.contains("P3="));
    // Stored setups hold one style a font: bold and italic is written bold.
    EXPECT_EQ(nv::SetupFont(TnvFont(0xFF, "Arial", -10, fsBold | fsItalic)), "255,Arial,-10,B");
}

// Elements and graphs read their own text; a value missing or malformed
// raises and keeps what was read before it.
TEST(SetupTest, ReadingTakesTheTextAndKeepsWhatCameBeforeAnError) {
    TnvGraph graph;
    TnvDiagram* d = graph.CreateNewDiagram("D");
    TnvMarker* m = d->CreateMarker("M");
    TnvMarker read(d, "_NoName_");
    for (unsigned orType : {unsigned(orVertical), 0u}) {
        m->SetOrType(orType);
        read.SetSetup(m->GetSetup());
        EXPECT_EQ(read.GetOrType(), orType);
    }
    EXPECT_FALSE(m->GetSetup().contains("OrType"));
    d->CreateScala("X", 2);
    QString text = d->GetScalaX()->GetSetup();
    text.replace(QRegularExpression("DivStep=[^\r\n]*\r\n"), "");
    TnvScala scale(d, 1, "_NoName_");
    EXPECT_THROW(scale.SetSetup(text), TnvConvertError);
    EXPECT_EQ(scale.GetName(), "X");
    EXPECT_EQ(scale.GetAlign(), 2);
    // A graph's text adds to the diagrams there and sets the graph's keys.
    TnvGraph source;
    source.CreateNewDiagram("First")->SetDgrBack(0x123456);
    source.CreateNewDiagram("Second")->SetTrkBack(7);
    text = source.GetSetup();
    text.replace("DrawArea=0,0,319,239", "DrawArea=5,6,100,200");
    text.replace("AutoRefresh=false", "AutoRefresh=true");
    TnvGraph into;
    into.CreateNewDiagram("Old");
    into.SetSetup(text);
    EXPECT_EQ(into.GetDgrCount(), 3);
    EXPECT_EQ(into.GetDrawArea(), (TnvRect{5, 6, 100, 200}));
    EXPECT_TRUE(into.GetAutoRefresh());
    TnvGraph broken;
    EXPECT_THROW(broken.SetSetup(text.replace("TrkBack=7", "TrkBack=7x")), TnvConvertError);
    ASSERT_NE(broken.GetDiagram("First"), nullptr);
    EXPECT_EQ(broken.GetDiagram("First")->GetDgrBack(), 0x123456);
}

// Reals use a point whatever the separator.
TEST(SetupValueTest, ReadsLinesEndedAnyWayAndRaisesOnMalformedValues) {
    const QStringList lines = nv::SplitSetupLines("a=1\rb=2\nc=3\r\nd=4");
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(nv::TSetupReader(lines).Value("C"), "3");
    TnvPen pen;
    EXPECT_THROW(nv::ReadSetupPen("255,4,0", pen), TnvConvertError);
    EXPECT_THROW(nv::ReadSetupPen("255,99,0,1", pen), TnvConvertError);
    EXPECT_THROW(nv::ReadSetupFloat("1,5"), TnvConvertError);
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings comma = saved;
    comma.DecimalSeparator = ',';
    comma.ThousandSeparator = '.';
    nv::SetFormatSettings(comma);
    const QString pair = nv::SetupPair(0.5, -1234.25);
    const auto [a, b] = nv::ReadSetupPair(pair);
    nv::SetFormatSettings(saved);
    EXPECT_EQ(pair, "0.5,-1234.25");
    EXPECT_DOUBLE_EQ(a, 0.5);
    EXPECT_DOUBLE_EQ(b, -1234.25);
    EXPECT_DOUBLE_EQ(nv::ReadSetupPair(nv::SetupPair(1E+99, 1E-300)).first, 1E+99);
}

} // namespace
