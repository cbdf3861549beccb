#include "TProgForm.h"

#include "NvConfigFile.h"
#include "NvDateTime.h"
#include "NvReportPaint.h"
#include "TCompareForm.h"
#include "TMainForm.h"
#include "TTerminal.h"
#include "TnvConfigJob.h"
#include "TnvError.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

const QStringList kFilters{QStringLiteral("KX720 Cfg Files (*.720)"),
                           QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")};
const QString kDefinitionsFile = QStringLiteral("VF_Parameters_v207.ini");
const QString kJobTitle = QStringLiteral("KX720_VevIde");

QFileDialog* NewFileDialog(QWidget* parent, const char* name, const char* title, bool save) {
    auto* dialog = new QFileDialog(parent, QString::fromLatin1(title));
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setAccessibleName(dialog->windowTitle());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilters(kFilters);
    dialog->setDefaultSuffix(QStringLiteral("720"));
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return dialog;
}

QString PhaseText(TnvConfigJob::TPhase phase) {
    switch (phase) {
    case TnvConfigJob::phBackup:
        return QStringLiteral("Saving a backup of the drive configuration...");
    case TnvConfigJob::phWriting:
        return QStringLiteral("Writing the file to the drive and reading it back...");
    default:
        return QStringLiteral("Reading the drive configuration...");
    }
}

} // namespace

TProgForm::TProgForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , FJob(std::make_unique<TnvConfigJob>()) {
    setObjectName(QStringLiteral("ProgForm"));
    setWindowTitle(QStringLiteral("Import/Export configuration"));
    setAccessibleName(windowTitle());
    // The link is the job's until it ends: no closing it meanwhile.
    setWindowModality(Qt::ApplicationModal);
    pbBar = new QProgressBar(this);
    pbBar->setObjectName(QStringLiteral("pbBar"));
    pbBar->setAccessibleName(QStringLiteral("Progress"));
    pbBar->setFixedSize(250, 30);
    lbPhase = new QLabel(this);
    lbPhase->setObjectName(QStringLiteral("lbPhase"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(pbBar);
    layout->addWidget(lbPhase);

    OpenDialog = NewFileDialog(this, "OpenDialog", "Import configuration from file", false);
    SaveDialog = NewFileDialog(this, "SaveDialog", "Export configuration to file", true);
    Printer = new QPrinter(QPrinter::HighResolution);
    Printer->setDocName(kJobTitle);
    Printer->setCreator(kJobTitle);
    CompareForm = new TCompareForm(parent);

    FLoadError = FJob->Load(QDir::currentPath(), kDefinitionsFile);
    pbBar->setMaximum(FJob->ValueCount());
    pbBar->setValue(0);
    FJob->OnLog = [](TnvConfigJob*, const QString& line) {
        if (MainForm)
            MainForm->Log(line);
    };
    FJob->OnProgress = [this](TnvConfigJob*, TnvConfigJob::TPhase phase, int done, int total) {
        pbBar->setMaximum(std::max(total, 1));
        pbBar->setValue(done);
        lbPhase->setText(PhaseText(phase));
    };
    FJob->OnSizeDiffers = [this](TnvConfigJob*, std::uint16_t, std::uint16_t) {
        return AskDriveSize();
    };
    FJob->OnDone = [this](TnvConfigJob*, TnvConfigJob::TMode mode) {
        JobDone(mode);
    };
    FJob->OnFail = [this](TnvConfigJob*, const QString& message) {
        Fail(message);
    };
}

TProgForm::~TProgForm() {
    delete Printer;
}

TnvParValueSet& TProgForm::ValueSet() const {
    return FJob->Values();
}

bool TProgForm::Execute(TnvMBThread* thread, int slave, int mode) {
    FErrorText.clear();
    FMode = 0;
    FThread = thread;
    FSlave = slave;
    if (!thread || mode < kImport || mode > kCompare)
        return false;
    FMode = mode;
    if (!FLoadError.isEmpty()) {
        Fail(FLoadError);
        return false;
    }
    QString file;
    switch (mode) {
    case kImport:
        OpenDialog->setWindowTitle(QStringLiteral("Import configuration from file"));
        if (!AskForFile(OpenDialog, file)) {
            Fail(QStringLiteral("Import from file cancelled."));
            return false;
        }
        if (LoadFile(file)) {
            ShowJob(QStringLiteral("Import KX720 configuration from file"));
            FJob->StartImport(thread, slave);
        }
        return true;
    case kExport:
        if (!AskForFile(SaveDialog, file)) {
            Fail(QStringLiteral("Export to file cancelled."));
            return false;
        }
        ShowJob(QStringLiteral("Export KX720 configuration to file"));
        FJob->StartExport(thread, slave, file);
        return true;
    case kPrint:
        if (!AskForPrinter()) {
            Fail(QStringLiteral("Print cancelled."));
            return false;
        }
        ShowJob(QStringLiteral("Print KX720 configuration"));
        FJob->StartRead(thread, slave, TnvConfigJob::jmPrint);
        return true;
    default:
        OpenDialog->setWindowTitle(QStringLiteral("Compare configuration with file"));
        if (!AskForFile(OpenDialog, file)) {
            Fail(QStringLiteral("Compare with file cancelled."));
            return false;
        }
        if (LoadFile(file)) {
            FCompareFile = file;
            ShowJob(QStringLiteral("Compare KX720 configuration with file"));
            FJob->StartRead(thread, slave, TnvConfigJob::jmCompare);
        }
        return true;
    }
}

bool TProgForm::AskForFile(QFileDialog* dialog, QString& fileName) {
    dialog->setAccessibleName(dialog->windowTitle());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return false;
    fileName = dialog->selectedFiles().constFirst();
    // The next file is most likely wanted beside this one.
    const QString folder = QFileInfo(fileName).absolutePath();
    OpenDialog->setDirectory(folder);
    SaveDialog->setDirectory(folder);
    return !fileName.isEmpty();
}

bool TProgForm::AskForPrinter() {
    // A new dialog each time, so that it starts from the printer's settings
    // as the last print left them.
    delete PrintDialog;
    PrintDialog = new QPrintDialog(Printer, this);
    PrintDialog->setObjectName(QStringLiteral("PrintDialog"));
    PrintDialog->setAccessibleName(PrintDialog->windowTitle());
    PrintDialog->setOption(QAbstractPrintDialog::PrintToFile, true);
    return PrintDialog->exec() == QDialog::Accepted;
}

bool TProgForm::LoadFile(const QString& fileName) {
    try {
        FJob->LoadFile(fileName);
        return true;
    } catch (const TnvError& e) {
        // Nothing has been sent: the file is refused whole.
        if (MainForm)
            MainForm->Log(e.Message());
        Fail(QStringLiteral("Error: load from file failed!"));
        return false;
    }
}

void TProgForm::ShowJob(const QString& caption) {
    setWindowTitle(caption);
    setAccessibleName(caption);
    pbBar->setValue(0);
    adjustSize();
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    show();
}

bool TProgForm::AskDriveSize() {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("WARNING!"),
                    QStringLiteral("Source drive size different from Destination drive size!\n\r "
                                   "Terminate importing data?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("SizeQuestion"));
    box.setAccessibleName(box.windowTitle());
    return box.exec() == QMessageBox::Yes;
}

void TProgForm::JobDone(int mode) {
    if (mode == kPrint && !PrintReport()) {
        Fail(QStringLiteral("Error: print failed!"));
        return;
    }
    if (mode == kCompare)
        CompareForm->ShowDifferences(FCompareFile, FJob->Differences());
    Close();
    if (OnDone)
        OnDone(this, FMode);
}

bool TProgForm::PrintReport() {
    Printer->setDocName(kJobTitle);
    return nv::PaintReport(*Printer, nv::ConfigReportLines(FJob->Values(), FSlave, nv::Now()));
}

void TProgForm::Fail(const QString& message) {
    if (message.isEmpty())
        return;
    FErrorText = message;
    Close();
    if (OnFail)
        OnFail(this, FErrorText);
}

void TProgForm::Close() {
    FJob->Stop();
    hide();
}

void TProgForm::accept() {
    if (!FJob->IsRunning())
        QDialog::accept();
}

void TProgForm::reject() {
    if (!FJob->IsRunning())
        QDialog::reject();
}

void TProgForm::closeEvent(QCloseEvent* event) {
    if (FJob->IsRunning())
        event->ignore();
    else
        QDialog::closeEvent(event);
}
