// FormatFloat and FormatDateTime patterns, as definitions and report
// templates bring them: a double to format, then the pattern.
#include "FuzzInput.h"
#include "NvFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double value = kxfuzz::Take<double>(data, size);
    const QString pattern = kxfuzz::Text(data, size);
    nv::FormatFloat(pattern, value);
    nv::FormatDateTime(pattern, value);
    return 0;
}
