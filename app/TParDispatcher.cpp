#include "TParDispatcher.h"

#include "NvDriveSize.h"
#include "NvParIndex.h"
#include "TCOMModule.h"
#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TFormScope.h"
#include "TFormVFChart.h"
#include "TLampBox.h"
#include "TLiveField.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TValueGrid.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>
#include <exception>
#include <span>

namespace {

using namespace nv::par;
using D = TParDispatcher;

constexpr std::uint16_t kRampMin = 1;
constexpr std::uint16_t kRampMax = 3000;
// The addresses of one drive on a Modbus line.
constexpr std::uint16_t kFirstUnicastSlave = 1;
constexpr std::uint16_t kLastUnicastSlave = 247;

bool Bit(std::uint16_t word, int bit) {
    return (word >> bit) & 1U;
}

std::uint16_t WordOf(TnvParValue* v) {
    return v->GetValueUShort(0);
}

std::uint32_t IndexOf(TnvParValue* v) {
    return v->GetParDef().ParIndex;
}

} // namespace

TParDispatcher::TParDispatcher(TPARModule& module)
    : FModule(module) {}

void TParDispatcher::CreateValues() {
    for (const QString& category : TPARModule::Categories()) {
        bool created = false;
        try {
            created = FModule.nvParValueSet.AddParBindsCategory(&FModule.nvParDefSet, category);
        } catch (const std::exception&) {
            // The definitions' loading has logged why the list is bad.
        }
        if (!created)
            Log(QStringLiteral("Error on parameters creation."));
    }
}

// What every value does, by index. Receive: a reading arrived from the drive;
// Change: the value was set locally (raised again when a limit replaces the
// word); Written: its write completed; Show: what the dialogs, the V/F chart
// and the scope show of it (also run when a window shows all values).
// An empty cell: default receive, no change reaction, write report, nothing.
std::span<const TParDispatcher::TReaction> TParDispatcher::Reactions() {
    static const TReaction kReactions[] = {
        // clang-format off
        // indices                        Receive                   Change               Written                  Show
        {kSlave, kSlave,                  &D::SlaveReceived,        &D::SlaveEdited,     &D::RemoteSlaveWritten,  &D::ShowSlave},
        {kHardwareInputs, kHardwareInputs, &D::HardwareInputs,      nullptr,             nullptr,                 nullptr},
        {kFaults, kFaults,                &D::CurrentFaults,        nullptr,             nullptr,                 nullptr},
        {kStatus, kStatus,                &D::SystemMode,           nullptr,             nullptr,                 nullptr},
        {kMainVoltage, kMaxCurrentTime,   &D::PlateDataReceived,    &D::PlateDataLimits, nullptr,                 &D::PlateDataShow},
        {kStartVoltage, kBaseVoltage,     &D::VFVoltageReceived,    &D::VFVoltageLimits, nullptr,                 &D::VFShow},
        {kBoostFrequency, kMaxFrequency,  &D::VFFrequencyReceived,  &D::VFFrequencyLimits, nullptr,               &D::VFShow},
        {kSetpoint, kSetpoint,            &D::SetpointReceived,     &D::SetpointLimits,  nullptr,                 nullptr},
        {kAccelTime, kDecelTime,          &D::RampCheck,            &D::RampCheck,       nullptr,                 &D::RampShow},
        {kControlMode, kControlMode,      &D::ControlModeReceived,  &D::SendOnChange,    nullptr,                 &D::ControlModeShow},
        {kPwmIndex, kPwmIndex,            &D::PwmIndex,             &D::PwmIndex,        nullptr,                 &D::PwmShow},
        {kDriveVoltage, kDriveVoltage,    &D::DriveVoltageReceived, nullptr,             nullptr,                 &D::SizeShow},
        {kDcBus, kMotorVoltage,           &D::LiveValue,            nullptr,             nullptr,                 nullptr},
        {kPreviousFaults, kPreviousFaults, &D::PreviousFaults,      nullptr,             nullptr,                 nullptr},
        {kSoftwareInputs, kSoftwareInputs, &D::SoftwareInputs,      &D::SendOnChange,    nullptr,                 nullptr},
        {kStoredSlave, kStoredSlave,      &D::StoredSlaveReceived,  nullptr,             &D::StoredSlaveWritten,  &D::ShowSlave},
        {kSizeCode, kSizeCode,            &D::SizeCodeReceived,     nullptr,             nullptr,                 &D::SizeShow},
        {kScopeDcBus, kScopeVoltage,      &D::ScopeFeed,            nullptr,             nullptr,                 nullptr},
        {kLocalSlave, kLocalSlave,        nullptr,                  &D::LocalSlaveEdited, nullptr,                &D::ShowSlave},
        // clang-format on
    };
    return kReactions;
}

const TParDispatcher::TReaction* TParDispatcher::Find(std::uint32_t index) {
    const std::span<const TReaction> table = Reactions();
    const auto row = std::find_if(table.begin(), table.end(), [index](const TReaction& r) {
        return index >= r.First && index <= r.Last;
    });
    return row == table.end() ? nullptr : &*row;
}

void TParDispatcher::Equip(TnvParValue* value) {
    const std::uint32_t index = IndexOf(value);
    const TReaction none{index, index, nullptr, nullptr, nullptr, nullptr};
    const TReaction& row = Find(index) ? *Find(index) : none;
    const TEvent receive = row.Receive ? row.Receive : &D::DefaultReceive;
    const TAction written = row.Written ? row.Written : &D::WriteReport;
    value->OnReceive = [this, receive](TnvParValue* v, bool changed) {
        (this->*receive)(v, changed);
    };
    value->OnWritten = [this, written](TnvParValue* v) {
        (this->*written)(v);
    };
    value->OnError = [this](TnvParValue* v, int code) {
        ExchangeErrorReport(v, code);
    };
    // The local address starts as the value set's, without a reaction.
    if (index == kLocalSlave)
        value->SetValueUShort(0,
                              static_cast<std::uint16_t>(FModule.nvParValueSet.GetSlaveAddress()));
    if (const TEvent change = row.Change) {
        value->OnSetValue = [this, change](TnvParValue* v, bool changed) {
            (this->*change)(v, changed);
        };
    }
}

void TParDispatcher::ShowAll() {
    for (const TReaction& row : Reactions()) {
        if (!row.Show)
            continue;
        for (std::uint32_t index = row.First; index <= row.Last; ++index)
            if (TnvParValue* value = FModule.nvParValueSet.FindValue(index))
                (this->*row.Show)(value);
    }
}

// ---------------------------------------------------------------- every value

void TParDispatcher::DefaultReceive(TnvParValue* v, bool) {
    // The analog reference keeps being read while the scope shows it.
    const bool scopeShowsReference = IndexOf(v) == kAnalogReference && FormScope &&
                                     FormScope->isVisible() && !Bit(FModule.Word(kControlMode), 1);
    if (!scopeShowsReference)
        v->SetCyclic(false);
}

void TParDispatcher::WriteReport(TnvParValue* v) {
    const TnvParDef& def = v->GetParDef();
    QString line = def.Name;
    if (def.Type == TnvParDef::tpBits) {
        for (std::uint8_t i = 0; i < def.Length; ++i)
            line += QStringLiteral(" 0x") + QString::number(v->GetValueUShort(i), 16)
                                                .toUpper()
                                                .rightJustified(4, QLatin1Char('0'));
    } else {
        line += QLatin1Char(' ') + v->GetValueNumText(0);
    }
    line += def.ParIndex >= kFirstStored ? QStringLiteral(" saved (EEPROM)")
                                         : QStringLiteral(" uploaded (RAM)");
    if (def.Readonly)
        line = QStringLiteral("Read only parameter #%1 uploaded!")
                   .arg(def.ParIndex, 3, 10, QLatin1Char('0'));
    Log(line);
}

void TParDispatcher::ExchangeErrorReport(TnvParValue*, int code) {
    TCOMModule::LogExchangeError(QStringLiteral("Error on ModBus data exchange: "), code);
}

// ---------------------------------------------------------------- slave address

void TParDispatcher::SlaveReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    ShowSlave(v);
    MainForm->acSlaveAddr->setText(QStringLiteral("Slave: ") + v->GetValueNumText(0));
}

void TParDispatcher::SlaveEdited(TnvParValue* v, bool changed) {
    if (!changed)
        return;
    ShowSlave(v);
    if (TnvParValue* stored = FModule.nvParValueSet.FindValue(kStoredSlave))
        stored->SetValueUShort(0, WordOf(v));
}

void TParDispatcher::RemoteSlaveWritten(TnvParValue* v) {
    Log(QStringLiteral("New ModBus slave address set to REMOTE: ") + v->GetValueNumText(0));
    if (TnvParValue* local = FModule.nvParValueSet.FindValue(kLocalSlave))
        local->SetValueUShort(0, WordOf(v));
}

void TParDispatcher::StoredSlaveReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    ShowSlave(v);
}

void TParDispatcher::StoredSlaveWritten(TnvParValue* v) {
    Log(QStringLiteral("New ModBus slave address set to REMOTE EEPROM: ") + v->GetValueNumText(0));
    if (TnvParValue* working = FModule.nvParValueSet.FindValue(kSlave))
        working->SetWriteRequest(true);
    v->SetCyclic(true);
}

void TParDispatcher::LocalSlaveEdited(TnvParValue* v, bool) {
    // The address goes on the wire as one byte: 0 is heard by every drive on
    // the line, and a larger word would be cut to another drive's address.
    if (Clamp(v, kFirstUnicastSlave, kLastUnicastSlave))
        return;
    FModule.nvParValueSet.SetSlaveAddress(WordOf(v));
    ShowSlave(v);
    const QString text = v->GetValueNumText(0);
    Log(QStringLiteral("New ModBus slave address set to LOCAL: ") + text);
    MainForm->acSlaveAddr->setText(QStringLiteral("Slave: ") + text);
}

void TParDispatcher::ShowSlave(TnvParValue* v) {
    if (FormModBus)
        FormModBus->ShowAddress(IndexOf(v));
}

// ---------------------------------------------------------------- live state

void TParDispatcher::HardwareInputs(TnvParValue* v, bool changed) {
    if (!changed)
        return;
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < 3; ++bit)
        MainForm->cbHW[bit]->setChecked(Bit(word, bit));
}

void TParDispatcher::CurrentFaults(TnvParValue* v, bool) {
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < TMainForm::kFaultBits; ++bit)
        MainForm->Fault_b[bit]->setChecked(Bit(word, bit));
    if (FormScope)
        FormScope->FaultWordReceived(word);
}

void TParDispatcher::PreviousFaults(TnvParValue* v, bool) {
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < TMainForm::kFaultBits; ++bit)
        MainForm->PreFault_b[bit]->setChecked(Bit(word, bit));
}

void TParDispatcher::SystemMode(TnvParValue*, bool) {
    const bool faults = FModule.Word(kFaults) != 0;
    const std::uint16_t status = FModule.Word(kStatus);
    MainForm->cbMode_Stop->setChecked(!faults && status == 0);
    const bool running = !faults && Bit(status, 0);
    MainForm->cbMode_Run->setChecked(running);
    MainForm->cbMode_Fault->setChecked(!running && faults);
}

void TParDispatcher::LiveValue(TnvParValue* v, bool) {
    const std::uint32_t index = IndexOf(v);
    TLiveField* field = index == kDcBus             ? MainForm->stDcBus
                        : index == kPhaseCurrent    ? MainForm->stPhCurrent
                        : index == kOutputFrequency ? MainForm->stFreq
                                                    : MainForm->stPhVolt;
    field->SetText(v->GetValueNumText(0));
}

void TParDispatcher::SoftwareInputs(TnvParValue* v, bool) {
    v->SetCyclic(false);
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < 3; ++bit)
        MainForm->cbSW[bit]->setChecked(Bit(word, bit));
}

void TParDispatcher::SendOnChange(TnvParValue* v, bool changed) {
    if (!changed)
        return;
    // Written, then read back: the read-back's reaction refreshes the controls.
    v->SetWriteRequest(true);
    v->SetCyclic(true);
}

void TParDispatcher::ScopeFeed(TnvParValue* v, bool) {
    // The samples stay cyclic: the scope switches them off when it closes.
    if (FormScope)
        FormScope->ScopeFeed(v);
}

// ---------------------------------------------------------------- limits

bool TParDispatcher::Clamp(TnvParValue* v, std::uint16_t min, std::uint16_t max) {
    // With the minimum above the maximum the maximum wins; testing the
    // minimum too would set the two limits in turn without end.
    min = std::min(min, max);
    const std::uint16_t word = WordOf(v);
    if (word > max)
        v->SetValueUShort(0, max);
    else if (word < min)
        v->SetValueUShort(0, min);
    else
        return false;
    return true;
}

void TParDispatcher::PlateDataReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    PlateDataShow(v);
}

void TParDispatcher::PlateDataLimits(TnvParValue* v, bool) {
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    switch (IndexOf(v)) {
    case kMainVoltage:
        max = FModule.Word(kDriveVoltage);
        break;
    case kNominalCurrent:
        max = FModule.Word(kMaxCurrent);
        break;
    case kMaxCurrent:
        min = FModule.Word(kNominalCurrent);
        max = nv::DriveMaxCurrent(FModule.Word(kSizeCode));
        break;
    default: // the time at maximum current
        min = 1;
        max = 5;
        break;
    }
    if (!Clamp(v, min, max))
        PlateDataShow(v);
}

void TParDispatcher::PlateDataShow(TnvParValue* v) {
    const std::uint32_t index = IndexOf(v);
    // The chart's voltage axis follows the main voltage.
    if (index == kMainVoltage && WordOf(v) != 0 && FormVFChart)
        FormVFChart->UpdateChart();
    if ((index == kNominalCurrent || index == kMaxCurrent) && FormScope)
        FormScope->ShowCurrentLimit(index, v->GetValueDouble(0));
    if (FormPlateData)
        FormPlateData->ShowPlateData(index);
}

void TParDispatcher::VFVoltageReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    VFShow(v);
}

void TParDispatcher::VFVoltageLimits(TnvParValue* v, bool) {
    const std::uint32_t index = IndexOf(v);
    const std::uint16_t min = index == kStartVoltage ? 0 : FModule.Word(index - 1);
    const std::uint16_t max =
        index == kBaseVoltage ? FModule.Word(kDriveVoltage) : FModule.Word(index + 1);
    if (!Clamp(v, min, max))
        VFShow(v);
}

void TParDispatcher::VFFrequencyReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    VFTrackBar(v);
    VFShow(v);
}

void TParDispatcher::VFFrequencyLimits(TnvParValue* v, bool) {
    std::uint16_t min = 0;
    std::uint16_t max = FModule.DriveMaxFrequency();
    switch (IndexOf(v)) {
    case kBoostFrequency:
        max = FModule.Word(kBaseFrequency);
        break;
    case kBaseFrequency:
        min = FModule.Word(kBoostFrequency);
        break;
    case kMinFrequency:
        max = static_cast<std::uint16_t>(FModule.Word(kMaxFrequency) - 1);
        break;
    default: // the maximum frequency
        min = static_cast<std::uint16_t>(FModule.Word(kMinFrequency) + 1);
        break;
    }
    if (Clamp(v, min, max))
        return;
    VFTrackBar(v);
    VFShow(v);
}

void TParDispatcher::VFTrackBar(TnvParValue* v) {
    if (IndexOf(v) == kMinFrequency)
        MainForm->SetTrackBarRange(WordOf(v), MainForm->tbOmegaRef->maximum());
    else if (IndexOf(v) == kMaxFrequency)
        MainForm->SetTrackBarRange(MainForm->tbOmegaRef->minimum(), WordOf(v));
}

void TParDispatcher::VFShow(TnvParValue* v) {
    if (FormVFChart)
        FormVFChart->ShowValue(IndexOf(v));
}

void TParDispatcher::SetpointReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    SetpointToMainWindow(v);
}

void TParDispatcher::SetpointLimits(TnvParValue* v, bool) {
    if (Clamp(v, FModule.Word(kMinFrequency), FModule.Word(kMaxFrequency)))
        return;
    SetpointToMainWindow(v);
    v->SetWriteRequest(true);
}

void TParDispatcher::SetpointToMainWindow(TnvParValue* v) {
    MainForm->sgOmegaRef->SetCellText(1, 0, v->GetValueNumText(0));
    MainForm->SetTrackBarPosition(WordOf(v));
}

void TParDispatcher::RampCheck(TnvParValue* v, bool) {
    v->SetCyclic(false);
    const std::uint16_t word = WordOf(v);
    if (word < kRampMin)
        v->SetValueUShort(0, kRampMin);
    else if (word > kRampMax)
        v->SetValueUShort(0, kRampMax);
    else
        RampShow(v);
}

void TParDispatcher::RampShow(TnvParValue* v) {
    if (FormAccel)
        FormAccel->ShowRamp(IndexOf(v));
}

// ---------------------------------------------------------------- drive

void TParDispatcher::ControlModeReceived(TnvParValue* v, bool) {
    v->SetCyclic(false);
    ApplyControlMode(WordOf(v));
    ControlModeShow(v);
}

void TParDispatcher::ApplyControlMode(std::uint16_t word) {
    TMainForm& main = *MainForm;
    main.ShowCommandSources(Bit(word, 1), Bit(word, 2));
    QString enable = Bit(word, 3) ? QStringLiteral("Drive enable") : QStringLiteral("Move forward");
    if (!Bit(word, 3))
        enable += Bit(word, 4) ? QStringLiteral(" (L->H edge)") : QStringLiteral(" (H level)");
    const QString reverse =
        Bit(word, 3) ? QStringLiteral("Reverse") : QStringLiteral("Move reverse");
    const QString reset =
        Bit(word, 5) ? QStringLiteral("Reset (L->H edge)") : QStringLiteral("Reset (H level)");
    const QString captions[3] = {enable, reverse, reset};
    for (int i = 0; i < 3; ++i) {
        main.SetCaption(main.cbHW[i], captions[i]);
        main.SetCaption(main.cbSW[i], captions[i]);
    }
}

void TParDispatcher::ControlModeShow(TnvParValue* v) {
    if (FormCtrlMode)
        FormCtrlMode->ShowControlMode(WordOf(v));
    if (FormVFChart)
        FormVFChart->UpdateChart();
}

void TParDispatcher::PwmIndex(TnvParValue* v, bool changed) {
    v->SetCyclic(false);
    PwmShow(v);
    if (changed) {
        // The derated limits may no longer hold the two currents.
        Revalidate(kNominalCurrent);
        Revalidate(kMaxCurrent);
    }
}

void TParDispatcher::PwmShow(TnvParValue* v) {
    if (FormPlateData)
        FormPlateData->ShowPwm(WordOf(v));
    SizeShow(v);
}

void TParDispatcher::DriveVoltageReceived(TnvParValue* v, bool changed) {
    v->SetCyclic(false);
    SizeShow(v);
    if (changed)
        Revalidate(kMainVoltage);
}

void TParDispatcher::SizeCodeReceived(TnvParValue* v, bool changed) {
    v->SetCyclic(false);
    SizeShow(v);
    if (changed) {
        Revalidate(kNominalCurrent);
        Revalidate(kMaxCurrent);
    }
}

void TParDispatcher::SizeShow(TnvParValue*) {
    if (FormPlateData)
        FormPlateData->ShowSizeInfo();
    if (FormVFChart)
        FormVFChart->SetFrequencyRange(FModule.DriveMaxFrequency());
}

void TParDispatcher::Revalidate(std::uint32_t index) {
    if (TnvParValue* value = FModule.nvParValueSet.FindValue(index))
        value->SetValueUShort(0, WordOf(value));
}

void TParDispatcher::Log(const QString& line) {
    MainForm->Log(line);
}
