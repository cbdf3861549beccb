#include "TestErrors.h"
#include "TestFiles.h"
#include "TnvIniFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

const char* const kSample =
    "; drive parameters\n[Par-1]\nRegAddr = 0x0100\nRegQtty=$2\nName=  Motor voltage  \n"
    "# a comment line: Type=9\n; Readonly=0\nType=3\nType=4\nFormatString=000.0;-000.0\n\n"
    "[Empty]\n[CommentsOnly]\n; Key=1\n[par-1]\nDescr=second header of the same section\n";

// Integers read as StrToInt reads them (its own test has the forms), else the
// default; booleans are integers.
TEST(IniFile, ReadsValuesKeysAndSections) {
    const auto values = TnvIniFile::FromText("[S]\nHex=$FFFF\nZero=0x0\nBad=12abc\n");
    EXPECT_EQ(values.ReadInteger("S", "Hex", -99), 65535);
    EXPECT_EQ(values.ReadInteger("S", "Bad", -99), -99);
    EXPECT_TRUE(values.ReadBool("S", "Hex", false) && !values.ReadBool("S", "Zero", true));
    EXPECT_TRUE(values.ReadBool("S", "Bad", true) && !values.ReadBool("S", "Bad", false));
    // Sections and keys match without regard to case; values are trimmed and keep
    // everything after the first equals sign; the first of duplicate keys wins;
    // comment lines, keys before the first section and sections without keys
    // do not count; a repeated header continues its section.
    const auto ini =
        TnvIniFile::FromText(QString(kSample) + "  [ Par-7 ]  \nMask = a=b \n =orphan\n");
    EXPECT_EQ(ini.ReadInteger("PAR-1", "regaddr", 0), 256);
    EXPECT_EQ(ini.ReadString("Par-1", "Name", ""), "Motor voltage");
    EXPECT_EQ(ini.ReadString("Par-1", "FormatString", ""), "000.0;-000.0");
    EXPECT_EQ(ini.ReadString("Par-7", "Mask", ""), "a=b");
    EXPECT_EQ(ini.ReadInteger("Par-1", "Type", 0), 3);
    EXPECT_EQ(ini.ReadSection("Par-1"),
              QStringList({"RegAddr", "RegQtty", "Name", "Type", "FormatString", "Descr"}));
    EXPECT_EQ(ini.ReadSectionValues("par-1").last(), "Descr=second header of the same section");
    EXPECT_EQ(ini.ReadSections(), QStringList({"Par-1", "Par-7"}));
    EXPECT_EQ(TnvIniFile::FromText("Key=1\n[S]\nOther=2\n").ReadSections(), QStringList({"S"}));
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
    // Missing sections go at the end, and a value stays on one line.
    auto crlf = TnvIniFile::FromText("[A]\r\nX=1\r\n");
    crlf.WriteBool("B", "Flag", true);
    crlf.WriteString("B", "K", "two\nlines");
    EXPECT_EQ(crlf.ToText(), "[A]\r\nX=1\r\n\r\n[B]\r\nFlag=1\r\nK=two lines\r\n");
    // Erasing a section or deleting a key keeps the rest.
    auto erased = TnvIniFile::FromText(kSample);
    erased.DeleteKey("par-1", "TYPE");
    EXPECT_FALSE(erased.ValueExists("Par-1", "Type")) << "every duplicate goes";
    erased.EraseSection("PAR-1");
    EXPECT_FALSE(erased.SectionExists("Par-1"));
    EXPECT_FALSE(erased.ToText().contains("second header"));
    EXPECT_TRUE(erased.ToText().startsWith("; drive parameters\n"));
}

class IniFileOnDisk : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return FDir.filePath(name); }

    QTemporaryDir FDir;
};

TEST_F(IniFileOnDisk, WritesAndReadsBack) {
    TnvIniFile created(Path("new.ini"));
    EXPECT_TRUE(created.ReadSections().isEmpty()) << "a missing file reads as empty";
    created.WriteString("Link", "Host", "192.168.0.10");
    created.WriteInteger("Link", "Port", 502);
    created.UpdateFile();
    const TnvIniFile read(Path("new.ini"));
    EXPECT_EQ(read.ReadString("link", "host", "") + read.ReadString("LINK", "PORT", ""),
              "192.168.0.10502");
    // UTF-8 with a byte order mark, and Latin-1.
    for (const char* bytes : {"\xEF\xBB\xBF[S]\nName=K\xC3\xBChler\n", "[S]\nName=K\xFChler\n"})
        EXPECT_EQ(TnvIniFile(kxtest::WriteFile(Path("s.ini"), bytes)).ReadString("S", "Name", ""),
                  QString::fromUtf8("K\xC3\xBChler"));
}

TEST_F(IniFileOnDisk, RaisesNamingAFileThatCannotBeReadOrWritten) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder.ini"));
    kxtest::WriteFile(Path("plain"), "not a folder");
    EXPECT_TRUE(
        kxtest::ErrorOf([&] { TnvIniFile(Path("folder.ini")); }).contains(Path("folder.ini")));
    TnvIniFile ini(Path("plain/sub.ini"));
    ini.WriteString("S", "K", "V");
    EXPECT_TRUE(kxtest::ErrorOf([&] {
                    ini.UpdateFile();
                }).startsWith(QStringLiteral("Cannot write \"%1\": ").arg(Path("plain/sub.ini"))));
    EXPECT_THROW(TnvIniFile::FromText("[S]\nK=1\n").UpdateFile(), TnvError) << "no file name";
}

// The write runs out of room half-way (a file size limit works even for
// root); the old file must survive whole.
TEST_F(IniFileOnDisk, LeavesTheOldFileIntactWhenWritingFails) {
    const QByteArray original = "[S]\nK=old\n";
    kxtest::WriteFile(Path("keep.ini"), original);
    TnvIniFile ini(Path("keep.ini"));
    ini.WriteString("S", "Big", QString(64 * 1024, u'x'));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QString error = kxtest::ErrorOf([&] { ini.UpdateFile(); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(error.contains(Path("keep.ini"))) << error.toStdString();
    EXPECT_EQ(kxtest::ReadFile(Path("keep.ini")), original);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList({"keep.ini"}))
        << "no temporary file left";
}

} // namespace
