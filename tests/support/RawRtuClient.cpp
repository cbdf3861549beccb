#include "RawRtuClient.h"

#include "Crc16.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace kxtest {

RawRtuClient::RawRtuClient(const QString& device) {
    FFd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (FFd >= 0 && ::tcgetattr(FFd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B19200);
        ::tcsetattr(FFd, TCSANOW, &tio);
    }
}

RawRtuClient::~RawRtuClient() {
    if (FFd >= 0)
        ::close(FFd);
}

TBytes RawRtuClient::Transact(const TBytes& adu, std::chrono::milliseconds timeout) {
    ::tcflush(FFd, TCIFLUSH);
    const TBytes frame = WithCrc(adu);
    [[maybe_unused]] const ssize_t n = ::write(FFd, frame.data(), frame.size());
    return ReadUntilQuiet(FFd, timeout, 50ms, nullptr);
}

} // namespace kxtest
