#include "NvErrorReport.h"

#include <cstdio>
#include <exception>
#include <mutex>

namespace nv {

namespace {

std::mutex gReporterMutex;
TErrorReporter gReporter; // guarded by gReporterMutex; empty means standard error

void WriteToStandardError(const QString& message) {
    const QByteArray text = message.toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
}

} // namespace

void SetErrorReporter(TErrorReporter reporter) {
    const std::lock_guard lock(gReporterMutex);
    gReporter = std::move(reporter);
}

void ReportError(const QString& message) {
    TErrorReporter reporter;
    {
        // Called outside the lock so that a reporter may itself report or
        // replace the reporter without deadlocking.
        const std::lock_guard lock(gReporterMutex);
        reporter = gReporter;
    }
    if (!reporter) {
        WriteToStandardError(message);
        return;
    }
    try {
        reporter(message);
    } catch (...) {
        // A failing reporter must not lose the original error.
        WriteToStandardError(message);
    }
}

void ReportCurrentException() {
    try {
        if (!std::current_exception()) {
            ReportError(QStringLiteral("Unknown error"));
            return;
        }
        try {
            throw;
        } catch (const std::exception& e) {
            ReportError(QString::fromUtf8(e.what()));
        } catch (...) {
            ReportError(QStringLiteral("Unknown error"));
        }
    } catch (...) {
        // Nothing may escape: this runs in handlers that guard the event loop.
    }
}

} // namespace nv
