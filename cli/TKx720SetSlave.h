#pragma once

#include "TKx720Probe.h"

#include <QString>
#include <QTextStream>
#include <atomic>
#include <cstdint>

// What "kx720 set-slave" is to do.
struct TKx720SetSlaveJob {
    TKx720Probe::TLine Line;
    int OldSlave = 2;
    int NewSlave = 0;
    bool Save = false; // also write the stored copy
    int Retries = 2;
    QString Defs;
};

// A guarded change of the drive's slave address: writes the new address (the
// stored copy first, with Save), then looks for the drive at the new address
// and, when it does not answer there, at the old one. Whatever happens it
// ends by saying where the drive was last seen. Main thread only.
class TKx720SetSlave {
public:
    TKx720SetSlave(TKx720SetSlaveJob job, QTextStream& out, QTextStream& err,
                   const std::atomic<int>& signal);

    // Exit status: 0 when the drive answers at the new address, 1 when the
    // change did not take or the drive was lost, 128 + the signal when
    // interrupted.
    int Run();

private:
    // Raises nothing; false with the reason in error.
    bool LoadRegisters(QString& error);
    // Retries + 1 attempts; the last status.
    int32_t Write(uint8_t slave, uint16_t reg, uint16_t word);
    // True when the drive answers a read of parameter 0 at slave; word is
    // the address it reports.
    bool Answers(int slave, uint16_t& word);
    int Interrupted(const QString& step);
    // Writes the old address back into the stored copy after a change that
    // did not take, and says what the stored copy holds.
    void RestoreStoredCopy();
    QString LastSeen() const;

    TKx720SetSlaveJob FJob;
    QTextStream& FOut;
    QTextStream& FErr;
    const std::atomic<int>& FSignal;
    TKx720Probe FProbe;
    uint16_t FLiveRegister = 0;
    uint16_t FStoredRegister = 0;
    int FLastSeen = 0; // 0: not seen in this run
};
