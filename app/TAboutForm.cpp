#include "TAboutForm.h"

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setAccessibleName(windowTitle());
}
