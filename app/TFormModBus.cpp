#include "TFormModBus.h"

TFormModBus::TFormModBus(QWidget* parent)
    : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormModBus"));
    setWindowTitle(QStringLiteral("Modbus setup"));
    setAccessibleName(windowTitle());
}
