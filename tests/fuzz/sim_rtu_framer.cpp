// The simulator's RTU framer on a byte stream cut into timed chunks: each
// chunk is a gap byte (in tenths of the silence) and a length byte, then
// that many bytes. Every frame it hands on must be sound.
#include "FuzzInput.h"
#include "TnvSimRtuFramer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto silence = TnvSimRtuFramer::SilenceFor(19200);
    TnvSimRtuFramer framer(silence);
    TnvSimRtuFramer::TTime now{0};
    auto drain = [&] {
        while (auto frame = framer.Next(now)) {
            kxfuzz::Require(frame->size() >= 2 && frame->size() + 2 <= TnvSimRtuFramer::kMaxFrame,
                            "a frame has an address, a function and fits the buffer");
        }
    };
    while (size > 0) {
        const auto gap = kxfuzz::Take<uint8_t>(data, size);
        const size_t length = std::min<size_t>(kxfuzz::Take<uint8_t>(data, size), size);
        now += silence * gap / 10;
        drain();
        framer.Feed(data, length, now);
        data += length;
        size -= length;
        drain();
        if (const auto deadline = framer.Deadline())
            kxfuzz::Require(*deadline > now - silence, "pending bytes have a deadline ahead");
    }
    now += silence * 2;
    drain();
    kxfuzz::Require(!framer.Deadline(), "the silence leaves nothing pending");
    return 0;
}
