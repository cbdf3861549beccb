#pragma once

#include "TModbusSrv.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kxtest {

enum class TKind { Tcp, Rtu };

inline std::string KindName(const ::testing::TestParamInfo<TKind>& info) {
    return info.param == TKind::Tcp ? "Tcp" : "Rtu";
}

// A transport connected to our misbehaving slave over TCP loopback or over a
// socat pty pair (COM3 mapped to the pair's link end), with the terminal's
// own serial settings.
class TLinkFixture : public ::testing::TestWithParam<TKind> {
protected:
    TConfigHome Home;
    QTemporaryDir Dir;
    QString Log = Dir.path() + "/requests.log";
    std::unique_ptr<TPtyPair> Pty;
    std::unique_ptr<TPeer> Peer;
    TModbusSrv Srv;

    // Starts our slave with options (or pymodbus's server) and connects Srv.
    void Start(QStringList options, int timeout = 150, bool pymodbus = false) {
        Peer.reset(); // a test may start several peers in turn
        Pty.reset();
        QFile::remove(Log);
        options << "--log" << Log;
        const bool tcp = GetParam() == TKind::Tcp;
        if (!tcp) {
            Pty = std::make_unique<TPtyPair>();
            ASSERT_TRUE(Pty->Ready());
            Home.Map(3, Pty->LinkEnd());
        }
        if (pymodbus)
            Peer = tcp ? TPeer::PymodbusTcp() : TPeer::PymodbusRtu(Pty->PeerEnd());
        else
            Peer = tcp ? TPeer::TcpSlave(options) : TPeer::RtuSlave(Pty->PeerEnd(), options);
        ASSERT_TRUE(Peer->Ready());
        ASSERT_TRUE(Srv.OpenConnection(tcp ? "TCP" : "COM3", tcp ? 2 : 1));
        if (tcp) {
            Srv.put_HostName("127.0.0.1");
            Srv.put_TCPIPPort(Peer->Port());
        } else {
            Srv.put_PortNumber(3);
            Srv.put_BaudRate(19200);
            Srv.put_Parity(2);
            Srv.put_FlowCtrl(8);
            Srv.put_StopBits(50);
        }
        Srv.put_Timeout(timeout);
        ASSERT_TRUE(Srv.Connect()) << Srv.ErrorText().toStdString();
    }

    int32_t Tx(const std::vector<uint8_t>& query, std::vector<uint8_t>& response) {
        return Srv.TxRxMessage(query, static_cast<int>(query.size()), response);
    }
};

} // namespace kxtest
