#include "NvIndexList.h"

#include "NvConvert.h"
#include "TnvError.h"

#include <QStringList>

namespace nv {
namespace {

// One element, "index" or "first/last". The range is split at its last slash,
// so "1/2/3" fails on the token "1/2".
bool ForEachInElement(const QString& element, const std::function<bool(std::uint32_t)>& add) {
    const qsizetype slash = element.lastIndexOf(QLatin1Char('/'));
    const QString firstText = (slash < 0 ? element : element.left(slash)).trimmed();
    const QString lastText = (slash < 0 ? element : element.mid(slash + 1)).trimmed();
    const std::int64_t first = StrToInt(firstText);
    const std::int64_t last = slash < 0 ? first : StrToInt(lastText);
    if (last - first >= kMaxIndexRange)
        throw TnvConvertError(QStringLiteral("'%1' is not a valid index range").arg(element));
    bool ok = true;
    // Negative tokens wrap to large indices, as an unsigned index would.
    for (std::int64_t index = first; index <= last; ++index)
        ok = add(static_cast<std::uint32_t>(index)) && ok;
    return ok;
}

} // namespace

bool ForEachListedIndex(const QString& list, const std::function<bool(std::uint32_t)>& add) {
    if (list.isEmpty())
        return false;
    const QStringList elements = list.split(QLatin1Char(','));
    bool ok = true;
    for (auto it = elements.crbegin(); it != elements.crend(); ++it) {
        // An empty piece is an empty list of its own: false, but no error.
        if (it->isEmpty())
            ok = false;
        else
            ok = ForEachInElement(*it, add) && ok;
    }
    return ok;
}

} // namespace nv
