// The link doctor's commands against the simulator on a pty: ports, scan,
// set-slave, and the request statistics.
#include "CliSim.h"

namespace {

// ports names the pty ports.ini maps. The drive hears only at 38400; at 19200
// every try meets silence, and the whole scan stays within the budget of a
// full 247-address scan (30 s).
TEST(Kx720Scan, PortsNamesTheLineAndScanFindsTheDriveAtItsAddressAndSpeed) {
    CliSim drive({"--slave", "17", "--baud", "38400"}, 3);
    ASSERT_TRUE(drive.Ready());
    CliRun run = Kx720({"ports"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("COM3\t" + drive.Pty() + "\tports.ini\tok\t(/dev/pts/"))
        << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains("COM4\t/dev/ttyS3\tdefault\t")) << run.Out.toStdString();

    run = Kx720(
        {"--com", "3", "scan", "--slaves", "1-20", "--bauds", "19200,38400", "--parity", "E"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.Out.toStdString();
    EXPECT_EQ(lines[0], "Found: COM3 38400 baud 8E1 slave 17: KX720-A, firmware 2.07");
    EXPECT_TRUE(lines[1].startsWith("1 drive(s) found in 40 tries")) << lines[1].toStdString();
    EXPECT_LT(run.Ms, 40 * 30000 / 247);

    run = Kx720({"--com", "3", "scan", "--slaves", "3-4"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("No drive answered on COM3: 0 drive(s) found in 2 tries"))
        << run.Err.toStdString();
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
    const CliRun run = Kx720({"--com", "3", "scan", "--slaves", "5"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(
        "Found: COM3 19200 baud 8E1 slave 5: no identification; parameter 0 reads 4096\n"))
        << run.Out.toStdString();
}

// Each row: the simulator's options, set-slave's arguments, its status and
// what it says, then where a read of parameter 0 finds the drive and what
// its stored copy (30) holds.
TEST(Kx720SetSlave, EndsSayingWhereTheDriveAnswers) {
    const std::tuple<QStringList, QStringList, int, const char*, int, const char*> rows[] = {
        // clang-format off
        {{}, {"set-slave", "9"}, 0, "The drive now answers at slave address 9 (was 2).", 9, "2"},
        {{}, {"set-slave", "9", "--save"}, 0, "address 9 (was 2), stored copy saved.", 9, "9"},
        {{"--stuck", "0"}, {"set-slave", "9"}, 1,
         "The slave address did not change: the drive still answers at slave address 2", 2, "2"},
        {{"--stuck", "0"}, {"set-slave", "9", "--save"}, 1, "The stored copy was set back to 2.", 2,
         "2"},
        {{}, {"--slave", "7", "set-slave", "9"}, 1,
         "The drive does not answer at slave address 7; nothing was changed.", 2, "2"},
        // clang-format on
    };
    for (const auto& [simOptions, args, exitCode, says, answersAt, stored] : rows) {
        SCOPED_TRACE(says);
        CliSim drive(simOptions, 3);
        ASSERT_TRUE(drive.Ready());
        const CliRun run = Kx720(QStringList{"--com", "3", "--timeout", "150"} + args);
        EXPECT_EQ(run.ExitCode, exitCode) << run.Err.toStdString();
        EXPECT_TRUE((exitCode == 0 ? run.Out : run.Err).contains(says))
            << run.Out.toStdString() << run.Err.toStdString();
        const CliRun read =
            Kx720({"--com", "3", "--slave", QString::number(answersAt), "read", "0", "30"});
        EXPECT_TRUE(read.Out.startsWith(QStringLiteral("0\tSlaveAddr\t%1\t").arg(answersAt)))
            << read.Out.toStdString() << read.Err.toStdString();
        EXPECT_TRUE(read.Out.contains(QStringLiteral("\n30\tSlaveAddrEE\t%1\t").arg(stored)))
            << read.Out.toStdString();
    }
}

TEST(Kx720Stats, ReadReportsLatenciesAndOutcomes) {
    CliSim drive({"--exception", "0x0004:2"});
    ASSERT_TRUE(drive.Ready());
    CliRun run = drive.Run({"--stats", "read", "4"});
    EXPECT_EQ(run.ExitCode, 1);
    // One request and two retries, each refused.
    EXPECT_TRUE(run.Err.contains("Requests: 3\nLatency ms: min ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("  0x80040202 ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.endsWith(": 3\n")) << run.Err.toStdString();
    run = drive.Run({"--stats", "read", "5"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(run.Err.contains("Requests: 1\n")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.endsWith("  0 success: 1\n")) << run.Err.toStdString();
}

} // namespace
