#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

class TnvMBDeviceInfo;
class TnvMBThread;
class TnvParDefSet;
class TnvParValue;
class TnvParValueSet;

// Reads what a report shows from the drive once: every value of the
// categories "Ram", "EEProm" and "Flash" (the size code lives there) on a
// value set of its own, and the drive's identification. The link's other
// value sets keep running beside it.
//
// Threads: GUI thread only. The thread passed to Start must outlive the
// reading, or be destroyed before the reader (its identification request
// stays queued until answered).
class TnvReportReader {
public:
    // The values of the three categories of defs, for slave.
    TnvReportReader(TnvParDefSet& defs, int slaveAddress);
    // Detaches the value set from the thread.
    ~TnvReportReader();
    TnvReportReader(const TnvReportReader&) = delete;
    TnvReportReader& operator=(const TnvReportReader&) = delete;

    // Starts the reading on a connected thread; false when one runs already
    // or the definitions gave no values.
    bool Start(TnvMBThread& thread);
    // Stops the reading at once; no further event fires.
    void Cancel();
    // The thread has been destroyed under the reading: forgets it without
    // touching it; no further event fires.
    void Abandon();
    bool IsRunning() const { return FThread != nullptr; }

    // The values as read, and the identification ("" when the drive did not
    // answer it).
    TnvParValueSet& GetValueSet() const { return *FSet; }
    QString GetHardwareText() const { return FHardware; }
    QString GetFirmwareText() const { return FFirmware; }
    int GetTotal() const;

    // GUI thread, after each value read: how many of the total are in.
    std::function<void(TnvReportReader* sender, int done, int total)> OnProgress;
    // GUI thread: everything is in.
    std::function<void(TnvReportReader* sender)> OnReady;
    // GUI thread: a value could not be read (the exchange's status code);
    // the reading has stopped.
    std::function<void(TnvReportReader* sender, int32_t code)> OnFailed;

private:
    void Received(TnvParValue* value);
    void IdentDone(bool ok);
    void Failed(int32_t code);
    void Detach();

    std::unique_ptr<TnvParValueSet> FSet;
    std::unique_ptr<TnvMBDeviceInfo> FIdent;
    TnvMBThread* FThread = nullptr;
    bool FIdentPending = false;
    bool FIdentDone = false;
    int FDone = 0;
    std::set<TnvParValue*> FReceived;
    QString FHardware;
    QString FFirmware;
};
