#include "ParamsTestSupport.h"
#include "TnvIniFile.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"

namespace {

// Parameters 1 to 9 and a category table.
QString DefinitionsText() {
    QString text = "[Categories]\nRam=1/3\nmixed=3,1/2\nEmpty=\nLater=9\n";
    for (int index = 1; index <= 9; ++index)
        text += QString("[Par-%1]\nName=N%2\nType=3\n").arg(index).arg(index == 9 ? 1 : index);
    return text;
}

// A loaded set that records its events as "+index", "-index" and "!index".
class ParDefSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Set.LoadFromFile(Ini.Folder(), "defs.ini"));
        Set.OnAddParDef = [this](TnvParDefSet* sender, const TnvParDef* def) {
            EXPECT_EQ(sender, &Set);
            Events << QString("+%1").arg(def->ParIndex);
        };
        Set.OnDeleteParDef = [this](TnvParDefSet*, const TnvParDef* def) {
            Events << QString("-%1").arg(def->ParIndex);
        };
        Set.OnErrParDef = [this](TnvParDefSet*, std::uint32_t index) {
            Events << QString("!%1").arg(index);
        };
    }

    TTempIni Ini{DefinitionsText()};
    TnvParDefSet Set;
    QStringList Events;
};

TEST_F(ParDefSetTest, ListsAreHandledFromTheLastElementRangesAscending) {
    EXPECT_TRUE(Set.AddParDefFromIdxList("3,1/2"));
    EXPECT_EQ(Events, QStringList({"+1", "+2", "+3"}));
    EXPECT_TRUE(Set.AddParDefFromIdxList("7, 5 / 6 "));
    EXPECT_EQ(Events.mid(3), QStringList({"+5", "+6", "+7"}));
}

TEST_F(ParDefSetTest, AnEmptyListIsFalseAndAReversedRangeAddsNothing) {
    EXPECT_FALSE(Set.AddParDefFromIdxList(""));
    EXPECT_TRUE(Set.AddParDefFromIdxList("5/2"));
    EXPECT_TRUE(Events.isEmpty());
    EXPECT_EQ(Set.GetCountParDef(), 0);
}

TEST_F(ParDefSetTest, AnEmptyElementFailsTheListButTheOthersAreAdded) {
    EXPECT_FALSE(Set.AddParDefFromIdxList("1,,2"));
    EXPECT_FALSE(Set.AddParDefFromIdxList("4,"));
    EXPECT_EQ(Events, QStringList({"+2", "+1", "+4"}));
}

TEST_F(ParDefSetTest, ABadTokenRaisesAfterTheLaterElementsWereAdded) {
    EXPECT_EQ(ErrorOf([&] { Set.AddParDefFromIdxList("1,x,3/4"); }),
              "'x' is not a valid integer value");
    EXPECT_EQ(Events, QStringList({"+3", "+4"}));
    EXPECT_EQ(ErrorOf([&] { Set.AddParDefFromIdxList("1/2/3"); }),
              "'1/2' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { Set.AddParDefFromIdxList("1/100000"); }),
              "'1/100000' is not a valid index range");
    EXPECT_EQ(Set.GetCountParDef(), 2);
}

TEST_F(ParDefSetTest, AMissingIndexFiresTheErrorEventAndFailsTheList) {
    EXPECT_FALSE(Set.AddParDefFromIdxList("8/11"));
    EXPECT_EQ(Events, QStringList({"+8", "+9", "!10", "!11"}));
    EXPECT_EQ(Set.AddParDef(12), nullptr);
    EXPECT_EQ(Events.last(), "!12");
}

TEST_F(ParDefSetTest, GetParDefinitionLoadsOnceAndAddingAgainIsSilent) {
    const TnvParDef* first = Set.GetParDefinition(2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Name, "N2");
    EXPECT_EQ(Set.AddParDef(2), first);
    EXPECT_EQ(Set.GetParDefinition(2), first);
    EXPECT_TRUE(Set.AddParDefFromIdxList("2"));
    EXPECT_EQ(Events, QStringList({"+2"}));
}

TEST_F(ParDefSetTest, CategoriesAreFoundWithoutRegardToCase) {
    EXPECT_EQ(Set.GetCategoryIdxList("RAM"), "1/3");
    EXPECT_EQ(Set.GetCategoryIdxList("Mixed"), "3,1/2");
    EXPECT_EQ(Set.GetCategoryIdxList("Flash"), "");
    EXPECT_TRUE(Set.AddParDefCategory("ram"));
    EXPECT_FALSE(Set.AddParDefCategory("Flash"));
    EXPECT_FALSE(Set.AddParDefCategory("Empty"));
    EXPECT_EQ(Events, QStringList({"+1", "+2", "+3"}));
}

TEST_F(ParDefSetTest, FindByNameIsCaseSensitiveAndTakesTheFirst) {
    Set.AddParDefFromIdxList("9,1");
    ASSERT_NE(Set.Find(QString("N1")), nullptr);
    EXPECT_EQ(Set.Find(QString("N1"))->ParIndex, 1u) << "1 was added before 9";
    EXPECT_EQ(Set.Find(QString("n1")), nullptr);
    EXPECT_EQ(Set.Find(9u)->ParIndex, 9u);
    EXPECT_EQ(Set.Find(4u), nullptr);
}

TEST_F(ParDefSetTest, DeleteFiresBeforeDestroying) {
    Set.AddParDefFromIdxList("1/2");
    Set.OnDeleteParDef = [this](TnvParDefSet*, const TnvParDef* def) {
        Events << QString("-%1 %2").arg(def->ParIndex).arg(def->Name);
    };
    EXPECT_TRUE(Set.DeleteParDef(1));
    EXPECT_FALSE(Set.DeleteParDef(1));
    EXPECT_EQ(Events.last(), "-1 N1");
    EXPECT_EQ(Set.GetCountParDef(), 1);
    EXPECT_EQ(Set.GetParDefAt(0)->ParIndex, 2u);
}

TEST(ParDefSetFile, BothLoadFromFileFormsBuildTheSameFullName) {
    TTempIni ini(DefinitionsText());
    TnvParDefSet plain;
    TnvParDefSet slashed;
    TnvParDefSet whole;
    EXPECT_TRUE(plain.LoadFromFile(ini.Folder(), "defs.ini"));
    EXPECT_TRUE(slashed.LoadFromFile(ini.Folder() + "/", "defs.ini"));
    EXPECT_TRUE(whole.LoadFromFile(ini.Path()));
    EXPECT_EQ(plain.GetFullName(), ini.Path());
    EXPECT_EQ(slashed.GetFullName(), ini.Path());
    EXPECT_EQ(whole.GetFullName(), ini.Path());
    EXPECT_EQ(whole.GetParFilePath(), ini.Folder() + "/");
    EXPECT_EQ(whole.GetParFileName(), "defs.ini");
}

TEST(ParDefSetFile, AMissingFileFailsEveryLoad) {
    TTempIni ini(DefinitionsText());
    TnvParDefSet set;
    ASSERT_TRUE(set.LoadFromFile(ini.Path()));
    std::vector<std::uint32_t> errors;
    set.OnErrParDef = [&](TnvParDefSet*, std::uint32_t index) {
        errors.push_back(index);
    };

    EXPECT_FALSE(set.LoadFromFile(ini.Folder(), "missing.ini"));
    EXPECT_EQ(set.GetCategoryIdxList("Ram"), "1/3") << "the table stays as it was";
    EXPECT_EQ(set.TestForSource(), nullptr);
    EXPECT_FALSE(set.AddParDefCategory("Ram"));
    EXPECT_EQ(set.AddParDef(7), nullptr);
    EXPECT_EQ(errors, (std::vector<std::uint32_t>{1, 2, 3, 7}));
}

} // namespace
