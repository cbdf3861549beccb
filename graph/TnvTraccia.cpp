#include "TnvTraccia.h"

#include "NvGraphSetup.h"
#include "TnvCanvas.h"
#include "TnvScala.h"

#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace nv {

int TruncPixel(double value) {
    // Far-away points keep their side of the plot; the painter's coordinates
    // stay within what it can rasterise.
    constexpr double kLimit = 1'000'000.0;
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

void DrawPointSymbol(TnvCanvas& canvas, std::uint8_t dotted, QPoint p) {
    const int x = p.x();
    const int y = p.y();
    switch (dotted) {
    case 1:
        canvas.Ellipse(x - 2, y - 2, x + 3, y + 3);
        break;
    case 2:
        canvas.Rectangle(x - 2, y - 2, x + 3, y + 3);
        break;
    case 3: {
        const QPoint triangle[3] = {{x - 3, y + 2}, {x + 3, y + 2}, {x, y - 5}};
        canvas.Polygon(triangle, 3);
        break;
    }
    case 4:
        canvas.MoveTo(x - 2, y - 2);
        canvas.LineTo(x + 3, y + 3);
        canvas.MoveTo(x - 2, y + 2);
        canvas.LineTo(x + 3, y - 3);
        break;
    default:
        break;
    }
}

} // namespace nv

TnvTraccia::TnvTraccia(TnvDiagram* owner, const QString& name)
    : TnvGraphElement(owner, name) {}

void TnvTraccia::SetSelected(bool value) {
    if (value == FSelected)
        return;
    FSelected = value;
    if (!value)
        FCursor.reset();
    Changed();
}

void TnvTraccia::SetTrkType(std::uint8_t type) {
    if (type != FTrkType) {
        FTrkType = type;
        Changed();
    }
}

void TnvTraccia::SetDotted(std::uint8_t dotted) {
    if (dotted != FDotted) {
        FDotted = dotted;
        Changed();
    }
}

void TnvTraccia::AddPoint(bool shift, double x, double y) {
    if (shift)
        RemoveFirst(1);
    FPoints.push_back({x, y});
    if (FPoints.size() <= 1) {
        FXMin = FXMax = x;
        FYMin = FYMax = y;
        return;
    }
    if (x > FXMax)
        FXMax = x;
    else if (x < FXMin)
        FXMin = x;
    if (y > FYMax)
        FYMax = y;
    else if (y < FYMin)
        FYMin = y;
}

void TnvTraccia::RemoveFirst(int n) {
    if (n < 0 || GetCount() <= n)
        return;
    FPoints.erase(FPoints.begin(), FPoints.begin() + n);
    RecomputeRanges();
}

void TnvTraccia::Clear() {
    FPoints.clear();
}

void TnvTraccia::RecomputeRanges() {
    for (size_t i = 0; i < FPoints.size(); ++i) {
        const Tnv2DPoint& p = FPoints[i];
        if (i == 0) {
            FXMin = FXMax = p.X;
            FYMin = FYMax = p.Y;
            continue;
        }
        FXMax = std::max(FXMax, p.X);
        FXMin = std::min(FXMin, p.X);
        FYMax = std::max(FYMax, p.Y);
        FYMin = std::min(FYMin, p.Y);
    }
}

void TnvTraccia::SetCursorAt(const TnvScala* x, const TnvScala* y, QPoint point) {
    if (!x || !y)
        return;
    if (!FCursor)
        FCursor = std::make_unique<Tnv2DPoint>();
    const TnvRect& e = FDrawArea;
    FCursor->X =
        (double(point.x()) - e.Left) * x->GetSpan() / (double(e.Right) - e.Left - 2) + x->GetMin();
    FCursor->Y = (double(e.Bottom) - point.y()) * y->GetSpan() / (double(e.Bottom) - e.Top - 2) +
                 y->GetMin();
}

bool TnvTraccia::Draw(TnvCanvas* canvas, const TnvScala* xs, const TnvScala* ys) {
    if (!GetVisible() || !canvas || !xs || !ys)
        return false;
    const TnvRect& e = FDrawArea;
    canvas->SetClipRect(e);
    canvas->Pen().Assign(GetLinePen());
    canvas->Brush().Assign(GetLineBrush());

    const double kx = xs->PixelsPerUnit();
    const double ky = ys->PixelsPerUnit();
    QPolygon pixels(GetCount());
    for (int i = 0; i < GetCount(); ++i) {
        const Tnv2DPoint& p = FPoints[static_cast<size_t>(i)];
        pixels[i] = QPoint(nv::TruncPixel((p.X - xs->GetMin()) * kx) + e.Left,
                           e.Bottom - nv::TruncPixel((p.Y - ys->GetMin()) * ky));
    }

    const int n = pixels.size();
    switch (FTrkType) {
    case 1:
        canvas->Polyline(pixels.constData(), n);
        break;
    case 2:
        for (int i = 0; i < n; ++i) {
            const QPoint next = pixels[i + 1 < n ? i + 1 : i];
            if (i == 0)
                canvas->MoveTo(pixels[i].x(), pixels[i].y());
            canvas->LineTo(next.x(), pixels[i].y());
            canvas->LineTo(next.x(), next.y());
        }
        break;
    case 3: {
        const int y0 = e.Bottom - nv::TruncPixel((0 - ys->GetMin()) * ky);
        for (int i = 0; i < n; ++i) {
            const int x2 = pixels[i + 1 < n ? i + 1 : i].x();
            canvas->Rectangle(pixels[i].x(), pixels[i].y(), x2 + 1, y0 + 1);
        }
        break;
    }
    case 4:
        for (const QPoint& p : pixels)
            canvas->SetPixel(p.x(), p.y(), GetLinePen().GetColor());
        break;
    default:
        break;
    }
    if (FDotted != 0)
        for (const QPoint& p : pixels)
            nv::DrawPointSymbol(*canvas, FDotted, p);

    canvas->ClearClip();
    return true;
}

QString TnvTraccia::GetSetup() const {
    nv::TSetupWriter writer;
    writer.Line("[nvTraccia]");
    writer.Line("Begin");
    WriteSetup(writer);
    writer.Key("TrkType", QString::number(FTrkType));
    writer.Key("Dotted", QString::number(FDotted));
    for (size_t i = 0; i < FPoints.size(); ++i)
        writer.Key(QString("P%1").arg(i), nv::SetupPair(FPoints[i].X, FPoints[i].Y));
    writer.Line("End");
    return writer.Text();
}

void TnvTraccia::SetSetup(const QString& text) {
    const nv::TSetupReader reader(nv::SplitSetupLines(text));
    ReadSetup(reader);
    FTrkType = static_cast<std::uint8_t>(nv::ReadSetupInt(reader.Value("TrkType")));
    FDotted = static_cast<std::uint8_t>(nv::ReadSetupInt(reader.Value("Dotted")));
    for (int i = 0;; ++i) {
        const QString value = reader.Value(QString("P%1").arg(i));
        if (value.isEmpty())
            break;
        const auto [x, y] = nv::ReadSetupPair(value);
        AddPoint(false, x, y);
    }
}
