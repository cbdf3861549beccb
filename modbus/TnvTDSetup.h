#pragma once

#include <QString>

enum class TnvRegistryRoot;

// The settings of one machine node: its name, the connection it uses, its
// slave address, the refresh period of its values and whether it is enabled.
// A plain record stored like the link settings (TnvMBSetup), in an INI section
// or a registry key named after the node.
class TnvTDSetup {
public:
    static constexpr int kDefaultSampleTime = 50;

    QString NodeName;                    // INI section, registry subkey
    QString ConnName;                    // "ConnectionName"
    int SlaveAddress = 0;                // "ModBusAddress"
    int SampleTime = kDefaultSampleTime; // "SampleTime": exchange cycles between reads
    bool Enabled = false;                // "Enable"

    // Copies all five fields.
    void Assign(const TnvTDSetup& source);

    // NodeName and ConnName set, SlaveAddress at least 1, SampleTime at least 10.
    bool GetIsValid() const;

    // Section NodeName of an INI file. Save writes only a valid object and
    // keeps foreign keys of the section; Load needs an existing file and takes
    // the defaults for absent keys (ConnName empty, address 0, SampleTime 50,
    // Enabled true). All return false, changing nothing, when a precondition
    // fails or the file cannot be accessed.
    bool SaveToIniFile(const QString& fileName) const;
    bool LoadFromIniFile(const QString& fileName);
    bool DeleteFromIniFile(const QString& fileName) const;
    bool ExistInInifile(const QString& fileName) const;

    // The key Key\NodeName under root in the registry store. LoadFromRegistry
    // reads the four values without defaults: a missing value or one of the
    // wrong type raises TnvError, with the fields read before it changed. The
    // others return false on failure and never raise.
    bool SaveToRegistry(TnvRegistryRoot root, const QString& key) const;
    bool LoadFromRegistry(TnvRegistryRoot root, const QString& key);
    bool DeleteFromRegistry(TnvRegistryRoot root, const QString& key) const;
    bool ExistInRegistry(TnvRegistryRoot root, const QString& key) const;

private:
    QString EntryPath(const QString& key) const;
};
