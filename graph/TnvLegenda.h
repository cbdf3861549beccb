#pragma once

#include "TnvDiagram.h"
#include "TnvGraphElement.h"

class TnvCanvas;

// The traces of a diagram in a grid of cells: each name underlined in its
// trace's pen, the selected one in its colour and italics. A cell hit selects
// its trace.
class TnvLegenda : public TnvGraphElement {
public:
    // traces: the owner diagram's trace list (not owned).
    TnvLegenda(TnvDiagram* owner, const QString& name, const TnvTrkList* traces);

    int GetColCount() const { return FColCount; }
    void SetColCount(int count);
    int GetRowCount() const { return FRowCount; }
    int GetCellWidth() const { return FCellWidth; }
    int GetCellHeight() const { return FCellHeight; }
    int GetLeft() const { return FLeft; }
    void SetLeft(int left);
    int GetTop() const { return FTop; }
    void SetTop(int top);

    // Paints the grid at its offset in the diagram; false when invisible or
    // there is no canvas or trace list.
    bool Draw(TnvCanvas* canvas);
    // The trace whose cell (as last drawn) strictly contains point; none else.
    TnvTraccia* TraceAtPos(QPoint point) const;

    QString GetSetup() const;
    void SetSetup(const QString& text);

private:
    friend class TnvDiagram; // points a moved legend at its new diagram's traces

    const TnvTrkList* FTrkSource;
    int FColCount = 1;
    int FCellWidth = 0;
    int FRowCount = 1;
    int FCellHeight = 0;
    int FLeft = 0;
    int FTop = 0;
};
