#include "TKx720SetSlave.h"

#include "NvExchangeError.h"
#include "NvParIndex.h"
#include "TModbusSrv.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"

#include <QFileInfo>

TKx720SetSlave::TKx720SetSlave(TKx720SetSlaveJob job, QTextStream& out, QTextStream& err,
                               const std::atomic<int>& signal)
    : FJob(std::move(job))
    , FOut(out)
    , FErr(err)
    , FSignal(signal)
    , FProbe([this] { return FSignal.load() != 0; }) {}

bool TKx720SetSlave::LoadRegisters(QString& error) {
    if (!QFileInfo::exists(FJob.Defs)) {
        error = FJob.Defs + ": no such file";
        return false;
    }
    TnvParDefSet defs;
    defs.LoadFromFile(QFileInfo(FJob.Defs).absoluteFilePath());
    const TnvParDef* live = defs.GetParDefinition(nv::par::kSlave);
    const TnvParDef* stored = defs.GetParDefinition(nv::par::kStoredSlave);
    if (!live || !stored) {
        error = QStringLiteral("Error, parameter not found: %1")
                    .arg(live ? nv::par::kStoredSlave : nv::par::kSlave);
        return false;
    }
    FLiveRegister = static_cast<uint16_t>(live->RegAddr);
    FStoredRegister = static_cast<uint16_t>(stored->RegAddr);
    return true;
}

QString TKx720SetSlave::LastSeen() const {
    return FLastSeen > 0
               ? QStringLiteral("The drive was last seen at slave address %1.").arg(FLastSeen)
               : QStringLiteral("The drive was not seen at slave address %1 or %2.")
                     .arg(FJob.OldSlave)
                     .arg(FJob.NewSlave);
}

int TKx720SetSlave::Interrupted(const QString& step) {
    FErr << "Interrupted: set-slave " << FJob.NewSlave << " (" << step << ")" << Qt::endl
         << LastSeen() << Qt::endl;
    return 128 + FSignal.load();
}

int32_t TKx720SetSlave::Write(uint8_t slave, uint16_t reg, uint16_t word) {
    int32_t status = TModbusSrv::kOk;
    for (int attempt = 0; attempt <= FJob.Retries && !FSignal.load(); ++attempt) {
        status = FProbe.WriteWord(slave, reg, word);
        if (status == TModbusSrv::kOk)
            break;
    }
    return status;
}

bool TKx720SetSlave::Answers(int slave, uint16_t& word) {
    for (int attempt = 0; attempt <= FJob.Retries && !FSignal.load(); ++attempt) {
        if (FProbe.ReadWord(static_cast<uint8_t>(slave), FLiveRegister, word) == TModbusSrv::kOk) {
            FLastSeen = slave;
            return true;
        }
    }
    return false;
}

void TKx720SetSlave::RestoreStoredCopy() {
    // Left at the new address, the stored copy would move the drive at its
    // next power-up, away from where the user now knows it.
    const auto oldSlave = static_cast<uint8_t>(FJob.OldSlave);
    if (Write(oldSlave, FStoredRegister, oldSlave) == TModbusSrv::kOk)
        FErr << QStringLiteral("The stored copy was set back to %1.").arg(FJob.OldSlave)
             << Qt::endl;
    else
        FErr << QStringLiteral("The stored copy still holds %1: after a restart the drive will "
                               "answer at slave address %1.")
                    .arg(FJob.NewSlave)
             << Qt::endl;
}

int TKx720SetSlave::Run() {
    QString error;
    if (!LoadRegisters(error)) {
        FErr << "Error loading parameters definitions." << Qt::endl << "  " << error << Qt::endl;
        return 1;
    }
    if (!FProbe.Open(FJob.Line)) {
        FErr << "Connection Error: " << nv::ExchangeErrorText(-1) << Qt::endl
             << "  " << FProbe.ErrorText() << Qt::endl;
        return 1;
    }
    const auto oldSlave = static_cast<uint8_t>(FJob.OldSlave);
    const auto newSlave = static_cast<uint16_t>(FJob.NewSlave);
    uint16_t word = 0;
    if (!Answers(FJob.OldSlave, word)) {
        if (FSignal.load())
            return Interrupted("looking for the drive");
        FErr << QStringLiteral(
                    "The drive does not answer at slave address %1; nothing was changed.")
                    .arg(FJob.OldSlave)
             << Qt::endl
             << "  " << FProbe.ErrorText() << Qt::endl;
        return 1;
    }
    // Two devices at one address would garble each other's replies.
    if (FJob.NewSlave != FJob.OldSlave && FProbe.ReadWord(static_cast<uint8_t>(FJob.NewSlave),
                                                          FLiveRegister, word) == TModbusSrv::kOk) {
        FErr << QStringLiteral("Slave address %1 is taken by another device; nothing was changed.")
                    .arg(FJob.NewSlave)
             << Qt::endl
             << LastSeen() << Qt::endl;
        return 1;
    }
    // The stored copy goes first: when it fails, the live address is untouched.
    if (FJob.Save) {
        const int32_t status = Write(oldSlave, FStoredRegister, newSlave);
        if (FSignal.load())
            return Interrupted("writing the stored copy");
        if (status != TModbusSrv::kOk) {
            FErr << "Error on ModBus data exchange: " << nv::ExchangeErrorText(status) << Qt::endl
                 << "  " << FProbe.ErrorText() << Qt::endl
                 << "The stored copy was not written; the address was left unchanged." << Qt::endl
                 << LastSeen() << Qt::endl;
            return 1;
        }
    }
    // A failed write need not mean no change: the drive may have taken the
    // address and its reply been lost. Only a read tells.
    const int32_t written = Write(oldSlave, FLiveRegister, newSlave);
    if (FSignal.load())
        return Interrupted("writing the address");
    if (written != TModbusSrv::kOk)
        FErr << "Error on ModBus data exchange: " << nv::ExchangeErrorText(written) << Qt::endl
             << "  " << FProbe.ErrorText() << Qt::endl;

    if (Answers(FJob.NewSlave, word) && word == newSlave) {
        FOut << QStringLiteral("The drive now answers at slave address %1 (was %2)%3.")
                    .arg(FJob.NewSlave)
                    .arg(FJob.OldSlave)
                    .arg(FJob.Save ? QStringLiteral(", stored copy saved") : QString())
             << Qt::endl;
        return 0;
    }
    if (FSignal.load())
        return Interrupted("looking for the drive at the new address");
    if (FJob.NewSlave != FJob.OldSlave && Answers(FJob.OldSlave, word)) {
        FErr << QStringLiteral("The slave address did not change: the drive still answers at "
                               "slave address %1 (its address parameter reads %2).")
                    .arg(FJob.OldSlave)
                    .arg(word)
             << Qt::endl;
        if (FJob.Save)
            RestoreStoredCopy();
        return 1;
    }
    if (FSignal.load())
        return Interrupted("looking for the drive at the old address");
    FErr << QStringLiteral("The drive answers at neither slave address %1 nor %2.")
                .arg(FJob.NewSlave)
                .arg(FJob.OldSlave)
         << Qt::endl
         << LastSeen() << Qt::endl;
    return 1;
}
