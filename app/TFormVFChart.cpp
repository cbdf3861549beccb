#include "TFormVFChart.h"

#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <array>
#include <utility>

TFormVFChart::TFormVFChart(QWidget* parent)
    : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormVFChart"));
    setWindowTitle(QStringLiteral("VF Characteristic"));
    setAccessibleName(windowTitle());
    SetDefaultValues();
}

void TFormVFChart::SetDefaultValues() {
    constexpr std::array<std::pair<unsigned, unsigned short>, 7> kDefaults{
        {{10, 230}, {9, 100}, {8, 10}, {14, 1200}, {13, 100}, {12, 600}, {11, 200}}};
    for (const auto& [index, word] : kDefaults)
        if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
            value->SetValueUShort(0, word);
}
