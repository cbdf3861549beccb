#include "TnvParRange.h"

bool TnvParRange::Check(double v) {
    const bool relative = Mode == 1;
    const double high = relative ? Reference + Reference * High : High;
    const double low = relative ? Reference - Reference * Low : Low;
    PrevState = State;
    State = 0;
    if (HighCheck && v > high)
        State = 1;
    if (LowCheck && v < low)
        State = -1;
    return State != PrevState;
}
