#include "ParamsTestSupport.h"
#include "TnvParDef.h"

#include <QMap>
#include <cmath>

namespace {

// Loads parameter 12 from a file holding text.
TnvParDef Load(const QString& text, std::uint32_t index = 12) {
    TTempIni ini(text);
    TnvParDef def;
    def.LoadFromIni(ini.Path(), index);
    return def;
}

// The loaded value of a numeric or boolean key.
double Field(const TnvParDef& def, const QString& key) {
    const QMap<QString, double> fields{{"RegAddr", def.RegAddr},
                                       {"Unsigned", def.Unsigned},
                                       {"Readonly", def.Readonly},
                                       {"FormatNorm", def.FormatNorm},
                                       {"FormatOffset", def.FormatOffset}};
    return fields.value(key, std::nan("")); // an unknown key fails the comparison
}

// Integers take decimal and hex and fall back to their default; booleans are
// integers with default true; reals scan a prefix with a full stop.
TEST(ParDefLoad, ValueSyntax) {
    const std::pair<QString, double> cases[] = {
        {"RegAddr=256", 256},      {"RegAddr=0x0100", 256},
        {"RegAddr=0X10", 16},      {"RegAddr=$100", 256},
        {"RegAddr=abc", 0},        {"RegAddr=", 0},
        {"RegAddr=12abc", 0},      {"RegAddr=70000", 70000 & 0xFFFF},
        {"Unsigned=0", 0},         {"Readonly=0", 0},
        {"Unsigned=1", 1},         {"Readonly=-3", 1},
        {"Unsigned=yes", 1},       {"Readonly=", 1},
        {"Unsigned=", 1},          {"Readonly=yes", 1},
        {"FormatNorm=0.1", 0.1},   {"FormatNorm=0,1", 0.0},
        {"FormatNorm=", 1.0},      {"FormatNorm=  2.5e-1", 0.25},
        {"FormatNorm=-1.5", -1.5}, {"FormatNorm=+3", 3.0},
        {"FormatNorm=4V", 4.0},    {"FormatNorm=abc", 1.0},
        {"FormatOffset=", 0.0},    {"FormatOffset=-40.5", -40.5},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line.toStdString());
        const TnvParDef def = Load("[Par-12]\nType=3\n" + line + "\n");
        EXPECT_DOUBLE_EQ(Field(def, line.section('=', 0, 0)), expected);
    }
}

TEST(ParDefLoad, AbsentKeysTakeTheirDefaults) {
    const TnvParDef def = Load("[Par-12]\nType=3\n");
    EXPECT_TRUE(def.Valid);
    EXPECT_EQ(def.ParIndex, 12u);
    EXPECT_EQ(def.Name, "Par-12");
    EXPECT_EQ(def.Descr, "Par-12");
    EXPECT_EQ(def.RegAddr, 0);
    EXPECT_EQ(def.RegQtty, 0);
    EXPECT_EQ(def.RegProg, 0);
    EXPECT_EQ(def.Length, 1);
    EXPECT_TRUE(def.Unsigned);
    EXPECT_TRUE(def.Readonly);
    EXPECT_EQ(def.FormatNorm, 1.0);
    EXPECT_EQ(def.FormatOffset, 0.0);
    EXPECT_EQ(def.FormatString, "");
    EXPECT_EQ(def.FormatMask, "");
}

TEST(ParDefLoad, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed) {
    const TnvParDef def = Load("; comment\n[par-12]\n  name =  Speed  \nTYPE=3\n");
    EXPECT_EQ(def.Name, "Speed");
    EXPECT_EQ(def.Type, 3);
}

TEST(ParDefLoad, DatesAndTimesForceThreeElements) {
    EXPECT_EQ(Load("[Par-12]\nType=5\nLength=7\n").Length, 3);
    EXPECT_EQ(Load("[Par-12]\nType=6\nLength=7\n").Length, 3);
    EXPECT_EQ(Load("[Par-12]\nType=7\nLength=7\n").Length, 7);
    EXPECT_EQ(Load("[Par-12]\nType=0x105\n").Type, 5) << "truncated to 8 bits";
}

TEST(ParDefLoad, UseFormatReadsOnlyFromAPresentFormatSection) {
    const QString own = "[Par-12]\nType=3\nFormatNorm=0.5\nFormatString=0.00\nFormatMask=99\n";

    const TnvParDef full = Load(own + "UseFormat=Freq\n[Freq]\nFormatNorm=0.1\n"
                                      "FormatOffset=2\nFormatString=000.0\nFormatMask=0000\n");
    EXPECT_DOUBLE_EQ(full.FormatNorm, 0.1);
    EXPECT_DOUBLE_EQ(full.FormatOffset, 2.0);
    EXPECT_EQ(full.FormatString, "000.0");
    EXPECT_EQ(full.FormatMask, "0000");

    // Keys the format section lacks take their defaults, not the own keys.
    const TnvParDef partial = Load(own + "UseFormat=freq\n[FREQ]\nFormatNorm=0.1\n");
    EXPECT_DOUBLE_EQ(partial.FormatNorm, 0.1);
    EXPECT_EQ(partial.FormatString, "");
    EXPECT_EQ(partial.FormatMask, "");

    for (const char* absent : {"UseFormat=Nowhere\n", "UseFormat=Empty\n[Empty]\n"}) {
        const TnvParDef def = Load(own + absent);
        EXPECT_DOUBLE_EQ(def.FormatNorm, 0.5) << absent;
        EXPECT_EQ(def.FormatString, "0.00") << absent;
        EXPECT_EQ(def.FormatMask, "99") << absent;
    }
}

TEST(ParDefLoad, AMissingOrEmptySectionLeavesTheDefinitionInvalid) {
    for (const char* text : {"[Par-13]\nType=3\n", "[Par-12]\n[Par-13]\nType=3\n"}) {
        TTempIni ini(text);
        TnvParDef def;
        EXPECT_FALSE(def.LoadFromIni(ini.Path(), 12)) << text;
        EXPECT_FALSE(def.Valid);
        EXPECT_EQ(def.ParIndex, 0u);
        EXPECT_TRUE(def.Readonly);
    }
}

TEST(ParDefLoad, AMissingFileLeavesTheDefinitionClearedAndInvalid) {
    TTempIni ini("[Par-12]\nType=3\n");
    TnvParDef def;
    ASSERT_TRUE(def.LoadFromIni(ini.Path(), 12));
    EXPECT_FALSE(def.LoadFromIni(ini.Folder() + "/missing.ini", 12));
    EXPECT_FALSE(def.Valid);
    EXPECT_EQ(def.Type, 0);
}

TEST(ParDefLoad, ClearKeepsRegQtty) {
    TnvParDef def = Load("[Par-12]\nRegQtty=4\nRegAddr=9\nType=3\n");
    def.Clear();
    EXPECT_EQ(def.RegQtty, 4);
    EXPECT_EQ(def.RegAddr, 0);
    EXPECT_FALSE(def.Valid);
}

} // namespace
