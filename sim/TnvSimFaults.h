#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>

// Decides, request by request, how the simulator misbehaves on purpose. The
// decisions come from one random sequence seeded at construction, so a run
// with the same seed and the same requests misbehaves the same way.
class TnvSimFaults {
public:
    struct TSettings {
        double Silence = 0.0;                   // probability that a request is lost
        std::chrono::milliseconds Delay{0};     // added before every reply
        double BadCrc = 0.0;                    // probability of a corrupted CRC (RTU)
        std::map<uint16_t, uint8_t> Exceptions; // register address -> exception code
        uint32_t DropAfter = 0;                 // requests per TCP connection; 0: never
        int LineSpeed = 0;                      // baud of the wire time; 0: none
        std::set<uint16_t> Stuck; // registers that acknowledge writes and keep their word
    };

    TnvSimFaults(TSettings settings, uint64_t seed);

    const TSettings& Settings() const { return FSettings; }
    // The request is lost: it is neither executed nor answered.
    bool LoseRequest();
    // The exception code forced for a request addressing [first, first + count).
    std::optional<uint8_t> ExceptionFor(uint16_t first, uint32_t count) const;
    bool CorruptCrc();
    // A write to [first, first + count) is acknowledged but not executed.
    bool IsStuck(uint16_t first, uint32_t count) const;
    // How long the reply waits: the fixed delay plus, at the line speed, the
    // wire time of request and reply (11 bits a character; pduBytes without
    // address and CRC) and the two 3.5-character silences.
    std::chrono::microseconds ReplyDelay(size_t requestPduBytes, size_t replyPduBytes) const;
    // The connection is closed after its count-th request.
    bool DropConnection(uint32_t count) const;

private:
    bool Roll(double probability);

    TSettings FSettings;
    std::mt19937_64 FRandom;
};
