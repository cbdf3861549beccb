#include "TnvSimMachine.h"
#include "TestErrors.h"

#include <gtest/gtest.h>

namespace {

TEST(SimMachineTest, MalformedProgramLinesNameTheirPlace) {
    for (const char* text : {"1 2 3", "x 1 2 3 4", "1 1 2 3 0x10000", "1 refuses"}) {
        const QString error = kxtest::ErrorOf(
            [&] { TnvSimMachine::ParsePrograms(QString("# header\n") + text, "p.txt"); });
        EXPECT_TRUE(error.startsWith("p.txt:2: '")) << text << error.toStdString();
    }
    EXPECT_EQ(TnvSimMachine::GeneratedPrograms().at(7).Header,
              (std::array<uint16_t, 4>{7, 17, 67, 0xC0DE}));
}

} // namespace
