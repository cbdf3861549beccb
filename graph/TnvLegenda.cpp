#include "TnvLegenda.h"

#include "NvGraphSetup.h"
#include "TnvCanvas.h"
#include "TnvTraccia.h"

#include <algorithm>

TnvLegenda::TnvLegenda(TnvDiagram* owner, const QString& name, const TnvTrkList* traces)
    : TnvGraphElement(owner, name)
    , FTrkSource(traces) {
    TReading reading(*this);
    GetLinePen().SetColor(kClWhite);
    GetLineBrush().Assign(TnvBrush(kClBlack, TnvBrushStyle::Solid));
    GetTitleFont().Assign(TnvFont(kClWhite, "Arial", -10));
}

void TnvLegenda::SetColCount(int count) {
    if (count != FColCount) {
        FColCount = count;
        Changed();
    }
}

void TnvLegenda::SetLeft(int left) {
    if (left != FLeft) {
        FLeft = left;
        Changed();
    }
}

void TnvLegenda::SetTop(int top) {
    if (top != FTop) {
        FTop = top;
        Changed();
    }
}

bool TnvLegenda::Draw(TnvCanvas* canvas) {
    if (!GetVisible() || !canvas || !FTrkSource || !GetOwner())
        return false;
    TnvRect& e = FDrawArea;
    const int n = static_cast<int>(FTrkSource->size());
    if (n == 0) {
        FTitle.Select(*canvas);
        canvas->TextOut(e.Left, e.Top, "Empty");
        return true;
    }
    // A column count below one would divide by zero: one column is the least.
    FColCount = std::clamp(FColCount, 1, n);
    FRowCount = n / FColCount;
    const TnvRect area = GetOwner()->GetDrawArea();
    e.Top = area.Top + FTop;
    e.Left = area.Left + FLeft;
    canvas->Font().Assign(GetTitleFont());
    int widest = 0;
    for (const auto& trace : *FTrkSource)
        widest = std::max(widest, canvas->TextWidth(trace->GetName()));
    e.Right = (widest * 10 / 9) * FColCount + e.Left;
    const int rowHeight = canvas->TextHeight("0") * 4 / 3;
    e.Bottom = rowHeight * FRowCount + e.Top;
    FCellWidth = (e.Right - e.Left) / FColCount;
    FCellHeight = (e.Bottom - e.Top) / FRowCount;

    if (GetLineVisible()) {
        canvas->Pen().Assign(GetLinePen());
        canvas->Brush().Assign(GetLineBrush());
        canvas->Rectangle(e.Left, e.Top, e.Right + 1, e.Bottom + 1);
        for (int r = 0; r < FRowCount; ++r) {
            canvas->MoveTo(e.Left, e.Top + r * FCellHeight);
            canvas->LineTo(e.Right, e.Top + r * FCellHeight);
        }
        for (int k = 0; k < FColCount; ++k) {
            canvas->MoveTo(e.Left + k * FCellWidth, e.Top);
            canvas->LineTo(e.Left + k * FCellWidth, e.Bottom);
        }
    }
    int y = e.Top;
    for (int r = 0; r < FRowCount; ++r) {
        int x = e.Left + 2;
        for (int k = 0; k < FColCount; ++k) {
            const TnvTraccia& trace = *(*FTrkSource)[static_cast<size_t>(r * FColCount + k)];
            const QString name = trace.GetName();
            TnvPen underline(trace.GetLinePen());
            underline.SetWidth(3);
            canvas->Pen().Assign(underline);
            canvas->Brush().Assign(trace.GetLineBrush());
            const int h = canvas->TextHeight(name);
            const int w = canvas->TextWidth(name);
            canvas->MoveTo(x, y + h);
            canvas->LineTo(x + w, y + h);

            canvas->Pen().Assign(GetTitlePen());
            canvas->Brush().Assign(GetTitleBrush());
            TnvFont font(GetTitleFont());
            if (trace.GetSelected()) {
                font.SetColor(trace.GetLinePen().GetColor());
                font.SetStyles(font.GetStyles() | fsItalic);
            }
            canvas->Font().Assign(font);
            canvas->TextOut(x, y, name);
            x += FCellWidth;
        }
        y += FCellHeight;
    }
    return true;
}

TnvTraccia* TnvLegenda::TraceAtPos(QPoint point) const {
    if (!FTrkSource)
        return nullptr;
    const TnvRect& e = FDrawArea;
    for (int r = 0; r < FRowCount; ++r) {
        for (int k = 0; k < FColCount; ++k) {
            const int left = e.Left + 1 + k * FCellWidth;
            const int top = e.Top + 1 + r * FCellHeight;
            const TnvRect cell{left, top, left + FCellWidth + 1, top + FCellHeight + 1};
            if (!nv::StrictlyContains(cell, point))
                continue;
            const size_t index = static_cast<size_t>(r * FColCount + k);
            return index < FTrkSource->size() ? (*FTrkSource)[index].get() : nullptr;
        }
    }
    return nullptr;
}

QString TnvLegenda::GetSetup() const {
    nv::TSetupWriter writer;
    writer.Line("[nvLegenda]");
    writer.Line("Begin");
    WriteSetup(writer);
    writer.Key("ColCount", QString::number(FColCount));
    writer.Key("Left", QString::number(FLeft));
    writer.Key("Top", QString::number(FTop));
    writer.Line("End");
    return writer.Text();
}

void TnvLegenda::SetSetup(const QString& text) {
    const nv::TSetupReader reader(nv::SplitSetupLines(text));
    ReadSetup(reader);
    FColCount = nv::ReadSetupInt(reader.Value("ColCount"));
    FLeft = nv::ReadSetupInt(reader.Value("Left"));
    FTop = nv::ReadSetupInt(reader.Value("Top"));
}
