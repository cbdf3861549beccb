#pragma once

#include <QApplication>

// The terminal's application object: the last line of defence of the default
// error report. An exception that escapes an event handler is shown in a
// message box and the program goes on.
class TKxApplication : public QApplication {
    Q_OBJECT
public:
    // Sets the process-wide number formats, the title and the message-box
    // error reporter. GUI thread, once.
    TKxApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The application title.
    static QString Title();
    // Installs the message-box error reporter (also used by tests).
    static void InstallErrorReporter();
};
