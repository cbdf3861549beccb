#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// "kx720 ports": what COM1 to COM8 stand for on this machine and whether
// this user may open them, and the serial adapters plugged in, each with a
// ports.ini line ready to copy.
class TKx720Ports {
public:
    // byIdFolder: where the adapters' stable names are (a test points it
    // elsewhere).
    explicit TKx720Ports(QString byIdFolder = QStringLiteral("/dev/serial/by-id"));

    // Prints the listing; returns the exit status (always 0: a missing port
    // is an answer, not a failure).
    int Run(QTextStream& out) const;

    // One port's line, e.g. "COM3  /tmp/pty/link (ports.ini)  ok".
    static QString PortLine(int port);
    // Why a device cannot be used by this user, or an empty string.
    static QString Problem(const QString& device);

private:
    QString FByIdFolder;
};
