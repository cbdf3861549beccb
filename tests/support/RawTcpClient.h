#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace kxtest {

using TBytes = std::vector<uint8_t>;

// A Modbus TCP client written for the tests: it sends requests with its own
// transaction ids and returns the reply bytes exactly as they came.
class RawTcpClient {
public:
    explicit RawTcpClient(uint16_t port);
    ~RawTcpClient();
    RawTcpClient(const RawTcpClient&) = delete;
    RawTcpClient& operator=(const RawTcpClient&) = delete;
    bool Connected() const { return FFd >= 0; }
    // Sends MBAP + unit + pdu; returns the reply's unit id and PDU (no MBAP),
    // read by the MBAP length, after checking that the MBAP echoes the
    // transaction id; none on a time-out or a closed connection.
    std::optional<TBytes>
    Transact(uint8_t unit, const TBytes& pdu,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    void SendRaw(const TBytes& bytes);
    // Reads whatever arrives within timeout; sets closed when the peer closed.
    TBytes ReadRaw(std::chrono::milliseconds timeout, bool* closed = nullptr);
    static TBytes Mbap(uint16_t transaction, uint8_t unit, const TBytes& pdu);

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
