#include "TnvMBSetup.h"
#include "TestFiles.h"
#include "TestSupport.h"
#include "TnvError.h"
#include "TnvRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const TnvMBSetup kSerial{.Name = "COM1", .PortNumber = 1};

// Every field away from both its constructor and its load default.
const TnvMBSetup kUnusual{.Name = "Drive A",
                          .ConnType = 2,
                          .Retries = 5,
                          .RaiseError = true,
                          .BaudRate = 57600,
                          .PortNumber = 7,
                          .ByteSize = 7,
                          .FlowCtrl = 8,
                          .Parity = 3,
                          .StopBits = 50,
                          .SilentInt = 2,
                          .Timeout = 250,
                          .TxMode = 1,
                          .TCPIPPort = 1502,
                          .HostName = "plc.example",
                          .Enabled = true};

// All sixteen fields, so that one comparison covers every one.
auto Fields(const TnvMBSetup& s) {
    return std::tuple(s.Name.toStdString(), s.HostName.toStdString(), s.ConnType, s.Retries,
                      s.RaiseError, s.BaudRate, s.PortNumber, s.ByteSize, s.FlowCtrl, s.Parity,
                      s.StopBits, s.SilentInt, s.Timeout, s.TxMode, s.TCPIPPort, s.Enabled);
}

// The edges of each range, and the link kinds' own fields.
TEST(TnvMBSetup, ValidityFollowsTheLinkKind) {
    const std::pair<void (*)(TnvMBSetup&), bool> cases[] = {
        {[](TnvMBSetup& s) { s.Name.clear(); }, false},
        {[](TnvMBSetup& s) { s.PortNumber = 0; }, false},
        {[](TnvMBSetup& s) { s.PortNumber = 8; }, true},
        {[](TnvMBSetup& s) { s.PortNumber = 9; }, false},
        {[](TnvMBSetup& s) { s.ByteSize = 6; }, false},
        {[](TnvMBSetup& s) { s.Parity = 5; }, false},
        {[](TnvMBSetup& s) { s.TxMode = 2; }, false},
        {[](TnvMBSetup& s) { s.ConnType = 2, s.PortNumber = 0, s.SilentInt = 9; }, true},
        {[](TnvMBSetup& s) { s.ConnType = 2, s.HostName.clear(); }, false},
        {[](TnvMBSetup& s) { s.ConnType = 3; }, false},
    };
    EXPECT_TRUE(kSerial.GetIsValid());
    for (size_t i = 0; i < std::size(cases); ++i) {
        TnvMBSetup s = kSerial;
        cases[i].first(s);
        EXPECT_EQ(s.GetIsValid(), cases[i].second) << "case " << i;
    }
}

class TnvMBSetupStore : public ::testing::Test {
protected:
    kxtest::TConfigHome Home;
    QTemporaryDir Dir;
    QString File = Dir.path() + "/links.ini";
    const QString Key = "Software\\KX720\\Links";
};

TEST_F(TnvMBSetupStore, RoundTripsReproduceEveryFieldUntilDeleted) {
    TnvMBSetup saved = kUnusual;
    saved.Parity = 2; // only a valid setting is saved
    ASSERT_TRUE(saved.SaveToIniFile(File));
    ASSERT_TRUE(saved.SaveToRegistry(TnvRegistryRoot::LocalMachine, Key));
    for (const bool registry : {false, true}) {
        TnvMBSetup loaded{.Name = saved.Name};
        ASSERT_TRUE(registry ? loaded.LoadFromRegistry(TnvRegistryRoot::LocalMachine, Key)
                             : loaded.LoadFromIniFile(File));
        EXPECT_EQ(Fields(loaded), Fields(saved)) << registry;
    }
    EXPECT_FALSE(saved.ExistInRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_TRUE(saved.DeleteFromIniFile(File));
    EXPECT_TRUE(saved.DeleteFromRegistry(TnvRegistryRoot::LocalMachine, Key));
    EXPECT_FALSE(saved.ExistInInifile(File));
    EXPECT_FALSE(saved.ExistInRegistry(TnvRegistryRoot::LocalMachine, Key));
    EXPECT_FALSE(saved.DeleteFromIniFile(File));
}

// Files written by other programs name the keys so, in this order.
TEST_F(TnvMBSetupStore, IniKeepsKeyNamesOrderAndForeignKeys) {
    kxtest::WriteFile(File, "[COM1]\nComment=kept\n");
    ASSERT_TRUE(kSerial.SaveToIniFile(File));
    const QString text = QString::fromUtf8(kxtest::ReadFile(File));
    EXPECT_TRUE(text.contains("Comment=kept"));
    qsizetype last = -1;
    for (const char* key : {"ConnType", "Retries", "RaiseError=0", "BaudRate", "PortNumber",
                            "ByteSize", "FlowCtrl", "Parity", "StopBits", "SilentInt", "Timeout",
                            "TxMode", "TCPIPPort", "HostName=127.0.0.1", "Enabled"}) {
        const qsizetype at = text.indexOf(QStringLiteral("\n%1").arg(key));
        EXPECT_GT(at, last) << key;
        last = at;
    }
}

TEST_F(TnvMBSetupStore, AbsentOrUnreadableIniKeysGiveTheLoadDefaults) {
    kxtest::WriteFile(File, "[Drive]\nRetries=x7\n[Empty]\n");
    for (const char* name : {"Drive", "Empty"}) {
        TnvMBSetup s = kUnusual;
        s.Name = name;
        ASSERT_TRUE(s.LoadFromIniFile(File)) << name;
        EXPECT_EQ(Fields(s), Fields({.Name = name, .StopBits = 4, .HostName = ""}));
    }
}

TEST_F(TnvMBSetupStore, FailuresChangeNeitherStoreNorObject) {
    TnvMBSetup s = kUnusual;
    EXPECT_FALSE(s.LoadFromIniFile(Dir.path() + "/missing.ini"));
    EXPECT_FALSE(s.LoadFromRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_EQ(Fields(s), Fields(kUnusual));
    EXPECT_FALSE(TnvMBSetup().SaveToIniFile(File)); // invalid
    EXPECT_FALSE(TnvMBSetup().SaveToRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_FALSE(kSerial.SaveToIniFile(Dir.path() + "/no/such/dir/links.ini"));
    EXPECT_FALSE(QFile::exists(File));
}

// The registry has no defaults: a mistyped value raises (a missing one is
// the link set's test).
TEST_F(TnvMBSetupStore, AMistypedRegistryValueRaises) {
    ASSERT_TRUE(kSerial.SaveToRegistry(TnvRegistryRoot::CurrentUser, Key));
    TnvRegistry reg;
    ASSERT_TRUE(reg.OpenKey(Key + "\\COM1", false));
    reg.WriteString("Timeout", "1000");
    TnvMBSetup s{.Name = "COM1"};
    EXPECT_THROW(s.LoadFromRegistry(TnvRegistryRoot::CurrentUser, Key), TnvError);
}

} // namespace
