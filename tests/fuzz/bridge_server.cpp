// The bridge's Modbus TCP server, serving a client's bytes through a real link
// to an in-process simulator on loopback. Every whole frame for a unit gets
// exactly one reply with its transaction and unit id; a broadcast gets none;
// a header that is not Modbus ends that client's connection, and the server
// goes on serving the next one.
#include "TCTCPIPServer.h"
#include "TFuzzSimulator.h"
#include "TModbusSrv.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace {

struct TBench {
    kxfuzz::TFuzzSimulator Simulator;
    TModbusSrv Link;
    std::unique_ptr<TCTCPIPServer> Bridge;

    TBench() {
        Link.OpenConnection(QStringLiteral("TCP"), 2);
        Link.put_HostName(QStringLiteral("127.0.0.1"));
        Link.put_TCPIPPort(Simulator.Port);
        Link.put_Timeout(200);
        kxfuzz::Require(Link.Connect(), "the link opens");
        Bridge = Link.CreateTCPServer();
        Bridge->put_ListenAddress(QStringLiteral("127.0.0.1"));
        Bridge->put_Port(0);
        kxfuzz::Require(Bridge->StartServer(), "the bridge serves");
    }
};

TBench* Bench = nullptr;

struct TFrame {
    uint16_t Transaction;
    uint8_t Unit;
};

// The frames the bridge must answer, and whether a bad header ends the input.
struct TExpected {
    std::vector<TFrame> Answered;
    bool HangUp = false;
};

TExpected Frame(const uint8_t* data, size_t size) {
    TExpected expected;
    size_t at = 0;
    while (size - at >= 6) {
        const size_t protocol = size_t{data[at + 2]} << 8 | data[at + 3];
        const size_t length = size_t{data[at + 4]} << 8 | data[at + 5];
        if (protocol != 0 || length < 2 || length > 254) {
            expected.HangUp = true;
            break;
        }
        if (size - at < 6 + length)
            break;
        if (data[at + 6] != 0)
            expected.Answered.push_back(
                {static_cast<uint16_t>(data[at] << 8 | data[at + 1]), data[at + 6]});
        at += 6 + length;
    }
    return expected;
}

constexpr const char* kSilent = "the bridge answers within 30 s";

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv); // lives as long as the process
    Bench = new TBench;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TExpected expected = Frame(data, size);
    const int fd = kxfuzz::ConnectLoopback(static_cast<uint16_t>(Bench->Bridge->GetListenPort()));
    kxfuzz::SendAll(fd, data, size);
    // Busy replies overtake queued ones: replies are matched, not ordered.
    size_t replies = 0;
    while (expected.HangUp || replies != expected.Answered.size()) {
        uint8_t header[7];
        if (!kxfuzz::ReadExactly(fd, header, sizeof header, kSilent)) {
            kxfuzz::Require(expected.HangUp, "every frame for a unit is answered");
            break;
        }
        const size_t length = size_t{header[4]} << 8 | header[5];
        kxfuzz::Require(header[2] == 0 && header[3] == 0 && length >= 2 && length <= 254,
                        "a reply has a sound MBAP header");
        std::vector<uint8_t> pdu(length - 1);
        kxfuzz::Require(kxfuzz::ReadExactly(fd, pdu.data(), pdu.size(), kSilent),
                        "a reply comes whole");
        const uint16_t transaction = static_cast<uint16_t>(header[0] << 8 | header[1]);
        const auto match = std::find_if(
            expected.Answered.begin(), expected.Answered.end(), [&](const TFrame& frame) {
                return frame.Transaction == transaction && frame.Unit == header[6];
            });
        kxfuzz::Require(match != expected.Answered.end(), "a reply answers a request");
        match->Unit = 0; // answered once only
        ++replies;
    }
    ::close(fd);
    return 0;
}
