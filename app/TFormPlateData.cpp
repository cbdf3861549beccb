#include "TFormPlateData.h"

#include "NvGuard.h"
#include "NvParIndex.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <utility>

namespace {

using namespace nv::par;

} // namespace

TFormPlateData::TFormPlateData(QWidget* parent)
    : TParamDialog(parent, QStringLiteral("FormPlateData"), QStringLiteral("Motor main setup")) {
    CreateSizeInfo();
    CreatePlateData();
    CreatePwm();
    btnSendAll = AddBottomButton(QStringLiteral("Send All"), QStringLiteral("btnSendAll"),
                                 [this] { btnSendAllClick(); });
    btnSaveAll = AddBottomButton(QStringLiteral("Save All"), QStringLiteral("btnSaveAll"),
                                 [this] { btnSaveAllClick(); });
    NameForAccessibility();
    SetDefaultValues();
    for (std::uint32_t index = kMainVoltage; index <= kMaxCurrentTime; ++index)
        ShowPlateData(index);
    ShowPwm(PARModule->Word(kPwmIndex));
    ShowSizeInfo();
}

void TFormPlateData::CreateSizeInfo() {
    sgSizeInfo = AddGridGroup(QStringLiteral("Drive size info "), QStringLiteral("sgSizeInfo"),
                              {120, 50, 50, 50}, 4);
    sgSizeInfo->setSelectionBehavior(QAbstractItemView::SelectRows);
    const char* const top[] = {"Size:", "Min", "Typ.", "Max"};
    for (int col = 0; col < 4; ++col)
        SetFixedCell(sgSizeInfo, col, 0, QString::fromLatin1(top[col]));
    const char* const rows[] = {"Voltage range", "Current range", "Frequency range"};
    for (int row = 1; row < 4; ++row)
        SetFixedCell(sgSizeInfo, 0, row, QString::fromLatin1(rows[row - 1]));
}

void TFormPlateData::CreatePlateData() {
    sgPlateData = AddGridGroup(QStringLiteral("Main setup data "), QStringLiteral("sgPlateData"),
                               {120, 60, 50, 50}, 5);
    sgPlateData->setTabKeyNavigation(true);
    for (int col = 0; col < 4; ++col)
        SetFixedCell(sgPlateData, col, 0, col == 1 ? QStringLiteral("Value") : QString());
    const char* const captions[] = {"Main Voltage", "Nom. Current", "Max Current",
                                    "Max time @Imax"};
    for (int row = 1; row <= 4; ++row) {
        SetFixedCell(sgPlateData, 0, row, QString::fromLatin1(captions[row - 1]));
        BindParamRow(sgPlateData, kMainVoltage + static_cast<std::uint32_t>(row) - 1, row, true);
    }
    for (TUpDown* upDown : sgPlateData->OverlayParent()->findChildren<TUpDown*>())
        if (upDown->Tag == static_cast<int>(kMainVoltage))
            upDown->setToolTip(
                QStringLiteral("WARNING: MainVoltage must be higher then BaseVoltage."));
}

void TFormPlateData::CreatePwm() {
    rgPWM = new QGroupBox(QStringLiteral("PWM frequency setup (restart required!)"), this);
    rgPWM->setObjectName(QStringLiteral("rgPWM"));
    rgPWM->setToolTip(
        QStringLiteral("Setup PWM switch frequency. To take effect system restart is required!"));
    auto* layout = new QHBoxLayout(rgPWM);
    rgPWMItems = new QButtonGroup(rgPWM);
    const char* const items[] = {"4 KHz", "8 KHz", "12 KHz", "16 KHz"};
    for (int i = 0; i < 4; ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(items[i]), rgPWM);
        item->setObjectName(QStringLiteral("rgPWM%1").arg(i));
        rgPWMItems->addButton(item, i);
        layout->addWidget(item);
    }
    // Only the operator's click writes: the reaction that shows the drive's
    // index sets the buttons without this handler.
    connect(rgPWMItems, &QButtonGroup::idClicked, this,
            [this](int id) { nv::Guarded([this, id] { rgPWMClick(id); }); });
    Body()->addWidget(rgPWM);
}

void TFormPlateData::SetDefaultValues() {
    constexpr std::array<std::pair<unsigned, unsigned short>, 4> kDefaults{
        {{kMainVoltage, 230}, {kNominalCurrent, 50}, {kMaxCurrent, 100}, {kMaxCurrentTime, 2}}};
    for (const auto& [index, word] : kDefaults)
        if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
            value->SetValueUShort(0, word);
}

// ---------------------------------------------------------------- shown values

void TFormPlateData::ShowPlateData(std::uint32_t index) {
    if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
        sgPlateData->SetCellText(1, static_cast<int>(index - kMainVoltage + 1),
                                 value->GetValueNumText(0));
}

void TFormPlateData::ShowPwm(std::uint16_t pwmIndex) {
    if (QAbstractButton* item = rgPWMItems->button(pwmIndex)) {
        item->setChecked(true);
        return;
    }
    // An index the group has no item for shows no item checked.
    rgPWMItems->setExclusive(false);
    for (QAbstractButton* each : rgPWMItems->buttons())
        each->setChecked(false);
    rgPWMItems->setExclusive(true);
}

void TFormPlateData::ShowSizeInfo() {
    const std::array<QStringList, 4> rows = PARModule->UpdateSizeInfo();
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4 && col < rows[static_cast<std::size_t>(row)].size(); ++col)
            sgSizeInfo->SetCellText(col, row, rows[static_cast<std::size_t>(row)][col]);
}

// ---------------------------------------------------------------- handlers

void TFormPlateData::btnUpdateClick() {
    SetCyclic({kMainVoltage, kNominalCurrent, kMaxCurrent, kMaxCurrentTime, kPwmIndex,
               kDriveVoltage, kSizeCode},
              true);
}

void TFormPlateData::FormClose() {
    SetCyclic({kMainVoltage, kNominalCurrent, kMaxCurrent, kMaxCurrentTime, kPwmIndex}, false);
}

void TFormPlateData::sbtnSendParamClick(TSpeedButton* sender) {
    if (!DriveRunning(this))
        TParamDialog::sbtnSendParamClick(sender);
}

void TFormPlateData::sbtnSaveParamClick(TSpeedButton* sender) {
    if (!DriveRunning(this))
        TParamDialog::sbtnSaveParamClick(sender);
}

void TFormPlateData::btnSendAllClick() {
    if (DriveRunning(this))
        return;
    for (std::uint32_t index = kMainVoltage; index <= kMaxCurrentTime; ++index) {
        SendParam(index);
        SetCyclic({index}, true);
    }
}

void TFormPlateData::btnSaveAllClick() {
    if (DriveRunning(this))
        return;
    for (std::uint32_t index = kMainVoltage; index <= kMaxCurrentTime; ++index)
        SaveParam(index);
}

void TFormPlateData::rgPWMClick(int itemIndex) {
    TnvParValue* pwm = PARModule->nvParValueSet.FindValue(kPwmIndex);
    if (!pwm)
        return;
    pwm->SetValueUShort(0, static_cast<std::uint16_t>(itemIndex));
    SaveParam(kPwmIndex);
}
