#pragma once

#include "TerminalFixture.h"

#include <QPoint>

class TGraphView;
class TnvDiagram;
class TnvMarker;

// The terminal's plots driven as the operator drives them: real mouse
// events on the graph widget, at pixels computed from the chart's values.
class PlotFixture : public TerminalFixture {
protected:
    // The pixel of world point (x, y) in diagram d (after a paint).
    static QPoint At(TnvDiagram* d, double x, double y);
    // The middle of a marker's X (1) or Y (2) label.
    static QPoint Label(TnvMarker* m, int which);
    // Press at from, move to to, release there.
    static void Drag(TGraphView* view, QPoint from, QPoint to);
    static void Click(TGraphView* view, QPoint at);
    // Shows window and waits until it is on the screen.
    static void ShowExposed(QWidget* window);
};
