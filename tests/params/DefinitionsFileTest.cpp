#include "ParamsTestSupport.h"
#include "TestPaths.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <map>
#include <set>
#include <tuple>

namespace {

const char* const kCategories[] = {"Ram", "EEProm", "Flash", "Scope", "Local", "ExportFile"};

// The whole shipped definitions file, loaded as the terminal loads it.
class DefinitionsFile : public ::testing::Test {
protected:
    void SetUp() override {
        Defs.OnErrParDef = [this](TnvParDefSet*, std::uint32_t index) {
            Errors.insert(index);
        };
        ASSERT_TRUE(Defs.LoadFromFile(kxtest::SourcePath("data"), "VF_Parameters_v207.ini"));
        for (const char* category : kCategories)
            EXPECT_TRUE(Defs.AddParDefCategory(category)) << category;
    }

    const TnvParDef& Def(std::uint32_t index) {
        const TnvParDef* def = Defs.Find(index);
        EXPECT_NE(def, nullptr) << index;
        static const TnvParDef missing;
        return def ? *def : missing;
    }

    TnvParDefSet Defs;
    std::set<std::uint32_t> Errors;
};

// The indices the application relies on, read flag by flag or as words
// (limits, markers, scales of the scope).
TEST_F(DefinitionsFile, EveryIndexOfTheApplicationReadsAsAWord) {
    std::vector<std::uint32_t> indices{29, 30, 43, 44, 49, 1000, 1001, 1002, 1003, 10000};
    for (std::uint32_t index = 0; index <= 27; ++index)
        indices.push_back(index);
    for (std::uint32_t index : indices) {
        const bool flags = (index >= 1 && index <= 3) || index == 18 || index == 26 || index == 27;
        EXPECT_EQ(Def(index).Type, flags ? TnvParDef::tpBits : TnvParDef::tpInt16) << index;
        EXPECT_EQ(Def(index).GetSize(), 2) << index;
    }
    // Every category loads without an error.
    EXPECT_TRUE(Errors.empty());
    TnvParValueSet values;
    for (const char* category : kCategories)
        EXPECT_TRUE(values.AddParBindsCategory(&Defs, category)) << category;
    EXPECT_EQ(values.GetCountParBind(), Defs.GetCountParDef());
}

// 0, 4 to 19 and 27 are working copies of the stored values 30 to 47, which
// name themselves; every other value lives in RAM only. Registers do not
// overlap and match the buffers.
TEST_F(DefinitionsFile, WorkingCopiesNameTheirStoredCopiesAndRegistersDoNotOverlap) {
    std::map<unsigned, std::uint32_t> owner;
    for (int k = 0; k < Defs.GetCountParDef(); ++k) {
        const TnvParDef& def = *Defs.GetParDefAt(k);
        const std::uint32_t i = def.ParIndex;
        const unsigned copy = i == 0 ? 30 : i == 27 ? 47 : i >= 4 && i <= 19 ? i + 27 : 0;
        EXPECT_EQ(def.RegProg, copy ? copy : i >= 30 && i <= 47 ? i : def.RegAddr) << i;
        EXPECT_TRUE(!copy ||
                    (Def(copy).Type == def.Type && Def(copy).FormatString == def.FormatString))
            << i;
        EXPECT_TRUE(i < 30 || i > 47 || def.RegProg != def.RegAddr) << i;
        EXPECT_EQ(def.RegQtty * 2, i == 10000 ? 0 : def.GetSize()) << i;
        for (unsigned reg = def.RegAddr; reg < unsigned{def.RegAddr} + def.RegQtty; ++reg)
            EXPECT_TRUE(owner.emplace(reg, i).second) << i << " overlaps " << owner[reg];
    }
}

TEST_F(DefinitionsFile, ValuesShowInTheirUnits) {
    const std::tuple<std::uint32_t, std::uint16_t, const char*> rows[] = {
        {24, 0xFE0C, "-050.0Hz"}, {23, 123, "012.3A"},     {22, 565, "565V"},
        {21, 250, "0.250"},       {1002, 1280, "128.0Hz"}, {49, 0x0110, "272"},
    };
    for (const auto& [index, raw, text] : rows) {
        const Bytes buffer{std::uint8_t(raw >> 8), std::uint8_t(raw)};
        EXPECT_EQ(Def(index).GetValueNumText(buffer, 0), text) << index;
    }
    EXPECT_EQ(Def(2).GetValueText(Bytes{0, 1}, 0, 0) + Def(2).GetValueText(Bytes{0, 1}, 0, 1),
              "FaultOk");
}

} // namespace
