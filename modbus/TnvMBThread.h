#pragma once

#include "TnvMBSetup.h"
#include "TnvSynchronizer.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TModbusSrv;
class TnvMBUserFunc;
class TnvParValue;
class TnvParValueSet;

// The worker that owns one Modbus link. Once started it opens the link and
// then, every 100 ms until it is destroyed, serves one queued user request
// and walks every subscribed value set: it writes each value with a write
// request (function 16) and reads each cyclic value that is due (function 3),
// always with quantity 1, and posts every result to the value set (or the
// request) concerned. Connection events run on the GUI thread while the
// worker waits. It never reconnects by itself.
//
// Subscribing a set ends the pause between cycles: the next pass starts at
// once, and the cycle counts its 100 ms from there. A set's results reach
// the GUI thread in order, together, at the end of the set's walk or once
// 5 ms have passed since the last lot, so that a fast link wakes the GUI
// thread a few times a pass rather than once a value.
//
// Cost of a failure: an exchange makes at most Retries + 1 attempts, each
// waiting at most Timeout for its reply. A serial line that must first be
// resynchronised (after opening, or after a reply that matched no request;
// see TModbusSrv.h) costs one more Timeout at most for the line check, and
// the retries that follow a successful check need none. A failed exchange
// thus costs at most (Retries + 1) x Timeout plus one Timeout, the late-reply
// allowance; a line whose replies keep arriving garbled cannot stretch it by
// more than one Timeout more, as no retry begins once (Retries + 2) x Timeout
// have passed.
//
// Stopping: destruction, RemoveValueSet and AddValueSet cut the exchange on
// the wire short (the transport's wait ends within 20 ms), so they return
// well within one Timeout plus 100 ms, even against a silent slave. A value
// whose exchange was cut short is not reported; its write request stays.
//
// Threads: created, started, fed and destroyed on the GUI thread (the thread
// that created it); the worker alone touches the transport.
class TnvMBThread {
public:
    // Status codes of the thread; the transport's are in TModbusSrv.h.
    static constexpr int32_t kLinkRefused = -1;
    static constexpr int32_t kNoValue = -2;
    static constexpr int32_t kServerFailed = -3;
    // The cycle's period.
    static constexpr int kCycleMs = 100;

    using TServerFactory = std::function<std::unique_ptr<TModbusSrv>()>;

    TnvMBThread();
    // Requests termination and waits for the worker, running its GUI calls
    // (OnDisconnect) meanwhile; never from inside one of the thread's events.
    ~TnvMBThread();
    TnvMBThread(const TnvMBThread&) = delete;
    TnvMBThread& operator=(const TnvMBThread&) = delete;

    // The link's settings; written by the owner only before Start.
    TnvMBSetup Settings;

    // Starts the worker when Settings are valid and enabled; otherwise false,
    // and the thread never connects nor posts anything. Only once.
    bool Start();
    // Link open. Any thread.
    bool IsConnected() const { return FConnected.load(); }
    bool GetEnabled() const { return Settings.Enabled; }
    // Status of the last connect or exchange; 0 when all is well. Any thread.
    int32_t LastError() const { return FLastError.load(); }
    // The transport's own words for the last failure ("/dev/ttyS0: Permission
    // denied"), for a log line after the status text. Any thread.
    QString LastErrorDetail() const;

    // GUI thread. Subscribes a set (once, however often it is added) and
    // sets its state to usWaiting; false for none. Returns after at most one
    // exchange of the worker.
    bool AddValueSet(TnvParValueSet* set);
    // GUI thread. Unsubscribes a set and sets its state to usIdle; false for
    // none.
    bool RemoveValueSet(TnvParValueSet* set);
    // Any thread. Queues a request (once); the caller keeps it alive until
    // its completion or failure message has been handled, or until it has
    // withdrawn it with RemoveUserFunc.
    void AddUserFunc(TnvMBUserFunc* request);
    // GUI thread. Takes a request out of the queue; when the worker is
    // serving it, asks it to stop and waits until the worker has let go of it
    // (at most the exchange on the wire). The request gets no message
    // afterwards and may then be destroyed.
    void RemoveUserFunc(TnvMBUserFunc* request);

    // Replaces the transport's creation (tests); an exception raised by the
    // factory counts as a failing transport (-3).
    void SetServerFactory(TServerFactory factory) { FServerFactory = std::move(factory); }

    // Events, run on the GUI thread while the worker waits for them.
    std::function<void(TnvMBThread* sender)> OnConnect;             // the link opened
    std::function<void(TnvMBThread* sender)> OnDisconnect;          // the worker stops
    std::function<void(TnvMBThread* sender, int32_t code)> OnError; // the link failed to open

private:
    void Execute();
    bool ConnectServer();
    void DisconnectServer();
    void ServeUserFunc();
    void ServeValueSets();
    // False when the set was left after a failure or the pass was given up.
    bool ServeValueSet(TnvParValueSet& set);
    void ReportIdle();
    bool PassGoesOn() const { return !FTerminated.load() && !FListBusy.load(); }
    // Worker thread: the transport's waits end at once when this holds.
    bool StopRequested() const;
    int32_t ReadValue(uint8_t slave, TnvParValue* value);
    int32_t WriteValue(uint8_t slave, TnvParValue* value);
    // One exchange with the retries the transport asks for; FResponse holds
    // the reply.
    int32_t Exchange(const std::vector<uint8_t>& query);
    int32_t SetLastError(int32_t code);
    void Sleep(std::chrono::milliseconds duration);

    std::atomic<bool> FListBusy{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FConnected{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FSetAdded{false}; // set under FSleepLock; ends the cycle pause
    std::atomic<int32_t> FLastError{0};

    std::mutex FValueSetsLock;
    std::vector<TnvParValueSet*> FValueSets; // subscription order, not owned
    std::mutex FUserFuncsLock;
    std::deque<TnvMBUserFunc*> FUserFuncs; // first in, first out, not owned
    TnvMBUserFunc* FServing = nullptr;     // guarded by FUserFuncsLock
    std::atomic<bool> FServingWithdrawn{
        false};                      // written under FUserFuncsLock; cuts its exchange short
    std::condition_variable FServed; // FServing was let go of

    std::unique_ptr<TModbusSrv> FServer; // worker only
    std::vector<uint8_t> FResponse;      // worker only
    bool FInPass = false;                // worker only: walking the value sets
    bool FAbandoned = false;             // worker only: the last exchange was cut short
    TServerFactory FServerFactory;

    mutable std::mutex FDetailLock;
    QString FLastErrorDetail;

    std::mutex FSleepLock;
    std::condition_variable FWakeUp; // ends the cycle pause at termination
    TnvSynchronizer FSync;
    std::thread FWorker;
};
