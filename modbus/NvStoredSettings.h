#pragma once

#include "TnvIniFile.h"
#include "TnvRegistry.h"

#include <QString>

// Where the settings records (links, machine nodes) are stored: an INI
// section or a registry key named after the record. A record hands its
// stored fields, in storage order, to a visitor: visit(v) calls
// v.Int(key, field, iniDefault), v.Bool(...) and v.String(...) per field, so
// that one list of fields serves writing and reading both stores. The INI
// defaults stand in for absent keys; the registry has none (a missing value
// raises). Any thread, one record at a time.
namespace nv {

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

// A file name and a section name are given and the file exists.
bool IniUsable(const QString& fileName, const QString& section);

// Writes the fields into section (keeping its other keys); false when the
// file cannot be written.
template <class Visit>
bool SaveStoredToIni(const QString& fileName, const QString& section, Visit visit) {
    try {
        TnvIniFile ini(fileName);
        visit(TIniWriter{ini, section});
        ini.UpdateFile();
        return true;
    } catch (...) {
        return false;
    }
}

// Reads the fields from section of an existing file; false, changing
// nothing, when it is not usable or cannot be read.
template <class Visit>
bool LoadStoredFromIni(const QString& fileName, const QString& section, Visit visit) {
    if (!IniUsable(fileName, section))
        return false;
    try {
        const TnvIniFile ini(fileName);
        visit(TIniReader{ini, section});
        return true;
    } catch (...) {
        return false;
    }
}

// False when the file is not usable, lacks the section or cannot be written.
bool DeleteIniSection(const QString& fileName, const QString& section);
bool IniSectionExists(const QString& fileName, const QString& section);

// Writes the fields into the key path, creating it; false on failure.
template <class Visit>
bool SaveStoredToRegistry(TnvRegistryRoot root, const QString& path, Visit visit) {
    try {
        TnvRegistry reg(root);
        if (!reg.OpenKey(path, true))
            return false;
        visit(TRegistryWriter{reg});
        reg.CloseKey();
        return true;
    } catch (...) {
        return false;
    }
}

// Reads the fields from the key path; false when it does not exist. A
// missing value or one of the wrong type raises TnvError, with the fields
// read before it already changed.
template <class Visit>
bool LoadStoredFromRegistry(TnvRegistryRoot root, const QString& path, Visit visit) {
    TnvRegistry reg(root);
    if (!reg.OpenKey(path, false))
        return false;
    visit(TRegistryReader{reg});
    reg.CloseKey();
    return true;
}

} // namespace nv
