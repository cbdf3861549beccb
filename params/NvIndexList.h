#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// Index lists of the definitions file: comma-separated elements, each a
// decimal index or an inclusive range "first/last" ("1/50,60,70/72").
namespace nv {

// The widest range an element may span; a wider one is refused rather than
// walked index by index for minutes.
constexpr std::int64_t kMaxIndexRange = 65536;

// Calls add for every index of list: elements from the last to the first, the
// indices of a range in ascending order. Returns false for an empty list, an
// empty element, or when any add returned false; every element is still
// handled. A range whose first index is above its last adds nothing. A token
// that is not an integer raises TnvConvertError "'<token>' is not a valid
// integer value" (the indices handled before it stay handled), a range wider
// than kMaxIndexRange "'<element>' is not a valid index range". Blanks around
// tokens are ignored. Any thread; add runs on the caller's thread.
bool ForEachListedIndex(const QString& list, const std::function<bool(std::uint32_t)>& add);

} // namespace nv
