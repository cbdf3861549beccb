#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TnvMBThread;
enum class TnvRegistryRoot;

// A set of running Modbus links, each an exchange thread known by its
// settings' Name, built from every section of an INI file or every subkey of
// a registry key, or added and deleted one by one. Only links whose settings
// are valid and enabled join it; a name already present is not added twice.
// The threads are not subscribed to any value set here: the client does that
// in OnAddConnection or afterwards.
//
// Threads: the GUI thread only, which also raises the events; destroying a
// thread waits for its worker (at most one exchange).
class TnvMBConnSet {
public:
    TnvMBConnSet() = default;
    // Deletes every link, raising OnDeleteConnection for each.
    ~TnvMBConnSet();
    TnvMBConnSet(const TnvMBConnSet&) = delete;
    TnvMBConnSet& operator=(const TnvMBConnSet&) = delete;

    QString Name;
    int Tag = 0;

    // The names of Key's subkeys under root; the single name "-Error-" when
    // the key cannot be opened.
    static void GetConnListFromRegistry(QStringList& list, TnvRegistryRoot root,
                                        const QString& key);
    // The section names of the file (none for a missing file); "-Error-"
    // appended when it cannot be read.
    static void GetConnListFromIniFile(QStringList& list, const QString& fileName);

    // ClearSet, then adds every listed name. A registry entry missing one of
    // its values raises TnvError from LoadFromRegistry; the links added
    // before it stay in the set.
    void CreateSetFromRegistry(TnvRegistryRoot root, const QString& key);
    void CreateSetFromIniFile(const QString& fileName);

    // The link named name: the one present, or a new one loaded and started;
    // none for an empty name, settings that do not load, or settings that
    // are invalid or disabled. The registry variant raises as above.
    TnvMBThread* AddConnectFromRegistry(const QString& name, TnvRegistryRoot root,
                                        const QString& key);
    TnvMBThread* AddConnectFromIniFile(const QString& name, const QString& fileName);
    // Takes a started thread into the set; none is ignored.
    void AddConnect(std::unique_ptr<TnvMBThread> thread);

    // Takes every link out, first to last, raising OnDeleteConnection before
    // destroying each.
    void ClearSet();
    // False when no link has that name.
    bool DeleteConnect(const QString& name);
    // The first link whose settings' Name equals name exactly (case
    // sensitive); none for an empty name.
    TnvMBThread* FindByName(const QString& name) const;
    int GetCountConnect() const { return static_cast<int>(FConnections.size()); }

    // A thread joined the set / left it and is about to be destroyed.
    std::function<void(TnvMBConnSet* sender, TnvMBThread* connection)> OnAddConnection;
    std::function<void(TnvMBConnSet* sender, TnvMBThread* connection)> OnDeleteConnection;

private:
    template <class Load>
    TnvMBThread* AddConnect(const QString& name, Load load);
    void Delete(std::vector<std::unique_ptr<TnvMBThread>>::iterator it);

    std::vector<std::unique_ptr<TnvMBThread>> FConnections; // in the order added
};
