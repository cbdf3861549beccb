#include "TFormAccel.h"

#include "NvParIndex.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TValueGrid.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QPushButton>
#include <array>
#include <utility>

namespace {

using namespace nv::par;

} // namespace

TFormAccel::TFormAccel(QWidget* parent)
    : TParamDialog(parent, QStringLiteral("FormAccel"), QStringLiteral("Acceleration time")) {
    sgAccel = AddGridGroup(QStringLiteral("Acceleration / Deceleration"), QStringLiteral("sgAccel"),
                           {80, 80, 80, 80}, 3);
    sgAccel->setToolTip(
        QStringLiteral("Min and Max frequency are only for use with analog reference, 0 - 10V"));
    for (int col = 0; col < 4; ++col)
        SetFixedCell(sgAccel, col, 0, col == 1 ? QStringLiteral("Value") : QString());
    SetFixedCell(sgAccel, 0, 1, QStringLiteral("Accel. Time"));
    SetFixedCell(sgAccel, 0, 2, QStringLiteral("Decel. Time"));
    BindParamRow(sgAccel, kAccelTime, 1, true);
    BindParamRow(sgAccel, kDecelTime, 2, true);
    btnSendAll = AddBottomButton(QStringLiteral("Send All"), QStringLiteral("btnSendAll"),
                                 [this] { SendAllClick(); });
    btnSaveAll = AddBottomButton(QStringLiteral("Save All"), QStringLiteral("btnSaveAll"),
                                 [this] { SaveAllClick(); });
    NameForAccessibility();
    SetDefaultValues();
    ShowRamp(kAccelTime);
    ShowRamp(kDecelTime);
}

void TFormAccel::SetDefaultValues() {
    constexpr std::array<std::pair<unsigned, unsigned short>, 2> kDefaults{
        {{kAccelTime, 1}, {kDecelTime, 1}}};
    for (const auto& [index, word] : kDefaults)
        if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
            value->SetValueUShort(0, word);
}

void TFormAccel::ShowRamp(std::uint32_t index) {
    if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
        sgAccel->SetCellText(1, static_cast<int>(index - kAccelTime + 1),
                             value->GetValueNumText(0));
}

void TFormAccel::btnUpdateClick() {
    SetCyclic({kAccelTime, kDecelTime}, true);
}

void TFormAccel::FormClose() {
    SetCyclic({kAccelTime, kDecelTime}, false);
}

void TFormAccel::SendAllClick() {
    SendParam(kAccelTime);
    SendParam(kDecelTime);
}

void TFormAccel::SaveAllClick() {
    SendParam(kAccelTime);
    SendParam(kDecelTime);
    // The stored copies by their own index, whatever the definitions name.
    const std::pair<std::uint32_t, std::uint32_t> copies[] = {{kAccelTime, kStoredAccelTime},
                                                              {kDecelTime, kStoredDecelTime}};
    for (const auto& [index, storedIndex] : copies)
        if (TnvParValue* stored = PARModule->nvParValueSet.FindValue(storedIndex))
            stored->SetValueUShort(0, PARModule->Word(index));
    SendParam(kStoredAccelTime);
    SendParam(kStoredDecelTime);
}
