#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class TnvSimModel;
class TnvSimEeprom;
class TnvSimRegisterStore;

// What the identification function (0x41) reports.
struct TnvSimIdentity {
    uint16_t Model = 720;
    std::array<char, 2> ModelSuffix{'A', '\0'};
    uint16_t Firmware = 207; // in hundredths: 207 is 2.07
    std::array<char, 2> FirmwareSuffix{'\0', '\0'};

    // Parses "MODEL[SUFFIX]:FIRMWARE[SUFFIX]" such as "720A:207" or "720:207B";
    // a suffix has at most two characters.
    static std::optional<TnvSimIdentity> Parse(const QString& text);
};

// The Modbus application layer of the drive: turns a request PDU (function
// code and data) into the reply PDU. It knows nothing of links or addresses.
//
// Function 3 at the first register of a parameter with quantity 1 answers the
// whole parameter; any other read answers the registers asked for. Function
// 16 with quantity 1 takes the parameter's byte count, otherwise two bytes a
// register; function 6 writes one register; 0x41 answers the identification.
// Exceptions: 01 unknown function; 02 a register that is not mapped, and a
// write to a register of a read-only parameter; 03 a malformed request
// (length, quantity, byte count) and a slave address (0 or 30) outside 1 to
// 247, which would leave the drive unreachable; 04 a stored copy that cannot
// be persisted (the registers then keep their old words).
// The model's bench inputs take writes although the definitions mark them
// read-only: they are the test bench's wires. A read the model refuses
// answers its exception.
class TnvSimSlave {
public:
    TnvSimSlave(TnvSimRegisterStore& store, TnvSimModel& model, const TnvSimEeprom& eeprom,
                TnvSimIdentity identity);

    // The slave address the drive answers to: its working copy (index 0).
    uint8_t Address() const;
    std::vector<uint8_t> Execute(const std::vector<uint8_t>& pdu);
    // The registers a read or write request addresses: first register and
    // count (a whole parameter for a quantity-1 read or write); none for other
    // functions or a malformed request.
    std::optional<std::pair<uint16_t, uint32_t>>
    AddressedRange(const std::vector<uint8_t>& pdu) const;

    static std::vector<uint8_t> Exception(uint8_t function, uint8_t code);

    // Raised on the calling thread for what the operator should see in the log.
    std::function<void(const QString&)> OnLog;

private:
    std::vector<uint8_t> ReadHolding(const std::vector<uint8_t>& pdu);
    std::vector<uint8_t> WriteSingle(const std::vector<uint8_t>& pdu);
    std::vector<uint8_t> WriteMultiple(const std::vector<uint8_t>& pdu);
    std::vector<uint8_t> Identify() const;
    bool IsWritable(uint16_t address) const;
    // Writes words from first on and lets the drive and the EEPROM know; an
    // exception code when the stored copies cannot be persisted, else 0.
    uint8_t Write(uint16_t first, const std::vector<uint16_t>& words);
    uint16_t ParameterRegisters(uint16_t address) const;

    TnvSimRegisterStore& FStore;
    TnvSimModel& FModel;
    const TnvSimEeprom& FEeprom;
    TnvSimIdentity FIdentity;
};
