#include "GraphTestSupport.h"

#include <gtest/gtest.h>

namespace test {

TnvColor Pixel(const QImage& image, int x, int y) {
    const QRgb rgb = image.pixel(x, y);
    return static_cast<TnvColor>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

void ExpectPixels(const QImage& image, const std::vector<TPixel>& pixels) {
    for (const TPixel& p : pixels)
        EXPECT_EQ(Pixel(image, p.X, p.Y), p.Color) << "at " << p.X << "," << p.Y;
}

QImage White(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QFontMetrics Metrics(int pixelSize) {
    QFont font(kFace);
    font.setPixelSize(pixelSize);
    return QFontMetrics(font);
}

} // namespace test
