#include "TnvGraphElement.h"

#include "NvGraphSetup.h"
#include "TnvDiagram.h"
#include "TnvError.h"

namespace {

TnvDiagram* CheckedOwner(TnvDiagram* owner) {
    if (!owner)
        throw TnvError("Graph Element: Bad owner pointer.");
    return owner;
}

} // namespace

TnvGraphElement::TnvGraphElement(TnvDiagram* owner, const QString& name)
    : FTitle(TnvFont(kClWhite, "Arial Narrow", -10), true)
    , FOwner(CheckedOwner(owner))
    , FLinePen(kClWhite, TnvPenMode::Copy, TnvPenStyle::Solid, 1)
    , FLineBrush(kClBlack, TnvBrushStyle::Clear)
    , FName(name) {
    FDrawArea = owner->GetDrawArea();
    Watch(FLinePen);
    Watch(FLineBrush);
    FTitle.Watch([this] { Changed(); });
}

TnvGraphElement::~TnvGraphElement() {
    // The diagram detaches what it destroys itself; an element deleted by its
    // user leaves the diagram here.
    if (FOwner)
        FOwner->ForgetElement(this);
}

void TnvGraphElement::SetTitle(const QString& name) {
    if (name != FName) {
        FName = name;
        Changed();
    }
}

void TnvGraphElement::SetLineVisible(bool value) {
    if (value != FLineVisible) {
        FLineVisible = value;
        Changed();
    }
}

void TnvGraphElement::SetTitleVisible(bool value) {
    if (value != FTitle.Visible) {
        FTitle.Visible = value;
        Changed();
    }
}

void TnvGraphElement::SetVisible(bool value) {
    if (value != FVisible) {
        FVisible = value;
        Changed();
    }
}

void TnvGraphElement::Changed() {
    if (FOwner && FReading == 0)
        FOwner->Changed();
}

QString TnvGraphElement::GetSetup() const {
    nv::TSetupWriter writer;
    WriteSetup(writer);
    return writer.Text();
}

void TnvGraphElement::SetSetup(const QString& text) {
    ReadSetup(nv::TSetupReader(nv::SplitSetupLines(text)));
}

void TnvGraphElement::WriteSetup(nv::TSetupWriter& writer) const {
    writer.Key("LinePen", nv::SetupPen(FLinePen));
    writer.Key("LineBrush", nv::SetupBrush(FLineBrush));
    writer.Key("LineVisible", nv::SetupBool(FLineVisible));
    writer.Key("Title", FName);
    FTitle.Write(writer);
    writer.Key("DrawArea", nv::SetupRect(FDrawArea));
    writer.Key("Visible", nv::SetupBool(FVisible));
}

void TnvGraphElement::ReadSetup(const nv::TSetupReader& reader) {
    TReading reading(*this);
    nv::ReadSetupPen(reader.Value("LinePen"), FLinePen);
    nv::ReadSetupBrush(reader.Value("LineBrush"), FLineBrush);
    FLineVisible = nv::ReadSetupBool(reader.Value("LineVisible"));
    FName = reader.Value("Title");
    FTitle.Read(reader);
    FDrawArea = nv::ReadSetupRect(reader.Value("DrawArea"));
    FVisible = nv::ReadSetupBool(reader.Value("Visible"));
}
