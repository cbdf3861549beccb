#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

// What stands behind the simulator's registers: a drive or a machine. The
// server moves its time and the slave tells it of every write; it may refuse
// a read, and it names the read-only parameters a test bench may still write.
class TnvSimModel {
public:
    virtual ~TnvSimModel() = default;

    // Lets dt of model time pass.
    virtual void Advance(std::chrono::microseconds dt) = 0;
    virtual std::chrono::microseconds Now() const = 0;
    // A client has written the parameter index.
    virtual void ParameterWritten(uint32_t index) = 0;
    // A read-only parameter that takes writes all the same: a wire of the test bench.
    virtual bool IsBenchInput(uint32_t index) const = 0;
    // The exception code with which a read of [first, first + count) is
    // refused, or none.
    virtual std::optional<uint8_t> RefusesRead(uint16_t, uint32_t) const { return std::nullopt; }
};
