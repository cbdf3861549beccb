#pragma once

#include <QToolButton>

// A flat push button that carries a Tag, as the grid buttons ("Send",
// "Save") and the main window's dialog buttons need.
class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    TSpeedButton(const QString& caption, QWidget* parent)
        : QToolButton(parent) {
        setText(caption);
    }

    int Tag = 0;
};
