#pragma once

#include "NvErrorReport.h"

#include <utility>

namespace nv {

// Runs f and hands any exception it raises to the default error report, so
// that no exception ever unwinds through the toolkit's event loop. Every
// handler that a widget signal or timer calls goes through here.
template <typename F>
void Guarded(F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (...) {
        ReportCurrentException();
    }
}

} // namespace nv
