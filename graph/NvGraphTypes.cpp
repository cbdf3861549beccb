#include "NvGraphTypes.h"

namespace nv {

namespace {

// The classic desktop scheme's system colours, by index (0x80000000 + index).
QColor SystemColor(int index) {
    switch (index) {
    case 5: // window
        return QColor(255, 255, 255);
    case 8:  // window text
    case 18: // button text
        return QColor(0, 0, 0);
    case 13: // highlight
        return QColor(0, 120, 215);
    case 14: // highlight text
        return QColor(255, 255, 255);
    case 16: // button shadow
        return QColor(160, 160, 160);
    case 20: // button highlight
        return QColor(255, 255, 255);
    default: // 15 button face, and a neutral grey for the rest
        return QColor(240, 240, 240);
    }
}

} // namespace

QColor ToQColor(TnvColor color) {
    const auto value = static_cast<std::uint32_t>(color);
    if (value & 0x80000000u)
        return SystemColor(static_cast<int>(value & 0xFFu));
    return QColor(value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu);
}

} // namespace nv
