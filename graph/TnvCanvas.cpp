#include "TnvCanvas.h"

#include <QPen>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

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

// On and off runs in pixels of a one-pixel pen's style; empty for solid.
QList<qreal> DashPattern(TnvPenStyle style) {
    switch (style) {
    case TnvPenStyle::Dash:
        return {18, 6};
    case TnvPenStyle::Dot:
        return {3, 3};
    case TnvPenStyle::DashDot:
        return {9, 6, 3, 6};
    case TnvPenStyle::DashDotDot:
        return {9, 3, 3, 3, 3, 3};
    default:
        return {};
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
    const QList<qreal> pattern = DashPattern(pen.GetStyle());
    if (!pattern.isEmpty())
        result.setDashPattern(pattern);
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

QRect TnvCanvas::Visible() const {
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = FImage.width(); // exclusive, like the clip's
    int64_t bottom = FImage.height();
    if (FClip) {
        left = std::max<int64_t>(left, FClip->Left);
        top = std::max<int64_t>(top, FClip->Top);
        right = std::min<int64_t>(right, FClip->Right);
        bottom = std::min<int64_t>(bottom, FClip->Bottom);
    }
    if (right <= left || bottom <= top)
        return {};
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

bool TnvCanvas::DrawStraightLine(QPoint from, QPoint to) {
    // Grid lines, ticks and frames: the painter sets dashed one-pixel lines
    // pixel by pixel through its general path, which is most of a repaint's
    // time on a large chart. Written here, with the same pixels, when nothing
    // but a plain copy is asked for.
    const TnvPenMode mode = FPen.GetMode();
    if (FPen.GetWidth() > 1 || (from.x() != to.x() && from.y() != to.y()) ||
        (mode != TnvPenMode::Copy && mode != TnvPenMode::Black && mode != TnvPenMode::White) ||
        FImage.format() != QImage::Format_RGB32 || !FImage.isDetached())
        return false;

    const QRect clip = Visible();
    const bool horizontal = from.y() == to.y();
    const int fixed = horizontal ? from.y() : from.x();
    if (clip.isEmpty() || fixed < (horizontal ? clip.top() : clip.left()) ||
        fixed > (horizontal ? clip.bottom() : clip.right()))
        return true;
    // The line may span billions of pixels and ends that far apart overflow
    // an int; only the visible stretch is walked, from the pattern phase the
    // line has there.
    const int64_t start = horizontal ? from.x() : from.y();
    const int64_t end = horizontal ? to.x() : to.y();
    const int64_t step = end > start ? 1 : -1;
    const int64_t length = (end - start) * step; // the end point is left out
    const int64_t low = horizontal ? clip.left() : clip.top();
    const int64_t high = horizontal ? clip.right() : clip.bottom();
    const int64_t first = std::max<int64_t>(0, step > 0 ? low - start : start - high);
    const int64_t last = std::min<int64_t>(length - 1, step > 0 ? high - start : start - low);
    if (first > last)
        return true;

    const QRgb color = QtPen(FPen).color().rgb();
    uchar* const bits = FImage.bits();
    const qsizetype stride = FImage.bytesPerLine();
    auto pixel = [&](int64_t along) -> QRgb& {
        const int64_t x = horizontal ? along : fixed;
        const int64_t y = horizontal ? fixed : along;
        return reinterpret_cast<QRgb*>(bits + y * stride)[x];
    };
    const QList<qreal> pattern = DashPattern(FPen.GetStyle());
    if (pattern.isEmpty()) {
        for (int64_t i = first; i <= last; ++i)
            pixel(start + i * step) = color;
        return true;
    }
    int64_t period = 0;
    for (qreal runLength : pattern)
        period += static_cast<int64_t>(runLength);
    qsizetype run = 0;
    int64_t into = first % period; // pixels of the pattern before the first visible one
    while (into >= static_cast<int64_t>(pattern[run])) {
        into -= static_cast<int64_t>(pattern[run]);
        ++run;
    }
    int64_t left = static_cast<int64_t>(pattern[run]) - into;
    for (int64_t i = first; i <= last; ++i) {
        if (left == 0) {
            run = (run + 1) % pattern.size();
            left = static_cast<int64_t>(pattern[run]);
        }
        --left;
        if (run % 2 == 0)
            pixel(start + i * step) = color;
    }
    return true;
}

void TnvCanvas::DrawLineWithoutEnd(QPoint from, QPoint to) {
    if (DrawStraightLine(from, to))
        return;
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

bool TnvCanvas::Dense(const QPoint* points, int count) {
    std::int64_t left = points[0].x();
    std::int64_t right = left;
    for (int i = 1; i < count; ++i) {
        left = std::min<std::int64_t>(left, points[i].x());
        right = std::max<std::int64_t>(right, points[i].x());
    }
    return count > right - left + 1;
}

bool TnvCanvas::ClipSegment(QPointF& a, QPointF& b, const QRectF& box) {
    // Liang and Barsky: the part of a to b inside box, or false for none.
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double enter = 0.0;
    double leave = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                         box.bottom() - a.y()};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        if (enter > leave)
            return false;
    }
    b = QPointF(a.x() + leave * dx, a.y() + leave * dy);
    a = QPointF(a.x() + enter * dx, a.y() + enter * dy);
    return true;
}

bool TnvCanvas::DrawDensePolyline(const QPoint* points, int count) {
    // More points than pixel columns: a scope trace of thousands of samples
    // zigzags within each column. The painter strokes such a line at tens of
    // milliseconds; written here, pixel by pixel, it costs what its pixels
    // cost. A wide pen sets a square of its width at every pixel; a dash
    // pattern runs on along the whole line, as the painter's does.
    const TnvPenMode mode = FPen.GetMode();
    if (FPen.GetStyle() == TnvPenStyle::InsideFrame ||
        (mode != TnvPenMode::Copy && mode != TnvPenMode::Black && mode != TnvPenMode::White) ||
        FImage.format() != QImage::Format_RGB32 || !FImage.isDetached() || !Dense(points, count))
        return false;
    QRect clip = FImage.rect();
    if (FClip)
        clip &=
            QRect(FClip->Left, FClip->Top, FClip->Right - FClip->Left, FClip->Bottom - FClip->Top);
    if (clip.isEmpty())
        return true;
    const QRgb color = QtPen(FPen).color().rgb();
    const int width = std::max(FPen.GetWidth(), 1);
    uchar* const bits = FImage.bits();
    const qsizetype stride = FImage.bytesPerLine();
    const QList<qreal> pattern = DashPattern(FPen.GetStyle());
    qsizetype run = 0;
    int left = pattern.isEmpty() ? -1 : static_cast<int>(pattern[0]);
    const auto plot = [&](int x, int y) {
        if (!pattern.isEmpty()) {
            if (left == 0) {
                run = (run + 1) % pattern.size();
                left = static_cast<int>(pattern[run]);
            }
            --left;
            if (run % 2 != 0)
                return;
        }
        const int right = std::min(x + width - 1, clip.right());
        const int bottom = std::min(y + width - 1, clip.bottom());
        for (int py = std::max(y, clip.top()); py <= bottom; ++py) {
            QRgb* row = reinterpret_cast<QRgb*>(bits + py * stride);
            for (int px = std::max(x, clip.left()); px <= right; ++px)
                row[px] = color;
        }
    };
    // Bresenham from each point to the next, each segment first cut to the
    // clip, so that the walk is bounded by the screen, not by a wild sample.
    const QRectF box(clip.left() - width + 1, clip.top() - width + 1, clip.width() + width - 1,
                     clip.height() + width - 1);
    for (int i = 0; i + 1 < count; ++i) {
        QPointF a = points[i];
        QPointF b = points[i + 1];
        if (!ClipSegment(a, b, box))
            continue;
        QPoint from(static_cast<int>(std::lround(a.x())), static_cast<int>(std::lround(a.y())));
        const QPoint to(static_cast<int>(std::lround(b.x())), static_cast<int>(std::lround(b.y())));
        const int dx = std::abs(to.x() - from.x());
        const int dy = -std::abs(to.y() - from.y());
        const int sx = from.x() < to.x() ? 1 : -1;
        const int sy = from.y() < to.y() ? 1 : -1;
        int error = dx + dy;
        while (from != to) { // the end is the next segment's first pixel
            plot(from.x(), from.y());
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                from.rx() += sx;
            }
            if (twice <= dx) {
                error += dx;
                from.ry() += sy;
            }
        }
    }
    const QPoint end = points[count - 1];
    if (box.contains(end))
        plot(end.x(), end.y());
    return true;
}

void TnvCanvas::Polyline(const QPoint* points, int count) {
    if (count <= 0)
        return;
    FPos = points[count - 1];
    if (!PenDraws() || count < 2 || DrawDensePolyline(points, count))
        return;
    PrepareShape();
    QPainter& painter = *FPainter;
    if (FPen.GetWidth() > 1) {
        // The painter fills a wide polyline as one outline, whose cost grows
        // much faster than its length when the line zigzags (a scope trace).
        // Short pieces that share their end points draw the same pixels: the
        // round cap where two pieces meet is the round join.
        constexpr int kPiece = 32;
        for (int first = 0; first + 1 < count; first += kPiece - 1)
            painter.drawPolyline(points + first, std::min(kPiece, count - first));
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

bool TnvCanvas::CutToImage(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int margin) const {
    x1 = std::max<int64_t>(x1, -margin);
    y1 = std::max<int64_t>(y1, -margin);
    x2 = std::min<int64_t>(x2, int64_t{FImage.width()} + margin);
    y2 = std::min<int64_t>(y2, int64_t{FImage.height()} + margin);
    return x1 < x2 && y1 < y2;
}

void TnvCanvas::Rectangle(int left, int top, int right, int bottom) {
    int64_t x1 = std::min(left, right);
    int64_t x2 = std::max(left, right);
    int64_t y1 = std::min(top, bottom);
    int64_t y2 = std::max(top, bottom);
    if (x2 - x1 <= 0 || y2 - y1 <= 0)
        return;
    // A bar or box reaching far beyond the image is cut just outside it, so
    // that its sides there stay out of sight and its size fits an int.
    const bool band = x2 - x1 == 1 || y2 - y1 == 1;
    if (!CutToImage(x1, y1, x2, y2, FPen.GetWidth() + 2))
        return;
    const int w = static_cast<int>(x2 - x1);
    const int h = static_cast<int>(y2 - y1);
    const int l = static_cast<int>(x1);
    const int t = static_cast<int>(y1);
    PrepareShape();
    QPainter& painter = *FPainter;
    if (FBrush.GetStyle() != TnvBrushStyle::Clear)
        painter.fillRect(QRect(l, t, w, h), painter.brush());
    if (!PenDraws())
        return;
    if (band) {
        // A one-pixel band: the outline covers it entirely.
        painter.drawLine(QPoint(l, t), QPoint(l + (w == 1 ? 0 : w), t + (h == 1 ? 0 : h)));
        if (w == 1 && h == 1)
            painter.drawPoint(l, t);
        return;
    }
    const QBrush brush = painter.brush();
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(l, t, w - 1, h - 1));
    painter.setBrush(brush);
}

void TnvCanvas::FillRect(int left, int top, int right, int bottom) {
    int64_t x1 = left;
    int64_t y1 = top;
    int64_t x2 = right;
    int64_t y2 = bottom;
    if (x2 <= x1 || y2 <= y1 || FBrush.GetStyle() == TnvBrushStyle::Clear ||
        !CutToImage(x1, y1, x2, y2, 0))
        return;
    QPainter& painter = Painter();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2 - x1),
                           static_cast<int>(y2 - y1)),
                     QtBrush(FBrush));
    FShapeDirty = true;
}

void TnvCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH) {
    if (int64_t{x2} - x1 < 2 || int64_t{y2} - y1 < 2 || !Reaches(x1, y1, x2, y2))
        return;
    PrepareShape();
    FPainter->drawRoundedRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), cornerW / 2.0,
                              cornerH / 2.0);
}

void TnvCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (int64_t{x2} - x1 < 2 || int64_t{y2} - y1 < 2 || !Reaches(x1, y1, x2, y2))
        return;
    PrepareShape();
    FPainter->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

bool TnvCanvas::Reaches(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
    // Shapes that cutting would deform are drawn whole or not at all; one
    // that could still reach the image is small enough for the painter.
    const int64_t margin = FPen.GetWidth() + 2;
    return x2 + margin > 0 && y2 + margin > 0 && x1 - margin < FImage.width() &&
           y1 - margin < FImage.height() && x2 - x1 < kMaxShape && y2 - y1 < kMaxShape;
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
    if (text.isEmpty() ||
        !Reaches(x, y, x + int64_t{FFont.TextWidth(text)}, y + int64_t{FFont.Metrics().height()}))
        return;
    PrepareText();
    QPainter& painter = *FPainter;
    if (FBrush.GetStyle() != TnvBrushStyle::Clear)
        painter.fillRect(QRect(x, y, FFont.TextWidth(text), FFont.Metrics().height()),
                         nv::ToQColor(FBrush.GetColor()));
    painter.drawStaticText(x, y, FFont.StaticText(text));
}

void TnvCanvas::TextOutTurned(int x, int y, const QString& text) {
    if (text.isEmpty() ||
        !Reaches(x, y - int64_t{FFont.TextWidth(text)}, x + int64_t{FFont.Metrics().height()}, y))
        return;
    PrepareText();
    QPainter& painter = *FPainter;
    painter.save();
    painter.translate(x, y);
    painter.rotate(-90);
    if (FBrush.GetStyle() != TnvBrushStyle::Clear)
        painter.fillRect(QRect(0, 0, FFont.TextWidth(text), FFont.Metrics().height()),
                         nv::ToQColor(FBrush.GetColor()));
    painter.drawText(0, FFont.Metrics().ascent(), text);
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
    if (!FPainter)
        return;
    // Cut to the image first: the clip of a vast diagram is wider than an
    // int. A pixel outside the image stands for a clip that leaves nothing.
    const QRect visible = Visible();
    FPainter->setClipRect(visible.isEmpty() ? QRect(-1, -1, 1, 1) : visible);
}

void TnvCanvas::ClearClip() {
    FClip.reset();
    if (FPainter)
        FPainter->setClipping(false);
}
