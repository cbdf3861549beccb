#pragma once

#include <QDialog>

// The motor plate data dialog with the PWM frequency and the drive's size.
// A single instance, created at start-up in its place and kept for the run.
class TFormPlateData : public QDialog {
    Q_OBJECT
public:
    explicit TFormPlateData(QWidget* parent);

    // The values this window starts with, each through its reaction so that
    // it is validated against what is known at start-up.
    void SetDefaultValues();
};
