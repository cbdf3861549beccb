#include "NvDateTime.h"
#include "ParamsTestSupport.h"
#include "TnvParDef.h"

namespace {

using T = TnvParDef;

TEST(Encoding16, HighByteFirstWithSignednessAndChangedBytesReported) {
    const TnvParDef def = MakeDef(T::tpInt16, 2);
    Bytes buf{0x12, 0x34, 0xFF, 0xFE};
    EXPECT_EQ(def.GetValueUShort(buf, 0), 4660);
    EXPECT_EQ(def.GetValueShort(buf, 1), -2);
    EXPECT_EQ(def.GetValueUShort(buf, 1), 65534);
    EXPECT_FALSE(def.SetValueShort(buf, -2, 1));
    EXPECT_FALSE(def.SetValueUShort(buf, 0xFFFE, 1));
    EXPECT_TRUE(def.SetValueUShort(buf, 0x00FE, 1)) << "only the high byte differs";
    EXPECT_EQ(buf, (Bytes{0x12, 0x34, 0x00, 0xFE}));
    EXPECT_TRUE(def.SetValueShort(buf, -2, 0));
    EXPECT_EQ(buf, (Bytes{0xFF, 0xFE, 0x00, 0xFE}));

    const TnvParDef bits = MakeDef(T::tpBits); // whole words too
    EXPECT_TRUE(bits.SetValueUShort(buf, 0x0110, 0));
    EXPECT_EQ(buf, (Bytes{0x01, 0x10, 0x00, 0xFE}));
    EXPECT_EQ(bits.GetValueUShort(buf, 0), 0x0110);
}

TEST(Encoding8, TheValueLivesInTheLowByteAndSettersClearTheHighOne) {
    const TnvParDef def = MakeDef(T::tpInt8, 2);
    Bytes buf{0x00, 0x7F, 0x05, 0xFF};
    EXPECT_EQ(def.GetValueUChar(buf, 1), 255);
    EXPECT_EQ(def.GetValueChar(buf, 1), -1);
    EXPECT_EQ(def.GetValueChar(buf, 0), 127);
    EXPECT_FALSE(def.SetValueUChar(buf, 255, 1)) << "only the low byte is compared";
    EXPECT_EQ(buf, (Bytes{0x00, 0x7F, 0x00, 0xFF}));
    EXPECT_TRUE(def.SetValueChar(buf, -2, 0));
    EXPECT_EQ(buf, (Bytes{0x00, 0xFE, 0x00, 0xFF}));
}

TEST(Encoding32, MostSignificantWordFirst) {
    const TnvParDef def = MakeDef(T::tpInt32, 2);
    Bytes buf{0x00, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(def.GetValueULong(buf, 0), 65538u);
    EXPECT_EQ(def.GetValueLong(buf, 1), -2);
    EXPECT_EQ(def.GetValueULong(buf, 1), 0xFFFFFFFEu);
    EXPECT_TRUE(def.SetValueLong(buf, 0x01020304, 1));
    EXPECT_EQ(buf, (Bytes{0x00, 0x01, 0x00, 0x02, 0x01, 0x02, 0x03, 0x04}));
    EXPECT_FALSE(def.SetValueULong(buf, 0x01020304, 1));
}

TEST(EncodingBits, FlagsZeroToSevenSitInTheLowByte) {
    const TnvParDef def = MakeDef(T::tpBits, 2);
    Bytes buf(4, 0);
    EXPECT_TRUE(def.SetValueBit(buf, true, 0, 9));
    EXPECT_EQ(buf, (Bytes{0x02, 0, 0, 0}));
    EXPECT_FALSE(def.SetValueBit(buf, true, 0, 9));
    EXPECT_TRUE(def.SetValueBit(buf, true, 1, 3));
    EXPECT_EQ(buf, (Bytes{0x02, 0, 0, 0x08}));
    EXPECT_TRUE(def.SetValueBit(buf, false, 0, 25)) << "flag 25 is flag 9";
    EXPECT_EQ(buf, (Bytes{0, 0, 0, 0x08}));
}

TEST(EncodingBits, FlagNumbersWrapAtSixteen) {
    const TnvParDef def = MakeDef(T::tpBits);
    const Bytes buf{0x80, 0x02};
    EXPECT_TRUE(def.GetValueBit(buf, 0, 1));
    EXPECT_TRUE(def.GetValueBit(buf, 0, 17));
    EXPECT_TRUE(def.GetValueBit(buf, 0, 15));
    EXPECT_FALSE(def.GetValueBit(buf, 0, 0));
}

TEST(EncodingDouble, ScalesTheRawIntegerWithItsSignedness) {
    TnvParDef def = MakeDef(T::tpInt16);
    def.FormatNorm = 0.1;
    def.FormatString = "0.0";
    const Bytes buf{0x04, 0xD2}; // 1234
    EXPECT_DOUBLE_EQ(def.GetValueDouble(buf, 0), 123.4);
    EXPECT_EQ(def.GetValueNumText(buf, 0), "123.4");

    def.Unsigned = false;
    def.FormatOffset = -1.0;
    EXPECT_DOUBLE_EQ(def.GetValueDouble(Bytes{0xFF, 0xFE}, 0), -1.2);
}

TEST(EncodingDouble, EightAndThirtyTwoBitValuesScaleToo) {
    TnvParDef int8 = MakeDef(T::tpInt8, 1, false);
    int8.FormatNorm = 0.5;
    EXPECT_DOUBLE_EQ(int8.GetValueDouble(Bytes{0, 0xFC}, 0), -2.0);
    TnvParDef int32 = MakeDef(T::tpInt32);
    int32.FormatString = "0";
    EXPECT_EQ(int32.GetValueNumText(Bytes{0, 1, 0, 2}, 0), "65538");
}

TEST(EncodingDate, StoresDayMonthAndYearInTheLowBytes) {
    const TnvParDef def = MakeDef(T::tpDate, 3);
    Bytes buf(18, 0);
    int century = 0;
    EXPECT_TRUE(def.SetValueDate(buf, 1, century, nv::EncodeDate(2031, 3, 12)));
    EXPECT_EQ(century, 2000);
    EXPECT_EQ(Bytes(buf.begin() + 6, buf.begin() + 12), (Bytes{0, 12, 0, 3, 0, 31}));
    EXPECT_EQ(def.GetValueDate(buf, 1, 2000), nv::EncodeDate(2031, 3, 12));
    EXPECT_FALSE(def.SetValueDate(buf, 1, century, nv::EncodeDate(2031, 3, 12)));
    EXPECT_TRUE(def.SetValueDate(buf, 1, century, nv::EncodeDate(1999, 3, 12)));
    EXPECT_EQ(century, 1900);
}

TEST(EncodingDate, AnUnreadableOldDateIsOverwritten) {
    const TnvParDef def = MakeDef(T::tpDate, 3);
    Bytes buf(18, 0);
    EXPECT_EQ(ErrorOf([&] { def.GetValueDate(buf, 0, 2000); }), "Invalid argument to date encode");
    int century = 0;
    EXPECT_TRUE(def.SetValueDate(buf, 0, century, nv::EncodeDate(2024, 2, 29)));
    EXPECT_EQ(def.GetValueDate(buf, 0, 2000), nv::EncodeDate(2024, 2, 29));
    buf[3] = 2;
    buf[1] = 30; // 30 February
    EXPECT_EQ(ErrorOf([&] { def.GetValueDate(buf, 0, 2000); }), "Invalid argument to date encode");
}

TEST(EncodingTime, StoresSecondMinuteAndHourAndDropsMilliseconds) {
    const TnvParDef def = MakeDef(T::tpTime, 3);
    Bytes buf(18, 0);
    EXPECT_TRUE(def.SetValueTime(buf, 2, nv::EncodeTime(13, 45, 30, 500)));
    EXPECT_EQ(Bytes(buf.begin() + 12, buf.end()), (Bytes{0, 30, 0, 45, 0, 13}));
    EXPECT_EQ(def.GetValueTime(buf, 2), nv::EncodeTime(13, 45, 30, 0));
    EXPECT_FALSE(def.SetValueTime(buf, 2, nv::EncodeTime(13, 45, 30, 0)));
    buf[17] = 24;
    EXPECT_EQ(ErrorOf([&] { def.GetValueTime(buf, 2); }), "Invalid argument to time encode");
}

TEST(EncodingString, OneCharacterPerRegisterAndZerosAfterAShortText) {
    const TnvParDef def = MakeDef(T::tpString, 4);
    Bytes buf{0, 'W', 0, 'X', 0, 'Y', 0, 'Z'};
    EXPECT_EQ(def.GetValueString(buf), "WXYZ");
    EXPECT_TRUE(def.SetValueString(buf, " \tAB\r\n"));
    EXPECT_EQ(buf, (Bytes{0, 'A', 0, 'B', 0, 0, 0, 0}));
    EXPECT_EQ(def.GetValueString(buf), QString("AB") + QChar(0) + QChar(0));
    EXPECT_FALSE(def.SetValueString(buf, "AB"));
    EXPECT_TRUE(def.SetValueString(buf, "ABCDEFG"));
    EXPECT_EQ(def.GetValueString(buf), "ABCD");
}

// Every typed accessor of the definition, by name, with the types it serves.
struct Accessor {
    const char* name;
    std::vector<std::uint8_t> types;
    std::function<void(const TnvParDef&, Bytes&, std::uint8_t)> call;
};

std::vector<Accessor> Accessors() {
    using D = const TnvParDef&;
    using U = std::uint8_t;
    static const nv::TDateTime kDay = nv::EncodeDate(2020, 1, 1);
    // clang-format off
    return {
        {"GetValueBit", {1}, [](D d, Bytes& b, U i) { d.GetValueBit(b, i, 0); }},
        {"SetValueBit", {1}, [](D d, Bytes& b, U i) { d.SetValueBit(b, true, i, 0); }},
        {"GetValueChar", {2}, [](D d, Bytes& b, U i) { d.GetValueChar(b, i); }},
        {"SetValueChar", {2}, [](D d, Bytes& b, U i) { d.SetValueChar(b, 1, i); }},
        {"GetValueUChar", {2}, [](D d, Bytes& b, U i) { d.GetValueUChar(b, i); }},
        {"SetValueUChar", {2}, [](D d, Bytes& b, U i) { d.SetValueUChar(b, 1, i); }},
        {"GetValueShort", {3}, [](D d, Bytes& b, U i) { d.GetValueShort(b, i); }},
        {"SetValueShort", {3}, [](D d, Bytes& b, U i) { d.SetValueShort(b, 1, i); }},
        {"GetValueUShort", {1, 3}, [](D d, Bytes& b, U i) { d.GetValueUShort(b, i); }},
        {"SetValueUShort", {1, 3}, [](D d, Bytes& b, U i) { d.SetValueUShort(b, 1, i); }},
        {"GetValueLong", {4}, [](D d, Bytes& b, U i) { d.GetValueLong(b, i); }},
        {"SetValueLong", {4}, [](D d, Bytes& b, U i) { d.SetValueLong(b, 1, i); }},
        {"GetValueULong", {4}, [](D d, Bytes& b, U i) { d.GetValueULong(b, i); }},
        {"SetValueULong", {4}, [](D d, Bytes& b, U i) { d.SetValueULong(b, 1, i); }},
        {"GetValueDate", {5}, [](D d, Bytes& b, U i) { d.GetValueDate(b, i, 2000); }},
        {"SetValueDate", {5}, [](D d, Bytes& b, U i) { int c = 0; d.SetValueDate(b, i, c, kDay); }},
        {"GetValueTime", {6}, [](D d, Bytes& b, U i) { d.GetValueTime(b, i); }},
        {"SetValueTime", {6}, [](D d, Bytes& b, U i) { d.SetValueTime(b, i, 0.5); }},
    };
    // clang-format on
}

TEST(EncodingErrors, TheTypeIsCheckedBeforeTheBuffer) {
    for (const Accessor& a : Accessors()) {
        for (std::uint8_t type = 0; type <= 8; ++type) {
            const TnvParDef def = MakeDef(type, 3);
            Bytes none;
            const bool allowed = std::count(a.types.begin(), a.types.end(), type) > 0;
            const QString expected = allowed ? QString("%1: Bad buffer pointer.").arg(a.name)
                                             : QString("Wrong data type!");
            EXPECT_EQ(ErrorOf([&] { a.call(def, none, 0); }), expected)
                << a.name << " type " << int(type);
        }
    }
}

TEST(EncodingErrors, AnElementBeyondTheBufferIsRefusedAndNothingIsWritten) {
    for (const Accessor& a : Accessors()) {
        const TnvParDef def = MakeDef(a.types.back(), 1);
        Bytes buf(static_cast<std::size_t>(def.GetSize()), 0x11);
        const Bytes before = buf;
        EXPECT_EQ(ErrorOf([&] { a.call(def, buf, 1); }),
                  QString("%1: Element index out of range.").arg(a.name));
        EXPECT_EQ(ErrorOf([&] { a.call(def, buf, 255); }),
                  QString("%1: Element index out of range.").arg(a.name));
        EXPECT_EQ(buf, before) << a.name;
    }
}

TEST(EncodingErrors, DoubleAndStringAccessorsHaveTheirOwnTexts) {
    Bytes none;
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpNone).GetValueDouble(none, 0); }),
              "GetValueDouble: Bad buffer pointer.");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpBits).GetValueDouble(Bytes(2, 0), 0); }),
              "Wrong data type!");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpString).GetValueDouble(Bytes(2, 0), 0); }),
              "Wrong data type!");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpDate, 3).GetValueDouble(Bytes(18, 0), 0); }),
              "Wrong data type!");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpString).GetValueString(none); }),
              "GetValueString: Bad format pointer.");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpString).SetValueString(none, "x"); }),
              "SetValueString: Bad format pointer.");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpString, 4).GetValueString(Bytes(6, 0)); }),
              "GetValueString: Element index out of range.");
    EXPECT_EQ(ErrorOf([&] { MakeDef(T::tpInt16).GetValueString(Bytes(2, 0)); }),
              "Wrong data type!");
}

struct FlagTextCase {
    const char* format;
    const char* set;
    const char* clear;
};

TEST(ValueText, BitFieldsShowTheTextOfASetOrAClearFlag) {
    const FlagTextCase cases[] = {
        {"", "1", "0"},
        {"ON/OFF", "ON", "OFF"},
        {"Run / Stop", "Run /", "Stop"}, // the blank is the last separator
        {"ON", "", "ON"},
        {"a, b/c", "a, b", "c"},
        {"Open-Closed", "Open", "Closed"},
        {"Yes;No", "Yes", "No"},
        {"High.Low", "High", "Low"},
    };
    for (const FlagTextCase& c : cases) {
        TnvParDef def = MakeDef(T::tpBits);
        def.FormatString = c.format;
        const Bytes buf{0x00, 0x01};
        EXPECT_EQ(def.GetValueText(buf, 0, 0), c.set) << c.format;
        EXPECT_EQ(def.GetValueText(buf, 0, 1), c.clear) << c.format;
    }
}

TEST(ValueText, EachTypeHasItsText) {
    TnvParDef int16 = MakeDef(T::tpInt16);
    int16.FormatNorm = 0.1;
    int16.FormatString = "000.0\"Hz\"";
    EXPECT_EQ(int16.GetValueText(Bytes{0x01, 0xF4}, 0, 0), "050.0Hz");

    TnvParDef time = MakeDef(T::tpTime, 3);
    time.FormatString = "hh:nn";
    EXPECT_EQ(time.GetValueText(Bytes{0, 30, 0, 5, 0, 7}, 0, 0), "07:05");

    EXPECT_EQ(MakeDef(T::tpString, 2).GetValueText(Bytes{0, 'O', 0, 'K'}, 0, 0), "OK");
    EXPECT_EQ(MakeDef(T::tpDate, 3).GetValueText(Bytes{0, 1, 0, 1, 0, 1}, 0, 0), "");
    EXPECT_EQ(MakeDef(T::tpNone).GetValueText(Bytes{}, 0, 0), "");
    EXPECT_EQ(MakeDef(9).GetValueNumText(Bytes{0, 1}, 0), "");
    EXPECT_EQ(MakeDef(T::tpBits).GetValueNumText(Bytes{0, 1}, 0), "");
}

} // namespace
