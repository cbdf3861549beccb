#include "TnvParBind.h"

#include "TnvError.h"
#include "TnvParDef.h"
#include "TnvParValueSet.h"

TnvParBind::TnvParBind(TnvParValueSet* owner, const TnvParDef* def)
    : FOwner(owner)
    , FParDef(def)
    , FTimeStamp(nv::Now()) {
    if (!def || !def->Valid)
        throw TnvError(QStringLiteral("TnvParBind: Bad identity specifier!"));
}

int TnvParBind::GetPeriod() const {
    const std::lock_guard lock(FLock);
    return FPeriod;
}

int TnvParBind::GetCountdown() const {
    const std::lock_guard lock(FLock);
    return FCountdown;
}

std::uint8_t TnvParBind::GetCyclic() const {
    const std::lock_guard lock(FLock);
    return FCyclic;
}

bool TnvParBind::GetWriteRequest() const {
    const std::lock_guard lock(FLock);
    return FWriteRequest;
}

nv::TDateTime TnvParBind::GetTimeStamp() const {
    const std::lock_guard lock(FLock);
    return FTimeStamp;
}

void TnvParBind::SetPeriod(int n) {
    const std::lock_guard lock(FLock);
    FPeriod = n;
    FCountdown = 0;
}

bool TnvParBind::IsDue() {
    const std::lock_guard lock(FLock);
    if (FCountdown > 0)
        --FCountdown;
    if (FCountdown > 0)
        return false;
    FCountdown = FPeriod;
    FReadSerial = FEditSerial;
    FReadNoted = true;
    return true;
}

void TnvParBind::SetCyclic(std::uint8_t n) {
    const std::lock_guard lock(FLock);
    FCountdown = 0;
    FPeriod = n;
    FCyclic = n;
}

void TnvParBind::SetWriteRequest(bool b) {
    // Asked without the lock: the owner's handler may look at this binding.
    if (b && FOwner && !FOwner->AcceptsWriteRequest(this))
        return;
    const std::lock_guard lock(FLock);
    if (FCyclic != 0 && b)
        FCountdown = FPeriod;
    if (b)
        ++FRequestSerial;
    FWriteRequest = b;
}

void TnvParBind::SetTimeStamp(nv::TDateTime stamp) {
    FTimeStamp = stamp;
}

void TnvParBind::NoteTakenForWrite() {
    FTakenSerial = FRequestSerial;
    FTaken = true;
}

void TnvParBind::ClearWriteRequest() {
    const std::lock_guard lock(FLock);
    if (!FTaken || FRequestSerial == FTakenSerial)
        FWriteRequest = false;
}

bool TnvParBind::ReplyMayReplace() const {
    // A reply that came another way than through IsDue has no moment to
    // compare with: it is taken, as it always was.
    return !FReadNoted || (!FWriteRequest && FEditSerial == FReadSerial);
}
