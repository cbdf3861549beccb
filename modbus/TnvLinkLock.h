#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A recursive lock that hands the link over in the order its users asked for
// it. A plain mutex lets a thread that unlocks and locks again at once (the
// TCP server between two requests) take it again before a waiting thread
// wakes, so the link's owner could wait out a whole queue of exchanges.
// Meets BasicLockable (std::lock_guard, std::unique_lock).
class TnvLinkLock {
public:
    void lock();
    void unlock();

private:
    std::mutex FLock;
    std::condition_variable FTurn;
    uint64_t FNextTicket = 0;
    uint64_t FServing = 0;
    std::thread::id FOwner;
    int FDepth = 0;
};
