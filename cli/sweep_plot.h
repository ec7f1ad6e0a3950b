// aggregate.svg: the tail means of C_Avg (blue) and D_Avg (red) with their 95%
// intervals against the parameter that varies most, one line per combination
// of the other varying parameters, drawn on the project's SVG canvas.
#pragma once

#include <string>
#include <vector>

#include "cli/sweep_plan.h"
#include "cli/sweep_summary.h"

namespace veldaris::cli {

// The key on the x axis: the one with the most values (the later key in grid
// order on a tie); rewiring when no key varies.
int32_t PlotAxisKey(const SweepPlan& plan);

// The document. Every mean drawn is one <g class="point">, every interval bar
// (points with n >= 2) one <g class="bar">, every legend entry one
// <g class="legend">.
std::string AggregateSvg(const SweepPlan& plan, const std::vector<PointAggregate>& points);

}  // namespace veldaris::cli
