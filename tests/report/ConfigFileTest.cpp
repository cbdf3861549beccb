// The configuration file's texts, lines and keys, the printed report's lines
// and the comparison, on values filled by hand (no link).

#include "NvConfigFile.h"
#include "NvDateTime.h"
#include "TestErrors.h"
#include "TestFiles.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

using TBytes = std::vector<std::uint8_t>;

// One definition a line: index, address, RegProg (0: none), type, unsigned,
// length, name, description and format.
QByteArray Definitions() {
    const char* const rows[] = {
        "1 1 1 3 1 1 Speed Speed 000.0",
        "2 2 32 3 0 1 Offset Offset",
        "3 3 3 1 1 1 Flags Flags On/Off",
        "4 4 0 2 0 1 Trim",
        "5 5 0 2 1 1 Gain",
        "6 6 0 4 0 1 Position",
        "7 8 0 4 1 1 Hours",
        "8 16 0 5 1 1 Made",
        "9 32 0 6 1 1 Clock",
        "10 48 0 7 1 4 Label",
        "18 18 45 1 1 1 CtrlMode Control_mode",
        "19 19 46 3 1 1 PwmFreq PWM_frequency",
        "27 27 47 1 1 1 SwInputs Software_inputs",
        "49 512 0 3 1 1 Size Drive_size",
    };
    QByteArray text = "[Categories]\nAll=1/10,18,19,27,49\n";
    for (const char* row : rows) {
        const QStringList f = QString(row).split(' ');
        text += QString("[Par-%1]\nRegAddr=%2\nType=%3\nUnsigned=%4\nLength=%5\nName=%6\n")
                    .arg(f[0], f[1], f[3], f[4], f[5], f[6])
                    .toLatin1();
        if (f[2] != "0")
            text += "RegProg=" + f[2].toLatin1() + "\n";
        if (f.size() > 7)
            text += "Descr=" + QString(f[7]).replace('_', ' ').toLatin1() + "\n";
        if (f.size() > 8)
            text += "FormatString=" + f[8].toLatin1() + "\n";
    }
    return text.replace("FormatString=000.0", "FormatString=000.0\nFormatNorm=0.1");
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Defs.LoadFromFile(kxtest::WriteFile(Path("defs.ini"), Definitions())));
        ASSERT_TRUE(Set.AddParBindsCategory(&Defs, "All"));
    }
    TnvParValue& Value(std::uint32_t index) { return *Set.FindValue(index); }
    // Puts bytes into element 0 on, as a read reply would.
    void Load(std::uint32_t index, const TBytes& bytes) {
        TBytes frame{2, 3, static_cast<std::uint8_t>(bytes.size())};
        frame.insert(frame.end(), bytes.begin(), bytes.end());
        frame.resize(3 + static_cast<size_t>(Value(index).GetSize()));
        Value(index).LoadFromFrame(frame);
    }
    QString Path(const QString& name) const { return Dir.path() + "/" + name; }

    QTemporaryDir Dir;
    TnvParDefSet Defs;
    TnvParValueSet Set;
};

TEST_F(ConfigFileTest, ElementTextsFollowTheTypeTableAndReadBack) {
    const std::tuple<std::uint32_t, TBytes, const char*> rows[] = {
        // clang-format off
        {1, {0xFF, 0xFF}, "65535"}, {2, {0xFF, 0xFF}, "-1"}, {3, {0x12, 0x34}, "4660"},
        {4, {0x00, 0xFF}, "-1"}, {5, {0x00, 0xFF}, "255"}, {6, {0xFF, 0xFF, 0xFF, 0xFE}, "-2"},
        {7, {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"}, {8, {0, 12, 0, 3, 0, 31}, "12/03/2031"},
        {9, {0, 30, 0, 20, 0, 10}, "30/12/1899 10:20:30"},
        {10, {0, 'K', 0, 'X', 0, '7', 0, '2'}, "KX72"},
        // clang-format on
    };
    for (const auto& [index, bytes, text] : rows) {
        SCOPED_TRACE(index);
        Load(index, bytes);
        const TBytes stored = Value(index).GetBuffer();
        EXPECT_EQ(nv::ConfigElementText(Value(index), 0), text);
        Load(index, TBytes(bytes.size(), 0x01));
        nv::SetConfigElementText(Value(index), 0, text);
        EXPECT_EQ(Value(index).GetBuffer(), stored);
    }
    // Keys ignore case, and the first line of a name wins.
    nv::TnvConfigKeys keys;
    keys.SetLines(
        {"[header]", "VERSION=2.05", "version=2.07", "1.0=12", "1.0=13", "no value", "2.0==5"});
    EXPECT_EQ(keys.Value("Version"), "2.05");
    EXPECT_EQ(keys.Value("1.0"), "12");
    EXPECT_EQ(keys.Value("2.0"), "=5");
    EXPECT_TRUE(keys.Value("3.0").isNull());
}

TEST_F(ConfigFileTest, TextsThatDoNotFitAreRefusedWithTheirReason) {
    const std::tuple<std::uint32_t, const char*, const char*> rows[] = {
        {1, "", "'' is not a valid integer value"},
        {1, "70000", "'70000' is out of range for Speed"},
        {1, "-1", "'-1' is out of range for Speed"},
        {2, "32768", "'32768' is out of range for Offset"},
        {4, "128", "'128' is out of range for Trim"},
        {7, "4294967296", "'4294967296' is out of range for Hours"},
        {8, "31/02/2031", "'31/02/2031' is not a valid date and time"},
    };
    for (const auto& [index, text, message] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(kxtest::ErrorOf<TnvConvertError>(
                      [&] { nv::SetConfigElementText(Value(index), 0, text); }),
                  message);
    }
}

// A value without a text, and a disk that takes only part of the file.
TEST_F(ConfigFileTest, AFailedSaveLeavesTheOldFileWhole) {
    kxtest::WriteFile(Path("old.720"), "previous configuration\r\n");
    for (const bool fullDisk : {true, false}) {
        SCOPED_TRACE(fullDisk);
        // A date register holding no date: its text cannot be made.
        TBytes dates(18, 0);
        for (std::size_t at = 0; fullDisk && at < dates.size(); at += 6)
            std::copy_n(TBytes{0, 12, 0, 3, 0, 31}.begin(), 6, dates.begin() + at);
        Load(8, dates);
        QString error;
        std::optional<kxtest::TFileSizeLimit> full;
        if (fullDisk)
            full.emplace(10);
        EXPECT_FALSE(nv::SaveConfigFile(Set, Path("old.720"), error));
        full.reset();
        if (fullDisk) {
            EXPECT_TRUE(error.startsWith(Path("old.720"))) << error.toStdString();
        } else {
            EXPECT_EQ(error, "Invalid argument to date encode");
        }
        EXPECT_EQ(kxtest::ReadFile(Path("old.720")), "previous configuration\r\n");
        EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 2) << "no temporary left behind";
    }
}

// A device has no size to refuse it by: it is read no further than a
// configuration file can be.
TEST_F(ConfigFileTest, AnEndlessSourceIsNotAConfigurationFile) {
    nv::TnvConfigKeys keys;
    QString error;
    EXPECT_FALSE(keys.Read(QStringLiteral("/dev/zero"), error));
    EXPECT_TRUE(error.contains("not a configuration file")) << error.toStdString();
}

TEST_F(ConfigFileTest, ReportLinesWordTheValues) {
    const std::pair<std::uint32_t, std::uint16_t> words[] = {
        {1, 125}, {18, 0b0100101}, {19, 2}, {27, 0b101}, {49, 0x0110}, {3, 0x0081}};
    for (const auto& [index, word] : words)
        Value(index).SetValueUShort(0, word);
    const QStringList lines =
        nv::ConfigReportLines(Set, 7, nv::EncodeDate(2026, 12, 7) + nv::EncodeTime(1, 2, 3, 0));
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(
        lines.mid(0, 5),
        (QStringList{"KX720 Configuration Terminal v2.07", "\tReport date: 07/12/2026 01:02:03",
                     "\tModbus slave: 7", "\tDrive size: 400V 16A(25A) 400Hz", ""}));
    EXPECT_TRUE(lines.contains("  RAM: Speed = 012.5 "));
    EXPECT_TRUE(lines.contains("  RAM: Flags = On,Off,Off,Off,Off,Off,Off,On "));
    EXPECT_TRUE(lines.contains("  EEPROM: Control mode = Ramp| Speed by analog| Command by ModBus| "
                               "Forward/Reverse| Enable level| Reset edge| Th.Enabled "));
    EXPECT_TRUE(lines.contains("  EEPROM: PWM frequency = 12KHz "));
    EXPECT_TRUE(lines.contains("  EEPROM: Software inputs = In1: On| In2: Off| In3: On|  "));
    EXPECT_FALSE(lines.filter("Drive size =").size()) << "the size has its own line";
    EXPECT_EQ(lines.last(), "__");
    EXPECT_EQ(nv::DriveSizeText(0x0222), "???V ???A ???Hz");
    EXPECT_EQ(nv::DriveSizeText(0x0001), "230V 8A(12A) 128Hz");
    TnvParValueSet set;
    ASSERT_TRUE(set.AddParBindsFromIdxList(&Defs, "1"));
    EXPECT_EQ(nv::ConfigReportLines(set, 2, 0).at(3), "\tDrive size: data error");
}

} // namespace
