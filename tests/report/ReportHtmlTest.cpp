// The HTML template engine against hand-worked templates and a SQLite file.
#include "TestErrors.h"
#include "TestFiles.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"
#include "TnvReportHtml.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using kxtest::ErrorOf;

// A folder of template files and a value set of a few parameters:
// 4 a voltage (230), 18 a bit field with flag 3 set ("Set/Clear"),
// 7 a four-character string holding markup.
class ReportHtml : public ::testing::Test {
protected:
    void SetUp() override {
        Write("defs.ini", "[Categories]\nTest=4,7,18\n[Par-4]\nType=3\nFormatString=000\n"
                          "[Par-7]\nType=7\nLength=4\n[Par-18]\nType=1\nFormatString=Set/Clear\n");
        ASSERT_TRUE(FDefs.LoadFromFile(Path("defs.ini")));
        ASSERT_TRUE(FSet.AddParBindsCategory(&FDefs, "Test"));
        FSet.FindValue(4)->SetValueUShort(0, 230);
        FSet.FindValue(18)->SetValueBit(0, 3, true);
        FSet.FindValue(7)->SetValueString("<&\">");
        FReport.SetValueSet(&FSet);
        FReport.OnCondition = [](TnvReportHtml*, const QString& tag) {
            return tag == "1";
        };
        FReport.OnDescriptor = [](TnvReportHtml*, const QString& tag) {
            return "<i>" + tag + "</i>";
        };
        FReport.OnMessage = [](TnvReportHtml*, const QString& tag) {
            return "msg:" + tag;
        };
        FReport.OnDescription = [](TnvReportHtml*, const QString& tag, const TnvParCode& code) {
            return tag + QString::asprintf("=%d/%d/%d", code.Index, code.Element, code.Bit);
        };
    }

    QString Path(const QString& name) const { return FDir.filePath(name); }

    void Write(const QString& name, const QByteArray& text) const {
        kxtest::WriteFile(Path(name), text);
    }

    QString Compile(const QByteArray& text) {
        Write("t.html", text);
        return FReport.CompileModel(Path("t.html"));
    }

    QTemporaryDir FDir;
    TnvParDefSet FDefs;
    TnvParValueSet FSet;
    TnvReportHtml FReport;
};

// A template and what it gives.
using TCase = std::pair<const char*, const char*>;

// Every tag kind, the output worked out by hand from the fixture's values.
TEST_F(ReportHtml, ReplacesEveryTagKindAsWorkedOutByHand) {
    Write("inc.html", "[<#PAR GET=V4>]");
    const TCase cases[] = {
        // clang-format off
        {"plain <b>text</b> < # >", "plain <b>text</b> < # >"}, {"a<#NOSUCH X=1>b", "ab"},
        {"<#PAR GET=SAbc>", "Abc"}, {"<#PAR GET=X1>", ""}, {"<#PAR GET=V99:0>", "99:0"},
        {"<#PAR GET=V4>", "230"}, {"<#PAR GET=V18:0:3>/<#PAR GET=V18:0:2>", "Set/Clear"},
        {"<#PAR GET=V7>", "&lt;&amp;&quot;&gt;"}, {"<#PAR GET=Iabc>", "<i>abc</i>"},
        {"<#PAR GET=Mhello>", "msg:hello"}, {"<#PAR GET=D18:0:3>", "18:0:3=18/0/3"},
        {"<#PAR GET=D4>", "4=4/-1/-1"}, {"<#PAR GET=Finc.html>", "[230]"},
        {"<#PAR IF=!18:0:3 THEN=Syes ELSE=Sno>", "no"},
        {"<#PAR IF=!18:0:2 THEN=Syes ELSE=Sno>", "yes"},
        {"<#PAR IF=18:0 THEN=Syes ELSE=Sno>", "no"}, {"<#PAR IF=4:0:1 THEN=Syes ELSE=Sno>", "no"},
        {"<#PAR IF=I1 THEN=Syes ELSE=Sno GET=Sget>", "yes"}, {"<#BLOCK GET=>", ""},
        {"<#PAR IF=!I1 THEN=Syes ELSE=Sno>", "no"}, {"<#BLOCK GET=inc.html>", "[230]"},
        {"<#BLOCK IF=I2 THEN=nosuch.html ELSE=inc.html>", "[230]"}, {"<#PAR\tGET=Sx\n>", "x"},
        {"<#SWITCH CASE=I1:I2: GET0=S0 GET1=S1 GET2=S2 GET3=S3>", "2"},
        {"<#SWITCH CASE= GET0=Szero>", ""}, {"<#PAR GET=Sx", "<#PAR GET=Sx"},
        {"<#par get=\"Sa > b\">|<#Par Get=\"Sx \"\"y\"\"\">", "a > b|x \"y\""},
        {"<#PAR GET=\"S<#PAR GET=Sinner>\">", "<#PAR GET=Sinner>"},
        // clang-format on
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Compile(text), QString::fromUtf8(expected)) << text;
    // Without callbacks the I, M and D descriptors give nothing; an I condition is
    // then a parameter code.
    FReport.OnCondition = nullptr;
    FReport.OnDescriptor = nullptr;
    FReport.OnMessage = nullptr;
    FReport.OnDescription = nullptr;
    EXPECT_EQ(Compile("<#PAR GET=Ix>|<#PAR GET=Mx>|<#PAR GET=Dx>"), "||");
    EXPECT_EQ(ErrorOf([&] { Compile("<#PAR IF=I1 THEN=Sa>"); }),
              "'I1' is not a valid integer value");
}

TEST_F(ReportHtml, RaisesTheErrorsOfCodesFilesAndRecursion) {
    Write("self.html", "x<#BLOCK GET=self.html>");
    Write("a.html", "<#PAR GET=Fb.html>");
    Write("b.html", "<#BLOCK GET=a.html>");
    // Each level includes the next twice: the work doubles at every level.
    for (int level = 0; level < 12; ++level)
        Write(QStringLiteral("t%1.html").arg(level),
              QStringLiteral("<#BLOCK GET=t%1.html><#PAR GET=Ft%1.html>").arg(level + 1).toUtf8());
    Write("t12.html", "x");
    const QString depth =
        QStringLiteral("nested more than %1 templates deep").arg(TnvReportHtml::kMaxDepth);
    const std::pair<const char*, QString> cases[] = {
        {"<#PAR GET=Vx1>", "'x1' is not a valid integer value"},
        {"<#PAR GET=V4:1:300>", "'300' is not a valid integer value"},
        {"<#PAR GET=V4:9>", "Element index out of range"},
        {"<#BLOCK GET=self.html>", depth},
        {"<#BLOCK GET=a.html>", depth},
        {"<#BLOCK GET=t0.html>", "more than 1000 templates make up the report"},
        {"<#BLOCK GET=gone.html>",
         "Cannot open file \"" + Path("gone.html") + "\". No such file or directory"},
    };
    for (const auto& [text, error] : cases)
        EXPECT_TRUE(ErrorOf([&] { Compile(text); }).contains(error)) << text;
    EXPECT_THROW(FReport.CompileModel(Path("gone.html")), TnvFileError);
    // After an error the component works again from the top.
    EXPECT_EQ(Compile("<#PAR GET=V4>"), "230");
    // CreateReport splits lines and keeps the last report on an error.
    Write("r.html", "one\r\n<#PAR GET=V4>\n\nfour\n");
    ASSERT_TRUE(FReport.CreateReport(Path("r.html")));
    EXPECT_EQ(FReport.GetReportList(), QStringList({"one", "230", "", "four"}));
    EXPECT_ANY_THROW(FReport.CreateReport(Path("gone.html")));
    EXPECT_EQ(FReport.GetReportList().size(), 4);
    Write("empty.html", "");
    EXPECT_FALSE(FReport.CreateReport(Path("empty.html")));
    FReport.SetValueSet(nullptr);
    EXPECT_EQ(FReport.CompileModel(Path("r.html")), "");
    EXPECT_FALSE(FReport.CreateReport(Path("r.html")));
}

class ReportTable : public ReportHtml {
protected:
    void SetUp() override {
        ReportHtml::SetUp();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "report-test");
            db.setDatabaseName(Path("faults.db"));
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec("CREATE TABLE faults (code INTEGER, name TEXT, remedy TEXT)"));
            ASSERT_TRUE(
                q.exec("INSERT INTO faults VALUES (0, 'Over voltage', 'Brake <resistor> & ramp'),"
                       " (5, 'Over current', 'Check the motor'), (12, 'Comm', 'Cable')"));
        }
        QSqlDatabase::removeDatabase("report-test");
        FReport.SetDatabaseName(Path("faults.db"));
    }
};

TEST_F(ReportTable, BuildsAnEscapedTableWithFilterFieldsAndLabels) {
    EXPECT_EQ(Compile("<#TABLE TAB=Sfaults FILTER=\"Scode < 10\" FIELD=remedy:nosuch:code "
                      "LABEL=\"SWhat to do:SNo:V4\">"),
              "<table class=\"nvreport\">\n<tr><th>What to do</th><th>230</th></tr>\n"
              "<tr><td>Brake &lt;resistor&gt; &amp; ramp</td><td>0</td></tr>\n"
              "<tr><td>Check the motor</td><td>5</td></tr>\n</table>");
    EXPECT_EQ(
        Compile("<#TABLE SQL=\"SSELECT name FROM faults WHERE code = 12;\" TAB=Snosuch>"),
        "<table class=\"nvreport\">\n<tr><th>name</th></tr>\n<tr><td>Comm</td></tr>\n</table>");
    EXPECT_EQ(Compile("<#TABLE TAB=Sfaults FILTER=\"Scode > 99\" EMPTY=\"S<p>none</p>\">"),
              "<p>none</p>");
    EXPECT_EQ(Compile("<#TABLE FILTER=Scode>"), "");
    // Database failures raise, and the file is never written.
    const TCase cases[] = {
        {"<#TABLE TAB=Snosuch>", "TABLE: no such table: nosuch"},
        {"<#TABLE SQL=\"SDELETE FROM faults\">", "readonly"},
    };
    for (const auto& [text, error] : cases)
        EXPECT_TRUE(ErrorOf([&] { Compile(text); }).contains(error)) << text;
    FReport.SetDatabaseName(Path("gone.db"));
    EXPECT_TRUE(ErrorOf([&] {
                    Compile("<#TABLE TAB=Sfaults>");
                }).startsWith("TABLE: cannot open database"));
    EXPECT_FALSE(QFile::exists(Path("gone.db")));
}

} // namespace
