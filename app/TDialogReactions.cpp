#include "TDialogReactions.h"

#include "TFormAccel.h"
#include "TFormCtrlMode.h"
#include "TFormModBus.h"
#include "TFormPlateData.h"
#include "TTerminal.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <cstdint>
#include <functional>

namespace {

using TShow = std::function<void(TnvParValue*)>;

// Runs show after what the value's event did so far.
void AfterReceive(TnvParValue* value, const TShow& show) {
    auto inner = value->OnReceive;
    value->OnReceive = [inner, show](TnvParValue* v, bool changed) {
        if (inner)
            inner(v, changed);
        show(v);
    };
}

void AfterSetValue(TnvParValue* value, const TShow& show) {
    auto inner = value->OnSetValue;
    value->OnSetValue = [inner, show](TnvParValue* v, bool changed) {
        if (inner)
            inner(v, changed);
        show(v);
    };
}

void AfterBoth(TnvParValue* value, const TShow& show) {
    AfterReceive(value, show);
    AfterSetValue(value, show);
}

void ShowSize(TnvParValue*) {
    if (FormPlateData)
        FormPlateData->ShowSizeInfo();
}

void ShowPwm(TnvParValue* v) {
    if (FormPlateData) {
        FormPlateData->ShowPwm(v->GetValueUShort(0));
        FormPlateData->ShowSizeInfo();
    }
}

void ShowControlMode(TnvParValue* v) {
    if (FormCtrlMode)
        FormCtrlMode->ShowControlMode(v->GetValueUShort(0));
}

} // namespace

void TDialogReactions::Equip(TnvParValue* value) {
    const std::uint32_t index = value->GetParDef().ParIndex;
    const auto address = [index](TnvParValue*) {
        if (FormModBus)
            FormModBus->ShowAddress(index);
    };
    if (index >= 4 && index <= 7) {
        AfterBoth(value, [index](TnvParValue*) {
            if (FormPlateData)
                FormPlateData->ShowPlateData(index);
        });
    } else if (index == 16 || index == 17) {
        AfterBoth(value, [index](TnvParValue*) {
            if (FormAccel)
                FormAccel->ShowRamp(index);
        });
    } else if (index == 18) {
        AfterReceive(value, &ShowControlMode);
    } else if (index == 19) {
        AfterBoth(value, &ShowPwm);
    } else if (index == 20 || index == 49) {
        AfterReceive(value, &ShowSize);
    } else if (index == 0) {
        AfterBoth(value, address);
    } else if (index == 30) {
        AfterReceive(value, address);
    } else if (index == 10000) {
        AfterSetValue(value, address);
    }
}
