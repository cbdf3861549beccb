// The simulator's Modbus TCP side: MBAP framing and the drive's application
// layer behind it, served by a real server on loopback. The harness frames
// the input itself and checks that every Modbus frame gets exactly one reply
// with its transaction id, and that a bad header ends the connection.
#include "TFuzzSimulator.h"

#include <vector>

namespace {

kxfuzz::TFuzzSimulator* Simulator = nullptr;

// What the server must do with the input: the transaction ids it answers,
// in order, and whether a bad length makes it hang up.
struct TExpected {
    std::vector<uint16_t> Transactions;
    bool HangUp = false;
};

TExpected Frame(const uint8_t* data, size_t size) {
    TExpected expected;
    size_t at = 0;
    while (size - at >= 7) {
        const size_t length = size_t{data[at + 4]} << 8 | data[at + 5];
        if (length < 2 || length > 254) {
            expected.HangUp = true;
            break;
        }
        if (size - at < 6 + length)
            break;
        if (data[at + 2] == 0 && data[at + 3] == 0)
            expected.Transactions.push_back(static_cast<uint16_t>(data[at] << 8 | data[at + 1]));
        at += 6 + length;
    }
    return expected;
}

constexpr const char* kSilent = "the simulator answers within 30 s";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Simulator = new kxfuzz::TFuzzSimulator; // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TExpected expected = Frame(data, size);
    const int fd = kxfuzz::ConnectLoopback(Simulator->Port);
    kxfuzz::SendAll(fd, data, size);
    for (const uint16_t transaction : expected.Transactions) {
        uint8_t header[7];
        if (!kxfuzz::ReadExactly(fd, header, sizeof header, kSilent))
            kxfuzz::Broken("every Modbus frame is answered");
        kxfuzz::Require((header[0] << 8 | header[1]) == transaction, "replies keep their order");
        const size_t length = size_t{header[4]} << 8 | header[5];
        kxfuzz::Require(length >= 2 && length <= 254, "a reply has a sound MBAP length");
        std::vector<uint8_t> rest(length - 1);
        kxfuzz::Require(kxfuzz::ReadExactly(fd, rest.data(), rest.size(), kSilent),
                        "a reply comes whole");
    }
    if (expected.HangUp) {
        uint8_t byte = 0;
        kxfuzz::Require(!kxfuzz::ReadExactly(fd, &byte, 1, kSilent),
                        "a bad MBAP length ends the connection");
    }
    ::close(fd);
    return 0;
}
