// Every kx720 and kx720-sim command line the README shows runs against the
// simulator and succeeds, so that the README cannot drift from the programs.
// kx720 commands that need another peer than a drive or serve until stopped
// are named and left to their own tests, so that no new command is skipped
// unnoticed.
#include "CliSim.h"

#include <QFile>
#include <QRegularExpression>

namespace {

// The words of the README's sh-block lines that start with prefix, without
// their comments and optional parts ("[--pdf FILE]").
QList<QStringList> ReadmeCommands(const QString& prefix) {
    QList<QStringList> commands;
    bool inBlock = false;
    for (const QString& line :
         QString::fromUtf8(kxtest::ReadFile(kxtest::SourcePath("README.md"))).split('\n')) {
        if (line.startsWith("```"))
            inBlock = line == "```sh";
        else if (inBlock && line.startsWith(prefix))
            commands << line.section(QRegularExpression(R"(\s+#\s)"), 0, 0)
                            .remove(QRegularExpression(R"(\[[^\]]*\])"))
                            .split(' ', Qt::SkipEmptyParts)
                            .mid(1);
    }
    return commands;
}

// Replaces the value after option, when present.
void Rewrite(QStringList& words, const QString& option, const QString& value) {
    if (const qsizetype at = words.indexOf(option); at >= 0 && at + 1 < words.size())
        words[at + 1] = value;
}

TEST(Readme, EveryKx720CommandRunsAgainstTheSimulator) {
    const QStringList drive{"list",   "read",   "write", "set",     "watch", "ident",
                            "export", "import", "print", "compare", "ports"};
    const QStringList others{"node", "bridge", "report", "scan", "set-slave"};
    // The files the commands write (drive.720) go to a folder of the test's own.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(kxtest::SourcePath("data/VF_Parameters_v207.ini"),
                            dir.filePath("VF_Parameters_v207.ini")));
    CliSim sim({}, 1);
    ASSERT_TRUE(sim.Ready());
    int run = 0;
    for (QStringList words : ReadmeCommands("kx720 ")) {
        const auto verb = std::find_if(words.begin(), words.end(), [&](const QString& word) {
            return drive.contains(word) || others.contains(word);
        });
        ASSERT_NE(verb, words.end())
            << "a command this test does not know: " << words.join(' ').toStdString();
        if (others.contains(*verb))
            continue;
        ++run;
        Rewrite(words, "--tcp", sim.Link());
        Rewrite(words, "--com", "1");
        const CliRun result = Kx720(words, dir.path());
        EXPECT_EQ(result.ExitCode, 0) << words.join(' ').toStdString() << "\n"
                                      << result.Err.toStdString();
    }
    EXPECT_GE(run, 8);
}

TEST(Readme, EverySimulatorCommandServes) {
    const QList<QStringList> commands = ReadmeCommands("build/sim/kx720-sim ");
    ASSERT_GE(commands.size(), 3);
    for (QStringList words : commands) {
        QTemporaryDir dir;
        kxtest::TPtyPair serial;
        ASSERT_TRUE(serial.Ready());
        // Private ports and files, so that no other run collides with this one.
        if (!words.contains("--tcp"))
            words += QStringList{"--tcp", "0"};
        Rewrite(words, "--tcp", "0");
        Rewrite(words, "--pty", dir.filePath("pty"));
        Rewrite(words, "--serial", serial.LinkEnd());
        Rewrite(words, "--eeprom", dir.filePath("drive.eeprom"));
        Rewrite(words, "--defs", kxtest::SourcePath(words.value(words.indexOf("--defs") + 1)));
        kxtest::TSubprocess sim(KX_SIM_BINARY, words);
        EXPECT_TRUE(sim.ReadLine(10000).startsWith("ready ")) << words.join(' ').toStdString();
    }
}

} // namespace
