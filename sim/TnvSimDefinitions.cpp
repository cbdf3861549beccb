#include "TnvSimDefinitions.h"

#include "NvIndexList.h"
#include "TnvError.h"
#include "TnvIniFile.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace {

const QString kParPrefix = QStringLiteral("Par-");

// Real values scan like "%lf": "0,5" gives 0, an empty value keeps the default.
double ReadReal(const TnvIniFile& ini, const QString& section, const QString& key, double def) {
    const QByteArray text = ini.ReadString(section, key, QString()).toUtf8();
    double value = def;
    if (text.isEmpty() || std::sscanf(text.constData(), "%lf", &value) != 1)
        return def;
    return value;
}

uint16_t RegistersOf(uint8_t type, int length) {
    switch (type) {
    case 4:
        return static_cast<uint16_t>(2 * length);
    case 5:
    case 6:
        return 3;
    default:
        return static_cast<uint16_t>(std::max(length, 1));
    }
}

TnvSimParameter ReadParameter(const TnvIniFile& ini, const QString& section, uint32_t index) {
    TnvSimParameter par;
    par.Index = index;
    par.RegAddr = static_cast<uint16_t>(ini.ReadInteger(section, "RegAddr", 0));
    const int qtty = static_cast<uint16_t>(ini.ReadInteger(section, "RegQtty", 0));
    const auto regProg = static_cast<uint16_t>(ini.ReadInteger(section, "RegProg", 0));
    par.Name = ini.ReadString(section, "Name", section);
    par.Type = static_cast<uint8_t>(ini.ReadInteger(section, "Type", 0));
    const int length = static_cast<uint8_t>(ini.ReadInteger(section, "Length", 1));
    par.Unsigned = ini.ReadBool(section, "Unsigned", true);
    par.Readonly = ini.ReadBool(section, "Readonly", true);
    par.RegCount = qtty > 0 ? static_cast<uint16_t>(qtty) : RegistersOf(par.Type, length);

    // RegProg names the stored copy's index; a copy names itself, and a
    // RAM-only parameter repeats its own register address.
    if (regProg != par.RegAddr) {
        if (regProg == index)
            par.IsStoredCopy = true;
        else
            par.StoredIndex = regProg;
    }

    QString formatSection = ini.ReadString(section, "UseFormat", QString());
    if (formatSection.isEmpty() || !ini.SectionExists(formatSection))
        formatSection = section;
    par.FormatNorm = ReadReal(ini, formatSection, "FormatNorm", 1.0);
    par.FormatOffset = ReadReal(ini, formatSection, "FormatOffset", 0.0);
    return par;
}

} // namespace

std::vector<TnvSimParameter> TnvSimDefinitions::Load(const QString& fileName) {
    if (!QFileInfo(fileName).isFile())
        throw TnvError(QStringLiteral("definitions file '%1' not found").arg(fileName));
    const std::vector<TnvSimParameter> pars = FromIni(TnvIniFile(fileName));
    if (pars.empty())
        throw TnvError(QStringLiteral("definitions file '%1' holds no parameter").arg(fileName));
    return pars;
}

std::vector<TnvSimParameter> TnvSimDefinitions::FromIni(const TnvIniFile& ini) {
    // Every list is checked, not only the one the simulator uses: a file the
    // terminal would refuse is refused here too.
    std::vector<uint32_t> local;
    for (const QString& category : ini.ReadSection("Categories")) {
        try {
            const std::vector<uint32_t> indices =
                ParseIndexList(ini.ReadString("Categories", category, QString()));
            if (category.compare(QStringLiteral("Local"), Qt::CaseInsensitive) == 0)
                local = indices;
        } catch (const TnvError& e) {
            throw TnvError(QStringLiteral("definitions file '%1', category %2: %3")
                               .arg(ini.FileName(), category, e.Message()));
        }
    }
    std::vector<TnvSimParameter> pars;
    for (const QString& section : ini.ReadSections()) {
        if (!section.startsWith(kParPrefix, Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const uint32_t index = section.mid(kParPrefix.size()).toUInt(&ok, 10);
        if (!ok || std::binary_search(local.begin(), local.end(), index))
            continue;
        pars.push_back(ReadParameter(ini, section, index));
    }
    std::sort(pars.begin(), pars.end(),
              [](const auto& a, const auto& b) { return a.Index < b.Index; });
    return pars;
}

std::vector<uint32_t> TnvSimDefinitions::ParseIndexList(const QString& list) {
    std::vector<uint32_t> indices;
    nv::ForEachListedIndex(list, [&](uint32_t index) {
        indices.push_back(index);
        return true;
    });
    std::sort(indices.begin(), indices.end());
    return indices;
}
