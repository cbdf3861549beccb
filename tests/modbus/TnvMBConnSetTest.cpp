#include "TnvMBConnSet.h"
#include "TestFiles.h"
#include "TestSupport.h"
#include "TnvError.h"
#include "TnvMBThread.h"
#include "TnvRegistry.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Links over TCP/IP to a port nobody listens on: they start, fail to open
// at once and cost nothing while they cycle.
QString Section(const QString& name, bool enabled, int connType = 2) {
    return QStringLiteral("[%1]\nConnType=%2\nTCPIPPort=%3\nHostName=127.0.0.1\nEnabled=%4\n")
        .arg(name)
        .arg(connType)
        .arg(kxtest::FreeTcpPort())
        .arg(enabled ? 1 : 0);
}

class TConnSetTest : public ::testing::Test {
protected:
    kxtest::TConfigHome Home;
    QTemporaryDir Dir;
    QString Ini = Dir.path() + "/links.ini";
    QStringList Events; // "add NAME", "delete NAME"
    std::unique_ptr<TnvMBConnSet> Set = std::make_unique<TnvMBConnSet>();

    void SetUp() override {
        Set->OnAddConnection = [this](TnvMBConnSet*, TnvMBThread* t) {
            Events << "add " + t->Settings.Name;
        };
        Set->OnDeleteConnection = [this](TnvMBConnSet* sender, TnvMBThread* t) {
            EXPECT_EQ(sender->FindByName(t->Settings.Name), nullptr);
            Events << "delete " + t->Settings.Name;
        };
    }

    void WriteIni(const QString& text) { kxtest::WriteFile(Ini, text.toUtf8()); }

    void SaveToRegistry(const QString& name, bool enabled) {
        const TnvMBSetup s{
            .Name = name, .ConnType = 2, .TCPIPPort = kxtest::FreeTcpPort(), .Enabled = enabled};
        ASSERT_TRUE(s.SaveToRegistry(TnvRegistryRoot::CurrentUser, "Software\\KX\\Links"));
    }
};

// Rebuilding deletes the old set before it adds anything.
TEST_F(TConnSetTest, OnlyValidEnabledLinksJoinTheSet) {
    WriteIni(Section("COM1", true) + Section("COM2", false) + Section("Odd", true, 3));
    Set->CreateSetFromIniFile(Ini);
    EXPECT_EQ(Events, QStringList{"add COM1"});
    ASSERT_EQ(Set->GetCountConnect(), 1);

    SaveToRegistry("B", true);
    Events.clear();
    Set->CreateSetFromRegistry(TnvRegistryRoot::CurrentUser, "Software\\KX\\Links");
    EXPECT_EQ(Events, (QStringList{"delete COM1", "add B"}));
    Events.clear();
    Set->CreateSetFromIniFile(Ini);
    EXPECT_EQ(Events, (QStringList{"delete B", "add COM1"}));
    Set.reset();
    EXPECT_EQ(Events.last(), "delete COM1");
}

TEST_F(TConnSetTest, NamesAreFoundExactlyAndOnlyOnce) {
    WriteIni(Section("COM1", true));
    TnvMBThread* first = Set->AddConnectFromIniFile("COM1", Ini);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Set->AddConnectFromIniFile("COM1", Ini), first);
    EXPECT_EQ(Set->FindByName("COM1"), first);
    EXPECT_EQ(Set->FindByName("com1"), nullptr);
    EXPECT_EQ(Set->AddConnectFromIniFile("", Ini), nullptr);
    EXPECT_EQ(Set->AddConnectFromIniFile("Absent", Ini), nullptr);
    EXPECT_FALSE(Set->DeleteConnect("com1"));
    EXPECT_EQ(Events, QStringList{"add COM1"});
    EXPECT_TRUE(Set->DeleteConnect("COM1"));
    EXPECT_EQ(Set->GetCountConnect(), 0);
    EXPECT_EQ(Events, (QStringList{"add COM1", "delete COM1"}));
}

// A store that is missing lists nothing; one that cannot be read, "-Error-".
TEST_F(TConnSetTest, StoresThatCannotBeListedGiveTheErrorName) {
    QStringList names{"stale"};
    TnvMBConnSet::GetConnListFromIniFile(names, Dir.path() + "/none.ini");
    EXPECT_EQ(names, QStringList{});
    TnvMBConnSet::GetConnListFromIniFile(names, Dir.path()); // a folder
    EXPECT_EQ(names, QStringList{"-Error-"});
    names = QStringList{"stale"};
    TnvMBConnSet::GetConnListFromRegistry(names, TnvRegistryRoot::CurrentUser, "No\\Such");
    EXPECT_EQ(names, QStringList{"-Error-"});
    Set->CreateSetFromRegistry(TnvRegistryRoot::CurrentUser, "No\\Such");
    EXPECT_EQ(Set->GetCountConnect(), 0);
}

// A registry entry without one of its values raises to the caller; the links
// added before it stay.
TEST_F(TConnSetTest, ABrokenRegistryEntryRaisesAndKeepsTheLinksBefore) {
    SaveToRegistry("A", true);
    SaveToRegistry("B", true);
    TnvRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\KX\\Links\\B", false));
    ASSERT_TRUE(registry.DeleteValue("Timeout"));
    EXPECT_THROW(Set->CreateSetFromRegistry(TnvRegistryRoot::CurrentUser, "Software\\KX\\Links"),
                 TnvError);
    EXPECT_EQ(Events, QStringList{"add A"});
}

} // namespace
