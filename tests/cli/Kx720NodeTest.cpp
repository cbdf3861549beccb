#include "CliSim.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// kx720-sim playing a machine at slave 5, with a program table.
TEST(Kx720Node, PrintsStatesAndHeaders) {
    QTemporaryDir dir;
    QFile programs(dir.filePath("programs.txt")), ini(dir.filePath("nodes.ini"));
    ASSERT_TRUE(programs.open(QIODevice::WriteOnly) && ini.open(QIODevice::WriteOnly));
    programs.write("0 1 2 3 4\n1 0x10 0x20 0x30 0x40\n2 refuse\n3 ignore\n");
    programs.close();
    ini.write("[Press]\nConnectionName=TCP\nModBusAddress=5\n[Off]\nConnectionName=TCP\n"
              "ModBusAddress=5\nEnable=0\n");
    ini.close();
    CliSim machine({"--machine", "--programs", programs.fileName(), "--slave", "5"}, 0,
                   "data/TD_Machine.ini");
    ASSERT_TRUE(machine.Ready());
    const QString table = "Index\tWord0\tWord1\tWord2\tWord3\n"
                          "0\t0x0001\t0x0002\t0x0003\t0x0004\n"
                          "1\t0x0010\t0x0020\t0x0030\t0x0040\n";
    const struct {
        QStringList Arguments;
        int ExitCode;
        QString Out;
        QString ErrLine; // a line standard error must hold
    } rows[] = {
        {{"--slave", "5", "node", "--count", "2"}, 0, "164\twaiting\n163\tok\n", {}},
        {{"--ini", ini.fileName(), "--node", "Press", "node", "--count", "2"},
         0,
         "164\twaiting\n163\tok\n",
         {}},
        {{"--ini", ini.fileName(), "--node", "Off", "node"},
         1,
         {},
         "Node Off is disabled (Enable=0)."},
        {{"--ini", ini.fileName(), "--node", "Lathe", "node"},
         1,
         {},
         "No node [Lathe] in " + ini.fileName() + "."},
        {{"--slave", "5", "node", "headers", "0", "1"}, 0, table, "program header 1 of 0..1"},
        {{"--slave", "5", "node", "headers", "0", "9"},
         1,
         table,
         "Error reading program headers: invalid response!"},
        {{"--slave", "5", "node", "headers", "3", "4"},
         1,
         {},
         "Error reading program headers: program header not read (the machine did not take the "
         "selection, or its reply had the wrong length)!"},
        {{"--slave", "6", "--timeout", "100", "node", "headers", "0", "1"},
         1,
         {},
         "Program headers are read only from a node that is ok; node Node is in state 171 (no "
         "link)."},
        {{"--slave", "5", "node", "headers", "3", "2"},
         2,
         {},
         "kx720: headers wants 0 <= FIRST <= LAST <= 99"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Arguments.join(' ').toStdString());
        const CliRun run = machine.Run(row.Arguments);
        EXPECT_EQ(run.ExitCode, row.ExitCode) << run.Err.toStdString();
        EXPECT_EQ(run.Out, row.Out);
        EXPECT_TRUE(row.ErrLine.isEmpty() || run.Err.split('\n').contains(row.ErrLine))
            << run.Err.toStdString();
    }
}

} // namespace
