#include "TnvParDefSet.h"

#include "NvIndexList.h"
#include "TnvIniFile.h"
#include "TnvParDef.h"

#include <QFileInfo>

TnvParDefSet::TnvParDefSet() = default;

TnvParDefSet::~TnvParDefSet() {
    while (!FDefs.empty())
        FDefs.pop_back();
}

bool TnvParDefSet::LoadFromFile(const QString& folder, const QString& fileName) {
    FParFilePath = folder;
    FParFileName = fileName;
    return ReadCategories();
}

bool TnvParDefSet::LoadFromFile(const QString& fullPath) {
    const qsizetype cut =
        std::max(fullPath.lastIndexOf(QLatin1Char('/')), fullPath.lastIndexOf(QLatin1Char('\\')));
    FParFilePath = fullPath.left(cut + 1);
    FParFileName = fullPath.mid(cut + 1);
    return ReadCategories();
}

QString TnvParDefSet::GetFullName() const {
    if (FParFilePath.endsWith(QLatin1Char('/')) || FParFilePath.endsWith(QLatin1Char('\\')))
        return FParFilePath + FParFileName;
    return FParFilePath + QLatin1Char('/') + FParFileName;
}

std::unique_ptr<TnvIniFile> TnvParDefSet::TestForSource() const {
    const QString fullName = GetFullName();
    if (!QFileInfo(fullName).isFile())
        return nullptr;
    return std::make_unique<TnvIniFile>(fullName);
}

bool TnvParDefSet::ReadCategories() {
    FSource.reset(); // an explicit load reads the file afresh
    const std::unique_ptr<TnvIniFile> source = TestForSource();
    if (!source)
        return false;
    FCategories = source->ReadSectionValues(QStringLiteral("Categories"));
    return true;
}

const TnvIniFile* TnvParDefSet::Source() {
    // Loading a category asks for the file once per index; reading it once
    // per change keeps that linear in the file's size.
    const QString fullName = GetFullName();
    const QFileInfo info(fullName);
    if (!info.isFile()) {
        FSource.reset();
        return nullptr;
    }
    if (!FSource || fullName != FSourceName || info.lastModified() != FSourceTime ||
        info.size() != FSourceSize) {
        FSource = std::make_unique<TnvIniFile>(fullName);
        FSourceName = fullName;
        FSourceTime = info.lastModified();
        FSourceSize = info.size();
    }
    return FSource.get();
}

const TnvParDef* TnvParDefSet::GetParDefAt(int position) const {
    if (position < 0 || position >= GetCountParDef())
        return nullptr;
    return FDefs[static_cast<std::size_t>(position)].get();
}

const TnvParDef* TnvParDefSet::Find(std::uint32_t index) const {
    for (const auto& def : FDefs)
        if (def->ParIndex == index)
            return def.get();
    return nullptr;
}

const TnvParDef* TnvParDefSet::Find(const QString& name) const {
    for (const auto& def : FDefs)
        if (def->Name == name)
            return def.get();
    return nullptr;
}

QStringList TnvParDefSet::GetCategoryNames() const {
    QStringList names;
    for (const QString& line : FCategories)
        names << line.left(line.indexOf(QLatin1Char('='))).trimmed();
    return names;
}

QString TnvParDefSet::GetCategoryIdxList(const QString& category) const {
    for (const QString& line : FCategories) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).trimmed().compare(category, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}

bool TnvParDefSet::AddParDefCategory(const QString& category) {
    return AddParDefFromIdxList(GetCategoryIdxList(category));
}

bool TnvParDefSet::AddParDefFromIdxList(const QString& list) {
    if (list.isEmpty())
        return false;
    const TnvIniFile* source = Source();
    return nv::ForEachListedIndex(
        list, [&](std::uint32_t index) { return AddParDef(index, source) != nullptr; });
}

const TnvParDef* TnvParDefSet::AddParDef(std::uint32_t index) {
    if (const TnvParDef* found = Find(index))
        return found;
    return AddParDef(index, Source());
}

const TnvParDef* TnvParDefSet::AddParDef(std::uint32_t index, const TnvIniFile* source) {
    if (const TnvParDef* found = Find(index))
        return found;
    auto def = std::make_unique<TnvParDef>();
    if (!source || !def->LoadFromIni(*source, index)) {
        def.reset();
        if (OnErrParDef)
            OnErrParDef(this, index);
        return nullptr;
    }
    FDefs.push_back(std::move(def));
    const TnvParDef* added = FDefs.back().get();
    if (OnAddParDef)
        OnAddParDef(this, added);
    return added;
}

const TnvParDef* TnvParDefSet::GetParDefinition(std::uint32_t index) {
    if (const TnvParDef* found = Find(index))
        return found;
    return AddParDef(index);
}

bool TnvParDefSet::DeleteParDef(std::uint32_t index) {
    for (auto it = FDefs.begin(); it != FDefs.end(); ++it) {
        if ((*it)->ParIndex != index)
            continue;
        std::unique_ptr<TnvParDef> def = std::move(*it);
        FDefs.erase(it);
        if (OnDeleteParDef)
            OnDeleteParDef(this, def.get());
        return true;
    }
    return false;
}
