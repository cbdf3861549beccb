// kx720 report against the drive simulator, through the real binaries.
#include "CliSim.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>

namespace {

QString Reports(const QString& name) {
    return QDir(KX_REPORTS_DIR).filePath(name);
}

class Kx720Report : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FSim.Ready()); }
    CliRun Report(const QStringList& more) { return FSim.Run(QStringList{"report"} + more); }

    CliSim FSim;
    QTemporaryDir FDir;
};

TEST_F(Kx720Report, CommissioningReportShowsTheDrive) {
    const QString out = FDir.filePath("r.html");
    const CliRun run =
        Report({Reports("commissioning.html"), "--db", Reports("faults.db"), "-o", out});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString html = QString::fromUtf8(kxtest::ReadFile(out));
    const char* const expected[] = {
        "<tr><th>Hardware version</th><td>KX720-A</td></tr>",
        "<tr><th>Drive size</th><td>400V 8A(12A) 128Hz (code 0)</td></tr>",
        "<tr><td class=\"num\">16</td><td>Acceleration time (s)</td><td class=\"num\">005.0</td>"
        "<td>RAM (stored as 43)</td></tr>",
        "<tr><td class=\"num\">43</td><td>Acceleration time (s)</td><td class=\"num\">005.0</td>"
        "<td>EEPROM</td></tr>",
        "<td>Over voltage</td><td>Ok</td><td>Ok</td></tr>",
        "The drive holds no fault, now or from before.",
        "Current faults: <strong>None</strong>",
        "switch on &quot;Comm. Keep Alive&quot; in the terminal.</td></tr>",
    };
    for (const char* line : expected)
        EXPECT_TRUE(html.contains(QString::fromUtf8(line))) << line;
    EXPECT_FALSE(html.contains("<#"));
    EXPECT_FALSE(html.contains("What to do about the current faults"));

    // The V/F picture: a PNG of the chart with the navy curve across its
    // silver (light grey) plot area; the frame around it is navy too.
    const QRegularExpressionMatch png =
        QRegularExpression("src=\"data:image/png;base64,([A-Za-z0-9+/=]+)\"").match(html);
    ASSERT_TRUE(png.hasMatch());
    const QImage image =
        QImage::fromData(QByteArray::fromBase64(png.captured(1).toLatin1()), "PNG");
    ASSERT_EQ(image.size(), QSize(480, 320));
    int curve = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 3; x + 3 < image.width(); ++x)
            curve += image.pixelColor(x, y) == QColor(Qt::darkBlue) &&
                     image.pixelColor(x - 3, y) == QColor(Qt::lightGray) &&
                     image.pixelColor(x + 3, y) == QColor(Qt::lightGray);
    EXPECT_GT(curve, 50);
}

TEST_F(Kx720Report, FailuresWriteNothingAndSayWhy) {
    const QString old = kxtest::WriteFile(FDir.filePath("old.html"), "kept");
    const std::pair<QStringList, const char*> cases[] = {
        {{FDir.filePath("gone.html"), "-o", old}, "Cannot open file \""},
        {{Reports("commissioning.html"), "-o", old}, "TABLE: no database is given."},
    };
    for (const auto& [arguments, error] : cases) {
        const CliRun run = Report(arguments);
        EXPECT_EQ(run.ExitCode, 1) << error;
        EXPECT_TRUE(run.Err.contains(error)) << run.Err.toStdString();
        EXPECT_EQ(kxtest::ReadFile(old), "kept");
    }
    {
        const kxtest::TFileSizeLimit full(100); // a disk that takes only part of it
        // Smaller than a write buffer: only the last flush meets the full disk.
        const QString small = kxtest::WriteFile(
            FDir.filePath("small.html"), "<html><body>" + QByteArray(300, 'x') + "</body></html>");
        const CliRun cut = Report({small, "-o", old});
        EXPECT_EQ(cut.ExitCode, 1);
        EXPECT_TRUE(cut.Err.contains("cannot be written")) << cut.Err.toStdString();
    }
    EXPECT_EQ(kxtest::ReadFile(old), "kept");
    const CliRun silent = Kx720({"--tcp", "127.0.0.1:1", "report", Reports("commissioning.html")});
    EXPECT_EQ(silent.ExitCode, 1);
    EXPECT_TRUE(silent.Err.contains("Connection Error")) << silent.Err.toStdString();
    EXPECT_TRUE(silent.Out.isEmpty());
}

} // namespace
