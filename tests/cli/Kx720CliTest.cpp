#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using kxtest::TPeer;

namespace {

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

// Runs program in folder (the source's data folder by default).
TRun RunIn(const QString& program, const QStringList& arguments, const QString& folder = {}) {
    QProcess process;
    process.setWorkingDirectory(folder.isEmpty() ? kxtest::SourcePath("data") : folder);
    process.start(program, arguments);
    process.waitForFinished(20000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Runs the real kx720 binary in folder (where the definitions file may be).
TRun Kx720(const QStringList& arguments, const QString& folder = {}) {
    return RunIn(KX_CLI_BINARY, arguments, folder);
}

QString TcpLink(const TPeer& peer) {
    return QStringLiteral("127.0.0.1:%1").arg(peer.Port());
}

TEST(Kx720Cli, ReadsParametersOfPymodbusOverTcp) {
    auto peer = TPeer::PymodbusTcp();
    const TRun run = Kx720({"--tcp", TcpLink(*peer), "read", "4", "5"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    // pymodbus holds 1000 + address; 4 is a voltage in V, 5 a current in 0.1 A.
    EXPECT_EQ(run.Out, "4\tMainVoltage\t1004\t0x03EC\n5\tNomCurrent\t100.5\t0x03ED\n");
}

TEST(Kx720Cli, WritesAndReportsLikeTheTerminal) {
    auto peer = TPeer::PymodbusTcp();
    TRun run = Kx720({"--tcp", TcpLink(*peer), "--slave", "1", "write", "4=400", "34=0xE6"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("MainVoltage 400 uploaded (RAM)\n")) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains("MaxTimeIMaxEE 230 saved (EEPROM)\n")) << run.Out.toStdString();
    run = Kx720({"--tcp", TcpLink(*peer), "read", "4"});
    EXPECT_EQ(run.Out, "4\tMainVoltage\t400\t0x0190\n");
}

TEST(Kx720Cli, ReadsAndWritesPymodbusOverASerialPort) {
    kxtest::TConfigHome home;
    kxtest::TPtyPair pty;
    ASSERT_TRUE(pty.Ready());
    home.Map(2, pty.LinkEnd());
    auto peer = TPeer::PymodbusRtu(pty.PeerEnd());
    TRun run = Kx720({"--com", "2", "write", "16=55"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    run = Kx720({"--com", "2", "read", "16"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.endsWith("\t0x0037\n")) << run.Out.toStdString();
}

TEST(Kx720Cli, WatchStampsEveryReception) {
    auto peer = TPeer::PymodbusTcp();
    const TRun run = Kx720({"--tcp", TcpLink(*peer), "watch", "22", "23", "--count", "3"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 6);
    for (const QString& line : lines)
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\t2[23]\t)")
                        .match(line)
                        .hasMatch())
            << line.toStdString();
}

TEST(Kx720Cli, IdentPrintsTheVersions) {
    auto peer = TPeer::TcpSlave({"--ident", "000002d0410000cf0000"});
    const TRun run = Kx720({"--tcp", TcpLink(*peer), "ident"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, "Hardware version:\tKX720-A\nFirmware version:\t2.07\n");
}

TEST(Kx720Cli, SilentDriveIsATimeout) {
    auto peer = TPeer::TcpSlave({"--mode", "silent"});
    const TRun run = Kx720({"--tcp", TcpLink(*peer), "--timeout", "50", "read", "4"});
    EXPECT_EQ(run.ExitCode, 1);
    // The transport's own words follow, as in the terminal's log.
    EXPECT_EQ(run.Err,
              "4 MainVoltage: Error on ModBus data exchange: timeout, no response!\n  no reply\n");
    EXPECT_TRUE(run.Out.isEmpty());
}

TEST(Kx720Cli, LocalParameterNeverGoesOnTheWire) {
    QTemporaryDir dir;
    auto peer = TPeer::TcpSlave({"--log", dir.path() + "/requests.log"});
    const TRun run = Kx720({"--tcp", TcpLink(*peer), "read", "4", "10000"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("Parameter 10000 (LocalSlaveAddr) is local to the terminal"))
        << run.Err.toStdString();
    EXPECT_TRUE(kxtest::LoggedRequests(dir.path() + "/requests.log", true).isEmpty());
}

// Ctrl-C while an exchange waits for a silent drive: no waiting out the
// retries, status 130 and a word on what was cut short.
TEST(Kx720Cli, CtrlCInWatchEndsAtOnceWithStatus130) {
    auto peer = TPeer::TcpSlave({"--mode", "silent"});
    QProcess process;
    process.setWorkingDirectory(kxtest::SourcePath("data"));
    process.start(KX_CLI_BINARY, {"--tcp", TcpLink(*peer), "--timeout", "1500", "watch", "22"});
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(700);
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 1500 + 100);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(QString::fromLocal8Bit(process.readAllStandardError()),
              "Interrupted: watch 22 (0 received)\n");
}

TEST(Kx720Cli, RefusedLinkIsAConnectionError) {
    const TRun run =
        Kx720({"--tcp", QStringLiteral("127.0.0.1:%1").arg(kxtest::FreeTcpPort()), "read", "4"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(
        run.Err.startsWith("Connection Error: error in ModBus connection or Port already busy!\n"))
        << run.Err.toStdString();
}

TEST(Kx720Cli, UnknownIndexAndMissingDefinitions) {
    TRun run = Kx720({"--tcp", "127.0.0.1:1", "read", "999"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, "Error, parameter not found: 999\n");
    QTemporaryDir empty;
    run = Kx720({"--tcp", "127.0.0.1:1", "read", "4"}, empty.path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("Error loading parameters definitions.\n"));
}

// A definitions file that is no such thing, or that the terminal would
// refuse, ends the run before any parameter is looked for in it.
TEST(Kx720Cli, BadDefinitionsFileIsALoadingError) {
    QTemporaryDir dir;
    QFile shipped(kxtest::SourcePath("data/VF_Parameters_v207.ini"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(shipped.readAll());
    const auto write = [&](const QString& name, const QString& content) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
        return name;
    };
    QString badToken = text;
    badToken.replace("\nRam=0/19,21/27,29", "\nRam=0/19;21/27,29");
    QString wideRange = text;
    wideRange.replace("\nScope=1000/1003", "\nScope=1000/70000");
    const QString unreadable = write("unreadable.ini", text);
    QFile(dir.filePath(unreadable)).setPermissions({});
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));

    const struct {
        QString Defs;
        QString Detail;
    } rows[] = {
        {write("token.ini", badToken), "token.ini: Ram: '0/19;21' is not a valid integer value"},
        {write("range.ini", wideRange),
         "range.ini: Scope: '1000/70000' is not a valid index range"},
        {write("junk.ini", "MZ\x01junk\n[Other]\nKey=1\n"),
         "junk.ini: holds no parameter definition"},
        {"folder.ini", "folder.ini: not a file"},
        {unreadable,
         QStringLiteral("Cannot read \"%1\": Permission denied").arg(dir.filePath(unreadable))},
    };
    for (const auto& row : rows) {
        const QStringList arguments{"--defs", row.Defs, "--tcp", "127.0.0.1:1", "read", "4"};
        // As root the file's mode would not stop the read: run without that power.
        const TRun run = geteuid() == 0
                             ? RunIn("setpriv",
                                     QStringList{"--bounding-set", "-dac_override,-dac_read_search",
                                                 "--", KX_CLI_BINARY} +
                                         arguments,
                                     dir.path())
                             : Kx720(arguments, dir.path());
        EXPECT_EQ(run.ExitCode, 1) << row.Defs.toStdString();
        EXPECT_EQ(run.Err, "Error loading parameters definitions.\n  " + row.Detail + "\n");
    }
}

TEST(Kx720Cli, CommandLineMistakesExitWithTwo) {
    for (const QStringList& args :
         {QStringList{"read", "4"}, QStringList{"--com", "9", "read", "4"},
          QStringList{"--com", "1", "write", "4"}, QStringList{"--com", "1", "fly"},
          QStringList{"--com", "1", "ident", "3"},
          QStringList{"--com", "1", "--slave", "258", "read", "4"},
          QStringList{"--com", "1", "--slave", "0", "read", "4"},
          QStringList{"--com", "1", "--timeout", "9", "read", "4"}}) {
        const TRun run = Kx720(args);
        EXPECT_EQ(run.ExitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.Err.contains("kx720 --help"));
    }
}

TEST(Kx720Cli, HelpDocumentsEveryCommandAndOption) {
    const TRun run = Kx720({"--help"});
    EXPECT_EQ(run.ExitCode, 0);
    for (const char* word :
         {"list [CATEGORY]", "read PARAMS", "write INDEX=WORD", "set INDEX=VALUE", "watch PARAMS",
          "ident", "--keep-alive", "--raw", "--text", "--tcp", "--com", "--slave", "--defs",
          "--count", "ports.ini"})
        EXPECT_TRUE(run.Out.contains(word)) << word;
}

} // namespace

#ifdef KX_SIM_BINARY
namespace {

// The drive simulator over TCP: identification and a setting with its stored copy.
TEST(Kx720CliSimulator, IdentifiesAndSavesLikeTheTerminal) {
    kxtest::TSubprocess sim(
        KX_SIM_BINARY, {"--defs", kxtest::SourcePath("data/VF_Parameters_v207.ini"), "--tcp", "0"});
    const QString ready = sim.ReadLine(10000); // "ready tcp 127.0.0.1:PORT"
    ASSERT_TRUE(ready.startsWith("ready tcp ")) << ready.toStdString();
    const QString link = ready.section(' ', 2, 2);
    TRun run = Kx720({"--tcp", link, "ident"});
    EXPECT_EQ(run.Out, "Hardware version:\tKX720-A\nFirmware version:\t2.07\n")
        << run.Err.toStdString();
    run = Kx720({"--tcp", link, "write", "16=55", "43=55"});
    EXPECT_EQ(run.Out, "AccelTime 005.5 uploaded (RAM)\nAccelTimeEE 005.5 saved (EEPROM)\n");
    run = Kx720({"--tcp", link, "read", "43"});
    EXPECT_EQ(run.Out, "43\tAccelTimeEE\t005.5\t0x0037\n");
}

} // namespace
#endif
