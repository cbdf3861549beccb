#pragma once

#include <QString>
#include <cstdint>

namespace nv {

// The operator's text of a link or exchange status code ("timeout, no
// response!"); an unknown code as unsigned upper-case hexadecimal and "h"
// (80040204h). The caller adds its prefix ("Connection Error: ", "Error on
// ModBus data exchange: "). Any thread.
QString ExchangeErrorText(int32_t code);

// A hint for the usual causes of a transport's failure detail (" (the user
// must be in the group dialout ...)"), or an empty text. Any thread.
QString LinkErrorHint(const QString& detail);

// The meaning of a Modbus exception code ("illegal data address" for 2), or
// "unknown exception" for a code the protocol does not define. Any thread.
QString ModbusExceptionText(int code);

} // namespace nv
