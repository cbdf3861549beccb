#include "TParDispatcher.h"

#include "NvDriveSize.h"
#include "TCOMModule.h"
#include "TFormScope.h"
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

namespace {

constexpr std::uint32_t kFirstStoredIndex = 30;
constexpr std::uint32_t kFirstScopeIndex = 1000;
constexpr std::uint32_t kLocalSlaveIndex = 10000;
constexpr std::uint16_t kRampMin = 1;
constexpr std::uint16_t kRampMax = 3000;

bool Bit(std::uint16_t word, int bit) {
    return (word >> bit) & 1U;
}

std::uint16_t WordOf(TnvParValue* v) {
    return v->GetValueUShort(0);
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

void TParDispatcher::Equip(TnvParValue* value) {
    value->OnReceive = [this](TnvParValue* v, bool) {
        DefaultReceive(v);
    };
    value->OnWritten = [this](TnvParValue* v) {
        WriteReport(v);
    };
    value->OnError = [this](TnvParValue* v, int code) {
        ExchangeErrorReport(v, code);
    };
    EquipByIndex(value, value->GetParDef().ParIndex);
}

void TParDispatcher::EquipByIndex(TnvParValue* v, std::uint32_t index) {
    if (index == 0 || index == 30 || index == kLocalSlaveIndex)
        EquipSlave(v, index);
    else if ((index >= 1 && index <= 3) || (index >= 22 && index <= 27))
        EquipStatus(v, index);
    else if (index >= 4 && index <= 17)
        EquipLimited(v, index);
    else if (index == 18 || index == 19 || index == 20 || index == 49)
        EquipDrive(v, index);
    else if (index >= kFirstScopeIndex && index <= kFirstScopeIndex + 3)
        // The scope window draws the samples; they stay cyclic while it shows.
        v->OnReceive = [](TnvParValue*, bool) {
        };
}

void TParDispatcher::EquipSlave(TnvParValue* v, std::uint32_t index) {
    if (index == 0) {
        v->OnReceive = [this](TnvParValue* s, bool) {
            SlaveReceived(s);
        };
        v->OnSetValue = [this](TnvParValue* s, bool changed) {
            SlaveEdited(s, changed);
        };
        v->OnWritten = [this](TnvParValue* s) {
            RemoteSlaveWritten(s);
        };
    } else if (index == 30) {
        v->OnReceive = [](TnvParValue* s, bool) {
            s->SetCyclic(false);
        };
        v->OnWritten = [this](TnvParValue* s) {
            StoredSlaveWritten(s);
        };
    } else {
        // Starts as the value set's address without a reaction.
        v->SetValueUShort(0, static_cast<std::uint16_t>(FModule.nvParValueSet.GetSlaveAddress()));
        v->OnSetValue = [this](TnvParValue* s, bool) {
            LocalSlaveEdited(s);
        };
    }
}

void TParDispatcher::EquipStatus(TnvParValue* v, std::uint32_t index) {
    switch (index) {
    case 1:
        v->OnReceive = [this](TnvParValue* s, bool changed) {
            HardwareInputs(s, changed);
        };
        break;
    case 2:
        v->OnReceive = [this](TnvParValue* s, bool) {
            CurrentFaults(s);
        };
        break;
    case 3:
        v->OnReceive = [this](TnvParValue*, bool) {
            SystemMode();
        };
        break;
    case 26:
        v->OnReceive = [this](TnvParValue* s, bool) {
            PreviousFaults(s);
        };
        break;
    case 27:
        v->OnReceive = [this](TnvParValue* s, bool) {
            SoftwareInputs(s);
        };
        v->OnSetValue = [this](TnvParValue* s, bool changed) {
            SendOnChange(s, changed);
        };
        break;
    default: // 22 to 25
        v->OnReceive = [this, index](TnvParValue* s, bool) {
            LiveValue(s, index);
        };
        break;
    }
}

void TParDispatcher::EquipLimited(TnvParValue* v, std::uint32_t index) {
    if (index <= 7) {
        v->OnReceive = [this, index](TnvParValue* s, bool) {
            PlateDataReceived(s, index);
        };
        v->OnSetValue = [this, index](TnvParValue* s, bool) {
            PlateDataLimits(s, index);
        };
    } else if (index <= 10) {
        v->OnReceive = [this](TnvParValue* s, bool) {
            VFVoltageReceived(s);
        };
        v->OnSetValue = [this, index](TnvParValue* s, bool) {
            VFVoltageLimits(s, index);
        };
    } else if (index <= 14) {
        v->OnReceive = [this, index](TnvParValue* s, bool) {
            VFFrequencyReceived(s, index);
        };
        v->OnSetValue = [this, index](TnvParValue* s, bool) {
            VFFrequencyLimits(s, index);
        };
    } else if (index == 15) {
        v->OnReceive = [this](TnvParValue* s, bool) {
            SetpointReceived(s);
        };
        v->OnSetValue = [this](TnvParValue* s, bool) {
            SetpointLimits(s);
        };
    } else {
        v->OnReceive = [this](TnvParValue* s, bool) {
            RampCheck(s);
        };
        v->OnSetValue = [this](TnvParValue* s, bool) {
            RampCheck(s);
        };
    }
}

void TParDispatcher::EquipDrive(TnvParValue* v, std::uint32_t index) {
    switch (index) {
    case 18:
        v->OnReceive = [this](TnvParValue* s, bool) {
            ControlModeReceived(s);
        };
        v->OnSetValue = [this](TnvParValue* s, bool changed) {
            SendOnChange(s, changed);
        };
        break;
    case 19:
        v->OnReceive = [this](TnvParValue* s, bool changed) {
            PwmIndex(s, changed);
        };
        v->OnSetValue = [this](TnvParValue* s, bool changed) {
            PwmIndex(s, changed);
        };
        break;
    case 20:
        v->OnReceive = [this](TnvParValue* s, bool changed) {
            DriveVoltageReceived(s, changed);
        };
        break;
    default: // 49
        v->OnReceive = [this](TnvParValue* s, bool changed) {
            SizeCodeReceived(s, changed);
        };
        break;
    }
}

// ---------------------------------------------------------------- every value

void TParDispatcher::DefaultReceive(TnvParValue* v) {
    // The analog reference keeps being read while the scope shows it.
    const bool scopeShowsReference = v->GetParDef().ParIndex == 21 && FormScope &&
                                     FormScope->isVisible() && !Bit(FModule.Word(18), 1);
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
    line += def.ParIndex >= kFirstStoredIndex ? QStringLiteral(" saved (EEPROM)")
                                              : QStringLiteral(" uploaded (RAM)");
    if (def.Readonly)
        line = QStringLiteral("Read only parameter #%1 uploaded!")
                   .arg(def.ParIndex, 3, 10, QLatin1Char('0'));
    Log(line);
}

void TParDispatcher::ExchangeErrorReport(TnvParValue*, int code) {
    Log(QStringLiteral("Error on ModBus data exchange: ") + TCOMModule::ExchangeErrorText(code));
}

// ---------------------------------------------------------------- slave address

void TParDispatcher::SlaveReceived(TnvParValue* v) {
    v->SetCyclic(false);
    MainForm->acSlaveAddr->setText(QStringLiteral("Slave: ") + v->GetValueNumText(0));
}

void TParDispatcher::SlaveEdited(TnvParValue* v, bool changed) {
    if (!changed)
        return;
    if (TnvParValue* stored = FModule.nvParValueSet.FindValue(30))
        stored->SetValueUShort(0, WordOf(v));
}

void TParDispatcher::RemoteSlaveWritten(TnvParValue* v) {
    Log(QStringLiteral("New ModBus slave address set to REMOTE: ") + v->GetValueNumText(0));
    if (TnvParValue* local = FModule.nvParValueSet.FindValue(kLocalSlaveIndex))
        local->SetValueUShort(0, WordOf(v));
}

void TParDispatcher::StoredSlaveWritten(TnvParValue* v) {
    Log(QStringLiteral("New ModBus slave address set to REMOTE EEPROM: ") + v->GetValueNumText(0));
    if (TnvParValue* working = FModule.nvParValueSet.FindValue(0))
        working->SetWriteRequest(true);
    v->SetCyclic(true);
}

void TParDispatcher::LocalSlaveEdited(TnvParValue* v) {
    FModule.nvParValueSet.SetSlaveAddress(WordOf(v));
    const QString text = v->GetValueNumText(0);
    Log(QStringLiteral("New ModBus slave address set to LOCAL: ") + text);
    MainForm->acSlaveAddr->setText(QStringLiteral("Slave: ") + text);
}

// ---------------------------------------------------------------- live state

void TParDispatcher::HardwareInputs(TnvParValue* v, bool changed) {
    if (!changed)
        return;
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < 3; ++bit)
        MainForm->cbHW[bit]->setChecked(Bit(word, bit));
}

void TParDispatcher::CurrentFaults(TnvParValue* v) {
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < TMainForm::kFaultBits; ++bit)
        MainForm->Fault_b[bit]->setChecked(Bit(word, bit));
}

void TParDispatcher::PreviousFaults(TnvParValue* v) {
    const std::uint16_t word = WordOf(v);
    for (int bit = 0; bit < TMainForm::kFaultBits; ++bit)
        MainForm->PreFault_b[bit]->setChecked(Bit(word, bit));
}

void TParDispatcher::SystemMode() {
    const bool faults = FModule.Word(2) != 0;
    const std::uint16_t status = FModule.Word(3);
    MainForm->cbMode_Stop->setChecked(!faults && status == 0);
    const bool running = !faults && Bit(status, 0);
    MainForm->cbMode_Run->setChecked(running);
    MainForm->cbMode_Fault->setChecked(!running && faults);
}

void TParDispatcher::LiveValue(TnvParValue* v, std::uint32_t index) {
    TLiveField* field = index == 22   ? MainForm->stDcBus
                        : index == 23 ? MainForm->stPhCurrent
                        : index == 24 ? MainForm->stFreq
                                      : MainForm->stPhVolt;
    field->SetText(v->GetValueNumText(0));
}

void TParDispatcher::SoftwareInputs(TnvParValue* v) {
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

void TParDispatcher::PlateDataReceived(TnvParValue* v, std::uint32_t index) {
    v->SetCyclic(false);
    PlateDataShow(v, index);
}

void TParDispatcher::PlateDataLimits(TnvParValue* v, std::uint32_t index) {
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    switch (index) {
    case 4:
        max = FModule.Word(20);
        break;
    case 5:
        max = FModule.Word(6);
        break;
    case 6:
        min = FModule.Word(5);
        max = nv::DriveMaxCurrent(FModule.Word(49));
        break;
    default: // 7
        min = 1;
        max = 5;
        break;
    }
    if (!Clamp(v, min, max))
        PlateDataShow(v, index);
}

void TParDispatcher::PlateDataShow(TnvParValue*, std::uint32_t) {
    // The plate data dialog, the V/F graph and the scope's current markers
    // show these values.
}

void TParDispatcher::VFVoltageReceived(TnvParValue* v) {
    v->SetCyclic(false);
}

void TParDispatcher::VFVoltageLimits(TnvParValue* v, std::uint32_t index) {
    const std::uint16_t min = index == 8 ? 0 : FModule.Word(index - 1);
    const std::uint16_t max = index == 10 ? FModule.Word(20) : FModule.Word(index + 1);
    Clamp(v, min, max);
}

void TParDispatcher::VFFrequencyReceived(TnvParValue* v, std::uint32_t index) {
    v->SetCyclic(false);
    VFFrequencyShow(v, index);
}

void TParDispatcher::VFFrequencyLimits(TnvParValue* v, std::uint32_t index) {
    std::uint16_t min = 0;
    std::uint16_t max = FModule.DriveMaxFrequency();
    switch (index) {
    case 11:
        max = FModule.Word(12);
        break;
    case 12:
        min = FModule.Word(11);
        break;
    case 13:
        max = static_cast<std::uint16_t>(FModule.Word(14) - 1);
        break;
    default: // 14
        min = static_cast<std::uint16_t>(FModule.Word(13) + 1);
        break;
    }
    if (!Clamp(v, min, max))
        VFFrequencyShow(v, index);
}

void TParDispatcher::VFFrequencyShow(TnvParValue* v, std::uint32_t index) {
    if (index == 13)
        MainForm->SetTrackBarRange(WordOf(v), MainForm->tbOmegaRef->maximum());
    else if (index == 14)
        MainForm->SetTrackBarRange(MainForm->tbOmegaRef->minimum(), WordOf(v));
}

void TParDispatcher::SetpointReceived(TnvParValue* v) {
    v->SetCyclic(false);
    SetpointShow(v);
}

void TParDispatcher::SetpointLimits(TnvParValue* v) {
    if (Clamp(v, FModule.Word(13), FModule.Word(14)))
        return;
    SetpointShow(v);
    v->SetWriteRequest(true);
}

void TParDispatcher::SetpointShow(TnvParValue* v) {
    MainForm->sgOmegaRef->SetCellText(1, 0, v->GetValueNumText(0));
    MainForm->SetTrackBarPosition(WordOf(v));
}

void TParDispatcher::RampCheck(TnvParValue* v) {
    v->SetCyclic(false);
    const std::uint16_t word = WordOf(v);
    if (word < kRampMin)
        v->SetValueUShort(0, kRampMin);
    else if (word > kRampMax)
        v->SetValueUShort(0, kRampMax);
}

// ---------------------------------------------------------------- drive

void TParDispatcher::ControlModeReceived(TnvParValue* v) {
    v->SetCyclic(false);
    ApplyControlMode(WordOf(v));
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

void TParDispatcher::PwmIndex(TnvParValue* v, bool changed) {
    v->SetCyclic(false);
    FModule.UpdateSizeInfo();
    if (changed) {
        // The derated limits may no longer hold the two currents.
        Revalidate(5);
        Revalidate(6);
    }
}

void TParDispatcher::DriveVoltageReceived(TnvParValue* v, bool changed) {
    v->SetCyclic(false);
    FModule.UpdateSizeInfo();
    if (changed)
        Revalidate(4);
}

void TParDispatcher::SizeCodeReceived(TnvParValue* v, bool changed) {
    v->SetCyclic(false);
    FModule.UpdateSizeInfo();
    if (changed) {
        Revalidate(5);
        Revalidate(6);
    }
}

void TParDispatcher::Revalidate(std::uint32_t index) {
    if (TnvParValue* value = FModule.nvParValueSet.FindValue(index))
        value->SetValueUShort(0, WordOf(value));
}

void TParDispatcher::Log(const QString& line) {
    MainForm->Log(line);
}
