#include "TnvTDProgHeaders.h"

#include "TModbusSrv.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kHeaderRegisters = 4;
constexpr int kHeaderReplyLength = 3 + 2 * kHeaderRegisters;
constexpr int kReadBackLength = 5; // slave, function, byte count, one register

} // namespace

TnvTDProgHeaders::TnvTDProgHeaders(uint16_t capacity)
    : FCapacity(capacity)
    , FLastIndex(capacity - 1)
    , FTable(size_t{capacity} * kSlotSize, 0) {}

bool TnvTDProgHeaders::Changeable() const {
    return !FBusy;
}

void TnvTDProgHeaders::SetSlaveAddress(uint8_t address) {
    std::lock_guard lock(FLock);
    if (!Changeable() || address == FSlaveAddress)
        return;
    FSlaveAddress = address;
    FComplete = false;
}

void TnvTDProgHeaders::SetDefinitions(TnvParDefSet* defs) {
    TRegisters registers;
    if (defs) {
        const TnvParDef* select = defs->GetParDefinition(kSelectParameter);
        const TnvParDef* header = defs->GetParDefinition(kHeaderParameter);
        if (select && header)
            registers = {select->RegAddr, header->RegAddr, true};
    }
    std::lock_guard lock(FLock);
    if (!Changeable() || defs == FDefs)
        return;
    FDefs = defs;
    FRegisters = registers;
    FComplete = false;
}

void TnvTDProgHeaders::SetFirstIndex(uint16_t index) {
    std::lock_guard lock(FLock);
    if (!Changeable() || index == FFirstIndex || index >= FCapacity)
        return;
    FFirstIndex = index;
    FComplete = false;
}

void TnvTDProgHeaders::SetLastIndex(uint16_t index) {
    std::lock_guard lock(FLock);
    if (!Changeable() || index == FLastIndex || index >= FCapacity)
        return;
    FLastIndex = index;
    FComplete = false;
}

uint8_t TnvTDProgHeaders::GetSlaveAddress() const {
    std::lock_guard lock(FLock);
    return FSlaveAddress;
}

int TnvTDProgHeaders::GetFirstIndex() const {
    std::lock_guard lock(FLock);
    return FFirstIndex;
}

int TnvTDProgHeaders::GetLastIndex() const {
    std::lock_guard lock(FLock);
    return FLastIndex;
}

bool TnvTDProgHeaders::GetBusy() const {
    std::lock_guard lock(FLock);
    return FBusy;
}

bool TnvTDProgHeaders::GetComplete() const {
    std::lock_guard lock(FLock);
    return FComplete;
}

TnvTDProgHeaders::TSlot TnvTDProgHeaders::GetHeader(uint16_t index) const {
    TSlot slot{};
    std::lock_guard lock(FLock);
    if (index < FCapacity)
        std::memcpy(slot.data(), FTable.data() + size_t{index} * kSlotSize, kSlotSize);
    return slot;
}

uint16_t TnvTDProgHeaders::GetHeaderWord(uint16_t index, int k) const {
    if (k < 0 || k >= kHeaderRegisters)
        return 0;
    const TSlot slot = GetHeader(index);
    return static_cast<uint16_t>(slot[2 * k] << 8 | slot[2 * k + 1]);
}

int32_t TnvTDProgHeaders::Exchange(TModbusSrv& server) {
    uint8_t slave = 0;
    TRegisters registers;
    int first = 0;
    int last = 0;
    {
        std::lock_guard lock(FLock);
        FBusy = true;
        FComplete = false;
        slave = FSlaveAddress;
        registers = FRegisters;
        first = FFirstIndex;
        last = FLastIndex;
    }
    LastError = registers.Known ? 0 : TnvMBThread::kNoValue;
    // The last index whose header was read: a failed index is never claimed.
    int reached = registers.Known ? last : first - 1;
    for (int i = first; i <= last && LastError == 0; ++i) {
        const auto index = static_cast<uint16_t>(i);
        LastError = Select(server, slave, registers.Select, index);
        if (LastError == 0)
            LastError = ReadHeader(server, slave, registers.Header, index);
        if (LastError != 0)
            reached = i - 1;
        else
            PostMessage(kMessage, index, last);
    }
    std::lock_guard lock(FLock);
    FLastIndex = reached;
    FComplete = LastError == 0;
    FBusy = false;
    return LastError;
}

int32_t TnvTDProgHeaders::Select(TModbusSrv& server, uint8_t slave, uint16_t reg, uint16_t index) {
    // A machine that never takes the selection must not hold the link for ever.
    for (int attempt = 0; attempt < kSelectTries; ++attempt) {
        if (StopRequested())
            return kHeaderFailed;
        BuildWriteQuery(slave, reg, index);
        if (!TxRx(server))
            return Failed();
        if (StopRequested())
            return kHeaderFailed;
        BuildReadQuery(slave, reg, 1);
        if (!TxRx(server))
            return Failed();
        if (ResponseLength() >= kReadBackLength && ResponseData()[4] == (index & 0xFF))
            return 0;
    }
    return kHeaderFailed;
}

int32_t TnvTDProgHeaders::ReadHeader(TModbusSrv& server, uint8_t slave, uint16_t reg,
                                     uint16_t index) {
    if (StopRequested())
        return kHeaderFailed;
    BuildReadQuery(slave, reg, kHeaderRegisters);
    if (!TxRx(server))
        return Failed();
    if (ResponseLength() != kHeaderReplyLength)
        return kHeaderFailed;
    const uint8_t* reply = ResponseData();
    // The byte count is the machine's word: never trusted beyond the reply or the slot.
    const int count = std::min({int{reply[2]}, ResponseLength() - 3, int{kSlotSize}});
    std::lock_guard lock(FLock);
    if (index >= FCapacity)
        return kHeaderFailed;
    uint8_t* slot = FTable.data() + size_t{index} * kSlotSize;
    std::fill(slot, slot + kSlotSize, uint8_t{0});
    std::copy(reply + 3, reply + 3 + count, slot);
    return 0;
}

int32_t TnvTDProgHeaders::Failed() const {
    // An exchange cut short because the thread ends is no fault of the link.
    return StopRequested() ? kHeaderFailed : LastError;
}

void TnvTDProgHeaders::DoOnResponse() {
    if (OnComplete)
        OnComplete(this, GetFirstIndex(), GetLastIndex());
}

void TnvTDProgHeaders::DoOnError(uint16_t) {
    if (OnFailure)
        OnFailure(this, GetFirstIndex(), GetLastIndex());
}

void TnvTDProgHeaders::DoOnMessage(uint16_t w, long l) {
    if (OnProgress)
        OnProgress(this, w, static_cast<int>(l));
}
