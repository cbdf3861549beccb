#pragma once

class TnvGraph;

// The scope's chart as the terminal builds it: four diagrams ("Frequency",
// "Current", "Voltage", "DcBus") sharing one time scale, with their traces and
// limit markers, each trace filled with points samples.
void BuildScopeGraph(TnvGraph& graph, int points);

// The scope's layout for a client of width x height: the last diagram large
// across the bottom, the other three side by side above it.
void LayoutScopeGraph(TnvGraph& graph, int width, int height);
