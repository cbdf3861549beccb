// kx720 against the drive simulator: what the definitions let a user ask
// for, values in the drive's units, and what a failure says.
#include "CliSim.h"

#include <QRegularExpression>
#include <set>

namespace {

// The indices of a read's lines, in the order printed.
std::vector<uint32_t> Indices(const QString& out) {
    std::vector<uint32_t> indices;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        indices.push_back(line.section('\t', 0, 0).toUInt());
    return indices;
}

TEST(Kx720List, ListsWhatTheDefinitionsSayWithoutALink) {
    CliRun run = Kx720({"list"});
    EXPECT_EQ(run.ExitCode, 0);
    const QStringList lines = run.Out.split('\n');
    for (const char* line : {"Index\tName\tDescription\tUnit\tScale\tReadOnly\tStoredCopy",
                             "15\tFreqSetpoint\tFrequency setpoint (Hz)\tHz\t0.1\tno\t42",
                             "22\tDcBusVoltage\tDC bus voltage (V)\tV\t1\tyes\t"})
        EXPECT_TRUE(lines.contains(line)) << line;
    // "all" leaves out what never goes on the wire.
    EXPECT_EQ(run.Out.count('\n'), 1 + 52);
    run = Kx720({"list", "eeprom", "--csv"});
    EXPECT_TRUE(run.Out.split('\n').contains("31,MainVoltageEE,Main voltage (V),V,1,no,"));
    EXPECT_EQ(Kx720({"list", "Nope"}).ExitCode, 1);
}

TEST(Kx720Read, IndicesRangesAndCategoriesPrintAsTheTerminalDoes) {
    CliSim sim;
    ASSERT_TRUE(sim.Ready());
    const std::pair<QStringList, QString> rows[] = {
        {{"ident"}, "Hardware version:\tKX720-A\nFirmware version:\t2.07\n"},
        {{"write", "16=55", "43=55"},
         "AccelTime 005.5 uploaded (RAM)\nAccelTimeEE 005.5 saved (EEPROM)\n"},
        {{"read", "43", "4"}, "43\tAccelTimeEE\t005.5\t0x0037\n4\tMainVoltage\t400\t0x0190\n"},
        {{"read", "4", "--raw"}, "4\tMainVoltage\t0x0190\n"},
        {{"read", "4", "--text"}, "4\tMainVoltage\t400\n"},
    };
    for (const auto& [args, out] : rows) {
        const CliRun run = sim.Run(args);
        EXPECT_EQ(run.Out, out) << run.Err.toStdString();
    }
    const CliRun watch = sim.Run({"watch", "22", "23", "--count", "2", "--raw"});
    const QStringList lines = watch.Out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 4);
    const QRegularExpression stamped(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\t2[23]\t\w+\t0x[0-9A-F]{4}$)");
    for (const QString& line : lines)
        EXPECT_TRUE(stamped.match(line).hasMatch()) << line.toStdString();

    // Ranges, categories and "all" become indices, each once.
    const std::pair<QStringList, std::set<uint32_t>> selections[] = {
        // clang-format off
        {{"4-7"}, {4, 5, 6, 7}}, {{"Flash", "4"}, {4, 20, 49}},
        {{"27-30"}, {27, 29, 30}}, // 28 is reserved
        {{"scope", "1001-1002"}, {1000, 1001, 1002, 1003}},
        {{"9995-10005"}, {}}, // only a local parameter lies there
        {{"28"}, {}}, {{"Nope"}, {}}, {{"7-4"}, {}},
        // clang-format on
    };
    for (const auto& [selection, expected] : selections) {
        SCOPED_TRACE(selection.join(' ').toStdString());
        const CliRun run = sim.Run(QStringList{"read"} + selection);
        EXPECT_EQ(run.ExitCode, expected.empty() ? 1 : 0) << run.Err.toStdString();
        const std::vector<uint32_t> got = Indices(run.Out);
        EXPECT_EQ(std::set<uint32_t>(got.begin(), got.end()), expected);
        EXPECT_EQ(got.size(), expected.size()) << "each index once";
    }
    EXPECT_EQ(Indices(sim.Run({"read", "all"}).Out).size(), 52U);
}

TEST(Kx720Set, ConvertsDisplayValuesAndRefusesBeforeSending) {
    CliSim sim;
    CliRun run = sim.Run({"set", "15=30.0", "16=5.5", "13=0"});
    EXPECT_EQ(run.Out, "FreqSetpoint 030.0 uploaded (RAM)\nAccelTime 005.5 uploaded (RAM)\n"
                       "MinFreq 000.0 uploaded (RAM)\n")
        << run.Err.toStdString();
    EXPECT_EQ(sim.Run({"read", "15", "16", "--raw"}).Out,
              "15\tFreqSetpoint\t0x012C\n16\tAccelTime\t0x0037\n");
    const std::pair<QString, QString> refusals[] = {
        {"3=1", "3 Status: read-only, nothing sent"},
        {"15=7000", "15 FreqSetpoint: 7000 does not fit the register (0 to 6553.5), nothing sent"},
        {"15=-1", "15 FreqSetpoint: -1 does not fit the register (0 to 6553.5), nothing sent"},
        {"15=fast", "15 FreqSetpoint: 'fast' is not a number, nothing sent"},
    };
    for (const auto& [pair, firstLine] : refusals) {
        run = sim.Run({"set", "16=9.9", pair});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
        EXPECT_EQ(run.Err.section('\n', 0, 0), firstLine);
    }
    // The good pair of a refused command was not sent either.
    EXPECT_EQ(sim.Run({"read", "16", "--raw"}).Out, "16\tAccelTime\t0x0037\n");
}

TEST(Kx720Errors, NameTheParameterAndTheModbusException) {
    CliSim sim({"--exception", "15:2"});
    CliRun run = sim.Run({"write", "4=400", "15=1", "16=50"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out, "MainVoltage 400 uploaded (RAM)\n");
    EXPECT_EQ(run.Err, "15 FreqSetpoint: the drive refused the write: exception 02, illegal "
                       "data address\nNot written: 15=1\nNot written: 16=50\n");
    run = sim.Run({"read", "15"});
    EXPECT_EQ(run.Err, "15 FreqSetpoint: the drive refused the read: exception 02, illegal "
                       "data address\n");

    CliSim dropping({"--drop-after", "1"});
    run = dropping.Run({"read", "4", "5"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("5 NomCurrent: Error on ModBus data exchange: the TCP link to " +
                                   dropping.Link() + " was dropped\n"))
        << run.Err.toStdString();
}

// The drive trips 5 s after the last keep-alive; --keep-alive writes one
// every 2.5 s, so a motor started by a script runs on.
TEST(Kx720KeepAlive, KeepsTheMotorRunning) {
    CliSim sim;
    ASSERT_EQ(sim.Run({"write", "27=1"}).ExitCode, 0);
    const CliRun run = sim.Run({"--keep-alive", "watch", "2", "3", "--count", "80", "--raw"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 160);
    EXPECT_GT(run.Ms, 6000) << "past the drive's watch";
    for (const QString& line : lines) {
        const uint word = line.section("0x", -1).toUInt(nullptr, 16);
        const bool faults = line.contains("\tFaults\t");
        ASSERT_TRUE(faults ? word == 0 : (word & 1) == 1) << line.toStdString();
    }
}

} // namespace
