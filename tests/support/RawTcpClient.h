#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace kxtest {

using TBytes = std::vector<uint8_t>;

// A Modbus TCP client written for the tests: it sends the frames it builds
// itself (or any junk) and shows the replies exactly as they came.
class RawTcpClient {
public:
    struct TReply {
        uint16_t Transaction = 0;
        TBytes Adu; // unit id and PDU
    };

    explicit RawTcpClient(uint16_t port);
    ~RawTcpClient();
    RawTcpClient(const RawTcpClient&) = delete;
    RawTcpClient& operator=(const RawTcpClient&) = delete;
    bool Connected() const { return FFd >= 0; }

    static TBytes Mbap(uint16_t transaction, uint8_t unit, const TBytes& pdu);
    static TBytes ReadPdu(uint16_t address, uint16_t quantity = 1);

    // Sends MBAP + unit + pdu under the next transaction id; returns the
    // reply's unit id and PDU once its MBAP echoes that id; none on a
    // time-out, a closed connection or another id.
    std::optional<TBytes> Transact(uint8_t unit, const TBytes& pdu,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(3));
    bool SendRaw(const TBytes& bytes);
    // Says it will send no more (a half-close) but keeps reading.
    void ShutdownWrite();
    // The next reply, read by its MBAP length.
    std::optional<TReply> Receive(std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Reads whatever arrives within timeout; sets closed when the peer closed.
    TBytes ReadRaw(std::chrono::milliseconds timeout, bool* closed = nullptr);
    // True when the server closed the connection within timeout.
    bool ClosedByPeer(std::chrono::milliseconds timeout = std::chrono::seconds(3));

private:
    bool ReadExactly(uint8_t* into, size_t count, std::chrono::milliseconds timeout);

    int FFd = -1;
    uint16_t FTransaction = 0x1200;
};

// Reads what comes on fd within timeout, stopping at a quiet gap once
// something came; sets closed when the other end closed.
TBytes ReadUntilQuiet(int fd, std::chrono::milliseconds timeout, std::chrono::milliseconds quiet,
                      bool* closed);

} // namespace kxtest
