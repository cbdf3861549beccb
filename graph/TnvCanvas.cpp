#include "TnvCanvas.h"

#include <QPen>
#include <QRect>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

QPainter::CompositionMode CompositionOf(TnvPenMode mode) {
    using C = QPainter::CompositionMode;
    switch (mode) {
    case TnvPenMode::Nop:
        return C::CompositionMode_Destination;
    case TnvPenMode::Not:
        return C::RasterOp_NotDestination;
    case TnvPenMode::NotCopy:
        return C::RasterOp_NotSource;
    case TnvPenMode::MergePenNot:
        return C::RasterOp_SourceOrNotDestination;
    case TnvPenMode::MaskPenNot:
        return C::RasterOp_SourceAndNotDestination;
    case TnvPenMode::MergeNotPen:
        return C::RasterOp_NotSourceOrDestination;
    case TnvPenMode::MaskNotPen:
        return C::RasterOp_NotSourceAndDestination;
    case TnvPenMode::Merge:
        return C::RasterOp_SourceOrDestination;
    case TnvPenMode::NotMerge:
        return C::RasterOp_NotSourceAndNotDestination;
    case TnvPenMode::Mask:
        return C::RasterOp_SourceAndDestination;
    case TnvPenMode::NotMask:
        return C::RasterOp_NotSourceOrNotDestination;
    case TnvPenMode::Xor:
        return C::RasterOp_SourceXorDestination;
    case TnvPenMode::NotXor:
        return C::RasterOp_NotSourceXorDestination;
    default: // black, white and copy paint the pen's own colour
        return C::CompositionMode_Source;
    }
}

QBrush QtBrush(const TnvBrush& brush) {
    const QColor color = nv::ToQColor(brush.GetColor());
    switch (brush.GetStyle()) {
    case TnvBrushStyle::Solid:
        return QBrush(color, Qt::SolidPattern);
    case TnvBrushStyle::Horizontal:
        return QBrush(color, Qt::HorPattern);
    case TnvBrushStyle::Vertical:
        return QBrush(color, Qt::VerPattern);
    case TnvBrushStyle::FDiagonal:
        return QBrush(color, Qt::FDiagPattern);
    case TnvBrushStyle::BDiagonal:
        return QBrush(color, Qt::BDiagPattern);
    case TnvBrushStyle::Cross:
        return QBrush(color, Qt::CrossPattern);
    case TnvBrushStyle::DiagCross:
        return QBrush(color, Qt::DiagCrossPattern);
    default:
        return QBrush(Qt::NoBrush);
    }
}

QPen QtPen(const TnvPen& pen) {
    if (pen.GetStyle() == TnvPenStyle::Clear)
        return QPen(Qt::NoPen);
    QColor color = nv::ToQColor(pen.GetColor());
    if (pen.GetMode() == TnvPenMode::Black)
        color = Qt::black;
    else if (pen.GetMode() == TnvPenMode::White)
        color = Qt::white;

    if (pen.GetWidth() > 1) {
        // Wide pens draw solid with round ends and joins, as the original surface did.
        return QPen(color, pen.GetWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    }
    // A flat cap leaves out the end point of a one-pixel line.
    QPen result(color, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    switch (pen.GetStyle()) {
    case TnvPenStyle::Dash:
        result.setDashPattern({18, 6});
        break;
    case TnvPenStyle::Dot:
        result.setDashPattern({3, 3});
        break;
    case TnvPenStyle::DashDot:
        result.setDashPattern({9, 6, 3, 6});
        break;
    case TnvPenStyle::DashDotDot:
        result.setDashPattern({9, 3, 3, 3, 3, 3});
        break;
    default:
        break;
    }
    return result;
}

} // namespace

TnvCanvas::TnvCanvas(QImage& image)
    : FImage(image)
    , FPen(kClBlack, TnvPenMode::Copy, TnvPenStyle::Solid, 1)
    , FBrush(kClWhite, TnvBrushStyle::Solid)
    , FFont(kClBlack, "MS Sans Serif", -11) {
    FPen.OnChange = [this] {
        FShapeDirty = true;
    };
    FBrush.OnChange = [this] {
        FShapeDirty = true;
    };
}

TnvCanvas::~TnvCanvas() {
    End();
}

void TnvCanvas::End() {
    FPainter.reset();
}

QPainter& TnvCanvas::Painter() {
    if (!FPainter) {
        FPainter.emplace(&FImage);
        if (FClip)
            SetClipRect(*FClip);
        FShapeDirty = true;
    }
    return *FPainter;
}

void TnvCanvas::PrepareShape() {
    QPainter& painter = Painter();
    if (!FShapeDirty)
        return;
    painter.setCompositionMode(CompositionOf(FPen.GetMode()));
    painter.setPen(QtPen(FPen));
    painter.setBrush(QtBrush(FBrush));
    FShapeDirty = false;
}

void TnvCanvas::PrepareText() {
    QPainter& painter = Painter();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setFont(FFont.QtFont());
    painter.setPen(nv::ToQColor(FFont.GetColor()));
    FShapeDirty = true;
}

bool TnvCanvas::PenDraws() const {
    return FPen.GetStyle() != TnvPenStyle::Clear && FPen.GetMode() != TnvPenMode::Nop;
}

void TnvCanvas::MoveTo(int x, int y) {
    FPos = QPoint(x, y);
}

void TnvCanvas::LineTo(int x, int y) {
    const QPoint to(x, y);
    if (PenDraws() && to != FPos) {
        PrepareShape();
        DrawLineWithoutEnd(FPos, to);
    }
    FPos = to;
}

void TnvCanvas::DrawLineWithoutEnd(QPoint from, QPoint to) {
    QPainter& painter = *FPainter;
    if (FPen.GetWidth() > 1 || !Decreasing(from, to)) {
        painter.drawLine(from, to);
        return;
    }
    // The painter leaves out the end with the larger coordinate along the
    // major axis; for a line running back along it, stop one step early and
    // keep both ends instead.
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    QPoint last;
    if (std::abs(dx) >= std::abs(dy)) {
        const int lx = to.x() + 1;
        last =
            QPoint(lx, from.y() + static_cast<int>(std::lround(double(lx - from.x()) * dy / dx)));
    } else {
        const int ly = to.y() + 1;
        last =
            QPoint(from.x() + static_cast<int>(std::lround(double(ly - from.y()) * dx / dy)), ly);
    }
    QPen pen = painter.pen();
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    if (last == from)
        painter.drawPoint(from);
    else
        painter.drawLine(from, last);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
}

bool TnvCanvas::Decreasing(QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    return std::abs(dx) >= std::abs(dy) ? dx < 0 : dy < 0;
}

void TnvCanvas::Polyline(const QPoint* points, int count) {
    if (count <= 0)
        return;
    FPos = points[count - 1];
    if (!PenDraws() || count < 2)
        return;
    PrepareShape();
    QPainter& painter = *FPainter;
    if (FPen.GetWidth() > 1) {
        painter.drawPolyline(points, count);
        return;
    }
    // One polyline keeps the dash pattern running; the joints where the
    // painter's choice of end differs from "every segment keeps its start"
    // are set afterwards, and the last segment is drawn without its end.
    if (count > 2)
        painter.drawPolyline(points, count - 1);
    for (int i = 0; i + 2 < count; ++i) {
        const bool startLost = Decreasing(points[i], points[i + 1]);
        const bool keptByPrevious = i > 0 && Decreasing(points[i - 1], points[i]);
        if (startLost && !keptByPrevious && points[i] != points[i + 1])
            painter.drawPoint(points[i]);
    }
    DrawLineWithoutEnd(points[count - 2], points[count - 1]);
}

void TnvCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    const int w = x2 - x1;
    const int h = y2 - y1;
    if (w <= 0 || h <= 0)
        return;
    PrepareShape();
    QPainter& painter = *FPainter;
    if (FBrush.GetStyle() != TnvBrushStyle::Clear)
        painter.fillRect(QRect(x1, y1, w, h), painter.brush());
    if (!PenDraws())
        return;
    if (w == 1 || h == 1) {
        // A one-pixel band: the outline covers it entirely.
        painter.drawLine(QPoint(x1, y1), QPoint(x1 + (w == 1 ? 0 : w), y1 + (h == 1 ? 0 : h)));
        if (w == 1 && h == 1)
            painter.drawPoint(x1, y1);
        return;
    }
    const QBrush brush = painter.brush();
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(x1, y1, w - 1, h - 1));
    painter.setBrush(brush);
}

void TnvCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH) {
    if (x2 - x1 < 2 || y2 - y1 < 2)
        return;
    PrepareShape();
    FPainter->drawRoundedRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), cornerW / 2.0,
                              cornerH / 2.0);
}

void TnvCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (x2 - x1 < 2 || y2 - y1 < 2)
        return;
    PrepareShape();
    FPainter->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void TnvCanvas::Polygon(const QPoint* points, int count) {
    if (count < 2)
        return;
    PrepareShape();
    QPainter& painter = *FPainter;
    if (FBrush.GetStyle() != TnvBrushStyle::Clear) {
        const QPen pen = painter.pen();
        painter.setPen(Qt::NoPen);
        painter.drawPolygon(points, count);
        painter.setPen(pen);
    }
    if (!PenDraws())
        return;
    // Edge by edge, so every corner is painted as the start of its edge.
    for (int i = 0; i < count; ++i) {
        const QPoint from = points[i];
        const QPoint to = points[(i + 1) % count];
        if (from != to)
            DrawLineWithoutEnd(from, to);
    }
}

void TnvCanvas::SetPixel(int x, int y, TnvColor color) {
    QPainter& painter = Painter();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setPen(QPen(nv::ToQColor(color), 1, Qt::SolidLine, Qt::SquareCap));
    painter.drawPoint(x, y);
    FShapeDirty = true;
}

void TnvCanvas::TextOut(int x, int y, const QString& text) {
    if (text.isEmpty())
        return;
    PrepareText();
    QPainter& painter = *FPainter;
    const QFontMetrics& metrics = FFont.Metrics();
    if (FBrush.GetStyle() != TnvBrushStyle::Clear)
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                         nv::ToQColor(FBrush.GetColor()));
    painter.drawText(x, y + metrics.ascent(), text);
}

void TnvCanvas::TextOutTurned(int x, int y, const QString& text) {
    if (text.isEmpty())
        return;
    PrepareText();
    QPainter& painter = *FPainter;
    const QFontMetrics& metrics = FFont.Metrics();
    painter.save();
    painter.translate(x, y);
    painter.rotate(-90);
    if (FBrush.GetStyle() != TnvBrushStyle::Clear)
        painter.fillRect(QRect(0, 0, metrics.horizontalAdvance(text), metrics.height()),
                         nv::ToQColor(FBrush.GetColor()));
    painter.drawText(0, metrics.ascent(), text);
    painter.restore();
}

int TnvCanvas::TextWidth(const QString& text) const {
    return FFont.Metrics().horizontalAdvance(text);
}

int TnvCanvas::TextHeight(const QString&) const {
    return FFont.Metrics().height();
}

void TnvCanvas::SetClipRect(const TnvRect& rect) {
    FClip = rect;
    if (FPainter)
        FPainter->setClipRect(
            QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top));
}

void TnvCanvas::ClearClip() {
    FClip.reset();
    if (FPainter)
        FPainter->setClipping(false);
}
