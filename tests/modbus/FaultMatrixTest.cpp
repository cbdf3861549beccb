// The faults a link survives, over TCP loopback and an RTU pty, against our
// misbehaving slave: what the operator reads in the log memo, what the fault
// costs, and how many reads fail before the right value comes back. The
// first read meets the fault. After a fault of the reply the reads meet a
// sound slave again; after a fault of the link itself (a dropped connection,
// a hung peer, an unplugged adapter) the link stays down, handing on no data,
// until the fault has ended and the operator opens it again.
//
// With KX_FAULT_TABLE=FILE every case appends its row to FILE, from which
// scripts/faults-table makes the README's "Faults survived" table.
#include "NvExchangeError.h"
#include "TLinkFixture.h"

#include <QFile>
#include <QTextStream>

using namespace kxtest;

namespace {

constexpr int kTimeout = 150;

enum class TLinks { Both, TcpOnly, RtuOnly };

// What ends the fault: the next read, or the operator's Open once the peer
// is back (the same peer, a sound peer on the same port, or the adapter
// plugged in again).
enum class TAfter { Next, Reopen, RestartPeer, Replug };

struct TFault {
    const char* Name;
    QStringList Options;
    TLinks Links;
    int32_t Status;       // what the faulty read reports
    const char* Text;     // in the transport's error text (the log memo's detail)
    int MaxCostTimeouts;  // the faulty read returns within this many time-outs
    int MaxLostReads;     // reads that fail before the right value is back
    const char* Recovery; // for the table
    TAfter After = TAfter::Next;
    int32_t OtherStatus = 0; // an unplugged port fails its write or its read
};

const std::vector<uint8_t> kRead{1, 0x03, 0x00, 0x10, 0x00, 0x01};
const std::vector<uint8_t> kValue{1, 0x03, 0x02, 0x10, 0x10};
const std::vector<uint8_t> kReadTwo{1, 0x03, 0x00, 0x10, 0x00, 0x02};

QStringList Once(const QString& mode) {
    return {"--mode", mode, "--once", "--late-at", "1"};
}
QStringList Late(int ms) {
    return {"--mode", "late", "--late-at", "1", "--delay-ms", QString::number(ms)};
}
QStringList Always(const QString& mode) {
    return {"--mode", mode};
}
QStringList Exception(int code) {
    return Once("exception") << "--exception-code" << QString::number(code);
}

const char* kNext = "the next read";
const char* kAfterLate = "a read after the late reply has come";
const char* kOpen = "Open Connection";
const char* kOpenWhenBack = "Open Connection once the peer answers again";
const char* kOpenWhenPlugged = "Open Connection once the adapter is back";

const std::vector<TFault> kFaults{
    {"silence", Once("silent"), TLinks::Both, TModbusSrv::kTimeout, "no reply", 2, 1, kNext},
    {"reply 1.5x the time-out late", Late(kTimeout * 3 / 2), TLinks::Both, TModbusSrv::kTimeout,
     "no reply", 2, 2, kAfterLate},
    {"reply 3x the time-out late", Late(kTimeout * 3), TLinks::Both, TModbusSrv::kTimeout,
     "no reply", 2, 4, kAfterLate},
    {"reply 10x the time-out late", Late(kTimeout * 10), TLinks::Both, TModbusSrv::kTimeout,
     "no reply", 2, 12, kAfterLate},
    {"bad CRC", Once("badcrc"), TLinks::RtuOnly, TModbusSrv::kCrcError, "bad CRC", 2, 1, kNext},
    {"wrong slave address / unit id", Once("wrongslave"), TLinks::Both, TModbusSrv::kInvalidReply,
     "reply to another request", 2, 1, kNext},
    {"wrong transaction id", Once("wrongtid"), TLinks::TcpOnly, TModbusSrv::kTimeout, "no reply", 2,
     1, kNext},
    {"exception 01", Exception(1), TLinks::Both, TModbusSrv::kInvalidReply, "exception 1", 1, 1,
     kNext},
    {"exception 02", Exception(2), TLinks::Both, TModbusSrv::kInvalidReply, "exception 2", 1, 1,
     kNext},
    {"exception 03", Exception(3), TLinks::Both, TModbusSrv::kInvalidReply, "exception 3", 1, 1,
     kNext},
    {"exception 04", Exception(4), TLinks::Both, TModbusSrv::kInvalidReply, "exception 4", 1, 1,
     kNext},
    {"exception 0B", Exception(0x0B), TLinks::Both, TModbusSrv::kInvalidReply, "exception 11", 1, 1,
     kNext},
    {"junk before the reply", Once("junk"), TLinks::RtuOnly, TModbusSrv::kCrcError, "bad CRC", 2, 1,
     kNext},
    {"junk before the reply", Once("junk"), TLinks::TcpOnly, TModbusSrv::kInvalidReply,
     "bad MBAP header", 2, 1, kNext},
    {"short reply (byte count 0)", Once("short"), TLinks::Both, TModbusSrv::kInvalidReply,
     "malformed reply", 1, 1, kNext},
    {"long reply (2 bytes more than 2 registers)", Once("long"), TLinks::Both,
     TModbusSrv::kInvalidReply, "malformed reply", 1, 1, kNext},
    {"peer drops the connection", Once("drop"), TLinks::TcpOnly, TModbusSrv::kReadError,
     "read error", 1, 3, kOpen, TAfter::Reopen},
    {"peer floods replies to other requests", Once("flood") + QStringList{"--delay-ms", "800"},
     TLinks::TcpOnly, TModbusSrv::kTimeout, "no reply", 1, 1, kNext},
    {"peer accepts but never answers", Always("silent"), TLinks::TcpOnly, TModbusSrv::kTimeout,
     "no reply", 2, 3, kOpenWhenBack, TAfter::RestartPeer},
    {"adapter unplugged (pty gone), then back", QStringList(), TLinks::RtuOnly,
     TModbusSrv::kWriteError, "port", 1, 3, kOpenWhenPlugged, TAfter::Replug,
     TModbusSrv::kReadError},
};

// The row shows the log memo's line for the failed exchange, with the transport's words.
void WriteRow(const TFault& fault, TKind kind, int32_t status, const QString& detail, qint64 costMs,
              int lost) {
    const QString file = qEnvironmentVariable("KX_FAULT_TABLE");
    if (file.isEmpty())
        return;
    QFile out(file);
    if (!out.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream(&out) << "| " << fault.Name << " | " << (kind == TKind::Tcp ? "TCP" : "RTU pty")
                      << " | Error on ModBus data exchange: " << nv::ExchangeErrorText(status)
                      << " (" << detail << ") | " << costMs << " ms | " << lost << " | "
                      << fault.Recovery << " |\n";
}

class FaultMatrix : public TLinkFixture {
protected:
    // Ends a fault of the link: a sound peer where the faulty one was, or the
    // adapter plugged in again (a new pty behind the same COM port).
    void BringBack(TAfter after) {
        if (after == TAfter::RestartPeer) {
            const int port = Peer->Port();
            Peer.reset();
            Peer = TPeer::TcpSlave({}, port);
        } else if (after == TAfter::Replug) {
            Pty = std::make_unique<TPtyPair>();
            ASSERT_TRUE(Pty->Ready());
            Home.Map(3, Pty->LinkEnd());
            Peer = TPeer::RtuSlave(Pty->PeerEnd());
        }
        ASSERT_TRUE(Peer->Ready());
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Both, FaultMatrix, ::testing::Values(TKind::Tcp, TKind::Rtu), KindName);

TEST_P(FaultMatrix, EachFaultIsReportedCostsLittleAndNeverGivesAWrongValue) {
    constexpr int kSlack = kSanitized ? 400 : 150; // ms a loaded machine may add
    const TKind kind = GetParam();
    for (const TFault& fault : kFaults) {
        if ((fault.Links == TLinks::TcpOnly && kind == TKind::Rtu) ||
            (fault.Links == TLinks::RtuOnly && kind == TKind::Tcp))
            continue;
        SCOPED_TRACE(fault.Name);
        Start(fault.Options, kTimeout);
        if (HasFatalFailure())
            return;
        if (fault.After == TAfter::Replug) {
            Peer.reset();
            Pty.reset(); // the adapter goes, and its device with it
        }

        std::vector<uint8_t> response;
        const auto& query = QString(fault.Name).startsWith("long") ? kReadTwo : kRead;
        QElapsedTimer clock;
        clock.start();
        const int32_t status = Tx(query, response);
        const qint64 cost = clock.elapsed();
        const QString text = Srv.ErrorText();
        EXPECT_TRUE(status == fault.Status || (fault.OtherStatus && status == fault.OtherStatus))
            << std::hex << status << " " << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(fault.Text))) << text.toStdString();
        EXPECT_LE(cost, fault.MaxCostTimeouts * kTimeout + kSlack);
        EXPECT_TRUE(response.empty() || response[1] & 0x80) << "a failed read gave data";
        if (const QString words = fault.Text; words.startsWith("exception")) { // handed on whole
            const auto code = static_cast<uint8_t>(words.section(' ', 1).toInt());
            EXPECT_EQ(response, (std::vector<uint8_t>{1, 0x83, code}));
        }

        // A fault of the link outlasts its cause until the operator's Open:
        // the transport never reconnects by itself, nor makes anything up.
        int lost = 1;
        if (fault.After != TAfter::Next) {
            for (int i = 0; i < 2; ++i) {
                EXPECT_NE(Tx(kRead, response), TModbusSrv::kOk);
                EXPECT_TRUE(response.empty()) << "a dead link gave data";
                ++lost;
                if (i == 0)
                    BringBack(fault.After);
                if (HasFatalFailure())
                    return;
            }
            ASSERT_TRUE(Srv.Connect()) << Srv.ErrorText().toStdString();
        }

        // The reads after the fault: none may give anything but the value.
        QStringList recoveryFailures;
        for (;;) {
            const int32_t next = Tx(kRead, response);
            if (next == TModbusSrv::kOk) {
                EXPECT_EQ(response, kValue);
                break;
            }
            EXPECT_TRUE(response.empty() || response[1] & 0x80) << "a failed read gave data";
            recoveryFailures << Srv.ErrorText();
            if (++lost > fault.MaxLostReads)
                break;
        }
        EXPECT_LE(lost, fault.MaxLostReads)
            << "the link did not come back: " << recoveryFailures.join(", ").toStdString();
        WriteRow(fault, kind, status, text, cost, lost);
    }
}
