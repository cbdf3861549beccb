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
