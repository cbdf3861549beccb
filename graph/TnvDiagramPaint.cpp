// The diagram's geometry and painting: where the title, the scales and the
// plot go in the draw area, the automatic scale bounds, and the picture.

#include "TnvDiagram.h"

#include "TnvCanvas.h"
#include "TnvGraph.h"
#include "TnvLegenda.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <algorithm>

bool TnvDiagram::CoordAtPos(Tnv2DPoint& out, QPoint point) const {
    if (!FScalaX || !FScalaY)
        return false;
    const TnvRect& p = FPlotArea;
    const double dx = double(point.x()) - p.Left;
    const double dy = double(p.Bottom) - point.y();
    out.X = dx * FScalaX->GetSpan() / (double(p.Right) - p.Left - 2) + FScalaX->GetMin();
    out.Y = dy * FScalaY->GetSpan() / (double(p.Bottom) - p.Top - 2) + FScalaY->GetMin();
    return nv::StrictlyContains(p, point);
}

void TnvDiagram::LayoutScalaX(TnvCanvas& canvas) {
    TnvScala& scale = *FScalaX;
    canvas.Font().Assign(scale.GetTextFont());
    const int h = canvas.TextHeight("0");
    const int lines =
        (scale.GetTextVisible() ? 1 : 0) + (scale.GetIsDate() && scale.GetIsTime() ? 1 : 0);
    TnvRect area = FDrawArea;
    int titleHeight = 0;
    if (scale.GetTitleVisible()) {
        canvas.Font().Assign(scale.GetTitleFont());
        titleHeight = canvas.TextHeight("0") + 2;
    }
    if (scale.GetAlign() != 1) {
        area.Top = area.Bottom - 5 - lines * h - titleHeight;
    } else {
        area.Top = FTitleRect.Bottom + 1;
        area.Bottom = area.Top + 5 + lines * h + titleHeight;
    }
    scale.SetDrawArea(area);
}

void TnvDiagram::LayoutScalaY(TnvCanvas& canvas) {
    TnvScala& scale = *FScalaY;
    canvas.Font().Assign(scale.GetTextFont());
    const int w = canvas.TextWidth("0");
    int width = 5;
    if (scale.GetIsDate())
        width += 10 * w;
    else if (scale.GetIsTime())
        width += 8 * w;
    else
        width += w * static_cast<int>(scale.GetText().size());
    if (scale.GetTitleVisible()) {
        canvas.Font().Assign(scale.GetTitleFont());
        width += canvas.TextHeight("0") + 2;
    }
    TnvRect area = FDrawArea;
    if (scale.GetAlign() != 3)
        area.Left = area.Right - width;
    else
        area.Right = area.Left + width;
    scale.SetDrawArea(area);
}

void TnvDiagram::CalcLayout(TnvCanvas& canvas) {
    if (FFollowOwnerArea) {
        const TnvGraph& graph = *FOwner;
        FDrawArea = {graph.GetLeft(), graph.GetTop(), graph.GetLeft() + graph.GetWidth(),
                     graph.GetTop() + graph.GetHeight()};
    }
    FTitleRect = FDrawArea;
    FTitleRect.Bottom =
        FTitle.Visible ? FTitleRect.Top + canvas.TextHeight(FName) + 2 : FTitleRect.Top;
    if (FScalaX)
        LayoutScalaX(canvas);
    if (FScalaY)
        LayoutScalaY(canvas);

    TnvRect p{FDrawArea.Left + 1, FTitleRect.Bottom + 1, FDrawArea.Right - 1, FDrawArea.Bottom - 1};
    if (FScalaX) {
        TnvRect x = FScalaX->GetDrawArea();
        if (FScalaX->GetAlign() != 1)
            p.Bottom = x.Top - 1;
        else
            p.Top = x.Bottom + 1;
    }
    if (FScalaY) {
        TnvRect y = FScalaY->GetDrawArea();
        y.Top = p.Top - 1;
        y.Bottom = p.Bottom + 1;
        FScalaY->SetDrawArea(y);
        if (FScalaY->GetAlign() == 3)
            p.Left = y.Right + 1;
        else
            p.Right = y.Left - 1;
    }
    if (FScalaX) {
        TnvRect x = FScalaX->GetDrawArea();
        x.Left = p.Left - 1;
        x.Right = p.Right + 1;
        FScalaX->SetDrawArea(x);
    }
    FPlotArea = p;
    for (TnvScala* scale : {FScalaX.get(), FScalaY.get()})
        if (scale)
            scale->SetGridArea(p);
    for (const auto& trace : FTrkList)
        trace->SetDrawArea(p);
    for (const auto& marker : FMrkList)
        marker->SetDrawArea(p);
    FTitleRect.Left = p.Left;
}

TnvDiagram::TBounds TnvDiagram::AutoBoundsX() const {
    return AutoBounds(false);
}

TnvDiagram::TBounds TnvDiagram::AutoBoundsY() const {
    return AutoBounds(true);
}

// The first trace seeds the bounds even when it is invisible (the later ones
// only widen them); markers of the matching orientation widen them too.
TnvDiagram::TBounds TnvDiagram::AutoBounds(bool vertical) const {
    TBounds b;
    for (size_t i = 0; i < FTrkList.size(); ++i) {
        const TnvTraccia& trace = *FTrkList[i];
        if (!trace.GetVisible())
            continue;
        const double lo = vertical ? trace.GetYMin() : trace.GetXMin();
        const double hi = vertical ? trace.GetYMax() : trace.GetXMax();
        if (i == 0) {
            b = {lo, hi};
        } else {
            b.Min = std::min(b.Min, lo);
            b.Max = std::max(b.Max, hi);
        }
    }
    const auto orientation = vertical ? orHorizontal : orVertical;
    for (const auto& marker : FMrkList) {
        if (!marker->GetVisible() || !(marker->GetOrType() & orientation))
            continue;
        const double v = vertical ? marker->GetPoint().Y : marker->GetPoint().X;
        b.Max = std::max(b.Max, v);
        b.Min = std::min(b.Min, v);
    }
    if (b.Max - b.Min == 0)
        b = {};
    return b;
}

bool TnvDiagram::Draw(TnvCanvas* canvas) {
    if (!FVisible || !canvas || !FScalaX || !FScalaY)
        return false;
    CalcLayout(*canvas);
    if (FAutoScalaX) {
        const TBounds b = AutoBoundsX();
        FScalaX->SetRange(b.Min, b.Max);
    }
    if (FAutoScalaY) {
        const TBounds b = AutoBoundsY();
        FScalaY->SetRange(b.Min, b.Max);
    }

    FillBackground(*canvas);

    for (const auto& trace : FTrkList)
        trace->Draw(canvas, FScalaX.get(), FScalaY.get());

    canvas->SetClipRect(FDrawArea);
    DrawFrame(*canvas);
    for (const auto& marker : FMrkList)
        marker->Draw(canvas, FScalaX.get(), FScalaY.get());
    if (FTitle.Visible)
        DrawTitle(*canvas);
    if (FLegenda)
        FLegenda->Draw(canvas);
    canvas->ClearClip();
    return true;
}

void TnvDiagram::FillBackground(TnvCanvas& canvas) {
    const TnvRect& a = FDrawArea;
    const TnvRect& p = FPlotArea;
    canvas.Pen().Assign(TnvPen(FDgrBack, TnvPenMode::Copy, TnvPenStyle::Solid, 1));
    canvas.Brush().Assign(TnvBrush(FDgrBack, TnvBrushStyle::Solid));
    const bool plotInside =
        p.Left >= a.Left && p.Top >= a.Top && p.Right <= a.Right && p.Bottom <= a.Bottom;
    if (plotInside && p.Left <= p.Right && p.Top <= p.Bottom) {
        // The same pixels as the whole area in one colour and the plot over it
        // in the other, with every pixel written once.
        canvas.FillRect(a.Left, a.Top, a.Right + 1, p.Top);
        canvas.FillRect(a.Left, p.Bottom + 1, a.Right + 1, a.Bottom + 1);
        canvas.FillRect(a.Left, p.Top, p.Left, p.Bottom + 1);
        canvas.FillRect(p.Right + 1, p.Top, a.Right + 1, p.Bottom + 1);
    } else {
        canvas.FillRect(a.Left, a.Top, a.Right + 1, a.Bottom + 1);
    }
    canvas.Pen().SetColor(FTrkBack);
    canvas.Brush().SetColor(FTrkBack);
    canvas.FillRect(p.Left, p.Top, p.Right + 1, p.Bottom + 1);
}

void TnvDiagram::DrawFrame(TnvCanvas& canvas) {
    const TnvRect& p = FPlotArea;
    // The frame takes whatever pen each scale leaves on the canvas.
    FScalaX->Draw(&canvas);
    canvas.MoveTo(p.Left - 1, p.Top - 1);
    canvas.LineTo(p.Right + 2, p.Top - 1);
    canvas.MoveTo(p.Left - 1, p.Bottom + 1);
    canvas.LineTo(p.Right + 2, p.Bottom + 1);
    FScalaY->Draw(&canvas);
    canvas.MoveTo(p.Left - 1, p.Top - 1);
    canvas.LineTo(p.Left - 1, p.Bottom + 2);
    canvas.MoveTo(p.Right + 1, p.Top - 1);
    canvas.LineTo(p.Right + 1, p.Bottom + 2);
}

void TnvDiagram::DrawTitle(TnvCanvas& canvas) {
    FTitle.Select(canvas);
    const TnvRect& t = FTitleRect;
    canvas.TextOut(t.Left, t.Top + 1, FName);
    if (!FSelected)
        return;
    canvas.Brush().SetStyle(TnvBrushStyle::Clear);
    const int w = canvas.TextWidth(FName);
    const int h = canvas.TextHeight(FName);
    const int box1 = t.Left + w + 5;
    const int box2 = t.Left + w + h + 6;
    canvas.RoundRect(box1, t.Top + 2, box1 + h, t.Bottom - 2, 10, 10);
    canvas.RoundRect(box2, t.Top + 2, box2 + h, t.Bottom - 2, 10, 10);
    if (auto* trace = GetSelTraccia()) {
        canvas.Brush().SetColor(trace->GetLinePen().GetColor());
        canvas.Brush().SetStyle(TnvBrushStyle::Solid);
        canvas.RoundRect(box1, t.Top + 2, box1 + h, t.Bottom - 2, 10, 10);
    } else if (auto* marker = GetSelMarker()) {
        canvas.Brush().SetColor(marker->GetLinePen().GetColor());
        canvas.Brush().SetStyle(TnvBrushStyle::Solid);
        canvas.RoundRect(box2, t.Top + 2, box2 + h, t.Bottom - 2, 10, 10);
    }
}
