// kx720-sim as a process: its TCP and RTU links against our raw clients and
// a client we did not write, its fault injection, its request log and its
// command line.
#include "TProgramRun.h"
#include "TestFiles.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>

using namespace std::chrono_literals;
using namespace kxtest;

namespace {

// Bytes from hex pairs: "02 83 02".
TBytes H(const QString& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    return TBytes(bytes.begin(), bytes.end());
}

const TBytes kReadMaxVoltage{0x03, 0x00, 0x14, 0x00, 0x01};
const TBytes kMaxVoltageReply{0x02, 0x03, 0x02, 0x01, 0xCC};
// Unit 2's slave address read under transaction 7, and its reply, with their MBAP.
const TBytes kReadAddress = H("00 07 00 00 00 06 02 03 00 00 00 01");
const TBytes kAddressReply = H("00 07 00 00 00 05 02 03 02 00 02");

// What a program said, on either channel.
QString Said(const TProgramRun& run) {
    return run.Out + run.Err;
}

// The log's lines without comments and without their time, once it has count of them.
QStringList LogLines(const QString& path, qsizetype count) {
    QStringList lines;
    PollUntil(
        [&] {
            lines.clear();
            for (const QString& line : QString::fromLocal8Bit(ReadFile(path)).split('\n')) {
                if (line.isEmpty() || line.startsWith('#'))
                    continue;
                lines << line.section('\t', 1);
                EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d{3}$")
                                .match(line.section('\t', 0, 0))
                                .hasMatch())
                    << line.toStdString();
            }
            return lines.size() >= count;
        },
        5000, 20);
    return lines;
}

// Each row starts a simulator with its options and runs its exchanges in
// order ("UNIT PDU > UNIT REPLY;...", no reply: none may come; "wait MS"); the first
// exchange's log outcome and the time all of them took are checked too.
TEST(SimTcpTest, ExchangesAnswerAsTheOptionsSay) {
    const struct {
        const char* Name;
        const char* Options;
        const char* Logged;
        int MinMs, MaxMs;
        const char* Exchanges;
    } rows[] = {
        {"Plain", "", "reply", 0, 1000,
         "02 03 00 14 00 01 > 02 03 02 01 CC; 02 03 00 1C 00 01 > 02 83 02;"
         "09 03 00 00 00 01 > 09 83 0B"},
        {"Silence", "--silence 1", "none silence", 0, 2000,
         "02 03 00 14 00 01 >; 02 06 00 0F 00 01 >"},
        {"Delay", "--delay 300", "reply", 300, 900, "02 03 00 14 00 01 > 02 03 02 01 CC"},
        // 8 bytes out, 7 back, 11 bits each, and two 3.5-character silences: 242 bits.
        {"LineSpeed", "--line-speed 1200", "reply", 201, 700, "02 03 00 14 00 01 > 02 03 02 01 CC"},
        {"ExceptionOnlyAtItsRegisters", "--exception 0x14:4 --exception 15:6", "exception 04", 0,
         2000,
         "02 03 00 14 00 01 > 02 83 04; 02 03 00 13 00 03 > 02 83 04; 02 06 00 0F 00 01 > 02 86 06;"
         "02 03 00 0F 00 01 > 02 83 06; 02 03 00 15 00 01 > 02 03 02 01 F4;"
         "02 03 00 13 00 01 > 02 03 02 00 00"},
        {"StuckRegisterAcknowledgesWritesButKeepsItsWord", "--stuck 0x0F", "reply", 0, 2000,
         "02 10 00 0F 00 01 02 01 23 > 02 10 00 0F 00 01; 02 06 00 0F 01 23 > 02 06 00 0F 01 23;"
         "02 03 00 0F 00 01 > 02 03 02 01 F4; 02 06 00 10 00 2A > 02 06 00 10 00 2A;"
         "02 03 00 10 00 01 > 02 03 02 00 2A"},
        // Accel 0.2 s for 100 Hz, 50.0 Hz, forward: the model runs in real time (50.0 Hz, 400 V).
        {"DriveRuns", "", "reply", 400, 2000,
         "02 06 00 10 00 02 > 02 06 00 10 00 02; 02 06 00 0F 01 F4 > 02 06 00 0F 01 F4;"
         "02 06 00 1B 00 01 > 02 06 00 1B 00 01; wait 400; 02 03 00 18 00 02 > 02 03 04 01 F4 01 "
         "90"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        QTemporaryDir dir;
        TSimProcess sim(QStringList{"--tcp", "127.0.0.1:0", "--log", dir.filePath("log")} +
                        QString(row.Options).split(' ', Qt::SkipEmptyParts));
        ASSERT_TRUE(sim.Ready());
        RawTcpClient client(sim.TcpPort());
        QElapsedTimer clock;
        clock.start();
        for (const QString& exchange : QString(row.Exchanges).split(';')) {
            if (exchange.trimmed().startsWith("wait")) {
                QThread::msleep(exchange.section(' ', -1).toULong());
                continue;
            }
            const TBytes request = H(exchange.section('>', 0, 0));
            const TBytes reply = H(exchange.section('>', 1));
            EXPECT_EQ(client.Transact(request[0], TBytes(request.begin() + 1, request.end()),
                                      reply.empty() ? 300ms : 1000ms),
                      reply.empty() ? std::nullopt : std::optional(reply))
                << exchange.toStdString();
        }
        EXPECT_GE(clock.elapsed(), row.MinMs);
        EXPECT_LT(clock.elapsed(), row.MaxMs);
        EXPECT_EQ(LogLines(dir.filePath("log"), 1).value(0).section('\t', 5), row.Logged);
    }
}

// Which of 24 pipelined requests get an answer.
std::set<int> AnsweredWith(const QString& seed) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--silence", "0.5", "--seed", seed});
    RawTcpClient client(sim.TcpPort());
    for (uint16_t t = 0; t < 24; ++t)
        client.SendRaw(RawTcpClient::Mbap(t, 2, kReadMaxVoltage));
    // Until half a second of silence: a loaded machine may pause between replies.
    TBytes replies;
    for (TBytes more; !(more = client.ReadRaw(500ms)).empty();)
        replies.insert(replies.end(), more.begin(), more.end());
    std::set<int> answered;
    for (size_t at = 0; at + 11 <= replies.size(); at += 11)
        answered.insert(replies[at + 1]);
    return answered;
}

TEST(SimTcpTest, SilenceFollowsTheSeed) {
    const std::set<int> first = AnsweredWith("5");
    EXPECT_GT(first.size(), 4u);
    EXPECT_LT(first.size(), 20u);
    EXPECT_EQ(AnsweredWith("5"), first);
    EXPECT_NE(AnsweredWith("6"), first);
}

// A delayed reply, or half a request, holds up no other client.
TEST(SimTcpTest, ClientsAreServedSideBySide) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--delay", "400"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient first(sim.TcpPort()), second(sim.TcpPort()), half(sim.TcpPort());
    half.SendRaw(TBytes(kReadAddress.begin(), kReadAddress.begin() + 5));
    QElapsedTimer timer;
    timer.start();
    first.SendRaw(RawTcpClient::Mbap(1, 2, kReadMaxVoltage));
    second.SendRaw(RawTcpClient::Mbap(2, 2, kReadMaxVoltage));
    EXPECT_EQ(first.ReadRaw(1500ms).size(), 11u);
    EXPECT_EQ(second.ReadRaw(1500ms).size(), 11u);
    EXPECT_LT(timer.elapsed(), 750) << "the replies wait side by side, not one after the other";
    half.SendRaw(TBytes(kReadAddress.begin() + 5, kReadAddress.end()));
    EXPECT_EQ(half.ReadRaw(1500ms), kAddressReply);
}

TEST(SimTcpTest, ABadHeaderOrTheRequestLimitClosesOnlyThatConnection) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--drop-after", "2"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    // A sound request and a header of length 0 in one write, to arrive in one read.
    client.SendRaw(H("00 07 00 00 00 06 02 03 00 00 00 01 FF 01 00 00 00 00 02"));
    bool closed = false;
    const TBytes reply = client.ReadRaw(1000ms, &closed);
    if (!closed)
        client.ReadRaw(1000ms, &closed);
    EXPECT_EQ(reply, kAddressReply) << "the reply to the sound request still goes out";
    EXPECT_TRUE(closed);

    RawTcpClient next(sim.TcpPort());
    EXPECT_EQ(next.Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    EXPECT_EQ(next.Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    closed = false;
    next.ReadRaw(500ms, &closed);
    EXPECT_TRUE(closed) << "--drop-after 2";
}

// A client that says it will send no more still reads: what it asked
// before, delayed or not, is answered before the connection closes.
TEST(SimTcpTest, AClientThatHalfClosesGetsItsRepliesFirst) {
    for (const char* delay : {"0", "300"}) {
        SCOPED_TRACE(delay);
        TSimProcess sim({"--tcp", "127.0.0.1:0", "--delay", delay});
        ASSERT_TRUE(sim.Ready());
        RawTcpClient client(sim.TcpPort());
        client.SendRaw(kReadAddress);
        client.ShutdownWrite();
        bool closed = false;
        EXPECT_EQ(client.ReadRaw(3000ms, &closed), kAddressReply);
        EXPECT_TRUE(closed || client.ClosedByPeer());
    }
}

// Processor time the process has used, in clock ticks.
long ProcessorTicks(int pid) {
    const QStringList fields =
        QString::fromLatin1(ReadFile(QStringLiteral("/proc/%1/stat").arg(pid)))
            .section(')', 1)
            .split(' ', Qt::SkipEmptyParts);
    return fields.value(11).toLong() + fields.value(12).toLong(); // utime, stime
}

// Clients beyond the descriptors it may open wait in the backlog without the
// simulator spinning on them, and are served once others have left.
TEST(SimTcpTest, RunningOutOfDescriptorsNeitherSpinsNorStaysDeaf) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    // New descriptors take the lowest free numbers: room for two more.
    std::set<int> open;
    for (const QString& fd : QDir(QStringLiteral("/proc/%1/fd").arg(sim.Pid()))
                                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        open.insert(fd.toInt());
    rlim_t limit = 0;
    for (int free = 0; free < 2; ++limit)
        free += open.contains(static_cast<int>(limit)) ? 0 : 1;
    const rlimit two{limit, limit};
    ASSERT_EQ(::prlimit(sim.Pid(), RLIMIT_NOFILE, &two, nullptr), 0);
    std::vector<std::unique_ptr<RawTcpClient>> clients;
    for (int i = 0; i < 4; ++i)
        clients.push_back(std::make_unique<RawTcpClient>(sim.TcpPort()));
    EXPECT_EQ(clients[1]->Transact(2, kReadMaxVoltage), kMaxVoltageReply);
    const long before = ProcessorTicks(sim.Pid());
    QThread::msleep(1000);
    EXPECT_LT(ProcessorTicks(sim.Pid()) - before, 20) << "a fifth of a second in a second";
    clients.clear();
    RawTcpClient late(sim.TcpPort());
    EXPECT_EQ(late.Transact(2, kReadMaxVoltage, 3000ms), kMaxVoltageReply);
}

TEST(SimPtyTest, RawFramesAreExactAndTheLogNamesEveryOutcome) {
    QTemporaryDir dir;
    const QString link = dir.filePath("kx720");
    const QString log = dir.filePath("requests.log");
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--pty", link, "--log", log}, 2);
    ASSERT_TRUE(sim.Ready());
    RawTcpClient tcp(sim.TcpPort());
    tcp.SendRaw({0x00, 0x01, 0x00, 0x07, 0x00, 0x06, 0x02, 0x03, 0x00, 0x14, 0x00, 0x01});
    ASSERT_TRUE(tcp.Transact(2, {0x10, 0x00, 0x10, 0x00, 0x02, 0x04, 0x00, 0x1E, 0x00, 0x28}));

    RawRtuClient rtu(link);
    ASSERT_TRUE(rtu.Opened());
    // Replies without their CRC; none may come where there is none.
    for (const char* exchange :
         {"02 41 > 02 41 00 00 02 D0 41 00 00 CF 00 00", "02 03 00 1C 00 01 > 02 83 02",
          "05 03 00 14 00 01 >", "00 06 00 0F 00 7B >", // a broadcast is executed
          "02 03 00 0F 00 01 > 02 03 02 00 7B",
          // A new slave address takes effect after the reply.
          "02 06 00 00 00 05 > 02 06 00 00 00 05", "02 03 00 00 00 01 >",
          "05 03 00 00 00 01 > 05 03 02 00 05"}) {
        const TBytes reply = H(QString(exchange).section('>', 1));
        EXPECT_EQ(
            rtu.Transact(H(QString(exchange).section('>', 0, 0)), reply.empty() ? 200ms : 1000ms),
            reply.empty() ? TBytes{} : WithCrc(reply))
            << exchange;
    }

    const QString pty = "pty:" + link;
    const QStringList expected{
        "tcp/1\t2\t03\t20\t1\tnone not-modbus",
        "tcp/1\t2\t10\t16\t2\treply",
        pty + "\t2\t41\t-\t-\treply",
        pty + "\t2\t03\t28\t1\texception 02",
        pty + "\t5\t03\t20\t1\tnone other-slave",
        pty + "\t0\t06\t15\t1\tnone broadcast",
    };
    EXPECT_EQ(LogLines(log, 8).mid(0, 6), expected);
}

TEST(SimPtyTest, BadCrcCorruptsTheRepliesAndTheLogSaysSo) {
    QTemporaryDir dir;
    const QString link = dir.filePath("kx720");
    TSimProcess sim({"--pty", link, "--bad-crc", "1", "--log", dir.filePath("log")});
    ASSERT_TRUE(sim.Ready());
    RawRtuClient client(link);
    const TBytes reply = client.Transact({0x02, 0x03, 0x00, 0x14, 0x00, 0x01});
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(TBytes(reply.begin(), reply.begin() + 5), kMaxVoltageReply);
    EXPECT_NE(reply, WithCrc(kMaxVoltageReply));
    EXPECT_EQ(LogLines(dir.filePath("log"), 1),
              QStringList{"pty:" + link + "\t2\t03\t20\t1\treply bad-crc"});
}

TEST(SimProcessTest, SigintRemovesTheLinkAndStoredCopiesSurviveARestart) {
    QTemporaryDir dir;
    const QString link = dir.filePath("kx720");
    const QString eeprom = dir.filePath("eeprom.ini");
    {
        TSimProcess sim({"--pty", link, "--tcp", "127.0.0.1:0", "--eeprom", eeprom}, 2);
        ASSERT_TRUE(sim.Ready());
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_TRUE(sim.Write(0x010F, 0x014D));
        EXPECT_EQ(sim.Stop(SIGINT), 0);
        EXPECT_FALSE(QFileInfo(link).exists() || QFileInfo(link).isSymLink());
    }
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--eeprom", eeprom});
    ASSERT_TRUE(sim.Ready());
    EXPECT_EQ(sim.Read(0x010F), 0x014D);
    EXPECT_EQ(sim.Read(0x000F), 0x014D) << "the working setpoint starts from its stored copy";
}

TEST(SimProcessTest, WhatItCannotServeEndsItWithAWord) {
    QTemporaryDir dir;
    const QString file = WriteFile(dir.filePath("file"), {});
    const struct {
        QStringList Arguments;
        int ExitCode;
        QString Says;
    } rows[] = {
        {{"--slave", "300"}, 2, "--slave"},
        {{"--defs", "/nonexistent.ini", "--tcp", "0"}, 1, "/nonexistent.ini"},
        {{"--tcp", "0", "--log", "/no/dir/requests.log"}, 1, "--log /no/dir/requests.log"},
        {{"--pty", file}, 1, "no symbolic link"},
        {{"--silence", "nan"}, 2, "--silence"},
        // Read to the end, a device without one would take all memory.
        {{"--tcp", "0", "--eeprom", "/dev/zero"}, 1, "/dev/zero"},
        {{"--tcp", "0", "--machine", "--programs", "/dev/zero"}, 1, "/dev/zero"},
    };
    for (const auto& row : rows) {
        const auto run = RunProgram(TSimProcess::Binary(),
                                    QStringList{"--defs", DefinitionsFile()} + row.Arguments);
        const QString out = Said(run);
        EXPECT_EQ(run.ExitCode, row.ExitCode) << row.Arguments.join(' ').toStdString();
        EXPECT_TRUE(out.contains(row.Says)) << out.toStdString();
    }
    EXPECT_TRUE(QFileInfo(file).isFile()) << "a file that is no link is kept";
}

} // namespace
