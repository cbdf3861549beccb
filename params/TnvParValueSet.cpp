#include "TnvParValueSet.h"

#include "NvErrorReport.h"
#include "NvIndexList.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"

TnvParValueSet::TnvParValueSet()
    : FWindow(std::make_unique<TnvMessageWindow>(
          [this](unsigned code, std::uintptr_t w, std::intptr_t l) { WndProc(code, w, l); })) {}

TnvParValueSet::~TnvParValueSet() {
    while (!FValues.empty())
        FValues.pop_back();
    FWindow.reset();
}

void TnvParValueSet::SetUpdateState(TnvUpdateState state) {
    if (FUpdateState.exchange(state) == state)
        return;
    if (OnUpdateStateChange)
        OnUpdateStateChange(this, state);
}

bool TnvParValueSet::AcceptsWriteRequest(TnvParBind* bind) {
    bool accept = true;
    if (OnWriteRequest)
        OnWriteRequest(this, bind, accept);
    return accept;
}

bool TnvParValueSet::AddParBindsCategory(TnvParDefSet* defs, const QString& category) {
    if (!defs)
        return false;
    return AddParBindsFromIdxList(defs, defs->GetCategoryIdxList(category));
}

bool TnvParValueSet::AddParBindsFromIdxList(TnvParDefSet* defs, const QString& list) {
    if (!defs)
        return false;
    return nv::ForEachListedIndex(
        list, [&](std::uint32_t index) { return AddParBind(defs->GetParDefinition(index)); });
}

bool TnvParValueSet::AddParBind(const TnvParDef* def) {
    if (!def || !def->Valid)
        return false;
    if (FindValue(def->ParIndex))
        return true;
    FValues.push_back(std::make_unique<TnvParValue>(this, def));
    if (OnAddParValue)
        OnAddParValue(this, FValues.back().get());
    return true;
}

bool TnvParValueSet::DeleteParValue(std::uint32_t index) {
    for (auto it = FValues.begin(); it != FValues.end(); ++it) {
        if ((*it)->GetParDef().ParIndex != index)
            continue;
        std::unique_ptr<TnvParValue> value = std::move(*it);
        FValues.erase(it);
        if (OnDeleteParBind)
            OnDeleteParBind(this, value.get());
        return true;
    }
    return false;
}

void TnvParValueSet::DeleteAllPar() {
    while (!FValues.empty()) {
        std::unique_ptr<TnvParValue> value = std::move(FValues.back());
        FValues.pop_back();
        if (OnDeleteParBind)
            OnDeleteParBind(this, value.get());
    }
}

TnvParValue* TnvParValueSet::GetParValueAt(int position) const {
    if (position < 0 || position >= GetCountParBind())
        return nullptr;
    return FValues[static_cast<std::size_t>(position)].get();
}

TnvParBind* TnvParValueSet::FindBind(std::uint32_t index) const {
    return FindValue(index);
}

TnvParValue* TnvParValueSet::FindValue(std::uint32_t index) const {
    for (const auto& value : FValues)
        if (value->GetParDef().ParIndex == index)
            return value.get();
    return nullptr;
}

TnvParValue* TnvParValueSet::FindValue(const QString& name) const {
    for (const auto& value : FValues)
        if (value->GetParDef().Name == name)
            return value.get();
    return nullptr;
}

void TnvParValueSet::PostMessage(unsigned code, std::uintptr_t w, std::intptr_t l) {
    FWindow->Post(code, w, l);
}

void TnvParValueSet::QueueMessage(unsigned code, std::uintptr_t w, std::intptr_t l) {
    FWindow->Queue(code, w, l);
}

void TnvParValueSet::FlushMessages() {
    FWindow->Flush();
}

TnvParValue* TnvParValueSet::ValueOf(std::uintptr_t w) const {
    // Only an address that is still in the list is dereferenced: a message
    // may outlive the value it names.
    for (const auto& value : FValues)
        if (reinterpret_cast<std::uintptr_t>(value.get()) == w)
            return value.get();
    return nullptr;
}

void TnvParValueSet::WndProc(unsigned code, std::uintptr_t w, std::intptr_t l) {
    // The default error report shows a message box, whose event loop handles
    // the messages queued behind this one. Reported before this message is
    // finished, a later result would set the state first and this one would
    // then overwrite it: the report waits until the state is set.
    std::vector<std::exception_ptr> failures;
    switch (code) {
    case kMsgReadDone:
    case kMsgWriteDone:
    case kMsgExchangeFailed:
        if (TnvParValue* value = ValueOf(w))
            if (std::exception_ptr failure = HandleValueMessage(code, value, l))
                failures.push_back(failure);
        break;
    default:
        break;
    }
    try {
        switch (code) {
        case kMsgReadDone:
        case kMsgWriteDone:
            SetUpdateState(usOk);
            break;
        case kMsgUpdateState:
            if (w <= usError)
                SetUpdateState(static_cast<TnvUpdateState>(w));
            break;
        case kMsgExchangeFailed:
            SetUpdateState(usError);
            break;
        default:
            break;
        }
    } catch (...) {
        failures.push_back(std::current_exception());
    }
    for (const std::exception_ptr& failure : failures) {
        try {
            std::rethrow_exception(failure);
        } catch (...) {
            nv::ReportCurrentException();
        }
    }
}

std::exception_ptr TnvParValueSet::HandleValueMessage(unsigned code, TnvParValue* value,
                                                      std::intptr_t l) {
    try {
        if (code == kMsgReadDone)
            value->DoOnReceive(l != 0);
        else if (code == kMsgWriteDone)
            value->DoOnWritten();
        else
            value->DoOnError(static_cast<int>(l));
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}
