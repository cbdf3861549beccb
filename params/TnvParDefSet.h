#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TnvIniFile;
class TnvParDef;

// The definitions of one definitions file, loaded on demand by index, by index
// list or by category. Owns its definitions. GUI thread only; the definitions
// it hands out stay valid until DeleteParDef or the set's destruction.
class TnvParDefSet {
public:
    TnvParDefSet();
    // Destroys the definitions, last first, without OnDeleteParDef.
    ~TnvParDefSet();
    TnvParDefSet(const TnvParDefSet&) = delete;
    TnvParDefSet& operator=(const TnvParDefSet&) = delete;

    QString GetName() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    int GetTag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    QString GetParFilePath() const { return FParFilePath; }
    void SetParFilePath(const QString& path) { FParFilePath = path; }
    QString GetParFileName() const { return FParFileName; }
    void SetParFileName(const QString& name) { FParFileName = name; }

    // Remembers folder and file name, then reads the section "Categories".
    // False (the category table unchanged) when the file does not exist.
    bool LoadFromFile(const QString& folder, const QString& fileName);
    // The same with the folder and file name taken apart from one path.
    bool LoadFromFile(const QString& fullPath);

    // The folder with a separator unless it ends with one ("\" or "/"), then
    // the file name.
    QString GetFullName() const;
    // The definitions file read, or none when it does not exist.
    std::unique_ptr<TnvIniFile> TestForSource() const;

    int GetCountParDef() const { return static_cast<int>(FDefs.size()); }
    // The definition at position (0 to GetCountParDef() - 1) in adding order.
    const TnvParDef* GetParDefAt(int position) const;
    // First definition in adding order with that index, or none.
    const TnvParDef* Find(std::uint32_t index) const;
    // First definition in adding order whose Name equals name (case-sensitive).
    const TnvParDef* Find(const QString& name) const;

    // The categories of the file's section "Categories", in file order.
    QStringList GetCategoryNames() const;
    // The index list of a category (name without regard to case), or "".
    QString GetCategoryIdxList(const QString& category) const;
    // AddParDefFromIdxList(GetCategoryIdxList(category)).
    bool AddParDefCategory(const QString& category);
    // Adds every index of the list, elements from the last to the first,
    // ranges ascending. True only if every index gave a definition; false for
    // an empty list. A token that is no integer raises TnvConvertError
    // "'<token>' is not a valid integer value"; indices before it stay added.
    bool AddParDefFromIdxList(const QString& list);
    // The definition of index, loaded (OnAddParDef) if not yet held; none
    // (OnErrParDef) if the file lacks it.
    const TnvParDef* AddParDef(std::uint32_t index);
    // Find(index), else AddParDef(index).
    const TnvParDef* GetParDefinition(std::uint32_t index);
    // Removes and destroys the definition of index; OnDeleteParDef fires
    // before it is destroyed. False if there is none.
    bool DeleteParDef(std::uint32_t index);

    // Events, raised on the GUI thread when assigned.
    std::function<void(TnvParDefSet* sender, const TnvParDef* thisparam)> OnAddParDef;
    std::function<void(TnvParDefSet* sender, const TnvParDef* thisparam)> OnDeleteParDef;
    std::function<void(TnvParDefSet* sender, std::uint32_t parindex)> OnErrParDef;

private:
    bool ReadCategories();
    const TnvParDef* AddParDef(std::uint32_t index, const TnvIniFile* source);
    // The definitions file as last read, read again when it changed on disk;
    // none when it does not exist.
    const TnvIniFile* Source();

    QString FName;
    int FTag = 0;
    QString FParFilePath;
    QString FParFileName;
    QStringList FCategories; // "name=index list" lines
    std::vector<std::unique_ptr<TnvParDef>> FDefs;
    std::unique_ptr<TnvIniFile> FSource;
    QString FSourceName;
    QDateTime FSourceTime;
    qint64 FSourceSize = -1;
};
