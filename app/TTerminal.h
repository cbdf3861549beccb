#pragma once

class TAboutForm;
class TCOMModule;
class TFormAccel;
class TFormCtrlMode;
class TFormModBus;
class TFormPlateData;
class TFormScope;
class TFormVFChart;
class TMainForm;
class TPARModule;
class TProgForm;
class TTCPForm;

// The single instances of the running program, reachable by every window;
// set while a TTerminal lives, each as soon as it is created.
extern TMainForm* MainForm;
extern TPARModule* PARModule;
extern TCOMModule* COMModule;
extern TAboutForm* AboutForm;
extern TFormScope* FormScope;
extern TFormVFChart* FormVFChart;
extern TFormPlateData* FormPlateData;
extern TFormCtrlMode* FormCtrlMode;
extern TFormModBus* FormModBus;
extern TFormAccel* FormAccel;
extern TTCPForm* TCPForm;
extern TProgForm* ProgForm;

// Creates the windows and data modules in the order the program relies on
// (the main window's memo before the parameter module reports into it; the
// scope and V/F windows before the plate data dialog sets its defaults) and
// destroys them in reverse order. One at a time, on the GUI thread, with the
// working directory holding the definitions file.
class TTerminal {
public:
    TTerminal();
    ~TTerminal();
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;
};
