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
inline constexpr TnvColor kClNavy = 0x800000;
inline constexpr TnvColor kClSilver = 0xC0C0C0;
inline constexpr TnvColor kClGray = 0x808080;
inline constexpr TnvColor kClRed = 0x0000FF;
inline constexpr TnvColor kClLime = 0x00FF00;
inline constexpr TnvColor kClBlue = 0xFF0000;
inline constexpr TnvColor kClGreen = 0x008000;
inline constexpr TnvColor kClFuchsia = 0xFF00FF;
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
