#include "NvStoredSettings.h"

#include <QFileInfo>

namespace nv {

bool IniUsable(const QString& fileName, const QString& section) {
    return !fileName.isEmpty() && !section.isEmpty() && QFileInfo::exists(fileName);
}

bool DeleteIniSection(const QString& fileName, const QString& section) {
    if (!IniUsable(fileName, section))
        return false;
    try {
        TnvIniFile ini(fileName);
        if (!ini.SectionExists(section))
            return false;
        ini.EraseSection(section);
        ini.UpdateFile();
        return true;
    } catch (...) {
        return false;
    }
}

bool IniSectionExists(const QString& fileName, const QString& section) {
    if (!IniUsable(fileName, section))
        return false;
    try {
        return TnvIniFile(fileName).SectionExists(section);
    } catch (...) {
        return false;
    }
}

} // namespace nv
