#include "TFormCtrlMode.h"

TFormCtrlMode::TFormCtrlMode(QWidget* parent)
    : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormCtrlMode"));
    setWindowTitle(QStringLiteral("Control mode setup"));
    setAccessibleName(windowTitle());
}
