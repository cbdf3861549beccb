#pragma once

#include "NvGraphTypes.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <ostream>
#include <vector>

// Helpers shared by the graph tests.
namespace test {

inline constexpr TnvColor kRed = 0x0000FF;
inline constexpr TnvColor kBlue = 0xFF0000;
inline constexpr TnvColor kWhite = 0xFFFFFF;

// The pixel at (x, y) as a stored colour (0x00BBGGRR).
TnvColor Pixel(const QImage& image, int x, int y);

// One pixel a painting must have produced.
struct TPixel {
    int X;
    int Y;
    TnvColor Color;
};
// Expects every listed pixel, naming the position of each that differs.
void ExpectPixels(const QImage& image, const std::vector<TPixel>& pixels);

// A white image of the given size.
QImage White(int w, int h);

// The face every test font uses, so text measures do not depend on fallbacks.
inline const char* kFace = "Liberation Sans Narrow";
// Metrics of kFace at a pixel size, straight from Qt (not through the library).
QFontMetrics Metrics(int pixelSize = 10);

} // namespace test

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}
