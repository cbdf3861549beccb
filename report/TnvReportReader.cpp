#include "TnvReportReader.h"

#include "TnvMBDeviceInfo.h"
#include "TnvMBThread.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

namespace {
const char* const kCategories[] = {"Ram", "EEProm", "Flash"};
}

TnvReportReader::TnvReportReader(TnvParDefSet& defs, int slaveAddress)
    : FSet(std::make_unique<TnvParValueSet>())
    , FIdent(std::make_unique<TnvMBDeviceInfo>(static_cast<std::uint8_t>(slaveAddress))) {
    FSet->SetName(QStringLiteral("Report"));
    FSet->SetSlaveAddress(slaveAddress);
    for (const char* category : kCategories)
        FSet->AddParBindsCategory(&defs, QString::fromLatin1(category));
    for (const auto& value : FSet->GetValues()) {
        value->OnReceive = [this](TnvParValue* v, bool) {
            v->SetCyclic(false);
            Received(v);
        };
        value->OnError = [this](TnvParValue*, int code) {
            Failed(code);
        };
    }
    FIdent->OnResponse = [this](TnvMBDeviceInfo* info) {
        IdentDone(info->Valid);
    };
    FIdent->OnError = [this](TnvMBDeviceInfo*) {
        IdentDone(false);
    };
}

TnvReportReader::~TnvReportReader() {
    Detach();
    // A request still queued on a live thread would be answered into freed
    // memory; leave it to the thread rather than risk that.
    if (FIdentPending)
        static_cast<void>(FIdent.release());
}

int TnvReportReader::GetTotal() const {
    return FSet->GetCountParBind();
}

bool TnvReportReader::Start(TnvMBThread& thread) {
    if (FThread || FSet->GetCountParBind() == 0 || FIdentPending)
        return false;
    FThread = &thread;
    FDone = 0;
    FReceived.clear();
    FIdentDone = false;
    FHardware.clear();
    FFirmware.clear();
    FIdentPending = true;
    thread.AddUserFunc(FIdent.get());
    for (const auto& value : FSet->GetValues())
        value->SetCyclic(true);
    thread.AddValueSet(FSet.get());
    if (OnProgress)
        OnProgress(this, 0, GetTotal());
    return true;
}

void TnvReportReader::Cancel() {
    Detach();
}

void TnvReportReader::Abandon() {
    FThread = nullptr;
    // A destroyed thread answers no request.
    FIdentPending = false;
}

void TnvReportReader::Detach() {
    if (!FThread)
        return;
    FThread->RemoveValueSet(FSet.get());
    for (const auto& value : FSet->GetValues())
        value->SetCyclic(false);
    FThread = nullptr;
}

void TnvReportReader::Received(TnvParValue* value) {
    // A read already on the wire when the value stopped being cyclic comes
    // in twice; count each value once.
    if (!FThread || !FReceived.insert(value).second)
        return;
    ++FDone;
    if (OnProgress)
        OnProgress(this, FDone, GetTotal());
    if (FDone >= GetTotal() && FIdentDone) {
        Detach();
        if (OnReady)
            OnReady(this);
    }
}

void TnvReportReader::IdentDone(bool ok) {
    FIdentPending = false;
    if (!FThread)
        return;
    FIdentDone = true;
    if (ok) {
        FHardware = FIdent->HardwareVersionText();
        FFirmware = FIdent->FirmwareVersionText();
    }
    if (FDone >= GetTotal()) {
        Detach();
        if (OnReady)
            OnReady(this);
    }
}

void TnvReportReader::Failed(int32_t code) {
    if (!FThread)
        return;
    Detach();
    if (OnFailed)
        OnFailed(this, code);
}
