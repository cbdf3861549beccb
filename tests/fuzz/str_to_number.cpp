// StrToInt and StrToFloat on typed-in and stored text: the raising and the
// reporting forms must agree, and what is read must be what is written.
#include "FuzzInput.h"
#include "NvConvert.h"
#include "NvFormat.h"
#include "TnvError.h"

#include <cmath>

namespace {

void CheckInt(const QString& text) {
    int tried = 0;
    const bool ok = nv::TryStrToInt(text, tried);
    try {
        const int raised = nv::StrToInt(text);
        kxfuzz::Require(ok && raised == tried, "StrToInt agrees with TryStrToInt");
    } catch (const TnvConvertError&) {
        kxfuzz::Require(!ok, "StrToInt raises only where TryStrToInt fails");
    }
}

void CheckFloat(const QString& text) {
    double tried = 0;
    const bool ok = nv::TryStrToFloat(text, tried);
    try {
        const double raised = nv::StrToFloat(text);
        kxfuzz::Require(ok, "StrToFloat raises where TryStrToFloat fails");
        kxfuzz::Require(raised == tried || (std::isnan(raised) && std::isnan(tried)),
                        "StrToFloat agrees with TryStrToFloat");
        double back = 0;
        kxfuzz::Require(nv::TryStrToFloat(nv::FloatToStr(raised), back), "FloatToStr reads back");
    } catch (const TnvConvertError&) {
        kxfuzz::Require(!ok, "StrToFloat raises only where TryStrToFloat fails");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = kxfuzz::Text(data, size);
    CheckInt(text);
    CheckFloat(text);
    return 0;
}
