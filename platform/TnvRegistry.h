#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <memory>

// The roots of the registry store: the user's own keys and the machine's keys.
enum class TnvRegistryRoot { CurrentUser, LocalMachine };

// A typed hierarchical key store kept in one file per root: keys form a tree
// addressed by paths with "\" (or "/") separators, matched without regard to
// case; each key holds named values that are either 32-bit integers or strings.
// The user root lives in <user config folder>/kx720/registry.json, the machine
// root in <first system config folder, /etc/xdg>/kx720/registry.json (both follow
// XDG_CONFIG_HOME and XDG_CONFIG_DIRS). Every change is written to the file at
// once, whole or not at all, under a lock file, so two processes never lose
// each other's keys. One object is used by one thread at a time.
class TnvRegistry {
public:
    explicit TnvRegistry(TnvRegistryRoot root = TnvRegistryRoot::CurrentUser);
    ~TnvRegistry();
    TnvRegistry(const TnvRegistry&) = delete;
    TnvRegistry& operator=(const TnvRegistry&) = delete;

    // The file that holds a root's keys.
    static QString RootFile(TnvRegistryRoot root);

    // Makes key the current key; creates it (and its parents) when canCreate.
    // False when it does not exist and may not be created, or on a file error.
    bool OpenKey(const QString& key, bool canCreate);
    void CloseKey();
    bool KeyExists(const QString& key) const;
    // Removes a key with its values and subkeys; false when it did not exist or
    // the file cannot be written.
    bool DeleteKey(const QString& key);
    // The names of the current key's subkeys and values.
    QStringList GetKeyNames() const;
    QStringList GetValueNames() const;

    bool ValueExists(const QString& name) const;
    // Writes to the current key. Raise TnvError when no key is open or the file
    // cannot be written.
    void WriteInteger(const QString& name, int value);
    void WriteBool(const QString& name, bool value); // stored as the integer 1 or 0
    void WriteString(const QString& name, const QString& value);
    // Reads from the current key. Raise TnvError for no open key, a missing
    // value, or a value of the other type.
    int ReadInteger(const QString& name) const;
    bool ReadBool(const QString& name) const; // any non-zero integer is true
    QString ReadString(const QString& name) const;
    bool DeleteValue(const QString& name);

private:
    struct TStore;
    void Write(const QString& name, const QJsonValue& value);
    QJsonValue Read(const QString& name, const QString& type) const;

    std::unique_ptr<TStore> FStore;
    QStringList FCurrentKey; // path of the open key; empty when none is open
    bool FKeyOpen = false;
};
