// The window's pictures, drawn in fixed client-area pixel coordinates from the
// simulation: the network view, the degree distribution on log-log axes,
// the four network measures, and the time series of a finished run.
#pragma once

#include "model/simulation.h"
#include "ui/canvas.h"

namespace veldaris::ui {

// The shared line routine: MoveTo (x1, y1), LineTo (x2, y2).
void DrawLine(Canvas& canvas, int x1, int y1, int x2, int y2);

// Red dots for groups 1..N, then green links (each link once from each end).
void DrawNetwork(Canvas& canvas, const Simulation& sim);
// Log-log axes, ticks and labels of the degree distribution.
void DrawDegreeAxes(Canvas& canvas);
// The four measure lines and the blue P(k) points.
void DrawNetworkMeasures(Canvas& canvas, const Simulation& sim);
// Time-series axes, ticks, labels and legend.
void DrawSeriesAxes(Canvas& canvas, const Simulation& sim);
// The D_Avg (red) and C_Avg (blue) lines, 2 pixels wide.
void DrawSeries(Canvas& canvas, const Simulation& sim);

// What the paint handler draws: the network pictures while a network is built,
// then the charts while a run has finished.
void PaintWindow(Canvas& canvas, const Simulation& sim);

// The progress line "Proceeding... %d%% done." at (580, 7) in black on white.
void DrawProgress(Canvas& canvas, int percent);

}  // namespace veldaris::ui
