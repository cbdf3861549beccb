// kx720 bridge between Modbus TCP clients and the simulator on a pty.
#include "CliSim.h"

#include <QRegularExpression>
#include <csignal>
#include <thread>

namespace {

using kxtest::RawTcpClient;
using kxtest::TBytes;

constexpr int kComPort = 4;
constexpr uint8_t kDrive = 2;
const QStringList kIndices{"4", "5", "6", "7", "8", "9", "10", "11", "12"};

// kx720 bridge on a free port (0 when its first line names none), until Stop
// sends it a signal.
struct TBridgeProcess {
    explicit TBridgeProcess(const QStringList& options = {})
        : Process(KX_CLI_BINARY,
                  QStringList{"--defs", kxtest::SourcePath("data/VF_Parameters_v207.ini"), "--com",
                              "4"} +
                      options + QStringList{"bridge", "--listen", "0"})
        , FirstLine(Process.ReadLine(10000))
        , Port(QRegularExpression(R"(^bridge 127\.0\.0\.1:(\d+) -> COM4$)")
                   .match(FirstLine)
                   .captured(1)
                   .toInt()) {}
    // Sends the signal; the exit code and the lines printed after the first.
    std::pair<int, QStringList> Stop(int signal) {
        const int code = Process.Stop(signal);
        QStringList lines;
        for (QString line = Process.ReadLine(1000); !line.isNull(); line = Process.ReadLine(1000))
            lines << line;
        return {code, lines};
    }

    kxtest::TSubprocess Process;
    QString FirstLine;
    int Port = 0;
};

// mbpoll, a client we did not write, reads through the bridge the words of a
// direct read. Then eight clients at once each read their own register:
// every reply carries its request's transaction id and that register's word;
// two requests on the line at once would have garbled each other. The bridge
// names every client and counts what it served.
TEST(Kx720Bridge, MbpollAndEightClientsAtOnceReadTheWordsOfADirectRead) {
    CliSim sim({}, kComPort);
    ASSERT_TRUE(sim.Ready());
    // The raw words of a direct RTU read ("4\tMainVoltage\t400\t0x0190").
    QStringList words;
    for (const QString& line :
         Kx720(QStringList{"--com", "4", "read"} + kIndices).Out.split('\n', Qt::SkipEmptyParts))
        words << line.section('\t', 3);
    ASSERT_EQ(words.size(), kIndices.size());
    TBridgeProcess bridge;
    ASSERT_NE(bridge.Port, 0) << bridge.FirstLine.toStdString();
    const CliRun mbpoll = RunProgram(
        "/usr/bin/mbpoll", {"-m", "tcp", "-p", QString::number(bridge.Port), "-a", "2", "-r", "4",
                            "-c", "9", "-0", "-1", "-t", "4:hex", "127.0.0.1"});
    QStringList mbpollWords;
    for (const auto& m :
         QRegularExpression(R"(^\[\d+\]:\s+(0x[0-9A-F]{4}))", QRegularExpression::MultilineOption)
             .globalMatch(mbpoll.Out))
        mbpollWords << m.captured(1);
    EXPECT_EQ(mbpollWords, words) << mbpoll.Out.toStdString();

    constexpr int kClients = 8;
    constexpr int kReads = 200;
    std::vector<int> wrong(kClients, 0);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            RawTcpClient client(static_cast<uint16_t>(bridge.Port));
            const uint16_t word = static_cast<uint16_t>(words[c].toUInt(nullptr, 16));
            const TBytes expected{kDrive, 0x03, 0x02, static_cast<uint8_t>(word >> 8),
                                  static_cast<uint8_t>(word & 0xFF)};
            for (int i = 0; i < kReads; ++i)
                wrong[c] +=
                    client.Transact(kDrive, RawTcpClient::ReadPdu(static_cast<uint16_t>(4 + c))) !=
                    expected;
        });
    }
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(wrong, std::vector<int>(kClients, 0));
    const auto [code, lines] = bridge.Stop(SIGINT);
    EXPECT_EQ(code, 0);
    // A client's "left" line may come after the signal.
    EXPECT_EQ(lines.filter(QRegularExpression(R"(^client 127\.0\.0\.1:\d+ connected$)")).size(),
              1 + kClients)
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.value(lines.size() - 1),
              QStringLiteral("%1 requests served, 0 failed").arg(1 + kClients * kReads));
}

// A drive whose pty is gone is 0x0A until it is back, and then it answers again.
TEST(Kx720Bridge, ALostLineIsAGatewayExceptionUntilItIsBack) {
    QTemporaryDir dir;
    const QString pty = dir.filePath("drive");
    kxtest::TConfigHome home;
    home.Map(kComPort, pty);
    auto sim = std::make_unique<CliSim>(QStringList{"--pty", pty});
    ASSERT_TRUE(sim->Ready());
    TBridgeProcess bridge({"--timeout", "300"});
    ASSERT_NE(bridge.Port, 0) << bridge.FirstLine.toStdString();
    RawTcpClient client(static_cast<uint16_t>(bridge.Port));
    const TBytes mainVoltage{kDrive, 0x03, 0x02, 0x01, 0x90};
    EXPECT_EQ(client.Transact(kDrive, RawTcpClient::ReadPdu(4)), mainVoltage);
    sim.reset();
    EXPECT_EQ(client.Transact(kDrive, RawTcpClient::ReadPdu(4)), (TBytes{kDrive, 0x83, 0x0A}));
    sim = std::make_unique<CliSim>(QStringList{"--pty", pty});
    ASSERT_TRUE(sim->Ready());
    EXPECT_EQ(client.Transact(kDrive, RawTcpClient::ReadPdu(4)), mainVoltage);
    const auto [code, lines] = bridge.Stop(SIGTERM);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lines.value(lines.size() - 1), "2 requests served, 1 failed");
}

TEST(Kx720Bridge, ALinkItCannotOpenIsAConnectionError) {
    QTemporaryDir dir;
    kxtest::TConfigHome home;
    home.Map(kComPort, dir.filePath("nothing-here"));
    for (const QStringList& link :
         {QStringList{"--com", "4"}, QStringList{"--tcp", "127.0.0.1:1"}}) {
        const CliRun run = Kx720(link + QStringList{"bridge", "--listen", "0"});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(run.Err.contains("Connection Error: ")) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    }
}

} // namespace
