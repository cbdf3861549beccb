// The faults a link survives, over TCP loopback and an RTU pty, against our
// misbehaving slave: what the transport reports, what the fault costs, and
// how many reads fail before the right value comes back. The first read
// meets the fault; the ones after it meet a sound slave again.
//
// With KX_FAULT_TABLE=FILE every case appends its row to FILE, from which
// scripts/faults-table makes the README's "Faults survived" table.
#include "TLinkFixture.h"

#include <QFile>
#include <QTextStream>

using kxtest::TKind;

namespace {

constexpr int kTimeout = 150;

enum class TLinks { Both, TcpOnly, RtuOnly };

struct TFault {
    const char* Name;
    QStringList Options;
    TLinks Links;
    int32_t Status;       // what the faulty read reports
    const char* Text;     // in the transport's error text (the log memo's detail)
    int MaxCostTimeouts;  // the faulty read returns within this many time-outs
    int MaxLostReads;     // reads that fail before the right value is back
    const char* Recovery; // for the table
};

const std::vector<uint8_t> kRead{1, 0x03, 0x00, 0x10, 0x00, 0x01};
const std::vector<uint8_t> kValue{1, 0x03, 0x02, 0x10, 0x10};

QStringList Once(const QString& mode) {
    return {"--mode", mode, "--once", "--late-at", "1"};
}
QStringList Late(int ms) {
    return {"--mode", "late", "--late-at", "1", "--delay-ms", QString::number(ms)};
}
QStringList Exception(int code) {
    return Once("exception") << "--exception-code" << QString::number(code);
}

const char* kNext = "the next read";
const char* kAfterLate = "a read after the late reply has come";

const std::vector<TFault> kFaults{
    {"silence", Once("silent"), TLinks::Both, TModbusSrv::kTimeout, "no reply", 2, 1, kNext},
    {"reply 1.5x the time-out late", Late(kTimeout * 3 / 2), TLinks::Both, TModbusSrv::kTimeout,
     "no reply", 2, 2, kAfterLate},
    {"reply 3x the time-out late", Late(kTimeout * 3), TLinks::Both, TModbusSrv::kTimeout,
     "no reply", 2, 4, kAfterLate},
    {"reply 10x the time-out late", Late(kTimeout * 10), TLinks::Both, TModbusSrv::kTimeout,
     "no reply", 2, 12, kAfterLate},
    {"bad CRC", Once("badcrc"), TLinks::RtuOnly, TModbusSrv::kCrcError, "bad CRC", 2, 1, kNext},
    {"wrong slave address", Once("wrongslave"), TLinks::RtuOnly, TModbusSrv::kInvalidReply,
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
};

QString StatusName(int32_t status) {
    switch (status) {
    case TModbusSrv::kOk:
        return QStringLiteral("ok");
    case TModbusSrv::kTimeout:
        return QStringLiteral("time-out");
    case TModbusSrv::kInvalidReply:
        return QStringLiteral("invalid reply");
    case TModbusSrv::kCrcError:
        return QStringLiteral("CRC error");
    default:
        return QStringLiteral("0x%1").arg(static_cast<uint32_t>(status), 8, 16, QLatin1Char('0'));
    }
}

void WriteRow(const TFault& fault, TKind kind, const QString& text, qint64 costMs, int lost) {
    const QString file = qEnvironmentVariable("KX_FAULT_TABLE");
    if (file.isEmpty())
        return;
    QFile out(file);
    if (!out.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream(&out) << "| " << fault.Name << " | " << (kind == TKind::Tcp ? "TCP" : "RTU pty")
                      << " | " << StatusName(fault.Status) << ": \"" << text << "\" | " << costMs
                      << " ms | " << lost << " | " << fault.Recovery << " |\n";
}

class FaultMatrix : public kxtest::TLinkFixture {};

} // namespace

INSTANTIATE_TEST_SUITE_P(Both, FaultMatrix, ::testing::Values(TKind::Tcp, TKind::Rtu),
                         kxtest::KindName);

TEST_P(FaultMatrix, EachFaultIsReportedCostsLittleAndNeverGivesAWrongValue) {
#if defined(KX_ASAN) || defined(KX_TSAN)
    constexpr int kSlack = 400; // ms a loaded machine may add under a sanitizer
#else
    constexpr int kSlack = 150;
#endif
    const TKind kind = GetParam();
    for (const TFault& fault : kFaults) {
        if ((fault.Links == TLinks::TcpOnly && kind == TKind::Rtu) ||
            (fault.Links == TLinks::RtuOnly && kind == TKind::Tcp))
            continue;
        SCOPED_TRACE(fault.Name);
        Start(fault.Options, kTimeout);
        if (HasFatalFailure())
            return;

        std::vector<uint8_t> response;
        QElapsedTimer clock;
        clock.start();
        const int32_t status = Tx(kRead, response);
        const qint64 cost = clock.elapsed();
        const QString text = Srv.ErrorText();
        EXPECT_EQ(status, fault.Status) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(fault.Text))) << text.toStdString();
        EXPECT_LE(cost, fault.MaxCostTimeouts * kTimeout + kSlack);

        // The reads after the fault: none may give anything but the value.
        int lost = 1;
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
        WriteRow(fault, kind, text, cost, lost);
    }
}
