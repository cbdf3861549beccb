// The link doctor's commands against the simulator on a pty: ports, scan,
// set-slave, and the request statistics.

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef KX_SIM_BINARY
namespace {

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
    qint64 Ms = 0;
};

TRun Kx720(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(kxtest::SourcePath("data"));
    QElapsedTimer clock;
    clock.start();
    process.start(KX_CLI_BINARY, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError()), clock.elapsed()};
}

// A simulated drive on a pty that COM3 of a private ports.ini points at.
class TPtyDrive {
public:
    explicit TPtyDrive(const QStringList& options) {
        FHome.Map(3, Link());
        QStringList args{"--defs", kxtest::SourcePath("data/VF_Parameters_v207.ini"),
                         "--pty",  Link(),
                         "--tcp",  "0"};
        FSim = std::make_unique<kxtest::TSubprocess>(KX_SIM_BINARY, args + options);
        // One ready line per link, TCP first.
        FTcp = FSim->ReadLine(10000).section(' ', 2, 2);
        FReady = FSim->ReadLine(10000).startsWith("ready pty ");
    }
    bool Ready() const { return FReady && !FTcp.isEmpty(); }
    QString Link() const { return FDir.path() + "/drive"; }
    QString Tcp() const { return FTcp; }

private:
    QTemporaryDir FDir;
    kxtest::TConfigHome FHome;
    std::unique_ptr<kxtest::TSubprocess> FSim;
    QString FTcp;
    bool FReady = false;
};

TEST(Kx720Ports, ShowsAPtyMappedInPortsIni) {
    TPtyDrive drive({});
    ASSERT_TRUE(drive.Ready());
    const TRun run = Kx720({"ports"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("COM3\t" + drive.Link() + "\tports.ini\tok\t(/dev/pts/"))
        << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains("COM4\t/dev/ttyS3\tdefault\t")) << run.Out.toStdString();
}

// The drive hears only at 38400; at 19200 every try meets silence, and the
// whole scan stays within the budget of a full 247-address scan (30 s).
TEST(Kx720Scan, FindsTheDriveAtItsAddressAndSpeedAmongSilence) {
    TPtyDrive drive({"--slave", "17", "--baud", "38400"});
    ASSERT_TRUE(drive.Ready());
    const TRun run = Kx720(
        {"--com", "3", "scan", "--slaves", "1-20", "--bauds", "19200,38400", "--parity", "E"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.Out.toStdString();
    EXPECT_EQ(lines[0], "Found: COM3 38400 baud 8E1 slave 17: KX720-A, firmware 2.07");
    EXPECT_TRUE(lines[1].startsWith("1 drive(s) found in 40 tries")) << lines[1].toStdString();
    EXPECT_LT(run.Ms, 40 * 30000 / 247);
}

// Our test slave refuses function 0x41 with an exception and answers every
// address; parameter 0 (register 0) holds 0x1000 there.
TEST(Kx720Scan, ReadsParameterZeroWhenTheIdentificationIsRefused) {
    kxtest::TConfigHome home;
    kxtest::TPtyPair pty;
    ASSERT_TRUE(pty.Ready());
    home.Map(3, pty.LinkEnd());
    auto peer = kxtest::TPeer::RtuSlave(pty.PeerEnd());
    ASSERT_TRUE(peer->Ready());
    const TRun run = Kx720({"--com", "3", "scan", "--slaves", "5"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(
        "Found: COM3 19200 baud 8E1 slave 5: no identification; parameter 0 reads 4096\n"))
        << run.Out.toStdString();
}

TEST(Kx720Scan, NothingFoundIsExitOneAndBadOptionsExitTwo) {
    TPtyDrive drive({"--slave", "9"});
    ASSERT_TRUE(drive.Ready());
    TRun run = Kx720({"--com", "3", "scan", "--slaves", "3-4"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("No drive answered on COM3: 0 drive(s) found in 2 tries"))
        << run.Err.toStdString();
    for (const QStringList& args : {QStringList{"--com", "3", "scan", "--slaves", "0-4"},
                                    QStringList{"--com", "3", "scan", "--slaves", "9-4"},
                                    QStringList{"--com", "3", "scan", "--bauds", "19201"},
                                    QStringList{"--com", "3", "scan", "--parity", "M"},
                                    QStringList{"--tcp", drive.Tcp(), "scan"}}) {
        run = Kx720(args);
        EXPECT_EQ(run.ExitCode, 2) << args.join(' ').toStdString();
    }
}

struct TSetSlaveCase {
    const char* Name;
    QStringList SimOptions;
    QStringList Args;
    int ExitCode;
    const char* Says;   // on standard output when it took, standard error when not
    int AnswersAt;      // where a read of parameter 0 finds the drive afterwards
    const char* Stored; // parameter 30 afterwards
};

void PrintTo(const TSetSlaveCase& c, std::ostream* os) {
    *os << c.Name;
}

class Kx720SetSlave : public testing::TestWithParam<TSetSlaveCase> {};

TEST_P(Kx720SetSlave, EndsSayingWhereTheDriveAnswers) {
    const TSetSlaveCase& c = GetParam();
    TPtyDrive drive(c.SimOptions);
    ASSERT_TRUE(drive.Ready());
    const TRun run = Kx720(QStringList{"--com", "3", "--timeout", "150"} + c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err.toStdString();
    EXPECT_TRUE((c.ExitCode == 0 ? run.Out : run.Err).contains(c.Says))
        << run.Out.toStdString() << run.Err.toStdString();
    const TRun read =
        Kx720({"--com", "3", "--slave", QString::number(c.AnswersAt), "read", "0", "30"});
    EXPECT_TRUE(read.Out.startsWith(QStringLiteral("0\tSlaveAddr\t%1\t").arg(c.AnswersAt)))
        << read.Out.toStdString() << read.Err.toStdString();
    EXPECT_TRUE(read.Out.contains(QStringLiteral("\n30\tSlaveAddrEE\t%1\t").arg(c.Stored)))
        << read.Out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Kx720SetSlave,
    testing::Values(
        TSetSlaveCase{"Moves",
                      {},
                      {"set-slave", "9"},
                      0,
                      "The drive now answers at slave address 9 (was 2).",
                      9,
                      "2"},
        TSetSlaveCase{"MovesAndSaves",
                      {},
                      {"set-slave", "9", "--save"},
                      0,
                      "slave address 9 (was 2), stored copy saved.",
                      9,
                      "9"},
        TSetSlaveCase{"StuckRegister",
                      {"--stuck", "0"},
                      {"set-slave", "9"},
                      1,
                      "The slave address did not change: the drive still answers at slave "
                      "address 2",
                      2,
                      "2"},
        TSetSlaveCase{"StuckRegisterStoredCopySetBack",
                      {"--stuck", "0"},
                      {"set-slave", "9", "--save"},
                      1,
                      "The stored copy was set back to 2.",
                      2,
                      "2"},
        TSetSlaveCase{
            "SameAddress", {}, {"--slave", "2", "set-slave", "2"}, 0, "slave address 2", 2, "2"},
        TSetSlaveCase{"NoDriveAtTheOldAddress",
                      {},
                      {"--slave", "7", "set-slave", "9"},
                      1,
                      "The drive does not answer at slave address 7; nothing was changed.",
                      2,
                      "2"}),
    [](const testing::TestParamInfo<TSetSlaveCase>& param) { return param.param.Name; });

TEST(Kx720Stats, ReadReportsLatenciesAndOutcomes) {
    TPtyDrive drive({"--exception", "0x0004:2"});
    ASSERT_TRUE(drive.Ready());
    TRun run = Kx720({"--tcp", drive.Tcp(), "--stats", "read", "4"});
    EXPECT_EQ(run.ExitCode, 1);
    // One request and two retries, each refused.
    EXPECT_TRUE(run.Err.contains("Requests: 3\nLatency ms: min ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("  0x80040202 ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.endsWith(": 3\n")) << run.Err.toStdString();
    run = Kx720({"--tcp", drive.Tcp(), "--stats", "read", "5"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(run.Err.contains("Requests: 1\n")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.endsWith("  0 success: 1\n")) << run.Err.toStdString();
}

TEST(Kx720Version, EveryProgramAnswers) {
    EXPECT_EQ(Kx720({"--version"}).Out, "kx720 2.07\n");
    QProcess sim;
    sim.start(KX_SIM_BINARY, {"--version"});
    sim.waitForFinished(10000);
    EXPECT_EQ(sim.readAllStandardOutput(), "kx720-sim 2.07\n");
}

} // namespace
#endif
