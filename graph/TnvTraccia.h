#pragma once

#include "TnvGraphElement.h"

#include <memory>
#include <vector>

class TnvCanvas;
class TnvScala;

// A data series of a diagram: world points drawn as a line (TrkType 1), steps
// (2), bars (3) or single pixels (4), with an optional symbol at each point
// (Dotted: 1 circle, 2 square, 3 triangle, 4 diagonal cross). Keeps the ranges
// of its points for auto-scaling and, while selected, a cursor.
class TnvTraccia : public TnvGraphElement {
public:
    TnvTraccia(TnvDiagram* owner, const QString& name);

    bool GetSelected() const { return FSelected; }
    // Deselecting drops the cursor.
    void SetSelected(bool value);
    // The world point last clicked in the plot while selected; none before.
    const Tnv2DPoint* GetCursor() const { return FCursor.get(); }

    double GetXMin() const { return FXMin; }
    double GetXMax() const { return FXMax; }
    double GetYMin() const { return FYMin; }
    double GetYMax() const { return FYMax; }

    std::uint8_t GetTrkType() const { return FTrkType; }
    void SetTrkType(std::uint8_t type);
    std::uint8_t GetDotted() const { return FDotted; }
    void SetDotted(std::uint8_t dotted);

    int GetCount() const { return static_cast<int>(FPoints.size()); }
    const std::vector<Tnv2DPoint>& GetPoints() const { return FPoints; }
    // Appends (x, y), first dropping the oldest point when shift is set. No
    // repaint: the caller repaints.
    void AddPoint(bool shift, double x, double y);
    // Drops the first n points, only when there are more than n.
    void RemoveFirst(int n);
    // Drops all points; the ranges keep their values.
    void Clear();

    // Places the cursor at the world point of pixel point.
    void SetCursorAt(const TnvScala* x, const TnvScala* y, QPoint point);

    // Paints the trace into its plot area; false when invisible or an argument is missing.
    bool Draw(TnvCanvas* canvas, const TnvScala* x, const TnvScala* y);

    QString GetSetup() const;
    void SetSetup(const QString& text);

private:
    void RecomputeRanges();

    bool FSelected = false;
    std::unique_ptr<Tnv2DPoint> FCursor;
    double FXMin = 0.0;
    double FXMax = 0.0;
    double FYMin = 0.0;
    double FYMax = 0.0;
    std::uint8_t FTrkType = 1;
    std::uint8_t FDotted = 0;
    std::vector<Tnv2DPoint> FPoints;
};

namespace nv {
// Point symbols shared by traces and markers, around pixel p.
void DrawPointSymbol(TnvCanvas& canvas, std::uint8_t dotted, QPoint p);
// World to pixel with the trace and marker rounding: truncation toward zero,
// kept within what the painter can take.
int TruncPixel(double value);
} // namespace nv
