#pragma once

#include "TnvBrush.h"
#include "TnvFont.h"
#include "TnvPen.h"

#include <functional>

class TnvCanvas;
namespace nv {
class TSetupReader;
class TSetupWriter;
} // namespace nv

// How a diagram or a graph element shows its title: pen, brush, font and
// whether it shows at all. The text is the owner's name. A plain part of its
// owner, which Watch tells of every change.
class TnvTitle {
public:
    // White solid pen, clear black brush.
    TnvTitle(const TnvFont& font, bool visible);
    TnvTitle(const TnvTitle&) = delete;
    TnvTitle& operator=(const TnvTitle&) = delete;

    TnvPen Pen;
    TnvBrush Brush;
    TnvFont Font;
    bool Visible;

    // Runs changed after any change of pen, brush or font.
    void Watch(const std::function<void()>& changed);
    // Makes pen, brush and font the canvas's own.
    void Select(TnvCanvas& canvas) const;

    // The "TitlePen", "TitleBrush", "TitleFont" and "TitleVisible" keys of a
    // setup block (the owner writes "Title", its name, before them). Read
    // raises TnvConvertError for a malformed value.
    void Write(nv::TSetupWriter& writer) const;
    void Read(const nv::TSetupReader& reader);
};
