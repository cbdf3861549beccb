#include "TPeer.h"

#include "RawTcpClient.h"
#include "TestPaths.h"
#include "TestWait.h"

#include <QThread>

namespace kxtest {

namespace {

std::unique_ptr<TPeer> Python(const QString& script, const QStringList& arguments) {
    return std::make_unique<TPeer>(
        "/usr/bin/python3", QStringList{SourcePath("tests/modbus/peers/" + script)} + arguments);
}

} // namespace

TPeer::TPeer(const QString& program, const QStringList& arguments)
    : FProcess(program, arguments) {
    const QString line = FProcess.ReadLine(10000).trimmed();
    if (line.startsWith("READY")) {
        FPort = line.section(' ', 1, 1).toInt();
        FReady = true;
    }
}

std::unique_ptr<TPeer> TPeer::TcpSlave(const QStringList& options, int port) {
    return Python("peer.py", QStringList{"tcp", QString::number(port)} + options);
}

std::unique_ptr<TPeer> TPeer::RtuSlave(const QString& device, const QStringList& options) {
    return Python("peer.py", QStringList{"rtu", device} + options);
}

std::unique_ptr<TPeer> TPeer::PymodbusTcp() {
    const int port = FreeTcpPort();
    auto peer = Python("pymodbus_server.py", {"tcp", QString::number(port)});
    // pymodbus prints READY before it listens.
    PollUntil([port] { return RawTcpClient(static_cast<uint16_t>(port)).Connected(); }, 10000, 50);
    peer->FPort = port;
    return peer;
}

std::unique_ptr<TPeer> TPeer::PymodbusRtu(const QString& device) {
    auto peer = Python("pymodbus_server.py", {"rtu", device});
    QThread::msleep(700); // the serial server opens its port after READY
    return peer;
}

} // namespace kxtest
