#pragma once

#include "NvGraphTypes.h"

#include <functional>

// Fill styles, numbered as the setup text writes them.
enum class TnvBrushStyle {
    Solid,
    Clear,
    Horizontal,
    Vertical,
    FDiagonal,
    BDiagonal,
    Cross,
    DiagCross
};

// A brush of the drawing surface: colour and style. A change raises OnChange.
class TnvBrush {
public:
    TnvBrush() = default;
    TnvBrush(TnvColor color, TnvBrushStyle style);
    // Copies the values only; the copy has no OnChange.
    TnvBrush(const TnvBrush& other);
    TnvBrush& operator=(const TnvBrush&) = delete;

    TnvColor GetColor() const { return FColor; }
    TnvBrushStyle GetStyle() const { return FStyle; }

    void SetColor(TnvColor color);
    void SetStyle(TnvBrushStyle style);
    void Assign(const TnvBrush& other);

    // Raised after a value changed. GUI thread.
    std::function<void()> OnChange;

private:
    void Changed();

    TnvColor FColor = kClWhite;
    TnvBrushStyle FStyle = TnvBrushStyle::Solid;
};
