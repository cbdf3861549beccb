// The configuration jobs over Modbus TCP against the drive simulator and
// against pymodbus: the bytes of the exported file, what an import writes,
// what it refuses, and what it reports when the drive does not keep a value.

#include "NvParIndex.h"
#include "TestFiles.h"
#include "TestSupport.h"
#include "TnvConfigJob.h"
#include "TnvMBThread.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace kxtest;

namespace {

constexpr int kJobMs = 20000;
constexpr std::uint8_t kSlave = 2;
// Made signed in the test's copy of the definitions, so that a register of
// FFFF shows the two texts apart (8 stays unsigned).
constexpr std::uint32_t kSignedIndex = nv::par::kMaxCurrentTime;
constexpr std::uint16_t kAccelTimeRegister = 0x10;

class ConfigJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", Path("share").toLocal8Bit());
        // The shipped definitions, with one parameter signed.
        QString defs = ReadFile(SourcePath("data/VF_Parameters_v207.ini"));
        defs.replace(QRegularExpression(R"((\[Par-7\][^[]*)Unsigned=1)"), "\\1Unsigned=0");
        WriteFile(Path("VF_Parameters_v207.ini"), defs.toUtf8());
        ASSERT_EQ(Job.Load(Dir.path(), "VF_Parameters_v207.ini"), QString());
        Job.OnLog = [this](TnvConfigJob*, const QString& line) {
            Log << line;
        };
        Job.OnDone = [this](TnvConfigJob*, TnvConfigJob::TMode mode) {
            Done = mode;
        };
        Job.OnFail = [this](TnvConfigJob*, const QString& message) {
            Failure = message;
        };
    }
    void TearDown() override {
        Job.Stop();
        Thread.reset();
    }

    QString Path(const QString& name) const { return Dir.path() + "/" + name; }

    void StartSim(const QStringList& extra = {}) {
        Sim = std::make_unique<TSimProcess>(
            QStringList{"--tcp", "127.0.0.1:0", "--defs", Path("VF_Parameters_v207.ini")} + extra);
        ASSERT_TRUE(Sim->Ready());
        Connect(Sim->TcpPort());
    }
    void Connect(int port) {
        Client = std::make_unique<RawTcpClient>(static_cast<std::uint16_t>(port));
        Thread = std::make_unique<TnvMBThread>();
        Thread->Settings = {
            .Name = "TCP", .ConnType = TnvMBSetup::kTcpIp, .TCPIPPort = port, .Enabled = true};
        ASSERT_TRUE(Thread->Start());
        ASSERT_TRUE(PumpUntil([this] { return Thread->IsConnected(); }, 5000));
    }
    void RunToEnd() {
        ASSERT_TRUE(PumpUntil([this] { return Done != 0 || !Failure.isEmpty(); }, kJobMs));
        EXPECT_FALSE(Job.IsRunning());
    }

    // Reads one register (function 3), or writes it (function 6) when set is given.
    std::uint16_t Register(std::uint16_t address, std::optional<std::uint16_t> set = {}) {
        TBytes pdu{static_cast<std::uint8_t>(set ? 0x06 : 0x03)};
        for (const std::uint16_t word : {address, set.value_or(1)})
            pdu.insert(pdu.end(), {static_cast<std::uint8_t>(word >> 8),
                                   static_cast<std::uint8_t>(word & 0xFF)});
        const auto reply = Client->Transact(kSlave, pdu);
        EXPECT_TRUE(reply && reply->size() == (set ? 6u : 5u)) << address;
        return reply && reply->size() == 5
                   ? static_cast<std::uint16_t>((*reply)[3] << 8 | (*reply)[4])
                   : 0;
    }
    // The file an export must write, from the registers as they are now.
    QByteArray
    ExpectedFile(const std::function<std::uint16_t(std::uint32_t, std::uint16_t)>& word = {}) {
        QByteArray text = "[Header]\r\nOwner=KX720_VevIde\r\nVersion=2.07\r\n"
                          "Company=Velmora Drive Systems\r\n"
                          "Address=Service Department, 12 Drive Street, Example City\r\n"
                          "Web=www.velmora-drives.example\r\n\r\n[KX720_Cfg]\r\n";
        // The category "ExportFile" (4/19,31/47,49) in the file's order, elements
        // from the last to the first: index and register address.
        std::vector<std::pair<std::uint32_t, std::uint16_t>> order{{49, 0x0200}};
        for (std::uint32_t i = 31; i <= 46; ++i)
            order.emplace_back(i, static_cast<std::uint16_t>(0x0104 + (i - 31)));
        order.emplace_back(47, 0x011B);
        for (std::uint32_t i = 4; i <= 19; ++i)
            order.emplace_back(i, static_cast<std::uint16_t>(i));
        for (const auto& [index, address] : order) {
            const std::uint16_t w = word ? word(index, address) : Register(address);
            const QString shown = index == kSignedIndex
                                      ? QString::number(static_cast<std::int16_t>(w))
                                      : QString::number(w);
            text += QStringLiteral("%1.0=%2\r\n").arg(address).arg(shown).toLatin1();
        }
        return text;
    }

    QTemporaryDir Dir;
    std::unique_ptr<TSimProcess> Sim;
    std::unique_ptr<kxtest::TPeer> Peer;
    std::unique_ptr<RawTcpClient> Client;
    std::unique_ptr<TnvMBThread> Thread;
    TnvConfigJob Job;
    QStringList Log;
    int Done = 0;
    QString Failure;
};

// Against a peer we did not write, whose registers hold 1000 + their address,
// so that a wrong address or signedness shows in the file.
TEST_F(ConfigJobTest, ExportFromPymodbusIsByteExact) {
    Peer = kxtest::TPeer::PymodbusTcp();
    ASSERT_TRUE(Peer->Ready());
    Connect(Peer->Port());
    Register(kSignedIndex, 0xFFFF);
    Register(8, 0xFFFF);
    ASSERT_TRUE(Job.StartExport(Thread.get(), kSlave, Path("peer.720")));
    RunToEnd();
    ASSERT_EQ(Done, TnvConfigJob::jmExport) << Failure.toStdString();
    EXPECT_EQ(
        ReadFile(Path("peer.720")), ExpectedFile([](std::uint32_t index, std::uint16_t address) {
            return index == kSignedIndex || index == 8 ? std::uint16_t{0xFFFF}
                                                       : static_cast<std::uint16_t>(1000 + address);
        }));
}

TEST_F(ConfigJobTest, AValueTheDriveDoesNotKeepFailsTheImport) {
    StartSim({"--stuck", QString::number(kAccelTimeRegister)});
    const std::uint16_t accel = Register(kAccelTimeRegister);
    WriteFile(Path("faster.720"), ExpectedFile([&](std::uint32_t, std::uint16_t address) {
                  const std::uint16_t word = Register(address);
                  return address == kAccelTimeRegister ? static_cast<std::uint16_t>(word + 5)
                                                       : word;
              }));
    Job.LoadFile(Path("faster.720"));
    ASSERT_TRUE(Job.StartImport(Thread.get(), kSlave));
    RunToEnd();
    EXPECT_EQ(Done, 0);
    EXPECT_EQ(Failure, "Error: import not verified, 1 of 33 values differ from the file.");
    EXPECT_TRUE(Log.contains(QStringLiteral("Verify error: Acceleration time (s) (16): written %1, "
                                            "read back %2")
                                 .arg(accel + 5)
                                 .arg(accel)))
        << Log.join('\n').toStdString();
}

TEST_F(ConfigJobTest, ImportDoesNotStartWithoutABackup) {
    StartSim();
    const QByteArray before = ExpectedFile();
    WriteFile(Path("share"), "a file where the backup folder should go");
    WriteFile(Path("other.720"), ExpectedFile([&](std::uint32_t, std::uint16_t address) {
                  return static_cast<std::uint16_t>(Register(address) + 1);
              }));
    Job.LoadFile(Path("other.720"));
    ASSERT_TRUE(Job.StartImport(Thread.get(), kSlave));
    RunToEnd();
    EXPECT_EQ(Failure, "Error: backup of the drive configuration failed; nothing imported.");
    EXPECT_EQ(ExpectedFile(), before);
}

TEST_F(ConfigJobTest, ADroppedLinkLeavesTheOldFileWhole) {
    StartSim({"--drop-after", "10"});
    WriteFile(Path("old.720"), "the configuration of last week\r\n");
    ASSERT_TRUE(Job.StartExport(Thread.get(), kSlave, Path("old.720")));
    RunToEnd();
    EXPECT_EQ(Done, 0);
    EXPECT_TRUE(Failure.startsWith("Error on ModBus data exchange: ")) << Failure.toStdString();
    EXPECT_EQ(ReadFile(Path("old.720")), "the configuration of last week\r\n");
    EXPECT_EQ(QDir(Dir.path()).entryList({"old.720*"}, QDir::Files).size(), 1);
}

} // namespace
