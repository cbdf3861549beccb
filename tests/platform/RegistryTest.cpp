#include "TConfigHome.h"
#include "TestFiles.h"
#include "TnvError.h"
#include "TnvRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Opening without create needs an existing key, and writes no file.
TEST(RegistryTest, KeepsIntegersAndStringsApart) {
    const kxtest::TConfigHome home; // both roots in a private folder
    TnvRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\KX720\\COM1", false));
    EXPECT_THROW(reg.WriteInteger("X", 1), TnvError);
    EXPECT_FALSE(QFile::exists(TnvRegistry::RootFile(TnvRegistryRoot::CurrentUser)));
    ASSERT_TRUE(reg.OpenKey("Software\\KX720\\COM1", true));
    EXPECT_TRUE(reg.KeyExists("software"));
    reg.WriteInteger("Timeout", -5);
    reg.WriteString("HostName", "10.0.0.7");
    reg.WriteBool("Enabled", true);
    TnvRegistry again;
    ASSERT_TRUE(again.OpenKey("software/kx720/com1", false)); // any separator, any case
    EXPECT_EQ(again.ReadInteger("TIMEOUT"), -5);
    EXPECT_EQ(again.ReadString("HostName"), "10.0.0.7");
    EXPECT_TRUE(again.ReadBool("Enabled"));
    EXPECT_THROW(again.ReadString("Timeout"), TnvError);
    EXPECT_THROW(again.ReadInteger("HostName"), TnvError);
    EXPECT_THROW(again.ReadInteger("Missing"), TnvError);
}

TEST(RegistryTest, OverwriteKeepsOneValueOfTheNewTypeAndDeleteValueTakesIt) {
    const kxtest::TConfigHome home;
    TnvRegistry reg;
    ASSERT_TRUE(reg.OpenKey("K", true));
    reg.WriteInteger("v", 1);
    reg.WriteString("V", "text");
    EXPECT_EQ(reg.GetValueNames(), QStringList{"V"});
    EXPECT_EQ(reg.ReadString("v"), "text");
    EXPECT_TRUE(reg.DeleteValue("v"));
    EXPECT_FALSE(reg.ValueExists("V"));
    EXPECT_FALSE(reg.DeleteValue("v"));
    // DeleteKey takes a subtree and spares its siblings.
    ASSERT_TRUE(reg.OpenKey("Links\\A\\Deep", true));
    reg.WriteInteger("x", 1);
    ASSERT_TRUE(reg.OpenKey("Links\\B", true));
    reg.WriteInteger("y", 2);
    EXPECT_TRUE(reg.DeleteKey("links\\a"));
    EXPECT_FALSE(reg.KeyExists("Links\\A\\Deep"));
    EXPECT_TRUE(reg.KeyExists("Links\\B"));
    EXPECT_FALSE(reg.DeleteKey("Links\\A"));
    ASSERT_TRUE(reg.OpenKey("Links", false));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{"B"});
}

// A store a hand or a crash left unreadable keeps every byte: a write over it
// would put one key where all the others were.
TEST(RegistryTest, AStoreThatCannotBeReadIsNotWrittenOver) {
    const kxtest::TConfigHome home;
    const QString file = TnvRegistry::RootFile(TnvRegistryRoot::CurrentUser);
    for (const QByteArray& stored :
         {QByteArray(R"({"keys": {"K": {"values": {"Other": {"dword": 7}}},)"),
          QByteArray("[1, 2]"), QByteArray("\xff\xfe binary")}) {
        SCOPED_TRACE(stored.toStdString());
        QDir().mkpath(QFileInfo(file).absolutePath());
        kxtest::WriteFile(file, stored);
        TnvRegistry reg;
        EXPECT_FALSE(reg.OpenKey("K", true));
        EXPECT_FALSE(reg.DeleteKey("K"));
        EXPECT_EQ(kxtest::ReadFile(file), stored);
    }
}

} // namespace
