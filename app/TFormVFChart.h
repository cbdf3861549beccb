#pragma once

#include <QDialog>

// The V/F characteristic dialog: the volts-per-hertz curve in a grid and a chart.
// A single instance, created at start-up in its place and kept for the run.
class TFormVFChart : public QDialog {
    Q_OBJECT
public:
    explicit TFormVFChart(QWidget* parent);

    // The values this window starts with, each through its reaction so that
    // it is validated against what is known at start-up.
    void SetDefaultValues();
};
