#include "TnvMBSetup.h"

#include "TnvIniFile.h"
#include "TnvRegistry.h"

#include <QFileInfo>
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

struct TIniWriter {
    TnvIniFile& Ini;
    const QString& Section;
    void Int(const char* key, int value, int) { Ini.WriteInteger(Section, key, value); }
    void Bool(const char* key, bool value, bool) { Ini.WriteBool(Section, key, value); }
    void String(const char* key, const QString& value, const QString&) {
        Ini.WriteString(Section, key, value);
    }
};

struct TIniReader {
    const TnvIniFile& Ini;
    const QString& Section;
    void Int(const char* key, int& field, int def) { field = Ini.ReadInteger(Section, key, def); }
    void Bool(const char* key, bool& field, bool def) { field = Ini.ReadBool(Section, key, def); }
    void String(const char* key, QString& field, const QString& def) {
        field = Ini.ReadString(Section, key, def);
    }
};

struct TRegistryWriter {
    TnvRegistry& Reg;
    void Int(const char* key, int value, int) { Reg.WriteInteger(key, value); }
    void Bool(const char* key, bool value, bool) { Reg.WriteBool(key, value); }
    void String(const char* key, const QString& value, const QString&) {
        Reg.WriteString(key, value);
    }
};

struct TRegistryReader {
    const TnvRegistry& Reg;
    void Int(const char* key, int& field, int) { field = Reg.ReadInteger(key); }
    void Bool(const char* key, bool& field, bool) { field = Reg.ReadBool(key); }
    void String(const char* key, QString& field, const QString&) { field = Reg.ReadString(key); }
};

bool IniUsable(const QString& fileName, const QString& name) {
    return !fileName.isEmpty() && !name.isEmpty() && QFileInfo::exists(fileName);
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
    if (!GetIsValid() || fileName.isEmpty())
        return false;
    try {
        TnvIniFile ini(fileName);
        VisitStored(*this, TIniWriter{ini, Name});
        ini.UpdateFile();
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvMBSetup::LoadFromIniFile(const QString& fileName) {
    if (!IniUsable(fileName, Name))
        return false;
    try {
        const TnvIniFile ini(fileName);
        VisitStored(*this, TIniReader{ini, Name});
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvMBSetup::DeleteFromIniFile(const QString& fileName) const {
    if (!IniUsable(fileName, Name))
        return false;
    try {
        TnvIniFile ini(fileName);
        if (!ini.SectionExists(Name))
            return false;
        ini.EraseSection(Name);
        ini.UpdateFile();
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvMBSetup::ExistInInifile(const QString& fileName) const {
    if (!IniUsable(fileName, Name))
        return false;
    try {
        return TnvIniFile(fileName).SectionExists(Name);
    } catch (...) {
        return false;
    }
}

QString TnvMBSetup::EntryPath(const QString& key) const {
    return key + QStringLiteral("\\") + Name;
}

bool TnvMBSetup::SaveToRegistry(TnvRegistryRoot root, const QString& key) const {
    if (!GetIsValid() || key.isEmpty())
        return false;
    try {
        TnvRegistry reg(root);
        if (!reg.OpenKey(EntryPath(key), true))
            return false;
        VisitStored(*this, TRegistryWriter{reg});
        reg.CloseKey();
        return true;
    } catch (...) {
        return false;
    }
}

bool TnvMBSetup::LoadFromRegistry(TnvRegistryRoot root, const QString& key) {
    if (key.isEmpty() || Name.isEmpty())
        return false;
    TnvRegistry reg(root);
    if (!reg.OpenKey(EntryPath(key), false))
        return false;
    VisitStored(*this, TRegistryReader{reg}); // a missing or mistyped value raises
    reg.CloseKey();
    return true;
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
