// The window's pictures drawn on a Canvas: network, degree distribution, measures, chart.
#include "ui/drawing.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "io/number_text.h"
#include "model/simulation.h"
#include "ui/run_control.h"

namespace veldaris::ui {

namespace {

// Pixels per natural-log unit on both axes of the degree plot, and its origin.
constexpr double kLogUnit = 37.0;
constexpr double kDegreeOriginX = 412.0;
constexpr double kDegreeOriginY = 37.0;

// Pixels between the right edge and a measure line moved in from beyond it.
constexpr int kMeasureMargin = 3;

// Toward zero; all chart values are positive, so this is the floor.
int Trunc(double v) { return static_cast<int>(v); }

bool IsMinorDegreeTick(int i) {
  return (i >= 1 && i <= 9) || (i >= 20 && i <= 90 && i % 10 == 0) || (i >= 200 && i <= 900 && i % 100 == 0);
}

// 1 for 10, 2 for 100, 3 for 1000, else 0.
int MajorDegreeTickPower(int i) {
  switch (i) {
    case 10:
      return 1;
    case 100:
      return 2;
    case 1000:
      return 3;
    default:
      return 0;
  }
}

// Labels are made from their index ("1000" for 1, "10" for 1) rather than read
// from five-entry tables ("1000".."5000", "10".."50"), which would hold only
// for G <= 5000 and L <= 50; runs may have up to 10000 generations and
// strategies of up to 100 moves.
std::string GenerationLabel(int index) { return std::to_string(index * 1000); }
std::string FrequencyLabel(int index) { return std::to_string(index * 10); }

// The groups the arrays of the state hold, whatever N claims.
int GroupLimit(const Simulation& sim) { return std::clamp(sim.params.group_count, 0, MAX_GROUPS); }

}  // namespace

void DrawLine(Canvas& canvas, int x1, int y1, int x2, int y2) {
  canvas.MoveTo(x1, y1);
  canvas.LineTo(x2, y2);
}

void DrawNetwork(Canvas& canvas, const Simulation& sim) {
  const int n = GroupLimit(sim);
  canvas.SelectPen(RED, 1);
  canvas.SelectBrush(RED);
  for (int g = 1; g <= n; ++g) {
    const GroupRecord& r = sim.groups[g];
    canvas.Ellipse(r.x, r.y, r.x + 4, r.y + 4);
  }
  // Every link is drawn from both of its ends, over the dots.
  canvas.SelectPen(GREEN, 1);
  for (int g = 1; g <= n; ++g) {
    const GroupRecord& r = sim.groups[g];
    const int degree = std::min(r.degree, MAX_GROUPS);
    for (int j = 1; j <= degree; ++j) {
      const int h = r.neighbours[j];
      if (h < 0 || h > MAX_GROUPS) {
        continue;
      }
      const GroupRecord& other = sim.groups[h];
      DrawLine(canvas, r.x + 2, r.y + 2, other.x + 2, other.y + 2);
    }
  }
}

void DrawDegreeAxes(Canvas& canvas) {
  canvas.SetTextColor(BLACK);
  canvas.SelectPen(BLACK, 1);
  canvas.SelectBrush(BLACK);
  canvas.SelectFont();

  // X(k) = 412 + 37 ln k.
  for (int i = 1; i <= 1000; ++i) {
    const double x = kDegreeOriginX + kLogUnit * std::log(static_cast<double>(i));
    if (IsMinorDegreeTick(i)) {
      DrawLine(canvas, Trunc(x), 352, Trunc(x), 354);
    } else if (const int power = MajorDegreeTickPower(i); power != 0) {
      DrawLine(canvas, Trunc(x), 352, Trunc(x), 357);
      canvas.TextOut(Trunc(x - 7), 357, "10^" + std::to_string(power));
    }
  }
  canvas.TextOut(408, 357, "1");
  canvas.TextOut(708, 357, "k");
  DrawLine(canvas, 412, 352, 712, 352);

  // Y(1/i) = 37 + 37 ln i.
  for (int i = 1; i <= 1000; ++i) {
    const double y = kDegreeOriginY + kLogUnit * std::log(static_cast<double>(i));
    if (IsMinorDegreeTick(i)) {
      DrawLine(canvas, 410, Trunc(y), 412, Trunc(y));
    } else if (const int power = MajorDegreeTickPower(i); power != 0) {
      DrawLine(canvas, 408, Trunc(y), 412, Trunc(y));
      canvas.TextOut(376, Trunc(y + 3), "10^(-" + std::to_string(power) + ")");
    }
  }
  canvas.TextOut(392, 37, "P(k)");
  DrawLine(canvas, 412, 37, 412, 352);
}

void DrawNetworkMeasures(Canvas& canvas, const Simulation& sim) {
  canvas.SelectPen(BLUE, 1);
  canvas.SelectBrush(BLUE);
  canvas.SelectFont();
  canvas.SetTextColor(BLACK);

  // Six decimals, always with '.', drawn over their full length. A line that
  // would run past the right edge of the client area at its place (the long
  // ones do, in a window of the usual size) moves left just enough to end a
  // few pixels inside it: cut off, "3.001234" would read as "3.".
  const NetworkMetrics& m = sim.metrics;
  const auto measure = [&canvas](int x, int y, const std::string& text) {
    const int width = static_cast<int>(text.size()) * TEXT_CHAR_WIDTH;
    const int edge = canvas.ClientWidth();
    canvas.TextOut(x + width <= edge ? x : edge - kMeasureMargin - width, y, text);
  };
  measure(577, 20, "Average Degree: " + FormatFixed(m.average_degree, 6));
  measure(577, 33, "Stdev of Degree: " + FormatFixed(m.degree_stdev, 6));
  measure(550, 46, "Characteristic Path Length: " + FormatFixed(m.characteristic_path_length, 6));
  measure(560, 59, "Clustering Coefficient: " + FormatFixed(m.clustering_coefficient, 6));

  // P(k) points centred on (X(k), Y(P)); degree 0 and absent degrees have none.
  const int n = GroupLimit(sim);
  for (int k = 1; k <= n; ++k) {
    const double p = sim.degree_distribution[k];
    if (p == 0.0) {
      continue;
    }
    const double x = kDegreeOriginX + kLogUnit * std::log(static_cast<double>(k));
    const double y = kDegreeOriginY - kLogUnit * std::log(p);
    canvas.Ellipse(RoundHalfUp(x - 2), RoundHalfUp(y - 2), RoundHalfUp(x + 2), RoundHalfUp(y + 2));
  }
}

void DrawSeriesAxes(Canvas& canvas, const Simulation& sim) {
  const int g_count = sim.params.generation_count;
  const int length = sim.params.strategy_length;

  canvas.SelectFont();
  canvas.SetTextColor(BLACK);
  canvas.SelectPen(BLACK, 1);

  DrawLine(canvas, 37, 607, 712, 607);
  canvas.TextOut(33, 611, "0");
  canvas.TextOut(673, 623, "Generation");

  // One tick per 100 generations; every 5th long, every 10th labelled. A
  // label comes before its long tick.
  for (int i = 1; i <= g_count / 100; ++i) {
    const double x = i * (750.0 / g_count) * 90 + 37;
    if (i % 5 != 0) {
      DrawLine(canvas, Trunc(x), 607, Trunc(x), 609);
    }
    if (i % 10 == 0) {
      canvas.TextOut(Trunc(i * (750.0 / g_count) * 90 + 27), 611, GenerationLabel(i / 10));
    }
    if (i % 5 == 0) {
      DrawLine(canvas, Trunc(x), 607, Trunc(x), 612);
    }
  }

  DrawLine(canvas, 37, 382, 37, 607);
  canvas.TextOut(12, 362, "Frequency");

  // One tick per 5 units of value; every 2nd long and labelled.
  for (int j = 1; j <= length / 5; ++j) {
    const double d = ((225.0 / length) * 5) * j;
    if (j % 2 == 0) {
      canvas.TextOut(21, Trunc(601 - d), FrequencyLabel(j / 2));
      DrawLine(canvas, 33, Trunc(607 - d), 38, Trunc(607 - d));
    } else {
      DrawLine(canvas, 36, Trunc(607 - d), 38, Trunc(607 - d));
    }
  }

  canvas.SelectPen(RED, 1);
  DrawLine(canvas, 560, 638, 578, 638);
  canvas.SetTextColor(RED);
  canvas.TextOut(580, 631, "Mutual-Defection");
  canvas.SelectPen(BLUE, 1);
  DrawLine(canvas, 560, 650, 578, 650);
  canvas.SetTextColor(BLUE);
  canvas.TextOut(580, 643, "Mutual-Cooperation");
}

void DrawSeries(Canvas& canvas, const Simulation& sim) {
  const int g_count = std::min(sim.params.generation_count, MAX_GENERATIONS);
  const int length = sim.params.strategy_length;
  if (g_count < 2 || length < 1) {
    return;  // no stroke to draw, and no scale for the values
  }
  const double a = 225.0 / length;
  const double b = 750.0 / sim.params.generation_count;

  // Generation i is a vertical stroke in its own column from the height of
  // generation i - 1 to its own.
  const auto draw = [&](const double* values) {
    for (int i = 2; i <= g_count; ++i) {
      const int c = 90 * i;
      const int x = RoundHalfUp(c * b / 100 + 37);
      DrawLine(canvas, x, RoundHalfUp(607 - a * values[i - 1]), x, RoundHalfUp(607 - a * values[i]));
    }
  };
  canvas.SelectPen(RED, 2);
  draw(sim.series.D_Avg);
  canvas.SelectPen(BLUE, 2);
  draw(sim.series.C_Avg);
}

void PaintWindow(Canvas& canvas, const Simulation& sim) {
  if (sim.network_built == 1) {
    DrawNetwork(canvas, sim);
    DrawDegreeAxes(canvas);
    DrawNetworkMeasures(canvas, sim);
  }
  if (sim.run_finished == 1) {
    DrawSeriesAxes(canvas, sim);
    DrawSeries(canvas, sim);
  }
}

void DrawProgress(Canvas& canvas, int percent) {
  canvas.SelectFont();
  canvas.SetTextColor(BLACK);
  canvas.TextOut(PROGRESS_X, PROGRESS_Y, "Proceeding... " + std::to_string(percent) + "% done.");
}

}  // namespace veldaris::ui
