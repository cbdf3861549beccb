#include "TKxApplication.h"

#include "NvErrorReport.h"
#include "NvFormat.h"

#include <QLocale>
#include <QMessageBox>
#include <QWidget>

TKxApplication::TKxApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
    // The separators stay as set for the whole run, whatever the machine's
    // regional settings say later.
    nv::SetFormatSettings(nv::TFormatSettings{});
    QLocale::setDefault(QLocale::c());
    // The title is not the display name: the window system would append it
    // to every window's caption.
    setApplicationName(QStringLiteral("kx720"));
    // Closing the main window ends the program even while tool windows are
    // open; the main window asks for the quit itself.
    setQuitOnLastWindowClosed(false);
    InstallErrorReporter();
}

bool TKxApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        nv::ReportCurrentException();
        return false;
    }
}

QString TKxApplication::Title() {
    return QStringLiteral("D/U Reziz Edadodudevevu Redevido v2.07");
}

void TKxApplication::InstallErrorReporter() {
    nv::SetErrorReporter([](const QString& message) {
        QMessageBox box(QMessageBox::Critical, Title(), message, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName(QStringLiteral("ErrorReport"));
        box.exec();
    });
}
