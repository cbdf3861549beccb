#pragma once

#include <QDialog>

// The acceleration and deceleration dialog.
// A single instance, created at start-up in its place and kept for the run.
class TFormAccel : public QDialog {
    Q_OBJECT
public:
    explicit TFormAccel(QWidget* parent);

    // The values this window starts with, each through its reaction so that
    // it is validated against what is known at start-up.
    void SetDefaultValues();
};
