#include "TnvConfigJob.h"

#include "NvExchangeError.h"
#include "NvParIndex.h"
#include "TnvError.h"
#include "TnvMBThread.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString kCategory = QStringLiteral("ExportFile");
const QString kExchangeError = QStringLiteral("Error on ModBus data exchange: ");

int Position(const TnvParValueSet& set, const TnvParValue* value) {
    const auto& values = set.GetValues();
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i].get() == value)
            return static_cast<int>(i);
    return -1;
}

QString ValueText(TnvParValue& value) {
    QStringList texts;
    for (int k = 0; k < value.GetParDef().Length; ++k) {
        try {
            texts << nv::ConfigElementText(value, static_cast<std::uint8_t>(k));
        } catch (const TnvError& e) {
            texts << e.Message();
        }
    }
    return texts.join(QLatin1Char(' '));
}

std::uint16_t SizeCode(const TnvParValueSet& set) {
    TnvParValue* size = set.FindValue(nv::par::kSizeCode);
    return size && size->GetSize() >= 2
               ? static_cast<std::uint16_t>(size->GetBuffer()[0] << 8 | size->GetBuffer()[1])
               : 0;
}

} // namespace

TnvConfigJob::TnvConfigJob()
    : FDefs(std::make_unique<TnvParDefSet>())
    , FValues(std::make_unique<TnvParValueSet>())
    , FDrive(std::make_unique<TnvParValueSet>()) {}

TnvConfigJob::~TnvConfigJob() {
    Detach();
}

QString TnvConfigJob::Load(const QString& folder, const QString& fileName) {
    QString failure;
    FDefs->OnErrParDef = [&failure](TnvParDefSet*, std::uint32_t index) {
        if (failure.isEmpty())
            failure = QStringLiteral("Error, parameter not found: %1").arg(index);
    };
    bool loaded = false;
    try {
        loaded = FDefs->LoadFromFile(folder, fileName) && FDefs->AddParDefCategory(kCategory);
    } catch (const TnvError& e) {
        failure = e.Message();
    }
    FDefs->OnErrParDef = nullptr;
    if (!failure.isEmpty())
        return failure;
    if (!loaded)
        return QStringLiteral("Error loading parameters definitions.");
    for (TnvParValueSet* set : {FValues.get(), FDrive.get()}) {
        if (!set->AddParBindsCategory(FDefs.get(), kCategory))
            return QStringLiteral("Error on parameters creation.");
        for (const auto& value : set->GetValues())
            HookValue(value.get());
        set->OnUpdateStateChange = [this](TnvParValueSet* sender, TnvUpdateState state) {
            if (state == usIdle && sender == FAttached)
                LinkLost();
        };
    }
    return QString();
}

int TnvConfigJob::ValueCount() const {
    return FValues->GetCountParBind();
}

void TnvConfigJob::HookValue(TnvParValue* value) {
    value->OnReceive = [this](TnvParValue* sender, bool) {
        Received(sender);
    };
    value->OnWritten = [this](TnvParValue* sender) {
        Written(sender);
    };
    value->OnError = [this](TnvParValue* sender, int code) {
        if (sender->GetOwner() == FAttached)
            ExchangeFailed(code);
    };
}

void TnvConfigJob::LoadFile(const QString& fileName) {
    nv::TnvConfigKeys keys;
    QString error;
    if (!keys.Read(fileName, error))
        throw TnvError(error);
    if (keys.Value(QStringLiteral("Version")) != nv::kConfigVersion) {
        Log(QStringLiteral("Warning: source file creator version is not ") + nv::kConfigVersion);
        Log(QStringLiteral("  Please, check the configuration for data mismatch after upload."));
    }
    nv::ApplyConfigKeys(*FValues, keys);
}

bool TnvConfigJob::StartExport(TnvMBThread* thread, int slave, const QString& fileName) {
    FFileName = fileName;
    return StartRead(thread, slave, jmExport);
}

bool TnvConfigJob::StartRead(TnvMBThread* thread, int slave, TMode mode) {
    Stop();
    if (!thread)
        return false;
    FThread = thread;
    FSlave = slave;
    FMode = mode;
    FDifferences.clear();
    StartReading(mode == jmCompare ? FDrive.get() : FValues.get(), phReading);
    return true;
}

bool TnvConfigJob::StartImport(TnvMBThread* thread, int slave) {
    Stop();
    if (!thread)
        return false;
    FThread = thread;
    FSlave = slave;
    FMode = jmImport;
    FBackupFile.clear();
    FMismatches.clear();
    StartReading(FDrive.get(), phBackup);
    return true;
}

void TnvConfigJob::Stop() {
    Detach();
    FPhase = phIdle;
    ++FRun;
}

void TnvConfigJob::Attach(TnvParValueSet* set) {
    set->SetSlaveAddress(FSlave);
    FAttached = set;
    FThread->AddValueSet(set);
}

void TnvConfigJob::Detach() {
    TnvParValueSet* set = FAttached;
    FAttached = nullptr; // before the state change that detaching fires
    if (set && FThread)
        FThread->RemoveValueSet(set);
}

void TnvConfigJob::StartReading(TnvParValueSet* set, TPhase phase) {
    FPhase = phase;
    FDone = 0;
    FTotal = set->GetCountParBind();
    FStates.assign(static_cast<size_t>(FTotal), vsPending);
    for (const auto& value : set->GetValues()) {
        value->SetCyclic(true);
        value->SetWriteRequest(false);
    }
    Progress();
    Attach(set);
    if (FTotal == 0)
        Later([this] { FPhase == phBackup ? BackupComplete() : ReadComplete(); });
}

void TnvConfigJob::Received(TnvParValue* value) {
    if (FPhase == phIdle || value->GetOwner() != FAttached)
        return;
    const int position = Position(*FAttached, value);
    if (position < 0)
        return;
    TValueState& state = FStates[static_cast<size_t>(position)];
    // Before its write completed a value is not yet read back; after its
    // first reception a later one (the link read it again before its cyclic
    // flag went down) counts nothing.
    if (state == vsDone || (FPhase == phWriting && state != vsWritten))
        return;
    value->SetCyclic(false);
    state = vsDone;
    if (FPhase == phWriting) {
        const QString actual = ValueText(*value);
        if (value->GetBuffer() != FExpected[static_cast<size_t>(position)])
            FMismatches << QStringLiteral("Verify error: %1 (%2): written %3, read back %4")
                               .arg(value->GetParDef().Descr)
                               .arg(value->GetParDef().ParIndex)
                               .arg(FExpectedTexts[static_cast<size_t>(position)], actual);
    }
    ++FDone;
    Progress();
    if (FDone < FTotal)
        return;
    if (FPhase == phBackup)
        Later([this] { BackupComplete(); });
    else if (FPhase == phReading)
        Later([this] { ReadComplete(); });
    else
        Later([this] { VerifyComplete(); });
}

void TnvConfigJob::Written(TnvParValue* value) {
    if (FPhase != phWriting || value->GetOwner() != FAttached)
        return;
    const int position = Position(*FAttached, value);
    if (position < 0 || FStates[static_cast<size_t>(position)] != vsPending)
        return;
    FStates[static_cast<size_t>(position)] = vsWritten;
    ++FDone;
    Progress();
}

void TnvConfigJob::ExchangeFailed(int code) {
    Fail(kExchangeError + nv::ExchangeErrorText(code));
}

void TnvConfigJob::LinkLost() {
    // Without a link the thread reports no failure per value, only that the
    // set went idle: the job would wait for ever.
    if (FPhase == phIdle || !FThread || FThread->IsConnected())
        return;
    const int32_t code = FThread->LastError();
    Fail(kExchangeError + nv::ExchangeErrorText(code != 0 ? code : TnvMBThread::kLinkRefused));
}

void TnvConfigJob::ReadComplete() {
    if (FMode == jmExport) {
        QString error;
        if (!nv::SaveConfigFile(*FValues, FFileName, error)) {
            Log(error);
            Fail(QStringLiteral("Error: save to file failed!"));
            return;
        }
    } else if (FMode == jmCompare) {
        FDifferences = nv::CompareConfigs(*FDrive, *FValues);
    }
    Finish();
}

QString TnvConfigJob::BackupFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kx720/backups");
}

void TnvConfigJob::BackupComplete() {
    Detach();
    const QString folder = BackupFolder();
    const QString stem =
        QStringLiteral("%1/kx720-%2-slave%3")
            .arg(folder, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
            .arg(FSlave);
    QString path = stem + QStringLiteral(".720");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1-%2.720").arg(stem).arg(n);
    QString error = QStringLiteral("%1: cannot create the folder").arg(folder);
    if (!QDir().mkpath(folder) || !nv::SaveConfigFile(*FDrive, path, error)) {
        Log(error);
        Fail(QStringLiteral("Error: backup of the drive configuration failed; nothing imported."));
        return;
    }
    FBackupFile = path;
    Log(QStringLiteral("Backup of the drive configuration: ") + path);
    const std::uint16_t fileSize = SizeCode(*FValues);
    const std::uint16_t driveSize = SizeCode(*FDrive);
    if (fileSize != driveSize) {
        Log(QStringLiteral("Warning: Source drive size different from Destination drive size."));
        const std::uint32_t run = FRun;
        const bool stop = OnSizeDiffers && OnSizeDiffers(this, fileSize, driveSize);
        if (run != FRun || FPhase == phIdle)
            return; // ended while the question was open
        if (stop) {
            Fail(QStringLiteral("Warning: drive size difference. Stop by user."));
            return;
        }
    }
    StartWriting();
}

void TnvConfigJob::StartWriting() {
    FPhase = phWriting;
    FDone = 0;
    const auto& values = FValues->GetValues();
    FStates.assign(values.size(), vsDone);
    FExpected.assign(values.size(), {});
    FExpectedTexts.assign(values.size(), {});
    FTotal = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        TnvParValue& value = *values[i];
        // The drive-size code is compared by an import, never written.
        const bool written = value.GetParDef().ParIndex != nv::par::kSizeCode;
        // Cyclic as well: once the write is through, the next pass reads the
        // value back.
        value.SetCyclic(written);
        value.SetWriteRequest(written);
        if (!written)
            continue;
        FStates[i] = vsPending;
        FExpected[i] = value.GetBuffer();
        FExpectedTexts[i] = ValueText(value);
        FTotal += 2;
    }
    Progress();
    Attach(FValues.get());
    if (FTotal == 0)
        Later([this] { VerifyComplete(); });
}

void TnvConfigJob::VerifyComplete() {
    if (FMismatches.isEmpty()) {
        Finish();
        return;
    }
    for (const QString& line : FMismatches)
        Log(line);
    Fail(QStringLiteral("Error: import not verified, %1 of %2 values differ from the file.")
             .arg(FMismatches.size())
             .arg(FTotal / 2));
}

void TnvConfigJob::Log(const QString& line) {
    if (OnLog)
        OnLog(this, line);
}

void TnvConfigJob::Progress() {
    if (OnProgress)
        OnProgress(this, FPhase, FDone, FTotal);
}

void TnvConfigJob::Finish() {
    const TMode mode = FMode;
    Stop();
    QTimer::singleShot(0, &FContext, [this, mode] {
        if (OnDone)
            OnDone(this, mode);
    });
}

void TnvConfigJob::Fail(const QString& message) {
    if (FPhase == phIdle)
        return;
    Stop();
    QTimer::singleShot(0, &FContext, [this, message] {
        if (OnFail)
            OnFail(this, message);
    });
}

void TnvConfigJob::Later(std::function<void()> step) {
    const std::uint32_t run = FRun;
    QTimer::singleShot(0, &FContext, [this, run, step = std::move(step)] {
        if (run == FRun && FPhase != phIdle)
            step();
    });
}
