#include "TFormCtrlMode.h"

#include "NvGuard.h"
#include "NvParIndex.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct TFlagRow {
    const char* Name;
    const char* Label;
    const char* Item0;
    const char* Item1;
};

constexpr TFlagRow kFlagRows[TFormCtrlMode::kFlags] = {
    {"cbBrake", "Brake mode:", "Free wheel", "Deceleration ramp"},
    {"cbOmegaRef", "Frequency setpoint source:", "ANALOG input (0-10V)",
     "DIGITAL value from ModBus"},
    {"cbInput", "Input command source:", "HARDWARE digital inputs", "SOFTWARE control from ModBus"},
    {"cbEnableSource", "Drive enable mode:", "Forward / Reverse", "Enable + Direction"},
    {"cbEnableMode", "Drive enable input mode:", "LEVEL triggered (if hight enabled)",
     "EDGE triggered (require low-high transition)"},
    {"cbResetMode", "Error reset input mode:", "LEVEL triggered (if high enabled)",
     "EDGE triggered (require low-high transition)"},
    {"cbThSwitch", "Protection switch input:", "ENABLED", "DISABLED"},
};

} // namespace

TFormCtrlMode::TFormCtrlMode(QWidget* parent)
    : TParamDialog(parent, QStringLiteral("FormCtrlMode"), QStringLiteral("Control mode setup")) {
    auto* group = new QGroupBox(QStringLiteral("Control mode flags"), this);
    group->setObjectName(QStringLiteral("gbCtrlMode"));
    auto* form = new QFormLayout(group);
    for (int bit = 0; bit < kFlags; ++bit) {
        const TFlagRow& row = kFlagRows[bit];
        auto* list = new QComboBox(group);
        list->setObjectName(QString::fromLatin1(row.Name));
        list->setProperty("Tag", bit);
        list->addItems({QString::fromLatin1(row.Item0), QString::fromLatin1(row.Item1)});
        list->setAccessibleName(QString::fromLatin1(row.Label));
        // A choice is written to the drive at once: the wheel, turned to
        // scroll past the lists, must not choose (nor take the focus to).
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(this);
        auto* label = new QLabel(QString::fromLatin1(row.Label), group);
        label->setObjectName(QString::fromLatin1(row.Name).replace(0, 2, QStringLiteral("lb")));
        label->setBuddy(list);
        form->addRow(label, list);
        // Only the operator's choice writes; showing the drive's word does not.
        connect(list, &QComboBox::activated, this,
                [this, list] { nv::Guarded([this, list] { cbCtrlModeChange(list); }); });
        cbFlags[static_cast<std::size_t>(bit)] = list;
    }
    cbBrake = cbFlags[0];
    cbOmegaRef = cbFlags[1];
    cbInput = cbFlags[2];
    cbEnableSource = cbFlags[3];
    cbEnableMode = cbFlags[4];
    cbResetMode = cbFlags[5];
    cbThSwitch = cbFlags[6];
    cbBrake->setToolTip(QStringLiteral("Select deceleration mode"));
    Body()->addWidget(group);
    btnSaveCtrlMode = AddBottomButton(QStringLiteral("Save"), QStringLiteral("btnSaveCtrlMode"),
                                      [this] { btnSaveClick(); });
    NameForAccessibility();
    ShowControlMode(PARModule->Word(nv::par::kControlMode));
}

void TFormCtrlMode::ShowControlMode(std::uint16_t word) {
    for (QComboBox* list : cbFlags)
        list->setCurrentIndex((word >> list->property("Tag").toInt()) & 1U);
}

void TFormCtrlMode::btnUpdateClick() {
    SetCyclic({nv::par::kControlMode}, true);
}

void TFormCtrlMode::FormClose() {
    SetCyclic({nv::par::kControlMode}, false);
}

void TFormCtrlMode::cbCtrlModeChange(QComboBox* sender) {
    if (TnvParValue* mode = PARModule->nvParValueSet.FindValue(nv::par::kControlMode))
        mode->SetValueBit(0, static_cast<std::uint8_t>(sender->property("Tag").toInt()),
                          sender->currentIndex() != 0);
}

bool TFormCtrlMode::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        const auto* list = qobject_cast<QComboBox*>(watched);
        if (list && !list->hasFocus()) {
            event->ignore();
            return true;
        }
    }
    return TParamDialog::eventFilter(watched, event);
}

void TFormCtrlMode::btnSaveClick() {
    SaveParam(nv::par::kControlMode);
}
