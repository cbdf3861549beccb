#include "TCOMModule.h"

#include "NvConvert.h"
#include "NvExchangeError.h"
#include "TMainForm.h"
#include "TModbusSrv.h"
#include "TPARModule.h"
#include "TTCPForm.h"
#include "TTerminal.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QAction>
#include <QLineEdit>
#include <QToolButton>

namespace {

constexpr int kBaudRate = 19200;
// The drive's line: 8 data bits, even parity, 1 stop bit, no flow control,
// in the codes of the link settings.
constexpr int kParityEven = 2;
constexpr int kFlowCtrlNone = 8;
constexpr int kStopBitsOne = 50;

} // namespace

TCOMModule::TCOMModule() {
    setObjectName(QStringLiteral("COMModule"));
}

TCOMModule::~TCOMModule() {
    DataModuleDestroy();
}

void TCOMModule::OpenLink() {
    if (MBThread)
        CloseLink();
    MBThread = std::make_unique<TnvMBThread>();
    TnvMBSetup& settings = MBThread->Settings;
    settings.Name = QStringLiteral("COM%1").arg(ComPort);
    settings.BaudRate = kBaudRate;
    settings.Parity = kParityEven;
    settings.FlowCtrl = kFlowCtrlNone;
    settings.StopBits = kStopBitsOne;
    settings.PortNumber = ComPort;
    settings.Enabled = true;
    if (MainForm->mnTCPIP->isChecked()) {
        settings.HostName = TCPForm->eAddress->text();
        settings.TCPIPPort = nv::StrToInt(TCPForm->ePort->text());
        settings.ConnType = TnvMBSetup::kTcpIp;
    }
    MBThread->OnConnect = [this](TnvMBThread* sender) {
        ThreadConnect(sender);
    };
    MBThread->OnDisconnect = [this](TnvMBThread* sender) {
        ThreadDisconnect(sender);
    };
    MBThread->OnError = [this](TnvMBThread* sender, std::int32_t code) {
        ThreadError(sender, code);
    };
    MBThread->Start();
}

void TCOMModule::CloseLink() {
    // Moved out first: the thread's disconnect event runs while it is
    // destroyed, and must already see the module without a link.
    std::unique_ptr<TnvMBThread> thread = std::move(MBThread);
    thread.reset();
}

void TCOMModule::DataModuleDestroy() {
    CloseLink();
}

bool TCOMModule::IsLinkOpen() const {
    return MBThread && MBThread->IsConnected();
}

void TCOMModule::WriteRequestAsked(TnvParBind* bind, bool& accept) {
    if (IsLinkOpen())
        return;
    accept = false;
    ReportNotSent(*bind);
}

void TCOMModule::ReportNotSent(const TnvParBind& bind) {
    const TnvParDef& def = bind.GetParDef();
    // A dragged track bar raises a request per step: one line is enough.
    if (!FNotSentReported.insert(def.ParIndex).second || !MainForm)
        return;
    MainForm->Log(QStringLiteral("Not connected: %1 not sent.").arg(def.Name));
}

void TCOMModule::EndLinkSession() {
    if (PARModule)
        for (const auto& value : PARModule->nvParValueSet.GetValues())
            if (value->GetWriteRequest()) {
                // A failed write would otherwise be retried on the next link.
                value->SetWriteRequest(false);
                ReportNotSent(*value);
            }
    if (MainForm)
        MainForm->ShowUnlinked();
}

void TCOMModule::ShowConnected(bool connected) {
    TMainForm& main = *MainForm;
    main.acCloseConnection->setVisible(connected);
    main.acOpenConnection->setVisible(!connected);
    main.SetConnectionAction(connected ? main.acCloseConnection : main.acOpenConnection);
    main.tbSelectPort->setEnabled(!connected);
}

void TCOMModule::ThreadConnect(TnvMBThread* sender) {
    FNotSentReported.clear();
    ShowConnected(true);
    MainForm->acImport->setEnabled(true);
    MainForm->acExport->setEnabled(true);
    const TnvMBSetup& settings = sender->Settings;
    if (settings.ConnType != TnvMBSetup::kSerial)
        MainForm->Log(QStringLiteral("ModBus connection to: %1:%2")
                          .arg(settings.HostName)
                          .arg(settings.TCPIPPort));
    else
        MainForm->Log(QStringLiteral("ModBus open on COM%1").arg(ComPort));
    MainForm->ShowLinked(
        settings.ConnType != TnvMBSetup::kSerial
            ? QStringLiteral("TCP/IP %1:%2").arg(settings.HostName).arg(settings.TCPIPPort)
            : QStringLiteral("COM%1 (%2)").arg(ComPort).arg(TModbusSrv::DeviceOfPort(ComPort)));
}

void TCOMModule::ThreadDisconnect(TnvMBThread*) {
    if (!MainForm)
        return;
    ShowConnected(false);
    MainForm->Log(QStringLiteral("ModBus closed."));
    EndLinkSession();
}

void TCOMModule::ThreadError(TnvMBThread* sender, std::int32_t code) {
    LogExchangeError(QStringLiteral("Connection Error: "), code);
    LogErrorDetail(sender);
    EndLinkSession();
}

void TCOMModule::LogErrorDetail(const TnvMBThread* sender) {
    const QString detail = sender ? sender->LastErrorDetail() : QString();
    if (detail.isEmpty())
        return;
    MainForm->Log(QStringLiteral("Connection Error: ") + detail + nv::LinkErrorHint(detail));
}

QString TCOMModule::ExchangeErrorText(std::int32_t code) {
    return nv::ExchangeErrorText(code);
}

void TCOMModule::LogExchangeError(const QString& prefix, std::int32_t code) {
    if (!MainForm)
        return;
    if (code == TnvMBThread::kServerFailed)
        MainForm->acMBServer->setVisible(true);
    MainForm->Log(prefix + ExchangeErrorText(code));
}
