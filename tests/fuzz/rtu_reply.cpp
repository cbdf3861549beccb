// The terminal's RTU transport reading what a slave sends back, through a
// pty standing for the serial port. The first input byte chooses the
// request and whether the slave echoes the line check; the second is the
// length of what it sends instead of the echo; the rest is its reply.
#include "FuzzInput.h"
#include "TConfigHome.h"
#include "TModbusSrv.h"

#include <array>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <vector>

namespace {

constexpr uint8_t kSlave = 1;

struct TPort {
    kxtest::TConfigHome Home;
    int Master = -1;
    int Slave = -1; // held open so the pty outlives each connection

    TPort() {
        if (::openpty(&Master, &Slave, nullptr, nullptr, nullptr) != 0)
            kxfuzz::Broken("a pty can be made");
        termios raw{};
        ::tcgetattr(Slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(Slave, TCSANOW, &raw);
        Home.Map(1, QString::fromLocal8Bit(::ptsname(Master)));
    }
};

TPort* Port = nullptr;

std::vector<uint8_t> Request(uint8_t choice) {
    const std::vector<uint8_t> requests[] = {
        {kSlave, 0x03, 0x00, 0x10, 0x00, static_cast<uint8_t>(1 + (choice >> 4))},
        {kSlave, 0x06, 0x00, 0x10, 0x12, 0x34},
        {kSlave, 0x10, 0x00, 0x10, 0x00, 0x01, 0x02, 0x12, 0x34},
        {kSlave, 0x41},
    };
    return requests[choice & 3];
}

// Reads what the transport sent until size bytes are in or it stays quiet.
std::vector<uint8_t> ReadSent(size_t size) {
    std::vector<uint8_t> sent;
    std::array<uint8_t, 256> chunk{};
    while (sent.size() < size) {
        pollfd p{Port->Master, POLLIN, 0};
        if (::poll(&p, 1, 200) != 1)
            break;
        const ssize_t n = ::read(Port->Master, chunk.data(), chunk.size());
        if (n <= 0)
            break;
        sent.insert(sent.end(), chunk.begin(), chunk.begin() + n);
    }
    return sent;
}

void Send(const uint8_t* data, size_t size) {
    if (size > 0 && ::write(Port->Master, data, size) < 0)
        return; // the transport closed first
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Port = new TPort; // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto choice = kxfuzz::Take<uint8_t>(data, size);
    const size_t checkReply = std::min<size_t>(kxfuzz::Take<uint8_t>(data, size), size);
    const std::vector<uint8_t> query = Request(choice);
    const bool echo = choice & 4;

    std::thread slave([&] {
        const std::vector<uint8_t> check = ReadSent(8);
        if (check.empty())
            return;
        if (echo)
            Send(check.data(), check.size());
        else
            Send(data, checkReply);
        if (!ReadSent(query.size() + 2).empty())
            Send(data + checkReply, size - checkReply);
    });

    TModbusSrv link;
    link.OpenConnection(QStringLiteral("fuzz"), 1);
    link.put_PortNumber(1);
    link.put_Parity(2);
    link.put_Timeout(50);
    std::vector<uint8_t> response;
    int32_t status = TModbusSrv::kNotInitialized;
    if (link.Connect())
        status = link.TxRxMessage(query, static_cast<int>(query.size()), response);
    slave.join();
    link.CloseConnection();
    ::tcflush(Port->Slave, TCIOFLUSH);
    ::tcflush(Port->Master, TCIOFLUSH);

    if (status == TModbusSrv::kOk) {
        kxfuzz::Require(response.size() >= 2 && response[0] == kSlave && response[1] == query[1],
                        "an accepted reply answers the request");
        if (query[1] == 0x03)
            kxfuzz::Require(response.size() == 3u + response[2], "a read reply holds its count");
    }
    return 0;
}
