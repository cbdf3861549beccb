#include "TnvMBConnSet.h"

#include "TnvIniFile.h"
#include "TnvMBThread.h"
#include "TnvRegistry.h"

#include <QFileInfo>
#include <algorithm>

namespace {

const QString kError = QStringLiteral("-Error-");

} // namespace

TnvMBConnSet::~TnvMBConnSet() {
    ClearSet();
}

void TnvMBConnSet::GetConnListFromRegistry(QStringList& list, TnvRegistryRoot root,
                                           const QString& key) {
    list.clear();
    TnvRegistry registry(root);
    if (registry.OpenKey(key, false))
        list = registry.GetKeyNames();
    else
        list.append(kError);
}

void TnvMBConnSet::GetConnListFromIniFile(QStringList& list, const QString& fileName) {
    list.clear();
    try {
        list = TnvIniFile(fileName).ReadSections();
    } catch (const std::exception&) {
        list.append(kError);
    }
}

void TnvMBConnSet::CreateSetFromRegistry(TnvRegistryRoot root, const QString& key) {
    ClearSet();
    QStringList names;
    GetConnListFromRegistry(names, root, key);
    for (const QString& name : names)
        AddConnectFromRegistry(name, root, key);
}

void TnvMBConnSet::CreateSetFromIniFile(const QString& fileName) {
    ClearSet();
    QStringList names;
    GetConnListFromIniFile(names, fileName);
    for (const QString& name : names)
        AddConnectFromIniFile(name, fileName);
}

template <class Load>
TnvMBThread* TnvMBConnSet::AddConnect(const QString& name, Load load) {
    if (name.isEmpty())
        return nullptr;
    if (TnvMBThread* present = FindByName(name))
        return present;
    TnvMBSetup settings;
    settings.Name = name;
    if (!load(settings))
        return nullptr;
    auto thread = std::make_unique<TnvMBThread>();
    thread->Settings.Assign(settings);
    if (!thread->Start())
        return nullptr;
    TnvMBThread* added = thread.get();
    AddConnect(std::move(thread));
    return added;
}

TnvMBThread* TnvMBConnSet::AddConnectFromRegistry(const QString& name, TnvRegistryRoot root,
                                                  const QString& key) {
    return AddConnect(name, [&](TnvMBSetup& settings) {
        return settings.LoadFromRegistry(root, key) && settings.Enabled;
    });
}

TnvMBThread* TnvMBConnSet::AddConnectFromIniFile(const QString& name, const QString& fileName) {
    return AddConnect(name,
                      [&](TnvMBSetup& settings) { return settings.LoadFromIniFile(fileName); });
}

void TnvMBConnSet::AddConnect(std::unique_ptr<TnvMBThread> thread) {
    if (!thread)
        return;
    FConnections.push_back(std::move(thread));
    if (OnAddConnection)
        OnAddConnection(this, FConnections.back().get());
}

void TnvMBConnSet::ClearSet() {
    while (!FConnections.empty())
        Delete(FConnections.begin());
}

bool TnvMBConnSet::DeleteConnect(const QString& name) {
    const auto it = std::find_if(FConnections.begin(), FConnections.end(), [&](const auto& t) {
        return !name.isEmpty() && t->Settings.Name == name;
    });
    if (it == FConnections.end())
        return false;
    Delete(it);
    return true;
}

void TnvMBConnSet::Delete(std::vector<std::unique_ptr<TnvMBThread>>::iterator it) {
    // Out of the list before the event, so that a handler sees the set as it
    // will be, and cannot find the thread it is told is going.
    std::unique_ptr<TnvMBThread> thread = std::move(*it);
    FConnections.erase(it);
    if (OnDeleteConnection)
        OnDeleteConnection(this, thread.get());
}

TnvMBThread* TnvMBConnSet::FindByName(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    for (const auto& thread : FConnections) {
        if (thread->Settings.Name == name)
            return thread.get();
    }
    return nullptr;
}
