// aggregate.svg: the tail means of mutual cooperation and mutual defection,
// as rates of the moves per strategy L, with their 95% intervals against one
// varied parameter, one panel per outcome and one line per combination of
// the other varying parameters (at most PLOT_MAX_LINES of them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/sweep_plan.h"
#include "cli/sweep_summary.h"

namespace veldaris::cli {

// The lines a plot draws at most (one colour and marker shape each); the
// combinations past them are named in a note instead.
inline constexpr int32_t PLOT_MAX_LINES = 7;

// The key on the x axis: the one with the most values (the later key in grid
// order on a tie); rewiring when no key varies.
int32_t PlotAxisKey(const SweepPlan& plan);

// A numeric axis: its range, where its ticks go and how they read, and
// whether it is logarithmic with zero set apart to the left of the break.
struct PlotTick {
  double value = 0.0;
  std::string label;
};
struct PlotScale {
  bool log = false;
  bool zero_apart = false;   // log axis only: a value 0 drawn left of the break
  bool categorical = false;  // positions 0..n-1, one per label
  double low = 0.0;
  double high = 1.0;
  std::vector<PlotTick> ticks;
};

// The x axis of the values (numbers as veldaris-run reads them): logarithmic
// when they are all positive, or all but a 0, and span two decades or more;
// linear otherwise.
PlotScale PlotXScale(const std::vector<double>& values);
// A y axis from about low to high (a little wider, so that nothing sits on
// the frame), cut at 1, 2 or 5 x 10^k, about five ticks.
PlotScale PlotYScale(double low, double high);

// The document. Every mean drawn is one <g class="point">, every interval bar
// (points with n >= 2) one <g class="bar">, every line's legend entry one
// <g class="legend">. x_key: the key on the x axis (PlotAxisKey by default).
std::string AggregateSvg(const SweepPlan& plan, const std::vector<PointAggregate>& points,
                         std::optional<int32_t> x_key = std::nullopt);

}  // namespace veldaris::cli
