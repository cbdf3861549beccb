#pragma once

#include <QWidget>
#include <functional>

class QToolButton;

// The small up/down control laid over a grid cell: two arrow buttons that
// ask their changing handler before stepping. Its position only moves when
// the handler allows it; the grid bindings always refuse, so it stays at 0.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent);

    int Tag = 0;
    int GetPosition() const { return FPosition; }
    int Min = -1;
    int Max = 1;
    int Increment = 1;

    // Clicks as the operator would (tests, automation): direction +1 or -1.
    void Step(int direction);

    // GUI thread: asked before every step; direction +1 up, -1 down.
    std::function<void(TUpDown* sender, bool& allowChange, int newValue, int direction)>
        OnChangingEx;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* FUp;
    QToolButton* FDown;
    int FPosition = 0;
};
