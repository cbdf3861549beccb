#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

// Every kx720 and kx720-sim command line the README shows runs, against the
// simulator, and succeeds: the README cannot drift from the programs again.
// The build and script lines are left to CI itself; kx720 commands that
// need another peer than a drive, or serve until stopped, are left to their
// own tests, by name, so that a new command is never skipped unnoticed.
namespace {

#ifdef KX_SIM_BINARY

// The command lines of the README's sh blocks that start with prefix,
// without their comments.
QStringList ReadmeCommands(const QString& prefix) {
    QFile file(kxtest::SourcePath("README.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList commands;
    bool inBlock = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith("```"))
            inBlock = line == "```sh";
        else if (inBlock && line.startsWith(prefix))
            commands << line.section(QRegularExpression(R"(\s+#\s)"), 0, 0).trimmed();
    }
    return commands;
}

// The words of a command, without its optional parts ("[--pdf FILE]").
QStringList Words(const QString& command) {
    static const QRegularExpression optional(R"(\[[^\]]*\])");
    return QString(command).remove(optional).split(' ', Qt::SkipEmptyParts);
}

// Replaces the value after option, when present.
void Rewrite(QStringList& words, const QString& option, const QString& value) {
    const qsizetype at = words.indexOf(option);
    if (at >= 0 && at + 1 < words.size())
        words[at + 1] = value;
}

const QStringList kDriveCommands{"list",   "read",   "write", "set",     "watch", "ident",
                                 "export", "import", "print", "compare", "ports"};
// node needs a machine node, bridge serves until stopped, report reads the
// build tree's templates, scan walks every address at several speeds and
// set-slave moves the drive away: each has its own tests.
const QStringList kCommandsOfOtherPeers{"node", "bridge", "report", "scan", "set-slave"};

TEST(Readme, EveryKx720CommandRunsAgainstTheSimulator) {
    // The files the commands write (drive.720) go to a folder of the test's own.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(kxtest::SourcePath("data/VF_Parameters_v207.ini"),
                            dir.filePath("VF_Parameters_v207.ini")));
    kxtest::TConfigHome home;
    const QString pty = dir.filePath("com1");
    kxtest::TSubprocess sim(
        KX_SIM_BINARY,
        {"--defs", kxtest::SourcePath("data/VF_Parameters_v207.ini"), "--pty", pty, "--tcp", "0"});
    QString tcp;
    for (int line = 0; line < 2; ++line) {
        const QString ready = sim.ReadLine(10000);
        if (ready.startsWith("ready tcp "))
            tcp = ready.section(' ', 2, 2);
    }
    ASSERT_FALSE(tcp.isEmpty());
    const QStringList commands = ReadmeCommands("kx720 ");
    ASSERT_GE(commands.size(), 8);
    int run = 0;
    for (const QString& command : commands) {
        QStringList words = Words(command).mid(1);
        const auto verb = std::find_if(words.begin(), words.end(), [](const QString& word) {
            return kDriveCommands.contains(word) || kCommandsOfOtherPeers.contains(word);
        });
        ASSERT_NE(verb, words.end())
            << "a command this test does not know: " << command.toStdString();
        if (kCommandsOfOtherPeers.contains(*verb))
            continue;
        ++run;
        Rewrite(words, "--tcp", tcp);
        if (words.contains("--com"))
            home.Map(words.value(words.indexOf("--com") + 1).toInt(), pty);
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(KX_CLI_BINARY, words);
        ASSERT_TRUE(process.waitForFinished(30000)) << command.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << command.toStdString() << "\n"
                                         << process.readAllStandardError().toStdString();
    }
    EXPECT_GE(run, 8);
}

TEST(Readme, EverySimulatorCommandServes) {
    const QStringList commands = ReadmeCommands("build/sim/kx720-sim ");
    ASSERT_GE(commands.size(), 3);
    for (const QString& command : commands) {
        QTemporaryDir dir;
        kxtest::TPtyPair serial;
        ASSERT_TRUE(serial.Ready());
        QStringList words = Words(command).mid(1);
        // Private ports and files, so that no other run collides with this one.
        if (!words.contains("--tcp"))
            words << "--tcp"
                  << "0";
        Rewrite(words, "--tcp", "0");
        Rewrite(words, "--pty", dir.filePath("pty"));
        Rewrite(words, "--serial", serial.LinkEnd());
        Rewrite(words, "--eeprom", dir.filePath("drive.eeprom"));
        Rewrite(words, "--defs", kxtest::SourcePath(words.value(words.indexOf("--defs") + 1)));
        kxtest::TSubprocess sim(KX_SIM_BINARY, words);
        const QString ready = sim.ReadLine(10000);
        EXPECT_TRUE(ready.startsWith("ready ")) << command.toStdString();
    }
}

#endif

} // namespace
