#include "TnvMBBridge.h"

#include "TCTCPIPServer.h"
#include "TModbusSrv.h"
#include "TnvError.h"

TnvMBBridge::TnvMBBridge()
    : FServer(std::make_unique<TModbusSrv>()) {
    Settings.HostName = ServerAddress;
    Settings.TCPIPPort = ServerPort;
}

TnvMBBridge::~TnvMBBridge() {
    if (FServerActive && !StopServer() && OnError)
        OnError(this, FLastError);
    CloseConnect();
    FTCPServer.reset();
}

void TnvMBBridge::SetServerActive(bool active) {
    if (FServerActive && !active) {
        StopServer();
        CloseConnect();
        if (OnStopServer)
            OnStopServer(this);
    } else if (!FServerActive && active) {
        if (OpenConnect()) {
            if (StartServer()) {
                if (OnStartServer)
                    OnStartServer(this);
            } else {
                // The failing step's code survives the close.
                const int32_t code = FLastError;
                CloseConnect();
                FLastError = code;
            }
        }
        if (!FServerActive && OnError)
            OnError(this, FLastError);
    }
}

bool TnvMBBridge::OpenConnect() {
    if (FConnected)
        return FLastError == 0;
    if (!Settings.GetIsValid())
        return SetLastError(kLinkRefused, QStringLiteral("the link's settings are not valid")) == 0;
    bool connected = false;
    QString contextFailure;
    if (FServer->OpenConnection(Settings.Name, static_cast<int16_t>(Settings.ConnType))) {
        FServer->put_Retries(static_cast<int16_t>(Settings.Retries));
        FServer->put_RaiseError(Settings.RaiseError);
        FServer->put_BaudRate(Settings.BaudRate);
        FServer->put_PortNumber(static_cast<int16_t>(Settings.PortNumber));
        FServer->put_ByteSize(static_cast<int16_t>(Settings.ByteSize));
        FServer->put_FlowCtrl(static_cast<int16_t>(Settings.FlowCtrl));
        FServer->put_Parity(static_cast<int16_t>(Settings.Parity));
        FServer->put_StopBits(Settings.StopBits);
        FServer->put_SilentInt(static_cast<int16_t>(Settings.SilentInt));
        FServer->put_Timeout(Settings.Timeout);
        FServer->put_TxMode(static_cast<int16_t>(Settings.TxMode));
        FServer->put_TCPIPPort(Settings.TCPIPPort);
        FServer->put_HostName(Settings.HostName);
        try {
            connected = FServer->Connect();
        } catch (const TnvError& error) {
            // A setting libmodbus cannot take at all, a host name too long
            // for it, say: refused like any other.
            contextFailure = error.Message();
        }
    }
    if (!connected) {
        const QString detail = contextFailure.isEmpty() ? FServer->ErrorText() : contextFailure;
        FServer->CloseConnection();
        return SetLastError(kLinkRefused, detail) == 0;
    }
    // A server still serving (its link was closed alone) goes on serving
    // through the reopened link rather than being dropped under the owner.
    if (!FServerActive)
        FTCPServer = FServer->CreateTCPServer();
    FConnected = true;
    return SetLastError(0) == 0;
}

void TnvMBBridge::CloseConnect() {
    if (!FConnected)
        return;
    FServer->CloseConnection();
    FConnected = false;
    FLastError = 0;
}

bool TnvMBBridge::StartServer() {
    if (!FConnected)
        return SetLastError(kNotConnected, QStringLiteral("the link is not open")) == 0;
    if (FServerActive)
        return FLastError == 0;
    if (!FTCPServer)
        return SetLastError(kServerRefused, QStringLiteral("no TCP server")) == 0;
    FTCPServer->put_ListenAddress(ServerAddress);
    FTCPServer->put_Port(ServerPort);
    if (!FTCPServer->StartServer())
        return SetLastError(kServerRefused, FTCPServer->ErrorText()) == 0;
    FServerActive = true;
    return SetLastError(0) == 0;
}

bool TnvMBBridge::StopServer() {
    if (!FServerActive || !FTCPServer)
        return FLastError == 0;
    const bool stopped = FTCPServer->StopServer();
    FServerActive = false;
    return SetLastError(stopped ? 0 : kStopRefused) == 0;
}

QString TnvMBBridge::GetLocalHostIP() const {
    if (FConnected && FTCPServer)
        return FTCPServer->GetLocalHostIP();
    return QStringLiteral("127.0.0.1");
}

int32_t TnvMBBridge::SetLastError(int32_t code, const QString& detail) {
    FLastError = code;
    FLastErrorDetail = detail;
    return code;
}
