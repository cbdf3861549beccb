#include "TnvSimDrive.h"
#include "SimTestData.h"
#include "TnvSimDefinitions.h"
#include "TnvSimRegisterStore.h"

#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

// Control mode bits and software input bits the tests use.
constexpr uint16_t kRampStop = 1 << 0;
constexpr uint16_t kSetpointModbus = 1 << 1;
constexpr uint16_t kCommandsModbus = 1 << 2;
constexpr uint16_t kEnableEdge = 1 << 4;
constexpr uint16_t kResetEdge = 1 << 5;
constexpr uint16_t kForward = 1 << 0;
constexpr uint16_t kReverse = 1 << 1;
constexpr uint16_t kReset = 1 << 2;

constexpr uint16_t kCommLost = 1 << 12;

// The drive on the project's definitions file, stepped by a simulated clock
// in samples of 100 ms (the terminal's cycle).
class DriveTest : public ::testing::Test {
protected:
    void SetUp() override { PowerUp(0x0000); }

    void PowerUp(uint16_t sizeCode) {
        store = std::make_unique<TnvSimRegisterStore>(TnvSimDefinitions::Load(DefinitionsFile()));
        drive = std::make_unique<TnvSimDrive>(*store, sizeCode, 7);
        drive->LoadFactoryDefaults(2);
        drive->PowerUp();
    }
    // As a client's write: the register, then the drive is told.
    void Write(uint32_t index, uint16_t word) {
        store->SetWord(index, word);
        drive->ParameterWritten(index);
    }
    void Wait(std::chrono::milliseconds time) {
        for (auto t = 0ms; t < time; t += kSample)
            drive->Advance(kSample);
    }
    int16_t Signed(uint32_t index) const { return static_cast<int16_t>(store->Word(index)); }
    bool Running() const { return (store->Word(3) & 1) != 0; }

    static constexpr std::chrono::milliseconds kSample{100};
    std::unique_ptr<TnvSimRegisterStore> store;
    std::unique_ptr<TnvSimDrive> drive;
};

TEST_F(DriveTest, PowerUpTakesWorkingCopiesFromStoredCopiesAndSizeFromCode) {
    store->SetWord(42, 333); // stored setpoint
    store->SetWord(43, 25);  // stored accel time
    drive->PowerUp();
    EXPECT_EQ(store->Word(15), 333);
    EXPECT_EQ(store->Word(16), 25);
    EXPECT_EQ(store->Word(20), 460);
    EXPECT_EQ(store->Word(49), 0x0000);
    EXPECT_EQ(store->Word(3), 0);

    PowerUp(0x0111);
    EXPECT_EQ(store->Word(20), 240);
    EXPECT_EQ(store->Word(49), 0x0111);
    EXPECT_EQ(store->Word(4), 230); // factory main voltage of the 230 V class
    EXPECT_EQ(store->Word(6), 250); // 25.0 A
}

TEST_F(DriveTest, FrequencyReachesSetpointWithinTheRampTime) {
    Write(14, 1000); // ramps span 0 to 100.0 Hz
    Write(16, 20);   // 2.0 s: 50.0 Hz takes 1.0 s
    Write(15, 500);
    Write(29, 10000);
    Write(27, kForward);
    int reachedAt = -1;
    int16_t previous = 0;
    for (int sample = 1; sample <= 30; ++sample) {
        drive->Advance(kSample);
        const int16_t f = Signed(24);
        EXPECT_GE(f, previous) << "sample " << sample;
        previous = f;
        if (f == 500 && reachedAt < 0)
            reachedAt = sample;
    }
    EXPECT_NEAR(reachedAt, 10, 1);
    EXPECT_EQ(store->Word(3) & 0x05, 0x05); // running, at setpoint
    EXPECT_EQ(Signed(1002), 500);
}

TEST_F(DriveTest, DecelerationRampStopsAtZeroAndClearsRunning) {
    Write(27, kForward);
    Wait(3000ms);
    Write(17, 10); // 1.0 s for 100 Hz: 50 Hz in 0.5 s
    Write(27, 0);
    drive->Advance(kSample);
    EXPECT_TRUE(Running());
    EXPECT_EQ(store->Word(3) & 0x10, 0x10); // decelerating
    Wait(500ms);
    EXPECT_FALSE(Running());
    EXPECT_EQ(Signed(24), 0);
    EXPECT_EQ(store->Word(2), 0);
}

TEST_F(DriveTest, FreeWheelStopCutsTheOutputAtOnce) {
    Write(18, kSetpointModbus | kCommandsModbus);
    Write(27, kForward);
    Wait(1000ms);
    ASSERT_GT(Signed(24), 0);
    Write(27, 0);
    EXPECT_FALSE(Running());
    EXPECT_EQ(Signed(24), 0);
    EXPECT_EQ(store->Word(25), 0);
}

struct VfPoint {
    uint16_t Setpoint; // 0.1 Hz
    uint16_t Volts;
};

class VfCurveTest : public DriveTest, public ::testing::WithParamInterface<VfPoint> {};

// Factory curve of the 400 V class: 8 V at 0 Hz, 48 V at 5.0 Hz, 400 V at
// 50.0 Hz and above.
TEST_P(VfCurveTest, MotorVoltageFollowsTheCurve) {
    Write(15, GetParam().Setpoint);
    Write(27, kForward);
    Wait(5000ms);
    EXPECT_EQ(Signed(24), GetParam().Setpoint);
    EXPECT_EQ(store->Word(25), GetParam().Volts);
    EXPECT_EQ(store->Word(1003), GetParam().Volts);
}

INSTANTIATE_TEST_SUITE_P(Points, VfCurveTest,
                         ::testing::Values(VfPoint{25, 28}, VfPoint{50, 48}, VfPoint{275, 224},
                                           VfPoint{500, 400}, VfPoint{800, 400}));

TEST_F(DriveTest, ReverseGivesNegativeFrequencyAndStatusBit) {
    Write(27, kReverse);
    Wait(5000ms);
    EXPECT_EQ(Signed(24), -500);
    EXPECT_EQ(Signed(1002), -500);
    EXPECT_EQ(store->Word(3) & 0x02, 0x02);
    EXPECT_EQ(store->Word(25), 400);
}

TEST_F(DriveTest, AnalogReferenceSetsTheFrequencyWithinMinAndMax) {
    Write(18, kRampStop | kCommandsModbus);
    Write(13, 100);          // 10.0 Hz
    Write(14, 900);          // 90.0 Hz
    store->SetWord(21, 250); // a quarter of the span
    Write(27, kForward);
    Wait(3000ms);
    EXPECT_EQ(Signed(24), 300);
}

TEST_F(DriveTest, SetpointIsClampedToMinAndMax) {
    Write(14, 400);
    Write(16, 10);
    Write(15, 600);
    Write(27, kForward);
    Wait(3000ms);
    EXPECT_EQ(Signed(24), 400);
}

TEST_F(DriveTest, HardwareInputsCommandWhenControlSaysSo) {
    Write(18, kRampStop | kSetpointModbus);
    Write(27, kForward);
    Wait(500ms);
    EXPECT_FALSE(Running()) << "software inputs must be ignored";
    Write(1, kForward);
    Wait(500ms);
    EXPECT_TRUE(Running());
}

TEST_F(DriveTest, MissingKeepAliveRaisesCommunicationLostAndStops) {
    Write(27, kForward);
    Wait(4900ms);
    EXPECT_TRUE(Running());
    Wait(300ms);
    EXPECT_FALSE(Running());
    EXPECT_EQ(store->Word(2), kCommLost);
    EXPECT_EQ(store->Word(3) & 0x20, 0x20);
    EXPECT_EQ(Signed(24), 0);
}

TEST_F(DriveTest, KeepAliveWritesKeepTheDriveRunning) {
    Write(27, kForward);
    for (int i = 0; i < 8; ++i) {
        Wait(2500ms);
        Write(29, 10000);
    }
    EXPECT_TRUE(Running());
    EXPECT_EQ(store->Word(2), 0);
}

// The watch takes the time last written to 29, reloaded by every write.
TEST_F(DriveTest, KeepAliveTimeOutIsTheWrittenTime) {
    struct Case {
        uint16_t TimeoutMs;
        std::chrono::milliseconds StillRunningAt;
        std::chrono::milliseconds TrippedBy; // 0: never trips
    };
    const Case cases[] = {
        {10000, 9900ms, 10200ms},
        {1000, 900ms, 1200ms},
        {0, 30000ms, 0ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.TimeoutMs);
        PowerUp(0x0000);
        Write(29, c.TimeoutMs);
        Write(27, kForward);
        Wait(c.StillRunningAt);
        EXPECT_TRUE(Running());
        if (c.TrippedBy.count() == 0)
            continue;
        Wait(c.TrippedBy - c.StillRunningAt);
        EXPECT_FALSE(Running());
        EXPECT_EQ(store->Word(2), kCommLost);
    }
}

TEST_F(DriveTest, KeepAliveWriteReloadsTheWatchWithTheNewTime) {
    Write(29, 0);
    Write(27, kForward);
    Wait(8000ms);
    Write(29, 2000); // the watch starts now, with the new time
    Wait(1900ms);
    EXPECT_TRUE(Running());
    Wait(300ms);
    EXPECT_EQ(store->Word(2), kCommLost);
}

TEST_F(DriveTest, HardwareCommandsNeedNoKeepAlive) {
    Write(18, kRampStop | kSetpointModbus);
    Write(1, kForward);
    Wait(20000ms);
    EXPECT_TRUE(Running());
}

TEST_F(DriveTest, ResetMovesCurrentFaultsToPreviousWord) {
    Write(27, kForward);
    Wait(5500ms);
    ASSERT_EQ(store->Word(2), kCommLost);
    EXPECT_EQ(store->Word(26), 0);
    Write(27, kReset);
    EXPECT_EQ(store->Word(2), 0);
    EXPECT_EQ(store->Word(26), kCommLost);
    Write(27, 0);
    Write(27, kReset); // nothing to move: the previous word stays
    EXPECT_EQ(store->Word(26), kCommLost);
}

TEST_F(DriveTest, EdgeTriggeredResetNeedsARisingEdge) {
    Write(18, kRampStop | kSetpointModbus | kCommandsModbus | kResetEdge);
    Write(27, kForward | kReset);
    Wait(5500ms);
    ASSERT_EQ(store->Word(2), kCommLost) << "a held reset input must not clear a new fault";
    Write(27, 0);
    Write(27, kReset);
    EXPECT_EQ(store->Word(2), 0);
}

TEST_F(DriveTest, LevelEnableRestartsAfterResetEdgeEnableDoesNot) {
    Write(27, kForward);
    Wait(5500ms);
    Write(27, kForward | kReset);
    Write(27, kForward);
    Wait(200ms);
    EXPECT_TRUE(Running()) << "level-triggered enable restarts";

    Write(18, kRampStop | kSetpointModbus | kCommandsModbus | kEnableEdge);
    Wait(5500ms);
    ASSERT_EQ(store->Word(2), kCommLost);
    Write(27, kForward | kReset);
    Write(27, kForward);
    Wait(200ms);
    EXPECT_FALSE(Running()) << "edge-triggered enable waits for a new edge";
    Write(27, 0);
    Write(27, kForward);
    Wait(200ms);
    EXPECT_TRUE(Running());
}

TEST_F(DriveTest, OverCurrentTripsAfterTheMaximumTime) {
    // Start voltage as high as the boost: far too much flux at low speed.
    Write(8, 300);
    Write(9, 300);
    Write(15, 50);
    Write(29, 10000);
    Write(27, kForward);
    Wait(1900ms);
    EXPECT_TRUE(Running());
    EXPECT_GT(store->Physical(23), store->Physical(6));
    Wait(300ms);
    EXPECT_FALSE(Running());
    EXPECT_EQ(store->Word(2), 1 << 5);
}

TEST_F(DriveTest, FastDecelerationRaisesOverVoltage) {
    PowerUp(0x0001); // 230 V class: brake level 400 V
    Write(27, kForward);
    for (int i = 0; i < 4; ++i) {
        Wait(1000ms);
        Write(29, 10000);
    }
    Write(17, 1); // 0.1 s for 100 Hz
    Write(27, 0);
    Wait(200ms);
    EXPECT_EQ(store->Word(2), 1 << 0);
}

TEST_F(DriveTest, SlowDecelerationKeepsTheBusBelowTheBrakeLevel) {
    PowerUp(0x0001);
    Write(27, kForward);
    Wait(4000ms);
    Write(29, 10000);
    Write(27, 0);
    Wait(4000ms);
    EXPECT_EQ(store->Word(2), 0);
    EXPECT_FALSE(Running());
}

TEST_F(DriveTest, MainVoltageAboveTheSupplyRaisesUnderVoltageOnStart) {
    PowerUp(0x0001); // 230 V supply: 325 V on the bus
    Write(4, 400);   // expects 400 V: under-voltage level 424 V
    Write(27, kForward);
    EXPECT_FALSE(Running());
    EXPECT_EQ(store->Word(2), 1 << 1);
}

TEST_F(DriveTest, InvalidParametersRefuseTheStart) {
    Write(13, 600);
    Write(14, 500);
    Write(27, kForward);
    EXPECT_FALSE(Running());
    EXPECT_EQ(store->Word(2), 1 << 8);
    ASSERT_TRUE(drive->InvalidParameter().has_value());
}

TEST_F(DriveTest, FactorySettingsAreValidForEveryTabledSize) {
    for (uint16_t size : {0x0000, 0x0001, 0x0010, 0x0011, 0x0100, 0x0111}) {
        PowerUp(size);
        EXPECT_FALSE(drive->InvalidParameter().has_value()) << std::hex << size;
    }
    PowerUp(0x0002);
    EXPECT_TRUE(drive->InvalidParameter().has_value());
}

TEST_F(DriveTest, LiveValuesAreMirroredInTheScopeSamples) {
    Write(27, kForward);
    Wait(1500ms);
    EXPECT_EQ(store->Word(1000), store->Word(22));
    EXPECT_EQ(store->Word(1001), store->Word(23));
    EXPECT_EQ(store->Word(1002), store->Word(24));
    EXPECT_EQ(store->Word(1003), store->Word(25));
    EXPECT_GT(store->Word(23), 0);
}

TEST_F(DriveTest, SameSeedGivesTheSameRegisters) {
    const auto runWith = [this](uint64_t seed) {
        store = std::make_unique<TnvSimRegisterStore>(TnvSimDefinitions::Load(DefinitionsFile()));
        drive = std::make_unique<TnvSimDrive>(*store, 0, seed);
        drive->LoadFactoryDefaults(2);
        drive->PowerUp();
        Write(27, kForward);
        std::vector<uint16_t> trace;
        for (int i = 0; i < 20; ++i) {
            drive->Advance(kSample);
            trace.push_back(store->Word(22));
            trace.push_back(store->Word(23));
        }
        return trace;
    };
    EXPECT_EQ(runWith(11), runWith(11));
    EXPECT_NE(runWith(11), runWith(12));
}

} // namespace
