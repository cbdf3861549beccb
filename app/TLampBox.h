#pragma once

#include <QCheckBox>
#include <QColor>

// An indicator drawn as a lamp with its caption: the program sets it, the
// operator cannot toggle it (neither by mouse, keyboard nor an accessibility
// action). It stays a check box to assistive technology, so screen readers
// and automation read its checked state.
class TLampBox : public QCheckBox {
    Q_OBJECT
public:
    // name is the object and accessible name unless a caption is given later.
    TLampBox(const QString& name, const QString& caption, QColor color, QWidget* parent);

    QColor GetColor() const { return FColor; }

protected:
    void nextCheckState() override {}
    bool hitButton(const QPoint&) const override { return false; }
    void paintEvent(QPaintEvent* event) override;
    QSize sizeHint() const override;

private:
    QColor FColor;
};
