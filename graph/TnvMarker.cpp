#include "TnvMarker.h"

#include "NvFormat.h"
#include "NvGraphSetup.h"
#include "TnvCanvas.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <algorithm>

namespace {

bool InRange(const TnvScala& scale, double v) {
    return scale.GetMin() <= v && v <= scale.GetMax();
}

} // namespace

TnvMarker::TnvMarker(TnvDiagram* owner, const QString& name)
    : TnvGraphElement(owner, name)
    , FTextPen(kClWhite, TnvPenMode::Copy, TnvPenStyle::Solid, 1)
    , FTextBrush(kClBlack, TnvBrushStyle::Solid)
    , FTextFont(kClWhite, "Arial Narrow", -10) {
    TReading reading(*this);
    GetLineBrush().Assign(TnvBrush(GetLinePen().GetColor(), TnvBrushStyle::Solid));
    Watch(FTextPen);
    Watch(FTextBrush);
    Watch(FTextFont);
}

void TnvMarker::SetText(const QString& text) {
    if (text != FText) {
        FText = text;
        Changed();
    }
}

void TnvMarker::SetTextVisible(bool value) {
    if (value != FTextVisible) {
        FTextVisible = value;
        Changed();
    }
}

void TnvMarker::SetPoint(double x, double y) {
    if (x != FPoint.X || y != FPoint.Y) {
        FPoint = {x, y};
        Changed();
    }
}

void TnvMarker::SetMrkType(std::uint8_t type) {
    if (type != FMrkType) {
        FMrkType = type;
        Changed();
    }
}

void TnvMarker::SetDotted(std::uint8_t dotted) {
    if (dotted != FDotted) {
        FDotted = dotted;
        Changed();
    }
}

void TnvMarker::SetOrType(unsigned orType) {
    if (orType != FOrType) {
        FOrType = orType;
        Changed();
    }
}

void TnvMarker::SetSelected(std::uint8_t value) {
    if (value != FSelected) {
        FSelected = value;
        Changed();
    }
}

bool TnvMarker::HitTest(QPoint point) {
    if ((FOrType & orVertical) && nv::StrictlyContains(FXLabelBox, point))
        FSelected = 1;
    else if ((FOrType & orHorizontal) && nv::StrictlyContains(FYLabelBox, point))
        FSelected = 2;
    else
        FSelected = 0;
    return FSelected != 0;
}

TnvMarker::TLabel TnvMarker::Label(TnvCanvas& canvas, const TnvScala& scale, double v) const {
    TLabel label;
    if (scale.GetIsTime())
        label.First = nv::TimeToStr(v);
    else if (scale.GetIsDate())
        label.First = nv::DateToStr(v);
    else
        label.First = nv::FormatFloat(FText, v);
    if (scale.GetIsDate() && scale.GetIsTime())
        label.Second = nv::DateToStr(v);
    label.Width = std::max(canvas.TextWidth(label.First), canvas.TextWidth(label.Second));
    label.Height = canvas.TextHeight(label.First);
    return label;
}

void TnvMarker::DrawScaleSymbol(TnvCanvas& canvas, QPoint anchor, int dirX, int dirY, bool turned,
                                const TnvRect& box) {
    // Shape points (px, py) relative to the anchor, turned for the Y scale's side.
    static const QPoint triangle[3] = {{0, 0}, {5, 5}, {-5, 5}};
    static const QPoint leftHalf[3] = {{0, 0}, {-5, 5}, {0, 5}};
    static const QPoint rightHalf[3] = {{0, 0}, {5, 5}, {0, 5}};
    const QPoint* shape = nullptr;
    switch (FMrkType) {
    case 1:
        shape = rightHalf;
        break;
    case 2:
        shape = leftHalf;
        break;
    case 3:
        shape = triangle;
        break;
    case 4:
        canvas.Ellipse(box.Left, box.Top, box.Right, box.Bottom);
        return;
    case 5:
        canvas.Rectangle(box.Left, box.Top, box.Right, box.Bottom);
        return;
    default:
        return;
    }
    QPoint points[3];
    for (int i = 0; i < 3; ++i) {
        const int px = shape[i].x();
        const int py = shape[i].y();
        points[i] = turned ? QPoint(anchor.x() + dirX * py, anchor.y() - px)
                           : QPoint(anchor.x() + px, anchor.y() + dirY * py);
    }
    canvas.Polygon(points, 3);
}

void TnvMarker::DrawVertical(TnvCanvas& canvas, const TnvScala& xs, int x) {
    const TnvRect& e = FDrawArea;
    const bool above = xs.GetAlign() == 1;
    if (GetLineVisible()) {
        canvas.Pen().Assign(GetLinePen());
        canvas.Brush().Assign(TnvBrush(GetLineBrush().GetColor(), TnvBrushStyle::Clear));
        canvas.MoveTo(x, e.Top);
        canvas.LineTo(x, e.Bottom + 1);
        canvas.Brush().Assign(GetLineBrush());
        if (above)
            DrawScaleSymbol(canvas, {x, e.Top - 2}, 0, -1, false,
                            {x - 2, e.Top - 6, x + 3, e.Top - 1});
        else
            DrawScaleSymbol(canvas, {x, e.Bottom + 2}, 0, 1, false,
                            {x - 2, e.Bottom + 2, x + 3, e.Bottom + 7});
    }
    if (!FTextVisible)
        return;
    canvas.Font().Assign(FTextFont);
    canvas.Brush().Assign(FTextBrush);
    canvas.Pen().Assign(FTextPen);
    const TLabel label = Label(canvas, xs, FPoint.X);
    const int th = label.Height;
    const int gap = 3 * (th / 4);
    TnvRect& box = FXLabelBox;
    if (above) {
        box.Bottom = e.Top - 7;
        box.Top = box.Bottom - th - gap;
    } else {
        box.Top = e.Bottom + 8;
        box.Bottom = box.Top + th + gap;
    }
    box.Left = x - label.Width / 2 - 2;
    box.Right = x + label.Width / 2 + 1;
    canvas.Rectangle(box.Left, box.Top, box.Right, box.Bottom);
    canvas.Brush().SetStyle(TnvBrushStyle::Clear);
    const int firstY = above ? box.Top + gap : box.Top;
    const int secondY = above ? box.Top : box.Top + gap;
    canvas.TextOut(x - canvas.TextWidth(label.First) / 2, firstY, label.First);
    canvas.TextOut(x - canvas.TextWidth(label.Second) / 2, secondY, label.Second);
}

void TnvMarker::DrawHorizontal(TnvCanvas& canvas, const TnvScala& ys, int y) {
    const TnvRect& e = FDrawArea;
    const bool left = ys.GetAlign() == 3;
    if (GetLineVisible()) {
        canvas.Pen().Assign(GetLinePen());
        canvas.Brush().Assign(TnvBrush(GetLineBrush().GetColor(), TnvBrushStyle::Clear));
        canvas.MoveTo(e.Left, y);
        canvas.LineTo(e.Right, y);
        canvas.Brush().Assign(GetLineBrush());
        if (left)
            DrawScaleSymbol(canvas, {e.Left - 2, y}, -1, 0, true,
                            {e.Left - 6, y - 2, e.Left - 1, y + 3});
        else
            DrawScaleSymbol(canvas, {e.Right + 2, y}, 1, 0, true,
                            {e.Right + 2, y - 2, e.Right + 7, y + 3});
    }
    if (!FTextVisible)
        return;
    canvas.Font().Assign(FTextFont);
    canvas.Brush().Assign(FTextBrush);
    canvas.Pen().Assign(FTextPen);
    const TLabel label = Label(canvas, ys, FPoint.Y);
    const int th = label.Height;
    const int gap = 3 * (th / 4);
    TnvRect& box = FYLabelBox;
    if (left) {
        box.Right = e.Left - 7;
        box.Left = box.Right - label.Width - 3;
    } else {
        box.Left = e.Right + 8;
        box.Right = box.Left + label.Width + 3;
    }
    box.Top = y - gap;
    box.Bottom = y + th;
    canvas.Rectangle(box.Left, box.Top, box.Right, box.Bottom);
    canvas.Brush().SetStyle(TnvBrushStyle::Clear);
    auto xOf = [&](const QString& text) {
        return left ? box.Right - canvas.TextWidth(text) : box.Left + 2;
    };
    canvas.TextOut(xOf(label.First), y, label.First);
    canvas.TextOut(xOf(label.Second), y - gap, label.Second);
}

bool TnvMarker::Draw(TnvCanvas* canvas, const TnvScala* xs, const TnvScala* ys) {
    if (!GetVisible() || !canvas || !xs || !ys)
        return false;
    const TnvRect& e = FDrawArea;
    const int x = nv::TruncPixel((FPoint.X - xs->GetMin()) * xs->PixelsPerUnit()) + e.Left;
    const int y = e.Bottom - nv::TruncPixel((FPoint.Y - ys->GetMin()) * ys->PixelsPerUnit());
    const bool xIn = InRange(*xs, FPoint.X);
    const bool yIn = InRange(*ys, FPoint.Y);
    if ((FOrType & orVertical) && xIn)
        DrawVertical(*canvas, *xs, x);
    if ((FOrType & orHorizontal) && yIn)
        DrawHorizontal(*canvas, *ys, y);
    if (xIn && yIn) {
        canvas->Pen().Assign(GetLinePen());
        canvas->Brush().Assign(GetLineBrush());
        nv::DrawPointSymbol(*canvas, FDotted, {x, y});
    }
    return true;
}

QString TnvMarker::GetSetup() const {
    nv::TSetupWriter writer;
    writer.Line("[nvMarker]");
    writer.Line("Begin");
    WriteSetup(writer);
    writer.Key("Text", FText);
    writer.Key("TextPen", nv::SetupPen(FTextPen));
    writer.Key("TextBrush", nv::SetupBrush(FTextBrush));
    writer.Key("TextFont", nv::SetupFont(FTextFont));
    writer.Key("TextVisible", nv::SetupBool(FTextVisible));
    writer.Key("Point", nv::SetupPair(FPoint.X, FPoint.Y));
    writer.Key("MrkType", QString::number(FMrkType));
    writer.Key("Dotted", QString::number(FDotted));
    QString orType;
    if (FOrType & orHorizontal)
        orType += 'H';
    if (FOrType & orVertical)
        orType += 'V';
    writer.Key("OrType", orType);
    writer.Line("End");
    return writer.Text();
}

void TnvMarker::SetSetup(const QString& text) {
    const nv::TSetupReader reader(nv::SplitSetupLines(text));
    ReadSetup(reader);
    TReading reading(*this);
    FText = reader.Value("Text");
    nv::ReadSetupPen(reader.Value("TextPen"), FTextPen);
    nv::ReadSetupBrush(reader.Value("TextBrush"), FTextBrush);
    nv::ReadSetupFont(reader.Value("TextFont"), FTextFont);
    FTextVisible = nv::ReadSetupBool(reader.Value("TextVisible"));
    const auto [x, y] = nv::ReadSetupPair(reader.Value("Point"));
    FPoint = {x, y};
    FMrkType = static_cast<std::uint8_t>(nv::ReadSetupInt(reader.Value("MrkType")));
    FDotted = static_cast<std::uint8_t>(nv::ReadSetupInt(reader.Value("Dotted")));
    const QString orType = reader.Value("OrType");
    FOrType = (orType.contains('H') ? orHorizontal : 0u) | (orType.contains('V') ? orVertical : 0u);
}
