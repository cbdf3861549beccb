#include "TnvTDSetup.h"

#include "TnvIniFile.h"
#include "TnvRegistry.h"

#include <QFileInfo>

namespace {

const QString kConnName = QStringLiteral("ConnectionName");
const QString kAddress = QStringLiteral("ModBusAddress");
const QString kSampleTime = QStringLiteral("SampleTime");
const QString kEnable = QStringLiteral("Enable");

bool IniUsable(const QString& fileName, const QString& name) {
    return !fileName.isEmpty() && !name.isEmpty() && QFileInfo::exists(fileName);
}

} // namespace

void TnvTDSetup::Assign(const TnvTDSetup& source) {
    *this = source;
}

bool TnvTDSetup::GetIsValid() const {
    return !NodeName.isEmpty() && !ConnName.isEmpty() && SlaveAddress >= 1 && SampleTime >= 10;
}

bool TnvTDSetup::SaveToIniFile(const QString& fileName) const {
    if (!GetIsValid() || fileName.isEmpty())
        return false;
    try {
        TnvIniFile ini(fileName);
        ini.WriteString(NodeName, kConnName, ConnName);
        ini.WriteInteger(NodeName, kAddress, SlaveAddress);
        ini.WriteInteger(NodeName, kSampleTime, SampleTime);
        ini.WriteBool(NodeName, kEnable, Enabled);
        ini.UpdateFile();
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvTDSetup::LoadFromIniFile(const QString& fileName) {
    if (!IniUsable(fileName, NodeName))
        return false;
    try {
        const TnvIniFile ini(fileName);
        ConnName = ini.ReadString(NodeName, kConnName, QString());
        SlaveAddress = ini.ReadInteger(NodeName, kAddress, 0);
        SampleTime = ini.ReadInteger(NodeName, kSampleTime, kDefaultSampleTime);
        Enabled = ini.ReadBool(NodeName, kEnable, true);
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvTDSetup::DeleteFromIniFile(const QString& fileName) const {
    if (!IniUsable(fileName, NodeName))
        return false;
    try {
        TnvIniFile ini(fileName);
        if (!ini.SectionExists(NodeName))
            return false;
        ini.EraseSection(NodeName);
        ini.UpdateFile();
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvTDSetup::ExistInInifile(const QString& fileName) const {
    if (!IniUsable(fileName, NodeName))
        return false;
    try {
        return TnvIniFile(fileName).SectionExists(NodeName);
    } catch (...) {
        return false;
    }
}

QString TnvTDSetup::EntryPath(const QString& key) const {
    return key + QStringLiteral("\\") + NodeName;
}

bool TnvTDSetup::SaveToRegistry(TnvRegistryRoot root, const QString& key) const {
    if (!GetIsValid() || key.isEmpty())
        return false;
    try {
        TnvRegistry reg(root);
        if (!reg.OpenKey(EntryPath(key), true))
            return false;
        reg.WriteString(kConnName, ConnName);
        reg.WriteInteger(kAddress, SlaveAddress);
        reg.WriteInteger(kSampleTime, SampleTime);
        reg.WriteBool(kEnable, Enabled);
        reg.CloseKey();
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvTDSetup::LoadFromRegistry(TnvRegistryRoot root, const QString& key) {
    if (key.isEmpty() || NodeName.isEmpty())
        return false;
    TnvRegistry reg(root);
    if (!reg.OpenKey(EntryPath(key), false))
        return false;
    ConnName = reg.ReadString(kConnName); // a missing or mistyped value raises
    SlaveAddress = reg.ReadInteger(kAddress);
    SampleTime = reg.ReadInteger(kSampleTime);
    Enabled = reg.ReadBool(kEnable);
    reg.CloseKey();
    return true;
}

bool TnvTDSetup::DeleteFromRegistry(TnvRegistryRoot root, const QString& key) const {
    if (NodeName.isEmpty())
        return false;
    return TnvRegistry(root).DeleteKey(EntryPath(key));
}

bool TnvTDSetup::ExistInRegistry(TnvRegistryRoot root, const QString& key) const {
    if (NodeName.isEmpty())
        return false;
    return TnvRegistry(root).KeyExists(EntryPath(key));
}
