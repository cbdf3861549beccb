#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace kxtest {

// Hex text of bytes, "01 03 00 10".
QString Hex(const std::vector<uint8_t>& bytes);
// The requests a peer logged, one hex string ("01 03 01 23 00 01") per
// request, without the serial line checks (function 8) unless asked for.
QStringList LoggedRequests(const QString& logFile, bool withLineChecks = false);

} // namespace kxtest
