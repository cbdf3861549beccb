#include "RawTcpClient.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace kxtest {

TBytes ReadUntilQuiet(int fd, std::chrono::milliseconds timeout, std::chrono::milliseconds quiet,
                      bool* closed) {
    TBytes bytes;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const auto left = timeout.count() - timer.elapsed();
        const auto wait = bytes.empty() ? left : std::min<int64_t>(left, quiet.count());
        if (wait <= 0)
            return bytes;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait)) <= 0)
            return bytes;
        uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (closed)
                *closed = true;
            return bytes;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
}

RawTcpClient::RawTcpClient(uint16_t port) {
    FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(FFd);
        FFd = -1;
    }
}

void RawTcpClient::ShutdownWrite() {
    ::shutdown(FFd, SHUT_WR);
}

RawTcpClient::~RawTcpClient() {
    if (FFd >= 0)
        ::close(FFd);
}

TBytes RawTcpClient::Mbap(uint16_t transaction, uint8_t unit, const TBytes& pdu) {
    const auto length = static_cast<uint16_t>(pdu.size() + 1);
    // Built by push_back: an initializer list followed by insert trips a
    // false array-bounds warning of g++ 12 at -O2.
    TBytes frame;
    frame.reserve(7 + pdu.size());
    for (const uint8_t byte :
         {static_cast<uint8_t>(transaction >> 8), static_cast<uint8_t>(transaction & 0xFF),
          uint8_t{0}, uint8_t{0}, static_cast<uint8_t>(length >> 8),
          static_cast<uint8_t>(length & 0xFF), unit})
        frame.push_back(byte);
    for (const uint8_t byte : pdu)
        frame.push_back(byte);
    return frame;
}

TBytes RawTcpClient::ReadPdu(uint16_t address, uint16_t quantity) {
    return {0x03, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>(quantity >> 8), static_cast<uint8_t>(quantity & 0xFF)};
}

bool RawTcpClient::SendRaw(const TBytes& bytes) {
    return ::send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

TBytes RawTcpClient::ReadRaw(std::chrono::milliseconds timeout, bool* closed) {
    return ReadUntilQuiet(FFd, timeout, 20ms, closed);
}

bool RawTcpClient::ClosedByPeer(std::chrono::milliseconds timeout) {
    bool closed = false;
    while (!closed && !ReadUntilQuiet(FFd, timeout, 20ms, &closed).empty()) {
    }
    return closed;
}

bool RawTcpClient::ReadExactly(uint8_t* into, size_t count, std::chrono::milliseconds timeout) {
    const int64_t ms = std::max<int64_t>(timeout.count(), 1); // 0 would wait for ever
    const timeval limit{ms / 1000, ms % 1000 * 1000};
    ::setsockopt(FFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return ::recv(FFd, into, count, MSG_WAITALL) == static_cast<ssize_t>(count);
}

std::optional<RawTcpClient::TReply> RawTcpClient::Receive(std::chrono::milliseconds timeout) {
    uint8_t header[6];
    if (!ReadExactly(header, sizeof header, timeout) || header[2] != 0 || header[3] != 0)
        return std::nullopt;
    TReply reply{static_cast<uint16_t>(header[0] << 8 | header[1]),
                 TBytes(static_cast<size_t>(header[4] << 8 | header[5]))};
    if (reply.Adu.empty() || !ReadExactly(reply.Adu.data(), reply.Adu.size(), timeout))
        return std::nullopt;
    return reply;
}

std::optional<TBytes> RawTcpClient::Transact(uint8_t unit, const TBytes& pdu,
                                             std::chrono::milliseconds timeout) {
    const uint16_t transaction = ++FTransaction;
    if (!SendRaw(Mbap(transaction, unit, pdu)))
        return std::nullopt;
    auto reply = Receive(timeout);
    if (!reply || reply->Transaction != transaction)
        return std::nullopt;
    return std::move(reply->Adu);
}

} // namespace kxtest
