#include "TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>
#include <set>

// kx720 against the drive simulator: what the definitions let a user ask
// for, values in the drive's units, and what a failure says.
namespace {

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun Kx720(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(kxtest::SourcePath("data"));
    process.start(KX_CLI_BINARY, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// The indices of a read's lines, in the order printed.
std::vector<uint32_t> Indices(const QString& out) {
    std::vector<uint32_t> indices;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        indices.push_back(line.section('\t', 0, 0).toUInt());
    return indices;
}

TEST(Kx720List, ListsWhatTheDefinitionsSayWithoutALink) {
    struct Case {
        QStringList Args;
        int ExitCode;
        QStringList Lines; // each must be a whole line of the output
    };
    const Case cases[] = {
        {{"list"},
         0,
         {"Index\tName\tDescription\tUnit\tScale\tReadOnly\tStoredCopy",
          "4\tMainVoltage\tMain voltage (V)\tV\t1\tno\t31",
          "15\tFreqSetpoint\tFrequency setpoint (Hz)\tHz\t0.1\tno\t42",
          "22\tDcBusVoltage\tDC bus voltage (V)\tV\t1\tyes\t",
          "29\tKeepAlive\tCommunication keep-alive time-out (ms)\tms\t1\tno\t"}},
        {{"list", "eeprom", "--csv"},
         0,
         {"Index,Name,Description,Unit,Scale,ReadOnly,StoredCopy",
          "31,MainVoltageEE,Main voltage (V),V,1,no,"}},
        {{"list", "Nope"}, 1, {}},
        {{"list", "Ram", "Flash"}, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun run = Kx720(c.Args);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err.toStdString();
        const QStringList lines = run.Out.split('\n');
        for (const QString& line : c.Lines)
            EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    }
    // "all" leaves out what never goes on the wire and the export selection.
    const TRun all = Kx720({"list"});
    EXPECT_FALSE(all.Out.contains("\n10000\t"));
    EXPECT_EQ(all.Out.count('\n'), 1 + 52);
}

#ifdef KX_SIM_BINARY

// The drive simulator on a free TCP port, for the life of the object.
class TSim {
public:
    explicit TSim(const QStringList& options = {})
        : FProcess(KX_SIM_BINARY,
                   QStringList{"--defs", kxtest::SourcePath("data/VF_Parameters_v207.ini"), "--tcp",
                               "0"} +
                       options) {
        const QString ready = FProcess.ReadLine(10000); // "ready tcp 127.0.0.1:PORT"
        if (ready.startsWith("ready tcp "))
            FLink = ready.section(' ', 2, 2);
    }
    const QString& Link() const { return FLink; }
    TRun Run(const QStringList& arguments) const {
        return Kx720(QStringList{"--tcp", FLink} + arguments);
    }

private:
    kxtest::TSubprocess FProcess;
    QString FLink;
};

TEST(Kx720Selection, RangesCategoriesAndAllBecomeIndices) {
    TSim sim;
    ASSERT_FALSE(sim.Link().isEmpty());
    struct Case {
        QStringList Specs;
        std::set<uint32_t> Expected;
    };
    const Case cases[] = {
        {{"4-7"}, {4, 5, 6, 7}},
        {{"27-30"}, {27, 29, 30}}, // 28 is reserved
        {{"Flash", "4"}, {4, 20, 49}},
        {{"scope", "1001-1002"}, {1000, 1001, 1002, 1003}},
        {{"9995-10005"}, {}}, // only a local parameter lies there
        {{"28"}, {}},
        {{"10000"}, {}},
        {{"Nope"}, {}},
        {{"7-4"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Specs.join(' ').toStdString());
        const TRun run = sim.Run(QStringList{"read"} + c.Specs);
        EXPECT_EQ(run.ExitCode, c.Expected.empty() ? 1 : 0) << run.Err.toStdString();
        const std::vector<uint32_t> got = Indices(run.Out);
        EXPECT_EQ(std::set<uint32_t>(got.begin(), got.end()), c.Expected);
        EXPECT_EQ(got.size(), c.Expected.size()) << "each index once";
    }
    const TRun all = sim.Run({"read", "all"});
    EXPECT_EQ(all.ExitCode, 0) << all.Err.toStdString();
    EXPECT_EQ(Indices(all.Out).size(), 52U);
}

TEST(Kx720Selection, RawAndTextPrintOneColumn) {
    TSim sim;
    EXPECT_EQ(sim.Run({"read", "4", "--raw"}).Out, "4\tMainVoltage\t0x0190\n");
    EXPECT_EQ(sim.Run({"read", "4", "--text"}).Out, "4\tMainVoltage\t400\n");
    EXPECT_EQ(sim.Run({"read", "4", "--text", "--raw"}).ExitCode, 2);
    const TRun watch = sim.Run({"watch", "22", "--count", "2", "--raw"});
    const QStringList lines = watch.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_TRUE(
            QRegularExpression(
                R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\t22\tDcBusVoltage\t0x[0-9A-F]{4}$)")
                .match(line)
                .hasMatch())
            << line.toStdString();
}

TEST(Kx720Set, ConvertsDisplayValuesAndRefusesBeforeSending) {
    TSim sim;
    TRun run = sim.Run({"set", "15=30.0", "16=5.5", "13=0"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, "FreqSetpoint 030.0 uploaded (RAM)\nAccelTime 005.5 uploaded (RAM)\n"
                       "MinFreq 000.0 uploaded (RAM)\n");
    EXPECT_EQ(sim.Run({"read", "15", "16", "--raw"}).Out,
              "15\tFreqSetpoint\t0x012C\n16\tAccelTime\t0x0037\n");

    struct Refusal {
        QStringList Pairs;
        QString FirstLine;
    };
    const Refusal refusals[] = {
        {{"16=9.9", "3=1"}, "3 Status: read-only, nothing sent"},
        {{"16=9.9", "15=7000"},
         "15 FreqSetpoint: 7000 does not fit the register (0 to 6553.5), nothing sent"},
        {{"16=9.9", "15=-1"},
         "15 FreqSetpoint: -1 does not fit the register (0 to 6553.5), nothing sent"},
        {{"16=9.9", "15=fast"}, "15 FreqSetpoint: 'fast' is not a number, nothing sent"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.Pairs.join(' ').toStdString());
        run = sim.Run(QStringList{"set"} + r.Pairs);
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
        EXPECT_EQ(run.Err.section('\n', 0, 0), r.FirstLine);
    }
    // The good pair of a refused command was not sent either.
    EXPECT_EQ(sim.Run({"read", "16", "--raw"}).Out, "16\tAccelTime\t0x0037\n");
}

TEST(Kx720Errors, NameTheParameterAndTheModbusException) {
    TSim sim({"--exception", "15:2"});
    TRun run = sim.Run({"write", "4=400", "15=1", "16=50"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out, "MainVoltage 400 uploaded (RAM)\n");
    EXPECT_EQ(run.Err, "15 FreqSetpoint: the drive refused the write: exception 02, illegal "
                       "data address\nNot written: 15=1\nNot written: 16=50\n");
    run = sim.Run({"read", "15"});
    EXPECT_EQ(run.Err, "15 FreqSetpoint: the drive refused the read: exception 02, illegal "
                       "data address\n");

    TSim dropping({"--drop-after", "1"});
    run = dropping.Run({"read", "4", "5"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("5 NomCurrent: Error on ModBus data exchange: the TCP link to " +
                                   dropping.Link() + " was dropped\n"))
        << run.Err.toStdString();
}

// The drive trips after 5 s without a keep-alive; --keep-alive writes one
// every 2.5 s, so a motor started by a script runs on.
TEST(Kx720KeepAlive, KeepsTheMotorRunningFor20Seconds) {
    TSim sim;
    ASSERT_EQ(sim.Run({"write", "27=1"}).ExitCode, 0);
    const TRun run = sim.Run({"--keep-alive", "watch", "2", "3", "--count", "200", "--raw"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 400);
    for (const QString& line : lines) {
        const uint word = line.section("0x", -1).toUInt(nullptr, 16);
        if (line.contains("\tFaults\t"))
            ASSERT_EQ(word, 0U) << line.toStdString();
        else
            ASSERT_EQ(word & 1U, 1U) << "not running: " << line.toStdString();
    }
}

#endif

} // namespace
