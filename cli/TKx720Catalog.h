#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

class TnvParDef;
class TnvParDefSet;

// What the definitions file says about the parameters, without a link: the
// listing of `kx720 list`, the index lists of read and watch, and the display
// values of `set`. GUI thread (the main thread) only.
class TKx720Catalog {
public:
    explicit TKx720Catalog(TnvParDefSet& defs);

    // Turns "4", "4-19", a category name or "all" into indices, in the
    // order given, each once. False with error for a malformed range or a
    // category the file lacks.
    bool Resolve(const QStringList& specs, std::vector<std::uint32_t>& indices,
                 QString& error) const;
    // The indices of category, or of every category but "Local" and the
    // export list when category is empty.
    std::vector<std::uint32_t> Indices(const QString& category) const;
    // One line per parameter, tab-separated or CSV, after a header line.
    QStringList ListLines(const std::vector<std::uint32_t>& indices, bool csv);

    // The unit of a parameter: the quoted text of its display format, else
    // the parenthesised end of its description.
    static QString Unit(const TnvParDef& def);
    // The index of the stored copy a working parameter names, if any.
    static std::optional<std::uint32_t> StoredIndex(const TnvParDef& def);
    // The register word that shows as text in the drive's units; false with
    // error when text is no number or the word does not fit the register.
    static bool DisplayToWord(const TnvParDef& def, const QString& text, std::uint16_t& word,
                              QString& error);

private:
    QString CategoryName(const QString& name) const;

    TnvParDefSet& FDefs;
};
