#pragma once

#include <QDialog>
#include <functional>

class TnvMBThread;

// The configuration window: exports, imports and prints the drive's whole
// configuration through the running link, then hands the link back.
class TProgForm : public QDialog {
    Q_OBJECT
public:
    explicit TProgForm(QWidget* parent);

    // Starts job mode (1 import, 2 export, 3 print) on thread for the slave.
    // Ends with exactly one of OnDone or OnFail. GUI thread.
    bool Execute(TnvMBThread* thread, int slave, int mode);

    std::function<void(TProgForm* sender, const QString& message)> OnFail;
    std::function<void(TProgForm* sender, int mode)> OnDone;
};
