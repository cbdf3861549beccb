#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace kxtest;

namespace {

// The log's lines without comments and without their time, once it has count of them.
QStringList LogLines(const QString& path, qsizetype count) {
    QStringList lines;
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        lines.clear();
        for (const QString& line : QString::fromLocal8Bit(file.readAll()).split('\n')) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            lines << line.section('\t', 1);
            EXPECT_TRUE(line.section('\t', 0, 0).contains(QRegularExpression("^\\d+\\.\\d{3}$")))
                << line.toStdString();
        }
        if (lines.size() >= count)
            break;
    }
    return lines;
}

// The simulator writes each request's line while it runs, with the reason
// for every request left unanswered.
TEST(SimRequestLogTest, NamesEveryRequestAndItsOutcomeWhileRunning) {
    QTemporaryDir dir;
    const QString link = dir.filePath("kx720");
    const QString log = dir.filePath("requests.log");
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--pty", link, "--log", log, "--bad-crc", "1"}, 2);
    ASSERT_TRUE(sim.Ready());

    RawTcpClient tcp(sim.TcpPort());
    ASSERT_TRUE(tcp.Transact(2, {0x03, 0x00, 0x14, 0x00, 0x01}));
    ASSERT_TRUE(tcp.Transact(2, {0x06, 0x00, 0x0F, 0x00, 0x7B}));
    ASSERT_TRUE(tcp.Transact(2, {0x10, 0x00, 0x10, 0x00, 0x02, 0x04, 0x00, 0x1E, 0x00, 0x28}));
    ASSERT_TRUE(tcp.Transact(2, {0x41}));
    ASSERT_TRUE(tcp.Transact(2, {0x03, 0x00, 0x1C, 0x00, 0x01}));
    ASSERT_TRUE(tcp.Transact(9, {0x03, 0x00, 0x14, 0x00, 0x01}));
    tcp.SendRaw({0x00, 0x01, 0x00, 0x07, 0x00, 0x06, 0x02, 0x03, 0x00, 0x14, 0x00, 0x01});

    RawRtuClient rtu(link);
    ASSERT_TRUE(rtu.Opened());
    EXPECT_FALSE(rtu.Transact({0x02, 0x03, 0x00, 0x14, 0x00, 0x01}).empty());
    EXPECT_TRUE(rtu.Transact({0x05, 0x03, 0x00, 0x14, 0x00, 0x01}, 200ms).empty());
    EXPECT_TRUE(rtu.Transact({0x00, 0x06, 0x00, 0x0F, 0x00, 0x7C}, 200ms).empty());

    const QStringList expected{
        "tcp/1\t2\t03\t20\t1\treply",
        "tcp/1\t2\t06\t15\t1\treply",
        "tcp/1\t2\t10\t16\t2\treply",
        "tcp/1\t2\t41\t-\t-\treply",
        "tcp/1\t2\t03\t28\t1\texception 02",
        "tcp/1\t9\t03\t20\t1\texception 0B",
        "tcp/1\t2\t03\t20\t1\tnone not-modbus",
        "pty:" + link + "\t2\t03\t20\t1\treply bad-crc",
        "pty:" + link + "\t5\t03\t20\t1\tnone other-slave",
        "pty:" + link + "\t0\t06\t15\t1\tnone broadcast",
    };
    EXPECT_EQ(LogLines(log, expected.size()).join('\n').toStdString(),
              expected.join('\n').toStdString());
}

TEST(SimRequestLogTest, LostRequestsAreLoggedAsSilence) {
    QTemporaryDir dir;
    const QString log = dir.filePath("requests.log");
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--log", log, "--silence", "1"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient tcp(sim.TcpPort());
    EXPECT_FALSE(tcp.Transact(2, {0x06, 0x00, 0x0F, 0x00, 0x01}, 200ms));
    EXPECT_EQ(LogLines(log, 1), QStringList{"tcp/1\t2\t06\t15\t1\tnone silence"});
}

TEST(SimRequestLogTest, AnUnwritableLogIsRefused) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--log", "/nonexistent/dir/requests.log"});
    EXPECT_FALSE(sim.Ready());
    EXPECT_EQ(sim.Stop(), 1);
    EXPECT_TRUE(sim.StandardError().contains("--log /nonexistent/dir/requests.log"))
        << sim.StandardError().toStdString();
}

} // namespace
