#include "TProgForm.h"

TProgForm::TProgForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("ProgForm"));
    setWindowTitle(QStringLiteral("Import/Export configuration"));
    setAccessibleName(windowTitle());
}

bool TProgForm::Execute(TnvMBThread*, int, int) {
    // The caller paused its exchanges for the job; hand the link back.
    if (OnFail)
        OnFail(this, QStringLiteral("Configuration files are not available in this version."));
    return false;
}
