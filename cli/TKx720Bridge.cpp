#include "TKx720Bridge.h"

#include "NvExchangeError.h"
#include "TCTCPIPServer.h"
#include "TnvMBBridge.h"

#include <QRegularExpression>
#include <csignal>
#include <pthread.h>

TKx720Bridge::TKx720Bridge(const TKx720Job& link, QTextStream& out, QTextStream& err)
    : FLink(link)
    , FOut(out)
    , FErr(err) {}

TKx720Bridge::~TKx720Bridge() = default;

bool TKx720Bridge::ParseListen(const QString& text, QString& error) {
    static const QRegularExpression form(QStringLiteral(R"(^(?:(\[[^\]]+\]|[^:\[\]]+):)?(\d+)$)"));
    const auto match = form.match(text);
    bool ok = false;
    const int port = match.captured(2).toInt(&ok);
    if (!match.hasMatch() || !ok || port > 65535) {
        error = "--listen wants [HOST:]PORT, not '" + text + "'";
        return false;
    }
    if (!match.captured(1).isEmpty())
        FListenHost = match.captured(1);
    FListenPort = port;
    return true;
}

QString TKx720Bridge::LinkText() const {
    return FLink.Host.isEmpty() ? QStringLiteral("COM%1").arg(FLink.ComPort)
                                : QStringLiteral("%1:%2").arg(FLink.Host).arg(FLink.Port);
}

void TKx720Bridge::Print(QTextStream& stream, const QString& line) {
    std::lock_guard lock(FPrintLock);
    stream << line << Qt::endl;
}

int TKx720Bridge::Run() {
    // Blocked before the serving thread starts, so that it inherits the mask
    // and the signal is taken here by sigwait alone.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    TnvMBBridge bridge;
    TnvMBSetup& s = bridge.Settings;
    // The terminal's own link: COMn at 19200 baud, even parity, or TCP/IP.
    s.Name = QStringLiteral("COM%1").arg(FLink.ComPort > 0 ? FLink.ComPort : 1);
    s.PortNumber = FLink.ComPort;
    s.BaudRate = 19200;
    s.Parity = 2;
    s.FlowCtrl = 8;
    s.StopBits = 50;
    s.Timeout = FLink.Timeout;
    s.Enabled = true;
    if (!FLink.Host.isEmpty()) {
        s.Name = LinkText();
        s.ConnType = TnvMBSetup::kTcpIp;
        s.HostName = FLink.Host;
        s.TCPIPPort = FLink.Port;
    }
    bridge.ServerAddress = FListenHost;
    bridge.ServerPort = FListenPort;
    bridge.OnError = [this](TnvMBBridge* sender, int32_t code) {
        const QString text = code == TnvMBBridge::kLinkRefused
                                 ? "Connection Error: " + nv::ExchangeErrorText(code)
                                 : QStringLiteral("Bridge Error: the TCP server did not start");
        Print(FErr, text + "\n  " + sender->LastErrorDetail());
    };
    if (!bridge.OpenConnect()) {
        bridge.OnError(&bridge, bridge.GetLastError());
        return 1;
    }
    bridge.GetTCPServer()->OnClientEvent = [this](TCTCPIPServer*, const QString& peer,
                                                  TCTCPIPServer::TClientEvent event,
                                                  const QString& detail) {
        using TEvent = TCTCPIPServer::TClientEvent;
        static const char* const kWords[] = {"connected", "left", "dropped", "refused"};
        QString line = QStringLiteral("client %1 %2").arg(peer, kWords[static_cast<int>(event)]);
        if (event == TEvent::Dropped || event == TEvent::Refused)
            line += ": " + detail;
        Print(FOut, line);
    };
    bridge.SetServerActive(true);
    if (!bridge.GetServerActive())
        return 1;
    const QString host = FListenHost.contains(':') && !FListenHost.startsWith('[')
                             ? '[' + FListenHost + ']'
                             : FListenHost;
    Print(FOut, QStringLiteral("bridge %1:%2 -> %3")
                    .arg(host)
                    .arg(bridge.GetTCPServer()->GetListenPort())
                    .arg(LinkText()));

    int signal = 0;
    while (sigwait(&stop, &signal) != 0) {
    }
    TCTCPIPServer* server = bridge.GetTCPServer();
    bridge.SetServerActive(false);
    const uint64_t served = server->GetServedCount();
    Print(FOut, QStringLiteral("%1 request%2 served, %3 failed")
                    .arg(served)
                    .arg(served == 1 ? "" : "s")
                    .arg(server->GetFailedCount()));
    return 0;
}
