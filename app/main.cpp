// kx720-terminal: the service engineer's console for a KX720 drive.

#include "TKxApplication.h"
#include "TMainForm.h"
#include "TTerminal.h"

int main(int argc, char* argv[]) {
    TKxApplication application(argc, argv);
    TTerminal terminal;
    MainForm->OnClosed = [] {
        QApplication::quit();
    };
    MainForm->show();
    return TKxApplication::exec();
}
