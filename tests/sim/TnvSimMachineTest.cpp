#include "TnvSimMachine.h"
#include "SimTestData.h"
#include "TnvError.h"
#include "TnvSimDefinitions.h"
#include "TnvSimEeprom.h"
#include "TnvSimRegisterStore.h"
#include "TnvSimSlave.h"

#include <gtest/gtest.h>

namespace {

using TBytes = std::vector<uint8_t>;

// The machine of data/TD_Machine.ini behind the application layer.
class MachineTest : public ::testing::Test {
protected:
    void Build(const QString& programs) {
        store = std::make_unique<TnvSimRegisterStore>(
            TnvSimDefinitions::Load(SourcePath("data/TD_Machine.ini")));
        machine = std::make_unique<TnvSimMachine>(
            *store, TnvSimMachine::ParsePrograms(programs, "programs.txt"));
        slave = std::make_unique<TnvSimSlave>(*store, *machine, eeprom, TnvSimIdentity{});
    }
    TBytes Select(uint8_t program) { return slave->Execute({0x06, 0x00, 0x0A, 0x00, program}); }
    TBytes Header() { return slave->Execute({0x03, 0x00, 0x10, 0x00, 0x04}); }

    TnvSimEeprom eeprom{QString()};
    std::unique_ptr<TnvSimRegisterStore> store;
    std::unique_ptr<TnvSimMachine> machine;
    std::unique_ptr<TnvSimSlave> slave;
};

TEST_F(MachineTest, SelectionLoadsTheHeaderOrMisbehavesAsTheTableSays) {
    Build("1 0x0102 3 4 0xFFFF  # a program\n2 ignore\n3 refuse\n");
    EXPECT_EQ(store->Word(TnvSimMachine::kSelect), 0x00FF); // nothing selected yet
    Select(1);
    EXPECT_EQ(slave->Execute({0x03, 0x00, 0x0A, 0x00, 0x01}), (TBytes{0x03, 2, 0x01, 0x01}));
    EXPECT_EQ(Header(), (TBytes{0x03, 8, 0x01, 0x02, 0, 3, 0, 4, 0xFF, 0xFF}));
    Select(2); // ignored: program 1 stays
    EXPECT_EQ(store->Word(TnvSimMachine::kSelect), 0x0101);
    EXPECT_EQ(machine->Selected(), 1);
    Select(3);
    EXPECT_EQ(Header(), (TBytes{0x83, 0x04}));
    Select(9); // not in the table: a blank header
    EXPECT_EQ(Header(), (TBytes{0x03, 8, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(MachineTest, BenchWiresTakeWritesAndOthersStayReadOnly) {
    Build("");
    for (uint16_t reg : {0x0002, 0x0190, 0x0191, 0x0192, 0x0193})
        EXPECT_EQ(slave->Execute({0x06, static_cast<uint8_t>(reg >> 8),
                                  static_cast<uint8_t>(reg & 0xFF), 0, 7})[0],
                  0x06)
            << reg;
    EXPECT_EQ(slave->Execute({0x06, 0x00, 0x10, 0, 7}), (TBytes{0x86, 0x02})); // the header
}

TEST(TnvSimMachine, MalformedProgramLinesNameTheirPlace) {
    for (const char* text : {"1 2 3", "x 1 2 3 4", "1 1 2 3 0x10000", "1 refuses"}) {
        try {
            TnvSimMachine::ParsePrograms(QString("# header\n") + text, "p.txt");
            ADD_FAILURE() << text;
        } catch (const TnvError& e) {
            EXPECT_TRUE(e.Message().startsWith("p.txt:2: '")) << e.Message().toStdString();
        }
    }
    EXPECT_EQ(TnvSimMachine::GeneratedPrograms().at(7).Header,
              (std::array<uint16_t, 4>{7, 17, 67, 0xC0DE}));
}

} // namespace
