#pragma once

#include "FuzzInput.h"
#include "TnvSimDefinitions.h"
#include "TnvSimDrive.h"
#include "TnvSimEeprom.h"
#include "TnvSimFaults.h"
#include "TnvSimRegisterStore.h"
#include "TnvSimServer.h"
#include "TnvSimSlave.h"

#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>

namespace kxfuzz {

// The simulated drive serving Modbus TCP on a free loopback port, in process.
struct TFuzzSimulator {
    QTemporaryDir Dir{MemoryFolder()};
    TnvSimRegisterStore Store{
        TnvSimDefinitions::Load(KX_FUZZ_SOURCE_DIR "/data/VF_Parameters_v207.ini")};
    TnvSimEeprom Eeprom{Dir.filePath(QStringLiteral("eeprom.ini"))};
    TnvSimDrive Drive{Store, 0, 1};
    TnvSimSlave Slave{Store, Drive, Eeprom, TnvSimIdentity{}};
    TnvSimFaults Faults{{}, 1};
    TnvSimServer Server{Slave, Drive, Faults};
    uint16_t Port = 0;
    std::thread Serving;

    TFuzzSimulator() {
        Drive.LoadFactoryDefaults(1);
        Drive.PowerUp();
        const QString ready = Server.ListenTcp(QStringLiteral("127.0.0.1"), 0);
        Port = static_cast<uint16_t>(ready.section(QLatin1Char(':'), -1).toUInt());
        Serving = std::thread([this] { Server.Run(); });
    }
};

// A client connection to port on loopback, without Nagle's delay.
inline int ConnectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // Interrupted by libFuzzer's timer signal, the connection goes on.
        if (errno != EINTR)
            Broken("the server accepts a connection");
        pollfd p{fd, POLLOUT, 0};
        while (::poll(&p, 1, 30000) < 0 && errno == EINTR) {
        }
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        Require((p.revents & POLLOUT) && error == 0, "the server accepts a connection");
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Sends all of data unless the server hangs up first.
inline void SendAll(int fd, const uint8_t* data, size_t size) {
    for (size_t sent = 0; sent < size;) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue; // libFuzzer's timer signal
        if (n <= 0)
            return; // a bad header may close the connection while we write
        sent += static_cast<size_t>(n);
    }
}

} // namespace kxfuzz
