#pragma once

#include "TnvMBUserFunc.h"

#include <array>
#include <functional>
#include <mutex>
#include <vector>

class TnvParDefSet;

// Reads a range of a machine's program headers: for each index it selects the
// program by writing the index to the register of parameter 10 (function 6)
// until the register reads back with the index in its low byte, then reads
// the four registers of parameter 11 (function 3) into the index's slot.
//
// A slot holds 29 bytes. The four header registers (8 bytes, high byte first)
// go to its start; the remaining 21 bytes are always zero: the machine sends
// nothing for them, and a slot is cleared whole before it is written, so it
// never shows bytes of an earlier read.
//
// The reading stops at the first failure: a failed exchange (its code), a
// header reply that is not 11 bytes long, or a machine that does not take the
// selection within kSelectTries tries (both kHeaderFailed). It also stops when
// the thread asks it to (kHeaderFailed). GetLastIndex then tells how far it
// got: the index before the one being selected, or the index whose header
// failed; first - 1 (which may be -1) when nothing was read.
//
// Threads: created, configured and destroyed on the GUI thread; Exchange runs
// on the exchange thread. The setters are ignored while a reading runs.
class TnvTDProgHeaders : public TnvMBUserFunc {
public:
    static constexpr int32_t kHeaderFailed = -7;
    static constexpr int kSlotSize = 29;
    static constexpr int kHeaderBytes = 8;
    static constexpr int kSelectTries = 3;
    static constexpr uint32_t kSelectParameter = 10;
    static constexpr uint32_t kHeaderParameter = 11;

    using TSlot = std::array<uint8_t, kSlotSize>;

    explicit TnvTDProgHeaders(uint16_t capacity);

    int32_t Exchange(TModbusSrv& server) override;
    void DoOnResponse() override;
    void DoOnError(uint16_t w) override;
    void DoOnMessage(uint16_t w, long l) override;

    // Each ignored while busy or when unchanged, the index setters also for an
    // index not below the capacity; an accepted change clears the complete flag.
    void SetSlaveAddress(uint8_t address);
    // The registers of parameters 10 and 11 are taken from the set now (GUI
    // thread); a set without them makes every reading fail with -2.
    void SetDefinitions(TnvParDefSet* defs);
    void SetFirstIndex(uint16_t index);
    void SetLastIndex(uint16_t index);

    uint8_t GetSlaveAddress() const;
    TnvParDefSet* GetDefinitions() const { return FDefs; }
    uint16_t GetCapacity() const { return FCapacity; }
    int GetFirstIndex() const;
    int GetLastIndex() const;
    bool GetBusy() const;
    bool GetComplete() const;
    // A copy of the slot of index (zeros beyond the capacity). Any thread.
    TSlot GetHeader(uint16_t index) const;
    // Register k (0 to 3) of the header of index.
    uint16_t GetHeaderWord(uint16_t index, int k) const;

    // GUI thread, when assigned: the reading ended without error, or failed
    // (the code is in LastError), with the first and the last index; and each
    // header read, with its index and the last index asked for.
    std::function<void(TnvTDProgHeaders* sender, int first, int last)> OnComplete;
    std::function<void(TnvTDProgHeaders* sender, int first, int last)> OnFailure;
    std::function<void(TnvTDProgHeaders* sender, int index, int last)> OnProgress;

private:
    struct TRegisters {
        uint16_t Select = 0;
        uint16_t Header = 0;
        bool Known = false;
    };
    // 0, an exchange's code, or kHeaderFailed.
    int32_t Select(TModbusSrv& server, uint8_t slave, uint16_t reg, uint16_t index);
    int32_t ReadHeader(TModbusSrv& server, uint8_t slave, uint16_t reg, uint16_t index);
    bool Changeable() const; // with FLock held
    int32_t Failed() const;  // the status of a failed exchange

    mutable std::mutex FLock; // guards every field below but FDefs
    uint8_t FSlaveAddress = 0;
    TnvParDefSet* FDefs = nullptr; // GUI thread only
    TRegisters FRegisters;
    const uint16_t FCapacity;
    int FFirstIndex = 0;
    int FLastIndex;
    bool FBusy = false;
    bool FComplete = false;
    std::vector<uint8_t> FTable; // FCapacity slots of kSlotSize bytes
};
