#include "TMbapClient.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <thread>

#ifdef KX_SIM_BINARY
namespace {

using kxtest::TBytes;
using kxtest::TMbapClient;
using namespace std::chrono_literals;

#if defined(KX_ASAN) || defined(KX_TSAN)
constexpr int kSlack = 250; // ms a sanitized build may add to a bound
#else
constexpr int kSlack = 60;
#endif
constexpr int kComPort = 4;
constexpr uint8_t kDrive = 2;

QString Data() {
    return kxtest::SourcePath("data");
}

// The simulator on a pty of the test's own, which COM4 names.
class TSimOnPty {
public:
    TSimOnPty(kxtest::TConfigHome& home, const QString& pty, const QStringList& extra = {})
        : FProcess(KX_SIM_BINARY,
                   QStringList{"--defs", Data() + "/VF_Parameters_v207.ini", "--pty", pty} +
                       extra) {
        FReady = FProcess.ReadLine(10000).startsWith("ready pty ");
        home.Map(kComPort, pty);
    }
    bool Ready() const { return FReady; }

private:
    kxtest::TSubprocess FProcess;
    bool FReady = false;
};

// kx720 bridge on a free port, ended by a signal.
class TBridgeProcess {
public:
    explicit TBridgeProcess(const QStringList& link = {"--com", QString::number(kComPort)}) {
        FProcess.setWorkingDirectory(Data());
        FProcess.start(KX_CLI_BINARY, link + QStringList{"bridge", "--listen", "0"});
        FFirstLine = NextLine();
        const auto match =
            QRegularExpression(R"(^bridge 127\.0\.0\.1:(\d+) -> (\S+)$)").match(FFirstLine);
        FPort = match.hasMatch() ? match.captured(1).toInt() : 0;
    }
    ~TBridgeProcess() {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }
    int Port() const { return FPort; }
    QString FirstLine() const { return FFirstLine; }

    // Sends the signal and returns what the bridge printed after its first
    // line; exit code in code.
    QStringList Stop(int signal, int& code) {
        kill(static_cast<pid_t>(FProcess.processId()), signal);
        FProcess.waitForFinished(5000);
        code = FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
        return QString::fromLocal8Bit(FProcess.readAllStandardOutput())
            .split('\n', Qt::SkipEmptyParts);
    }

private:
    QString NextLine() {
        QElapsedTimer clock;
        clock.start();
        while (!FProcess.canReadLine() && clock.elapsed() < 10000)
            FProcess.waitForReadyRead(100);
        return QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }

    QProcess FProcess;
    QString FFirstLine;
    int FPort = 0;
};

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(Data());
    process.start(program, arguments);
    process.waitForFinished(20000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// The raw words of "kx720 read" lines ("4\tMainVoltage\t400\t0x0190").
QStringList Words(const QString& readOutput) {
    QStringList words;
    for (const QString& line : readOutput.split('\n', Qt::SkipEmptyParts))
        words << line.section('\t', 3);
    return words;
}

// The request lines of the simulator's log, comments left out.
QStringList LogLines(const QString& log) {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll())
        .split('\n', Qt::SkipEmptyParts)
        .filter(QRegularExpression("^[^#]"));
}

const QStringList kIndices{"4", "5", "6", "7", "8", "9", "10", "11", "12"};

class Kx720Bridge : public ::testing::Test {
protected:
    kxtest::TConfigHome Home;
    QTemporaryDir Dir;
    QString Pty = Dir.path() + "/drive";
};

// mbpoll, pymodbus and our own kx720 read through the bridge what a direct
// RTU read gives; the bridge names every client and counts what it served.
TEST_F(Kx720Bridge, ClientsWeDidNotWriteReadTheWordsOfADirectRead) {
    TSimOnPty sim(Home, Pty);
    ASSERT_TRUE(sim.Ready());
    const TRun direct = RunProgram(KX_CLI_BINARY, QStringList{"--com", "4", "read"} + kIndices);
    ASSERT_EQ(direct.ExitCode, 0) << direct.Err.toStdString();
    const QStringList words = Words(direct.Out);
    ASSERT_EQ(words.size(), kIndices.size());

    TBridgeProcess bridge;
    ASSERT_NE(bridge.Port(), 0) << bridge.FirstLine().toStdString();
    EXPECT_TRUE(bridge.FirstLine().endsWith(" -> COM4"));
    const QString port = QString::number(bridge.Port());

    const TRun mbpoll =
        RunProgram("/usr/bin/mbpoll", {"-m", "tcp", "-p", port, "-a", "2", "-r", "4", "-c", "9",
                                       "-0", "-1", "-t", "4:hex", "127.0.0.1"});
    ASSERT_EQ(mbpoll.ExitCode, 0) << mbpoll.Out.toStdString();
    QStringList mbpollWords;
    for (const auto& m :
         QRegularExpression(R"(^\[\d+\]:\s+(0x[0-9A-F]{4}))", QRegularExpression::MultilineOption)
             .globalMatch(mbpoll.Out))
        mbpollWords << m.captured(1);
    EXPECT_EQ(mbpollWords, words);

    const TRun pymodbus =
        RunProgram("/usr/bin/python3", {kxtest::SourcePath("tests/modbus/peers/pymodbus_client.py"),
                                        "127.0.0.1", port, "2", "4", "9"});
    ASSERT_EQ(pymodbus.ExitCode, 0) << pymodbus.Err.toStdString();
    EXPECT_EQ(pymodbus.Out.split('\n', Qt::SkipEmptyParts), words);

    const TRun ours =
        RunProgram(KX_CLI_BINARY, QStringList{"--tcp", "127.0.0.1:" + port, "read"} + kIndices);
    EXPECT_EQ(ours.Out, direct.Out) << ours.Err.toStdString();

    int code = -1;
    const QStringList lines = bridge.Stop(SIGTERM, code);
    EXPECT_EQ(code, 0);
    const QRegularExpression client(R"(^client 127\.0\.0\.1:\d+ (connected|left)$)");
    EXPECT_EQ(lines.filter(client).size(), 6) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.value(lines.size() - 1), "11 requests served, 0 failed");
}

// Eight clients at once, each reading its own register: every reply carries
// its request's transaction id and that register's word, and the drive's log
// shows every request whole and answered: two requests on the line at once
// would have garbled each other into malformed frames or foreign slaves.
TEST_F(Kx720Bridge, EightClientsAtOnceEachGetTheirOwnAnswers) {
    const QString log = Dir.path() + "/requests.log";
    TSimOnPty sim(Home, Pty, {"--log", log});
    ASSERT_TRUE(sim.Ready());
    const TRun direct = RunProgram(KX_CLI_BINARY, QStringList{"--com", "4", "read"} + kIndices);
    const QStringList words = Words(direct.Out);
    ASSERT_EQ(words.size(), kIndices.size()) << direct.Err.toStdString();
    const qsizetype directRequests = LogLines(log).size();
    TBridgeProcess bridge;
    ASSERT_NE(bridge.Port(), 0) << bridge.FirstLine().toStdString();

    constexpr int kClients = 8;
    constexpr int kReads = 200;
    std::vector<int> wrong(kClients, 0);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            TMbapClient client(bridge.Port());
            const uint16_t address = static_cast<uint16_t>(4 + c);
            const uint16_t word = static_cast<uint16_t>(words[c].toUInt(nullptr, 16));
            const TBytes expected{0x03, 0x02, static_cast<uint8_t>(word >> 8),
                                  static_cast<uint8_t>(word & 0xFF)};
            for (int i = 0; i < kReads; ++i) {
                const auto reply = client.Transact(kDrive, TMbapClient::ReadPdu(address));
                if (!reply || reply->Transaction != client.LastTransaction() ||
                    reply->Unit != kDrive || reply->Pdu != expected)
                    ++wrong[c];
            }
        });
    }
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(wrong, std::vector<int>(kClients, 0));
    int code = -1;
    const QStringList lines = bridge.Stop(SIGINT, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lines.value(lines.size() - 1),
              QStringLiteral("%1 requests served, 0 failed").arg(kClients * kReads));

    // Besides the reads, the link's own line checks (function 08) may show.
    std::map<QString, int> perAddress;
    double previous = 0;
    for (const QString& line : LogLines(log).mid(directRequests)) {
        const QStringList f = line.split('\t');
        ASSERT_EQ(f.size(), 7) << line.toStdString();
        EXPECT_TRUE(f[3] == "03" || f[3] == "08") << line.toStdString();
        EXPECT_EQ(f[6], "reply") << line.toStdString();
        EXPECT_GE(f[0].toDouble(), previous);
        previous = f[0].toDouble();
        if (f[3] == "03")
            ++perAddress[f[4]];
    }
    EXPECT_EQ(perAddress.size(), static_cast<size_t>(kClients));
    for (const auto& [address, count] : perAddress)
        EXPECT_EQ(count, kReads) << address.toStdString();
}

// A silent drive is 0x0B within the link's time-out; a drive whose pty is
// gone is 0x0A until it is back, and then it answers again.
TEST_F(Kx720Bridge, FaultsOfTheLineBecomeGatewayExceptions) {
    constexpr int kTimeout = 300;
    auto sim = std::make_unique<TSimOnPty>(Home, Pty, QStringList{"--silence", "1"});
    ASSERT_TRUE(sim->Ready());
    TBridgeProcess bridge({"--com", "4", "--timeout", QString::number(kTimeout)});
    ASSERT_NE(bridge.Port(), 0) << bridge.FirstLine().toStdString();
    TMbapClient client(bridge.Port());
    QElapsedTimer clock;
    clock.start();
    auto reply = client.Transact(kDrive, TMbapClient::ReadPdu(4));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Pdu, (TBytes{0x83, 0x0B}));
    EXPECT_LE(clock.elapsed(), kTimeout + 100 + kSlack);

    sim.reset();
    reply = client.Transact(kDrive, TMbapClient::ReadPdu(4));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Pdu, (TBytes{0x83, 0x0A}));

    sim = std::make_unique<TSimOnPty>(Home, Pty);
    ASSERT_TRUE(sim->Ready());
    reply = client.Transact(kDrive, TMbapClient::ReadPdu(4));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Pdu, (TBytes{0x03, 0x02, 0x01, 0x90}));

    int code = -1;
    const QStringList lines = bridge.Stop(SIGTERM, code);
    EXPECT_EQ(lines.value(lines.size() - 1), "1 request served, 2 failed");
}

TEST_F(Kx720Bridge, RefusesWhatItCannotServe) {
    struct TCase {
        QStringList Arguments;
        int ExitCode;
        const char* Error;
    };
    const TCase cases[] = {
        {{"--com", "4", "bridge", "--listen", "host:port"}, 2, "--listen wants [HOST:]PORT"},
        {{"--com", "4", "bridge", "--listen", "70000"}, 2, "--listen wants [HOST:]PORT"},
        {{"--com", "4", "bridge", "extra"}, 2, "bridge takes no arguments"},
        {{"--com", "4", "bridge", "--listen", "0"}, 1, "Connection Error: "},
        {{"--tcp", "127.0.0.1:1", "bridge", "--listen", "0"}, 1, "Connection Error: "},
    };
    Home.Map(kComPort, Dir.path() + "/nothing-here");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Arguments.join(' ').toStdString());
        const TRun run = RunProgram(KX_CLI_BINARY, c.Arguments);
        EXPECT_EQ(run.ExitCode, c.ExitCode);
        EXPECT_TRUE(run.Err.contains(c.Error)) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    }
}

} // namespace
#endif
