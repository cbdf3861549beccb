#pragma once

#include <cstdint>
#include <span>

class QString;
class TPARModule;
class TnvParValue;

// The parameter update dispatcher: gives every value, by its index, the
// reactions through which received values reach the windows, local edits are
// clamped to limits that depend on other parameters and the drive's size,
// some edits are sent at once, and completed writes are logged. One table
// (in the .cpp) says for every index what happens on reception, on a local
// change, on a completed write, and what the dialogs, the V/F chart and the
// scope show of the value.
//
// GUI thread only. Reactions re-enter each other: one may set its own or
// another value, whose reaction runs before the first one continues.
class TParDispatcher {
public:
    explicit TParDispatcher(TPARModule& module);

    // Creates the values of the start-up categories; a category that yields
    // no values is logged and the others go on.
    void CreateValues();
    // Connects the reactions of value (the value set's OnAddParValue).
    void Equip(TnvParValue* value);
    // Shows every value in the windows that show it (a window created after
    // the values, or shown again).
    void ShowAll();

    using TEvent = void (TParDispatcher::*)(TnvParValue* v, bool changed);
    using TAction = void (TParDispatcher::*)(TnvParValue* v);
    // One row of the table: the indices First to Last and their reactions;
    // none means the default receive, no change reaction, the write report
    // and nothing to show.
    struct TReaction {
        std::uint32_t First;
        std::uint32_t Last;
        TEvent Receive;
        TEvent Change;
        TAction Written;
        TAction Show;
    };

private:
    // The table, and its row for index (none when the index has no row).
    static std::span<const TReaction> Reactions();
    static const TReaction* Find(std::uint32_t index);

    // Events of every value.
    void DefaultReceive(TnvParValue* v, bool changed);
    void WriteReport(TnvParValue* v);
    void ExchangeErrorReport(TnvParValue* v, int code);

    // Slave address, working (0), stored (30) and local (10000) copies.
    void SlaveReceived(TnvParValue* v, bool changed);
    void SlaveEdited(TnvParValue* v, bool changed);
    void RemoteSlaveWritten(TnvParValue* v);
    void StoredSlaveReceived(TnvParValue* v, bool changed);
    void StoredSlaveWritten(TnvParValue* v);
    void LocalSlaveEdited(TnvParValue* v, bool changed);
    void ShowSlave(TnvParValue* v);

    // Live state of the main window and the scope.
    void HardwareInputs(TnvParValue* v, bool changed);
    void CurrentFaults(TnvParValue* v, bool changed);
    void PreviousFaults(TnvParValue* v, bool changed);
    void SystemMode(TnvParValue* v, bool changed);
    void LiveValue(TnvParValue* v, bool changed);
    void SoftwareInputs(TnvParValue* v, bool changed);
    void SendOnChange(TnvParValue* v, bool changed);
    void ScopeFeed(TnvParValue* v, bool changed);

    // Edited values and their limits.
    void PlateDataReceived(TnvParValue* v, bool changed);
    void PlateDataLimits(TnvParValue* v, bool changed);
    void PlateDataShow(TnvParValue* v);
    void VFVoltageReceived(TnvParValue* v, bool changed);
    void VFVoltageLimits(TnvParValue* v, bool changed);
    void VFFrequencyReceived(TnvParValue* v, bool changed);
    void VFFrequencyLimits(TnvParValue* v, bool changed);
    void VFTrackBar(TnvParValue* v);
    void VFShow(TnvParValue* v);
    void SetpointReceived(TnvParValue* v, bool changed);
    void SetpointLimits(TnvParValue* v, bool changed);
    void SetpointToMainWindow(TnvParValue* v);
    void RampCheck(TnvParValue* v, bool changed);
    void RampShow(TnvParValue* v);
    void ControlModeReceived(TnvParValue* v, bool changed);
    void ApplyControlMode(std::uint16_t word);
    void ControlModeShow(TnvParValue* v);
    void PwmIndex(TnvParValue* v, bool changed);
    void PwmShow(TnvParValue* v);
    void DriveVoltageReceived(TnvParValue* v, bool changed);
    void SizeCodeReceived(TnvParValue* v, bool changed);
    void SizeShow(TnvParValue* v);
    void Revalidate(std::uint32_t index);

    // Sets the nearest limit when the word is outside [min, max] (which
    // raises the reaction again) and returns true; false when it passes.
    // A minimum above the maximum settles the value at the maximum.
    static bool Clamp(TnvParValue* v, std::uint16_t min, std::uint16_t max);
    void Log(const QString& line);

    TPARModule& FModule;
};
