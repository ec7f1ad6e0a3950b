// aggregate.svg: the tail means and their intervals against the varying parameter.
#include "cli/sweep_plot.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>

#include "ui/number_text.h"
#include "ui/run_control.h"
#include "ui/svg_canvas.h"

namespace veldaris::cli {

namespace {

using ui::ColorRef;

constexpr ColorRef Rgb(int r, int g, int b) {
  return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}

// Shades of the window's blue (cooperation) and red (defection), one pair per
// combination of the other parameters; past four, the markers turn hollow.
constexpr ColorRef kBlues[] = {Rgb(0, 0, 255), Rgb(0, 0, 128), Rgb(65, 105, 225), Rgb(0, 128, 192)};
constexpr ColorRef kReds[] = {Rgb(255, 0, 0), Rgb(128, 0, 0), Rgb(220, 80, 60), Rgb(178, 34, 100)};
constexpr int kShades = 4;

// Plot area and legend, in pixels of the 760 x 720 picture.
constexpr int kLeft = 70;
constexpr int kRight = 480;
constexpr int kTop = 70;
constexpr int kBottom = 610;
constexpr int kLegendX = 495;
constexpr int kLineHeight = 18;
constexpr int kLegendChars = (ui::WINDOW_WIDTH - kLegendX - 30) / ui::TEXT_CHAR_WIDTH;

struct Axis {
  double low;
  double high;
  double step;
  int decimals;
};

// A range from low to high cut into 1, 2 or 5 x 10^k steps, about six of them.
Axis NiceAxis(double low, double high) {
  if (!(high > low)) {
    high = low + 1.0;
  }
  const double raw = (high - low) / 6.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * magnitude;
    if (step >= raw) {
      break;
    }
  }
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  return Axis{std::floor(low / step) * step, std::ceil(high / step) * step, step, decimals};
}

int YPixel(const Axis& axis, double value) {
  const double fraction = (value - axis.low) / (axis.high - axis.low);
  return static_cast<int>(std::lround(kBottom - fraction * (kBottom - kTop)));
}

std::string Clip(std::string text, int chars) {
  if (static_cast<int>(text.size()) > chars) {
    text.resize(static_cast<size_t>(chars - 3));
    text += "...";
  }
  return text;
}

void Marker(ui::SvgCanvas& canvas, int x, int y, ColorRef color, bool hollow) {
  canvas.SelectPen(color, 1);
  canvas.SelectBrush(hollow ? ui::WHITE : color);
  canvas.Ellipse(x - 4, y - 4, x + 5, y + 5);
}

}  // namespace

int32_t PlotAxisKey(const SweepPlan& plan) {
  int32_t best = SWEEP_KEY_COUNT - 1;
  size_t most = 1;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (plan.values[key].size() >= most && plan.values[key].size() > 1) {
      most = plan.values[key].size();
      best = key;
    }
  }
  return best;
}

std::string AggregateSvg(const SweepPlan& plan, const std::vector<PointAggregate>& points) {
  const int32_t x_key = PlotAxisKey(plan);
  const std::vector<std::string>& x_values = plan.values[x_key];

  // The x values in increasing order (numbers by value, network types as given).
  std::vector<int32_t> order(x_values.size());
  std::iota(order.begin(), order.end(), 0);
  if (x_key != 0) {
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
      return ui::ParseNumberPrefix(x_values[a]) < ui::ParseNumberPrefix(x_values[b]);
    });
  }
  std::vector<int32_t> column_of(x_values.size());
  for (size_t column = 0; column < order.size(); ++column) {
    column_of[order[column]] = static_cast<int32_t>(column);
  }

  // One line per combination of the other varying keys, in grid order.
  std::vector<int32_t> other_keys;
  for (const int32_t key : plan.VaryingKeys()) {
    if (key != x_key) {
      other_keys.push_back(key);
    }
  }
  std::map<std::vector<int32_t>, int32_t> combination_of;
  std::vector<std::string> combination_names;
  std::vector<int32_t> point_combination(points.size());
  for (size_t point = 0; point < points.size(); ++point) {
    std::vector<int32_t> combination;
    std::string name;
    for (const int32_t key : other_keys) {
      const int32_t index = plan.point_indices[point][key];
      combination.push_back(index);
      name += (name.empty() ? "" : ", ") + std::string(SWEEP_KEYS[key]) + " " + plan.values[key][index];
    }
    const auto [it, added] = combination_of.emplace(combination, static_cast<int32_t>(combination_names.size()));
    if (added) {
      combination_names.push_back(name);
    }
    point_combination[point] = it->second;
  }
  const int combinations = static_cast<int>(combination_names.size());

  // The y range covers every mean and interval drawn, and zero.
  double low = 0.0;
  double high = 0.0;
  for (const PointAggregate& a : points) {
    for (const int32_t outcome : {C_AVG_TAIL, D_AVG_TAIL}) {
      const SampleStats& s = a.outcomes[outcome];
      if (s.n >= 1 && std::isfinite(s.mean)) {
        low = std::min(low, s.mean);
        high = std::max(high, s.mean);
      }
      if (s.n >= 2 && std::isfinite(s.ci95_low) && std::isfinite(s.ci95_high)) {
        low = std::min(low, s.ci95_low);
        high = std::max(high, s.ci95_high);
      }
    }
  }
  const Axis axis = NiceAxis(low, high);

  ui::SvgCanvas canvas;
  canvas.SelectFont();
  canvas.SetTextColor(ui::BLACK);
  canvas.TextOut(10, 8, "Mean over the last tenth of the generations, with 95% intervals");
  std::string fixed;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (plan.values[key].size() == 1 && key != x_key && (key < ORIGINAL_PARAMETER_COUNT || plan.given[key])) {
      fixed += (fixed.empty() ? "" : ", ") + std::string(SWEEP_KEYS[key]) + " " + plan.values[key][0];
    }
  }
  canvas.TextOut(10, 26, Clip(fixed + "; " + std::to_string(plan.replicates) + " replicates per point", 105));
  canvas.TextOut(10, kTop - 22, "C_Avg and D_Avg (move pairs per game)");

  // Axes, ticks and their labels.
  canvas.SelectPen(ui::BLACK, 1);
  canvas.MoveTo(kLeft, kTop);
  canvas.LineTo(kLeft, kBottom);
  canvas.LineTo(kRight, kBottom);
  const int tick_count = static_cast<int>(std::lround((axis.high - axis.low) / axis.step));
  for (int i = 0; i <= tick_count; ++i) {
    const double value = axis.low + i * axis.step;
    const int y = YPixel(axis, value);
    canvas.MoveTo(kLeft - 5, y);
    canvas.LineTo(kLeft, y);
    std::string label = ui::FormatFixed(value, axis.decimals);
    if (label == "-0" || label.rfind("-0.", 0) == 0) {
      label = ui::FormatFixed(std::fabs(value), axis.decimals);
    }
    canvas.TextOut(kLeft - 8 - static_cast<int>(label.size()) * ui::TEXT_CHAR_WIDTH, y - 7, label);
  }
  const int columns = static_cast<int>(x_values.size());
  const double column_width = static_cast<double>(kRight - kLeft) / columns;
  const auto column_x = [&](int column) { return kLeft + static_cast<int>((column + 0.5) * column_width); };
  for (int column = 0; column < columns; ++column) {
    const int x = column_x(column);
    canvas.MoveTo(x, kBottom);
    canvas.LineTo(x, kBottom + 5);
    const std::string label = Clip(x_values[order[column]], std::max(3, static_cast<int>(column_width) / 7));
    canvas.TextOut(x - static_cast<int>(label.size()) * ui::TEXT_CHAR_WIDTH / 2, kBottom + 9, label);
  }
  const std::string x_label = SWEEP_KEYS[x_key];
  canvas.TextOut((kLeft + kRight) / 2 - static_cast<int>(x_label.size()) * ui::TEXT_CHAR_WIDTH / 2, kBottom + 32,
                 x_label);

  // Series: C_Avg and D_Avg of every combination, each nudged sideways so
  // that the bars of one column do not hide each other.
  const int series_count = 2 * combinations;
  const double spacing = std::min(6.0, column_width / (series_count + 1));
  for (int combination = 0; combination < combinations; ++combination) {
    for (int side = 0; side < 2; ++side) {
      const int32_t outcome = side == 0 ? C_AVG_TAIL : D_AVG_TAIL;
      const ColorRef color = side == 0 ? kBlues[combination % kShades] : kReds[combination % kShades];
      const bool hollow = (combination / kShades) % 2 == 1;
      const int series = 2 * combination + side;
      const int nudge = static_cast<int>(std::lround((series - (series_count - 1) / 2.0) * spacing));
      // The points of this series by column.
      std::vector<std::optional<size_t>> at_column(static_cast<size_t>(columns));
      for (size_t point = 0; point < points.size(); ++point) {
        if (point_combination[point] == combination && points[point].outcomes[outcome].n >= 1 &&
            std::isfinite(points[point].outcomes[outcome].mean)) {
          at_column[static_cast<size_t>(column_of[plan.point_indices[point][x_key]])] = point;
        }
      }
      canvas.SelectPen(color, 2);
      std::optional<std::pair<int, int>> previous;
      for (int column = 0; column < columns; ++column) {
        if (!at_column[column]) {
          continue;
        }
        const int x = column_x(column) + nudge;
        const int y = YPixel(axis, points[*at_column[column]].outcomes[outcome].mean);
        if (previous) {
          canvas.MoveTo(previous->first, previous->second);
          canvas.LineTo(x, y);
        }
        previous = std::make_pair(x, y);
      }
      for (int column = 0; column < columns; ++column) {
        if (!at_column[column]) {
          continue;
        }
        const SampleStats& s = points[*at_column[column]].outcomes[outcome];
        const int x = column_x(column) + nudge;
        if (s.n >= 2 && std::isfinite(s.ci95_low) && std::isfinite(s.ci95_high)) {
          const int top = YPixel(axis, s.ci95_high);
          const int bottom = YPixel(axis, s.ci95_low);
          canvas.BeginGroup("bar");
          canvas.SelectPen(color, 1);
          canvas.MoveTo(x, top);
          canvas.LineTo(x, bottom + 1);
          canvas.MoveTo(x - 3, top);
          canvas.LineTo(x + 4, top);
          canvas.MoveTo(x - 3, bottom);
          canvas.LineTo(x + 4, bottom);
          canvas.EndGroup();
        }
        canvas.BeginGroup("point");
        Marker(canvas, x, YPixel(axis, s.mean), color, hollow);
        canvas.EndGroup();
      }
    }
  }

  // Legend: one entry per series, as many as fit.
  const int fits = (kBottom - kTop) / kLineHeight;
  int y = kTop;
  for (int series = 0; series < series_count; ++series) {
    if (series == fits - 1 && series_count > fits) {
      canvas.TextOut(kLegendX, y, "and " + std::to_string(series_count - series) + " more");
      break;
    }
    const int combination = series / 2;
    const bool cooperation = series % 2 == 0;
    const ColorRef color = cooperation ? kBlues[combination % kShades] : kReds[combination % kShades];
    std::string text = cooperation ? "C_Avg" : "D_Avg";
    text += combination_names[combination].empty() ? (cooperation ? " (cooperation)" : " (defection)")
                                                   : " " + combination_names[combination];
    canvas.BeginGroup("legend");
    canvas.SelectPen(color, 2);
    canvas.MoveTo(kLegendX, y + 7);
    canvas.LineTo(kLegendX + 20, y + 7);
    Marker(canvas, kLegendX + 10, y + 7, color, (combination / kShades) % 2 == 1);
    canvas.SetTextColor(ui::BLACK);
    canvas.TextOut(kLegendX + 26, y, Clip(text, kLegendChars - 4));
    canvas.EndGroup();
    y += kLineHeight;
  }
  return canvas.Document();
}

}  // namespace veldaris::cli
