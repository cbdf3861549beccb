#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

// One line per request the simulator framed, written as it is decided, so
// that a test can follow the file while the simulator runs. Fields are
// separated by one tab:
//
//   TIME  LINK  SLAVE  FUNCTION  ADDRESS  QUANTITY  OUTCOME
//
// TIME is seconds since the simulator started (three decimals); LINK is
// "tcp/N" (the N-th TCP connection accepted), "pty:LINK" or "serial:DEVICE";
// SLAVE is the decimal unit id; FUNCTION two upper-case hex digits; ADDRESS
// and QUANTITY decimal, as the request carries them ("-" when its function
// has none: 0x41, unknown functions, a request too short); OUTCOME is
// "reply", "exception XX" (hex code), either followed by " bad-crc" when the
// CRC was corrupted on purpose, or "none REASON" with REASON one of silence,
// other-slave, broadcast, malformed, not-modbus. Lines starting with '#' are
// comments.
class TnvSimRequestLog {
public:
    struct TEntry {
        std::chrono::microseconds Time{0};
        QString Link;
        uint8_t Slave = 0;
        uint8_t Function = 0;
        std::optional<uint16_t> Address;
        std::optional<uint16_t> Quantity;
        QString Outcome;
    };

    // Truncates path; raises TnvError when it cannot be opened.
    explicit TnvSimRequestLog(const QString& path);
    ~TnvSimRequestLog();
    TnvSimRequestLog(const TnvSimRequestLog&) = delete;
    TnvSimRequestLog& operator=(const TnvSimRequestLog&) = delete;

    // Fills Slave, Function, Address and Quantity from a request's unit id and PDU.
    static TEntry Describe(uint8_t unit, const std::vector<uint8_t>& pdu);
    // The outcome of a reply PDU ("reply" or "exception XX").
    static QString OutcomeOf(const std::vector<uint8_t>& reply, bool badCrc);
    static QString Format(const TEntry& entry);

    void Write(const TEntry& entry);

    // Raised once when a line cannot be written (a full disk).
    std::function<void(const QString&)> OnError;

private:
    QString FPath;
    std::FILE* FFile = nullptr;
    bool FFailed = false;
};
