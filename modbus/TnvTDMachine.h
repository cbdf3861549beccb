#pragma once

#include "TnvTDSetup.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;
class TnvMBDeviceInfo;
class TnvMBThread;
class TnvParDefSet;
class TnvParValue;
class TnvParValueSet;
class TnvTDProgHeaders;
enum class TnvRegistryRoot;

// Supervises one machine on a shared Modbus link: it owns the value set of the
// machine's slave, subscribes it to an exchange thread chosen by the client,
// watches the command (400), state (401) and alarm words (402, 403), asks for
// the device identification and the program headers on request, and condenses
// all of it into one node state:
//   162 disabled, 172 no thread, 174 the thread's link is disabled,
//   190 identification pending, 175 link not open (usIdle), 164 waiting,
//   163 ok, 108 alarm, 171 exchanges failing (usError). Until both alarm
//   words have been read once, a node whose reads succeed is still waiting.
//
// The client fills ParValues (AddParBindsCategory with the machine's
// definitions) before it subscribes a thread: the values' list must not change
// while a thread serves it. The thread is not owned: the client unsubscribes
// the node (SetSubscribed(nullptr)) or destroys it before the thread.
//
// GUI thread only; every event is raised there.
class TnvTDMachine {
public:
    static constexpr uint8_t kAlarm = 108;
    static constexpr uint8_t kDisabled = 162;
    static constexpr uint8_t kOk = 163;
    static constexpr uint8_t kWaiting = 164;
    static constexpr uint8_t kExchangeError = 171;
    static constexpr uint8_t kNoThread = 172;
    static constexpr uint8_t kLinkDisabled = 174;
    static constexpr uint8_t kIdle = 175;
    static constexpr uint8_t kIdentifying = 190;
    static constexpr uint16_t kHeaderCapacity = 100;
    static constexpr int kMinInfoInterval = 100; // ms; the exchange thread's cycle

    static constexpr uint32_t kFaultsIndex = 2;
    static constexpr uint32_t kCommandIndex = 400;
    static constexpr uint32_t kStateIndex = 401;
    static constexpr uint32_t kAlarmIndex = 402;
    static constexpr uint32_t kAlarm2Index = 403;

    TnvTDMachine();
    // Withdraws its requests from the thread, unsubscribes its values,
    // raises OnDestroy.
    ~TnvTDMachine();
    TnvTDMachine(const TnvTDMachine&) = delete;
    TnvTDMachine& operator=(const TnvTDMachine&) = delete;

    QString GetName() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    int GetTag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }

    QString GetNodeName() const { return FSettings.NodeName; }
    void SetNodeName(const QString& name);
    QString GetConnName() const { return FSettings.ConnName; }
    void SetConnName(const QString& name);
    int GetSlaveAddress() const;
    // Unless OnBeforeAddrChange vetoes: the settings, the values and both
    // requests take the address.
    void SetSlaveAddress(int address);
    bool GetEnabled() const { return FSettings.Enabled; }
    // Nothing without a thread or when unchanged; true subscribes the values,
    // false unsubscribes them unless OnBeforeDisable vetoes (the setting still
    // becomes false).
    void SetEnabled(bool enabled);
    uint8_t GetNodeState() const { return FNodeState; }
    bool IsAlarm() const;

    TnvMBThread* GetSubscribed() const { return FSubscribed; }
    // Moves the node to another thread (or none): its requests are withdrawn
    // from the old one, and the values follow when the node is enabled.
    void SetSubscribed(TnvMBThread* thread);

    TnvMBDeviceInfo* GetTDInfo() const { return FTDInfo.get(); }
    TnvTDProgHeaders* GetProgHeaders() const { return FProgHeaders.get(); }
    TnvParDefSet* GetParDefs() const { return FParDefs; }
    TnvParValueSet* GetParValues() const { return FParValues.get(); }
    const TnvTDSetup& GetSettings() const { return FSettings; }

    // Stores defs as ParDefs and hands it to ProgHeaders; ignores none.
    // Returns whether ParDefs is set.
    bool AssignDefSet(TnvParDefSet* defs);
    // Copies the settings; the address goes to the values and both requests,
    // and the subscription follows Enabled.
    void AssignSettings(const TnvTDSetup& setup);

    // False without a thread. Queues the identification and asks again every
    // interval ms (at least kMinInfoInterval) until it answers.
    bool AskForDeviceInfo(int interval);
    // Only in state 163 (ok) and while no reading is under way: queues the
    // reading of headers first to last.
    bool AskForProgHeaders(uint16_t first, uint16_t last);

    // As TnvTDSetup, on the node's settings (NodeName names the entry). A
    // successful load applies the address and Enabled like AssignSettings;
    // every load ends with UpdateNodeState. LoadFromRegistry raises as
    // TnvTDSetup's does.
    bool SaveToIniFile(const QString& fileName) const;
    bool LoadFromIniFile(const QString& fileName);
    bool DeleteFromIniFile(const QString& fileName) const;
    bool ExistInInifile(const QString& fileName) const;
    bool SaveToRegistry(TnvRegistryRoot root, const QString& key) const;
    bool LoadFromRegistry(TnvRegistryRoot root, const QString& key);
    bool DeleteFromRegistry(TnvRegistryRoot root, const QString& key) const;
    bool ExistInRegistry(TnvRegistryRoot root, const QString& key) const;

    // Sets NodeState by the table above; OnNodeStateChange when it changed.
    void UpdateNodeState();

    // Events, raised on the GUI thread when assigned.
    std::function<void(TnvTDMachine* sender)> OnNodeStateChange;
    std::function<void(TnvTDMachine* sender)> OnNodeNameChange;
    std::function<void(TnvTDMachine* sender, const QString& newname)> OnBeforeConnChange;
    std::function<void(TnvTDMachine* sender, int value, bool& canchange)> OnBeforeAddrChange;
    std::function<void(TnvTDMachine* sender, bool& canchange)> OnBeforeDisable;
    std::function<void(TnvTDMachine* sender, TnvParValue* value)> OnTDStateChange;
    std::function<void(TnvTDMachine* sender, TnvParValue* value)> OnTDCmdChange;
    std::function<void(TnvTDMachine* sender, TnvParValue* value, bool newalarm)> OnTDAlarmChange;
    std::function<void(TnvTDMachine* sender, TnvMBDeviceInfo* deviceinfo)> OnTDInfo;
    std::function<void(TnvTDMachine* sender)> OnDestroy;

private:
    void ParValueAdded(TnvParValue* value);
    void AlarmReceived(TnvParValue* value, bool changed);
    bool AlarmValuesFresh() const;
    bool AlarmValuesKnown() const;
    void InfoTimerTick();
    void QueueDeviceInfo();
    void DeviceInfoAnswered();
    void ApplyAddress();
    // Subscribes the values when a thread is there and the node is enabled,
    // unsubscribes them otherwise.
    void ApplySubscription();
    void Subscribe(bool subscribe);
    void WithdrawRequests(TnvMBThread* thread);

    QString FName;
    int FTag = 0;
    std::unique_ptr<QTimer> FInfoTimer;
    std::unique_ptr<TnvMBDeviceInfo> FTDInfo;
    std::unique_ptr<TnvTDProgHeaders> FProgHeaders;
    TnvTDSetup FSettings;
    TnvParDefSet* FParDefs = nullptr;
    std::unique_ptr<TnvParValueSet> FParValues;
    TnvMBThread* FSubscribed = nullptr;
    bool FValuesSubscribed = false; // ParValues is in FSubscribed's list
    bool FInfoInFlight = false;     // TDInfo is queued or on the wire
    uint8_t FNodeState = kDisabled;
};
