#include "TFormModBus.h"

#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TValueGrid.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QPushButton>

namespace {

constexpr std::uint32_t kRemoteIndex = 0;
constexpr std::uint32_t kStoredIndex = 30;
constexpr std::uint32_t kLocalIndex = 10000;

int RowOf(std::uint32_t index) {
    return index == kLocalIndex ? 0 : index == kRemoteIndex ? 1 : 2;
}

} // namespace

TFormModBus::TFormModBus(QWidget* parent)
    : TParamDialog(parent, QStringLiteral("FormModBus"), QStringLiteral("Modbus setup")) {
    sgAddress = AddGridGroup(QStringLiteral("ModBus addresses"), QStringLiteral("sgAddress"),
                             {120, 60, 100}, 3);
    const char* const captions[] = {"Local", "Remote", "Remote EEPROM"};
    for (int row = 0; row < 3; ++row)
        SetFixedCell(sgAddress, 0, row, QString::fromLatin1(captions[row]));
    BindParamRow(sgAddress, kLocalIndex, 0, false);
    BindParamRow(sgAddress, kRemoteIndex, 1, false);
    sbtnSaveRemote = PARModule->AttachCellButton(sgAddress, 1, static_cast<int>(kStoredIndex),
                                                 QStringLiteral("Save to remote"), 2);
    if (sbtnSaveRemote) {
        sbtnSaveRemote->setObjectName(QStringLiteral("sbtnSaveRemote"));
        sbtnSaveRemote->setToolTip(QStringLiteral("Click to upload and save a new salve address "
                                                  "to remote and update the local one"));
        OnButtonClick(sbtnSaveRemote, [this](TSpeedButton* b) { sbtnSendParamClick(b); });
    }
    btnCancel->setDefault(true);
    NameForAccessibility();
    for (std::uint32_t index : {kLocalIndex, kRemoteIndex, kStoredIndex})
        ShowAddress(index);
}

void TFormModBus::ShowAddress(std::uint32_t index) {
    if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
        sgAddress->SetCellText(1, RowOf(index), value->GetValueNumText(0));
}

void TFormModBus::btnUpdateClick() {
    ShowAddress(kLocalIndex);
    SetCyclic({kRemoteIndex, kStoredIndex}, true);
}

void TFormModBus::FormClose() {
    SetCyclic({kRemoteIndex, kStoredIndex}, false);
}
