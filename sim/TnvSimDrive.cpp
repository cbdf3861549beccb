#include "TnvSimDrive.h"

#include "NvParIndex.h"
#include "TnvSimRegisterStore.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace nv::par;

// Control mode bits (index 18).
constexpr uint16_t kBrakeRamp = 1 << 0;
constexpr uint16_t kSetpointModbus = 1 << 1;
constexpr uint16_t kCommandsModbus = 1 << 2;
constexpr uint16_t kEnableDirection = 1 << 3;
constexpr uint16_t kEnableEdge = 1 << 4;
constexpr uint16_t kResetEdge = 1 << 5;

// Status bits (index 3).
constexpr uint16_t kStRunning = 1 << 0;
constexpr uint16_t kStReverse = 1 << 1;
constexpr uint16_t kStAtSetpoint = 1 << 2;
constexpr uint16_t kStAccelerating = 1 << 3;
constexpr uint16_t kStDecelerating = 1 << 4;
constexpr uint16_t kStFault = 1 << 5;

constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kUnderVoltageRatio = 0.75;
constexpr double kSupplyDropPerAmp = 0.5;    // V of DC bus per A of output current
constexpr double kRegenPerHzPerSecond = 0.6; // V of DC bus per Hz/s of braking
constexpr double kMagnetising = 0.3;         // share of the nominal current at rated flux
constexpr double kLoadAtBase = 0.8;          // share of the nominal current at base frequency
constexpr double kAccelCurrent = 0.5; // share of the nominal current per (base frequency / s)

unsigned VoltageClass(uint16_t size) {
    return size & 0xF;
}
unsigned CurrentClass(uint16_t size) {
    return (size >> 4) & 0xF;
}
unsigned FrequencyClass(uint16_t size) {
    return (size >> 8) & 0xF;
}

} // namespace

TnvSimDrive::TnvSimDrive(TnvSimRegisterStore& store, uint16_t sizeCode, uint64_t seed)
    : FStore(store)
    , FSizeCode(sizeCode)
    , FRandom(seed) {}

double TnvSimDrive::MaxVoltage() const {
    switch (VoltageClass(FSizeCode)) {
    case 0:
        return 460.0;
    case 1:
        return 240.0;
    default:
        return 0.0;
    }
}

double TnvSimDrive::MainsVoltage() const {
    return VoltageClass(FSizeCode) == 1 ? 230.0 : 400.0;
}

double TnvSimDrive::NominalCurrent() const {
    const unsigned c = CurrentClass(FSizeCode);
    return c == 0 ? 8.0 : c == 1 ? 16.0 : 0.0;
}

double TnvSimDrive::MaxCurrent() const {
    const unsigned c = CurrentClass(FSizeCode);
    return c == 0 ? 12.0 : c == 1 ? 25.0 : 0.0;
}

double TnvSimDrive::MaxFrequency() const {
    const unsigned c = FrequencyClass(FSizeCode);
    return c == 0 ? 128.0 : c == 1 ? 400.0 : 0.0;
}

double TnvSimDrive::BrakeLevel() const {
    return FStore.Physical(kDriveVoltage) <= 300.0 ? 400.0 : 670.0;
}

double TnvSimDrive::DcNominal() const {
    return MainsVoltage() * kSqrt2;
}

void TnvSimDrive::LoadFactoryDefaults(uint8_t slaveAddress) {
    const double mains = MainsVoltage();
    const auto set = [this](uint32_t index, double value) {
        FStore.SetPhysical(index, value);
        if (const auto* par = FStore.Find(index); par && par->StoredIndex)
            FStore.SetWords(*par->StoredIndex, FStore.Words(index));
    };
    set(kSlave, slaveAddress);
    set(kMainVoltage, mains);
    set(kNominalCurrent, NominalCurrent());
    set(kMaxCurrent, MaxCurrent());
    set(kMaxCurrentTime, 2);
    set(kStartVoltage, std::round(mains * 0.02));
    set(kBoostVoltage, std::round(mains * 0.12));
    set(kBaseVoltage, mains);
    set(kBoostFrequency, 5.0);
    set(kBaseFrequency, 50.0);
    set(kMinFrequency, 0.0);
    set(kMaxFrequency, std::min(100.0, MaxFrequency()));
    set(kSetpoint, 50.0);
    set(kAccelTime, 5.0);
    set(kDecelTime, 5.0);
    set(kControlMode, kBrakeRamp | kSetpointModbus | kCommandsModbus);
    set(kPwmIndex, 0);
    set(kSoftwareInputs, 0);
    set(kHardwareInputs, 0);
    set(kAnalogReference, 0.5);
    set(kKeepAlive, kDefaultKeepAliveMs);
}

void TnvSimDrive::PowerUp() {
    for (const auto& par : FStore.Parameters())
        if (par.StoredIndex)
            FStore.SetWords(par.Index, FStore.Words(*par.StoredIndex));
    FStore.SetPhysical(kDriveVoltage, MaxVoltage());
    FStore.SetWord(kSizeCode, FSizeCode);
    FRunning = FStopping = false;
    FFrequency = FRate = FVoltage = FCurrent = FOverCurrentTime = 0.0;
    FDcBus = DcNominal();
    FFaults = FPreviousFaults = 0;
    FKeepAliveAt = FNow;
    // An input that is already high at power-up is no rising edge.
    const uint16_t control = FStore.Word(kControlMode);
    FInputs = FStore.Word(control & kCommandsModbus ? kSoftwareInputs : kHardwareInputs);
    EvaluateCommands();
    Publish();
}

void TnvSimDrive::Advance(std::chrono::microseconds dt) {
    if (dt.count() <= 0) {
        EvaluateCommands();
        Publish();
        return;
    }
    while (dt.count() > 0) {
        const auto step = std::min(dt, kMaxStep);
        FNow += step;
        dt -= step;
        Step(std::chrono::duration<double>(step).count());
    }
}

bool TnvSimDrive::IsBenchInput(uint32_t index) const {
    return index == kHardwareInputs || index == kAnalogReference;
}

void TnvSimDrive::ParameterWritten(uint32_t index) {
    if (index == kKeepAlive)
        FKeepAliveAt = FNow;
    if (index == kControlMode || index == kSoftwareInputs || index == kHardwareInputs)
        EvaluateCommands();
    Publish();
}

void TnvSimDrive::Step(double dt) {
    EvaluateCommands();
    const double target = FRunning && !FStopping ? FDirection * Setpoint() : 0.0;
    MoveFrequency(target, dt);
    if (FStopping && FFrequency == 0.0) {
        FRunning = false;
        FStopping = false;
    }
    UpdateElectrics(dt);
    if (FRunning)
        CheckRunningFaults(dt);
    Publish();
}

double TnvSimDrive::Setpoint() const {
    const double fMin = FStore.Physical(kMinFrequency);
    const double fMax = FStore.Physical(kMaxFrequency);
    double setpoint;
    if (FStore.Word(kControlMode) & kSetpointModbus)
        setpoint = FStore.Physical(kSetpoint);
    else
        setpoint = fMin + std::clamp(FStore.Physical(kAnalogReference), 0.0, 1.0) * (fMax - fMin);
    return std::max(0.0, std::min(std::max(setpoint, fMin), fMax));
}

// Ramps towards target: the accel time takes the output from 0 to the maximum
// frequency (14), the decel time back; a reversal passes through 0.
void TnvSimDrive::MoveFrequency(double target, double dt) {
    const double span = std::max(FStore.Physical(kMaxFrequency), 1.0);
    const double rateUp = span / std::max(FStore.Physical(kAccelTime), 0.01);
    const double rateDown = span / std::max(FStore.Physical(kDecelTime), 0.01);
    const double before = FFrequency;
    const bool crossing = FFrequency != 0.0 && (target * FFrequency < 0.0);
    const double goal = crossing ? 0.0 : target;
    const bool growing = std::abs(goal) > std::abs(FFrequency);
    const double step = (growing ? rateUp : rateDown) * dt;
    if (std::abs(goal - FFrequency) <= step)
        FFrequency = goal;
    else
        FFrequency += goal > FFrequency ? step : -step;
    FRate = dt > 0.0 ? (std::abs(FFrequency) - std::abs(before)) / dt : 0.0;
}

double TnvSimDrive::VfVoltage(double frequency) const {
    const double f = std::abs(frequency);
    const double v0 = FStore.Physical(kStartVoltage);
    const double v1 = FStore.Physical(kBoostVoltage);
    const double v2 = FStore.Physical(kBaseVoltage);
    const double f1 = FStore.Physical(kBoostFrequency);
    const double f2 = FStore.Physical(kBaseFrequency);
    double v;
    if (f <= f1)
        v = f1 > 0.0 ? v0 + (v1 - v0) * f / f1 : v1;
    else if (f <= f2)
        v = f2 > f1 ? v1 + (v2 - v1) * (f - f1) / (f2 - f1) : v2;
    else
        v = v2;
    return std::clamp(v, 0.0, MaxVoltage());
}

// Current is the vector sum of a magnetising part, which grows with the
// square of the flux (V/f against rated) so that too much boost overloads
// the drive at low speed, and a torque part from a fan-like load plus the
// acceleration. The DC bus sags with the load and rises while braking.
void TnvSimDrive::UpdateElectrics(double) {
    if (!FRunning) {
        FVoltage = FCurrent = 0.0;
        FDcBus = DcNominal() + Noise(0.5);
        return;
    }
    const double f = std::abs(FFrequency);
    const double nominal = FStore.Physical(kNominalCurrent) > 0.0 ? FStore.Physical(kNominalCurrent)
                                                                  : NominalCurrent();
    const double fBase =
        FStore.Physical(kBaseFrequency) > 0.0 ? FStore.Physical(kBaseFrequency) : 50.0;
    const double vBase =
        FStore.Physical(kBaseVoltage) > 0.0 ? FStore.Physical(kBaseVoltage) : MainsVoltage();
    FVoltage = VfVoltage(f);
    const double flux = (FVoltage / std::max(f, 1.0)) / (vBase / fBase);
    const double magnetising = kMagnetising * nominal * flux * flux;
    const double load = kLoadAtBase * nominal * std::pow(std::min(f / fBase, 1.5), 2.0);
    const double accel = kAccelCurrent * nominal * std::max(FRate, 0.0) / fBase;
    // The inverter limits its current to twice the drive's maximum.
    FCurrent = std::min(std::hypot(magnetising, load + accel) * (1.0 + Noise(0.01)),
                        2.0 * (MaxCurrent() > 0.0 ? MaxCurrent() : nominal));
    const double regen = kRegenPerHzPerSecond * std::max(-FRate, 0.0);
    FDcBus = DcNominal() - kSupplyDropPerAmp * FCurrent + regen + Noise(0.5);
}

void TnvSimDrive::CheckRunningFaults(double dt) {
    if (FDcBus > BrakeLevel())
        return RaiseFault(
            fOverVoltage,
            QStringLiteral("DC bus %1 V above %2 V").arg(FDcBus, 0, 'f', 0).arg(BrakeLevel()));
    const double under = FStore.Physical(kMainVoltage) * kSqrt2 * kUnderVoltageRatio;
    if (FDcBus < under)
        return RaiseFault(
            fUnderVoltage,
            QStringLiteral("DC bus %1 V below %2 V").arg(FDcBus, 0, 'f', 0).arg(under, 0, 'f', 0));
    FOverCurrentTime = FCurrent > FStore.Physical(kMaxCurrent) ? FOverCurrentTime + dt : 0.0;
    if (FOverCurrentTime > FStore.Physical(kMaxCurrentTime))
        return RaiseFault(fOverCurrent, QStringLiteral("current %1 A above %2 A for %3 s")
                                            .arg(FCurrent, 0, 'f', 1)
                                            .arg(FStore.Physical(kMaxCurrent), 0, 'f', 1)
                                            .arg(FStore.Physical(kMaxCurrentTime)));
    const std::chrono::milliseconds keepAlive{FStore.Word(kKeepAlive)};
    if ((FStore.Word(kControlMode) & kCommandsModbus) && keepAlive.count() > 0 &&
        FNow - FKeepAliveAt > keepAlive)
        RaiseFault(fCommLost, QStringLiteral("no keep-alive for %1 ms")
                                  .arg(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           FNow - FKeepAliveAt)
                                           .count()));
}

// Inputs are the software word (27) or the hardware word (1); bit 0 and 1
// run the drive (forward / reverse, or enable + direction), bit 2 resets.
void TnvSimDrive::EvaluateCommands() {
    const uint16_t control = FStore.Word(kControlMode);
    const uint16_t inputs =
        FStore.Word(control & kCommandsModbus ? kSoftwareInputs : kHardwareInputs);
    const uint16_t rising = inputs & ~FInputs;
    FInputs = inputs;

    if (control & kResetEdge ? (rising & 4) != 0 : (inputs & 4) != 0)
        Reset();

    bool request;
    bool requestRose;
    int direction;
    if (control & kEnableDirection) {
        request = (inputs & 1) != 0;
        requestRose = (rising & 1) != 0;
        direction = inputs & 2 ? -1 : 1;
    } else {
        const bool forward = (inputs & 1) != 0;
        const bool reverse = (inputs & 2) != 0;
        request = forward != reverse;
        requestRose = request && (rising & 3) != 0;
        direction = forward ? 1 : -1;
    }
    const bool startAllowed = request && (control & kEnableEdge ? requestRose : true);

    if (FRunning && !FStopping) {
        if (request)
            FDirection = direction;
        else
            Stop();
    } else if (FRunning && FStopping) {
        if (startAllowed) {
            FStopping = false;
            FDirection = direction;
        }
    } else if (startAllowed && FFaults == 0) {
        Start(direction);
    }
}

void TnvSimDrive::Start(int direction) {
    if (const auto reason = InvalidParameter())
        return RaiseFault(fInvalid, *reason);
    const double under = FStore.Physical(kMainVoltage) * kSqrt2 * kUnderVoltageRatio;
    if (DcNominal() < under)
        return RaiseFault(fUnderVoltage, QStringLiteral("DC bus %1 V below %2 V")
                                             .arg(DcNominal(), 0, 'f', 0)
                                             .arg(under, 0, 'f', 0));
    FRunning = true;
    FStopping = false;
    FDirection = direction;
    FKeepAliveAt = FNow;
    FOverCurrentTime = 0.0;
}

void TnvSimDrive::Stop() {
    if (FStore.Word(kControlMode) & kBrakeRamp) {
        FStopping = true;
        return;
    }
    FRunning = false;
    OutputOff();
}

void TnvSimDrive::OutputOff() {
    FFrequency = FRate = 0.0;
    FVoltage = FCurrent = 0.0;
}

void TnvSimDrive::Reset() {
    if (FFaults == 0)
        return;
    FPreviousFaults = FFaults;
    FFaults = 0;
    FOverCurrentTime = 0.0;
}

void TnvSimDrive::RaiseFault(TFault bit, const QString& reason) {
    const bool isNew = (FFaults & (1u << bit)) == 0;
    FFaults |= static_cast<uint16_t>(1u << bit);
    FRunning = FStopping = false;
    OutputOff();
    if (isNew && OnFault)
        OnFault(bit, reason);
}

std::optional<QString> TnvSimDrive::InvalidParameter() const {
    const auto p = [this](uint32_t i) {
        return FStore.Physical(i);
    };
    const auto w = [this](uint32_t i) {
        return FStore.Word(i);
    };
    if (MaxVoltage() == 0.0 || MaxCurrent() == 0.0 || MaxFrequency() == 0.0)
        return QStringLiteral("size code 0x%1 has no table entry")
            .arg(FSizeCode, 4, 16, QChar('0'));
    if (w(kSlave) < 1 || w(kSlave) > 247)
        return QStringLiteral("slave address %1 outside 1 to 247").arg(w(kSlave));
    if (!(p(kStartVoltage) <= p(kBoostVoltage) && p(kBoostVoltage) <= p(kBaseVoltage) &&
          p(kBaseVoltage) <= MaxVoltage()))
        return QStringLiteral("V/F voltages (8 <= 9 <= 10 <= 20) out of order");
    if (!(p(kBoostFrequency) <= p(kBaseFrequency) && p(kBaseFrequency) > 0.0 &&
          p(kBaseFrequency) <= MaxFrequency()))
        return QStringLiteral("V/F frequencies (11 <= 12 <= drive maximum) out of order");
    if (!(p(kMinFrequency) < p(kMaxFrequency) && p(kMaxFrequency) <= MaxFrequency()))
        return QStringLiteral("frequency range (13 < 14 <= drive maximum) out of order");
    if (!(p(kNominalCurrent) > 0.0 && p(kNominalCurrent) <= p(kMaxCurrent) &&
          p(kMaxCurrent) <= MaxCurrent()))
        return QStringLiteral("currents (0 < 5 <= 6 <= drive maximum) out of order");
    if (p(kMaxCurrentTime) < 1.0 || p(kMaxCurrentTime) > 5.0)
        return QStringLiteral("maximum time (7) outside 1 to 5 s");
    for (uint32_t ramp : {kAccelTime, kDecelTime})
        if (w(ramp) < 1 || w(ramp) > 3000)
            return QStringLiteral("ramp time (%1) outside 1 to 3000").arg(ramp);
    if (w(kPwmIndex) > 3)
        return QStringLiteral("PWM index (19) above 3");
    return std::nullopt;
}

double TnvSimDrive::Noise(double amplitude) {
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    return dist(FRandom);
}

void TnvSimDrive::Publish() {
    uint16_t status = 0;
    if (FRunning)
        status |= kStRunning;
    if (FRunning && FDirection < 0)
        status |= kStReverse;
    if (FRunning && !FStopping && FFrequency == FDirection * Setpoint())
        status |= kStAtSetpoint;
    if (FRate > 0.0)
        status |= kStAccelerating;
    if (FRate < 0.0)
        status |= kStDecelerating;
    if (FFaults)
        status |= kStFault;
    FStore.SetWord(kStatus, status);
    FStore.SetWord(kFaults, FFaults);
    FStore.SetWord(kPreviousFaults, FPreviousFaults);
    FStore.SetPhysical(kDcBus, FDcBus);
    FStore.SetPhysical(kPhaseCurrent, FCurrent);
    FStore.SetPhysical(kOutputFrequency, FFrequency);
    FStore.SetPhysical(kMotorVoltage, FVoltage);
    FStore.SetPhysical(kScopeDcBus, FDcBus);
    FStore.SetPhysical(kScopeCurrent, FCurrent);
    FStore.SetPhysical(kScopeFrequency, FFrequency);
    FStore.SetPhysical(kScopeVoltage, FVoltage);
}
