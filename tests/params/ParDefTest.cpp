#include "NvDateTime.h"
#include "ParamsTestSupport.h"
#include "TnvIniFile.h"
#include "TnvParValue.h"

#include <QRegularExpression>
#include <random>

namespace {

using T = TnvParDef;

TnvParDef Load(const QString& text) {
    TnvParDef def;
    def.LoadFromIni(TnvIniFile::FromText(text), 12);
    return def;
}

// Integers take decimal and hex and fall back to their default; booleans are
// integers with default true; reals scan a prefix with a full stop. Absent
// keys take their defaults: a value nobody declared writable is never written.
TEST(ParDefLoad, ValueSyntaxAndDefaults) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "0 1 1 1 0 Par-12"},
        {"RegAddr=$100\nReadonly=0\nUnsigned=0", "256 0 0 1 0 Par-12"},
        {"RegAddr=12abc\nReadonly=yes\nFormatNorm=4V", "0 1 1 4 0 Par-12"},
        {"RegAddr=70000\nReadonly=\nFormatNorm=0,1", "4464 1 1 0 0 Par-12"},
        {"FormatNorm=abc\nFormatOffset=-40.5\n  name =  Speed  ", "0 1 1 1 -40.5 Speed"},
    };
    for (const auto& [keys, expected] : rows) {
        const TnvParDef def = Load(QString("; comment\n[par-12]\nTYPE=3\n") + keys + "\n");
        EXPECT_TRUE(def.Valid);
        EXPECT_EQ(QString::asprintf("%d %d %d %g %g ", int(def.RegAddr), def.Readonly, def.Unsigned,
                                    def.FormatNorm, def.FormatOffset) +
                      def.Name,
                  expected)
            << keys;
    }
}

TEST(ParDefLoad, DatesAndTimesForceThreeElements) {
    EXPECT_EQ(Load("[Par-12]\nType=5\nLength=7\n").GetSize(), 18);
    EXPECT_EQ(Load("[Par-12]\nType=6\nLength=1\n").GetSize(), 18);
    EXPECT_EQ(Load("[Par-12]\nType=7\nLength=7\n").Length, 7);
    EXPECT_EQ(Load("[Par-12]\nType=0x105\n").Type, 5) << "truncated to 8 bits";
}

// Keys the format section lacks take their defaults, not the own keys.
TEST(ParDefLoad, UseFormatReadsOnlyFromAPresentFormatSection) {
    const QString own = "[Par-12]\nType=3\nFormatNorm=0.5\nFormatString=0.00\nFormatMask=99\n";
    const std::pair<const char*, const char*> rows[] = {
        {"UseFormat=Freq\n[Freq]\nFormatNorm=0.1\nFormatString=000.0\nFormatMask=0000\n",
         "0.1 000.0 0000"},
        {"UseFormat=freq\n[FREQ]\nFormatNorm=0.1\n", "0.1  "},
        {"UseFormat=Nowhere\n", "0.5 0.00 99"},
        {"UseFormat=Empty\n[Empty]\n", "0.5 0.00 99"},
    };
    for (const auto& [format, expected] : rows) {
        const TnvParDef def = Load(own + format);
        EXPECT_EQ(QString("%1 %2 %3").arg(def.FormatNorm).arg(def.FormatString, def.FormatMask),
                  expected)
            << format;
    }
}

TEST(ParDefLoad, AMissingSectionOrFileLeavesTheDefinitionInvalidAndReadOnly) {
    QTemporaryDir dir;
    const QString path =
        kxtest::WriteFile(dir.filePath("defs.ini"), "[Par-12]\nType=3\n[Par-13]\n");
    TnvParDef def;
    ASSERT_TRUE(def.LoadFromIni(path, 12));
    const std::pair<QString, std::uint32_t> loads[] = {
        {path, 13}, {path, 14}, {dir.path() + "/missing.ini", 12}};
    for (const auto& [file, index] : loads) {
        EXPECT_FALSE(def.LoadFromIni(file, index)) << index;
        EXPECT_FALSE(def.Valid);
        EXPECT_TRUE(def.Readonly);
        EXPECT_EQ(def.Type, 0);
    }
}

TEST(EncodingIntegers, HighByteFirstWithSignednessAndChangedBytesReported) {
    const TnvParDef def = MakeDef(T::tpInt16, 2);
    Bytes buf{0x12, 0x34, 0xFF, 0xFE};
    EXPECT_EQ(def.GetValueUShort(buf, 0), 4660);
    EXPECT_EQ(def.GetValueShort(buf, 1), -2);
    EXPECT_EQ(def.GetValueUShort(buf, 1), 65534);
    EXPECT_FALSE(def.SetValueShort(buf, -2, 1));
    EXPECT_TRUE(def.SetValueUShort(buf, 0x00FE, 1)) << "only the high byte differs";
    EXPECT_TRUE(def.SetValueShort(buf, -2, 0));
    EXPECT_EQ(buf, (Bytes{0xFF, 0xFE, 0x00, 0xFE}));

    const TnvParDef int8 = MakeDef(T::tpInt8, 2); // the low byte; setters clear the high one
    buf = {0x00, 0x7F, 0x05, 0xFF};
    EXPECT_EQ(int8.GetValueUChar(buf, 1), 255);
    EXPECT_EQ(int8.GetValueChar(buf, 1), -1);
    EXPECT_FALSE(int8.SetValueUChar(buf, 255, 1)) << "only the low byte is compared";
    EXPECT_TRUE(int8.SetValueChar(buf, -2, 0));
    EXPECT_EQ(buf, (Bytes{0x00, 0xFE, 0x00, 0xFF}));

    const TnvParDef int32 = MakeDef(T::tpInt32, 2); // the most significant word first
    buf = {0x00, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(int32.GetValueULong(buf, 0), 65538u);
    EXPECT_EQ(int32.GetValueLong(buf, 1), -2);
    EXPECT_EQ(int32.GetValueULong(buf, 1), 0xFFFFFFFEu);
    EXPECT_TRUE(int32.SetValueLong(buf, 0x01020304, 1));
    EXPECT_EQ(buf, (Bytes{0x00, 0x01, 0x00, 0x02, 0x01, 0x02, 0x03, 0x04}));
    EXPECT_FALSE(int32.SetValueULong(buf, 0x01020304, 1));
    // Scaled by the format, with the signedness and offset.
    TnvParDef scaled = MakeDef(T::tpInt8, 1, false);
    scaled.FormatNorm = 0.5;
    scaled.FormatOffset = -1.0;
    EXPECT_DOUBLE_EQ(scaled.GetValueDouble(Bytes{0, 0xFC}, 0), -3.0);
    EXPECT_DOUBLE_EQ(MakeDef(T::tpInt32).GetValueDouble(Bytes{0, 1, 0, 2}, 0), 65538.0);
}

TEST(EncodingBits, FlagsZeroToSevenSitInTheLowByteAndNumbersWrapAtSixteen) {
    const TnvParDef def = MakeDef(T::tpBits, 2);
    Bytes buf(4, 0);
    EXPECT_TRUE(def.SetValueBit(buf, true, 0, 9));
    EXPECT_FALSE(def.SetValueBit(buf, true, 0, 9));
    EXPECT_TRUE(def.SetValueBit(buf, true, 1, 3));
    EXPECT_EQ(buf, (Bytes{0x02, 0, 0, 0x08}));
    EXPECT_TRUE(def.SetValueBit(buf, false, 0, 25)) << "flag 25 is flag 9";
    EXPECT_EQ(buf, (Bytes{0, 0, 0, 0x08}));
    EXPECT_TRUE(def.GetValueBit(buf, 1, 19));
    EXPECT_FALSE(def.GetValueBit(buf, 1, 2));
}

TEST(EncodingDateTime, DayMonthYearAndSecondMinuteHourInTheLowBytes) {
    const TnvParDef date = MakeDef(T::tpDate, 3);
    Bytes buf(18, 0);
    EXPECT_EQ(ErrorOf([&] { date.GetValueDate(buf, 1, 2000); }), "Invalid argument to date encode");
    int century = 0;
    EXPECT_TRUE(date.SetValueDate(buf, 1, century, nv::EncodeDate(2031, 3, 12)));
    EXPECT_EQ(century, 2000);
    EXPECT_EQ(date.GetValueDate(buf, 1, 2000), nv::EncodeDate(2031, 3, 12));
    EXPECT_TRUE(date.SetValueDate(buf, 1, century, nv::EncodeDate(1999, 3, 12)));
    EXPECT_EQ(century, 1900);

    const TnvParDef time = MakeDef(T::tpTime, 3);
    EXPECT_TRUE(time.SetValueTime(buf, 2, nv::EncodeTime(13, 45, 30, 500)));
    EXPECT_EQ(time.GetValueTime(buf, 2), nv::EncodeTime(13, 45, 30, 0));
    buf[17] = 24;
    EXPECT_EQ(ErrorOf([&] { time.GetValueTime(buf, 2); }), "Invalid argument to time encode");
}

TEST(EncodingString, OneCharacterPerRegisterAndZerosAfterAShortText) {
    const TnvParDef def = MakeDef(T::tpString, 4);
    Bytes buf{0, 'W', 0, 'X', 0, 'Y', 0, 'Z'};
    EXPECT_EQ(def.GetValueString(buf), "WXYZ");
    EXPECT_TRUE(def.SetValueString(buf, " \tAB\r\n"));
    EXPECT_EQ(buf, (Bytes{0, 'A', 0, 'B', 0, 0, 0, 0}));
    EXPECT_FALSE(def.SetValueString(buf, "AB"));
    EXPECT_TRUE(def.SetValueString(buf, "ABCDEFG"));
    EXPECT_EQ(def.GetValueString(buf), "ABCD");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpString, 4).GetValueString(Bytes(6, 0)); }),
              "GetValueString: Element index out of range.");
}

// A typed accessor of each width, by name, with the types it serves: a type of
// the wrong width would read past a buffer sized for the right one.
TEST(EncodingErrors, AWrongTypeOrAnElementBeyondTheBufferIsRefusedAndNothingIsWritten) {
    using D = const TnvParDef&;
    using U = std::uint8_t;
    static const nv::TDateTime kDay = nv::EncodeDate(2020, 1, 1);
    // clang-format off
    const std::tuple<const char*, Bytes, std::function<void(D, Bytes&, U)>> accessors[] = {
        {"SetValueBit", {1}, [](D d, Bytes& b, U i) { d.SetValueBit(b, true, i, 0); }},
        {"SetValueChar", {2}, [](D d, Bytes& b, U i) { d.SetValueChar(b, 1, i); }},
        {"SetValueUShort", {1, 3}, [](D d, Bytes& b, U i) { d.SetValueUShort(b, 1, i); }},
        {"GetValueLong", {4}, [](D d, Bytes& b, U i) { d.GetValueLong(b, i); }},
        {"SetValueLong", {4}, [](D d, Bytes& b, U i) { d.SetValueLong(b, 1, i); }},
        {"GetValueDate", {5}, [](D d, Bytes& b, U i) { d.GetValueDate(b, i, 2000); }},
        {"SetValueDate", {5}, [](D d, Bytes& b, U i) { int c = 0; d.SetValueDate(b, i, c, kDay); }},
        {"SetValueTime", {6}, [](D d, Bytes& b, U i) { d.SetValueTime(b, i, 0.5); }},
    };
    // clang-format on
    for (const auto& [name, types, call] : accessors) {
        SCOPED_TRACE(name);
        for (std::uint8_t type = 0; type <= 8; ++type) {
            Bytes none;
            if (std::ranges::count(types, type) == 0) {
                EXPECT_EQ(ErrorOf([&] { call(MakeDef(type, 3), none, 0); }), "Wrong data type!")
                    << int(type);
            }
        }
        const TnvParDef def = MakeDef(types.back(), 1);
        Bytes buf(static_cast<std::size_t>(def.GetSize()), 0x11);
        const Bytes before = buf;
        for (std::uint8_t element : {1, 255})
            EXPECT_EQ(ErrorOf([&] { call(def, buf, element); }),
                      QString("%1: Element index out of range.").arg(name));
        EXPECT_EQ(buf, before);
    }
}

TEST(ValueText, BitFieldsShowTheTextOfASetOrAClearFlag) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"", "1", "0"},
        {"Run / Stop", "Run /", "Stop"}, // the blank is the last separator
        {"ON", "", "ON"},
        {"a, b/c", "a, b", "c"},
    };
    for (const auto& [format, set, clear] : cases) {
        TnvParDef def = MakeDef(T::tpBits);
        def.FormatString = format;
        EXPECT_EQ(def.GetValueText(Bytes{0x00, 0x01}, 0, 0), set) << format;
        EXPECT_EQ(def.GetValueText(Bytes{0x00, 0x01}, 0, 1), clear) << format;
    }
}

// A parameter section of random keys and values, loaded and then used through
// every accessor with random element and flag numbers: only the documented
// errors may come out.
TEST(ParDefRobustness, MalformedSectionsNeverGiveUndocumentedErrors) {
    static const QRegularExpression documented(
        "^(|Wrong data type!|\\w+: (Bad buffer pointer|Bad format pointer|Element index out of "
        "range)\\.|Invalid argument to (date|time) encode)$");
    const QStringList keys{"RegAddr", "Type",       "Length",       "Unsigned",     "UseFormat",
                           "Name",    "FormatNorm", "FormatOffset", "FormatString", "FormatMask"};
    const QStringList values =
        QString("|0|1|3|5|6|7|255|-1|0xFFFFFFFFFF|1e400|nan|000.0|=|hh:nn:ss|"
                "0;-0;'zero'|ON/OFF|\"")
            .split('|');
    std::mt19937 random(2007);
    const auto below = [&](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int round = 0; round < 1500; ++round) {
        QString text = "[Fmt]\nFormatString=" + values[below(values.size())] + "\n[Par-5]\n";
        for (int n = below(12); n > 0; --n)
            text += keys[below(keys.size())] + "=" + values[below(values.size())] + "\n";
        TnvParDef def;
        ASSERT_NO_THROW(
            def.LoadFromIni(TnvIniFile::FromText(text + "Type=" + QString::number(below(9))), 5));
        if (!def.Valid)
            continue;
        TnvParValue value(nullptr, &def);
        Bytes frame(static_cast<std::size_t>(below(def.GetSize() + 6)));
        for (auto& byte : frame)
            byte = static_cast<std::uint8_t>(below(256));
        value.LoadFromFrame(frame);
        const auto i = static_cast<std::uint8_t>(below(4) == 0 ? below(256) : 0);
        const auto b = static_cast<std::uint8_t>(below(40));
        const std::function<void()> uses[] = {
            [&] { value.GetValueText(i, b); },       [&] { value.GetValueNumText(i); },
            [&] { value.SetValueBit(i, b, true); },  [&] { value.GetValueDate(i, 2000); },
            [&] { value.SetValueDate(i, 45000.5); }, [&] { value.SetValueTime(i, 0.75); },
            [&] { value.SetValueString("abc"); },    [&] { value.SetValueLong(i, -7); },
        };
        for (const auto& use : uses)
            EXPECT_TRUE(documented.match(ErrorOf(use)).hasMatch()) << text.toStdString();
    }
}

} // namespace
