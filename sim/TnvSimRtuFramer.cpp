#include "TnvSimRtuFramer.h"

TnvSimRtuFramer::TnvSimRtuFramer(TTime silence)
    : FSilence(silence) {}

TnvSimRtuFramer::TTime TnvSimRtuFramer::SilenceFor(int baud) {
    if (baud <= 0 || baud > 19200)
        return TTime(1750);
    return TTime(38500000LL / baud);
}

uint16_t TnvSimRtuFramer::Crc16(const uint8_t* data, size_t length) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

size_t TnvSimRtuFramer::RequestLength(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 2)
        return 0;
    switch (bytes[1]) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x08:
        return 8;
    case 0x0F:
    case 0x10:
        return bytes.size() < 7 ? 0 : 9u + bytes[6];
    case 0x41:
        return 4;
    default:
        return 0;
    }
}

bool TnvSimRtuFramer::CrcValid(size_t length) const {
    if (length < 4 || length > FBuffer.size())
        return false;
    const uint16_t crc = Crc16(FBuffer.data(), length - 2);
    return FBuffer[length - 2] == (crc & 0xFF) && FBuffer[length - 1] == (crc >> 8);
}

void TnvSimRtuFramer::Feed(const uint8_t* data, size_t length, TTime now) {
    if (length == 0)
        return;
    FBuffer.insert(FBuffer.end(), data, data + length);
    FLastByte = now;
    // No RTU frame is longer: a line that never falls silent carries noise.
    if (FBuffer.size() > kMaxFrame) {
        const size_t first = RequestLength(FBuffer);
        if (first == 0 || !CrcValid(first)) {
            FBuffer.clear();
            ++FDropped;
        }
    }
}

std::optional<std::vector<uint8_t>> TnvSimRtuFramer::Next(TTime now) {
    if (FBuffer.empty())
        return std::nullopt;
    size_t length = RequestLength(FBuffer);
    if (!(length != 0 && CrcValid(length))) {
        if (now - FLastByte < FSilence)
            return std::nullopt;
        length = FBuffer.size();
        if (!CrcValid(length)) {
            FBuffer.clear();
            ++FDropped;
            return std::nullopt;
        }
    }
    std::vector<uint8_t> frame(FBuffer.begin(), FBuffer.begin() + static_cast<long>(length) - 2);
    FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<long>(length));
    return frame;
}

std::optional<TnvSimRtuFramer::TTime> TnvSimRtuFramer::Deadline() const {
    if (FBuffer.empty())
        return std::nullopt;
    return FLastByte + FSilence;
}
