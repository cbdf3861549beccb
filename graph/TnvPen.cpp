#include "TnvPen.h"

TnvPen::TnvPen(TnvColor color, TnvPenMode mode, TnvPenStyle style, int width)
    : FColor(color)
    , FMode(mode)
    , FStyle(style)
    , FWidth(width) {}

TnvPen::TnvPen(const TnvPen& other)
    : FColor(other.FColor)
    , FMode(other.FMode)
    , FStyle(other.FStyle)
    , FWidth(other.FWidth) {}

void TnvPen::SetColor(TnvColor color) {
    if (color != FColor) {
        FColor = color;
        Changed();
    }
}

void TnvPen::SetMode(TnvPenMode mode) {
    if (mode != FMode) {
        FMode = mode;
        Changed();
    }
}

void TnvPen::SetStyle(TnvPenStyle style) {
    if (style != FStyle) {
        FStyle = style;
        Changed();
    }
}

void TnvPen::SetWidth(int width) {
    if (width != FWidth) {
        FWidth = width;
        Changed();
    }
}

void TnvPen::Assign(const TnvPen& other) {
    if (SameAs(other))
        return;
    FColor = other.FColor;
    FMode = other.FMode;
    FStyle = other.FStyle;
    FWidth = other.FWidth;
    Changed();
}

bool TnvPen::SameAs(const TnvPen& other) const {
    return FColor == other.FColor && FMode == other.FMode && FStyle == other.FStyle &&
           FWidth == other.FWidth;
}

void TnvPen::Changed() {
    if (OnChange)
        OnChange();
}
