#pragma once

#include "RawTcpClient.h"

#include <QString>

namespace kxtest {

// An RTU master on a serial device or pty written for the tests.
class RawRtuClient {
public:
    explicit RawRtuClient(const QString& device);
    ~RawRtuClient();
    RawRtuClient(const RawRtuClient&) = delete;
    RawRtuClient& operator=(const RawRtuClient&) = delete;
    bool Opened() const { return FFd >= 0; }
    // Sends address + pdu + CRC and returns every byte that came back until a
    // silence of 50 ms after the first (CRC included); empty on a time-out.
    TBytes Transact(const TBytes& adu,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

private:
    int FFd = -1;
};

} // namespace kxtest
