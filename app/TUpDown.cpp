#include "TUpDown.h"

#include "NvGuard.h"

#include <QToolButton>
#include <algorithm>

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent)
    , FUp(new QToolButton(this))
    , FDown(new QToolButton(this)) {
    FUp->setArrowType(Qt::UpArrow);
    FDown->setArrowType(Qt::DownArrow);
    FUp->setAccessibleName(QStringLiteral("Up"));
    FDown->setAccessibleName(QStringLiteral("Down"));
    for (QToolButton* button : {FUp, FDown}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    connect(FUp, &QToolButton::clicked, this, [this] { nv::Guarded([this] { Step(+1); }); });
    connect(FDown, &QToolButton::clicked, this, [this] { nv::Guarded([this] { Step(-1); }); });
}

void TUpDown::Step(int direction) {
    const int newValue = std::clamp(FPosition + direction * Increment, Min, Max);
    bool allowChange = true;
    if (OnChangingEx)
        OnChangingEx(this, allowChange, newValue, direction);
    if (allowChange)
        FPosition = newValue;
}

void TUpDown::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    FUp->setGeometry(0, 0, width(), half);
    FDown->setGeometry(0, half, width(), height() - half);
}
