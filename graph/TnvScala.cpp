#include "TnvScala.h"

#include "NvDateTime.h"
#include "NvFormat.h"
#include "NvGraphSetup.h"
#include "TnvCanvas.h"
#include "TnvTraccia.h"

#include <cmath>
#include <cstdint>

TnvScala::TnvScala(TnvDiagram* owner, std::uint8_t align, const QString& name)
    : TnvGraphElement(owner, name)
    , FAlign(align)
    , FGridPen(kClWhite, TnvPenMode::Copy, TnvPenStyle::Dot, 1)
    , FGridBrush(kClBlack, TnvBrushStyle::Clear)
    , FGridArea(FDrawArea)
    , FTextPen(kClWhite, TnvPenMode::Copy, TnvPenStyle::Solid, 1)
    , FTextBrush(kClBlack, TnvBrushStyle::Clear)
    , FTextFont(kClWhite, "Arial Narrow", -10) {
    TReading reading(*this);
    GetTitleFont().Assign(TnvFont(kClWhite, "Arial", -10));
    Watch(FGridPen);
    Watch(FGridBrush);
    Watch(FTextPen);
    Watch(FTextBrush);
    Watch(FTextFont);
}

void TnvScala::SetGridVisible(bool value) {
    if (value != FGridVisible) {
        FGridVisible = value;
        Changed();
    }
}

void TnvScala::SetText(const QString& text) {
    if (text != FText) {
        FText = text;
        Changed();
    }
}

void TnvScala::SetTextVisible(bool value) {
    if (value != FTextVisible) {
        FTextVisible = value;
        Changed();
    }
}

void TnvScala::SetRange(double min, double max) {
    if (min != FMin || max != FMax) {
        FMin = min;
        FMax = max;
        Changed();
    }
}

void TnvScala::SetDivStep(double step) {
    if (step != FDivStep) {
        FDivStep = step;
        Changed();
    }
}

void TnvScala::SetIsDate(bool value) {
    if (value != FIsDate) {
        FIsDate = value;
        Changed();
    }
}

void TnvScala::SetIsTime(bool value) {
    if (value != FIsTime) {
        FIsTime = value;
        Changed();
    }
}

double TnvScala::PixelsPerUnit() const {
    // In doubles: the sides of a vast area are further apart than an int reaches.
    const TnvRect& a = FDrawArea;
    const double length =
        IsHorizontal() ? double(a.Right) - a.Left - 2 : double(a.Bottom) - a.Top - 2;
    const double span = GetSpan();
    return span == 0 ? 1.0 : length / span;
}

int TnvScala::PixelOf(double value) const {
    if (IsHorizontal())
        return nv::TruncPixel((value - FMin) * PixelsPerUnit() + FGridArea.Left);
    return nv::TruncPixel(FGridArea.Bottom - (value - FMin) * PixelsPerUnit());
}

QString TnvScala::LabelText(double v) const {
    if (FIsDate)
        return nv::DateToStr(v);
    if (FIsTime)
        return nv::TimeToStr(v);
    return nv::FormatFloat(FText, v);
}

QString TnvScala::SecondLineText(double v) const {
    return FIsDate && FIsTime ? nv::TimeToStr(v) : QString();
}

double TnvScala::DivisionStep(double wished, double span, double pixelsPerUnit,
                              double minDistance) {
    // A negative step counts by its magnitude; labels need at least a pixel,
    // which bounds the number of divisions by the axis length.
    double step = std::fabs(wished);
    if (step == 0 || span <= 0 || !std::isfinite(step) || !std::isfinite(span) ||
        !(pixelsPerUnit > 0) || !std::isfinite(pixelsPerUnit))
        return 0;
    minDistance = std::max(minDistance, 1.0);
    while (span * 0.5 < step)
        step *= 0.1;
    while (pixelsPerUnit * step < minDistance) {
        double t = step * 2;
        if (pixelsPerUnit * t < minDistance)
            t = step * 5;
        if (pixelsPerUnit * t < minDistance)
            t = step * 10;
        step = t;
    }
    return step;
}

double TnvScala::CurrentStep(TnvCanvas& canvas) const {
    if (int64_t{FDrawArea.Bottom} - FDrawArea.Top <= 2 ||
        int64_t{FDrawArea.Right} - FDrawArea.Left <= 2)
        return 0;
    if (FDivStep == 0 || GetSpan() == 0)
        return 0;
    QString sample = FText;
    if (FIsDate)
        sample = nv::DateToStr(nv::Now());
    else if (FIsTime)
        sample = nv::TimeToStr(nv::Now());
    const int minDistance =
        IsHorizontal() ? canvas.TextWidth(sample) : 2 * canvas.TextHeight(sample);
    return DivisionStep(FDivStep, GetSpan(), PixelsPerUnit(), minDistance);
}

std::vector<double> TnvScala::Divisions(double step) const {
    std::vector<double> result;
    // A step far too small for the span (only a caller's own step can be)
    // would make millions of divisions no axis can show.
    constexpr double kMostDivisions = 100000;
    if (!(step > 0) || !(GetSpan() / step <= kMostDivisions))
        return result;
    const double first = std::floor(FMin / step) * step;
    for (int k = 1;; ++k) {
        const double d = first + k * step;
        if (!(d <= FMax))
            break;
        result.push_back(d);
    }
    return result;
}

bool TnvScala::Draw(TnvCanvas* canvas) {
    if (!GetVisible() || !canvas)
        return false;
    const double step = CurrentStep(*canvas);
    if (IsHorizontal())
        DrawHorizontal(*canvas, step);
    else if (FAlign == 3 || FAlign == 4)
        DrawVertical(*canvas, step);
    return true;
}

void TnvScala::DrawHorizontal(TnvCanvas& canvas, double step) {
    const TnvRect& e = FDrawArea;
    const TnvRect& g = FGridArea;
    const bool above = FAlign == 1;
    const std::vector<double> divisions = Divisions(step);
    const double ppu = PixelsPerUnit();

    if (GetLineVisible()) {
        canvas.Pen().Assign(GetLinePen());
        canvas.Brush().Assign(GetLineBrush());
        const int base = above ? e.Bottom : e.Top;
        const int tip = above ? e.Bottom - 5 : e.Top + 5;
        auto tick = [&](int x) {
            canvas.MoveTo(x, tip);
            canvas.LineTo(x, base);
        };
        tick(g.Right);
        tick(g.Left);
        for (double d : divisions)
            tick(PixelOf(d));
    }
    if (FGridVisible) {
        canvas.Pen().Assign(FGridPen);
        canvas.Brush().Assign(FGridBrush);
        for (double d : divisions) {
            const int x = PixelOf(d);
            canvas.MoveTo(x, g.Top);
            canvas.LineTo(x, g.Bottom);
        }
    }
    if (FTextVisible) {
        canvas.Font().Assign(FTextFont);
        canvas.Brush().Assign(FTextBrush);
        canvas.Pen().Assign(FTextPen);
        const int th = canvas.TextHeight("0");
        const int y0 = above ? e.Bottom - 5 - th : e.Top + 5;
        const int y1 = above ? y0 - (3 * th) / 4 : y0 + (3 * th) / 4;
        const bool twoLines = FIsDate && FIsTime;
        auto ends = [&](double v, bool right) {
            for (int line = 0; line < (twoLines ? 2 : 1); ++line) {
                const QString text = line == 0 ? LabelText(v) : SecondLineText(v);
                const int x = right ? e.Right - canvas.TextWidth(text) : e.Left + 1;
                canvas.TextOut(x, line == 0 ? y0 : y1, text);
            }
        };
        ends(FMax, true);
        ends(FMin, false);
        for (double d : divisions) {
            for (int line = 0; line < (twoLines ? 2 : 1); ++line) {
                const QString text = line == 0 ? LabelText(d) : SecondLineText(d);
                const double tw = canvas.TextWidth(text);
                const int x = nv::TruncPixel((d - FMin) * ppu + e.Left - tw / 2 + 1);
                canvas.TextOut(x, line == 0 ? y0 : y1, text);
            }
        }
    }
    if (GetTitleVisible()) {
        FTitle.Select(canvas);
        const int tw = canvas.TextWidth(GetName());
        const int th = canvas.TextHeight(GetName());
        const auto x = static_cast<int>(e.Left + (int64_t{e.Right} - e.Left - tw) / 2);
        canvas.TextOut(x, above ? e.Top + 1 : e.Bottom - 1 - th, GetName());
    }
}

void TnvScala::DrawVertical(TnvCanvas& canvas, double step) {
    const TnvRect& e = FDrawArea;
    const TnvRect& g = FGridArea;
    const bool left = FAlign == 3;
    const std::vector<double> divisions = Divisions(step);
    const double ppu = PixelsPerUnit();

    if (GetLineVisible()) {
        canvas.Pen().Assign(GetLinePen());
        canvas.Brush().Assign(GetLineBrush());
        const int base = left ? e.Right : e.Left;
        const int tip = left ? e.Right - 5 : e.Left + 5;
        auto tick = [&](int y) {
            canvas.MoveTo(tip, y);
            canvas.LineTo(base, y);
        };
        tick(g.Top);
        tick(g.Bottom);
        for (double d : divisions)
            tick(PixelOf(d));
    }
    if (FGridVisible) {
        canvas.Pen().Assign(FGridPen);
        canvas.Brush().Assign(FGridBrush);
        for (double d : divisions) {
            const int y = PixelOf(d);
            canvas.MoveTo(g.Left, y);
            canvas.LineTo(g.Right, y);
        }
    }
    if (FTextVisible) {
        canvas.Font().Assign(FTextFont);
        canvas.Brush().Assign(FTextBrush);
        canvas.Pen().Assign(FTextPen);
        const int th = canvas.TextHeight("0");
        const bool twoLines = FIsDate && FIsTime;
        auto put = [&](int y, const QString& text) {
            const int x = left ? e.Right - 6 - canvas.TextWidth(text) : e.Left + 7;
            canvas.TextOut(x, y, text);
        };
        put(e.Top + th / 4, LabelText(FMax));
        if (twoLines) {
            put(e.Bottom - th - (3 * th) / 4, LabelText(FMin));
            put(e.Top + th, SecondLineText(FMax));
            put(e.Bottom - th, SecondLineText(FMin));
        } else {
            put(e.Bottom - th, LabelText(FMin));
        }
        for (double d : divisions) {
            const double offset = (d - FMin) * ppu;
            if (twoLines) {
                put(nv::TruncPixel(e.Bottom - (3 * th) / 4 - th / 4 - offset), LabelText(d));
                put(nv::TruncPixel(e.Bottom - th / 4 - offset), SecondLineText(d));
            } else {
                put(nv::TruncPixel(e.Bottom - (3 * th) / 4 - offset), LabelText(d));
            }
        }
    }
    if (GetTitleVisible()) {
        FTitle.Select(canvas);
        const int tw = canvas.TextWidth(GetName());
        const int th = canvas.TextHeight(GetName());
        // Both sides centre the upward text on the scale's height.
        const auto y = static_cast<int>(e.Bottom - (int64_t{e.Bottom} - e.Top - tw) / 2);
        const int x = left ? e.Left + 2 : e.Right - 2 - th;
        canvas.TextOutTurned(x, y, GetName());
    }
}

QString TnvScala::GetSetup() const {
    nv::TSetupWriter writer;
    writer.Line("[nvScala]");
    writer.Line("Begin");
    WriteSetup(writer);
    writer.Key("Align", QString::number(FAlign));
    writer.Key("GridPen", nv::SetupPen(FGridPen));
    writer.Key("GridBrush", nv::SetupBrush(FGridBrush));
    writer.Key("GridVisible", nv::SetupBool(FGridVisible));
    writer.Key("Text", FText);
    writer.Key("TextPen", nv::SetupPen(FTextPen));
    writer.Key("TextBrush", nv::SetupBrush(FTextBrush));
    writer.Key("TextFont", nv::SetupFont(FTextFont));
    writer.Key("TextVisible", nv::SetupBool(FTextVisible));
    writer.Key("Range", nv::SetupPair(FMin, FMax));
    writer.Key("DivStep", nv::SetupFloat(FDivStep));
    writer.Key("IsDate", nv::SetupBool(FIsDate));
    writer.Key("IsTime", nv::SetupBool(FIsTime));
    writer.Line("End");
    return writer.Text();
}

void TnvScala::SetSetup(const QString& text) {
    const nv::TSetupReader reader(nv::SplitSetupLines(text));
    ReadSetup(reader);
    TReading reading(*this);
    FAlign = static_cast<std::uint8_t>(nv::ReadSetupInt(reader.Value("Align")));
    nv::ReadSetupPen(reader.Value("GridPen"), FGridPen);
    nv::ReadSetupBrush(reader.Value("GridBrush"), FGridBrush);
    FGridVisible = nv::ReadSetupBool(reader.Value("GridVisible"));
    FText = reader.Value("Text");
    nv::ReadSetupPen(reader.Value("TextPen"), FTextPen);
    nv::ReadSetupBrush(reader.Value("TextBrush"), FTextBrush);
    nv::ReadSetupFont(reader.Value("TextFont"), FTextFont);
    FTextVisible = nv::ReadSetupBool(reader.Value("TextVisible"));
    const auto [min, max] = nv::ReadSetupPair(reader.Value("Range"));
    FMin = min;
    FMax = max;
    FDivStep = nv::ReadSetupFloat(reader.Value("DivStep"));
    FIsDate = nv::ReadSetupBool(reader.Value("IsDate"));
    FIsTime = nv::ReadSetupBool(reader.Value("IsTime"));
}
