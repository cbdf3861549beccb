#pragma once

#include "TnvError.h"

#include <QString>

namespace kxtest {

// Runs body and returns the text of the Error it raises ("" if none); any
// other exception escapes and fails the test.
template <typename Error = TnvError, typename Body>
QString ErrorOf(Body body) {
    try {
        body();
    } catch (const Error& e) {
        return e.Message();
    }
    return QString();
}

} // namespace kxtest
