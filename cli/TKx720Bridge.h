#pragma once

#include "TKx720Cli.h"

#include <QString>
#include <QTextStream>
#include <mutex>

class TnvMBBridge;

// kx720 bridge: serves the job's link (a COM port, or a Modbus TCP server for
// a TCP-to-TCP relay) to Modbus TCP clients until SIGINT or SIGTERM. Prints
// one line when it serves, one per client that connects, leaves, is dropped
// or refused, and the counts of requests served and failed at the end.
// Main thread only; the client lines come from the serving thread.
class TKx720Bridge {
public:
    // Listens on 127.0.0.1:502 until ParseListen says otherwise.
    TKx720Bridge(const TKx720Job& link, QTextStream& out, QTextStream& err);
    ~TKx720Bridge();
    TKx720Bridge(const TKx720Bridge&) = delete;
    TKx720Bridge& operator=(const TKx720Bridge&) = delete;

    // "[HOST:]PORT", an IPv6 host in brackets ("[::1]:1502"); the host
    // defaults to 127.0.0.1. False with error for anything else.
    bool ParseListen(const QString& text, QString& error);

    // Blocks SIGINT and SIGTERM, serves until one arrives, and returns the
    // exit code: 0 after a clean stop, 1 when the link or the server did not
    // start.
    int Run();

private:
    void Print(QTextStream& stream, const QString& line);
    QString LinkText() const;

    TKx720Job FLink;
    QString FListenHost = QStringLiteral("127.0.0.1");
    int FListenPort = 502;
    QTextStream& FOut;
    QTextStream& FErr;
    std::mutex FPrintLock;
};
