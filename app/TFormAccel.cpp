#include "TFormAccel.h"

#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <array>
#include <utility>

TFormAccel::TFormAccel(QWidget* parent)
    : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormAccel"));
    setWindowTitle(QStringLiteral("Acceleration time"));
    setAccessibleName(windowTitle());
    SetDefaultValues();
}

void TFormAccel::SetDefaultValues() {
    constexpr std::array<std::pair<unsigned, unsigned short>, 2> kDefaults{{{16, 1}, {17, 1}}};
    for (const auto& [index, word] : kDefaults)
        if (TnvParValue* value = PARModule->nvParValueSet.FindValue(index))
            value->SetValueUShort(0, word);
}
