// The simulator's Modbus TCP side: MBAP framing and the drive's application
// layer behind it, served by a real server on loopback. The harness frames
// the input itself and checks that every Modbus frame gets exactly one reply
// with its transaction id, and that a bad header ends the connection.
#include "FuzzInput.h"
#include "TnvSimDefinitions.h"
#include "TnvSimDrive.h"
#include "TnvSimEeprom.h"
#include "TnvSimFaults.h"
#include "TnvSimRegisterStore.h"
#include "TnvSimServer.h"
#include "TnvSimSlave.h"

#include <QDir>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The drive's EEPROM file lives in memory where the machine has it: writing a
// stored copy syncs the file, which on a busy disk takes seconds.
QString EepromFolder() {
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/kx720-fuzz-XXXXXX")
                                                     : QDir::tempPath() + "/kx720-fuzz-XXXXXX";
}

struct TSimulator {
    QTemporaryDir Dir{EepromFolder()};
    TnvSimRegisterStore Store{
        TnvSimDefinitions::Load(KX_FUZZ_SOURCE_DIR "/data/VF_Parameters_v207.ini")};
    TnvSimEeprom Eeprom{Dir.filePath(QStringLiteral("eeprom.ini"))};
    TnvSimDrive Drive{Store, 0, 1};
    TnvSimSlave Slave{Store, Drive, Eeprom, TnvSimIdentity{}};
    TnvSimFaults Faults{{}, 1};
    TnvSimServer Server{Slave, Drive, Faults};
    uint16_t Port = 0;
    std::thread Serving;

    TSimulator() {
        Drive.LoadFactoryDefaults(1);
        Drive.PowerUp();
        const QString ready = Server.ListenTcp(QStringLiteral("127.0.0.1"), 0);
        Port = static_cast<uint16_t>(ready.section(QLatin1Char(':'), -1).toUInt());
        Serving = std::thread([this] { Server.Run(); });
    }
};

TSimulator* Simulator = nullptr;

int Connect(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        kxfuzz::Broken("the simulator accepts a connection");
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

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

bool ReadExactly(int fd, uint8_t* out, size_t n) {
    return kxfuzz::ReadExactly(fd, out, n, "the simulator answers within 30 s");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Simulator = new TSimulator; // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TExpected expected = Frame(data, size);
    const int fd = Connect(Simulator->Port);
    for (size_t sent = 0; sent < size;) {
        const ssize_t n = ::write(fd, data + sent, size - sent);
        if (n < 0 && errno == EINTR)
            continue; // libFuzzer's timer signal
        if (n <= 0)
            break; // a bad header may close the connection while we write
        sent += static_cast<size_t>(n);
    }
    for (const uint16_t transaction : expected.Transactions) {
        uint8_t header[7];
        if (!ReadExactly(fd, header, sizeof header))
            kxfuzz::Broken("every Modbus frame is answered");
        kxfuzz::Require((header[0] << 8 | header[1]) == transaction, "replies keep their order");
        const size_t length = size_t{header[4]} << 8 | header[5];
        kxfuzz::Require(length >= 2 && length <= 254, "a reply has a sound MBAP length");
        std::vector<uint8_t> rest(length - 1);
        kxfuzz::Require(ReadExactly(fd, rest.data(), rest.size()), "a reply comes whole");
    }
    if (expected.HangUp) {
        uint8_t byte = 0;
        kxfuzz::Require(!ReadExactly(fd, &byte, 1), "a bad MBAP length ends the connection");
    }
    ::close(fd);
    return 0;
}
