#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Cuts the byte stream of an RTU link into request frames. A frame ends
// with a silence of 3.5 characters and must carry a valid CRC; so that a
// request is served without waiting for the silence, a frame whose length
// follows from its function code is taken as soon as it is complete and its
// CRC is valid. Whatever fails the CRC when the silence comes is dropped.
class TnvSimRtuFramer {
public:
    using TTime = std::chrono::microseconds; // any monotonic time base
    static constexpr size_t kMaxFrame = 256;

    // silence: the 3.5-character time of the link (SilenceFor).
    explicit TnvSimRtuFramer(TTime silence);

    // The 3.5-character time at baud: 38.5 bit times, 1750 us above 19200 baud.
    static TTime SilenceFor(int baud);
    static uint16_t Crc16(const uint8_t* data, size_t length);
    // The length of a request, CRC included, that its first bytes tell; 0 when
    // they do not tell it (yet).
    static size_t RequestLength(const std::vector<uint8_t>& bytes);

    void Feed(const uint8_t* data, size_t length, TTime now);
    // The next complete frame without its CRC (address first), if any.
    std::optional<std::vector<uint8_t>> Next(TTime now);
    // When pending bytes will have been followed by the silence; none when
    // nothing is pending.
    std::optional<TTime> Deadline() const;
    size_t DroppedFrames() const { return FDropped; }

private:
    bool CrcValid(size_t length) const;

    TTime FSilence;
    TTime FLastByte{0};
    std::vector<uint8_t> FBuffer;
    size_t FDropped = 0;
};
