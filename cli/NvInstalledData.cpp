#include "NvInstalledData.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace nv {

QString DefaultDefinitionsFile() {
    const QString name = QStringLiteral("VF_Parameters_v207.ini");
    if (QFileInfo::exists(name))
        return name;
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/kx720/") + name;
    return QFileInfo::exists(installed) ? QFileInfo(installed).canonicalFilePath() : name;
}

} // namespace nv
