// Runs the graph-render tool on the committed sample setups.
#include "GraphTestSupport.h"
#include "TProgramRun.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QString Tool() {
    return qEnvironmentVariable("KX_BINARY_DIR") + "/tools/graph-render/graph-render";
}

QString Sample(const QString& name) {
    return qEnvironmentVariable("KX_SOURCE_DIR") + "/tools/graph-render/samples/" + name;
}

kxtest::TProgramRun RunTool(const QStringList& args) {
    return kxtest::RunProgram(Tool(), args);
}

class GraphRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("KX_BINARY_DIR") || !QFile::exists(Tool()))
            GTEST_SKIP() << "graph-render is not built";
    }
    QTemporaryDir dir;
};

TEST_F(GraphRenderTest, PaintsTheSamplesAndRefusesBadInput) {
    const QString png = dir.filePath("scope.png");
    auto run = RunTool({Sample("scope.txt"), png, "--size", "640x480", "--print-setup", "--coord",
                        "320,300", "--coord", "1,1"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith("[nvGraph]")) << "the setup first";
    EXPECT_TRUE(run.Out.contains("coord 320,300: diagram 3 \"DcBus\""));
    EXPECT_TRUE(run.Out.contains("coord 1,1: -1"));
    EXPECT_EQ(QImage(png).size(), QSize(640, 480));
    run = RunTool({Sample("vfchart.txt"), "--select", "240,300"});
    EXPECT_TRUE(run.Out.contains("diagram 0 \"V/F relation\", marker \"Base\" (X label)"))
        << run.Out.toStdString();
    // Without --size the graph's DrawArea sizes the picture; one larger than a
    // picture may be is refused, however far its sides lie, and --size paints it.
    const std::pair<const char*, const char*> cases[] = {
        {"0,0,16384,99", "its DrawArea is 16385x100 pixels, larger than the 16384x16384 a "
                         "picture may have; give --size WxH"},
        {"0,0,99,100000", "its DrawArea is 100x100001 pixels"},
        {"-2147483648,0,2147483647,0", "its DrawArea is 4294967296x1 pixels"},
        {"0,0,x,1", "'x' is not a valid integer value"},
    };
    for (const auto& [area, error] : cases) {
        SCOPED_TRACE(area);
        const QString setup = kxtest::WriteFile(
            dir.filePath("vast.txt"),
            QByteArray("[nvGraph]\nBegin\nAutoRefresh=false\nDrawArea=") + area + "\nEnd\n");
        auto refused = RunTool({setup, png});
        EXPECT_EQ(refused.ExitCode, 1);
        EXPECT_TRUE(refused.Err.contains(error)) << refused.Err.toStdString();
        if (QString(error).startsWith("its")) {
            EXPECT_EQ(RunTool({setup, png, "--size", "64x48"}).ExitCode, 0);
            EXPECT_EQ(QImage(png).size(), QSize(64, 48));
        }
    }
    EXPECT_TRUE(RunTool({dir.filePath("missing.txt"), png}).Err.contains("cannot read"));
    EXPECT_EQ(RunTool({Sample("scope.txt"), "--size", "wide"}).ExitCode, 2);
}

} // namespace
