#include "TMainForm.h"

#include "NvGuard.h"
#include "NvParIndex.h"
#include "TAboutForm.h"
#include "TCOMModule.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TFormScope.h"
#include "TFormVFChart.h"
#include "TKxApplication.h"
#include "TLampBox.h"
#include "TLinkStatusBar.h"
#include "TPARModule.h"
#include "TProgForm.h"
#include "TSpeedButton.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>

using namespace nv::par;

TMainForm::TMainForm() {
    setObjectName(QStringLiteral("MainForm"));
    CreateActions();
    CreatePortMenu();
    CreateToolBar();
    Memo = new QPlainTextEdit;
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    Memo->setMaximumBlockCount(kMemoLines);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont courier(QStringLiteral("Liberation Mono"));
    courier.setStyleHint(QFont::TypeWriter);
    Memo->setFont(courier);
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(Memo, 1);
    layout->addWidget(CreateLowerPanel());
    setCentralWidget(central);
    TimerLink = new QTimer(this);
    TimerLink->setObjectName(QStringLiteral("TimerLink"));
    TimerLink->setInterval(kKeepAliveMs);
    CreateLinkStatus();
    ConnectHandlers();
    NameForAccessibility();
    resize(1020, 800);
    FormCreate();
    ShowUnlinked();
}

TMainForm::~TMainForm() = default;

void TMainForm::ConnectHandlers() {
    const auto on = [this](QAction* action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { nv::Guarded([this, handler] { (this->*handler)(); }); });
    };
    on(acOpenConnection, &TMainForm::acOpenConnectionExecute);
    on(acCloseConnection, &TMainForm::acCloseConnectionExecute);
    on(acClose, &TMainForm::acCloseExecute);
    on(acAbout, &TMainForm::acAboutExecute);
    on(acMBServer, &TMainForm::acMBServerExecute);
    on(acPlateData, &TMainForm::acPlateDataExecute);
    on(acVFChart, &TMainForm::acVFChartExecute);
    on(acCtrlMode, &TMainForm::acCtrlModeExecute);
    on(acAccel, &TMainForm::acAccelExecute);
    on(acScope, &TMainForm::acScopeExecute);
    on(acSlaveAddr, &TMainForm::acSlaveAddrExecute);
    on(acImport, &TMainForm::acImportExecute);
    on(acExport, &TMainForm::acExportExecute);
    on(acPrint, &TMainForm::acPrintExecute);
    on(acCompare, &TMainForm::acCompareExecute);
    for (QAction* item : mnCOM)
        connect(item, &QAction::triggered, this,
                [this, item] { nv::Guarded([this, item] { SelPortClick(item); }); });
    connect(mnTCPIP, &QAction::triggered, this,
            [this] { nv::Guarded([this] { mnTCPIPClick(); }); });
    connect(tbOmegaRef, &QSlider::valueChanged, this, [this](int position) {
        if (!FTrackBarMuted)
            nv::Guarded([this, position] { tbOmegaRefChange(position); });
    });
    for (QCheckBox* box : cbSW)
        connect(box, &QCheckBox::clicked, this,
                [this, box] { nv::Guarded([this, box] { cbSWClick(box); }); });
    connect(btnSave, &QPushButton::clicked, this,
            [this] { nv::Guarded([this] { btnSaveClick(); }); });
    connect(cbKeepAlive, &QCheckBox::clicked, this,
            [this] { nv::Guarded([this] { cbKeepAliveClick(); }); });
    connect(TimerLink, &QTimer::timeout, this,
            [this] { nv::Guarded([this] { TimerLinkTimer(); }); });
    sgOmegaRef->OnGetEditMask = &TPARModule::GridGetEditMask;
    sgOmegaRef->OnSetEditText = &TPARModule::GridSetEditText;
    ConnectIdleHandler();
}

void TMainForm::ConnectIdleHandler() {
    // The idle handler runs whenever the event loop is about to wait.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { nv::Guarded([this] { ApplicationEventsIdle(); }); });
}

void TMainForm::FormCreate() {
    setWindowTitle(QStringLiteral("D/U Reziz - Edadodudevevu Redevido 2.07"));
    Memo->clear();
    SetConnectionAction(acOpenConnection);
    sgOmegaRef->setColumnWidth(0, 85);
    sgOmegaRef->setColumnWidth(2, 45);
    sgOmegaRef->SetCellText(0, 0, QStringLiteral("Setpoint"));
    for (int i = 0; i < 3; ++i)
        cbSW[i]->setProperty("Tag", i);
}

void TMainForm::Log(const QString& line) {
    Memo->appendPlainText(line);
    // A session can be captured and followed by scripts.
    const QByteArray text = line.toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
}

QStringList TMainForm::LogLines() const {
    QString text = Memo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TMainForm::SetTrackBarRange(int min, int max) {
    // Moving the range may move the knob; that is no operator's setpoint.
    const QSignalBlocker blocker(tbOmegaRef);
    tbOmegaRef->setRange(min, max);
}

void TMainForm::SetTrackBarPosition(int position) {
    FTrackBarMuted = true;
    tbOmegaRef->setValue(position);
    FTrackBarMuted = false;
}

void TMainForm::SetConnectionAction(QAction* action) {
    // A tool button offers every action it holds as a menu; it must hold
    // only the current one.
    for (QAction* held : tbModBus->actions())
        if (held != action)
            tbModBus->removeAction(held);
    tbModBus->setDefaultAction(action);
}

void TMainForm::UpdateKeepAliveTimer() {
    const bool run = !cbKeepAlive->isHidden() && cbKeepAlive->isChecked();
    if (run && !TimerLink->isActive())
        TimerLink->start(kKeepAliveMs);
    else if (!run)
        TimerLink->stop();
}

void TMainForm::ShowCommandSources(bool modbusSetpoint, bool softwareCommands) {
    pOmegaRef->setVisible(modbusSetpoint);
    gbHWInput->setVisible(!softwareCommands);
    gbSWInput->setVisible(softwareCommands);
    cbKeepAlive->setVisible(softwareCommands);
    UpdateKeepAliveTimer();
}

void TMainForm::CreateLinkStatus() {
    LinkStatus = new TLinkStatusBar(this);
    LinkStatus->SlaveAddress = [] {
        return PARModule ? PARModule->nvParValueSet.GetSlaveAddress() : 0;
    };
    LinkStatus->LastReply = [] {
        return PARModule ? PARModule->NewestReply() : 0.0;
    };
    setStatusBar(LinkStatus);
}

void TMainForm::ShowLinked(const QString& target) {
    LinkStatus->ShowConnected(target);
    SetLiveStateEnabled(true);
}

// Values left from a closed link are greyed, so that none looks live.
void TMainForm::SetLiveStateEnabled(bool enabled) {
    for (QWidget* group : {gbModalita, gbCurFault, gbStatus, gbWorkState, gbHWInput})
        group->setEnabled(enabled);
}

void TMainForm::ShowUnlinked() {
    LinkStatus->ShowDisconnected();
    SetLiveStateEnabled(false);
    cbKeepAlive->setChecked(false);
    // Until the drive says otherwise, its commands come from the hardware
    // and its setpoint is analog.
    ShowCommandSources(false, false);
}

void TMainForm::SetCaption(QAbstractButton* box, const QString& caption) {
    box->setText(caption);
    box->setAccessibleName(caption);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && OnClosed)
        OnClosed();
}

// ---------------------------------------------------------------- link

void TMainForm::SetCyclic(std::initializer_list<std::uint32_t> indices) {
    for (std::uint32_t index : indices)
        if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
            value->SetCyclic(true);
}

void TMainForm::acOpenConnectionExecute() {
    // Nothing from before reaches the new link: a keep-alive box ticked
    // without a link would start writing at once.
    ShowUnlinked();
    COMModule->OpenLink();
    COMModule->MBThread->AddValueSet(&PARModule->nvParValueSet);
    SetCyclic({kSlave, kDriveVoltage, kMainVoltage, kSizeCode, kPwmIndex, kFaults, kPreviousFaults,
               kStatus, kControlMode, kDcBus, kPhaseCurrent, kOutputFrequency, kMotorVoltage,
               kHardwareInputs, kSoftwareInputs, kMinFrequency, kMaxFrequency, kSetpoint,
               kBaseVoltage});
    if (sgOmegaRef->GetCellValue(1, 0))
        return;
    // First opening: the setpoint's in-cell controls.
    if (TUpDown* upDown = PARModule->AttachValueUpDown(sgOmegaRef, kSetpoint, true, 1, 0)) {
        upDown->OnChangingEx = [this](TUpDown* s, bool& allow, int value, int direction) {
            udChangingEx(s, allow, value, direction);
        };
        upDown->setAccessibleName(QStringLiteral("Setpoint up/down"));
    }
    if (TSpeedButton* save =
            PARModule->AttachCellButton(sgOmegaRef, 0, 15, QStringLiteral("Save"), 2)) {
        save->setObjectName(QStringLiteral("sbtnSaveRef"));
        save->setAccessibleName(QStringLiteral("Save Setpoint"));
        connect(save, &QToolButton::clicked, this,
                [this] { nv::Guarded([this] { sbtnSaveRefClick(); }); });
    }
}

void TMainForm::acCloseConnectionExecute() {
    if (COMModule->MBThread)
        COMModule->MBThread->RemoveValueSet(&PARModule->nvParValueSet);
    COMModule->CloseLink();
}

void TMainForm::SelPortClick(QAction* item) {
    item->setChecked(true);
    COMModule->ComPort = item->data().toInt();
    tbSelectPort->setText(mnTCPIP->isChecked() ? QStringLiteral("TCP/IP")
                                               : QStringLiteral("COM%1").arg(COMModule->ComPort));
}

void TMainForm::mnTCPIPClick() {
    // The menu already toggled the check.
    if (mnTCPIP->isChecked()) {
        if (TCPForm->exec() == QDialog::Accepted)
            tbSelectPort->setText(QStringLiteral("TCP/IP"));
        else
            mnTCPIP->setChecked(false);
    }
    if (!mnTCPIP->isChecked())
        tbSelectPort->setText(QStringLiteral("COM%1").arg(COMModule->ComPort));
}

// ---------------------------------------------------------------- windows

void TMainForm::acCloseExecute() {
    close();
}

void TMainForm::acAboutExecute() {
    AboutForm->exec();
}

void TMainForm::acMBServerExecute() {
    // The transport is built in; an MBServer.exe beside the definitions is
    // still run with its registration argument, as the operator expects.
    QString path = QDir::currentPath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += QStringLiteral("MBServer.exe");
    if (!QFileInfo::exists(path)) {
        Log(QStringLiteral("File MBServer.exe not found!"));
        return;
    }
    if (QProcess::startDetached(path, {QStringLiteral("/regserver")}, QDir::currentPath())) {
        Log(QStringLiteral("MBServer registered!"));
        acMBServer->setVisible(false);
    } else {
        Log(QStringLiteral("MBServer registration unsuccessful!"));
    }
}

void TMainForm::ToggleWindow(QWidget* window) {
    window->setVisible(!window->isVisible());
}

void TMainForm::acPlateDataExecute() {
    ToggleWindow(FormPlateData);
}

void TMainForm::acVFChartExecute() {
    ToggleWindow(FormVFChart);
}

void TMainForm::acCtrlModeExecute() {
    ToggleWindow(FormCtrlMode);
}

void TMainForm::acAccelExecute() {
    ToggleWindow(FormAccel);
}

void TMainForm::acScopeExecute() {
    ToggleWindow(FormScope);
}

void TMainForm::acSlaveAddrExecute() {
    ToggleWindow(FormModBus);
}

void TMainForm::ApplicationEventsIdle() {
    const std::pair<TSpeedButton*, QWidget*> pairs[] = {{sbtnMotorData, FormPlateData},
                                                        {sbtnVFChart, FormVFChart},
                                                        {sbtnInput, FormCtrlMode},
                                                        {sbtnAccel, FormAccel},
                                                        {sbtnScope, FormScope}};
    if (!PARModule)
        return; // still starting
    for (const auto& [button, window] : pairs)
        if (window && button->isChecked() != window->isVisible())
            button->setChecked(window->isVisible());
    acImportUpdate();
}

// ---------------------------------------------------------------- setpoint, inputs

void TMainForm::udChangingEx(TUpDown* sender, bool& allowChange, int newValue, int direction) {
    PARModule->udChangingEx(sender, allowChange, newValue, direction);
}

void TMainForm::SaveToStoredCopy(std::uint32_t index) {
    TnvParValue* value = PARModule->nvParValueSet.FindValue(index);
    if (!value)
        return;
    const TnvParDef& def = value->GetParDef();
    if (def.RegAddr == def.RegProg)
        return;
    if (TnvParValue* stored = PARModule->nvParValueSet.FindValue(def.RegProg)) {
        stored->SetValueUShort(0, value->GetValueUShort(0));
        stored->SetWriteRequest(true);
    }
}

void TMainForm::sbtnSaveRefClick() {
    if ((PARModule->Word(kControlMode) >> 1) & 1U) // setpoint from Modbus
        SaveToStoredCopy(kSetpoint);
}

void TMainForm::tbOmegaRefChange(int position) {
    if (TnvParValue* setpoint = PARModule->nvParValueSet.FindValue(kSetpoint))
        setpoint->SetValueUShort(0, static_cast<std::uint16_t>(position));
}

void TMainForm::cbSWClick(QCheckBox* box) {
    if (TnvParValue* inputs = PARModule->nvParValueSet.FindValue(kSoftwareInputs))
        inputs->SetValueBit(0, static_cast<std::uint8_t>(box->property("Tag").toInt()),
                            box->isChecked());
}

void TMainForm::btnSaveClick() {
    if ((PARModule->Word(kControlMode) >> 2) & 1U) // commands from Modbus
        SaveToStoredCopy(kSoftwareInputs);
}

void TMainForm::cbKeepAliveClick() {
    TimerLink->setInterval(kKeepAliveMs);
    UpdateKeepAliveTimer();
}

void TMainForm::TimerLinkTimer() {
    if (TnvParValue* keepAlive = PARModule->nvParValueSet.FindValue(kKeepAlive)) {
        keepAlive->SetValueUShort(0, kKeepAliveWord);
        keepAlive->SetWriteRequest(true);
    }
}

// ---------------------------------------------------------------- files

void TMainForm::StartConfigurationJob(int mode, const QString& line) {
    Log(line);
    if (!COMModule->MBThread)
        return;
    ProgForm->OnFail = [this](TProgForm* sender, const QString& message) {
        ProgFormFail(sender, message);
    };
    ProgForm->OnDone = [this](TProgForm* sender, int done) {
        ProgFormDone(sender, done);
    };
    COMModule->MBThread->RemoveValueSet(&PARModule->nvParValueSet);
    ProgForm->Execute(COMModule->MBThread.get(), PARModule->nvParValueSet.GetSlaveAddress(), mode);
}

void TMainForm::acImportExecute() {
    try {
        StartConfigurationJob(1, QStringLiteral("Import configuration from file."));
    } catch (...) {
        Log(QStringLiteral("Error: action execute failed!"));
    }
}

void TMainForm::acExportExecute() {
    StartConfigurationJob(2, QStringLiteral("Export configuration to file."));
}

void TMainForm::acPrintExecute() {
    StartConfigurationJob(3, QStringLiteral("Print configuration."));
}

void TMainForm::acCompareExecute() {
    StartConfigurationJob(TProgForm::kCompare, QStringLiteral("Compare configuration with file."));
}

void TMainForm::acImportUpdate() {
    if (!COMModule || !PARModule)
        return;
    const TnvMBThread* thread = COMModule->MBThread.get();
    const bool enabled = thread && thread->IsConnected() && thread->LastError() == 0 &&
                         !(PARModule->Word(kStatus) & 1U);
    for (QAction* action : {acImport, acExport, acPrint, acCompare})
        if (action->isEnabled() != enabled)
            action->setEnabled(enabled);
}

void TMainForm::ProgFormFail(TProgForm*, const QString& message) {
    Log(message);
    if (COMModule->MBThread)
        COMModule->MBThread->AddValueSet(&PARModule->nvParValueSet);
    // A failed import may have written part of the file: show what the
    // drive holds now.
    RestoreCyclicReads();
}

void TMainForm::ProgFormDone(TProgForm*, int mode) {
    const QString lines[] = {
        QStringLiteral("Import succeeded."), QStringLiteral("Export succeeded."),
        QStringLiteral("Print succeeded."), QStringLiteral("Compare succeeded.")};
    Log(mode >= 1 && mode <= 4 ? lines[mode - 1] : QStringLiteral("End of unknown action."));
    if (COMModule->MBThread)
        COMModule->MBThread->AddValueSet(&PARModule->nvParValueSet);
    RestoreCyclicReads();
}

void TMainForm::RestoreCyclicReads() {
    SetCyclic({kMainVoltage, kPwmIndex, kStatus, kControlMode, kHardwareInputs, kSoftwareInputs,
               kMinFrequency, kMaxFrequency, kSetpoint});
    if (FormVFChart->isVisible())
        SetCyclic({kStartVoltage, kBoostVoltage, kBaseVoltage, kBoostFrequency, kBaseFrequency});
    if (FormAccel->isVisible())
        SetCyclic({kAccelTime, kDecelTime});
    if (FormModBus->isVisible())
        SetCyclic({kSlave, kStoredSlave});
    if (FormPlateData->isVisible())
        SetCyclic({kNominalCurrent, kMaxCurrent, kMaxCurrentTime});
}
