#include "TnvMBSetup.h"
#include "TestSupport.h"
#include "TnvError.h"
#include "TnvRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TnvMBSetup ValidSerial() {
    TnvMBSetup s;
    s.Name = "COM1";
    s.PortNumber = 1;
    return s;
}

// Every field away from both its constructor and its load default.
TnvMBSetup Unusual() {
    TnvMBSetup s;
    s.Name = "Drive A";
    s.ConnType = 2;
    s.Retries = 5;
    s.RaiseError = true;
    s.BaudRate = 57600;
    s.PortNumber = 7;
    s.ByteSize = 7;
    s.FlowCtrl = 8;
    s.Parity = 3;
    s.StopBits = 50;
    s.SilentInt = 2;
    s.Timeout = 250;
    s.TxMode = 1;
    s.TCPIPPort = 1502;
    s.HostName = "plc.example";
    s.Enabled = true;
    return s;
}

// All sixteen fields as "Key=value", so that a mismatch names its field.
std::vector<std::string> Fields(const TnvMBSetup& s) {
    std::vector<std::string> fields{"Name=" + s.Name.toStdString(),
                                    "HostName=" + s.HostName.toStdString()};
    const std::pair<const char*, int> numbers[] = {
        {"ConnType", s.ConnType},   {"Retries", s.Retries},       {"RaiseError", s.RaiseError},
        {"BaudRate", s.BaudRate},   {"PortNumber", s.PortNumber}, {"ByteSize", s.ByteSize},
        {"FlowCtrl", s.FlowCtrl},   {"Parity", s.Parity},         {"StopBits", s.StopBits},
        {"SilentInt", s.SilentInt}, {"Timeout", s.Timeout},       {"TxMode", s.TxMode},
        {"TCPIPPort", s.TCPIPPort}, {"Enabled", s.Enabled}};
    for (const auto& [key, value] : numbers)
        fields.push_back(key + ("=" + std::to_string(value)));
    return fields;
}

void ExpectSame(const TnvMBSetup& a, const TnvMBSetup& b) {
    EXPECT_EQ(Fields(a), Fields(b));
}

struct TValidityCase {
    const char* What;
    void (*Change)(TnvMBSetup&);
    bool Valid;
};

class TnvMBSetupValidity : public ::testing::TestWithParam<TValidityCase> {};

TEST_P(TnvMBSetupValidity, FollowsTheTable) {
    TnvMBSetup s = ValidSerial();
    GetParam().Change(s);
    EXPECT_EQ(s.GetIsValid(), GetParam().Valid) << GetParam().What;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TnvMBSetupValidity,
    ::testing::Values(TValidityCase{"COM1 on port 1", [](TnvMBSetup&) {}, true},
                      TValidityCase{"empty name", [](TnvMBSetup& s) { s.Name.clear(); }, false},
                      TValidityCase{"port 0", [](TnvMBSetup& s) { s.PortNumber = 0; }, false},
                      TValidityCase{"port 8", [](TnvMBSetup& s) { s.PortNumber = 8; }, true},
                      TValidityCase{"port 9", [](TnvMBSetup& s) { s.PortNumber = 9; }, false},
                      TValidityCase{"7 data bits", [](TnvMBSetup& s) { s.ByteSize = 7; }, true},
                      TValidityCase{"6 data bits", [](TnvMBSetup& s) { s.ByteSize = 6; }, false},
                      TValidityCase{"flow 8", [](TnvMBSetup& s) { s.FlowCtrl = 8; }, true},
                      TValidityCase{"flow 3", [](TnvMBSetup& s) { s.FlowCtrl = 3; }, false},
                      TValidityCase{"parity 4", [](TnvMBSetup& s) { s.Parity = 4; }, true},
                      TValidityCase{"parity 5", [](TnvMBSetup& s) { s.Parity = 5; }, false},
                      TValidityCase{"silent 2", [](TnvMBSetup& s) { s.SilentInt = 2; }, true},
                      TValidityCase{"silent 3", [](TnvMBSetup& s) { s.SilentInt = 3; }, false},
                      TValidityCase{"tx mode 2", [](TnvMBSetup& s) { s.TxMode = 2; }, false},
                      TValidityCase{"stop bits 0", [](TnvMBSetup& s) { s.StopBits = 0; }, true},
                      TValidityCase{"stop bits 50", [](TnvMBSetup& s) { s.StopBits = 50; }, true},
                      TValidityCase{"stop bits -7", [](TnvMBSetup& s) { s.StopBits = -7; }, true},
                      TValidityCase{"TCP ignores serial fields",
                                    [](TnvMBSetup& s) {
                                        s.ConnType = 2;
                                        s.PortNumber = 0;
                                        s.SilentInt = 9;
                                    },
                                    true},
                      TValidityCase{"TCP without host",
                                    [](TnvMBSetup& s) {
                                        s.ConnType = 2;
                                        s.HostName.clear();
                                    },
                                    false},
                      TValidityCase{"link kind 3", [](TnvMBSetup& s) { s.ConnType = 3; }, false}));

TEST(TnvMBSetup, FreshObjectIsInvalid) {
    EXPECT_FALSE(TnvMBSetup().GetIsValid());
}

TEST(TnvMBSetup, AssignCopiesAllSixteenFields) {
    TnvMBSetup copy;
    copy.Assign(Unusual());
    ExpectSame(copy, Unusual());
}

class TnvMBSetupIni : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString File = Dir.path() + "/links.ini";

    void WriteFile(const QByteArray& text) {
        QFile f(File);
        f.open(QIODevice::WriteOnly);
        f.write(text);
    }
};

TEST_F(TnvMBSetupIni, RoundTripReproducesEveryField) {
    TnvMBSetup saved = Unusual();
    saved.Parity = 2; // a valid TCP setting may still carry any serial code
    ASSERT_TRUE(saved.SaveToIniFile(File));
    TnvMBSetup loaded;
    loaded.Name = saved.Name;
    ASSERT_TRUE(loaded.LoadFromIniFile(File));
    ExpectSame(loaded, saved);
}

TEST_F(TnvMBSetupIni, WritesTheKeysInOrderAndKeepsForeignKeys) {
    WriteFile("[COM1]\nComment=kept\n");
    ASSERT_TRUE(ValidSerial().SaveToIniFile(File));
    QFile f(File);
    f.open(QIODevice::ReadOnly);
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("Comment=kept"));
    const QStringList keys{"ConnType", "Retries",  "RaiseError", "BaudRate", "PortNumber",
                           "ByteSize", "FlowCtrl", "Parity",     "StopBits", "SilentInt",
                           "Timeout",  "TxMode",   "TCPIPPort",  "HostName", "Enabled"};
    qsizetype last = -1;
    for (const QString& key : keys) {
        const qsizetype at = text.indexOf("\n" + key + "=");
        EXPECT_GT(at, last) << key.toStdString();
        last = at;
    }
    EXPECT_TRUE(text.contains("RaiseError=0"));
    EXPECT_TRUE(text.contains("HostName=127.0.0.1"));
}

TEST_F(TnvMBSetupIni, AbsentKeysGiveTheLoadDefaults) {
    WriteFile("[Drive]\nRetries=x7\n");
    TnvMBSetup s = Unusual();
    s.Name = "Drive";
    ASSERT_TRUE(s.LoadFromIniFile(File));
    TnvMBSetup expected;
    expected.Name = "Drive";
    expected.StopBits = 4;
    expected.HostName = "";
    ExpectSame(s, expected);
}

TEST_F(TnvMBSetupIni, EmptySectionStillLoads) {
    WriteFile("[Other]\nA=1\n[Drive]\n");
    TnvMBSetup s;
    s.Name = "Drive";
    EXPECT_TRUE(s.LoadFromIniFile(File));
    EXPECT_EQ(s.StopBits, 4);
    EXPECT_TRUE(s.HostName.isEmpty());
}

TEST_F(TnvMBSetupIni, BooleansAreAnyNonZeroInteger) {
    WriteFile("[Drive]\nEnabled=7\nRaiseError=0\n");
    TnvMBSetup s;
    s.Name = "Drive";
    ASSERT_TRUE(s.LoadFromIniFile(File));
    EXPECT_TRUE(s.Enabled);
    EXPECT_FALSE(s.RaiseError);
}

TEST_F(TnvMBSetupIni, PreconditionsLeaveStoreAndObjectAlone) {
    TnvMBSetup s = Unusual();
    EXPECT_FALSE(s.LoadFromIniFile(Dir.path() + "/missing.ini"));
    ExpectSame(s, Unusual());
    EXPECT_FALSE(TnvMBSetup().SaveToIniFile(File)); // invalid
    EXPECT_FALSE(ValidSerial().SaveToIniFile(""));
    EXPECT_FALSE(ValidSerial().SaveToIniFile(Dir.path() + "/no/such/dir/links.ini"));
    EXPECT_FALSE(QFile::exists(File));
    TnvMBSetup unnamed = ValidSerial();
    ASSERT_TRUE(unnamed.SaveToIniFile(File));
    unnamed.Name.clear();
    EXPECT_FALSE(unnamed.ExistInInifile(File));
    EXPECT_FALSE(unnamed.DeleteFromIniFile(File));
}

TEST_F(TnvMBSetupIni, ExistAndDelete) {
    const TnvMBSetup s = ValidSerial();
    ASSERT_TRUE(s.SaveToIniFile(File));
    EXPECT_TRUE(s.ExistInInifile(File));
    EXPECT_TRUE(s.DeleteFromIniFile(File));
    EXPECT_FALSE(s.ExistInInifile(File));
    EXPECT_FALSE(s.DeleteFromIniFile(File));
}

class TnvMBSetupRegistry : public ::testing::Test {
protected:
    kxtest::TConfigHome Home;
    const QString Key = "Software\\KX720\\Links";
};

TEST_F(TnvMBSetupRegistry, RoundTripReproducesEveryFieldInBothRoots) {
    for (TnvRegistryRoot root : {TnvRegistryRoot::CurrentUser, TnvRegistryRoot::LocalMachine}) {
        TnvMBSetup saved = Unusual();
        saved.HostName = root == TnvRegistryRoot::CurrentUser ? "user" : "machine";
        ASSERT_TRUE(saved.SaveToRegistry(root, Key));
        TnvMBSetup loaded;
        loaded.Name = saved.Name;
        ASSERT_TRUE(loaded.LoadFromRegistry(root, Key));
        ExpectSame(loaded, saved);
    }
}

TEST_F(TnvMBSetupRegistry, ExistAndDelete) {
    const TnvMBSetup s = ValidSerial();
    EXPECT_FALSE(s.ExistInRegistry(TnvRegistryRoot::CurrentUser, Key));
    ASSERT_TRUE(s.SaveToRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_TRUE(s.ExistInRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_FALSE(s.ExistInRegistry(TnvRegistryRoot::LocalMachine, Key));
    EXPECT_TRUE(s.DeleteFromRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_FALSE(s.ExistInRegistry(TnvRegistryRoot::CurrentUser, Key));
}

TEST_F(TnvMBSetupRegistry, LoadOfMissingEntryIsFalseAndChangesNothing) {
    TnvMBSetup s = Unusual();
    EXPECT_FALSE(s.LoadFromRegistry(TnvRegistryRoot::CurrentUser, Key));
    ExpectSame(s, Unusual());
}

TEST_F(TnvMBSetupRegistry, MissingValueRaisesWithEarlierFieldsRead) {
    TnvRegistry reg;
    ASSERT_TRUE(reg.OpenKey(Key + "\\Partial", true));
    reg.WriteInteger("ConnType", 2);
    reg.WriteInteger("Retries", 9);
    TnvMBSetup s;
    s.Name = "Partial";
    EXPECT_THROW(s.LoadFromRegistry(TnvRegistryRoot::CurrentUser, Key), TnvError);
    EXPECT_EQ(s.ConnType, 2);
    EXPECT_EQ(s.Retries, 9);
}

TEST_F(TnvMBSetupRegistry, ValueOfTheWrongTypeRaises) {
    TnvMBSetup saved = ValidSerial();
    ASSERT_TRUE(saved.SaveToRegistry(TnvRegistryRoot::CurrentUser, Key));
    TnvRegistry reg;
    ASSERT_TRUE(reg.OpenKey(Key + "\\COM1", false));
    reg.WriteString("Timeout", "1000");
    TnvMBSetup s;
    s.Name = "COM1";
    EXPECT_THROW(s.LoadFromRegistry(TnvRegistryRoot::CurrentUser, Key), TnvError);
}

TEST_F(TnvMBSetupRegistry, PreconditionsGiveFalse) {
    EXPECT_FALSE(TnvMBSetup().SaveToRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_FALSE(ValidSerial().SaveToRegistry(TnvRegistryRoot::CurrentUser, ""));
    TnvMBSetup unnamed;
    EXPECT_FALSE(unnamed.LoadFromRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_FALSE(unnamed.ExistInRegistry(TnvRegistryRoot::CurrentUser, Key));
    EXPECT_FALSE(unnamed.DeleteFromRegistry(TnvRegistryRoot::CurrentUser, Key));
}

} // namespace
