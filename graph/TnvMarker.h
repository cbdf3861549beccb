#pragma once

#include "TnvGraphElement.h"

class TnvCanvas;
class TnvScala;

// Orientation set of a marker: vertical line at X, horizontal line at Y.
enum TnvOrientation : unsigned {
    orVertical = 1u,   // the set holds 1
    orHorizontal = 2u, // the set holds 2
};

// One marked world point of a diagram: a vertical line at its X and/or a
// horizontal line at its Y, each with a symbol on the scale side and a framed
// label next to the scale. The label boxes are the marker's hit areas.
class TnvMarker : public TnvGraphElement {
public:
    TnvMarker(TnvDiagram* owner, const QString& name);

    QString GetText() const { return FText; }
    void SetText(const QString& text);
    TnvPen& GetTextPen() { return FTextPen; }
    TnvBrush& GetTextBrush() { return FTextBrush; }
    TnvFont& GetTextFont() { return FTextFont; }
    bool GetTextVisible() const { return FTextVisible; }
    void SetTextVisible(bool value);

    Tnv2DPoint GetPoint() const { return FPoint; }
    void SetPoint(double x, double y);
    // Direct assignment without a repaint request (the caller repaints).
    void SetPointX(double x) { FPoint.X = x; }
    void SetPointY(double y) { FPoint.Y = y; }

    // Symbol at the scale end: 0 none, 1 right half-triangle, 2 left
    // half-triangle, 3 triangle, 4 circle, 5 square.
    std::uint8_t GetMrkType() const { return FMrkType; }
    void SetMrkType(std::uint8_t type);
    std::uint8_t GetDotted() const { return FDotted; }
    void SetDotted(std::uint8_t dotted);
    unsigned GetOrType() const { return FOrType; }
    void SetOrType(unsigned orType);

    TnvRect GetXLabelBox() const { return FXLabelBox; }
    TnvRect GetYLabelBox() const { return FYLabelBox; }
    // 0 not selected, 1 its X label was hit, 2 its Y label.
    std::uint8_t GetSelected() const { return FSelected; }
    void SetSelected(std::uint8_t value);

    // Whether a label box strictly contains point; stores which in Selected
    // (without repaint).
    bool HitTest(QPoint point);

    // Paints the marker into its plot area; false when invisible or an argument is missing.
    bool Draw(TnvCanvas* canvas, const TnvScala* x, const TnvScala* y);

    QString GetSetup() const;
    void SetSetup(const QString& text);

private:
    struct TLabel {
        QString First;
        QString Second;
        int Width = 0;
        int Height = 0;
    };
    TLabel Label(TnvCanvas& canvas, const TnvScala& scale, double v) const;
    void DrawVertical(TnvCanvas& canvas, const TnvScala& xs, int x);
    void DrawHorizontal(TnvCanvas& canvas, const TnvScala& ys, int y);
    void DrawScaleSymbol(TnvCanvas& canvas, QPoint anchor, int dirX, int dirY, bool turned,
                         const TnvRect& box);

    QString FText = "0.00";
    TnvPen FTextPen;
    TnvBrush FTextBrush;
    TnvFont FTextFont;
    bool FTextVisible = true;
    Tnv2DPoint FPoint{1E+99, 1E+99};
    std::uint8_t FMrkType = 0;
    std::uint8_t FDotted = 0;
    unsigned FOrType = orVertical | orHorizontal;
    TnvRect FYLabelBox;
    TnvRect FXLabelBox;
    std::uint8_t FSelected = 0;
};
