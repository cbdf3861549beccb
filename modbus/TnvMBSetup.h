#pragma once

#include <QString>

enum class TnvRegistryRoot;

// The settings of one Modbus link: its name, the kind of link, the serial line,
// the TCP/IP endpoint, the retry and time-out policy handed to the transport,
// and whether the link is enabled. A plain record; GetIsValid says whether the
// fields describe a link that can be opened.
class TnvMBSetup {
public:
    // The link kinds, as TModbusSrv::TLinkKind codes them.
    static constexpr int kSerial = 1;
    static constexpr int kTcpIp = 2;

    QString Name;                   // INI section, registry subkey, server link name
    int ConnType = kSerial;         // kSerial or kTcpIp
    int Retries = 2;                // repetitions after a failed exchange
    bool RaiseError = false;        // handed to the transport, not used by it
    int BaudRate = 19200;           // bit/s
    int PortNumber = 0;             // COM port 1..8
    int ByteSize = 8;               // data bits, 7 or 8
    int FlowCtrl = 0;               // 0, 1, 2 or 8 (meaning in TModbusSrv.h)
    int Parity = 0;                 // 0..4 (meaning in TModbusSrv.h)
    int StopBits = 20;              // never validated (meaning in TModbusSrv.h)
    int SilentInt = 0;              // 0, 1 or 2 (meaning in TModbusSrv.h)
    int Timeout = 1000;             // reply time-out in ms
    int TxMode = 0;                 // 0 or 1 (meaning in TModbusSrv.h)
    int TCPIPPort = 502;            // TCP port of a TCP/IP link
    QString HostName = "127.0.0.1"; // host of a TCP/IP link
    bool Enabled = false;           // only an enabled link is started

    // Copies all sixteen fields; no validation.
    void Assign(const TnvMBSetup& source);

    // Name set; for a serial link the port 1..8 and the line codes in range; for
    // a TCP/IP link a host name. Any other link kind is invalid.
    bool GetIsValid() const;

    // The entry named Name in section Name of an INI file. Save writes only a
    // valid object and keeps foreign keys of the section; Load fills absent or
    // unreadable keys with the load defaults (StopBits 4, HostName empty) and
    // does not validate. All return false, changing nothing, when the file name
    // or Name is empty, when the file is missing (Load, Delete, Exist) or when
    // the file cannot be accessed.
    bool SaveToIniFile(const QString& fileName) const;
    bool LoadFromIniFile(const QString& fileName);
    bool DeleteFromIniFile(const QString& fileName) const;
    bool ExistInInifile(const QString& fileName) const;

    // The key Key\Name under root in the registry store (platform/TnvRegistry.h).
    // LoadFromRegistry reads the fifteen values without defaults: a missing value
    // or one of the wrong type raises TnvError, with the fields read before it
    // already changed. The others return false on failure and never raise.
    bool SaveToRegistry(TnvRegistryRoot root, const QString& key) const;
    bool LoadFromRegistry(TnvRegistryRoot root, const QString& key);
    bool DeleteFromRegistry(TnvRegistryRoot root, const QString& key) const;
    bool ExistInRegistry(TnvRegistryRoot root, const QString& key) const;

private:
    QString EntryPath(const QString& key) const;
};
