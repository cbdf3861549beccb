#include "TnvSimRegisterStore.h"
#include "SimTestData.h"
#include "TnvError.h"
#include "TnvIniFile.h"
#include "TnvSimDefinitions.h"

#include <gtest/gtest.h>

namespace {

TnvSimParameter Par(uint32_t index, uint16_t address, uint16_t count = 1) {
    TnvSimParameter par;
    par.Index = index;
    par.RegAddr = address;
    par.RegCount = count;
    par.Readonly = false;
    return par;
}

TEST(SimDefinitionsTest, ProjectFileGivesRegistersStoredCopiesAndScales) {
    TnvSimRegisterStore store(TnvSimDefinitions::Load(DefinitionsFile()));
    EXPECT_EQ(store.Find(10000), nullptr) << "local parameters never go on the wire";
    ASSERT_NE(store.Find(4), nullptr);
    EXPECT_EQ(store.Find(4)->StoredIndex, 31u);
    EXPECT_EQ(store.Find(0)->StoredIndex, 30u);
    EXPECT_EQ(store.Find(27)->StoredIndex, 47u);
    EXPECT_TRUE(store.Find(31)->IsStoredCopy);
    EXPECT_FALSE(store.Find(1)->StoredIndex.has_value());
    EXPECT_FALSE(store.Find(1)->IsStoredCopy);
    EXPECT_TRUE(store.Find(22)->Readonly);
    EXPECT_DOUBLE_EQ(store.Find(5)->FormatNorm, 0.1);
    EXPECT_FALSE(store.Find(24)->Unsigned);
    EXPECT_EQ(store.WorkingOf(43)->Index, 16u);
    EXPECT_EQ(store.StartingAt(0x0300)->Index, 1000u);
}

TEST(SimDefinitionsTest, MissingFileIsReportedWithItsName) {
    try {
        TnvSimDefinitions::Load("/nonexistent/defs.ini");
        FAIL();
    } catch (const TnvError& error) {
        EXPECT_TRUE(error.Message().contains("/nonexistent/defs.ini"));
    }
}

// Lists the simulator does not use are checked too: the file is the
// terminal's, and a file the terminal refuses is refused here.
TEST(SimDefinitionsTest, AMalformedCategoryListRefusesTheFile) {
    const struct {
        const char* List;
        const char* Error;
    } rows[] = {
        {"Ram=0/19;21/27,29", "category Ram: '0/19;21' is not a valid integer value"},
        {"Scope=1000/70000", "category Scope: '1000/70000' is not a valid index range"},
        {"Local=1/2/3", "category Local: '1/2' is not a valid integer value"},
    };
    for (const auto& row : rows) {
        const TnvIniFile ini = TnvIniFile::FromText(
            QStringLiteral("[Categories]\n%1\n[Par-1]\nRegAddr=1\n").arg(row.List));
        try {
            TnvSimDefinitions::FromIni(ini);
            ADD_FAILURE() << row.List;
        } catch (const TnvError& error) {
            EXPECT_TRUE(error.Message().endsWith(row.Error)) << error.Message().toStdString();
        }
    }
}

TEST(SimDefinitionsTest, IndexListsTakeRangesAndSingles) {
    EXPECT_EQ(TnvSimDefinitions::ParseIndexList("1/3,7,9/10"),
              (std::vector<uint32_t>{1, 2, 3, 7, 9, 10}));
    EXPECT_TRUE(TnvSimDefinitions::ParseIndexList("").empty());
    EXPECT_THROW(TnvSimDefinitions::ParseIndexList("1/x"), TnvConvertError);
}

TEST(SimRegisterStoreTest, PartialOverlapIsRefused) {
    EXPECT_THROW(TnvSimRegisterStore({Par(1, 0x10, 2), Par(2, 0x11)}), TnvError);
    EXPECT_THROW(TnvSimRegisterStore({Par(1, 0x10, 2), Par(2, 0x10, 1)}), TnvError);
    EXPECT_NO_THROW(TnvSimRegisterStore({Par(1, 0x10, 2), Par(2, 0x10, 2)}));
}

TEST(SimRegisterStoreTest, AliasIsWritableOnlyWhenEveryOwnerIs) {
    TnvSimParameter readOnly = Par(2, 0x10);
    readOnly.Readonly = true;
    TnvSimRegisterStore store({Par(1, 0x10), readOnly, Par(3, 0x11)});
    EXPECT_FALSE(store.IsWritable(0x10));
    EXPECT_TRUE(store.IsWritable(0x11));
    EXPECT_FALSE(store.IsWritable(0x12));
}

TEST(SimRegisterStoreTest, PhysicalValuesRoundAndClampToTheRawRange) {
    TnvSimParameter tenth = Par(1, 0);
    tenth.FormatNorm = 0.1;
    tenth.Unsigned = false;
    TnvSimParameter wide = Par(2, 1, 2);
    wide.Type = 4;
    TnvSimRegisterStore store({tenth, wide, Par(3, 3)});
    store.SetPhysical(1, -12.34);
    EXPECT_EQ(store.Word(1), static_cast<uint16_t>(-123));
    EXPECT_DOUBLE_EQ(store.Physical(1), -12.3);
    store.SetPhysical(1, 1e6);
    EXPECT_EQ(store.Word(1), 0x7FFF);
    store.SetPhysical(2, 70000);
    EXPECT_EQ(store.Words(2), (std::vector<uint16_t>{0x0001, 0x1170}));
    store.SetPhysical(3, -5);
    EXPECT_EQ(store.Word(3), 0);
}

TEST(SimRegisterStoreTest, UndefinedIndicesReadZeroAndIgnoreWrites) {
    TnvSimRegisterStore store({Par(1, 0)});
    store.SetPhysical(99, 5.0);
    store.SetWord(99, 5);
    EXPECT_EQ(store.Word(99), 0);
    EXPECT_DOUBLE_EQ(store.Physical(99), 0.0);
    EXPECT_EQ(store.ParametersIn(0, 100), (std::vector<uint32_t>{1}));
}

} // namespace
