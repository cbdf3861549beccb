// The configuration commands of kx720 (export, import, print, compare) as a
// script runs them, against the drive simulator over Modbus TCP.

#include "CliSim.h"

#include <QFileInfo>

#include <QRegularExpression>

namespace {

class Kx720FileCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Sim.Ready());
        qputenv("XDG_DATA_HOME", Path("share").toLocal8Bit()); // the backups
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
    QString Path(const QString& name) const { return Dir.path() + "/" + name; }
    CliRun Kx720(const QStringList& arguments) const { return Sim.Run(arguments); }
    // The exported file with one line replaced.
    QByteArray Exported(const QByteArray& key, const QByteArray& value) {
        QByteArray text = kxtest::ReadFile(Path("drive.720"));
        const qsizetype at = text.indexOf("\r\n" + key + "=");
        const qsizetype end = text.indexOf("\r\n", at + 2);
        return text.left(at + 2) + key + "=" + value + text.mid(end);
    }

    QTemporaryDir Dir;
    CliSim Sim;
};

TEST_F(Kx720FileCli, CompareExitsAsDiffDoes) {
    CliRun run = Kx720({"export", Path("drive.720")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, "Export succeeded.\n");
    kxtest::WriteFile(Path("slower.720"), Exported("16.0", "77"));
    kxtest::WriteFile(Path("broken.720"), Exported("16.0", "fast"));
    const std::tuple<const char*, int, const char*, const char*> rows[] = {
        {"drive.720", 0, "", ""},
        {"slower.720", 1, "16\tAccelTime\t50\t77\n", ""},
        {"broken.720", 2, "",
         "Error: load from file failed!\n  'fast' is not a valid integer value\n"},
    };
    for (const auto& [file, exitCode, out, err] : rows) {
        SCOPED_TRACE(file);
        run = Kx720({"compare", Path(file)});
        EXPECT_EQ(run.ExitCode, exitCode);
        EXPECT_EQ(run.Out, out);
        EXPECT_EQ(run.Err, err);
    }
}

TEST_F(Kx720FileCli, ImportOfAnotherDriveSizeNeedsToBeToldTo) {
    ASSERT_EQ(Kx720({"export", Path("drive.720")}).ExitCode, 0);
    kxtest::WriteFile(Path("other.720"), Exported("512.0", "256")
                                             .replace("Version=2.07", "Version=2.05")
                                             .replace("\r\n16.0=50\r\n", "\r\n16.0=33\r\n"));

    CliRun run = Kx720({"import", Path("other.720")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("creator version is not 2.07")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("Stop by user.\n"));
    EXPECT_EQ(Kx720({"compare", Path("drive.720")}).ExitCode, 0) << "nothing written";

    run = Kx720({"import", "--ignore-size", Path("other.720")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, "Import succeeded.\n");
    const QString backup =
        run.Err.section("Backup of the drive configuration: ", 1).section('\n', 0, 0);
    EXPECT_TRUE(backup.startsWith(Path("share/kx720/backups/kx720-"))) << run.Err.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(-\d{8}-\d{6}-slave2(-\d+)?\.720$)").match(backup).hasMatch())
        << backup.toStdString();
    EXPECT_EQ(kxtest::ReadFile(backup), kxtest::ReadFile(Path("drive.720")));
    run = Kx720({"compare", Path("other.720")});
    EXPECT_EQ(run.ExitCode, 1) << "only the size is left";
    EXPECT_EQ(run.Out, "49\tDriveSize\t0\t256\n");
}

TEST_F(Kx720FileCli, PrintWritesTheReportAsTextOrPdf) {
    CliRun run = Kx720({"print"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n');
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[2], "\tModbus slave: 2");
    EXPECT_TRUE(lines.contains("  EEPROM: Acceleration time (s) = 005.0 ")) << "the drive's values";

    // The PDF holds the same report: its words, as long lines may wrap on the page.
    run = Kx720({"print", "--pdf", Path("report.pdf")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const CliRun pdf = RunProgram("pdftotext", {"-layout", Path("report.pdf"), "-"});
    for (const QString& line : {lines[0], lines[2], lines[3], lines[lines.size() - 3]})
        EXPECT_TRUE(pdf.Out.simplified().contains(line.simplified())) << line.toStdString();

    // A disk that takes only part of it: no cut PDF, and a failure.
    {
        const kxtest::TFileSizeLimit full(100);
        run = Kx720({"print", "--pdf", Path("cut.pdf")});
    }
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("Error: print failed!")) << run.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("cut.pdf")));
}

} // namespace
