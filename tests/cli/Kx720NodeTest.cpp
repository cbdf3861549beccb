#include "CliSim.h"

namespace {

// kx720-sim playing a machine at slave 5, with a program table.
TEST(Kx720Node, PrintsStatesAndHeaders) {
    QTemporaryDir dir;
    const QString programs = kxtest::WriteFile(
        dir.filePath("programs.txt"), "0 1 2 3 4\n1 0x10 0x20 0x30 0x40\n2 refuse\n3 ignore\n");
    const QString ini = kxtest::WriteFile(dir.filePath("nodes.ini"),
                                          "[Press]\nConnectionName=TCP\nModBusAddress=5\n[Off]\n"
                                          "ConnectionName=TCP\nModBusAddress=5\nEnable=0\n"
                                          "[Far]\nConnectionName=TCP\nModBusAddress=261\n");
    CliSim machine({"--machine", "--programs", programs, "--slave", "5"}, 0, "data/TD_Machine.ini");
    ASSERT_TRUE(machine.Ready());
    const QString table = "Index\tWord0\tWord1\tWord2\tWord3\n"
                          "0\t0x0001\t0x0002\t0x0003\t0x0004\n"
                          "1\t0x0010\t0x0020\t0x0030\t0x0040\n";
    // Arguments, status, standard output and a line standard error must hold.
    const std::tuple<QStringList, int, QString, QString> rows[] = {
        // clang-format off
        {{"--slave", "5", "node", "--count", "2"}, 0, "164\twaiting\n163\tok\n", {}},
        {{"--ini", ini, "--node", "Press", "node", "--count", "2"}, 0, "164\twaiting\n163\tok\n",
         {}},
        {{"--ini", ini, "--node", "Off", "node"}, 1, {}, "Node Off is disabled (Enable=0)."},
        {{"--ini", ini, "--node", "Lathe", "node"}, 1, {}, "No node [Lathe] in " + ini + "."},
        // 261 would go out as its low byte, 5: the machine of another node.
        {{"--ini", ini, "--node", "Far", "node", "--count", "2"}, 1, {},
         "Node Far has slave address 261, not 1 to 247."},
        {{"--slave", "5", "node", "headers", "0", "1"}, 0, table, "program header 1 of 0..1"},
        {{"--slave", "5", "node", "headers", "0", "9"}, 1, table,
         "Error reading program headers: invalid response!"},
        {{"--slave", "5", "node", "headers", "3", "4"}, 1, {},
         "Error reading program headers: program header not read (the machine did not take the "
         "selection, or its reply had the wrong length)!"},
        {{"--slave", "6", "--timeout", "100", "node", "headers", "0", "1"}, 1, {},
         "Program headers are read only from a node that is ok; node Node is in state 171 (no "
         "link)."},
        {{"--slave", "5", "node", "headers", "3", "2"}, 2, {},
         "kx720: headers wants 0 <= FIRST <= LAST <= 99"},
        // clang-format on
    };
    for (const auto& [arguments, exitCode, out, errLine] : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = machine.Run(arguments);
        EXPECT_EQ(run.ExitCode, exitCode) << run.Err.toStdString();
        EXPECT_EQ(run.Out, out);
        EXPECT_TRUE(errLine.isEmpty() || run.Err.split('\n').contains(errLine))
            << run.Err.toStdString();
    }
}

} // namespace
