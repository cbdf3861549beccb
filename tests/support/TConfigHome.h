#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

namespace kxtest {

// A private config folder (XDG_CONFIG_HOME and XDG_CONFIG_DIRS) for the
// lifetime of the object; Map writes a COMn line into its ports.ini.
class TConfigHome {
public:
    TConfigHome();
    ~TConfigHome();
    TConfigHome(const TConfigHome&) = delete;
    TConfigHome& operator=(const TConfigHome&) = delete;
    void Map(int port, const QString& device);

private:
    QTemporaryDir FDir;
    QByteArray FOldHome;
    QByteArray FOldDirs;
    QMap<int, QString> FPorts;
};

} // namespace kxtest
