// FormatFloat and FormatDateTime patterns, as definitions and report
// templates bring them: a double to format, then the pattern. A text is
// bounded by its pattern, not by the value: at most the pattern's text plus
// every digit a double can have.
#include "FuzzInput.h"
#include "NvFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double value = kxfuzz::Take<double>(data, size);
    const QString pattern = kxfuzz::Text(data, size);
    kxfuzz::Require(nv::FormatFloat(pattern, value).size() < pattern.size() * 2 + 420,
                    "a number's text is bounded by its pattern");
    kxfuzz::Require(nv::FormatDateTime(pattern, value).size() < pattern.size() * 40 + 40,
                    "a date's text is bounded by its pattern");
    return 0;
}
