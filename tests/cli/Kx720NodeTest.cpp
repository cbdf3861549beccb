#include "TestSupport.h"

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
};

// The real kx720 in data/, where the machine definitions are its default.
TRun Kx720(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(kxtest::SourcePath("data"));
    process.start(KX_CLI_BINARY, arguments);
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// kx720-sim playing a machine at slave 5 over TCP, with a program table.
class TMachine {
public:
    explicit TMachine(const QString& programs) {
        QFile file(FDir.path() + "/programs.txt");
        file.open(QIODevice::WriteOnly);
        file.write(programs.toUtf8());
        file.close();
        FSim = std::make_unique<kxtest::TSubprocess>(
            KX_SIM_BINARY,
            QStringList{"--defs", kxtest::SourcePath("data/TD_Machine.ini"), "--machine",
                        "--programs", file.fileName(), "--slave", "5", "--tcp", "0"});
        FLink = FSim->ReadLine(10000).section(' ', 2, 2);
    }
    QString Link() const { return FLink; }
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    std::unique_ptr<kxtest::TSubprocess> FSim;
    QString FLink;
};

struct TNodeCase {
    const char* Name;
    QStringList Arguments; // after --tcp LINK
    int ExitCode;
    QString Out;
    QString ErrLine; // a line standard error must hold
};

TEST(Kx720Node, PrintsStatesAndHeaders) {
    TMachine machine("0 1 2 3 4\n1 0x10 0x20 0x30 0x40\n2 refuse\n");
    QFile ini(machine.Path() + "/nodes.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Press]\nConnectionName=TCP\nModBusAddress=5\n[Off]\nConnectionName=TCP\n"
              "ModBusAddress=5\nEnable=0\n");
    ini.close();
    const QString table = "Index\tWord0\tWord1\tWord2\tWord3\n"
                          "0\t0x0001\t0x0002\t0x0003\t0x0004\n"
                          "1\t0x0010\t0x0020\t0x0030\t0x0040\n";
    const TNodeCase cases[] = {
        {"states", {"--slave", "5", "node", "--count", "2"}, 0, "164\twaiting\n163\tok\n", {}},
        {"from an INI section",
         {"--ini", ini.fileName(), "--node", "Press", "node", "--count", "2"},
         0,
         "164\twaiting\n163\tok\n",
         {}},
        {"a disabled node",
         {"--ini", ini.fileName(), "--node", "Off", "node"},
         1,
         {},
         "Node Off is disabled (Enable=0)."},
        {"a missing node",
         {"--ini", ini.fileName(), "--node", "Lathe", "node"},
         1,
         {},
         "No node [Lathe] in " + ini.fileName() + "."},
        {"headers", {"--slave", "5", "node", "headers", "0", "1"}, 0, table, {}},
        {"headers up to a refused one",
         {"--slave", "5", "node", "headers", "0", "9"},
         1,
         table,
         "Error reading program headers: invalid response!"},
        {"no headers of another slave",
         {"--slave", "6", "--timeout", "100", "node", "headers", "0", "1"},
         1,
         {},
         "Program headers are read only from a node that is ok; node Node is in state 171 (no "
         "link)."},
        {"bad range",
         {"--slave", "5", "node", "headers", "3", "2"},
         2,
         {},
         "kx720: headers wants 0 <= FIRST <= LAST <= 99"},
    };
    for (const TNodeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRun run = Kx720(QStringList{"--tcp", machine.Link()} + c.Arguments);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err.toStdString();
        EXPECT_EQ(run.Out, c.Out);
        if (!c.ErrLine.isEmpty()) {
            EXPECT_TRUE(run.Err.split('\n').contains(c.ErrLine)) << run.Err.toStdString();
        }
    }
}

} // namespace
#endif
