#pragma once

#include <QDialog>

// The Modbus slave address dialog.
// A single instance, created at start-up in its place and kept for the run.
class TFormModBus : public QDialog {
    Q_OBJECT
public:
    explicit TFormModBus(QWidget* parent);
};
