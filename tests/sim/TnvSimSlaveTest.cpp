#include "TnvSimSlave.h"
#include "SimTestData.h"
#include "TestErrors.h"
#include "TestFiles.h"
#include "TnvSimDefinitions.h"
#include "TnvSimDrive.h"
#include "TnvSimEeprom.h"
#include "TnvSimRegisterStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

using TBytes = std::vector<uint8_t>;

// The application layer on the small test map: a 32-bit parameter 110 at
// 0x10, read-only 111 at 0x12, signed 112 at 0x13, stored copy 30 at 0x100.
class SlaveTest : public ::testing::Test {
protected:
    void SetUp() override { Build(QString()); }
    void Build(const QString& eepromFile, const QString& ident = "720A:207") {
        store = std::make_unique<TnvSimRegisterStore>(TnvSimDefinitions::Load(TestMapFile()));
        drive = std::make_unique<TnvSimDrive>(*store, 0, 1);
        eeprom = std::make_unique<TnvSimEeprom>(eepromFile);
        slave =
            std::make_unique<TnvSimSlave>(*store, *drive, *eeprom, *TnvSimIdentity::Parse(ident));
        store->SetWord(0, 2);
        store->SetWords(110, {0x1234, 0x5678});
        store->SetWord(111, 0x0042);
    }

    std::unique_ptr<TnvSimRegisterStore> store;
    std::unique_ptr<TnvSimDrive> drive;
    std::unique_ptr<TnvSimEeprom> eeprom;
    std::unique_ptr<TnvSimSlave> slave;
};

// In order, on one slave: a row may read what an earlier one wrote.
TEST_F(SlaveTest, RequestsGetTheirRepliesInOrder) {
    const struct {
        const char* Name;
        TBytes Request, Reply;
    } rows[] = {
        {"QuantityOneReadAtA32BitParameter", {3, 0, 0x10, 0, 1}, {3, 4, 0x12, 0x34, 0x56, 0x78}},
        {"PlainRead", {3, 0, 0x11, 0, 2}, {3, 4, 0x56, 0x78, 0, 0x42}},
        {"PlainReadOfHalfAParameter", {3, 0, 0x11, 0, 1}, {3, 2, 0x56, 0x78}},
        {"QuantityOneWriteWithTheParameterByteCount",
         {0x10, 0, 0x10, 0, 1, 4, 0xFF, 0xFF, 0xFF, 0xFE},
         {0x10, 0, 0x10, 0, 1}},
        {"ItsBothRegistersWritten", {3, 0, 0x10, 0, 2}, {3, 4, 0xFF, 0xFF, 0xFF, 0xFE}},
        {"WriteSingleEchoes", {6, 0, 0x13, 0xFF, 0x9C}, {6, 0, 0x13, 0xFF, 0x9C}},
        {"SimulatedHardwareInputTakesWrites", {6, 0, 1, 0, 5}, {6, 0, 1, 0, 5}},
        {"Identification", {0x41}, {0x41, 0, 0, 0x02, 0xD0, 'A', 0, 0, 0xCF, 0, 0}},
        {"UnmappedRead", {3, 0, 5, 0, 1}, {0x83, 2}},
        {"ReadRunningIntoAGap", {3, 0, 0, 0, 3}, {0x83, 2}},
        {"ReadQuantityZero", {3, 0, 0, 0, 0}, {0x83, 3}},
        {"ReadQuantityAbove125", {3, 0, 0, 0, 0x7E}, {0x83, 3}},
        {"ReadTooShort", {3, 0, 0, 0}, {0x83, 3}},
        {"WriteSingleReadOnly", {6, 0, 0x12, 0, 1}, {0x86, 2}},
        {"WriteMultipleReadOnly", {0x10, 0, 0x12, 0, 1, 2, 0, 1}, {0x90, 2}},
        {"ByteCountNotTheData", {0x10, 0, 0x10, 0, 1, 4, 0, 1}, {0x90, 3}},
        {"ByteCountNeitherParameterNorQuantity", {0x10, 0, 0x13, 0, 1, 4, 0, 1, 0, 2}, {0x90, 3}},
        {"SlaveAddressZero", {6, 0, 0, 0, 0}, {0x86, 3}},
        {"StoredSlaveAddressAbove247", {6, 1, 0, 0, 0xF8}, {0x86, 3}},
        {"UnknownFunction", {0x2B, 0x0E, 1, 0}, {0xAB, 1}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(slave->Execute(row.Request), row.Reply) << row.Name;
    EXPECT_EQ(store->Word(1), 5);
}

TEST_F(SlaveTest, AWriteSingleAddressesItsRegisterAloneAndIdentificationNone) {
    using TRange = std::pair<uint16_t, uint32_t>;
    EXPECT_EQ(slave->AddressedRange({6, 0, 0x13, 0, 3}), TRange(0x13, 1));
    EXPECT_FALSE(slave->AddressedRange({0x41}));
}

TEST_F(SlaveTest, EepromFaultsNeverLoseTheOldValue) {
    QTemporaryDir dir;
    Build(dir.filePath("missing-folder/eeprom.ini"));
    store->SetWord(30, 5);
    EXPECT_EQ(slave->Execute({6, 1, 0, 0, 7}), (TBytes{0x86, 4}));
    EXPECT_EQ(store->Word(30), 5);

    const QString file = dir.filePath("eeprom.ini");
    for (const char* text : {"[EEPROM]\n30=abc\n", "[EEPROM]\n110=1 2\n", "[EEPROM]\n30=1 2\n"}) {
        Build(kxtest::WriteFile(file, text));
        const QString error = kxtest::ErrorOf([&] { eeprom->Load(*store); });
        EXPECT_TRUE(error.contains(file)) << text << error.toStdString();
    }
}

} // namespace
