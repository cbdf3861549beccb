#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kxtest {

using TBytes = std::vector<uint8_t>;

// A Modbus TCP client for the server tests that shows the bytes as they come:
// it sends frames it builds itself (or any junk) and reads replies by their
// MBAP length.
class TMbapClient {
public:
    struct TReply {
        uint16_t Transaction = 0;
        uint8_t Unit = 0;
        TBytes Pdu;
    };

    explicit TMbapClient(int port) {
        FFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(FFd);
            FFd = -1;
        }
    }
    ~TMbapClient() { Close(); }
    TMbapClient(const TMbapClient&) = delete;
    TMbapClient& operator=(const TMbapClient&) = delete;

    bool Connected() const { return FFd >= 0; }
    void Close() {
        if (FFd >= 0)
            close(FFd);
        FFd = -1;
    }

    static TBytes Frame(uint16_t transaction, uint8_t unit, const TBytes& pdu) {
        const size_t length = pdu.size() + 1;
        TBytes frame{static_cast<uint8_t>(transaction >> 8),
                     static_cast<uint8_t>(transaction & 0xFF),
                     0,
                     0,
                     static_cast<uint8_t>(length >> 8),
                     static_cast<uint8_t>(length & 0xFF),
                     unit};
        frame.insert(frame.end(), pdu.begin(), pdu.end());
        return frame;
    }
    static TBytes ReadPdu(uint16_t address, uint16_t quantity = 1) {
        return {0x03, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF),
                static_cast<uint8_t>(quantity >> 8), static_cast<uint8_t>(quantity & 0xFF)};
    }

    bool Send(const TBytes& bytes) {
        return send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // The next reply, or none on a time-out or a closed connection.
    std::optional<TReply> Receive(std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        TBytes header(7);
        if (!ReadExactly(header.data(), 7, timeout))
            return std::nullopt;
        const size_t length = (size_t{header[4]} << 8) | header[5];
        TReply reply{static_cast<uint16_t>((header[0] << 8) | header[1]), header[6],
                     TBytes(length > 0 ? length - 1 : 0)};
        if (length < 2 || !ReadExactly(reply.Pdu.data(), reply.Pdu.size(), timeout))
            return std::nullopt;
        return reply;
    }

    std::optional<TReply> Transact(uint8_t unit, const TBytes& pdu,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        ++FTransaction;
        if (!Send(Frame(FTransaction, unit, pdu)))
            return std::nullopt;
        return Receive(timeout);
    }
    uint16_t LastTransaction() const { return FTransaction; }

    // True when the server closed the connection within timeout.
    bool ClosedByPeer(std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        uint8_t byte = 0;
        for (;;) {
            pollfd p{FFd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
                return false;
            const ssize_t n = recv(FFd, &byte, 1, 0);
            if (n <= 0)
                return true;
        }
    }

private:
    bool ReadExactly(uint8_t* out, size_t size, std::chrono::milliseconds timeout) {
        size_t got = 0;
        while (got < size) {
            pollfd p{FFd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
                return false;
            const ssize_t n = recv(FFd, out + got, size - got, 0);
            if (n <= 0)
                return false;
            got += static_cast<size_t>(n);
        }
        return true;
    }

    int FFd = -1;
    uint16_t FTransaction = 0x4100;
};

} // namespace kxtest
