#include "TnvTitle.h"

#include "NvGraphSetup.h"
#include "TnvCanvas.h"

TnvTitle::TnvTitle(const TnvFont& font, bool visible)
    : Pen(kClWhite, TnvPenMode::Copy, TnvPenStyle::Solid, 1)
    , Brush(kClBlack, TnvBrushStyle::Clear)
    , Font(font)
    , Visible(visible) {}

void TnvTitle::Watch(const std::function<void()>& changed) {
    Pen.OnChange = changed;
    Brush.OnChange = changed;
    Font.OnChange = changed;
}

void TnvTitle::Select(TnvCanvas& canvas) const {
    canvas.Pen().Assign(Pen);
    canvas.Brush().Assign(Brush);
    canvas.Font().Assign(Font);
}

void TnvTitle::Write(nv::TSetupWriter& writer) const {
    writer.Key("TitlePen", nv::SetupPen(Pen));
    writer.Key("TitleBrush", nv::SetupBrush(Brush));
    writer.Key("TitleFont", nv::SetupFont(Font));
    writer.Key("TitleVisible", nv::SetupBool(Visible));
}

void TnvTitle::Read(const nv::TSetupReader& reader) {
    nv::ReadSetupPen(reader.Value("TitlePen"), Pen);
    nv::ReadSetupBrush(reader.Value("TitleBrush"), Brush);
    nv::ReadSetupFont(reader.Value("TitleFont"), Font);
    Visible = nv::ReadSetupBool(reader.Value("TitleVisible"));
}
