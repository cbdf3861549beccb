#pragma once

#include "NvGraphTypes.h"

#include <span>

class TnvGraph;
class TnvTraccia;

// The scope's chart, shared by the scope window and the benchmarks: four
// diagrams ("Frequency", "Current", "Voltage", "DcBus", in this painting
// order) sharing one time scale, each with its traces and limit markers.
namespace nv {

// Adds the four diagrams with empty traces to graph and switches its
// automatic refresh off.
void BuildScopeGraph(TnvGraph& graph);

// Lays the diagrams out by their painting index for a client of width x
// height: the last one large across the bottom (from y = 100 down), the
// other three side by side above it. A missing index is skipped.
void LayoutScopeGraph(TnvGraph& graph, int width, int height);

// Replaces the points of trace by points, or, when they are more than two
// per pixel column of a plot `columns` wide, by their envelope: per column
// the lowest and the highest point, in time order. A line drawn through the
// envelope covers the same pixels, at a cost bound by the screen instead of
// by the number of samples.
void FillEnvelope(TnvTraccia& trace, std::span<const Tnv2DPoint> points, int columns);

} // namespace nv
