#pragma once

#include "TnvMBSetup.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TCTCPIPServer;
class TModbusSrv;

// Opens a Modbus link and has the transport serve it to Modbus TCP clients
// on ServerAddress:ServerPort (see TCTCPIPServer.h for how they are served).
// Idle -> OpenConnect -> connected -> StartServer -> serving -> StopServer ->
// connected -> CloseConnect -> idle; SetServerActive runs the first two steps
// or the last two.
//
// Threads: used from one thread, the owner's, which also raises the events.
// The TCP server serves on a thread of its own.
class TnvMBBridge {
public:
    // Status codes beyond those of the exchange thread and the transport.
    static constexpr int32_t kLinkRefused = -1;   // settings invalid, link not opened
    static constexpr int32_t kNotConnected = -4;  // StartServer without an open link
    static constexpr int32_t kServerRefused = -5; // no TCP server, or it cannot listen
    static constexpr int32_t kStopRefused = -6;   // the TCP server did not stop

    TnvMBBridge();
    // Stops the server (a refused stop raises OnError with -6) and closes the link.
    ~TnvMBBridge();
    TnvMBBridge(const TnvMBBridge&) = delete;
    TnvMBBridge& operator=(const TnvMBBridge&) = delete;

    // The link's settings. The constructor copies ServerAddress and
    // ServerPort into HostName and TCPIPPort; the owner sets at least Name and
    // the serial fields (or the upstream host and port) before activation.
    TnvMBSetup Settings;
    QString ServerAddress = QStringLiteral("127.0.0.1");
    int32_t ServerPort = 502;

    // true: OpenConnect, then StartServer (closing the link again when it
    // fails); raises OnStartServer, or OnError with the failing step's code.
    // false: StopServer and CloseConnect, then OnStopServer (even when the
    // stop was refused). Nothing happens when the state already matches.
    void SetServerActive(bool active);
    bool GetServerActive() const { return FServerActive; }
    bool GetConnected() const { return FConnected; }
    int32_t GetLastError() const { return FLastError; }

    // The steps, also callable alone; each returns LastError == 0.
    bool OpenConnect();
    void CloseConnect();
    bool StartServer();
    bool StopServer();

    // The TCP server's local address while the link is open, else "127.0.0.1".
    QString GetLocalHostIP() const;
    // The transport's words for the last failure of OpenConnect or
    // StartServer, for a log line after the status text.
    QString LastErrorDetail() const { return FLastErrorDetail; }

    // The TCP server while the link is open (its port, counts and client
    // events), else none.
    TCTCPIPServer* GetTCPServer() const { return FTCPServer.get(); }

    std::function<void(TnvMBBridge* sender)> OnStartServer; // the server started
    std::function<void(TnvMBBridge* sender)> OnStopServer;  // stopped on request
    std::function<void(TnvMBBridge* sender, int32_t lastError)> OnError;

private:
    int32_t SetLastError(int32_t code, const QString& detail = {});

    std::unique_ptr<TModbusSrv> FServer;
    std::unique_ptr<TCTCPIPServer> FTCPServer; // declared after FServer: goes first
    bool FConnected = false;
    bool FServerActive = false;
    int32_t FLastError = 0;
    QString FLastErrorDetail;
};
