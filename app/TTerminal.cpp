#include "TTerminal.h"

#include "TAboutForm.h"
#include "TCOMModule.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TFormScope.h"
#include "TFormVFChart.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TProgForm.h"
#include "TTCPForm.h"

TMainForm* MainForm = nullptr;
TPARModule* PARModule = nullptr;
TCOMModule* COMModule = nullptr;
TAboutForm* AboutForm = nullptr;
TFormScope* FormScope = nullptr;
TFormVFChart* FormVFChart = nullptr;
TFormPlateData* FormPlateData = nullptr;
TFormCtrlMode* FormCtrlMode = nullptr;
TFormModBus* FormModBus = nullptr;
TFormAccel* FormAccel = nullptr;
TTCPForm* TCPForm = nullptr;
TProgForm* ProgForm = nullptr;

namespace {

template <typename T>
void Destroy(T*& instance) {
    T* doomed = instance;
    delete doomed;
    instance = nullptr;
}

} // namespace

TTerminal::TTerminal() {
    MainForm = new TMainForm;
    PARModule = new TPARModule;
    COMModule = new TCOMModule;
    AboutForm = new TAboutForm(MainForm);
    FormScope = new TFormScope(MainForm);
    FormVFChart = new TFormVFChart(MainForm);
    FormPlateData = new TFormPlateData(MainForm);
    FormCtrlMode = new TFormCtrlMode(MainForm);
    FormModBus = new TFormModBus(MainForm);
    FormAccel = new TFormAccel(MainForm);
    TCPForm = new TTCPForm(MainForm);
    ProgForm = new TProgForm(MainForm);
    // Values set while the windows were being created reached only those
    // that existed then.
    PARModule->ShowValues();
}

TTerminal::~TTerminal() {
    Destroy(ProgForm);
    Destroy(TCPForm);
    Destroy(FormAccel);
    Destroy(FormModBus);
    Destroy(FormCtrlMode);
    Destroy(FormPlateData);
    Destroy(FormVFChart);
    Destroy(FormScope);
    Destroy(AboutForm);
    // Closing the link logs into the main window, which still exists.
    Destroy(COMModule);
    Destroy(PARModule);
    Destroy(MainForm);
}
