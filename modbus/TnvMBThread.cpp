#include "TnvMBThread.h"

#include "TModbusSrv.h"
#include "TnvMBUserFunc.h"
#include "TnvParDef.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <algorithm>
#include <chrono>

namespace {

using TClock = std::chrono::steady_clock;

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kWriteMultiple = 0x10;
// Results wait at most this long (and one exchange) for the GUI thread to be
// woken: on a fast link a pass then costs it one wake-up, not one a value.
constexpr auto kResultDelay = std::chrono::milliseconds(5);

std::uintptr_t AsWord(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

} // namespace

TnvMBThread::TnvMBThread()
    : FServerFactory([] { return std::make_unique<TModbusSrv>(); }) {}

TnvMBThread::~TnvMBThread() {
    {
        std::lock_guard lock(FSleepLock);
        FTerminated = true;
    }
    FWakeUp.notify_all();
    {
        // A request of many exchanges would otherwise hold the worker on.
        std::lock_guard lock(FUserFuncsLock);
        if (FServing)
            FServing->RequestStop();
    }
    if (!FWorker.joinable())
        return;
    // The worker still needs the GUI thread for OnDisconnect (and perhaps for
    // OnConnect or OnError, when it is only now connecting).
    FSync.ServeUntil([this] { return FFinished.load(); });
    FWorker.join();
}

bool TnvMBThread::Start() {
    if (FWorker.joinable() || !Settings.GetIsValid() || !Settings.Enabled)
        return false;
    FWorker = std::thread([this] { Execute(); });
    return true;
}

QString TnvMBThread::LastErrorDetail() const {
    std::lock_guard lock(FDetailLock);
    return FLastErrorDetail;
}

bool TnvMBThread::AddValueSet(TnvParValueSet* set) {
    if (!set)
        return false;
    FListBusy = true;
    {
        std::lock_guard lock(FValueSetsLock);
        if (std::find(FValueSets.begin(), FValueSets.end(), set) == FValueSets.end())
            FValueSets.push_back(set);
    }
    set->SetUpdateState(usWaiting);
    FListBusy = false;
    {
        // The set's first pass starts now, not at the next cycle.
        std::lock_guard lock(FSleepLock);
        FSetAdded = true;
    }
    FWakeUp.notify_all();
    return true;
}

bool TnvMBThread::RemoveValueSet(TnvParValueSet* set) {
    if (!set)
        return false;
    FListBusy = true;
    {
        std::lock_guard lock(FValueSetsLock);
        FValueSets.erase(std::remove(FValueSets.begin(), FValueSets.end(), set), FValueSets.end());
    }
    set->SetUpdateState(usIdle);
    FListBusy = false;
    return true;
}

void TnvMBThread::AddUserFunc(TnvMBUserFunc* request) {
    if (!request)
        return;
    std::lock_guard lock(FUserFuncsLock);
    if (std::find(FUserFuncs.begin(), FUserFuncs.end(), request) == FUserFuncs.end())
        FUserFuncs.push_back(request);
}

void TnvMBThread::RemoveUserFunc(TnvMBUserFunc* request) {
    if (!request)
        return;
    std::unique_lock lock(FUserFuncsLock);
    FUserFuncs.erase(std::remove(FUserFuncs.begin(), FUserFuncs.end(), request), FUserFuncs.end());
    if (FServing != request)
        return;
    FServingWithdrawn = true;
    request->RequestStop();
    FServed.wait(lock, [this, request] { return FServing != request; });
}

void TnvMBThread::Execute() {
    if (ConnectServer()) {
        FSync.Synchronize([this] {
            if (OnConnect)
                OnConnect(this);
        });
    } else {
        const int32_t code = LastError();
        FSync.Synchronize([this, code] {
            if (OnError)
                OnError(this, code);
        });
        DisconnectServer();
    }
    while (!FTerminated) {
        const auto start = TClock::now();
        // A set added from here on is in the list this pass walks.
        FSetAdded = false;
        if (IsConnected()) {
            ServeUserFunc();
            ServeValueSets();
        } else {
            ReportIdle();
        }
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start);
        if (spent.count() < kCycleMs)
            Sleep(std::chrono::milliseconds(kCycleMs) - spent);
    }
    FSync.Synchronize([this] {
        if (OnDisconnect)
            OnDisconnect(this);
    });
    DisconnectServer();
    FFinished = true;
    FSync.Wake();
}

void TnvMBThread::Sleep(std::chrono::milliseconds duration) {
    std::unique_lock lock(FSleepLock);
    FWakeUp.wait_for(lock, duration, [this] { return FTerminated.load() || FSetAdded.load(); });
}

int32_t TnvMBThread::SetLastError(int32_t code) {
    FLastError = code;
    if (code != 0 && FServer) {
        std::lock_guard lock(FDetailLock);
        FLastErrorDetail = FServer->ErrorText();
    }
    return code;
}

bool TnvMBThread::ConnectServer() {
    if (IsConnected())
        return true;
    try {
        FServer = FServerFactory();
        if (!FServer)
            throw std::runtime_error("no transport");
        if (!FServer->OpenConnection(Settings.Name, static_cast<int16_t>(Settings.ConnType))) {
            SetLastError(kLinkRefused);
            FServer.reset();
            return false;
        }
        FServer->put_Retries(static_cast<int16_t>(Settings.Retries));
        FServer->put_RaiseError(Settings.RaiseError);
        FServer->put_BaudRate(Settings.BaudRate);
        FServer->put_PortNumber(static_cast<int16_t>(Settings.PortNumber));
        FServer->put_ByteSize(static_cast<int16_t>(Settings.ByteSize));
        FServer->put_FlowCtrl(static_cast<int16_t>(Settings.FlowCtrl));
        FServer->put_Parity(static_cast<int16_t>(Settings.Parity));
        FServer->put_StopBits(Settings.StopBits);
        FServer->put_SilentInt(static_cast<int16_t>(Settings.SilentInt));
        FServer->put_Timeout(Settings.Timeout);
        FServer->put_TxMode(static_cast<int16_t>(Settings.TxMode));
        FServer->put_TCPIPPort(Settings.TCPIPPort);
        FServer->put_HostName(Settings.HostName);
        if (!FServer->Connect()) {
            SetLastError(kLinkRefused);
            FServer->CloseConnection();
            FServer.reset();
            return false;
        }
    } catch (const std::exception& e) {
        FServer.reset();
        FConnected = false;
        FLastError = kServerFailed;
        std::lock_guard lock(FDetailLock);
        FLastErrorDetail = QString::fromUtf8(e.what());
        return false;
    }
    FServer->SetStopRequest([this] { return StopRequested(); });
    FLastError = 0;
    FConnected = true;
    return true;
}

void TnvMBThread::DisconnectServer() {
    if (!IsConnected())
        return;
    FServer->CloseConnection();
    FServer.reset();
    FLastError = 0;
    FConnected = false;
}

void TnvMBThread::ServeUserFunc() {
    TnvMBUserFunc* request = nullptr;
    {
        std::lock_guard lock(FUserFuncsLock);
        if (FUserFuncs.empty() || FTerminated)
            return;
        request = FUserFuncs.front();
        FUserFuncs.pop_front();
        FServing = request;
        request->FStopRequested = false;
    }
    // The request has left the queue: the exchange runs without the lock, so
    // a GUI thread queuing another request never waits for a time-out.
    const int32_t result = SetLastError(request->Exchange(*FServer));
    {
        std::lock_guard lock(FUserFuncsLock);
        if (!FServingWithdrawn)
            request->PostMessage(result == 0 ? TnvMBUserFunc::kResponse : TnvMBUserFunc::kError, 0,
                                 result);
        FServing = nullptr;
        FServingWithdrawn = false;
    }
    FServed.notify_all();
}

void TnvMBThread::ServeValueSets() {
    std::lock_guard lock(FValueSetsLock);
    FInPass = true;
    for (TnvParValueSet* set : FValueSets) {
        if (!PassGoesOn())
            break;
        ServeValueSet(*set);
    }
    FInPass = false;
}

bool TnvMBThread::StopRequested() const {
    return FTerminated.load() || (FInPass && FListBusy.load()) || FServingWithdrawn.load();
}

bool TnvMBThread::ServeValueSet(TnvParValueSet& set) {
    const auto slave = static_cast<uint8_t>(set.GetSlaveAddress() & 0xFF);
    auto flushed = TClock::now();
    bool walked = true;
    for (const auto& owned : set.GetValues()) {
        if (!PassGoesOn()) {
            walked = false;
            break;
        }
        TnvParValue* value = owned.get();
        int32_t status = 0;
        if (value->GetWriteRequest()) {
            status = WriteValue(slave, value);
            if (!FAbandoned && status == 0)
                set.QueueMessage(TnvParValueSet::kMsgWriteDone, AsWord(value), 0);
        } else if (value->GetCyclic() && value->IsDue()) {
            status = ReadValue(slave, value);
            if (!FAbandoned && status == 0) {
                const bool changed = value->LoadFromFrame(FResponse);
                set.QueueMessage(TnvParValueSet::kMsgReadDone, AsWord(value), changed ? 1 : 0);
            }
        } else {
            continue;
        }
        // A cut exchange has an unknown outcome: it is not reported, and a
        // write request stays to be sent again.
        if (FAbandoned || status != 0) {
            if (!FAbandoned)
                set.QueueMessage(TnvParValueSet::kMsgExchangeFailed, AsWord(value), status);
            walked = false;
            break;
        }
        if (const auto now = TClock::now(); now - flushed >= kResultDelay) {
            set.FlushMessages();
            flushed = now;
        }
    }
    set.FlushMessages();
    return walked;
}

void TnvMBThread::ReportIdle() {
    std::lock_guard lock(FValueSetsLock);
    for (TnvParValueSet* set : FValueSets) {
        if (!PassGoesOn())
            return;
        if (set->GetUpdateState() != usIdle)
            set->PostMessage(TnvParValueSet::kMsgUpdateState, usIdle, 0);
    }
}

int32_t TnvMBThread::ReadValue(uint8_t slave, TnvParValue* value) {
    if (!value)
        return SetLastError(kNoValue);
    const uint16_t address = value->GetParDef().RegAddr;
    const std::vector<uint8_t> query{slave,
                                     kReadHolding,
                                     static_cast<uint8_t>(address >> 8),
                                     static_cast<uint8_t>(address & 0xFF),
                                     0x00,
                                     0x01};
    const int32_t status = Exchange(query);
    if (status != 0)
        return status;
    // The drive answers with the whole parameter: a reply of another size
    // comes from a parameter other than the one defined here, and is
    // refused rather than shown (and never read past).
    const size_t carried = FResponse.size() < 3 ? 0 : FResponse.size() - 3;
    if (carried != static_cast<size_t>(value->GetSize())) {
        FLastError = TModbusSrv::kInvalidReply;
        std::lock_guard lock(FDetailLock);
        FLastErrorDetail = QStringLiteral("a reply of %1 data bytes for a value of %2")
                               .arg(carried)
                               .arg(value->GetSize());
        return TModbusSrv::kInvalidReply;
    }
    return status;
}

int32_t TnvMBThread::WriteValue(uint8_t slave, TnvParValue* value) {
    if (!value)
        return SetLastError(kNoValue);
    const uint16_t address = value->GetParDef().RegAddr;
    const auto size = static_cast<size_t>(value->GetSize());
    // Quantity 1 whatever the size: the drive takes a parameter as a whole.
    std::vector<uint8_t> query{slave,
                               kWriteMultiple,
                               static_cast<uint8_t>(address >> 8),
                               static_cast<uint8_t>(address & 0xFF),
                               0x00,
                               0x01,
                               static_cast<uint8_t>(size & 0xFF)};
    query.resize(7 + size);
    value->CopyTo(std::span<uint8_t>(query).subspan(7));
    return Exchange(query);
}

int32_t TnvMBThread::Exchange(const std::vector<uint8_t>& query) {
    FResponse.clear();
    FAbandoned = false;
    const auto timeout = std::chrono::milliseconds(Settings.Timeout);
    // The budget of the header: one time-out per attempt and one for a line
    // check; no retry begins once it is spent.
    const auto deadline = TClock::now() + timeout * (std::max<int>(0, FServer->get_Retries()) + 2);
    int32_t status = 0;
    for (int attempt = 0;; ++attempt) {
        status = FServer->TxRxMessage(query, static_cast<int>(query.size()), FResponse);
        if (status != 0 && StopRequested()) {
            FAbandoned = true;
            break;
        }
        // The retry count is asked afresh after every failure.
        if (status == 0 || attempt >= FServer->get_Retries() || TClock::now() >= deadline)
            break;
    }
    return SetLastError(status);
}
