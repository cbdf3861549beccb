#include "TnvRegistry.h"

#include "NvSaveFile.h"
#include "TnvError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <functional>

// A key is the JSON object {"keys": {name: key...}, "values": {name: value...}};
// a value is {"dword": n} or {"sz": "text"}, so the integer/string distinction
// survives the file.
namespace {

const QString kKeys = QStringLiteral("keys");
const QString kValues = QStringLiteral("values");
const QString kDword = QStringLiteral("dword");
const QString kString = QStringLiteral("sz");

QStringList SplitPath(const QString& key) {
    return key.split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts);
}

// The stored spelling of name among obj's members, or a null string.
QString FindName(const QJsonObject& obj, const QString& name) {
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.key();
    }
    return {};
}

const QJsonObject* Descend(const QJsonObject& root, const QStringList& path, QJsonObject& scratch) {
    scratch = root;
    for (const QString& part : path) {
        const QJsonObject keys = scratch.value(kKeys).toObject();
        const QString stored = FindName(keys, part);
        if (stored.isNull())
            return nullptr;
        scratch = keys.value(stored).toObject();
    }
    return &scratch;
}

// Applies op to the key at path[depth..] below node; creates missing keys when
// create. Returns op's result, false when the key is missing.
bool Modify(QJsonObject& node, const QStringList& path, int depth, bool create,
            const std::function<bool(QJsonObject&)>& op) {
    if (depth == path.size())
        return op(node);
    QJsonObject keys = node.value(kKeys).toObject();
    QString stored = FindName(keys, path[depth]);
    if (stored.isNull()) {
        if (!create)
            return false;
        stored = path[depth];
    }
    QJsonObject child = keys.value(stored).toObject();
    if (!Modify(child, path, depth + 1, create, op))
        return false;
    keys.insert(stored, child);
    node.insert(kKeys, keys);
    return true;
}

} // namespace

struct TnvRegistry::TStore {
    QString FileName;

    // The stored keys: none when there is no file yet; false when a file is
    // there that does not read as a store, which a write must not replace.
    bool Load(QJsonObject& root) const {
        root = {};
        QFile file(FileName);
        if (!file.exists())
            return true;
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        if (bytes.trimmed().isEmpty())
            return true;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return false;
        root = document.object();
        return true;
    }

    // For reading, a store that does not read holds no keys.
    QJsonObject Load() const {
        QJsonObject root;
        Load(root);
        return root;
    }

    bool Save(const QJsonObject& root) const {
        QSaveFile file(FileName);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QJsonDocument(root).toJson());
        return nv::CommitSaveFile(file);
    }

    // Read-modify-write of the whole file under the lock file; false when op
    // refuses or the file cannot be read or written.
    bool Update(const std::function<bool(QJsonObject&)>& op) const {
        if (!QDir().mkpath(QFileInfo(FileName).absolutePath()))
            return false;
        QLockFile lock(FileName + QStringLiteral(".lock"));
        if (!lock.tryLock(5000))
            return false;
        QJsonObject root;
        return Load(root) && op(root) && Save(root);
    }
};

TnvRegistry::TnvRegistry(TnvRegistryRoot root)
    : FStore(std::make_unique<TStore>()) {
    FStore->FileName = RootFile(root);
}

TnvRegistry::~TnvRegistry() = default;

QString TnvRegistry::RootFile(TnvRegistryRoot root) {
    const QString name = QStringLiteral("/kx720/registry.json");
    if (root == TnvRegistryRoot::CurrentUser)
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + name;
    const QStringList all =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    return all.value(1, QStringLiteral("/etc/xdg")) + name;
}

bool TnvRegistry::OpenKey(const QString& key, bool canCreate) {
    const QStringList path = SplitPath(key);
    bool ok = KeyExists(key);
    if (!ok && canCreate)
        ok = FStore->Update([&](QJsonObject& root) {
            return Modify(root, path, 0, true, [](QJsonObject&) { return true; });
        });
    FKeyOpen = ok;
    FCurrentKey = ok ? path : QStringList();
    return ok;
}

void TnvRegistry::CloseKey() {
    FKeyOpen = false;
    FCurrentKey.clear();
}

bool TnvRegistry::KeyExists(const QString& key) const {
    QJsonObject scratch;
    return Descend(FStore->Load(), SplitPath(key), scratch) != nullptr;
}

bool TnvRegistry::DeleteKey(const QString& key) {
    QStringList path = SplitPath(key);
    if (path.isEmpty())
        return false;
    const QString last = path.takeLast();
    return FStore->Update([&](QJsonObject& root) {
        return Modify(root, path, 0, false, [&](QJsonObject& parent) {
            QJsonObject keys = parent.value(kKeys).toObject();
            const QString stored = FindName(keys, last);
            if (stored.isNull())
                return false;
            keys.remove(stored);
            parent.insert(kKeys, keys);
            return true;
        });
    });
}

QStringList TnvRegistry::GetKeyNames() const {
    QJsonObject scratch;
    const QJsonObject* node = FKeyOpen ? Descend(FStore->Load(), FCurrentKey, scratch) : nullptr;
    return node ? node->value(kKeys).toObject().keys() : QStringList();
}

QStringList TnvRegistry::GetValueNames() const {
    QJsonObject scratch;
    const QJsonObject* node = FKeyOpen ? Descend(FStore->Load(), FCurrentKey, scratch) : nullptr;
    return node ? node->value(kValues).toObject().keys() : QStringList();
}

bool TnvRegistry::ValueExists(const QString& name) const {
    QJsonObject scratch;
    const QJsonObject* node = FKeyOpen ? Descend(FStore->Load(), FCurrentKey, scratch) : nullptr;
    return node && !FindName(node->value(kValues).toObject(), name).isNull();
}

void TnvRegistry::Write(const QString& name, const QJsonValue& value) {
    if (!FKeyOpen)
        throw TnvError(QStringLiteral("Registry: no key is open"));
    const bool ok = FStore->Update([&](QJsonObject& root) {
        return Modify(root, FCurrentKey, 0, true, [&](QJsonObject& node) {
            QJsonObject values = node.value(kValues).toObject();
            const QString existing = FindName(values, name);
            values.remove(existing.isNull() ? name : existing);
            values.insert(name, value);
            node.insert(kValues, values);
            return true;
        });
    });
    if (!ok)
        throw TnvError(QStringLiteral("Failed to set data for '%1'").arg(name));
}

QJsonValue TnvRegistry::Read(const QString& name, const QString& type) const {
    QJsonObject scratch;
    const QJsonObject* node = FKeyOpen ? Descend(FStore->Load(), FCurrentKey, scratch) : nullptr;
    if (!node)
        throw TnvError(QStringLiteral("Failed to get data for '%1'").arg(name));
    const QJsonObject values = node->value(kValues).toObject();
    const QString stored = FindName(values, name);
    const QJsonObject value = values.value(stored).toObject();
    if (stored.isNull())
        throw TnvError(QStringLiteral("Failed to get data for '%1'").arg(name));
    if (!value.contains(type))
        throw TnvError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value.value(type);
}

void TnvRegistry::WriteInteger(const QString& name, int value) {
    Write(name, QJsonObject{{kDword, value}});
}

void TnvRegistry::WriteBool(const QString& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TnvRegistry::WriteString(const QString& name, const QString& value) {
    Write(name, QJsonObject{{kString, value}});
}

int TnvRegistry::ReadInteger(const QString& name) const {
    const QJsonValue value = Read(name, kDword);
    if (!value.isDouble())
        throw TnvError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value.toInt();
}

bool TnvRegistry::ReadBool(const QString& name) const {
    return ReadInteger(name) != 0;
}

QString TnvRegistry::ReadString(const QString& name) const {
    const QJsonValue value = Read(name, kString);
    if (!value.isString())
        throw TnvError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value.toString();
}

bool TnvRegistry::DeleteValue(const QString& name) {
    if (!FKeyOpen)
        return false;
    return FStore->Update([&](QJsonObject& root) {
        return Modify(root, FCurrentKey, 0, false, [&](QJsonObject& node) {
            QJsonObject values = node.value(kValues).toObject();
            const QString stored = FindName(values, name);
            if (stored.isNull())
                return false;
            values.remove(stored);
            node.insert(kValues, values);
            return true;
        });
    });
}
