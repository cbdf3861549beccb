#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for the address and port of a Modbus TCP/IP server. Keeps its texts
// between showings for the whole run; stores nothing on disk. The link reads
// the two fields whenever it opens with TCP/IP selected.
class TTCPForm : public QDialog {
    Q_OBJECT
public:
    explicit TTCPForm(QWidget* parent);

    QLineEdit* eAddress;
    QLineEdit* ePort;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    // Key filters: true when the typed character passes into the field.
    static bool eAddressKeyPress(QChar key);
    static bool ePortKeyPress(QChar key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
