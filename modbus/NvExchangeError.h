#pragma once

#include <QString>
#include <cstdint>

namespace nv {

// The operator's text of a link or exchange status code ("timeout, no
// response!"); an unknown code as unsigned upper-case hexadecimal and "h"
// (80040204h). The caller adds its prefix ("Connection Error: ", "Error on
// ModBus data exchange: "). Any thread.
QString ExchangeErrorText(int32_t code);

} // namespace nv
