#include "TKx720Scan.h"

#include "NvExchangeError.h"
#include "NvParIndex.h"
#include "TKx720Probe.h"
#include "TModbusSrv.h"
#include "TnvMBDeviceInfo.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <cmath>
#include <unistd.h>

namespace {

// Characters on the wire for one try: the line check (8) and its echo (8)
// the first time a slave is asked, the identification (4) and its reply (14),
// and the 3.5-character silences around each frame.
constexpr int kTryCharacters = 8 + 8 + 4 + 14 + 4 * 4;
constexpr int kBitsPerCharacter = 11;
// What a drive takes to turn a request round, and the scheduling slack of a
// busy PC.
constexpr int kTurnaroundMs = 40;
constexpr int kBarWidth = 30;

bool ParseNumber(const QString& text, int& number) {
    bool ok = false;
    number = text.trimmed().toInt(&ok);
    return ok;
}

} // namespace

TKx720Scan::TKx720Scan(TKx720ScanJob job, QTextStream& out, QTextStream& err,
                       const std::atomic<int>& signal)
    : FJob(std::move(job))
    , FOut(out)
    , FErr(err)
    , FSignal(signal)
    , FTerminal(::isatty(STDERR_FILENO) == 1) {}

bool TKx720Scan::ParseSlaves(const QString& text, TKx720ScanJob& job, QString& error) {
    const QStringList parts = text.split('-');
    int first = 0;
    int last = 0;
    const bool ok = parts.size() <= 2 && ParseNumber(parts[0], first) &&
                    ParseNumber(parts.value(parts.size() - 1), last) && first >= 1 && last <= 247 &&
                    first <= last;
    if (!ok) {
        error = "--slaves wants FIRST-LAST within 1-247 (or one address), not '" + text + "'";
        return false;
    }
    job.FirstSlave = first;
    job.LastSlave = last;
    return true;
}

bool TKx720Scan::ParseBauds(const QString& text, TKx720ScanJob& job, QString& error) {
    static const std::vector<int> kRates{1200,  2400,  4800,   9600,   19200,
                                         38400, 57600, 115200, 230400, 460800};
    job.Bauds.clear();
    for (const QString& part : text.split(',')) {
        int baud = 0;
        if (!ParseNumber(part, baud) ||
            std::find(kRates.begin(), kRates.end(), baud) == kRates.end()) {
            error = "--bauds wants baud rates such as 9600,19200,38400, not '" + part + "'";
            return false;
        }
        job.Bauds.push_back(baud);
    }
    return true;
}

bool TKx720Scan::ParseParities(const QString& text, TKx720ScanJob& job, QString& error) {
    job.Parities.clear();
    for (const QString& part : text.split(',')) {
        const QString p = part.trimmed().toUpper();
        const int code = p == "N" ? 0 : p == "O" ? 1 : p == "E" ? 2 : -1;
        if (code < 0) {
            error = "--parity wants letters of E, N and O, such as E,N,O, not '" + part + "'";
            return false;
        }
        job.Parities.push_back(code);
    }
    return true;
}

int TKx720Scan::TryTimeout(int baud) {
    const double wireMs = 1000.0 * kTryCharacters * kBitsPerCharacter / baud;
    return static_cast<int>(std::ceil(wireMs)) + kTurnaroundMs;
}

uint16_t TKx720Scan::SlaveAddressRegister() const {
    if (FJob.Defs.isEmpty() || !QFileInfo::exists(FJob.Defs))
        return 0;
    TnvParDefSet defs;
    defs.LoadFromFile(QFileInfo(FJob.Defs).absoluteFilePath());
    const TnvParDef* def = defs.GetParDefinition(nv::par::kSlave);
    return def ? static_cast<uint16_t>(def->RegAddr) : 0;
}

int TKx720Scan::Run() {
    const uint16_t addressRegister = SlaveAddressRegister();
    const int slaves = FJob.LastSlave - FJob.FirstSlave + 1;
    const int total = slaves * static_cast<int>(FJob.Bauds.size() * FJob.Parities.size());
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    TKx720Probe probe([this] { return FSignal.load() != 0; });
    for (int baud : FJob.Bauds) {
        for (int parity : FJob.Parities) {
            TKx720Probe::TLine line;
            line.ComPort = FJob.ComPort;
            line.Baud = baud;
            line.Parity = parity;
            line.Timeout = FJob.Timeout > 0 ? FJob.Timeout : TryTimeout(baud);
            if (!probe.Open(line)) {
                ClearProgress();
                FErr << QStringLiteral("COM%1 cannot be opened: ").arg(FJob.ComPort)
                     << probe.ErrorText() << Qt::endl;
                return 1;
            }
            if (!FTerminal)
                FErr << QStringLiteral("Scanning COM%1 at %2 baud %3, slaves %4-%5 ...")
                            .arg(FJob.ComPort)
                            .arg(baud)
                            .arg(TKx720Probe::FrameText(parity))
                            .arg(FJob.FirstSlave)
                            .arg(FJob.LastSlave)
                     << Qt::endl;
            for (int slave = FJob.FirstSlave; slave <= FJob.LastSlave; ++slave) {
                if (const int signal = FSignal.load()) {
                    ClearProgress();
                    FErr << QStringLiteral("Interrupted: scan (%1 of %2 tries, %3 found)")
                                .arg(done)
                                .arg(total)
                                .arg(FFound.size())
                         << Qt::endl;
                    return 128 + signal;
                }
                Progress(done, total, baud, parity, slave);
                TnvMBDeviceInfo info(static_cast<uint8_t>(slave));
                const int32_t status = probe.Ident(info);
                QString text;
                if (status == TModbusSrv::kOk && info.Valid) {
                    text = QStringLiteral("%1, firmware %2")
                               .arg(info.HardwareVersionText(), info.FirmwareVersionText());
                } else if (status == TModbusSrv::kOk || status == TModbusSrv::kInvalidReply) {
                    // A drive that refuses the identification still answers a read.
                    uint16_t word = 0;
                    if (probe.ReadWord(static_cast<uint8_t>(slave), addressRegister, word) ==
                        TModbusSrv::kOk)
                        text = QStringLiteral("no identification; parameter 0 reads %1").arg(word);
                }
                ++done;
                if (text.isEmpty())
                    continue;
                ClearProgress();
                FOut << QStringLiteral("Found: COM%1 %2 baud %3 slave %4: %5")
                            .arg(FJob.ComPort)
                            .arg(baud)
                            .arg(TKx720Probe::FrameText(parity))
                            .arg(slave)
                            .arg(text)
                     << Qt::endl;
                FFound.push_back({baud, parity, slave, text});
            }
        }
    }
    ClearProgress();
    const QString summary = QStringLiteral("%1 drive(s) found in %2 tries, %3 s.")
                                .arg(FFound.size())
                                .arg(done)
                                .arg(clock.elapsed() / 1000.0, 0, 'f', 1);
    if (FFound.empty()) {
        FErr << QStringLiteral("No drive answered on COM%1: ").arg(FJob.ComPort) << summary
             << Qt::endl;
        return 1;
    }
    FOut << summary << Qt::endl;
    return 0;
}

void TKx720Scan::Progress(int done, int total, int baud, int parity, int slave) {
    if (!FTerminal)
        return;
    const int filled = total > 0 ? done * kBarWidth / total : 0;
    FErr << '\r' << '[' << QString(filled, '#') << QString(kBarWidth - filled, '.') << "] "
         << QStringLiteral("%1/%2  %3 baud %4 slave %5   ")
                .arg(done)
                .arg(total)
                .arg(baud)
                .arg(TKx720Probe::FrameText(parity))
                .arg(slave);
    FErr.flush();
}

void TKx720Scan::ClearProgress() {
    if (!FTerminal)
        return;
    FErr << '\r' << QString(kBarWidth + 48, ' ') << '\r';
    FErr.flush();
}
