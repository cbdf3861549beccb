#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TModbusSrv;
class TnvMBDeviceInfo;

// One link opened for single requests, each with its own time-out and no
// exchange thread: what the diagnostic commands (scan, set-slave) need to ask
// one address after another. Main thread only; a wait on the wire ends
// within 20 ms once the stop predicate turns true.
class TKx720Probe {
public:
    struct TLine {
        int ComPort = 0; // serial when above 0
        QString Host;    // TCP otherwise
        int Port = 0;
        int Baud = 19200;
        int Parity = 2; // 0 none, 1 odd, 2 even
        int Timeout = 1000;
    };

    explicit TKx720Probe(std::function<bool()> stop);
    ~TKx720Probe();
    TKx720Probe(const TKx720Probe&) = delete;
    TKx720Probe& operator=(const TKx720Probe&) = delete;

    // Opens the link, closing one opened before; false with ErrorText.
    bool Open(const TLine& line);
    // The transport's words for the last failure.
    QString ErrorText() const;

    // Each returns the transport's status (0 success), one attempt each.
    int32_t Ident(TnvMBDeviceInfo& info);
    // Reads one register with function 3, quantity 1 (the whole parameter
    // comes back; its first word goes to word).
    int32_t ReadWord(uint8_t slave, uint16_t reg, uint16_t& word);
    // Writes one word with function 16, quantity 1, as the exchange thread does.
    int32_t WriteWord(uint8_t slave, uint16_t reg, uint16_t word);

    // "8E1" and the like, for a parity code.
    static QString FrameText(int parity);

private:
    std::function<bool()> FStop;
    std::unique_ptr<TModbusSrv> FServer;
    QString FError;
};
