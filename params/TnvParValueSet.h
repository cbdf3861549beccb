#pragma once

#include "TnvMessageWindow.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TnvParBind;
class TnvParDef;
class TnvParDefSet;
class TnvParValue;

// Outcome of the most recent exchange for a value set.
enum TnvUpdateState : std::uint8_t {
    usIdle = 0,    // not attached, or the link has no open connection
    usWaiting = 1, // attached (and the initial state); no result yet
    usOk = 2,      // the last exchange succeeded
    usError = 3,   // the last exchange failed
};

// The values of one Modbus slave, created from a definition set, and the
// meeting point of the exchange thread and the GUI thread: the thread reports
// each result with PostMessage, and the set handles it on the GUI thread,
// raising the value's event and keeping UpdateState.
//
// Threads: the set is created, filled, changed and destroyed on the GUI
// thread, where every event fires. The exchange thread may call only
// PostMessage, QueueMessage, FlushMessages, GetSlaveAddress, GetUpdateState, GetCountParBind,
// GetParValueAt and GetValues, and the thread-side operations of the values
// (TnvParValue.h). The list of values must not change while the set is
// attached to an exchange thread.
class TnvParValueSet {
public:
    // Messages from the exchange thread: w is a value's address (or the new
    // state for kMsgUpdateState), l the changed flag or the error code.
    static constexpr unsigned kMsgReadDone = TnvMessageWindow::WM_USER + 1;       // 1025
    static constexpr unsigned kMsgWriteDone = TnvMessageWindow::WM_USER + 2;      // 1026
    static constexpr unsigned kMsgUpdateState = TnvMessageWindow::WM_USER + 3;    // 1027
    static constexpr unsigned kMsgExchangeFailed = TnvMessageWindow::WM_USER + 4; // 1028

    // GUI thread (the message window lives on the creating thread).
    TnvParValueSet();
    // Destroys the values, last first, without events; then the message
    // window, dropping messages still queued.
    ~TnvParValueSet();
    TnvParValueSet(const TnvParValueSet&) = delete;
    TnvParValueSet& operator=(const TnvParValueSet&) = delete;

    QString GetName() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    int GetTag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    // The slave whose parameters the set holds; the link sends its low byte.
    int GetSlaveAddress() const { return FSlaveAddress.load(); }
    void SetSlaveAddress(int address) { FSlaveAddress.store(address); }
    TnvUpdateState GetUpdateState() const { return FUpdateState.load(); }
    // Stores a different state and fires OnUpdateStateChange; the same state
    // changes nothing.
    void SetUpdateState(TnvUpdateState state);
    // GUI thread: whether a write request of bind may be raised; asks
    // OnWriteRequest, true when it is not assigned.
    bool AcceptsWriteRequest(TnvParBind* bind);

    // False without a definition set; otherwise AddParBindsFromIdxList of the
    // category's index list.
    bool AddParBindsCategory(TnvParDefSet* defs, const QString& category);
    // A value for every index of list (the definition set's grammar and
    // order), each definition fetched with defs->GetParDefinition. True only
    // if every AddParBind succeeded; false for an empty list or no set.
    // Raises the conversion error of a bad token.
    bool AddParBindsFromIdxList(TnvParDefSet* defs, const QString& list);
    // Creates and appends the value of def and fires OnAddParValue. True
    // without creating anything if its index already has a value; false for
    // a missing or invalid definition. def must outlive the value (a
    // definition set keeps its definitions until it is destroyed).
    bool AddParBind(const TnvParDef* def);
    // Removes the value of index, fires OnDeleteParBind, destroys it. False if
    // there is none.
    bool DeleteParValue(std::uint32_t index);
    // Removes all values, last first, firing OnDeleteParBind for each.
    void DeleteAllPar();

    int GetCountParBind() const { return static_cast<int>(FValues.size()); }
    // The value at position in creation order, or none.
    TnvParValue* GetParValueAt(int position) const;
    // The values in creation order, for walking without copying.
    const std::vector<std::unique_ptr<TnvParValue>>& GetValues() const { return FValues; }
    // First value (in creation order) whose definition has index / Name.
    TnvParBind* FindBind(std::uint32_t index) const;
    TnvParValue* FindValue(std::uint32_t index) const;
    TnvParValue* FindValue(const QString& name) const;

    // Any thread, never blocks: queues a message for WndProc on the GUI thread.
    void PostMessage(unsigned code, std::uintptr_t w, std::intptr_t l);
    // Any thread, never blocks: as PostMessage, but the GUI thread is woken
    // only by the next PostMessage or FlushMessages, so that a burst of
    // results costs it one wake-up.
    void QueueMessage(unsigned code, std::uintptr_t w, std::intptr_t l);
    void FlushMessages();
    // GUI thread: handles one message. The value's event runs when w is a
    // value of this set; the update state follows in any case. An exception
    // from an event goes to the default error report once the message is
    // finished, so the last result always decides the state. Unknown codes
    // are ignored.
    void WndProc(unsigned code, std::uintptr_t w, std::intptr_t l);

    // Events, raised on the GUI thread when assigned.
    std::function<void(TnvParValueSet* sender, TnvParValue* thisparam)> OnAddParValue;
    std::function<void(TnvParValueSet* sender, TnvParBind* thisparam)> OnDeleteParBind;
    std::function<void(TnvParValueSet* sender, TnvUpdateState state)> OnUpdateStateChange;
    // Fired before a value's write request is raised; clearing accept drops
    // the request (the value keeps its buffer).
    std::function<void(TnvParValueSet* sender, TnvParBind* thisparam, bool& accept)> OnWriteRequest;

private:
    TnvParValue* ValueOf(std::uintptr_t w) const;
    // The exception the value's event raised, if any.
    std::exception_ptr HandleValueMessage(unsigned code, TnvParValue* value, std::intptr_t l);

    QString FName;
    int FTag = 0;
    std::atomic<int> FSlaveAddress{0};
    std::atomic<TnvUpdateState> FUpdateState{usWaiting};
    std::vector<std::unique_ptr<TnvParValue>> FValues;
    std::unique_ptr<TnvMessageWindow> FWindow;
};
