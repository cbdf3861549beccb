#include "GraphTestSupport.h"

namespace test {

TnvColor Pixel(const QImage& image, int x, int y) {
    const QRgb rgb = image.pixel(x, y);
    return static_cast<TnvColor>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

QFontMetrics Metrics(int pixelSize) {
    QFont font(kFace);
    font.setPixelSize(pixelSize);
    return QFontMetrics(font);
}

} // namespace test
