#pragma once

#include <QString>

// A pseudo terminal for an RTU link, with a symbolic link to its device so
// that a client opens it under a name of its choosing. The simulator reads and
// writes the master side; it also keeps the device side open, in raw mode, so
// that clients may come and go without the master seeing a hang-up.
class TnvSimPty {
public:
    // Raises TnvError when the pty or the link cannot be made, or when link
    // names something other than a symbolic link.
    explicit TnvSimPty(const QString& link);
    ~TnvSimPty();
    TnvSimPty(const TnvSimPty&) = delete;
    TnvSimPty& operator=(const TnvSimPty&) = delete;

    int MasterFd() const { return FMaster; }
    QString DeviceName() const { return FDeviceName; }
    QString Link() const { return FLink; }

private:
    void Close();

    int FMaster = -1;
    int FDeviceFd = -1;
    QString FDeviceName;
    QString FLink;
};
