#pragma once

#include <QColor>
#include <QPoint>
#include <cstdint>

// Plain records and helpers shared by the graph library.

// A colour as the original drawing surface stored it: 0x00BBGGRR. Values with
// the top bit set name a system colour (0x8000000F is the button face).
using TnvColor = std::int32_t;

inline constexpr TnvColor kClBlack = 0x000000;
inline constexpr TnvColor kClWhite = 0xFFFFFF;
inline constexpr TnvColor kClBtnFace = static_cast<TnvColor>(0x8000000F);

// A world point of a chart.
struct Tnv2DPoint {
    double X = 0.0;
    double Y = 0.0;
};

// A rectangle in bitmap pixels; Right and Bottom are inclusive unless a caller
// says otherwise, so it covers Right - Left + 1 columns.
struct TnvRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool operator==(const TnvRect&) const = default;
};

namespace nv {

// The one conversion from a stored colour to Qt's; system colours map onto the
// classic desktop palette.
QColor ToQColor(TnvColor color);

// Hit tests never count the border: x > Left, x < Right, y > Top, y < Bottom.
inline bool StrictlyContains(const TnvRect& r, QPoint p) {
    return p.x() > r.Left && p.x() < r.Right && p.y() > r.Top && p.y() < r.Bottom;
}

} // namespace nv
