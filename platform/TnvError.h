#pragma once

#include <QString>
#include <stdexcept>

// The project's one exception type. It carries the exact text the operator is
// shown ("Wrong data type!", "'abc' is not a valid integer value"), so catching
// code never rewrites it.
class TnvError : public std::runtime_error {
public:
    explicit TnvError(const QString& message);

    QString Message() const { return QString::fromUtf8(what()); }
};

// A text that does not convert into a number, a date or a time; or numbers
// that make no date or time ("Invalid argument to date encode").
class TnvConvertError : public TnvError {
public:
    using TnvError::TnvError;
};

// A file that cannot be opened: 'Cannot open file "<name>". <reason>', the
// reason as the system gives it.
class TnvFileError : public TnvError {
public:
    TnvFileError(const QString& fileName, const QString& reason);
};
