#include "TFormModBus.h"

#include "NvParIndex.h"
#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TValueGrid.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QPushButton>

namespace {

using nv::par::kLocalSlave;
using nv::par::kSlave;
using nv::par::kStoredSlave;

int RowOf(std::uint32_t index) {
    return index == kLocalSlave ? 0 : index == kSlave ? 1 : 2;
}

} // namespace

TFormModBus::TFormModBus(QWidget* parent)
    : TParamDialog(parent, QStringLiteral("FormModBus"), QStringLiteral("Modbus setup")) {
    sgAddress = AddGridGroup(QStringLiteral("ModBus addresses"), QStringLiteral("sgAddress"),
                             {120, 60, 100}, 3);
    const char* const captions[] = {"Local", "Remote", "Remote EEPROM"};
    for (int row = 0; row < 3; ++row)
        SetFixedCell(sgAddress, 0, row, QString::fromLatin1(captions[row]));
    BindParamRow(sgAddress, kLocalSlave, 0, false);
    BindParamRow(sgAddress, kSlave, 1, false);
    sbtnSaveRemote = PARModule->AttachCellButton(sgAddress, 1, static_cast<int>(kStoredSlave),
                                                 QStringLiteral("Save to remote"), 2);
    if (sbtnSaveRemote) {
        sbtnSaveRemote->setObjectName(QStringLiteral("sbtnSaveRemote"));
        sbtnSaveRemote->setToolTip(QStringLiteral("Click to upload and save a new salve address "
                                                  "to remote and update the local one"));
        OnButtonClick(sbtnSaveRemote, [this](TSpeedButton* b) { sbtnSendParamClick(b); });
    }
    btnCancel->setDefault(true);
    NameForAccessibility();
    for (std::uint32_t index : {kLocalSlave, kSlave, kStoredSlave})
        ShowAddress(index);
}

void TFormModBus::ShowAddress(std::uint32_t index) {
    if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
        sgAddress->SetCellText(1, RowOf(index), value->GetValueNumText(0));
}

void TFormModBus::btnUpdateClick() {
    ShowAddress(kLocalSlave);
    SetCyclic({kSlave, kStoredSlave}, true);
}

void TFormModBus::FormClose() {
    SetCyclic({kSlave, kStoredSlave}, false);
}
