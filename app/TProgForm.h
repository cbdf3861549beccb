#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QFileDialog;
class QLabel;
class QPrintDialog;
class QPrinter;
class QProgressBar;
class TCompareForm;
class TnvConfigJob;
class TnvMBThread;
class TnvParValueSet;

// The configuration window: exports, imports, prints or compares the drive's
// whole configuration (the parameters of the category "ExportFile") through
// the running link, showing only its progress, then hands the link back.
// The job itself is a TnvConfigJob, which the command line shares.
// GUI thread only.
class TProgForm : public QDialog {
    Q_OBJECT
public:
    enum : std::uint8_t { kImport = 1, kExport = 2, kPrint = 3, kCompare = 4 };

    // Loads its own definitions and values from VF_Parameters_v207.ini of
    // the working directory.
    explicit TProgForm(QWidget* parent);
    ~TProgForm() override;

    // Starts job mode (1 import, 2 export, 3 print, 4 compare) on thread for
    // the slave, after asking for the file or the printer. False without a
    // thread, for another mode, when the definitions did not load or the
    // dialog was cancelled. Every started job, and every cancelled dialog,
    // ends with exactly one of OnDone or OnFail.
    bool Execute(TnvMBThread* thread, int slave, int mode);

    // The values of the last job (a file's on import and compare, the
    // drive's on export and print).
    TnvParValueSet& ValueSet() const;
    QString ErrorText() const { return FErrorText; }
    int Mode() const { return FMode; }

    std::function<void(TProgForm* sender, const QString& message)> OnFail;
    std::function<void(TProgForm* sender, int mode)> OnDone;

    QProgressBar* pbBar;
    QLabel* lbPhase;
    QFileDialog* OpenDialog;
    QFileDialog* SaveDialog;
    QPrinter* Printer;
    QPrintDialog* PrintDialog = nullptr; // the last print's dialog
    TCompareForm* CompareForm;

public slots:
    // While a job runs the window stays: the job ends by itself.
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool AskForFile(QFileDialog* dialog, QString& fileName);
    bool AskForPrinter();
    bool LoadFile(const QString& fileName);
    void ShowJob(const QString& caption);
    void Fail(const QString& message);
    void JobDone(int mode);
    bool PrintReport();
    bool AskDriveSize();
    void Close();

    std::unique_ptr<TnvConfigJob> FJob;
    QString FLoadError;
    QString FCompareFile;
    QString FErrorText;
    int FMode = 0;
    int FSlave = 0;
    TnvMBThread* FThread = nullptr;
};
