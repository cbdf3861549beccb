#include "TLampBox.h"

#include <QPainter>

TLampBox::TLampBox(const QString& name, const QString& caption, QColor color, QWidget* parent)
    : QCheckBox(caption, parent)
    , FColor(color) {
    setObjectName(name);
    setAccessibleName(caption.isEmpty() ? name : caption);
    setFocusPolicy(Qt::NoFocus);
}

void TLampBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int d = fontMetrics().height() - 2;
    const QRectF lamp(1, (height() - d) / 2.0, d, d);
    const QColor off = palette().color(QPalette::Window).darker(125);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    // A lit lamp of a closed link is greyed with its group, not left looking live.
    painter.setBrush(!isChecked() ? off : isEnabled() ? FColor : FColor.lighter(170));
    painter.drawEllipse(lamp);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect textRect(d + 6, 0, width() - d - 6, height());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text());
}

QSize TLampBox::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    return {fm.height() + 6 + fm.horizontalAdvance(text()) + 4, fm.height() + 4};
}
