#include "TnvError.h"

TnvError::TnvError(const QString& message)
    : std::runtime_error(message.toStdString()) {}

TnvFileError::TnvFileError(const QString& fileName, const QString& reason)
    : TnvError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, reason)) {}
