#pragma once

#include <cstdint>

class QString;
class TPARModule;
class TnvParValue;

// The parameter update dispatcher: gives every value, by its index, the
// reactions through which received values reach the windows, local edits are
// clamped to limits that depend on other parameters and the drive's size,
// some edits are sent at once, and completed writes are logged.
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

private:
    // Events of every value.
    void DefaultReceive(TnvParValue* v);
    void WriteReport(TnvParValue* v);
    void ExchangeErrorReport(TnvParValue* v, int code);
    void EquipByIndex(TnvParValue* v, std::uint32_t index);
    void EquipSlave(TnvParValue* v, std::uint32_t index);
    void EquipStatus(TnvParValue* v, std::uint32_t index);
    void EquipLimited(TnvParValue* v, std::uint32_t index);
    void EquipDrive(TnvParValue* v, std::uint32_t index);

    // Slave address, working (0), stored (30) and local (10000) copies.
    void SlaveReceived(TnvParValue* v);
    void SlaveEdited(TnvParValue* v, bool changed);
    void RemoteSlaveWritten(TnvParValue* v);
    void StoredSlaveWritten(TnvParValue* v);
    void LocalSlaveEdited(TnvParValue* v);

    // Live state of the main window.
    void HardwareInputs(TnvParValue* v, bool changed);
    void CurrentFaults(TnvParValue* v);
    void PreviousFaults(TnvParValue* v);
    void SystemMode();
    void LiveValue(TnvParValue* v, std::uint32_t index);
    void SoftwareInputs(TnvParValue* v);
    void SendOnChange(TnvParValue* v, bool changed);

    // Edited values and their limits.
    void PlateDataReceived(TnvParValue* v, std::uint32_t index);
    void PlateDataLimits(TnvParValue* v, std::uint32_t index);
    void PlateDataShow(TnvParValue* v, std::uint32_t index);
    void VFVoltageReceived(TnvParValue* v);
    void VFVoltageLimits(TnvParValue* v, std::uint32_t index);
    void VFFrequencyReceived(TnvParValue* v, std::uint32_t index);
    void VFFrequencyLimits(TnvParValue* v, std::uint32_t index);
    void VFFrequencyShow(TnvParValue* v, std::uint32_t index);
    void SetpointReceived(TnvParValue* v);
    void SetpointLimits(TnvParValue* v);
    void SetpointShow(TnvParValue* v);
    void RampCheck(TnvParValue* v);
    void ControlModeReceived(TnvParValue* v);
    void ApplyControlMode(std::uint16_t word);
    void PwmIndex(TnvParValue* v, bool changed);
    void DriveVoltageReceived(TnvParValue* v, bool changed);
    void SizeCodeReceived(TnvParValue* v, bool changed);
    void Revalidate(std::uint32_t index);

    // Sets the nearest limit when the word is outside [min, max] (which
    // raises the reaction again) and returns true; false when it passes.
    // A minimum above the maximum settles the value at the maximum.
    static bool Clamp(TnvParValue* v, std::uint16_t min, std::uint16_t max);
    void Log(const QString& line);

    TPARModule& FModule;
};
