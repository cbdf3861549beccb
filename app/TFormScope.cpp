#include "TFormScope.h"

TFormScope::TFormScope(QWidget* parent)
    : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormScope"));
    setWindowTitle(QStringLiteral("Oscilloscope"));
    setAccessibleName(windowTitle());
}
