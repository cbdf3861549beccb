#pragma once

#include "NvDateTime.h"

#include <cstdint>
#include <mutex>

class TnvParDef;
class TnvParValueSet;

// A parameter's binding: its definition, its value set and the polling and
// write-request state that the exchange thread works on.
//
// Threads: IsDue, GetCyclic and GetWriteRequest are for the exchange thread;
// SetPeriod, SetCyclic and SetWriteRequest for the GUI thread; the getters
// may be called from either. The state is guarded by the binding's lock, which
// a value also takes around its buffer.
class TnvParBind {
public:
    // Raises TnvError "TnvParBind: Bad identity specifier!" when def is
    // missing or not Valid. Period 10, Countdown 0, not cyclic, no write
    // request, TimeStamp now.
    TnvParBind(TnvParValueSet* owner, const TnvParDef* def);
    virtual ~TnvParBind() = default;
    TnvParBind(const TnvParBind&) = delete;
    TnvParBind& operator=(const TnvParBind&) = delete;

    TnvParValueSet* GetOwner() const { return FOwner; }
    const TnvParDef& GetParDef() const { return *FParDef; }

    int GetPeriod() const;
    int GetCountdown() const;
    std::uint8_t GetCyclic() const;
    bool GetWriteRequest() const;
    nv::TDateTime GetTimeStamp() const;

    // Period = n, Countdown = 0: due at the next pass, then every n passes.
    void SetPeriod(int n);
    // Once per pass for a cyclic value: counts Countdown down and answers
    // true (restarting it at Period) when it reaches 0. Period 0 or 1: every
    // pass. A true answer sends a read, so it also marks the moment the read
    // left: its reply does not replace an edit made after it.
    bool IsDue();
    // Countdown = 0, Period = Cyclic = n: SetCyclic(true) reads at every pass.
    void SetCyclic(std::uint8_t n);
    // A request the owner refuses (its OnWriteRequest) changes nothing. On a
    // cyclic value a raised request also delays the next read by a full
    // Period; then WriteRequest = b.
    void SetWriteRequest(bool b);

protected:
    void SetTimeStamp(nv::TDateTime stamp); // with FLock held
    // With FLock held, when the exchange thread takes the buffer for a write.
    void NoteTakenForWrite();
    // Ends the request that the completed write served. A request raised
    // after the exchange thread took the buffer stays, so an edit made while
    // the previous write was on the wire is still sent.
    void ClearWriteRequest();
    // With FLock held, when the application changes the buffer.
    void NoteEdit() { ++FEditSerial; }
    // With FLock held: whether the reply to the read that left last may
    // replace the buffer. Not when the application edited the buffer since
    // the read left, nor while a write is pending: the drive's old word would
    // overwrite the edit and then be written back.
    bool ReplyMayReplace() const;

    mutable std::mutex FLock;

private:
    TnvParValueSet* FOwner;
    const TnvParDef* FParDef;
    int FPeriod = 10;
    int FCountdown = 0;
    std::uint8_t FCyclic = 0;
    bool FWriteRequest = false;
    std::uint32_t FRequestSerial = 0; // counts raised requests
    std::uint32_t FTakenSerial = 0;   // FRequestSerial when the buffer was last taken
    bool FTaken = false;
    std::uint32_t FEditSerial = 0; // counts application edits of the buffer
    std::uint32_t FReadSerial = 0; // FEditSerial when the last read left
    bool FReadNoted = false;
    nv::TDateTime FTimeStamp;
};
