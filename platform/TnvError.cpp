#include "TnvError.h"

TnvError::TnvError(const QString& message)
    : std::runtime_error(message.toStdString()) {}
