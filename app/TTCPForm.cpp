#include "TTCPForm.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

bool IsEditingKey(QChar key) {
    return key == QLatin1Char('\r') || key == QLatin1Char('\n') || key == QLatin1Char('\t') ||
           key == QLatin1Char('\b');
}

bool IsDigit(QChar key) {
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

QLineEdit* NewField(const char* name, const char* group, const char* text, QWidget* parent,
                    QVBoxLayout* layout) {
    auto* box = new QGroupBox(QString::fromLatin1(group), parent);
    auto* inner = new QVBoxLayout(box);
    auto* field = new QLineEdit(QString::fromLatin1(text), box);
    field->setObjectName(QString::fromLatin1(name));
    field->setAccessibleName(box->title());
    inner->addWidget(field);
    layout->addWidget(box);
    return field;
}

} // namespace

TTCPForm::TTCPForm(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TCPForm"));
    setWindowTitle(QStringLiteral("TCP/IP setup"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    eAddress = NewField("eAddress", "TCP/IP address", "127.0.0.1", this, layout);
    ePort = NewField("ePort", "Server Port", "502", this, layout);
    auto* buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOk->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    eAddress->installEventFilter(this);
    ePort->installEventFilter(this);
}

bool TTCPForm::eAddressKeyPress(QChar key) {
    return IsEditingKey(key) || IsDigit(key) || key == QLatin1Char('.');
}

bool TTCPForm::ePortKeyPress(QChar key) {
    return IsEditingKey(key) || IsDigit(key);
}

bool TTCPForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const QString text = static_cast<QKeyEvent*>(event)->text();
    // Keys that type no character (arrows, Delete) are not filtered.
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    const auto filter = watched == eAddress ? &eAddressKeyPress : &ePortKeyPress;
    return !std::all_of(text.begin(), text.end(), filter);
}
