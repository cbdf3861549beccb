#include "ParamsTestSupport.h"
#include "TnvIniFile.h"
#include "TnvParDefSet.h"

namespace {

// Parameters 1 to 9 and a category table.
QString DefinitionsText() {
    QString text = "[Categories]\nRam=1/3\nmixed=3,1/2\nEmpty=\n";
    for (int index = 1; index <= 9; ++index)
        text += QString("[Par-%1]\nName=N%2\nType=3\n").arg(index).arg(index == 9 ? 1 : index);
    return text;
}

// A loaded set that records its events as "+index", "-index" and "!index".
class ParDefSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Set.LoadFromFile(
            kxtest::WriteFile(Dir.filePath("defs.ini"), DefinitionsText().toUtf8())));
        Set.OnAddParDef = [this](TnvParDefSet*, const TnvParDef* def) {
            Events << QString("+%1").arg(def->ParIndex);
        };
        Set.OnDeleteParDef = [this](TnvParDefSet*, const TnvParDef* def) {
            Events << QString("-%1 %2").arg(def->ParIndex).arg(def->Name);
        };
        Set.OnErrParDef = [this](TnvParDefSet*, std::uint32_t index) {
            Events << QString("!%1").arg(index);
        };
    }

    QTemporaryDir Dir;
    TnvParDefSet Set;
    QStringList Events;
};

// Elements are handled from the last to the first, ranges ascending; a bad
// token raises after the later elements were added.
TEST_F(ParDefSetTest, IndexLists) {
    const std::tuple<const char*, bool, const char*, const char*> rows[] = {
        // clang-format off
        {"3,1/2", true, "", "+1 +2 +3"}, {"7, 5 / 6 ", true, "", "+5 +6 +7"},
        {"", false, "", ""}, {"5/2", true, "", ""}, {"1,,2", false, "", "+2 +1"},
        {"8/11", false, "", "+8 +9 !10 !11"},
        // clang-format on
        {"1,x,3/4", false, "'x' is not a valid integer value", "+3 +4"},
        {"1/2/3", false, "'1/2' is not a valid integer value", ""},
        {"1/100000", false, "'1/100000' is not a valid index range", ""},
    };
    for (const auto& [list, succeeds, error, events] : rows) {
        SCOPED_TRACE(list);
        for (std::uint32_t index = 1; index <= 9; ++index)
            Set.DeleteParDef(index);
        Events.clear();
        bool result = false;
        EXPECT_EQ(ErrorOf([&] { result = Set.AddParDefFromIdxList(list); }), error);
        EXPECT_EQ(result, succeeds);
        EXPECT_EQ(Events.join(' '), events);
    }
}

TEST_F(ParDefSetTest, DefinitionsLoadOnceAndCategoriesIgnoreCase) {
    const TnvParDef* first = Set.GetParDefinition(2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Set.AddParDef(2), first);
    EXPECT_EQ(Set.GetCategoryIdxList("Mixed"), "3,1/2");
    EXPECT_TRUE(Set.AddParDefCategory("ram"));
    EXPECT_FALSE(Set.AddParDefCategory("Flash"));
    EXPECT_FALSE(Set.AddParDefCategory("Empty"));
    EXPECT_EQ(Set.AddParDef(12), nullptr);
    EXPECT_EQ(Events, QStringList({"+2", "+1", "+3", "!12"}));
}

TEST_F(ParDefSetTest, FindByNameTakesTheFirstAddedAndDeleteFiresBeforeDestroying) {
    Set.AddParDefFromIdxList("9,1");
    EXPECT_EQ(Set.Find(QString("N1"))->ParIndex, 1u) << "1 was added before 9";
    EXPECT_EQ(Set.Find(QString("n1")), nullptr);
    EXPECT_TRUE(Set.DeleteParDef(1));
    EXPECT_FALSE(Set.DeleteParDef(1));
    EXPECT_EQ(Events.last(), "-1 N1");
    EXPECT_EQ(Set.GetParDefAt(0)->ParIndex, 9u);
}

TEST(ParDefSetFile, AMissingFileFailsEveryLoadAndKeepsTheCategories) {
    QTemporaryDir dir;
    const QString path = kxtest::WriteFile(dir.filePath("defs.ini"), DefinitionsText().toUtf8());
    TnvParDefSet set;
    ASSERT_TRUE(set.LoadFromFile(path));
    std::vector<std::uint32_t> errors;
    set.OnErrParDef = [&](TnvParDefSet*, std::uint32_t index) {
        errors.push_back(index);
    };
    EXPECT_FALSE(set.LoadFromFile(dir.path(), "missing.ini"));
    EXPECT_EQ(set.GetCategoryIdxList("Ram"), "1/3") << "the table stays as it was";
    EXPECT_EQ(set.TestForSource(), nullptr);
    EXPECT_FALSE(set.AddParDefCategory("Ram"));
    EXPECT_EQ(set.AddParDef(7), nullptr);
    EXPECT_EQ(errors, (std::vector<std::uint32_t>{1, 2, 3, 7}));
}

} // namespace
