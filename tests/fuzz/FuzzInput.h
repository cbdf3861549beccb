#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

// Helpers the fuzz targets share: turning raw bytes into the inputs of the
// code under test, and failing loudly when a property breaks (a crash is
// what the fuzzer reports).
namespace kxfuzz {

// A folder of the run in memory where the machine has it: the targets write a
// file per input, and a simulator syncs its EEPROM file, which on a busy
// disk takes seconds.
inline QString MemoryFolder() {
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/kx720-fuzz-XXXXXX")
                                                     : QDir::tempPath() + "/kx720-fuzz-XXXXXX";
}

inline QString Text(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Takes a value of type T off the front of the input (zeros when it is short).
template <typename T>
T Take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

inline void Require(bool holds, const char* what) {
    if (!holds)
        Broken(what);
}

// Writes the input to path, for the parsers that read files.
inline void WriteInput(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Broken("the input is written");
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
}

// Reads n bytes from a socket; false when the peer hung up first. A peer that
// neither answers nor hangs up for half a minute breaks the property named
// what. libFuzzer's timer signal interrupts the waits (every few seconds,
// with -timeout): an interrupted wait goes on, it is not a silent peer.
inline bool ReadExactly(int fd, uint8_t* out, size_t n, const char* what) {
    using TClock = std::chrono::steady_clock;
    const auto deadline = TClock::now() + std::chrono::seconds(30);
    size_t got = 0;
    while (got < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
        pollfd p{fd, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready != 1)
            Broken(what);
        const ssize_t r = ::read(fd, out + got, n - got);
        if (r < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (r <= 0)
            return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

} // namespace kxfuzz
