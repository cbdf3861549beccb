#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <set>

class TnvMBThread;
class TnvParBind;

// The communication data module: owns the running program's one Modbus
// link, turns the exchange thread's events into changes of the main window
// and log lines, and gives every status code its operator's text.
// GUI thread only.
class TCOMModule : public QObject {
    Q_OBJECT
public:
    TCOMModule();
    // Closes a link that is still open.
    ~TCOMModule() override;

    // The serial port to use next, 1 to 8.
    int ComPort = 1;
    // The exchange thread, or none.
    std::unique_ptr<TnvMBThread> MBThread;

    // Discards a previous link, then creates, configures and starts a new
    // exchange thread for the selected port or TCP/IP endpoint. Raises the
    // conversion error of a TCP/IP port text that is no integer (the thread
    // then stays, unstarted).
    void OpenLink();
    // Destroys the thread (which disconnects it), if there is one.
    void CloseLink();
    void DataModuleDestroy();

    // A link exists and is connected: only then may anything be sent.
    bool IsLinkOpen() const;
    // The value set's OnWriteRequest: a request raised while no link is open
    // is dropped, not kept for the next Open; the memo says so once per
    // parameter until a link opens.
    void WriteRequestAsked(TnvParBind* bind, bool& accept);

    // The thread's events, delivered on the GUI thread.
    void ThreadConnect(TnvMBThread* sender);
    void ThreadDisconnect(TnvMBThread* sender);
    void ThreadError(TnvMBThread* sender, std::int32_t code);

    // The operator's text of a status code.
    static QString ExchangeErrorText(std::int32_t code);
    // Logs prefix and the code's text; for -3 (no transport) the main window
    // also offers the server registration.
    static void LogExchangeError(const QString& prefix, std::int32_t code);

private:
    void ShowConnected(bool connected);
    // Closed, failed to open or lost: nothing pending survives the link, and
    // the main window returns to its start-up state.
    void EndLinkSession();
    void ReportNotSent(const TnvParBind& bind);
    // The transport's own words after a "Connection Error:" line, with a hint
    // for the usual causes.
    void LogErrorDetail(const TnvMBThread* sender);

    std::set<std::uint32_t> FNotSentReported; // indices, since the last link opened
};
