#pragma once

#include "TnvSimModel.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>

class TnvSimRegisterStore;

// The behaviour of a KX720 V/F drive on top of its registers. The model keeps
// its own time: it moves only when Advance is called, so a test steps it with
// a simulated clock and the server with the wall clock. With the same seed
// and the same calls it produces the same registers.
//
// Status word (index 3): bit 0 output active (running, also while ramping down
// to a stop), 1 reverse, 2 at setpoint, 3 accelerating, 4 decelerating,
// 5 a fault is latched in the current fault word (index 2).
//
// Faults, each latched into index 2 and stopping the output at once:
// over voltage (0) when the DC bus climbs above the brake level (400 V when
// the drive's maximum voltage is at most 300 V, else 670 V) while ramping
// down; under voltage (1) when it falls below 0.75 of the peak of the
// configured main voltage (index 4); over current (5) when the current stays
// above the maximum current (6) for longer than the maximum time (7);
// invalid parameters (8) on a start with inconsistent settings; communication
// lost (12) when commands come from Modbus and the keep-alive word (29) has
// not been written again within the time it holds, in ms, while running
// (0 switches the watch off).
class TnvSimDrive : public TnvSimModel {
public:
    // The keep-alive time-out the drive starts with, before any write of 29.
    static constexpr uint16_t kDefaultKeepAliveMs = 5000;
    static constexpr std::chrono::microseconds kMaxStep{5000};

    // The drive model works on store; sizeCode is the drive-size code (index 49).
    TnvSimDrive(TnvSimRegisterStore& store, uint16_t sizeCode, uint64_t seed);

    // Writes the factory settings into the working and stored copies.
    void LoadFactoryDefaults(uint8_t slaveAddress);
    // Starts as after switching on: working copies from their stored copies,
    // the size code and the maximum voltage from the size, no fault, stopped.
    void PowerUp();
    // Lets dt of model time pass, in steps of at most kMaxStep.
    void Advance(std::chrono::microseconds dt) override;
    // A client has written the parameter index: inputs and control take effect
    // at once, a keep-alive write restarts the watch.
    void ParameterWritten(uint32_t index) override;
    // The hardware inputs (1) and the analog reference (21).
    bool IsBenchInput(uint32_t index) const override;

    std::chrono::microseconds Now() const override { return FNow; }
    bool IsRunning() const { return FRunning; }
    uint16_t Faults() const { return FFaults; }
    double Frequency() const { return FFrequency; }
    // The first setting that forbids a start, with the reason; none when all fit.
    std::optional<QString> InvalidParameter() const;

    // The drive's tables by size code; 0 where the class has no entry.
    double MaxVoltage() const;     // V: 460 for the 400 V class, 240 for 230 V
    double MainsVoltage() const;   // V (RMS) the simulated supply delivers
    double NominalCurrent() const; // A
    double MaxCurrent() const;     // A
    double MaxFrequency() const;   // Hz
    double BrakeLevel() const;     // V on the DC bus
    // The output voltage of the V/F curve at frequency |f| (Hz).
    double VfVoltage(double frequency) const;

    // Raised on the thread that calls Advance or ParameterWritten when a fault
    // latches: the fault bit and a reason for the operator's log.
    std::function<void(int bit, const QString& reason)> OnFault;

private:
    enum TFault {
        fOverVoltage = 0,
        fUnderVoltage = 1,
        fOverCurrent = 5,
        fInvalid = 8,
        fCommLost = 12
    };
    void Step(double dt);
    void EvaluateCommands();
    double Setpoint() const;
    void MoveFrequency(double target, double dt);
    void UpdateElectrics(double dt);
    void CheckRunningFaults(double dt);
    void Start(int direction);
    void Stop();
    void OutputOff();
    void Reset();
    void RaiseFault(TFault bit, const QString& reason);
    double Noise(double amplitude);
    void Publish();
    double DcNominal() const;

    TnvSimRegisterStore& FStore;
    uint16_t FSizeCode;
    std::mt19937_64 FRandom;
    std::chrono::microseconds FNow{0};
    std::chrono::microseconds FKeepAliveAt{0};
    bool FRunning = false;
    bool FStopping = false;
    int FDirection = 1;
    double FFrequency = 0.0; // Hz, negative in reverse
    double FRate = 0.0;      // Hz/s of the last step, positive while |f| grows
    double FVoltage = 0.0;
    double FCurrent = 0.0;
    double FDcBus = 0.0;
    double FOverCurrentTime = 0.0;
    uint16_t FFaults = 0;
    uint16_t FPreviousFaults = 0;
    uint16_t FInputs = 0;
};
