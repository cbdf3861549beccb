// kx720-terminal: the service engineer's console for a KX720 drive.

#include "TKxApplication.h"
#include "TMainForm.h"
#include "TTerminal.h"

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // Answered before any window exists, so that it needs no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("kx720-terminal " KX_VERSION);
        return 0;
    }
    TKxApplication application(argc, argv);
    TTerminal terminal;
    MainForm->OnClosed = [] {
        QApplication::quit();
    };
    MainForm->show();
    return TKxApplication::exec();
}
