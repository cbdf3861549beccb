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
    // baud: the speed the device side starts with, until a client sets its own.
    explicit TnvSimPty(const QString& link, int baud = 19200);
    ~TnvSimPty();
    TnvSimPty(const TnvSimPty&) = delete;
    TnvSimPty& operator=(const TnvSimPty&) = delete;

    int MasterFd() const { return FMaster; }
    QString DeviceName() const { return FDeviceName; }
    QString Link() const { return FLink; }
    // The speed in baud the client has set on its end, read through the
    // master; 0 when it cannot be read.
    int ClientBaud() const;

    // True for a speed a serial port can be set to (9600, 19200, ...).
    static bool IsLineSpeed(int baud);

private:
    void Close();

    int FMaster = -1;
    int FDeviceFd = -1;
    QString FDeviceName;
    QString FLink;
};
