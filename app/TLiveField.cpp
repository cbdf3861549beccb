#include "TLiveField.h"

#include <QAccessible>

TLiveField::TLiveField(const QString& name, const QString& caption, const QString& text,
                       const QString& hint, QWidget* parent)
    : QLineEdit(text, parent) {
    setObjectName(name);
    setAccessibleName(caption);
    setToolTip(hint);
    setReadOnly(true);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setMinimumWidth(80);
    // Opaque, so that a repaint stops here: the group's frame beneath costs
    // more to draw than the field. The corners outside the rounded frame take
    // the window's colour, as the group around them has.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
}

void TLiveField::SetText(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    // An edit field reports its text as edited; a reading is a new value.
    QAccessibleValueChangeEvent event(this, text);
    QAccessible::updateAccessibility(&event);
}
