#pragma once

#include <QWidget>

// The scope window: the drive's live quantities as rolling waveforms.
// A single instance, created at start-up in its place and kept for the run.
class TFormScope : public QWidget {
    Q_OBJECT
public:
    explicit TFormScope(QWidget* parent);
};
