#include "TnvLinkLock.h"

void TnvLinkLock::lock() {
    std::unique_lock guard(FLock);
    const auto self = std::this_thread::get_id();
    if (FDepth > 0 && FOwner == self) {
        ++FDepth;
        return;
    }
    const uint64_t ticket = FNextTicket++;
    FTurn.wait(guard, [&] { return FServing == ticket; });
    FOwner = self;
    FDepth = 1;
}

void TnvLinkLock::unlock() {
    {
        std::lock_guard guard(FLock);
        if (--FDepth > 0)
            return;
        FOwner = {};
        ++FServing;
    }
    FTurn.notify_all();
}
