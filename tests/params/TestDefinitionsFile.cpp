#include "ParamsTestSupport.h"
#include "TestPaths.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <map>
#include <set>

namespace {

const char* const kCategories[] = {"Ram", "EEProm", "Flash", "Scope", "Local", "ExportFile"};

// The indices the application relies on, each read as a 16-bit word.
std::vector<std::uint32_t> ApplicationIndices() {
    std::vector<std::uint32_t> indices;
    for (std::uint32_t index = 0; index <= 27; ++index)
        indices.push_back(index);
    for (std::uint32_t index : {29u, 30u, 43u, 44u, 49u, 1000u, 1001u, 1002u, 1003u, 10000u})
        indices.push_back(index);
    return indices;
}

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

TEST_F(DefinitionsFile, EveryCategoryLoadsWithoutAnError) {
    EXPECT_TRUE(Errors.empty());
    TnvParValueSet values;
    for (const char* category : kCategories)
        EXPECT_TRUE(values.AddParBindsCategory(&Defs, category)) << category;
    EXPECT_EQ(values.GetCountParBind(), Defs.GetCountParDef());
}

TEST_F(DefinitionsFile, EveryIndexOfTheApplicationReadsAsAWord) {
    for (std::uint32_t index : ApplicationIndices()) {
        const TnvParDef& def = Def(index);
        EXPECT_TRUE(def.Type == TnvParDef::tpBits || def.Type == TnvParDef::tpInt16) << index;
        EXPECT_EQ(def.Length, 1) << index;
        EXPECT_EQ(def.GetSize(), 2) << index;
    }
    // Read flag by flag, or written so.
    for (std::uint32_t index : {1u, 2u, 3u, 18u, 26u, 27u})
        EXPECT_EQ(Def(index).Type, TnvParDef::tpBits) << index;
    // Read as scaled numbers (limits, markers, scales of the scope).
    for (std::uint32_t index :
         {4u, 5u, 6u, 10u, 13u, 14u, 15u, 20u, 21u, 1000u, 1001u, 1002u, 1003u})
        EXPECT_EQ(Def(index).Type, TnvParDef::tpInt16) << index;
}

TEST_F(DefinitionsFile, SettingsAreWritableAndLiveValuesReadOnly) {
    std::set<std::uint32_t> writable{0, 27, 29, 10000};
    for (std::uint32_t index = 4; index <= 19; ++index)
        writable.insert(index);
    for (std::uint32_t index = 30; index <= 47; ++index)
        writable.insert(index);
    for (int k = 0; k < Defs.GetCountParDef(); ++k) {
        const TnvParDef* def = Defs.GetParDefAt(k);
        EXPECT_EQ(def->Readonly, writable.count(def->ParIndex) == 0) << def->ParIndex;
    }
}

TEST_F(DefinitionsFile, WorkingCopiesNameTheirStoredCopies) {
    std::map<std::uint32_t, std::uint32_t> stored{{0, 30}, {27, 47}};
    for (std::uint32_t index = 4; index <= 19; ++index)
        stored[index] = index + 27;
    for (int k = 0; k < Defs.GetCountParDef(); ++k) {
        const TnvParDef* def = Defs.GetParDefAt(k);
        const auto it = stored.find(def->ParIndex);
        if (it != stored.end()) {
            EXPECT_EQ(def->RegProg, it->second) << def->ParIndex;
            EXPECT_NE(def->RegProg, def->RegAddr) << def->ParIndex;
            const TnvParDef& copy = Def(it->second);
            EXPECT_EQ(copy.Type, def->Type) << def->ParIndex;
            EXPECT_EQ(copy.FormatString, def->FormatString) << def->ParIndex;
        } else if (def->ParIndex >= 30 && def->ParIndex <= 47) {
            EXPECT_EQ(def->RegProg, def->ParIndex) << "a stored copy names itself";
            EXPECT_NE(def->RegProg, def->RegAddr) << def->ParIndex;
        } else {
            EXPECT_EQ(def->RegProg, def->RegAddr) << "RAM only: " << def->ParIndex;
        }
    }
}

TEST_F(DefinitionsFile, RegistersDoNotOverlapAndMatchTheBuffers) {
    std::map<unsigned, std::uint32_t> owner;
    for (int k = 0; k < Defs.GetCountParDef(); ++k) {
        const TnvParDef* def = Defs.GetParDefAt(k);
        if (def->ParIndex == 10000) {
            EXPECT_EQ(def->RegQtty, 0) << "local only";
            continue;
        }
        EXPECT_EQ(def->RegQtty * 2, def->GetSize()) << def->ParIndex;
        for (unsigned reg = def->RegAddr; reg < unsigned{def->RegAddr} + def->RegQtty; ++reg) {
            const auto [it, inserted] = owner.emplace(reg, def->ParIndex);
            EXPECT_TRUE(inserted) << def->ParIndex << " overlaps " << it->second;
        }
    }
}

TEST_F(DefinitionsFile, TheExportCategoryCarriesTheDriveSize) {
    TnvParValueSet values;
    ASSERT_TRUE(values.AddParBindsCategory(&Defs, "ExportFile"));
    ASSERT_NE(values.FindValue(49), nullptr);
    for (std::uint32_t index : {0u, 30u, 29u, 27u})
        EXPECT_EQ(values.FindValue(index), nullptr) << index;
}

TEST_F(DefinitionsFile, ValuesShowInTheirUnits) {
    TnvParValueSet values;
    for (const char* category : kCategories)
        values.AddParBindsCategory(&Defs, category);
    struct Case {
        std::uint32_t index;
        std::uint16_t raw;
        const char* text;
        double scaled;
    };
    const Case cases[] = {
        {15, 500, "050.0", 50.0},     {24, 500, "050.0Hz", 50.0}, {24, 0xFE0C, "-050.0Hz", -50.0},
        {23, 123, "012.3A", 12.3},    {5, 160, "016.0", 16.0},    {22, 565, "565V", 565.0},
        {16, 3000, "300.0", 300.0},   {21, 250, "0.250", 0.25},   {19, 2, "2", 2.0},
        {1002, 1280, "128.0Hz", 128}, {49, 0x0110, "272", 272.0},
    };
    for (const Case& c : cases) {
        TnvParValue* value = values.FindValue(c.index);
        ASSERT_NE(value, nullptr) << c.index;
        value->SetValueUShort(0, c.raw);
        EXPECT_EQ(value->GetValueNumText(0), c.text) << c.index;
        EXPECT_NEAR(value->GetValueDouble(0), c.scaled, 1e-9) << c.index;
    }
    TnvParValue* faults = values.FindValue(2);
    faults->SetValueUShort(0, 0x0001);
    EXPECT_EQ(faults->GetValueText(0, 0), "Fault");
    EXPECT_EQ(faults->GetValueText(0, 1), "Ok");
}

TEST_F(DefinitionsFile, EditMasksTakeRawDigitsOnly) {
    for (int k = 0; k < Defs.GetCountParDef(); ++k) {
        const TnvParDef* def = Defs.GetParDefAt(k);
        if (def->Readonly)
            continue;
        EXPECT_FALSE(def->FormatMask.isEmpty()) << def->ParIndex;
        for (QChar c : def->FormatMask)
            EXPECT_EQ(c, QChar('0')) << def->ParIndex;
    }
}

} // namespace
