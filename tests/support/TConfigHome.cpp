#include "TConfigHome.h"

#include <QDir>
#include <QFile>

namespace kxtest {

TConfigHome::TConfigHome()
    : FOldHome(qgetenv("XDG_CONFIG_HOME"))
    , FOldDirs(qgetenv("XDG_CONFIG_DIRS")) {
    QDir(FDir.path()).mkpath("home/kx720");
    QDir(FDir.path()).mkpath("system");
    qputenv("XDG_CONFIG_HOME", (FDir.path() + "/home").toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (FDir.path() + "/system").toLocal8Bit());
}

TConfigHome::~TConfigHome() {
    qputenv("XDG_CONFIG_HOME", FOldHome);
    qputenv("XDG_CONFIG_DIRS", FOldDirs);
    if (FOldHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    if (FOldDirs.isEmpty())
        qunsetenv("XDG_CONFIG_DIRS");
}

void TConfigHome::Map(int port, const QString& device) {
    FPorts[port] = device;
    QFile file(FDir.path() + "/home/kx720/ports.ini");
    file.open(QIODevice::WriteOnly | QIODevice::Text);
    for (auto it = FPorts.begin(); it != FPorts.end(); ++it)
        file.write(QStringLiteral("COM%1=%2\n").arg(it.key()).arg(it.value()).toLocal8Bit());
}

} // namespace kxtest
