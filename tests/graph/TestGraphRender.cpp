// Runs the graph-render tool on the committed sample setups.
#include "GraphTestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Tool() {
    return qEnvironmentVariable("KX_BINARY_DIR") + "/tools/graph-render/graph-render";
}

QString Sample(const QString& name) {
    return qEnvironmentVariable("KX_SOURCE_DIR") + "/tools/graph-render/samples/" + name;
}

struct TRun {
    int Code = -1;
    QString Out;
    QString Err;
};

TRun RunTool(const QStringList& args) {
    QProcess process;
    process.start(Tool(), args);
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class GraphRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("KX_BINARY_DIR") || !QFile::exists(Tool()))
            GTEST_SKIP() << "graph-render is not built";
    }
    QTemporaryDir dir;
};

TEST_F(GraphRenderTest, PrintsTheSampleBackUnchangedAndPaintsIt) {
    QFile file(Sample("scope.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString sample = QString::fromUtf8(file.readAll()).trimmed();
    const QString png = dir.filePath("scope.png");
    const TRun run = RunTool({Sample("scope.txt"), png, "--size", "640x480", "--print-setup",
                              "--coord", "320,300", "--coord", "1,1"});
    ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(sample));
    EXPECT_TRUE(run.Out.contains("coord 320,300: diagram 3 \"DcBus\""));
    EXPECT_TRUE(run.Out.contains("coord 1,1: -1"));
    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(640, 480));
}

TEST_F(GraphRenderTest, SelectsAMarkerByItsLabel) {
    const TRun run = RunTool({Sample("vfchart.txt"), "--select", "240,300"});
    ASSERT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("diagram 0 \"V/F relation\", marker \"Base\" (X label)"))
        << run.Out.toStdString();
}

// Without --size the graph's DrawArea sizes the picture; one larger than a
// picture may be is refused, however far its sides lie, and --size paints it.
TEST_F(GraphRenderTest, RefusesADrawAreaLargerThanThePicture) {
    const struct {
        const char* Area;
        const char* Size;
    } cases[] = {
        {"0,0,16384,99", "16385x100"},
        {"0,0,99,100000", "100x100001"},
        {"-2000000000,-2000000000,2000000000,2000000000", "4000000001x4000000001"},
        {"-2147483648,0,2147483647,0", "4294967296x1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Area);
        const QString setup = dir.filePath("vast.txt");
        QFile file(setup);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QString("[nvGraph]\nBegin\nAutoRefresh=false\nDrawArea=%1\nEnd\n")
                       .arg(c.Area)
                       .toUtf8());
        file.close();
        const QString png = dir.filePath("vast.png");
        TRun run = RunTool({setup, png});
        EXPECT_EQ(run.Code, 1);
        EXPECT_TRUE(run.Err.contains(QString("its DrawArea is %1 pixels, larger than the "
                                             "16384x16384 a picture may have; give --size WxH")
                                         .arg(c.Size)))
            << run.Err.toStdString();
        run = RunTool({setup, png, "--size", "64x48"});
        EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
        EXPECT_EQ(QImage(png).size(), QSize(64, 48));
    }
}

TEST_F(GraphRenderTest, ReportsBadInput) {
    const QString broken = dir.filePath("broken.txt");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[nvGraph]\nBegin\nAutoRefresh=false\nDrawArea=0,0,x,1\nEnd\n");
    file.close();
    TRun run = RunTool({broken, dir.filePath("out.png")});
    EXPECT_EQ(run.Code, 1);
    EXPECT_TRUE(run.Err.contains("'x' is not a valid integer value")) << run.Err.toStdString();
    run = RunTool({dir.filePath("missing.txt"), dir.filePath("out.png")});
    EXPECT_EQ(run.Code, 1);
    EXPECT_TRUE(run.Err.contains("cannot read"));
    run = RunTool({Sample("scope.txt"), "--size", "wide"});
    EXPECT_EQ(run.Code, 2);
    EXPECT_EQ(RunTool({"--help"}).Code, 0);
}

} // namespace
