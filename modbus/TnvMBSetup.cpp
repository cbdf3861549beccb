#include "TnvMBSetup.h"

#include "NvStoredSettings.h"

#include <initializer_list>

namespace {

bool OneOf(int value, std::initializer_list<int> allowed) {
    for (int a : allowed) {
        if (value == a)
            return true;
    }
    return false;
}

// The fifteen stored fields in storage order, with the INI load defaults.
// Name is not among them: it names the section or key.
template <class Setup, class Visitor>
void VisitStored(Setup& s, Visitor&& v) {
    v.Int("ConnType", s.ConnType, 1);
    v.Int("Retries", s.Retries, 2);
    v.Bool("RaiseError", s.RaiseError, false);
    v.Int("BaudRate", s.BaudRate, 19200);
    v.Int("PortNumber", s.PortNumber, 0);
    v.Int("ByteSize", s.ByteSize, 8);
    v.Int("FlowCtrl", s.FlowCtrl, 0);
    v.Int("Parity", s.Parity, 0);
    v.Int("StopBits", s.StopBits, 4);
    v.Int("SilentInt", s.SilentInt, 0);
    v.Int("Timeout", s.Timeout, 1000);
    v.Int("TxMode", s.TxMode, 0);
    v.Int("TCPIPPort", s.TCPIPPort, 502);
    v.String("HostName", s.HostName, QString());
    v.Bool("Enabled", s.Enabled, false);
}

} // namespace

void TnvMBSetup::Assign(const TnvMBSetup& source) {
    *this = source;
}

bool TnvMBSetup::GetIsValid() const {
    if (Name.isEmpty())
        return false;
    switch (ConnType) {
    case kSerial:
        return PortNumber >= 1 && PortNumber <= 8 && OneOf(ByteSize, {7, 8}) &&
               OneOf(FlowCtrl, {0, 1, 2, 8}) && OneOf(Parity, {0, 1, 2, 3, 4}) &&
               OneOf(SilentInt, {0, 1, 2}) && OneOf(TxMode, {0, 1});
    case kTcpIp:
        return !HostName.isEmpty();
    default:
        return false;
    }
}

bool TnvMBSetup::SaveToIniFile(const QString& fileName) const {
    return GetIsValid() && !fileName.isEmpty() &&
           nv::SaveStoredToIni(fileName, Name, [this](auto v) { VisitStored(*this, v); });
}

bool TnvMBSetup::LoadFromIniFile(const QString& fileName) {
    return nv::LoadStoredFromIni(fileName, Name, [this](auto v) { VisitStored(*this, v); });
}

bool TnvMBSetup::DeleteFromIniFile(const QString& fileName) const {
    return nv::DeleteIniSection(fileName, Name);
}

bool TnvMBSetup::ExistInInifile(const QString& fileName) const {
    return nv::IniSectionExists(fileName, Name);
}

QString TnvMBSetup::EntryPath(const QString& key) const {
    return key + QStringLiteral("\\") + Name;
}

bool TnvMBSetup::SaveToRegistry(TnvRegistryRoot root, const QString& key) const {
    return GetIsValid() && !key.isEmpty() &&
           nv::SaveStoredToRegistry(root, EntryPath(key),
                                    [this](auto v) { VisitStored(*this, v); });
}

bool TnvMBSetup::LoadFromRegistry(TnvRegistryRoot root, const QString& key) {
    return !key.isEmpty() && !Name.isEmpty() &&
           nv::LoadStoredFromRegistry(root, EntryPath(key),
                                      [this](auto v) { VisitStored(*this, v); });
}

bool TnvMBSetup::DeleteFromRegistry(TnvRegistryRoot root, const QString& key) const {
    if (Name.isEmpty())
        return false;
    return TnvRegistry(root).DeleteKey(EntryPath(key));
}

bool TnvMBSetup::ExistInRegistry(TnvRegistryRoot root, const QString& key) const {
    if (Name.isEmpty())
        return false;
    return TnvRegistry(root).KeyExists(EntryPath(key));
}
