#pragma once

#include <cstdint>

// The parameter indices the programs give a meaning to. The definitions file
// says where each lives on the drive; the code knows them only by index.
namespace nv::par {

inline constexpr std::uint32_t kSlave = 0; // working copy
inline constexpr std::uint32_t kHardwareInputs = 1;
inline constexpr std::uint32_t kFaults = 2;
inline constexpr std::uint32_t kStatus = 3; // bit 0 while the drive runs
inline constexpr std::uint32_t kMainVoltage = 4;
inline constexpr std::uint32_t kNominalCurrent = 5;
inline constexpr std::uint32_t kMaxCurrent = 6;
inline constexpr std::uint32_t kMaxCurrentTime = 7;
inline constexpr std::uint32_t kStartVoltage = 8;
inline constexpr std::uint32_t kBoostVoltage = 9;
inline constexpr std::uint32_t kBaseVoltage = 10;
inline constexpr std::uint32_t kBoostFrequency = 11; // 0.1 Hz
inline constexpr std::uint32_t kBaseFrequency = 12;  // 0.1 Hz
inline constexpr std::uint32_t kMinFrequency = 13;   // 0.1 Hz
inline constexpr std::uint32_t kMaxFrequency = 14;   // 0.1 Hz
inline constexpr std::uint32_t kSetpoint = 15;       // 0.1 Hz
inline constexpr std::uint32_t kAccelTime = 16;
inline constexpr std::uint32_t kDecelTime = 17;
inline constexpr std::uint32_t kControlMode = 18; // bit 1: setpoint from Modbus
inline constexpr std::uint32_t kPwmIndex = 19;
inline constexpr std::uint32_t kDriveVoltage = 20; // top of the drive's voltage range
inline constexpr std::uint32_t kAnalogReference = 21;
inline constexpr std::uint32_t kDcBus = 22;
inline constexpr std::uint32_t kPhaseCurrent = 23;
inline constexpr std::uint32_t kOutputFrequency = 24;
inline constexpr std::uint32_t kMotorVoltage = 25;
inline constexpr std::uint32_t kPreviousFaults = 26;
inline constexpr std::uint32_t kSoftwareInputs = 27;
inline constexpr std::uint32_t kKeepAlive = 29;
// Stored (EEPROM) copies: 0 -> 30, 4..19 -> 31..46, 27 -> 47. A definition
// names its copy in RegProg; these are the ones the code itself asks for.
inline constexpr std::uint32_t kFirstStored = 30;
inline constexpr std::uint32_t kStoredSlave = 30;
inline constexpr std::uint32_t kStoredAccelTime = 43;
inline constexpr std::uint32_t kStoredDecelTime = 44;
inline constexpr std::uint32_t kSizeCode = 49; // voltage, current and frequency class
inline constexpr std::uint32_t kScopeDcBus = 1000;
inline constexpr std::uint32_t kScopeCurrent = 1001;
inline constexpr std::uint32_t kScopeFrequency = 1002;
inline constexpr std::uint32_t kScopeVoltage = 1003;
inline constexpr std::uint32_t kLocalSlave = 10000; // never on the wire

} // namespace nv::par
