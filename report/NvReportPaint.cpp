#include "NvReportPaint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

namespace nv {

namespace {

constexpr int kTabWidth = 8;
constexpr qreal kPointSize = 9.5;
constexpr int kWrapIndent = 4;

QString ExpandTabs(const QString& line) {
    QString expanded;
    for (const QChar c : line) {
        if (c == QLatin1Char('\t'))
            expanded += QString(kTabWidth - expanded.size() % kTabWidth, QLatin1Char(' '));
        else
            expanded += c;
    }
    return expanded;
}

// The rows a line takes on a page columns wide: broken after the last blank
// that fits, or within a word that does not fit at all; the rows after the
// first indented.
QStringList Wrap(const QString& line, int columns) {
    QString rest = ExpandTabs(line);
    QStringList rows;
    QString indent;
    int width = std::max(columns, kWrapIndent + 1);
    while (rest.size() > width) {
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), width - 1) + 1;
        if (cut <= 1)
            cut = width;
        rows << indent + rest.left(cut);
        rest = rest.mid(cut);
        if (indent.isEmpty()) {
            indent = QString(kWrapIndent, QLatin1Char(' '));
            width -= kWrapIndent;
        }
    }
    rows << indent + rest;
    return rows;
}

} // namespace

bool PaintReport(QPagedPaintDevice& device, const QStringList& lines) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    QFont font(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(kPointSize);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &device);
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX()).toRectF();
    const QRectF area(0, 0, page.width(), page.height());
    const int columns =
        std::max(1, static_cast<int>(area.width() / metrics.horizontalAdvance('M')));
    const qreal step = metrics.lineSpacing();
    qreal y = 0;
    for (const QString& line : lines) {
        for (const QString& row : Wrap(line, columns)) {
            if (y + step > area.height() && y > 0) {
                device.newPage();
                y = 0;
            }
            painter.drawText(QPointF(area.left(), y + metrics.ascent()), row);
            y += step;
        }
    }
    return painter.end();
}

} // namespace nv
