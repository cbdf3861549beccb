#pragma once

#include "NvConfigFile.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TnvMBThread;
class TnvParDefSet;
class TnvParValue;
class TnvParValueSet;

// Copies a whole drive configuration between the drive and a ".720" file,
// reads it for the printed report, or compares it with a file: the work of
// the configuration window and of the command line's file commands, on the
// parameters of the category "ExportFile".
//
// A job borrows a running exchange thread: it attaches its own value set for
// the job's duration and detaches it when the job ends. Every job that
// started ends with exactly one of OnDone and OnFail, raised from the event
// loop (never from inside the Start call or a value's event), after the set
// is detached.
//
// An import first backs the drive's configuration up to a file, then writes
// every value but the drive size, reads each back and compares it with what
// was written; it succeeds only when all match.
//
// GUI thread only: the values' events run there.
class TnvConfigJob {
public:
    enum TMode : std::uint8_t {
        jmNone = 0,
        jmImport = 1,
        jmExport = 2,
        jmPrint = 3,
        jmCompare = 4,
    };
    // What a job is busy with, for a progress display.
    enum TPhase : std::uint8_t {
        phIdle,
        phBackup,  // reading the drive before an import
        phReading, // reading the drive
        phWriting, // writing the file's values and reading them back
    };

    TnvConfigJob();
    // Detaches the set from the thread of a running job, without events.
    ~TnvConfigJob();
    TnvConfigJob(const TnvConfigJob&) = delete;
    TnvConfigJob& operator=(const TnvConfigJob&) = delete;

    // Loads the definitions file and the values of the category "ExportFile".
    // Returns the failure's text ("Error loading parameters definitions.",
    // "Error, parameter not found: 12", "Error on parameters creation.") or
    // an empty text.
    QString Load(const QString& folder, const QString& fileName);

    // The job's values: what an export or print read, what an import took
    // from the file; and the drive's as the last backup or compare read them.
    TnvParValueSet& Values() const { return *FValues; }
    TnvParValueSet& DriveValues() const { return *FDrive; }
    int ValueCount() const;

    // Reads a ".720" file into Values(): version warning lines go to OnLog;
    // a missing key, a value that is not an integer or one out of range
    // raises the conversion error (TnvConvertError), an unreadable file
    // TnvError with the reason. Nothing is sent.
    void LoadFile(const QString& fileName);

    // Starts a job on thread for slave; false when there is no thread (then
    // no event follows). Export reads every value and writes fileName;
    // print and compare read every value (compare after LoadFile, into
    // DriveValues()); import writes what LoadFile read.
    bool StartExport(TnvMBThread* thread, int slave, const QString& fileName);
    bool StartRead(TnvMBThread* thread, int slave, TMode mode);
    bool StartImport(TnvMBThread* thread, int slave);
    // Ends a running job at once, detaching its set; no event follows.
    void Stop();
    bool IsRunning() const { return FPhase != phIdle; }
    TMode GetMode() const { return FMode; }
    TPhase GetPhase() const { return FPhase; }

    // Where the import's automatic backups go:
    // ${XDG_DATA_HOME:-~/.local/share}/kx720/backups.
    static QString BackupFolder();
    // The backup file of the last import that made one.
    QString GetBackupFile() const { return FBackupFile; }
    // The differences the last compare found.
    const std::vector<nv::TConfigDifference>& Differences() const { return FDifferences; }

    // Events, raised on the GUI thread when assigned.
    std::function<void(TnvConfigJob* sender, const QString& line)> OnLog;
    std::function<void(TnvConfigJob* sender, TPhase phase, int done, int total)> OnProgress;
    // The file's drive size differs from the drive's (after the warning line);
    // answering true stops the import. Unassigned: the import goes on.
    std::function<bool(TnvConfigJob* sender, std::uint16_t fileSize, std::uint16_t driveSize)>
        OnSizeDiffers;
    std::function<void(TnvConfigJob* sender, TMode mode)> OnDone;
    std::function<void(TnvConfigJob* sender, const QString& message)> OnFail;

private:
    void HookValue(TnvParValue* value);
    void Attach(TnvParValueSet* set);
    void Detach();
    void StartReading(TnvParValueSet* set, TPhase phase);
    void Received(TnvParValue* value);
    void Written(TnvParValue* value);
    void ExchangeFailed(int code);
    void LinkLost();
    void ReadComplete();
    void BackupComplete();
    void StartWriting();
    void VerifyComplete();
    void Log(const QString& line);
    void Progress();
    void Finish();
    void Fail(const QString& message);
    // Runs step from the event loop, unless the job has ended meanwhile.
    void Later(std::function<void()> step);

    std::unique_ptr<TnvParDefSet> FDefs;
    std::unique_ptr<TnvParValueSet> FValues;
    std::unique_ptr<TnvParValueSet> FDrive;
    QObject FContext; // owns the queued steps; dropping them with the job
    TnvMBThread* FThread = nullptr;
    TnvParValueSet* FAttached = nullptr;
    int FSlave = 0;
    TMode FMode = jmNone;
    TPhase FPhase = phIdle;
    std::uint32_t FRun = 0; // tells a queued step of an earlier job apart
    QString FFileName;
    QString FBackupFile;
    int FDone = 0;
    int FTotal = 0;
    // Per position in the attached set: what has happened to the value in
    // this phase, and for an import what was written.
    enum TValueState : std::uint8_t { vsPending, vsWritten, vsDone };
    std::vector<TValueState> FStates;
    std::vector<std::vector<std::uint8_t>> FExpected;
    std::vector<QString> FExpectedTexts;
    QStringList FMismatches;
    std::vector<nv::TConfigDifference> FDifferences;
};
