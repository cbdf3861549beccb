#include "TnvSimSlave.h"
#include "SimTestData.h"
#include "TnvError.h"
#include "TnvSimDefinitions.h"
#include "TnvSimDrive.h"
#include "TnvSimEeprom.h"
#include "TnvSimRegisterStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

using TBytes = std::vector<uint8_t>;

// The application layer on the small test map: a 32-bit parameter 110 at
// 0x10, read-only 111 at 0x12 aliased by 1100, stored copy 30 of the address 0.
class SlaveTest : public ::testing::Test {
protected:
    void SetUp() override { Build(QString()); }
    void Build(const QString& eepromFile) {
        store = std::make_unique<TnvSimRegisterStore>(TnvSimDefinitions::Load(TestMapFile()));
        drive = std::make_unique<TnvSimDrive>(*store, 0, 1);
        eeprom = std::make_unique<TnvSimEeprom>(eepromFile);
        slave = std::make_unique<TnvSimSlave>(*store, *drive, *eeprom, TnvSimIdentity{});
        store->SetWord(0, 2);
    }

    std::unique_ptr<TnvSimRegisterStore> store;
    std::unique_ptr<TnvSimDrive> drive;
    std::unique_ptr<TnvSimEeprom> eeprom;
    std::unique_ptr<TnvSimSlave> slave;
};

TEST_F(SlaveTest, QuantityOneReadAtA32BitParameterAnswersBothRegisters) {
    store->SetWords(110, {0x1234, 0x5678});
    EXPECT_EQ(slave->Execute({0x03, 0x00, 0x10, 0x00, 0x01}),
              (TBytes{0x03, 0x04, 0x12, 0x34, 0x56, 0x78}));
}

TEST_F(SlaveTest, PlainReadsAnswerTheRegistersAskedFor) {
    store->SetWords(110, {0x1234, 0x5678});
    store->SetWord(111, 0x0042);
    EXPECT_EQ(slave->Execute({0x03, 0x00, 0x11, 0x00, 0x02}),
              (TBytes{0x03, 0x04, 0x56, 0x78, 0x00, 0x42}));
    EXPECT_EQ(slave->Execute({0x03, 0x00, 0x11, 0x00, 0x01}), (TBytes{0x03, 0x02, 0x56, 0x78}));
}

TEST_F(SlaveTest, AliasesShareTheirRegister) {
    store->SetWord(111, 77);
    EXPECT_EQ(store->Word(1100), 77);
}

struct ExceptionCase {
    const char* Name;
    TBytes Request;
    TBytes Reply;
};

class SlaveExceptionTest : public SlaveTest, public ::testing::WithParamInterface<ExceptionCase> {};

TEST_P(SlaveExceptionTest, Answers) {
    EXPECT_EQ(slave->Execute(GetParam().Request), GetParam().Reply);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, SlaveExceptionTest,
    ::testing::Values(
        ExceptionCase{"UnmappedRead", {0x03, 0x00, 0x05, 0x00, 0x01}, {0x83, 0x02}},
        ExceptionCase{"ReadRunningIntoAGap", {0x03, 0x00, 0x00, 0x00, 0x03}, {0x83, 0x02}},
        ExceptionCase{"ReadQuantityZero", {0x03, 0x00, 0x00, 0x00, 0x00}, {0x83, 0x03}},
        ExceptionCase{"ReadQuantityAbove125", {0x03, 0x00, 0x00, 0x00, 0x7E}, {0x83, 0x03}},
        ExceptionCase{"ReadTooShort", {0x03, 0x00, 0x00, 0x00}, {0x83, 0x03}},
        ExceptionCase{"WriteSingleReadOnly", {0x06, 0x00, 0x12, 0x00, 0x01}, {0x86, 0x02}},
        ExceptionCase{"WriteMultipleReadOnly",
                      {0x10, 0x00, 0x12, 0x00, 0x01, 0x02, 0x00, 0x01},
                      {0x90, 0x02}},
        ExceptionCase{"WriteUnmapped", {0x06, 0x00, 0x05, 0x00, 0x01}, {0x86, 0x02}},
        ExceptionCase{
            "ByteCountNotTheData", {0x10, 0x00, 0x10, 0x00, 0x01, 0x04, 0x00, 0x01}, {0x90, 0x03}},
        ExceptionCase{"ByteCountNeitherParameterNorQuantity",
                      {0x10, 0x00, 0x13, 0x00, 0x01, 0x04, 0, 1, 0, 2},
                      {0x90, 0x03}},
        ExceptionCase{"SlaveAddressZero", {0x06, 0x00, 0x00, 0x00, 0x00}, {0x86, 0x03}},
        ExceptionCase{"StoredSlaveAddressAbove247", {0x06, 0x01, 0x00, 0x00, 0xF8}, {0x86, 0x03}},
        ExceptionCase{"UnknownFunction", {0x2B, 0x0E, 0x01, 0x00}, {0xAB, 0x01}}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST_F(SlaveTest, QuantityOneWriteWithTheParameterByteCountWritesBothRegisters) {
    const TBytes request{0x10, 0x00, 0x10, 0x00, 0x01, 0x04, 0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(slave->Execute(request), (TBytes{0x10, 0x00, 0x10, 0x00, 0x01}));
    EXPECT_EQ(store->Words(110), (std::vector<uint16_t>{0xFFFF, 0xFFFE}));
    EXPECT_DOUBLE_EQ(store->Physical(110), -2.0);
}

TEST_F(SlaveTest, WriteSingleEchoesTheRequest) {
    const TBytes request{0x06, 0x00, 0x13, 0xFF, 0x9C};
    EXPECT_EQ(slave->Execute(request), request);
    EXPECT_DOUBLE_EQ(store->Physical(112), -10.0);
}

TEST_F(SlaveTest, SimulatedHardwareInputsTakeWritesAlthoughReadOnly) {
    EXPECT_EQ(slave->Execute({0x06, 0x00, 0x01, 0x00, 0x05}),
              (TBytes{0x06, 0x00, 0x01, 0x00, 0x05}));
    EXPECT_EQ(store->Word(1), 5);
}

TEST_F(SlaveTest, IdentificationAnswersModelAndFirmware) {
    auto identity = TnvSimIdentity::Parse("720A:207");
    ASSERT_TRUE(identity);
    slave = std::make_unique<TnvSimSlave>(*store, *drive, *eeprom, *identity);
    const TBytes reply = slave->Execute({0x41});
    ASSERT_EQ(reply.size(), 11u); // 12 with the address in front
    EXPECT_EQ(reply, (TBytes{0x41, 0x00, 0x00, 0x02, 0xD0, 'A', 0, 0x00, 0xCF, 0, 0}));
}

TEST(SimIdentityTest, ParsesNumbersAndSuffixes) {
    const auto id = TnvSimIdentity::Parse("721XY:310B");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->Model, 721);
    EXPECT_EQ(id->ModelSuffix, (std::array<char, 2>{'X', 'Y'}));
    EXPECT_EQ(id->Firmware, 310);
    EXPECT_EQ(id->FirmwareSuffix, (std::array<char, 2>{'B', '\0'}));
    for (const char* bad : {"720", "720ABC:207", "A:207", "720:70000", ":207", "720:207:1"})
        EXPECT_FALSE(TnvSimIdentity::Parse(bad)) << bad;
}

TEST_F(SlaveTest, StoredCopyWritesPersistAndReloadIntoANewDrive) {
    QTemporaryDir dir;
    const QString file = dir.filePath("eeprom.ini");
    Build(file);
    EXPECT_EQ(slave->Execute({0x06, 0x01, 0x00, 0x00, 0x07}),
              (TBytes{0x06, 0x01, 0x00, 0x00, 0x07}));
    ASSERT_TRUE(QFile::exists(file));

    Build(file);
    EXPECT_EQ(store->Word(30), 0);
    eeprom->Load(*store);
    EXPECT_EQ(store->Word(30), 7);
}

TEST_F(SlaveTest, UnwritableEepromAnswersDeviceFailureAndKeepsTheOldValue) {
    QTemporaryDir dir;
    Build(dir.filePath("missing-folder/eeprom.ini"));
    store->SetWord(30, 5);
    EXPECT_EQ(slave->Execute({0x06, 0x01, 0x00, 0x00, 0x07}), (TBytes{0x86, 0x04}));
    EXPECT_EQ(store->Word(30), 5);
}

TEST_F(SlaveTest, MalformedEepromFileIsRefusedWithItsName) {
    QTemporaryDir dir;
    const QString file = dir.filePath("eeprom.ini");
    for (const char* text : {"[EEPROM]\n30=abc\n", "[EEPROM]\n110=1 2\n", "[EEPROM]\n30=1 2\n"}) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text);
        out.close();
        Build(file);
        try {
            eeprom->Load(*store);
            ADD_FAILURE() << text;
        } catch (const TnvError& error) {
            EXPECT_TRUE(error.Message().contains(file)) << error.Message().toStdString();
        }
    }
}

TEST_F(SlaveTest, AddressedRangeCoversTheWholeParameterForQuantityOne) {
    EXPECT_EQ(slave->AddressedRange({0x03, 0x00, 0x10, 0x00, 0x01}),
              std::make_pair(uint16_t{0x10}, 2u));
    EXPECT_EQ(slave->AddressedRange({0x03, 0x00, 0x10, 0x00, 0x03}),
              std::make_pair(uint16_t{0x10}, 3u));
    EXPECT_EQ(slave->AddressedRange({0x06, 0x00, 0x13, 0x00, 0x03}),
              std::make_pair(uint16_t{0x13}, 1u));
    EXPECT_FALSE(slave->AddressedRange({0x41}));
}

// On the project's definitions: writes reach the drive model at once.
TEST(SlaveDriveTest, SoftwareInputWriteStartsTheDrive) {
    TnvSimRegisterStore store(TnvSimDefinitions::Load(DefinitionsFile()));
    TnvSimDrive drive(store, 0, 1);
    TnvSimEeprom eeprom{QString()};
    drive.LoadFactoryDefaults(2);
    drive.PowerUp();
    TnvSimSlave slave(store, drive, eeprom, TnvSimIdentity{});
    EXPECT_EQ(slave.Address(), 2);
    slave.Execute({0x10, 0x00, 0x1B, 0x00, 0x01, 0x02, 0x00, 0x01});
    EXPECT_TRUE(drive.IsRunning());
    EXPECT_EQ(slave.Execute({0x03, 0x00, 0x03, 0x00, 0x01}), (TBytes{0x03, 0x02, 0x00, 0x01}));
}

} // namespace
