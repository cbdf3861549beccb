#pragma once

#include <QString>

class TnvDiagram;
class TnvGraph;

// The V/F chart, shared by the terminal's V/F window and the reports' picture:
// one diagram with a frequency scale (Hz) below, a voltage scale (V) on the
// left, the curve and the markers "Fmax", "Fmin", "Start", "Boost" and
// "Base". Its points come from the drive's values.
namespace nv {

inline const QString kVFDiagram = QStringLiteral("V/F relation");

// Adds the chart to graph, switches its automatic refresh off and returns the
// diagram.
TnvDiagram* BuildVFGraph(TnvGraph& graph);

} // namespace nv
