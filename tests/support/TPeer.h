#pragma once

#include "TSubprocess.h"

#include <memory>

namespace kxtest {

// A peer that prints "READY [port]" once it serves: our misbehaving Python
// slave (tests/modbus/peers/peer.py) or pymodbus's own server.
class TPeer {
public:
    // Starts program with arguments and waits up to 10 s for its READY line.
    TPeer(const QString& program, const QStringList& arguments);
    bool Ready() const { return FReady; }
    int Port() const { return FPort; }

    // peer.py over TCP on port (0: a free one), or RTU on device.
    static std::unique_ptr<TPeer> TcpSlave(const QStringList& options = {}, int port = 0);
    static std::unique_ptr<TPeer> RtuSlave(const QString& device, const QStringList& options = {});
    // pymodbus's own server; holding register a holds 1000 + a.
    static std::unique_ptr<TPeer> PymodbusTcp();
    static std::unique_ptr<TPeer> PymodbusRtu(const QString& device);

private:
    TSubprocess FProcess;
    bool FReady = false;
    int FPort = 0;
};

} // namespace kxtest
