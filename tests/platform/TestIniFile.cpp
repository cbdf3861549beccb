#include "TnvError.h"
#include "TnvIniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

const char* const kSample = "; drive parameters\n"
                            "[Par-1]\n"
                            "RegAddr = 0x0100\n"
                            "RegQtty=$2\n"
                            "Name=  Motor voltage  \n"
                            "# a comment line: Type=9\n"
                            "; Readonly=0\n"
                            "Type=3\n"
                            "Type=4\n"
                            "FormatString=000.0;-000.0\n"
                            "\n"
                            "[Empty]\n"
                            "[CommentsOnly]\n"
                            "; Key=1\n"
                            "[par-1]\n"
                            "Descr=second header of the same section\n";

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct TIntegerCase {
    const char* Value;
    int Expected;
};

class IniReadInteger : public ::testing::TestWithParam<TIntegerCase> {};

TEST_P(IniReadInteger, ReadsTheValueOrTheDefault) {
    const auto ini = TnvIniFile::FromText(
        QStringLiteral("[S]\nK=%1\n").arg(QString::fromUtf8(GetParam().Value)));
    EXPECT_EQ(ini.ReadInteger("S", "K", -99), GetParam().Expected) << GetParam().Value;
}

INSTANTIATE_TEST_SUITE_P(Syntax, IniReadInteger,
                         ::testing::Values(TIntegerCase{"256", 256}, TIntegerCase{"0x0100", 256},
                                           TIntegerCase{"0X1f", 31}, TIntegerCase{"$ff", 255},
                                           TIntegerCase{"$FFFF", 65535}, TIntegerCase{"-12", -12},
                                           TIntegerCase{"  7  ", 7}, TIntegerCase{"abc", -99},
                                           TIntegerCase{"12abc", -99}, TIntegerCase{"", -99},
                                           TIntegerCase{"0x", -99}, TIntegerCase{"$", -99},
                                           TIntegerCase{"1.5", -99},
                                           TIntegerCase{"2147483648", -99},
                                           TIntegerCase{"0x100000000", -99},
                                           TIntegerCase{"1 2", -99}));

TEST(IniFile, ReadsBooleansAsIntegers) {
    const auto ini =
        TnvIniFile::FromText("[S]\nOne=1\nZero=0\nMinus=-1\nHexZero=0x0\nYes=yes\nEmpty=\n");
    EXPECT_TRUE(ini.ReadBool("S", "One", false));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Minus", false));
    EXPECT_FALSE(ini.ReadBool("S", "HexZero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Yes", true));
    EXPECT_FALSE(ini.ReadBool("S", "Yes", false));
    EXPECT_TRUE(ini.ReadBool("S", "Empty", true));
    EXPECT_FALSE(ini.ReadBool("S", "Missing", false));
}

TEST(IniFile, MatchesSectionsAndKeysWithoutRegardToCase) {
    const auto ini = TnvIniFile::FromText(kSample);
    EXPECT_EQ(ini.ReadInteger("PAR-1", "regaddr", 0), 256);
    EXPECT_EQ(ini.ReadInteger("par-1", "REGQTTY", 0), 2);
    EXPECT_TRUE(ini.ValueExists("Par-1", "formatstring"));
}

TEST(IniFile, TrimsValuesAndKeepsEverythingAfterTheEqualsSign) {
    const auto ini = TnvIniFile::FromText(kSample);
    EXPECT_EQ(ini.ReadString("Par-1", "Name", ""), "Motor voltage");
    EXPECT_EQ(ini.ReadString("Par-1", "FormatString", ""), "000.0;-000.0");
    EXPECT_EQ(ini.ReadString("Par-1", "Missing", "def"), "def");
}

TEST(IniFile, ReadsBlanksAroundHeadersAndEqualsSignsInValues) {
    const auto ini = TnvIniFile::FromText("  [ Par-7 ]  \nMask = a=b \n =orphan\n");
    EXPECT_EQ(ini.ReadString("Par-7", "Mask", ""), "a=b");
    EXPECT_EQ(ini.ReadSection("Par-7"), QStringList({"Mask"}));
}

TEST(IniFile, TakesTheFirstOfDuplicateKeys) {
    EXPECT_EQ(TnvIniFile::FromText(kSample).ReadInteger("Par-1", "Type", 0), 3);
}

TEST(IniFile, IgnoresCommentLines) {
    const auto ini = TnvIniFile::FromText(kSample);
    EXPECT_FALSE(ini.ValueExists("Par-1", "Readonly"));
    EXPECT_FALSE(ini.ValueExists("Par-1", "# a comment line: Type"));
    EXPECT_EQ(ini.ReadSection("Par-1"),
              QStringList({"RegAddr", "RegQtty", "Name", "Type", "FormatString", "Descr"}));
}

TEST(IniFile, CountsASectionWithoutKeysAsAbsent) {
    const auto ini = TnvIniFile::FromText(kSample);
    EXPECT_TRUE(ini.SectionExists("Par-1"));
    EXPECT_FALSE(ini.SectionExists("Empty"));
    EXPECT_FALSE(ini.SectionExists("CommentsOnly"));
    EXPECT_FALSE(ini.SectionExists("Missing"));
    EXPECT_EQ(ini.ReadSections(), QStringList({"Par-1"}));
}

TEST(IniFile, ReadsRepeatedSectionHeadersAsOneSection) {
    const auto ini = TnvIniFile::FromText(kSample);
    EXPECT_EQ(ini.ReadString("Par-1", "Descr", ""), "second header of the same section");
    EXPECT_EQ(ini.ReadSectionValues("par-1").last(), "Descr=second header of the same section");
    EXPECT_EQ(ini.ReadSectionValues("Par-1").first(), "RegAddr=0x0100");
}

TEST(IniFile, IgnoresKeysBeforeTheFirstSection) {
    const auto ini = TnvIniFile::FromText("Key=1\n[S]\nOther=2\n");
    EXPECT_FALSE(ini.ValueExists("", "Key"));
    EXPECT_EQ(ini.ReadSections(), QStringList({"S"}));
}

TEST(IniFile, KeepsLinesCommentsAndOrderWhenWriting) {
    auto ini = TnvIniFile::FromText(kSample);
    ini.WriteInteger("PAR-1", "regqtty", 3);
    ini.WriteString("Par-1", "NewKey", "new");
    QString expected = QString::fromUtf8(kSample);
    expected.replace("RegQtty=$2\n", "RegQtty=3\n");
    expected.replace("Type=4\nFormatString=000.0;-000.0\n",
                     "Type=4\nFormatString=000.0;-000.0\nNewKey=new\n");
    EXPECT_EQ(ini.ToText(), expected);
}

TEST(IniFile, AddsMissingSectionsAtTheEnd) {
    auto ini = TnvIniFile::FromText("[A]\nX=1\n");
    ini.WriteBool("B", "Flag", true);
    ini.WriteBool("B", "Other", false);
    EXPECT_EQ(ini.ToText(), "[A]\nX=1\n\n[B]\nFlag=1\nOther=0\n");
}

TEST(IniFile, KeepsAWrittenValueOnOneLine) {
    auto ini = TnvIniFile::FromText("");
    ini.WriteString("S", "K", "two\nlines");
    EXPECT_EQ(TnvIniFile::FromText(ini.ToText()).ReadString("S", "K", ""), "two lines");
    EXPECT_EQ(TnvIniFile::FromText(ini.ToText()).ReadSection("S"), QStringList({"K"}));
}

TEST(IniFile, ErasesSectionsAndDeletesKeys) {
    auto ini = TnvIniFile::FromText(kSample);
    ini.DeleteKey("par-1", "TYPE");
    EXPECT_FALSE(ini.ValueExists("Par-1", "Type")) << "every duplicate goes";
    ini.EraseSection("PAR-1");
    EXPECT_FALSE(ini.SectionExists("Par-1"));
    EXPECT_FALSE(ini.ToText().contains("second header"));
    EXPECT_TRUE(ini.ToText().startsWith("; drive parameters\n"));
}

TEST(IniFile, KeepsWindowsLineBreaks) {
    auto ini = TnvIniFile::FromText("[S]\r\nA=1\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "A", 0), 1);
    ini.WriteInteger("S", "B", 2);
    EXPECT_EQ(ini.ToText(), "[S]\r\nA=1\r\nB=2\r\n");
}

class IniFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const QString& name) const { return FDir.filePath(name); }

    QTemporaryDir FDir;
};

TEST_F(IniFileOnDisk, WritesAndReadsBack) {
    TnvIniFile created(Path("new.ini"));
    EXPECT_TRUE(created.ReadSections().isEmpty()) << "a missing file reads as empty";
    created.WriteString("Link", "Host", "192.168.0.10");
    created.WriteInteger("Link", "Port", 502);
    created.WriteBool("Link", "Enabled", true);
    created.UpdateFile();

    const TnvIniFile read(Path("new.ini"));
    EXPECT_EQ(read.ReadString("link", "host", ""), "192.168.0.10");
    EXPECT_EQ(read.ReadInteger("LINK", "PORT", 0), 502);
    EXPECT_TRUE(read.ReadBool("Link", "Enabled", false));
    EXPECT_EQ(read.FileName(), Path("new.ini"));
}

TEST_F(IniFileOnDisk, ReadsUtf8WithByteOrderMarkAndLatin1) {
    WriteBytes(Path("bom.ini"), "\xEF\xBB\xBF[S]\nName=K\xC3\xBChler\n");
    WriteBytes(Path("latin1.ini"), "[S]\nName=K\xFChler\n");
    EXPECT_EQ(TnvIniFile(Path("bom.ini")).ReadString("S", "Name", ""),
              QString::fromUtf8("K\xC3\xBChler"));
    EXPECT_EQ(TnvIniFile(Path("latin1.ini")).ReadString("S", "Name", ""),
              QString::fromUtf8("K\xC3\xBChler"));
}

TEST_F(IniFileOnDisk, RaisesNamingAFileThatCannotBeRead) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder.ini"));
    try {
        TnvIniFile ini(Path("folder.ini"));
        FAIL() << "no error";
    } catch (const TnvError& e) {
        EXPECT_TRUE(e.Message().contains(Path("folder.ini"))) << e.what();
    }
}

TEST_F(IniFileOnDisk, RaisesNamingAFileThatCannotBeWritten) {
    WriteBytes(Path("plain"), "not a folder");
    TnvIniFile ini(Path("plain/sub.ini"));
    ini.WriteString("S", "K", "V");
    try {
        ini.UpdateFile();
        FAIL() << "no error";
    } catch (const TnvError& e) {
        EXPECT_TRUE(e.Message().startsWith(
            QStringLiteral("Cannot write \"%1\": ").arg(Path("plain/sub.ini"))))
            << e.what();
    }
}

// The write runs out of room half-way (a file size limit works even for
// root); the old file must survive whole.
TEST_F(IniFileOnDisk, LeavesTheOldFileIntactWhenWritingFails) {
    const QByteArray original = "[S]\nK=old\n";
    WriteBytes(Path("keep.ini"), original);
    TnvIniFile ini(Path("keep.ini"));
    ini.WriteString("S", "Big", QString(64 * 1024, u'x'));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool raised = false;
    try {
        ini.UpdateFile();
    } catch (const TnvError& e) {
        raised = e.Message().contains(Path("keep.ini"));
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(raised);
    EXPECT_EQ(ReadBytes(Path("keep.ini")), original);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList({"keep.ini"}))
        << "no temporary file left";
}

TEST(IniFile, RaisesWhenSavingWithoutAFileName) {
    EXPECT_THROW(TnvIniFile::FromText("[S]\nK=1\n").UpdateFile(), TnvError);
}

} // namespace
