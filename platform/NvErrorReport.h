#pragma once

#include <QString>
#include <functional>

// The application's default error report: one place that shows an error which
// escaped an event handler. The terminal installs a message box; without one
// the text goes to standard error.
namespace nv {

using TErrorReporter = std::function<void(const QString& message)>;

// GUI thread, at start-up.
void SetErrorReporter(TErrorReporter reporter);

// Shows message through the installed reporter.
void ReportError(const QString& message);

// Call inside a catch block: reports the exception being handled (its text for
// std::exception, a generic text otherwise). Never raises.
void ReportCurrentException();

} // namespace nv
