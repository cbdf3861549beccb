#include "TFormPlateData.h"

#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <array>
#include <utility>

TFormPlateData::TFormPlateData(QWidget* parent)
    : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormPlateData"));
    setWindowTitle(QStringLiteral("Motor main setup"));
    setAccessibleName(windowTitle());
    SetDefaultValues();
}

void TFormPlateData::SetDefaultValues() {
    constexpr std::array<std::pair<unsigned, unsigned short>, 4> kDefaults{
        {{4, 230}, {5, 50}, {6, 100}, {7, 2}}};
    for (const auto& [index, word] : kDefaults)
        if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
            value->SetValueUShort(0, word);
}
