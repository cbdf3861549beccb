#include "TKx720Catalog.h"

#include "NvConvert.h"
#include "NvFormat.h"
#include "NvIndexList.h"
#include "TnvError.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <set>

namespace {

// Categories that repeat or hide what "all" means: the export list is a
// selection of the others, local parameters never go on the wire.
bool PartOfAll(const QString& category) {
    return category.compare("Local", Qt::CaseInsensitive) != 0 &&
           category.compare("ExportFile", Qt::CaseInsensitive) != 0;
}

QString CsvField(const QString& text) {
    if (!text.contains(QRegularExpression(R"([",\n])")))
        return text;
    return '"' + QString(text).replace('"', "\"\"") + '"';
}

} // namespace

TKx720Catalog::TKx720Catalog(TnvParDefSet& defs)
    : FDefs(defs) {}

QString TKx720Catalog::CategoryName(const QString& name) const {
    for (const QString& category : FDefs.GetCategoryNames()) {
        if (category.compare(name, Qt::CaseInsensitive) == 0)
            return category;
    }
    return {};
}

std::vector<uint32_t> TKx720Catalog::Indices(const QString& category) const {
    std::vector<uint32_t> indices;
    std::set<uint32_t> seen;
    for (const QString& name : FDefs.GetCategoryNames()) {
        if (category.isEmpty() ? !PartOfAll(name) : name != category)
            continue;
        try {
            nv::ForEachListedIndex(FDefs.GetCategoryIdxList(name), [&](uint32_t index) {
                if (seen.insert(index).second)
                    indices.push_back(index);
                return true;
            });
        } catch (const TnvError&) {
            // The definitions were checked on loading; what was listed stays.
        }
    }
    return indices;
}

bool TKx720Catalog::Resolve(const QStringList& specs, std::vector<uint32_t>& indices,
                            QString& error) const {
    static const QRegularExpression range(R"(^(\d+)(?:-(\d+))?$)");
    std::set<uint32_t> seen;
    const auto add = [&](uint32_t index) {
        if (seen.insert(index).second)
            indices.push_back(index);
    };
    // A range reads what the drive has in it: reserved gaps (28) and local
    // parameters are left out, where a single index asks for exactly that one.
    const std::vector<uint32_t> listed = Indices({});
    const std::set<uint32_t> onWire(listed.begin(), listed.end());
    for (const QString& target : specs) {
        if (const auto match = range.match(target); match.hasMatch()) {
            bool okFirst = false;
            bool okLast = false;
            const uint32_t first = match.captured(1).toUInt(&okFirst);
            const uint32_t last = match.capturedLength(2) ? match.captured(2).toUInt(&okLast)
                                                          : (okLast = true, first);
            if (!okFirst || !okLast || last < first) {
                error = "bad index range '" + target + "'";
                return false;
            }
            if (first == last) {
                add(first);
                continue;
            }
            const auto begin = onWire.lower_bound(first);
            const auto end = onWire.upper_bound(last);
            std::for_each(begin, end, add);
            if (begin == end) {
                error = "no parameter of the definitions lies in " + target;
                return false;
            }
            continue;
        }
        const QString category =
            target.compare("all", Qt::CaseInsensitive) == 0 ? QString() : CategoryName(target);
        if (category.isEmpty() && target.compare("all", Qt::CaseInsensitive) != 0) {
            error = QStringLiteral("'%1' is neither an index, a range nor a category (%2)")
                        .arg(target, FDefs.GetCategoryNames().join(", "));
            return false;
        }
        for (uint32_t index : Indices(category))
            add(index);
    }
    return true;
}

QString TKx720Catalog::Unit(const TnvParDef& def) {
    static const QRegularExpression quoted(R"re("([^"]*)"|'([^']*)')re");
    const auto literal = quoted.match(def.FormatString);
    if (literal.hasMatch())
        return (literal.captured(1) + literal.captured(2)).trimmed();
    static const QRegularExpression trailing(R"(\(([^()]*)\)\s*$)");
    const auto unit = trailing.match(def.Descr);
    return unit.hasMatch() ? unit.captured(1).trimmed() : QString();
}

std::optional<uint32_t> TKx720Catalog::StoredIndex(const TnvParDef& def) {
    // A stored copy names itself, a RAM-only parameter repeats its address.
    if (def.RegProg == def.ParIndex || def.RegProg == def.RegAddr)
        return std::nullopt;
    return def.RegProg;
}

QStringList TKx720Catalog::ListLines(const std::vector<uint32_t>& indices, bool csv) {
    const QStringList header{"Index", "Name",     "Description", "Unit",
                             "Scale", "ReadOnly", "StoredCopy"};
    QStringList lines{csv ? header.join(',') : header.join('\t')};
    for (uint32_t index : indices) {
        const TnvParDef* def = FDefs.GetParDefinition(index);
        if (!def)
            continue;
        const std::optional<uint32_t> stored = StoredIndex(*def);
        QStringList fields{QString::number(index),
                           def->Name,
                           def->Descr,
                           Unit(*def),
                           nv::FloatToStr(def->FormatNorm),
                           def->Readonly ? "yes" : "no",
                           stored ? QString::number(*stored) : QString()};
        if (csv) {
            for (QString& field : fields)
                field = CsvField(field);
        }
        lines << fields.join(csv ? ',' : '\t');
    }
    return lines;
}

bool TKx720Catalog::DisplayToWord(const TnvParDef& def, const QString& text, uint16_t& word,
                                  QString& error) {
    double shown = 0.0;
    if (!nv::TryStrToFloat(text, shown) || !std::isfinite(shown)) {
        error = "'" + text + "' is not a number";
        return false;
    }
    if (def.Type != TnvParDef::tpInt8 && def.Type != TnvParDef::tpInt16) {
        error = "takes raw words only (use write)";
        return false;
    }
    const double norm = def.FormatNorm == 0.0 ? 1.0 : def.FormatNorm;
    const double raw = std::round((shown - def.FormatOffset) / norm);
    const bool byte = def.Type == TnvParDef::tpInt8;
    const double low = def.Unsigned ? 0.0 : (byte ? -128.0 : -32768.0);
    const double high = def.Unsigned ? (byte ? 255.0 : 65535.0) : (byte ? 127.0 : 32767.0);
    if (raw < low || raw > high) {
        error = QStringLiteral("%1 does not fit the register (%2 to %3)")
                    .arg(text, nv::FloatToStr(low * norm + def.FormatOffset),
                         nv::FloatToStr(high * norm + def.FormatOffset));
        return false;
    }
    word = static_cast<uint16_t>(static_cast<int32_t>(raw));
    return true;
}
