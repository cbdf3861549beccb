#pragma once

#include <QDialog>

// The about box with the drive's identification.
// A single instance, created at start-up in its place and kept for the run.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent);
};
