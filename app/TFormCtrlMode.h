#pragma once

#include <QDialog>

// The control mode dialog: the seven flags of the control mode word.
// A single instance, created at start-up in its place and kept for the run.
class TFormCtrlMode : public QDialog {
    Q_OBJECT
public:
    explicit TFormCtrlMode(QWidget* parent);
};
