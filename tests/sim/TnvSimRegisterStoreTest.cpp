#include "TnvSimRegisterStore.h"
#include "TestErrors.h"
#include "TnvIniFile.h"
#include "TnvSimDefinitions.h"

#include <gtest/gtest.h>

namespace {

TnvSimParameter Par(uint32_t index, uint16_t address, uint16_t count = 1, bool readOnly = false) {
    TnvSimParameter par;
    par.Index = index;
    par.RegAddr = address;
    par.RegCount = count;
    par.Readonly = readOnly;
    return par;
}

// A list the simulator does not use is checked too: the file is the
// terminal's, and a file the terminal refuses is refused here.
TEST(SimDefinitionsTest, AMalformedCategoryListRefusesTheFile) {
    const TnvIniFile ini =
        TnvIniFile::FromText("[Categories]\nScope=1000/70000\n[Par-1]\nRegAddr=1\n");
    const QString error = kxtest::ErrorOf([&] { TnvSimDefinitions::FromIni(ini); });
    EXPECT_TRUE(error.endsWith("category Scope: '1000/70000' is not a valid index range"))
        << error.toStdString();
}

TEST(SimRegisterStoreTest, OverlapsAndAliases) {
    EXPECT_THROW(TnvSimRegisterStore({Par(1, 0x10, 2), Par(2, 0x11)}), TnvError);
    EXPECT_THROW(TnvSimRegisterStore({Par(1, 0x10, 2), Par(2, 0x10, 1)}), TnvError);
    EXPECT_NO_THROW(TnvSimRegisterStore({Par(1, 0x10, 2), Par(2, 0x10, 2)}));
    // An alias is writable only when every owner is.
    TnvSimRegisterStore store({Par(1, 0x10), Par(2, 0x10, 1, true), Par(3, 0x11)});
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
    // Undefined indices read zero and ignore writes.
    store.SetWord(99, 5);
    EXPECT_EQ(store.Word(99), 0);
    EXPECT_EQ(store.ParametersIn(0, 100), (std::vector<uint32_t>{1, 2, 3}));
}

} // namespace
