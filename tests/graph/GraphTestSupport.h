#pragma once

#include "NvGraphTypes.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace test {

inline constexpr TnvColor kRed = 0x0000FF;
inline constexpr TnvColor kBlue = 0xFF0000;
inline constexpr TnvColor kWhite = 0xFFFFFF;

// The pixel at (x, y) as a stored colour (0x00BBGGRR).
inline TnvColor Pixel(const QImage& image, int x, int y) {
    const QRgb rgb = image.pixel(x, y);
    return static_cast<TnvColor>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

// One pixel a painting must have produced.
struct TPixel {
    int X;
    int Y;
    TnvColor Color;
};
// Expects every listed pixel, naming the position of each that differs.
inline void ExpectPixels(const QImage& image, const std::vector<TPixel>& pixels) {
    for (const TPixel& p : pixels)
        EXPECT_EQ(Pixel(image, p.X, p.Y), p.Color) << "at " << p.X << "," << p.Y;
}

inline QImage White(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The face every test font uses, so text measures do not depend on fallbacks.
inline const char* kFace = "Liberation Sans Narrow";
// Metrics of kFace at a pixel size, straight from Qt (not through the library).
inline QFontMetrics Metrics(int pixelSize = 10) {
    QFont font(kFace);
    font.setPixelSize(pixelSize);
    return QFontMetrics(font);
}

// A visible diagram over area with an X and a Y scale, as painting needs it.
inline TnvDiagram* MakeComplete(TnvGraph& graph, const QString& name, TnvRect area) {
    TnvDiagram* d = graph.CreateNewDiagram(name);
    d->SetArea(area.Left, area.Top, area.Right, area.Bottom);
    d->SetVisible(true);
    d->CreateScala("X", 2);
    d->CreateScala("Y", 3);
    return d;
}

} // namespace test

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}
