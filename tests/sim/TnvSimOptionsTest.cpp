#include "TnvSimOptions.h"
#include "TnvError.h"
#include "TnvSimFaults.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(SimOptionsTest, DefaultsServeTcpOnPort1502) {
    const TnvSimOptions options = TnvSimOptions::Parse({});
    ASSERT_EQ(options.Tcp.size(), 1u);
    EXPECT_EQ(options.Tcp[0].Host, "127.0.0.1");
    EXPECT_EQ(options.Tcp[0].Port, 1502);
    EXPECT_FALSE(options.Slave);
    EXPECT_EQ(options.Defs, "VF_Parameters_v207.ini");
    EXPECT_EQ(options.Size, 0);
    EXPECT_TRUE(options.Eeprom.isEmpty());
}

TEST(SimOptionsTest, EveryOptionIsTaken) {
    const TnvSimOptions options = TnvSimOptions::Parse(
        {"--tcp",      "0.0.0.0:1600", "--tcp=1700", "--pty",        "/tmp/a",     "--serial",
         "/dev/ttyS1", "--slave",      "7",          "--defs",       "d.ini",      "--size",
         "0x0111",     "--eeprom",     "e.ini",      "--seed",       "9",          "--silence",
         "0.25",       "--delay",      "40",         "--bad-crc",    "0.5",        "--exception",
         "0x10:4",     "--exception",  "21:2",       "--drop-after", "3",          "--line-speed",
         "9600",       "--ident",      "720B:208",   "--machine",    "--programs", "p.txt"});
    ASSERT_EQ(options.Tcp.size(), 2u);
    EXPECT_EQ(options.Tcp[0].Host, "0.0.0.0");
    EXPECT_EQ(options.Tcp[1].Port, 1700);
    EXPECT_EQ(options.Pty, QStringList{"/tmp/a"});
    EXPECT_EQ(options.Serial, QStringList{"/dev/ttyS1"});
    EXPECT_EQ(options.Slave, 7);
    EXPECT_EQ(options.Size, 0x0111);
    EXPECT_EQ(options.Seed, 9u);
    EXPECT_DOUBLE_EQ(options.Faults.Silence, 0.25);
    EXPECT_EQ(options.Faults.Delay, 40ms);
    EXPECT_DOUBLE_EQ(options.Faults.BadCrc, 0.5);
    EXPECT_EQ(options.Faults.Exceptions, (std::map<uint16_t, uint8_t>{{0x10, 4}, {21, 2}}));
    EXPECT_EQ(options.Faults.DropAfter, 3u);
    EXPECT_EQ(options.Faults.LineSpeed, 9600);
    EXPECT_EQ(options.Identity.Firmware, 208);
    EXPECT_TRUE(options.Machine);
    EXPECT_EQ(options.Programs, "p.txt");
}

TEST(SimOptionsTest, BadValuesAreRefusedWithTheOption) {
    const std::vector<QStringList> bad{{"--slave", "0"},
                                       {"--slave", "248"},
                                       {"--silence", "1.5"},
                                       {"--tcp", "host:99999"},
                                       {"--exception", "16"},
                                       {"--exception", "16:0"},
                                       {"--drop-after", "0"},
                                       {"--line-speed", "10"},
                                       {"--size", "0x10000"},
                                       {"--bogus", "1"},
                                       {"--delay"},
                                       {"--ident", "x"},
                                       {"--bogus"},
                                       {"stray"},
                                       {"--programs", "p.txt"}};
    for (const QStringList& arguments : bad) {
        try {
            TnvSimOptions::Parse(arguments);
            ADD_FAILURE() << arguments.join(' ').toStdString();
        } catch (const TnvError& error) {
            EXPECT_TRUE(error.Message().contains(arguments.front().section('=', 0, 0)))
                << error.Message().toStdString();
        }
    }
}

TEST(SimOptionsTest, HelpNamesEveryOption) {
    EXPECT_TRUE(TnvSimOptions::Parse({"--help"}).Help);
    const QString help = TnvSimOptions::HelpText();
    for (const char* option :
         {"--tcp", "--serial", "--pty", "--slave", "--defs", "--size", "--eeprom", "--seed",
          "--silence", "--delay", "--bad-crc", "--exception", "--drop-after", "--line-speed",
          "--ident", "--machine", "--programs", "--help"})
        EXPECT_TRUE(help.contains(option)) << option;
}

TEST(SimFaultsTest, LineSpeedDelayIsTheWireTimeOfRequestAndReply) {
    TnvSimFaults::TSettings settings;
    settings.LineSpeed = 19200;
    const TnvSimFaults faults(settings, 1);
    // Read of one register: 8 bytes out, 7 back; 15 characters of 11 bits and
    // two silences of 38.5 bits: 242 bits.
    EXPECT_EQ(faults.ReplyDelay(5, 4), std::chrono::microseconds(242 * 1000000 / 19200));
    settings.Delay = 10ms;
    EXPECT_EQ(TnvSimFaults(settings, 1).ReplyDelay(5, 4), 10ms + std::chrono::microseconds(12604));
}

TEST(SimFaultsTest, ForcedExceptionHitsEveryRequestCoveringTheAddress) {
    TnvSimFaults::TSettings settings;
    settings.Exceptions = {{0x10, 4}};
    const TnvSimFaults faults(settings, 1);
    EXPECT_EQ(faults.ExceptionFor(0x10, 1), 4);
    EXPECT_EQ(faults.ExceptionFor(0x0E, 3), 4);
    EXPECT_FALSE(faults.ExceptionFor(0x0E, 2));
    EXPECT_FALSE(faults.ExceptionFor(0x11, 5));
}

TEST(SimFaultsTest, RandomChoicesFollowTheSeed) {
    TnvSimFaults::TSettings settings;
    settings.Silence = 0.5;
    const auto pattern = [&](uint64_t seed) {
        TnvSimFaults faults(settings, seed);
        std::vector<bool> lost;
        for (int i = 0; i < 64; ++i)
            lost.push_back(faults.LoseRequest());
        return lost;
    };
    EXPECT_EQ(pattern(3), pattern(3));
    EXPECT_NE(pattern(3), pattern(4));
    const auto lost = pattern(3);
    const auto count = std::count(lost.begin(), lost.end(), true);
    EXPECT_GT(count, 16);
    EXPECT_LT(count, 48);

    TnvSimFaults never({}, 1);
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(never.LoseRequest() || never.CorruptCrc());
}

TEST(SimFaultsTest, DropAfterCountsRequestsOfAConnection) {
    TnvSimFaults::TSettings settings;
    settings.DropAfter = 2;
    const TnvSimFaults faults(settings, 1);
    EXPECT_FALSE(faults.DropConnection(1));
    EXPECT_TRUE(faults.DropConnection(2));
    EXPECT_FALSE(TnvSimFaults({}, 1).DropConnection(1000));
}

} // namespace
