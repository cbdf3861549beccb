#pragma once

#include "TnvGraphElement.h"

#include <vector>

class TnvCanvas;

// The axis on one side of a diagram's plot: world range, the mapping of world
// values to pixels, tick marks, grid lines, value labels and title. Align: 1
// above, 2 below (horizontal); 3 left, 4 right (vertical); any other code is
// taken as vertical and draws nothing.
class TnvScala : public TnvGraphElement {
public:
    TnvScala(TnvDiagram* owner, std::uint8_t align, const QString& name);

    std::uint8_t GetAlign() const { return FAlign; }
    bool IsHorizontal() const { return FAlign == 1 || FAlign == 2; }

    TnvPen& GetGridPen() { return FGridPen; }
    TnvBrush& GetGridBrush() { return FGridBrush; }
    bool GetGridVisible() const { return FGridVisible; }
    void SetGridVisible(bool value);
    TnvRect GetGridArea() const { return FGridArea; }
    // Placed by the diagram's layout; no repaint.
    void SetGridArea(const TnvRect& area) { FGridArea = area; }

    // The number format of the labels.
    QString GetText() const { return FText; }
    void SetText(const QString& text);
    TnvPen& GetTextPen() { return FTextPen; }
    TnvBrush& GetTextBrush() { return FTextBrush; }
    TnvFont& GetTextFont() { return FTextFont; }
    bool GetTextVisible() const { return FTextVisible; }
    void SetTextVisible(bool value);

    double GetMin() const { return FMin; }
    double GetMax() const { return FMax; }
    // Repaints when either end differs; min < max is not required.
    void SetRange(double min, double max);
    // Direct assignment without a repaint request (the caller repaints).
    void SetMin(double value) { FMin = value; }
    void SetMax(double value) { FMax = value; }
    double GetSpan() const { return FMax - FMin; }

    double GetDivStep() const { return FDivStep; }
    void SetDivStep(double step);
    bool GetIsDate() const { return FIsDate; }
    void SetIsDate(bool value);
    bool GetIsTime() const { return FIsTime; }
    void SetIsTime(bool value);

    // Pixels per world unit along the scale's drawing area (1 for an empty span).
    double PixelsPerUnit() const;
    // Pixel of a world value (horizontal: column, vertical: row).
    int PixelOf(double value) const;

    // The label of v (first line) and, with date and time, its time (second line).
    QString LabelText(double v) const;
    QString SecondLineText(double v) const;

    // The division step that a wished step becomes on an axis with
    // pixelsPerUnit and labels needing minDistance pixels; 0 for no divisions.
    // A negative wished step counts by its magnitude.
    static double DivisionStep(double wished, double span, double pixelsPerUnit,
                               double minDistance);

    // The division values First + k * step (k = 1, 2, ...) up to Max; none
    // for a step that is not positive or would give over 100000 of them.
    std::vector<double> Divisions(double step) const;

    // Paints the scale; false when it is invisible or there is no canvas.
    bool Draw(TnvCanvas* canvas);

    QString GetSetup() const;
    void SetSetup(const QString& text);

private:
    double CurrentStep(TnvCanvas& canvas) const;
    void DrawHorizontal(TnvCanvas& canvas, double step);
    void DrawVertical(TnvCanvas& canvas, double step);

    std::uint8_t FAlign;
    TnvPen FGridPen;
    TnvBrush FGridBrush;
    bool FGridVisible = true;
    TnvRect FGridArea;
    QString FText = "0.00";
    TnvPen FTextPen;
    TnvBrush FTextBrush;
    TnvFont FTextFont;
    bool FTextVisible = true;
    double FMin = 0.0;
    double FMax = 0.0;
    double FDivStep = -1.0;
    bool FIsDate = false;
    bool FIsTime = false;
};
