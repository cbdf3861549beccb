// Index lists of the definitions file ("1/50,60,70/72").
#include "FuzzInput.h"
#include "NvIndexList.h"
#include "TnvError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every element may span kMaxIndexRange indices; a long list of wide
    // ranges only measures the loop.
    if (size > 128)
        return 0;
    const QString list = kxfuzz::Text(data, size);
    const qsizetype elements = list.count(QLatin1Char(',')) + 1;
    std::int64_t calls = 0;
    try {
        nv::ForEachListedIndex(list, [&](std::uint32_t) {
            ++calls;
            return true;
        });
    } catch (const TnvConvertError&) {
    }
    kxfuzz::Require(calls <= elements * nv::kMaxIndexRange, "no range is wider than allowed");
    return 0;
}
