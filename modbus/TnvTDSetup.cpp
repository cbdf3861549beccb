#include "TnvTDSetup.h"

#include "NvStoredSettings.h"

namespace {

// The four stored fields in storage order, with the INI load defaults.
// NodeName is not among them: it names the section or key.
template <class Setup, class Visitor>
void VisitStored(Setup& s, Visitor&& v) {
    v.String("ConnectionName", s.ConnName, QString());
    v.Int("ModBusAddress", s.SlaveAddress, 0);
    v.Int("SampleTime", s.SampleTime, TnvTDSetup::kDefaultSampleTime);
    v.Bool("Enable", s.Enabled, true);
}

} // namespace

void TnvTDSetup::Assign(const TnvTDSetup& source) {
    *this = source;
}

bool TnvTDSetup::GetIsValid() const {
    return !NodeName.isEmpty() && !ConnName.isEmpty() && SlaveAddress >= 1 && SampleTime >= 10;
}

bool TnvTDSetup::SaveToIniFile(const QString& fileName) const {
    return GetIsValid() && !fileName.isEmpty() &&
           nv::SaveStoredToIni(fileName, NodeName, [this](auto v) { VisitStored(*this, v); });
}

bool TnvTDSetup::LoadFromIniFile(const QString& fileName) {
    return nv::LoadStoredFromIni(fileName, NodeName, [this](auto v) { VisitStored(*this, v); });
}

bool TnvTDSetup::DeleteFromIniFile(const QString& fileName) const {
    return nv::DeleteIniSection(fileName, NodeName);
}

bool TnvTDSetup::ExistInInifile(const QString& fileName) const {
    return nv::IniSectionExists(fileName, NodeName);
}

QString TnvTDSetup::EntryPath(const QString& key) const {
    return key + QStringLiteral("\\") + NodeName;
}

bool TnvTDSetup::SaveToRegistry(TnvRegistryRoot root, const QString& key) const {
    return GetIsValid() && !key.isEmpty() &&
           nv::SaveStoredToRegistry(root, EntryPath(key),
                                    [this](auto v) { VisitStored(*this, v); });
}

bool TnvTDSetup::LoadFromRegistry(TnvRegistryRoot root, const QString& key) {
    return !key.isEmpty() && !NodeName.isEmpty() &&
           nv::LoadStoredFromRegistry(root, EntryPath(key),
                                      [this](auto v) { VisitStored(*this, v); });
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
