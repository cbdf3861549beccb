// kx720's link-level behaviour: what a run prints, what a failure says and
// which status it ends with.
#include "CliSim.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <unistd.h>

namespace {

// Each row on a simulator of its own; the last column is the start of
// standard error.
TEST(Kx720Cli, FailuresSayWhatAndEndWithOne) {
    const QString refused = QStringLiteral("127.0.0.1:%1").arg(kxtest::FreeTcpPort());
    const std::tuple<const char*, QStringList, QStringList, QString> rows[] = {
        // clang-format off
        {"SilentDrive", {"--silence", "1"}, {"--timeout", "50", "read", "4"},
         "4 MainVoltage: Error on ModBus data exchange: timeout, no response!\n  no reply\n"},
        {"UnknownIndex", {}, {"read", "999"}, "Error, parameter not found: 999\n"},
        {"RefusedLink", {}, {"--tcp", refused, "read", "4"},
         "Connection Error: error in ModBus connection or Port already busy!\n"},
        // clang-format on
    };
    for (const auto& [name, simOptions, args, err] : rows) {
        SCOPED_TRACE(name);
        CliSim sim(simOptions);
        const CliRun run = simOptions.isEmpty() && args[0] == "--tcp" ? Kx720(args) : sim.Run(args);
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(run.Err.startsWith(err)) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    }
}

// The local parameter's refusal comes before anything goes on the wire.
TEST(Kx720Cli, ALocalParameterStopsTheRunBeforeAnyRequest) {
    QTemporaryDir dir;
    CliSim sim({"--log", dir.filePath("log")});
    const CliRun run = sim.Run({"read", "4", "10000"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("Parameter 10000 (LocalSlaveAddr) is local to the terminal"));
    QFile log(dir.filePath("log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("\t03\t"));
}

// Ctrl-C while an exchange waits for a silent drive: no waiting out the
// retries, status 130 and a word on what was cut short.
TEST(Kx720Cli, CtrlCInWatchEndsAtOnceWithStatus130) {
    CliSim sim({"--silence", "1"});
    QTemporaryDir dir;
    kxtest::TSubprocess process(KX_CLI_BINARY,
                                {"--defs", kxtest::SourcePath("data/VF_Parameters_v207.ini"),
                                 "--tcp", sim.Link(), "--timeout", "1500", "watch", "22"},
                                dir.filePath("err"));
    QThread::msleep(700);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(process.Stop(SIGINT, 10000), 130);
    EXPECT_LT(clock.elapsed(), 1500 + 100);
    EXPECT_EQ(kxtest::ReadFile(dir.filePath("err")), "Interrupted: watch 22 (0 received)\n");
}

// Output to a full disk is a failure, not a success with a file cut short.
TEST(Kx720Cli, OutputThatCannotBeWrittenEndsWithOne) {
    QTemporaryDir dir;
    CliRun run;
    {
        const kxtest::TFileSizeLimit full(100);
        run = RunProgram("/bin/sh",
                         {"-c", "exec \"$0\" \"$@\" > listed.txt", KX_CLI_BINARY, "--defs",
                          kxtest::SourcePath("data/VF_Parameters_v207.ini"), "list"},
                         dir.path());
    }
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("kx720: cannot write the output: ")) << run.Err.toStdString();
}

// A definitions file that is missing, no such thing, or one the terminal
// would refuse ends the run before any parameter is looked for in it.
TEST(Kx720Cli, BadDefinitionsFileIsALoadingError) {
    QTemporaryDir dir;
    const QString text =
        QString::fromUtf8(kxtest::ReadFile(kxtest::SourcePath("data/VF_Parameters_v207.ini")));
    const auto write = [&](const QString& name, const QString& content) {
        kxtest::WriteFile(dir.filePath(name), content.toUtf8());
        return name;
    };
    const QString unreadable = write("unreadable.ini", text);
    QFile(dir.filePath(unreadable)).setPermissions({});
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    const std::pair<QString, QString> rows[] = {
        {write("token.ini", QString(text).replace("\nRam=0/19,21/27,29", "\nRam=0/19;21/27,29")),
         "token.ini: Ram: '0/19;21' is not a valid integer value"},
        {write("junk.ini", "MZ\x01junk\n[Other]\nKey=1\n"),
         "junk.ini: holds no parameter definition"},
        {"folder.ini", "folder.ini: not a file"},
        {unreadable,
         QStringLiteral("Cannot read \"%1\": Permission denied").arg(dir.filePath(unreadable))},
    };
    for (const auto& [defs, detail] : rows) {
        const QStringList arguments{"--defs", defs, "--tcp", "127.0.0.1:1", "read", "4"};
        // As root the file's mode would not stop the read: run without that power.
        const QStringList unprivileged{"--bounding-set", "-dac_override,-dac_read_search", "--",
                                       KX_CLI_BINARY};
        const CliRun run = geteuid() == 0
                               ? RunProgram("setpriv", unprivileged + arguments, dir.path())
                               : Kx720(arguments, dir.path());
        EXPECT_EQ(run.ExitCode, 1) << defs.toStdString();
        EXPECT_EQ(run.Err, "Error loading parameters definitions.\n  " + detail + "\n");
    }
    const CliRun missing = Kx720({"--tcp", "127.0.0.1:1", "read", "4"}, dir.path() + "/folder.ini");
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Err.startsWith("Error loading parameters definitions.\n"));
}

TEST(Kx720Cli, CommandLineMistakesExitWithTwo) {
    const QString usage = "Try 'kx720 --help'.";
    const std::pair<const char*, QString> rows[] = {
        // clang-format off
        {"read 4", usage}, {"--com 9 read 4", usage}, {"--com 1 write 4", usage},
        {"--com 1 fly", usage}, {"--com 1 ident 3", usage}, {"--com 1 --slave 258 read 4", usage},
        {"--com 1 --slave 0 read 4", usage}, {"--com 1 --timeout 9 read 4", usage},
        {"--com 1 read 4 --text --raw", usage}, {"list Ram Flash", usage},
        {"--com 3 scan --slaves 0-4", usage}, {"--com 3 scan --slaves 9-4", usage},
        {"--com 3 scan --bauds 19201", usage}, {"--com 3 scan --parity M", usage},
        {"--tcp 127.0.0.1:1 scan", "scan looks on a serial line: give --com N"},
        {"--com 4 bridge --listen host:port", "--listen wants [HOST:]PORT"},
        {"--com 4 bridge --listen 70000", "--listen wants [HOST:]PORT"},
        {"--com 4 bridge extra", "bridge takes no arguments"},
        {"--tcp 127.0.0.1:1 report", "report wants one template file"},
        // clang-format on
    };
    for (const auto& [args, says] : rows) {
        const CliRun run = Kx720(QString(args).split(' '));
        EXPECT_EQ(run.ExitCode, 2) << args;
        EXPECT_TRUE(run.Err.contains(says)) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
    }
}

} // namespace
