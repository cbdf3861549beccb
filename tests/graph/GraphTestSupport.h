#pragma once

#include "NvGraphTypes.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>

// Helpers shared by the graph tests.
namespace test {

// The pixel at (x, y) as a stored colour (0x00BBGGRR).
TnvColor Pixel(const QImage& image, int x, int y);

// The face every test font uses, so text measures do not depend on fallbacks.
inline const char* kFace = "Liberation Sans Narrow";
// Metrics of kFace at a pixel size, straight from Qt (not through the library).
QFontMetrics Metrics(int pixelSize = 10);

} // namespace test

#include <QString>
#include <ostream>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}
