#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class TModbusSrv;
class TnvMessageWindow;

// A one-off request of a client's own making, queued on an exchange thread
// (TnvMBThread::AddUserFunc). The request builds its query and decodes its
// reply in Exchange, on the worker thread; the thread then posts WM_USER + 1
// (completed) or WM_USER + 3 (failed, code in LastError) to the request's
// message window, which calls DoOnResponse or DoOnError on the GUI thread.
// The creator owns the request and keeps it alive until that message has been
// handled. Created and destroyed on the GUI thread.
class TnvMBUserFunc {
public:
    static constexpr unsigned kResponse = 1024 + 1; // WM_USER + 1
    static constexpr unsigned kMessage = 1024 + 2;  // WM_USER + 2
    static constexpr unsigned kError = 1024 + 3;    // WM_USER + 3

    TnvMBUserFunc();
    virtual ~TnvMBUserFunc();
    TnvMBUserFunc(const TnvMBUserFunc&) = delete;
    TnvMBUserFunc& operator=(const TnvMBUserFunc&) = delete;

    // Worker thread: builds the query, exchanges it and decodes the reply;
    // returns the status (0 success, else a TModbusSrv code).
    virtual int32_t Exchange(TModbusSrv& server) = 0;
    // GUI thread, on WM_USER + 1: the request completed.
    virtual void DoOnResponse() = 0;
    // GUI thread, on WM_USER + 3: the request failed; the code is in LastError.
    virtual void DoOnError(uint16_t w) = 0;
    // GUI thread, on WM_USER + 2.
    virtual void DoOnMessage(uint16_t w, long l) = 0;

    // Any thread: queues a message for the GUI thread; never blocks.
    void PostMessage(unsigned code, std::uintptr_t w, std::intptr_t l);

    // Any thread: asks a running Exchange to end after the exchange on the
    // wire. The thread asks when it is being destroyed or the request is
    // withdrawn (TnvMBThread::RemoveUserFunc); it clears the request before
    // each Exchange.
    void RequestStop() { FStopRequested = true; }

    int32_t LastError = 0;
    int32_t QueryLength = 0;
    std::vector<uint8_t> Query;    // the request without CRC
    std::vector<uint8_t> Response; // the reply as the transport returned it

protected:
    // One exchange of Query, without retry; LastError gets the status.
    bool TxRx(TModbusSrv& server);
    // Query: slave, 0x03, address, quantity (both high byte first).
    void BuildReadQuery(uint8_t slave, uint16_t address, uint16_t quantity);
    // Query: slave, 0x06, address, value (both high byte first).
    void BuildWriteQuery(uint8_t slave, uint16_t address, uint16_t value);
    const uint8_t* ResponseData() const { return Response.empty() ? nullptr : Response.data(); }
    int ResponseLength() const { return static_cast<int>(Response.size()); }
    // Worker thread: whether Exchange should end at once. A request of many
    // exchanges asks between them.
    bool StopRequested() const { return FStopRequested.load(); }

private:
    friend class TnvMBThread;
    void WndProc(unsigned code, std::uintptr_t w, std::intptr_t l);

    std::unique_ptr<TnvMessageWindow> FWindow;
    std::atomic<bool> FStopRequested{false};
};
