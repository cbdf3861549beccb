#include "TnvSimFaults.h"

TnvSimFaults::TnvSimFaults(TSettings settings, uint64_t seed)
    : FSettings(std::move(settings))
    , FRandom(seed) {}

bool TnvSimFaults::Roll(double probability) {
    if (probability <= 0.0)
        return false;
    std::uniform_real_distribution<double> dist(0.0, 1.0);
    return dist(FRandom) < probability;
}

bool TnvSimFaults::LoseRequest() {
    return Roll(FSettings.Silence);
}

bool TnvSimFaults::CorruptCrc() {
    return Roll(FSettings.BadCrc);
}

std::optional<uint8_t> TnvSimFaults::ExceptionFor(uint16_t first, uint32_t count) const {
    const auto it = FSettings.Exceptions.lower_bound(first);
    if (it != FSettings.Exceptions.end() && it->first < first + count)
        return it->second;
    return std::nullopt;
}

bool TnvSimFaults::IsStuck(uint16_t first, uint32_t count) const {
    const auto it = FSettings.Stuck.lower_bound(first);
    return it != FSettings.Stuck.end() && *it < first + count;
}

std::chrono::microseconds TnvSimFaults::ReplyDelay(size_t requestPduBytes,
                                                   size_t replyPduBytes) const {
    std::chrono::microseconds delay = FSettings.Delay;
    if (FSettings.LineSpeed > 0) {
        // Address and CRC frame each PDU on the wire.
        const auto characters = static_cast<int64_t>(requestPduBytes + 3 + replyPduBytes + 3);
        const int64_t bits = characters * 11 + 77; // and two silences of 38.5 bits
        delay += std::chrono::microseconds(bits * 1000000 / FSettings.LineSpeed);
    }
    return delay;
}

bool TnvSimFaults::DropConnection(uint32_t count) const {
    return FSettings.DropAfter != 0 && count >= FSettings.DropAfter;
}
