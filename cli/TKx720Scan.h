#pragma once

#include <QString>
#include <QTextStream>
#include <atomic>
#include <cstdint>
#include <vector>

// What "kx720 scan" looks for: every slave of a range on one serial port, at
// each baud rate and parity given.
struct TKx720ScanJob {
    int ComPort = 0;
    int FirstSlave = 1;
    int LastSlave = 247;
    std::vector<int> Bauds{19200};
    std::vector<int> Parities{2}; // 0 none, 1 odd, 2 even
    int Timeout = 0;              // ms per try; 0: sized from the line speed
    QString Defs;                 // for the register of parameter 0, when it exists
};

// Looks for drives on a line: asks each slave of each line setting for its
// identification, and for parameter 0 when the identification is refused.
// Prints each drive found on standard output, a progress bar on standard
// error (a line per setting when that is no terminal), and ends at Ctrl-C
// with what it found so far. Main thread only.
class TKx720Scan {
public:
    // signal: set to the signal's number by the handler of SIGINT and SIGTERM.
    TKx720Scan(TKx720ScanJob job, QTextStream& out, QTextStream& err,
               const std::atomic<int>& signal);

    // The parsers of the options; false with a message for the user.
    static bool ParseSlaves(const QString& text, TKx720ScanJob& job, QString& error);
    static bool ParseBauds(const QString& text, TKx720ScanJob& job, QString& error);
    static bool ParseParities(const QString& text, TKx720ScanJob& job, QString& error);

    // The time-out of one try at baud, in ms: the wire time of a line check
    // and of the identification with its reply, and the drive's turnaround.
    static int TryTimeout(int baud);

    // Returns the exit status: 0 when a drive was found, 1 when none (or the
    // port cannot be opened), 128 + the signal when interrupted.
    int Run();

private:
    struct TFound {
        int Baud;
        int Parity;
        int Slave;
        QString Text;
    };
    uint16_t SlaveAddressRegister() const;
    void Progress(int done, int total, int baud, int parity, int slave);
    void ClearProgress();

    TKx720ScanJob FJob;
    QTextStream& FOut;
    QTextStream& FErr;
    const std::atomic<int>& FSignal;
    bool FTerminal = false;
    std::vector<TFound> FFound;
};
