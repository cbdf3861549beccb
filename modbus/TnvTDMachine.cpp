#include "TnvTDMachine.h"

#include "TnvMBDeviceInfo.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"
#include "TnvTDProgHeaders.h"

#include <QTimer>
#include <algorithm>

TnvTDMachine::TnvTDMachine()
    : FInfoTimer(std::make_unique<QTimer>())
    , FTDInfo(std::make_unique<TnvMBDeviceInfo>(0))
    , FProgHeaders(std::make_unique<TnvTDProgHeaders>(kHeaderCapacity))
    , FParValues(std::make_unique<TnvParValueSet>()) {
    QObject::connect(FInfoTimer.get(), &QTimer::timeout, FInfoTimer.get(),
                     [this] { InfoTimerTick(); });
    FTDInfo->OnResponse = [this](TnvMBDeviceInfo*) {
        DeviceInfoAnswered();
    };
    // A failed identification is not reported: the timer asks again.
    FTDInfo->OnError = [this](TnvMBDeviceInfo*) {
        FInfoInFlight = false;
    };
    FParValues->SetSlaveAddress(0);
    FParValues->OnAddParValue = [this](TnvParValueSet*, TnvParValue* value) {
        ParValueAdded(value);
    };
    FParValues->OnUpdateStateChange = [this](TnvParValueSet*, TnvUpdateState) {
        UpdateNodeState();
    };
}

TnvTDMachine::~TnvTDMachine() {
    FInfoTimer->stop();
    FParValues->OnUpdateStateChange = nullptr;
    if (FSubscribed) {
        // The thread must let go of what it would otherwise use after us.
        WithdrawRequests(FSubscribed);
        Subscribe(false);
    }
    if (OnDestroy)
        OnDestroy(this);
}

void TnvTDMachine::SetNodeName(const QString& name) {
    if (name == FSettings.NodeName)
        return;
    FSettings.NodeName = name;
    if (OnNodeNameChange)
        OnNodeNameChange(this);
}

void TnvTDMachine::SetConnName(const QString& name) {
    if (name == FSettings.ConnName)
        return;
    if (OnBeforeConnChange)
        OnBeforeConnChange(this, name);
    FSettings.ConnName = name;
}

int TnvTDMachine::GetSlaveAddress() const {
    return FParValues->GetSlaveAddress();
}

void TnvTDMachine::SetSlaveAddress(int address) {
    if (address == GetSlaveAddress())
        return;
    bool canChange = true;
    if (OnBeforeAddrChange)
        OnBeforeAddrChange(this, address, canChange);
    if (!canChange)
        return;
    FSettings.SlaveAddress = address;
    ApplyAddress();
}

void TnvTDMachine::ApplyAddress() {
    const auto address = static_cast<uint8_t>(FSettings.SlaveAddress & 0xFF);
    FParValues->SetSlaveAddress(FSettings.SlaveAddress);
    // A request on the worker is not written to; the next one takes the address.
    if (!FInfoInFlight)
        FTDInfo->SlaveAddress = address;
    FProgHeaders->SetSlaveAddress(address);
}

void TnvTDMachine::SetEnabled(bool enabled) {
    if (!FSubscribed || enabled == FSettings.Enabled)
        return;
    FSettings.Enabled = enabled;
    if (enabled) {
        Subscribe(true);
    } else {
        bool canChange = true;
        if (OnBeforeDisable)
            OnBeforeDisable(this, canChange);
        if (canChange)
            Subscribe(false);
    }
    UpdateNodeState();
}

bool TnvTDMachine::IsAlarm() const {
    for (uint32_t index : {kAlarmIndex, kAlarm2Index}) {
        const TnvParValue* value = FParValues->FindValue(index);
        if (value && value->IsNonZero())
            return true;
    }
    return false;
}

void TnvTDMachine::SetSubscribed(TnvMBThread* thread) {
    if (thread == FSubscribed)
        return;
    if (FSubscribed) {
        WithdrawRequests(FSubscribed);
        Subscribe(false);
    }
    FSubscribed = thread;
    ApplySubscription();
    UpdateNodeState();
}

void TnvTDMachine::Subscribe(bool subscribe) {
    if (subscribe && FSubscribed && !FValuesSubscribed) {
        FValuesSubscribed = true;
        FSubscribed->AddValueSet(FParValues.get());
    } else if (!subscribe && FSubscribed && FValuesSubscribed) {
        FValuesSubscribed = false;
        FSubscribed->RemoveValueSet(FParValues.get());
    }
}

void TnvTDMachine::ApplySubscription() {
    // A disabled node does not poll its machine.
    Subscribe(FSubscribed && FSettings.Enabled);
}

void TnvTDMachine::WithdrawRequests(TnvMBThread* thread) {
    thread->RemoveUserFunc(FTDInfo.get());
    thread->RemoveUserFunc(FProgHeaders.get());
    FInfoInFlight = false;
}

bool TnvTDMachine::AssignDefSet(TnvParDefSet* defs) {
    if (defs) {
        FParDefs = defs;
        FProgHeaders->SetDefinitions(defs);
    }
    return FParDefs != nullptr;
}

void TnvTDMachine::AssignSettings(const TnvTDSetup& setup) {
    FSettings.Assign(setup);
    ApplyAddress();
    ApplySubscription();
    UpdateNodeState();
}

bool TnvTDMachine::AskForDeviceInfo(int interval) {
    if (!FSubscribed)
        return false;
    QueueDeviceInfo();
    FInfoTimer->start(std::max(interval, kMinInfoInterval));
    UpdateNodeState();
    return true;
}

void TnvTDMachine::QueueDeviceInfo() {
    // Still queued or on the wire: asking again would only repeat it.
    if (FInfoInFlight || !FSubscribed)
        return;
    FTDInfo->SlaveAddress = static_cast<uint8_t>(FSettings.SlaveAddress & 0xFF);
    FInfoInFlight = true;
    FSubscribed->AddUserFunc(FTDInfo.get());
}

void TnvTDMachine::InfoTimerTick() {
    QueueDeviceInfo();
}

void TnvTDMachine::DeviceInfoAnswered() {
    FInfoInFlight = false;
    FInfoTimer->stop();
    if (OnTDInfo)
        OnTDInfo(this, FTDInfo.get());
    UpdateNodeState();
}

bool TnvTDMachine::AskForProgHeaders(uint16_t first, uint16_t last) {
    // An index the request would ignore would read a range nobody asked for.
    if (FNodeState != kOk || !FSubscribed || FProgHeaders->GetBusy() ||
        first >= FProgHeaders->GetCapacity() || last >= FProgHeaders->GetCapacity())
        return false;
    FProgHeaders->SetSlaveAddress(static_cast<uint8_t>(FSettings.SlaveAddress & 0xFF));
    FProgHeaders->SetFirstIndex(first);
    FProgHeaders->SetLastIndex(last);
    FSubscribed->AddUserFunc(FProgHeaders.get());
    return true;
}

bool TnvTDMachine::SaveToIniFile(const QString& fileName) const {
    return FSettings.SaveToIniFile(fileName);
}

bool TnvTDMachine::LoadFromIniFile(const QString& fileName) {
    const bool loaded = FSettings.LoadFromIniFile(fileName);
    if (loaded) {
        ApplyAddress();
        ApplySubscription();
    }
    UpdateNodeState();
    return loaded;
}

bool TnvTDMachine::DeleteFromIniFile(const QString& fileName) const {
    return FSettings.DeleteFromIniFile(fileName);
}

bool TnvTDMachine::ExistInInifile(const QString& fileName) const {
    return FSettings.ExistInInifile(fileName);
}

bool TnvTDMachine::SaveToRegistry(TnvRegistryRoot root, const QString& key) const {
    return FSettings.SaveToRegistry(root, key);
}

bool TnvTDMachine::LoadFromRegistry(TnvRegistryRoot root, const QString& key) {
    bool loaded = false;
    try {
        loaded = FSettings.LoadFromRegistry(root, key);
    } catch (...) {
        UpdateNodeState();
        throw;
    }
    if (loaded) {
        ApplyAddress();
        ApplySubscription();
    }
    UpdateNodeState();
    return loaded;
}

bool TnvTDMachine::DeleteFromRegistry(TnvRegistryRoot root, const QString& key) const {
    return FSettings.DeleteFromRegistry(root, key);
}

bool TnvTDMachine::ExistInRegistry(TnvRegistryRoot root, const QString& key) const {
    return FSettings.ExistInRegistry(root, key);
}

void TnvTDMachine::UpdateNodeState() {
    uint8_t state = kWaiting;
    if (!FSettings.Enabled)
        state = kDisabled;
    else if (!FSubscribed)
        state = kNoThread;
    else if (!FSubscribed->GetEnabled())
        state = kLinkDisabled;
    else if (FInfoTimer->isActive())
        state = kIdentifying;
    else {
        switch (FParValues->GetUpdateState()) {
        case usIdle:
            state = kIdle;
            break;
        case usOk:
            state = IsAlarm() ? kAlarm : AlarmValuesKnown() ? kOk : kWaiting;
            break;
        case usError:
            state = kExchangeError;
            break;
        default:
            state = kWaiting;
            break;
        }
    }
    if (state == FNodeState)
        return;
    FNodeState = state;
    if (OnNodeStateChange)
        OnNodeStateChange(this);
}

void TnvTDMachine::ParValueAdded(TnvParValue* value) {
    value->SetPeriod(FSettings.SampleTime);
    value->OnError = [this](TnvParValue*, int) {
        UpdateNodeState();
    };
    switch (value->GetParDef().ParIndex) {
    case kFaultsIndex:
        value->SetCyclic(1);
        break;
    case kCommandIndex:
        value->SetCyclic(1);
        value->OnReceive = [this](TnvParValue* v, bool changed) {
            if (changed && OnTDCmdChange)
                OnTDCmdChange(this, v);
        };
        break;
    case kStateIndex:
        value->SetCyclic(1);
        value->OnReceive = [this](TnvParValue* v, bool changed) {
            if (changed && OnTDStateChange)
                OnTDStateChange(this, v);
        };
        break;
    case kAlarmIndex:
    case kAlarm2Index:
        value->SetCyclic(1);
        value->OnReceive = [this](TnvParValue* v, bool changed) {
            AlarmReceived(v, changed);
        };
        break;
    default:
        break;
    }
}

void TnvTDMachine::AlarmReceived(TnvParValue* value, bool changed) {
    // The state follows every reception: an alarm present at the first read,
    // before the other alarm word is fresh, must not leave the node "ok".
    UpdateNodeState();
    if (changed && AlarmValuesFresh() && OnTDAlarmChange)
        OnTDAlarmChange(this, value, IsAlarm());
}

bool TnvTDMachine::AlarmValuesKnown() const {
    // The first reads of a pass may come in before the alarm words: "ok" must
    // wait until they have been read once.
    for (uint32_t index : {kAlarmIndex, kAlarm2Index}) {
        const TnvParValue* value = FParValues->FindValue(index);
        if (value && value->GetStatus() == TnvParValue::stCleared)
            return false;
    }
    return true;
}

bool TnvTDMachine::AlarmValuesFresh() const {
    for (uint32_t index : {kAlarmIndex, kAlarm2Index}) {
        const TnvParValue* value = FParValues->FindValue(index);
        if (value && value->GetStatus() != TnvParValue::stReceived)
            return false;
    }
    return true;
}
