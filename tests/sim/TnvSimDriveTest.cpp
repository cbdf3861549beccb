#include "TnvSimDrive.h"
#include "SimTestData.h"
#include "TnvSimDefinitions.h"
#include "TnvSimRegisterStore.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The drive on the project's definitions, stepped in samples of 100 ms (the
// terminal's cycle) through a scenario of space-separated steps:
//   wI=V  a client writes V to index I      sI=V  the register alone takes V
//   tMS   time passes                       zS    a new drive of size code S
//   p     power up again                    run / stop  the running bit
//   eI=V  index I holds V (eI&M=V: its bits M)
// Registers: 2 faults (1 over-voltage, 2 under-voltage, 32 over-current,
// 256 invalid parameter, 4096 communication lost), 3 status (1 running,
// 2 reverse, 4 at setpoint, 16 decelerating, 32 fault), 18 control mode
// (1 ramp stop, 2 setpoint and 4 commands from Modbus, 16 edge enable,
// 32 edge reset), 27 and 1 software and hardware inputs (1 forward,
// 2 reverse, 4 reset), 29 keep-alive time-out in ms.
const std::pair<const char*, const char*> kScenarios[] = {
    {"PowerUpTakesStoredCopiesAndSize",
     "s42=333 s43=25 p e15=333 e16=25 e20=460 e49=0 e3=0 z0x0111 e20=240 e49=0x0111 e4=230 e6=250"},
    {"RampReachesTheSetpointInItsTime",
     "w14=1000 w16=20 w15=500 w29=10000 w27=1 t500 e24=250 t500 e24=500 e3&5=5 e1002=500"},
    {"DecelerationStopsAtZero", "w27=1 t3000 w17=10 w27=0 t100 run e3&16=16 t500 stop e24=0 e2=0"},
    {"FreeWheelStopCutsTheOutputAtOnce", "w18=6 w27=1 t1000 w27=0 stop e24=0 e25=0"},
    {"Reverse", "w27=2 t5000 e24=-500 e1002=-500 e3&2=2 e25=400"},
    {"AnalogReferenceWithinMinAndMax", "w18=5 w13=100 w14=900 s21=250 w27=1 t3000 e24=300"},
    {"SetpointClampedToMax", "w14=400 w16=10 w15=600 w27=1 t3000 e24=400"},
    {"HardwareInputsCommandWhenControlSaysSo", "w18=3 w27=1 t500 stop w1=1 t500 run"},
    {"HardwareCommandsNeedNoKeepAlive", "w18=3 w1=1 t20000 run"},
    {"MissingKeepAliveStops", "w27=1 t4900 run t300 stop e2=4096 e3&32=32 e24=0"},
    {"KeepAliveZeroSwitchesTheWatchOff", "w29=0 w27=1 t30000 run"},
    {"KeepAliveWriteReloadsTheWatch", "w29=0 w27=1 t8000 w29=2000 t1900 run t300 e2=4096"},
    {"ResetMovesFaultsToThePreviousWord",
     "w27=1 t5500 e2=4096 e26=0 w27=4 e2=0 e26=4096 w27=0 w27=4 e26=4096"},
    {"EdgeResetNeedsARisingEdge", "w18=39 w27=5 t5500 e2=4096 w27=0 w27=4 e2=0"},
    {"LevelEnableRestartsAfterReset", "w27=1 t5500 w27=5 w27=1 t200 run"},
    {"EdgeEnableWaitsForANewEdge",
     "w18=23 w27=1 t5500 e2=4096 w27=5 w27=1 t200 stop w27=0 w27=1 t200 run"},
    // Start voltage as high as the boost: far too much flux at low speed.
    {"OverCurrentTripsAfterTheMaximumTime",
     "w8=300 w9=300 w15=50 w29=10000 w27=1 t1900 run t300 stop e2=32"},
    {"FastDecelerationRaisesOverVoltage",
     "z1 w27=1 t1000 w29=10000 t1000 w29=10000 t1000 w29=10000 t1000 w29=10000 w17=1 w27=0 "
     "t200 e2=1"},
    {"SlowDecelerationKeepsTheBusBelowTheBrakeLevel",
     "z1 w27=1 t4000 w29=10000 w27=0 t4000 e2=0 stop"},
    {"MainVoltageAboveTheSupplyIsUnderVoltage", "z1 w4=400 w27=1 stop e2=2"},
    {"InvalidParametersRefuseTheStart", "w13=600 w14=500 w27=1 stop e2=256"},
    // The factory V/F curve of the 400 V class: 8 V at 0 Hz, 48 V at 5.0 Hz, 400 V from 50.0 Hz.
    {"VfCurve2.5Hz", "w15=25 w27=1 t5000 e24=25 e25=28 e1003=28"},
    {"VfCurve27.5Hz", "w15=275 w27=1 t5000 e24=275 e25=224"},
    {"VfCurve80Hz", "w15=800 w27=1 t5000 e24=800 e25=400"},
};

class DriveTest : public ::testing::Test {
protected:
    void PowerUp(uint16_t sizeCode) {
        store = std::make_unique<TnvSimRegisterStore>(TnvSimDefinitions::Load(DefinitionsFile()));
        drive = std::make_unique<TnvSimDrive>(*store, sizeCode, 7);
        drive->LoadFactoryDefaults(2);
        drive->PowerUp();
    }
    static uint16_t Number(const QString& text) {
        return static_cast<uint16_t>(text.toInt(nullptr, 0)); // 0x for hex
    }
    void Step(const QString& step) {
        const QString arg = step.mid(1);
        const uint32_t index = arg.section(QRegularExpression("[=&]"), 0, 0).toUInt();
        const uint16_t value = Number(arg.section('=', 1));
        if (step == "run" || step == "stop")
            EXPECT_EQ(store->Word(3) & 1, step == "run" ? 1 : 0);
        else if (step[0] == 'w' || step[0] == 's') {
            store->SetWord(index, value);
            if (step[0] == 'w')
                drive->ParameterWritten(index);
        } else if (step[0] == 't')
            for (int t = 0; t < arg.toInt(); t += 100)
                drive->Advance(std::chrono::milliseconds(100));
        else if (step[0] == 'z')
            PowerUp(Number(arg));
        else if (step[0] == 'p')
            drive->PowerUp();
        else if (step[0] == 'e') {
            const uint16_t mask =
                arg.contains('&') ? Number(arg.section('&', 1).section('=', 0, 0)) : 0xFFFF;
            EXPECT_EQ(store->Word(index) & mask, value & mask);
        } else
            FAIL() << "unknown step";
    }
    std::unique_ptr<TnvSimRegisterStore> store;
    std::unique_ptr<TnvSimDrive> drive;
};

TEST_F(DriveTest, ScenariosEndAsTheDriveWould) {
    for (const auto& [name, steps] : kScenarios) {
        SCOPED_TRACE(name);
        PowerUp(0x0000);
        for (const QString& step : QString(steps).split(' ')) {
            SCOPED_TRACE(step.toStdString());
            Step(step);
        }
    }
}

TEST_F(DriveTest, FactorySettingsAreValidForEveryTabledSize) {
    for (uint16_t size : {0x0000, 0x0001, 0x0010, 0x0011, 0x0100, 0x0111}) {
        PowerUp(size);
        EXPECT_FALSE(drive->InvalidParameter().has_value()) << std::hex << size;
    }
    PowerUp(0x0002);
    EXPECT_TRUE(drive->InvalidParameter().has_value());
}

} // namespace
