#include "TnvBrush.h"

TnvBrush::TnvBrush(TnvColor color, TnvBrushStyle style)
    : FColor(color)
    , FStyle(style) {}

TnvBrush::TnvBrush(const TnvBrush& other)
    : FColor(other.FColor)
    , FStyle(other.FStyle) {}

void TnvBrush::SetColor(TnvColor color) {
    if (color != FColor) {
        FColor = color;
        Changed();
    }
}

void TnvBrush::SetStyle(TnvBrushStyle style) {
    if (style != FStyle) {
        FStyle = style;
        Changed();
    }
}

void TnvBrush::Assign(const TnvBrush& other) {
    if (other.FColor == FColor && other.FStyle == FStyle)
        return;
    FColor = other.FColor;
    FStyle = other.FStyle;
    Changed();
}

void TnvBrush::Changed() {
    if (OnChange)
        OnChange();
}
