#pragma once

#include "NvGraphTypes.h"
#include "TnvBrush.h"
#include "TnvFont.h"
#include "TnvPen.h"

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <optional>

// The drawing surface of an off-screen image, with the conventions the chart
// formulas rely on: a current pen, brush and font; lines that leave out their
// end point; rectangles and ellipses given by an exclusive lower-right corner;
// text placed by the top-left corner of its cell, its background filled unless
// the brush is clear. Nothing is antialiased, so pixels follow the formulas.
// Painting starts on the first drawing call; End() finishes it (before the
// image is read, copied or resized).
class TnvCanvas {
public:
    explicit TnvCanvas(QImage& image);
    ~TnvCanvas();
    TnvCanvas(const TnvCanvas&) = delete;
    TnvCanvas& operator=(const TnvCanvas&) = delete;

    TnvPen& Pen() { return FPen; }
    TnvBrush& Brush() { return FBrush; }
    TnvFont& Font() { return FFont; }
    QImage& Image() { return FImage; }

    void End();

    void MoveTo(int x, int y);
    // A line from the pen position to (x, y), the end point left out.
    void LineTo(int x, int y);
    // MoveTo the first point, LineTo every further one.
    void Polyline(const QPoint* points, int count);
    // Outline in the pen, inside filled with the brush; (x2, y2) exclusive.
    void Rectangle(int x1, int y1, int x2, int y2);
    // Fills with the brush only, whatever the pen; (x2, y2) exclusive.
    void FillRect(int x1, int y1, int x2, int y2);
    void RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Polygon(const QPoint* points, int count);
    // Sets one pixel whatever the pen mode (the clip still applies).
    void SetPixel(int x, int y, TnvColor color);

    void TextOut(int x, int y, const QString& text);
    // Text running upward; (x, y) is the top-left corner of the turned cell.
    void TextOutTurned(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;

    // Clips to the rectangle with Right and Bottom exclusive.
    void SetClipRect(const TnvRect& rect);
    void ClearClip();
    // The image's pixels that the clip leaves (empty when none).
    QRect Visible() const;

private:
    QPainter& Painter();
    void PrepareShape(); // pen, brush and raster mode for lines and fills
    void PrepareText();
    bool PenDraws() const;
    void DrawLineWithoutEnd(QPoint from, QPoint to);
    // Cuts a rectangle (x2, y2 exclusive) to the image with margin pixels
    // around it; false when nothing is left.
    bool CutToImage(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int margin) const;
    // Whether a shape in the rectangle (x2, y2 exclusive) can touch the image.
    bool Reaches(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
    // A horizontal or vertical one-pixel line written straight into the
    // image; false when the pen or image needs the painter.
    bool DrawStraightLine(QPoint from, QPoint to);
    // Whether the line runs toward smaller values along its major axis.
    static bool Decreasing(QPoint from, QPoint to);
    // Whether a polyline has more points than pixel columns it spans.
    static bool Dense(const QPoint* points, int count);
    // A dense polyline written straight into the image; false when the pen
    // or image needs the painter, or the line is not dense.
    bool DrawDensePolyline(const QPoint* points, int count);
    static bool ClipSegment(QPointF& a, QPointF& b, const QRectF& box);

    static constexpr int64_t kMaxShape = 1 << 20; // pixels across a shape the painter takes

    QImage& FImage;
    std::optional<QPainter> FPainter;
    TnvPen FPen;
    TnvBrush FBrush;
    TnvFont FFont;
    QPoint FPos;
    std::optional<TnvRect> FClip;
    bool FShapeDirty = true;
};
