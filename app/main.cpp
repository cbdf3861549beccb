// kx720-terminal: the service engineer's console for a KX720 drive.

#include "TKxApplication.h"
#include "TMainForm.h"
#include "TTerminal.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    R"txt(Usage: kx720-terminal [--help] [--version]

The service engineer's console for one KX720 drive over Modbus RTU (COM1 to
COM8, 19200 baud, 8 data bits, even parity, 1 stop bit) or Modbus TCP.

It reads VF_Parameters_v207.ini from its working directory: start it in the
folder of that file. COMn is the device named by a "COMn=DEVICE" line of
<config folder>/kx720/ports.ini, else /dev/ttyS(n-1).

  --help     prints this text and exits
  --version  prints the version and exits

Qt's own options (-platform, -display, ...) are accepted as well.
)txt";

// Answered before any window exists, so that both work without a display.
bool AnswerInformationOption(int argc, char* argv[], int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            exitCode = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kx720-terminal " KX_VERSION);
            exitCode = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (int exitCode = 0; AnswerInformationOption(argc, argv, exitCode))
        return exitCode;
    TKxApplication application(argc, argv);
    TTerminal terminal;
    MainForm->OnClosed = [] {
        QApplication::quit();
    };
    MainForm->show();
    return TKxApplication::exec();
}
