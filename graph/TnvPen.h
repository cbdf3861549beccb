#pragma once

#include "NvGraphTypes.h"

#include <functional>

// Raster operations of a pen, numbered as the setup text writes them.
enum class TnvPenMode {
    Black,
    White,
    Nop,
    Not,
    Copy,
    NotCopy,
    MergePenNot,
    MaskPenNot,
    MergeNotPen,
    MaskNotPen,
    Merge,
    NotMerge,
    Mask,
    NotMask,
    Xor,
    NotXor
};

// Line styles, numbered as the setup text writes them.
enum class TnvPenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear, InsideFrame };

// A pen of the drawing surface: colour, raster mode, style and width. Every
// change that alters a value raises OnChange (the owning element repaints).
class TnvPen {
public:
    TnvPen() = default;
    TnvPen(TnvColor color, TnvPenMode mode, TnvPenStyle style, int width);
    // Copies the values only; the copy has no OnChange.
    TnvPen(const TnvPen& other);
    TnvPen& operator=(const TnvPen&) = delete;

    TnvColor GetColor() const { return FColor; }
    TnvPenMode GetMode() const { return FMode; }
    TnvPenStyle GetStyle() const { return FStyle; }
    int GetWidth() const { return FWidth; }

    void SetColor(TnvColor color);
    void SetMode(TnvPenMode mode);
    void SetStyle(TnvPenStyle style);
    void SetWidth(int width);
    // Takes all four values of other; one OnChange when any differed.
    void Assign(const TnvPen& other);

    bool SameAs(const TnvPen& other) const;

    // Raised after a value changed. GUI thread.
    std::function<void()> OnChange;

private:
    void Changed();

    TnvColor FColor = kClWhite;
    TnvPenMode FMode = TnvPenMode::Copy;
    TnvPenStyle FStyle = TnvPenStyle::Solid;
    int FWidth = 1;
};
