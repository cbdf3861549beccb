#include "SimTestData.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace kxtest;

namespace {

QString RunProgram(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

QString Mbpoll(uint16_t port, const QStringList& arguments) {
    return RunProgram("mbpoll", QStringList{"-m", "tcp", "-p", QString::number(port), "-a", "2",
                                            "-0", "-1", "-o", "2"} +
                                    arguments);
}

// --------------------------------------------------------------- TCP

TEST(SimTcpTest, MbpollReadsAndWritesRegisters) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    const QString read = Mbpoll(sim.TcpPort(), {"-r", "20", "-c", "2", "127.0.0.1"});
    EXPECT_TRUE(read.contains("[20]: \t460")) << read.toStdString();
    EXPECT_TRUE(read.contains("[21]: \t500")) << read.toStdString();

    const QString write = Mbpoll(sim.TcpPort(), {"-r", "15", "127.0.0.1", "321"});
    EXPECT_TRUE(write.contains("Written 1 references")) << write.toStdString();
    const QString back = Mbpoll(sim.TcpPort(), {"-r", "15", "127.0.0.1"});
    EXPECT_TRUE(back.contains("[15]: \t321")) << back.toStdString();

    const QString refused = Mbpoll(sim.TcpPort(), {"-r", "22", "127.0.0.1", "1"});
    EXPECT_TRUE(refused.contains("Illegal data address")) << refused.toStdString();
}

TEST(SimTcpTest, QuantityOneReadOfA4ByteParameterHasByteCount4) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--defs", TestMapFile()});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(client.Transact(2, {0x10, 0x00, 0x10, 0x00, 0x01, 0x04, 0x00, 0x01, 0x86, 0xA0}),
              (TBytes{0x02, 0x10, 0x00, 0x10, 0x00, 0x01}));
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x10, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x04, 0x00, 0x01, 0x86, 0xA0}));
}

TEST(SimTcpTest, IdentificationReplyIs12Bytes) {
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--ident", "720A:207"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    const auto reply = client.Transact(2, {0x41});
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply,
              (TBytes{0x02, 0x41, 0x00, 0x00, 0x02, 0xD0, 'A', 0x00, 0x00, 0xCF, 0x00, 0x00}));
    // The next exchange gets its own answer, not the rest of this one.
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x14, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x01, 0xCC}));
}

TEST(SimTcpTest, ExceptionRepliesSetBit7OfTheFunction) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x1C, 0x00, 0x01}), (TBytes{0x02, 0x83, 0x02}));
    EXPECT_EQ(client.Transact(2, {0x10, 0x00, 0x16, 0x00, 0x01, 0x02, 0x00, 0x01}),
              (TBytes{0x02, 0x90, 0x02}));
    EXPECT_EQ(client.Transact(2, {0x2B, 0x0E, 0x01, 0x00}), (TBytes{0x02, 0xAB, 0x01}));
    EXPECT_EQ(client.Transact(9, {0x03, 0x00, 0x00, 0x00, 0x01}), (TBytes{0x09, 0x83, 0x0B}));
}

TEST(SimTcpTest, ABadHeaderAfterARequestStillLetsItsReplyOutBeforeClosing) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    TBytes bytes = RawTcpClient::Mbap(7, 2, {0x03, 0x00, 0x00, 0x00, 0x01});
    const TBytes badLength{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02};
    bytes.insert(bytes.end(), badLength.begin(), badLength.end());
    client.SendRaw(bytes); // one write: both arrive in one read
    bool closed = false;
    TBytes reply = client.ReadRaw(1000ms, &closed);
    if (!closed)
        client.ReadRaw(1000ms, &closed);
    EXPECT_EQ(reply, (TBytes{0x00, 0x07, 0x00, 0x00, 0x00, 0x05, 0x02, 0x03, 0x02, 0x00, 0x02}));
    EXPECT_TRUE(closed);
}

TEST(SimTcpTest, ServesSeveralClientsAtOnce) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient slow(sim.TcpPort());
    RawTcpClient fast(sim.TcpPort());
    const TBytes request = RawTcpClient::Mbap(7, 2, {0x03, 0x00, 0x00, 0x00, 0x01});
    slow.SendRaw(TBytes(request.begin(), request.begin() + 5)); // half a request
    EXPECT_EQ(fast.Transact(2, {0x03, 0x00, 0x00, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x00, 0x02}));
    slow.SendRaw(TBytes(request.begin() + 5, request.end()));
    const TBytes reply = slow.ReadRaw(1000ms);
    EXPECT_EQ(reply, (TBytes{0x00, 0x07, 0x00, 0x00, 0x00, 0x05, 0x02, 0x03, 0x02, 0x00, 0x02}));
}

TEST(SimTcpTest, DriveRunsFromSoftwareInputsOverTheWire) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    client.Transact(2, {0x06, 0x00, 0x10, 0x00, 0x02}); // accel 0.2 s for 100 Hz
    client.Transact(2, {0x06, 0x00, 0x0F, 0x01, 0xF4}); // setpoint 50.0 Hz
    client.Transact(2, {0x06, 0x00, 0x1B, 0x00, 0x01}); // forward
    QThread::msleep(400);
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x18, 0x00, 0x02}),
              (TBytes{0x02, 0x03, 0x04, 0x01, 0xF4, 0x01, 0x90})); // 50.0 Hz, 400 V
    EXPECT_EQ(client.Transact(2, {0x03, 0x03, 0x02, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x01, 0xF4}));
}

// --------------------------------------------------------------- RTU

class SimPtyTest : public ::testing::Test {
protected:
    QString Link() const { return dir.filePath("kx720"); }
    QTemporaryDir dir;
};

TEST_F(SimPtyTest, PymodbusReadsAndWritesOverThePty) {
    TSimProcess sim({"--pty", Link()});
    ASSERT_TRUE(sim.Ready());
    const QString script = QStringLiteral(R"(
import sys
from pymodbus.client import ModbusSerialClient
from pymodbus.transaction import ModbusRtuFramer
c = ModbusSerialClient(port=sys.argv[1], framer=ModbusRtuFramer, baudrate=19200, parity='E', timeout=1,
                       strict=False)  # a pty refuses the inter-character timer
assert c.connect()
print('read', c.read_holding_registers(20, 2, slave=2).registers)
print('write', c.write_register(15, 250, slave=2).isError())
print('back', c.read_holding_registers(15, 1, slave=2).registers)
print('multi', c.write_registers(16, [30, 40], slave=2).isError())
print('ramps', c.read_holding_registers(16, 2, slave=2).registers)
c.close()
)");
    const QString out = RunProgram("/usr/bin/python3", {"-c", script, Link()});
    EXPECT_TRUE(out.contains("read [460, 500]")) << out.toStdString();
    EXPECT_TRUE(out.contains("write False")) << out.toStdString();
    EXPECT_TRUE(out.contains("back [250]")) << out.toStdString();
    EXPECT_TRUE(out.contains("ramps [30, 40]")) << out.toStdString();
}

TEST_F(SimPtyTest, MbpollReadsOverThePtyAgainAndAgain) {
    TSimProcess sim({"--pty", Link()});
    ASSERT_TRUE(sim.Ready());
    for (int i = 0; i < 2; ++i) {
        const QString read = RunProgram("mbpoll", {"-m", "rtu", "-b", "19200", "-P", "even", "-a",
                                                   "2", "-0", "-1", "-r", "20", Link()});
        EXPECT_TRUE(read.contains("[20]: \t460")) << read.toStdString();
    }
}

TEST_F(SimPtyTest, RawFramesAreExactAndOtherSlavesGetNoAnswer) {
    TSimProcess sim({"--pty", Link()});
    ASSERT_TRUE(sim.Ready());
    RawRtuClient client(Link());
    ASSERT_TRUE(client.Opened());
    const TBytes ident = client.Transact({0x02, 0x41});
    ASSERT_EQ(ident.size(), 14u); // 12 bytes and the CRC
    EXPECT_TRUE(CrcValid(ident));
    EXPECT_EQ(TBytes(ident.begin(), ident.begin() + 6),
              (TBytes{0x02, 0x41, 0x00, 0x00, 0x02, 0xD0}));

    EXPECT_EQ(client.Transact({0x02, 0x03, 0x00, 0x1C, 0x00, 0x01}), WithCrc({0x02, 0x83, 0x02}));
    EXPECT_TRUE(client.Transact({0x05, 0x03, 0x00, 0x00, 0x00, 0x01}, 300ms).empty());

    // A broadcast write is executed without an answer.
    EXPECT_TRUE(client.Transact({0x00, 0x06, 0x00, 0x0F, 0x00, 0x7B}, 300ms).empty());
    EXPECT_EQ(client.Transact({0x02, 0x03, 0x00, 0x0F, 0x00, 0x01}),
              WithCrc({0x02, 0x03, 0x02, 0x00, 0x7B}));
}

TEST_F(SimPtyTest, NewSlaveAddressTakesEffectAfterTheReply) {
    TSimProcess sim({"--pty", Link()});
    ASSERT_TRUE(sim.Ready());
    RawRtuClient client(Link());
    EXPECT_EQ(client.Transact({0x02, 0x06, 0x00, 0x00, 0x00, 0x05}),
              WithCrc({0x02, 0x06, 0x00, 0x00, 0x00, 0x05}));
    EXPECT_TRUE(client.Transact({0x02, 0x03, 0x00, 0x00, 0x00, 0x01}, 300ms).empty());
    EXPECT_EQ(client.Transact({0x05, 0x03, 0x00, 0x00, 0x00, 0x01}),
              WithCrc({0x05, 0x03, 0x02, 0x00, 0x05}));
}

TEST_F(SimPtyTest, SigintRemovesTheLinkAndExitsCleanly) {
    TSimProcess sim({"--pty", Link(), "--tcp", "127.0.0.1:0"}, 2);
    ASSERT_TRUE(sim.Ready());
    EXPECT_TRUE(QFileInfo(Link()).isSymLink());
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_FALSE(QFileInfo(Link()).exists() || QFileInfo(Link()).isSymLink());
}

TEST_F(SimPtyTest, RefusesToReplaceAFileThatIsNoLink) {
    QFile file(Link());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    TSimProcess sim({"--pty", Link()});
    EXPECT_FALSE(sim.Ready());
    EXPECT_EQ(sim.Stop(), 1);
    EXPECT_TRUE(sim.StandardError().contains("no symbolic link"));
    EXPECT_TRUE(QFileInfo(Link()).isFile());
}

TEST(SimSerialTest, ServesASerialDeviceOfASocatPair) {
    const QString socat = QStandardPaths::findExecutable("socat");
    if (socat.isEmpty())
        GTEST_SKIP() << "socat is not installed";
    QTemporaryDir dir;
    const QString a = dir.filePath("a");
    const QString b = dir.filePath("b");
    QProcess pair;
    pair.start(socat, {"pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
    for (int i = 0; i < 50 && !(QFileInfo::exists(a) && QFileInfo::exists(b)); ++i)
        QThread::msleep(20);
    {
        TSimProcess sim({"--serial", a});
        ASSERT_TRUE(sim.Ready());
        RawRtuClient client(b);
        EXPECT_EQ(client.Transact({0x02, 0x03, 0x00, 0x14, 0x00, 0x01}),
                  WithCrc({0x02, 0x03, 0x02, 0x01, 0xCC}));
    }
    pair.terminate();
    pair.waitForFinished(3000);
}

// --------------------------------------------------------------- EEPROM, command line

TEST(SimEepromTest, StoredCopiesSurviveARestart) {
    QTemporaryDir dir;
    const QString file = dir.filePath("eeprom.ini");
    {
        TSimProcess sim({"--tcp", "127.0.0.1:0", "--eeprom", file});
        ASSERT_TRUE(sim.Ready());
        RawTcpClient client(sim.TcpPort());
        EXPECT_EQ(client.Transact(2, {0x06, 0x01, 0x0F, 0x01, 0x4D}),
                  (TBytes{0x02, 0x06, 0x01, 0x0F, 0x01, 0x4D}));
        EXPECT_EQ(sim.Stop(), 0);
    }
    TSimProcess sim({"--tcp", "127.0.0.1:0", "--eeprom", file});
    ASSERT_TRUE(sim.Ready());
    RawTcpClient client(sim.TcpPort());
    EXPECT_EQ(client.Transact(2, {0x03, 0x01, 0x0F, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x01, 0x4D}));
    EXPECT_EQ(client.Transact(2, {0x03, 0x00, 0x0F, 0x00, 0x01}),
              (TBytes{0x02, 0x03, 0x02, 0x01, 0x4D}))
        << "the working setpoint starts from its stored copy";
}

TEST(SimCommandLineTest, HelpBadOptionsAndMissingDefinitions) {
    int code = 0;
    const QString help = RunProgram(TSimProcess::Binary(), {"--help"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(help.contains("--line-speed"));
    const QString bad = RunProgram(TSimProcess::Binary(), {"--slave", "300"}, &code);
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(bad.contains("--slave")) << bad.toStdString();
    const QString missing =
        RunProgram(TSimProcess::Binary(), {"--defs", "/nonexistent.ini", "--tcp", "0"}, &code);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(missing.contains("/nonexistent.ini")) << missing.toStdString();
}

} // namespace
