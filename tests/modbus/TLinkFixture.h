#pragma once

#include "TModbusSrv.h"
#include "TestSupport.h"
#include "TnvMBSetup.h"

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
        const TnvMBSetup s = Settings(timeout);
        ASSERT_TRUE(Srv.OpenConnection(s.Name, s.ConnType));
        Srv.put_HostName(s.HostName);
        Srv.put_TCPIPPort(s.TCPIPPort);
        Srv.put_PortNumber(s.PortNumber);
        Srv.put_Parity(s.Parity);
        Srv.put_FlowCtrl(s.FlowCtrl);
        Srv.put_StopBits(s.StopBits);
        Srv.put_Timeout(s.Timeout);
        ASSERT_TRUE(Srv.Connect()) << Srv.ErrorText().toStdString();
    }

    // The terminal's settings of a link to the started peer: TCP, or COM3.
    TnvMBSetup Settings(int timeout, int retries = 0) const {
        const bool tcp = GetParam() == TKind::Tcp;
        return {.Name = tcp ? "TCP" : "COM3",
                .ConnType = tcp ? TnvMBSetup::kTcpIp : TnvMBSetup::kSerial,
                .Retries = retries,
                .PortNumber = 3,
                .FlowCtrl = 8,
                .Parity = 2,
                .StopBits = 50,
                .Timeout = timeout,
                .TCPIPPort = Peer->Port(),
                .Enabled = true};
    }

    int32_t Tx(const std::vector<uint8_t>& query, std::vector<uint8_t>& response) {
        return Srv.TxRxMessage(query, static_cast<int>(query.size()), response);
    }
};

} // namespace kxtest
