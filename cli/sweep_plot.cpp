// aggregate.svg: lays out the sweep's plot (scales, lines, legend, notes,
// the picture's height) from the aggregates, then draws it as SVG.
#include "cli/sweep_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "ui/number_text.h"
#include "ui/svg_canvas.h"

namespace veldaris::cli {

namespace {

// The picture: 760 pixels wide, as tall as its legend and notes need.
constexpr int kWidth = 760;
constexpr int kMargin = 16;
constexpr int kFontSize = 12;
constexpr int kLineHeight = 16;
// An upper bound on the width of one character of the 12-pixel sans-serif
// face (its digits are the widest), so that no text runs past the picture.
constexpr double kCharWidth = 7.6;
constexpr int kMaxChars = static_cast<int>((kWidth - 2 * kMargin) / kCharWidth);

// The panels: side by side, each with its y labels on its left.
constexpr int kPanelGap = 28;
constexpr int kYLabelWidth = 58;
constexpr int kPlotWidth = (kWidth - 2 * kMargin - kPanelGap - 2 * kYLabelWidth) / 2;
constexpr int kPlotHeight = 280;
constexpr int kInset = 22;      // between the frame and the outermost data
constexpr int kZeroSpace = 26;  // on a log axis with 0: 0, then the break

// Colours that readers with any common colour vision deficiency tell apart,
// and a marker shape for each.
constexpr const char* kColours[PLOT_MAX_LINES] = {"#0072b2", "#d55e00", "#009e73", "#cc79a7",
                                                  "#e69f00", "#56b4e9", "#000000"};
enum class Shape { kCircle, kSquare, kTriangleUp, kDiamond, kTriangleDown, kPlus, kStar };
constexpr Shape kShapes[PLOT_MAX_LINES] = {Shape::kCircle,       Shape::kSquare, Shape::kTriangleUp, Shape::kDiamond,
                                           Shape::kTriangleDown, Shape::kPlus,   Shape::kStar};

int32_t KeyNamed(std::string_view name) {
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (name == SWEEP_KEYS[key]) {
      return key;
    }
  }
  return -1;
}

// A coordinate to a tenth of a pixel, with '.', the same in every locale.
std::string Px(double value) {
  const long tenths = std::lround(value * 10.0);
  const long whole = std::labs(tenths) / 10;
  const long tenth = std::labs(tenths) % 10;
  std::string text = (tenths < 0 ? "-" : "") + std::to_string(whole);
  return tenth == 0 ? text : text + "." + std::to_string(tenth);
}

// Joins a key and its value in a text given to Wrap, which never breaks a
// line there.
constexpr char kNoBreak = '\x1f';

std::string KeyValue(int32_t key, const std::string& value) { return std::string(SWEEP_KEYS[key]) + kNoBreak + value; }

// Text cut into lines of at most chars characters at spaces (a word longer
// than a line is cut).
std::vector<std::string> Wrap(const std::string& text, int chars) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    end = end == std::string::npos ? text.size() : end;
    std::string word = text.substr(at, end - at);
    at = end + 1;
    while (static_cast<int>(word.size()) > chars) {
      if (!line.empty()) {
        lines.push_back(line);
        line.clear();
      }
      lines.push_back(word.substr(0, static_cast<size_t>(chars)));
      word.erase(0, static_cast<size_t>(chars));
    }
    if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > chars) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  for (std::string& l : lines) {
    std::replace(l.begin(), l.end(), kNoBreak, ' ');
  }
  return lines;
}

// value with decimals decimals, never "-0".
std::string TickLabel(double value, int decimals) {
  std::string label = ui::FormatFixed(value, decimals);
  if (label.find_first_not_of("-0.") == std::string::npos) {
    label = ui::FormatFixed(0.0, decimals);
  }
  return label;
}

struct Series {
  std::string name;
  std::vector<size_t> points;  // in increasing x
};

// Everything the drawing needs, decided from the plan and the aggregates.
struct Layout {
  int32_t x_key = 0;
  std::vector<double> x_of_value;  // by index in plan.values[x_key]
  PlotScale x;
  std::string x_label;
  std::vector<double> rate_divisor;  // by point: its L
  std::vector<Series> series;
  PlotScale y[2];
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> legend;  // lines of each entry
  std::vector<std::string> notes;
  int panel_top = 0;
  int legend_top = 0;
  int height = 0;
};

constexpr int32_t kOutcomes[2] = {C_AVG_TAIL, D_AVG_TAIL};
constexpr const char* kPanelTitles[2] = {"Mutual cooperation: C_Avg / L", "Mutual defection: D_Avg / L"};

bool HasMean(const SampleStats& s) { return s.n >= 1 && std::isfinite(s.mean); }
bool HasInterval(const SampleStats& s) { return s.n >= 2 && std::isfinite(s.ci95_low) && std::isfinite(s.ci95_high); }

// The lines: one per combination of the other varying keys, numbered in
// grid order by mixed radix, so that sorting them out costs one pass.
void LayoutSeries(const SweepPlan& plan, const std::vector<PointAggregate>& points, Layout& layout) {
  std::vector<int32_t> others;
  for (const int32_t key : plan.VaryingKeys()) {
    if (key != layout.x_key) {
      others.push_back(key);
    }
  }
  int64_t combinations = 1;
  for (const int32_t key : others) {
    combinations *= static_cast<int64_t>(plan.values[key].size());
  }
  const size_t drawn = static_cast<size_t>(std::min<int64_t>(combinations, PLOT_MAX_LINES));
  layout.series.assign(drawn, Series{});
  size_t unfinished = 0;
  for (size_t point = 0; point < points.size() && point < plan.point_indices.size(); ++point) {
    int64_t combination = 0;
    for (const int32_t key : others) {
      combination = combination * static_cast<int64_t>(plan.values[key].size()) + plan.point_indices[point][key];
    }
    unfinished += points[point].n == 0 ? 1 : 0;
    if (combination >= static_cast<int64_t>(drawn)) {
      continue;
    }
    Series& series = layout.series[static_cast<size_t>(combination)];
    if (series.points.empty()) {
      for (const int32_t key : others) {
        series.name +=
            (series.name.empty() ? "" : ", ") + KeyValue(key, plan.values[key][plan.point_indices[point][key]]);
      }
    }
    series.points.push_back(point);
  }
  for (Series& series : layout.series) {
    std::stable_sort(series.points.begin(), series.points.end(), [&](size_t a, size_t b) {
      return layout.x_of_value[plan.point_indices[a][layout.x_key]] <
             layout.x_of_value[plan.point_indices[b][layout.x_key]];
    });
  }
  if (combinations > PLOT_MAX_LINES) {
    std::string keys;
    for (const int32_t key : others) {
      keys += (keys.empty() ? "" : ", ") + std::string(SWEEP_KEYS[key]);
    }
    layout.notes.push_back("Shown: the first " + std::to_string(PLOT_MAX_LINES) + " of the " +
                           std::to_string(combinations) + " combinations of " + keys +
                           " in grid order; aggregate.csv has every point.");
  }
  if (unfinished > 0) {
    layout.notes.push_back(std::to_string(unfinished) + " of the " + std::to_string(points.size()) +
                           " points have no finished run yet and are not drawn.");
  }
}

void LayoutText(const SweepPlan& plan, Layout& layout) {
  std::string fixed;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (plan.values[key].size() == 1 && key != layout.x_key && (key < ORIGINAL_PARAMETER_COUNT || plan.given[key])) {
      fixed += (fixed.empty() ? "" : ", ") + KeyValue(key, plan.values[key][0]);
    }
  }
  layout.header =
      Wrap("Means over the last tenth of the generations with 95% intervals, " + std::to_string(plan.replicates) +
               " replicates per point" + (fixed.empty() ? "" : "; " + fixed),
           kMaxChars);
  layout.panel_top = 34 + static_cast<int>(layout.header.size()) * kLineHeight + 34;
  layout.legend_top = layout.panel_top + kPlotHeight + 2 * kLineHeight + 34;
  int bottom = layout.legend_top;
  if (layout.series.size() > 1 || (!layout.series.empty() && !layout.series[0].name.empty())) {
    for (const Series& series : layout.series) {
      layout.legend.push_back(Wrap(series.name, kMaxChars - 5));
      bottom += static_cast<int>(layout.legend.back().size()) * kLineHeight + 4;
    }
  }
  std::vector<std::string> notes;
  for (const std::string& note : layout.notes) {
    for (std::string& line : Wrap(note, kMaxChars)) {
      notes.push_back(std::move(line));
    }
  }
  layout.notes = std::move(notes);
  layout.height = bottom + static_cast<int>(layout.notes.size()) * kLineHeight + kMargin;
}

Layout LayoutPlot(const SweepPlan& plan, const std::vector<PointAggregate>& points, int32_t x_key) {
  Layout layout;
  layout.x_key = x_key;
  const std::vector<std::string>& x_values = plan.values[x_key];
  bool numeric = x_key != KeyNamed("network");
  for (const std::string& value : x_values) {
    const std::optional<double> number = ui::ReadNumberPrefix(value);
    numeric = numeric && number && std::isfinite(*number);
    layout.x_of_value.push_back(number.value_or(0.0));
  }
  if (numeric) {
    layout.x = PlotXScale(layout.x_of_value);
  } else {
    layout.x.categorical = true;
    layout.x.low = 0;
    layout.x.high = static_cast<double>(x_values.size()) - 1;
    for (size_t i = 0; i < x_values.size(); ++i) {
      layout.x_of_value[i] = static_cast<double>(i);
      layout.x.ticks.push_back({static_cast<double>(i), x_values[i]});
    }
  }
  layout.x_label = std::string(SWEEP_KEYS[x_key]) + (layout.x.log ? " (log scale)" : "");

  const int32_t length_key = KeyNamed("length");
  layout.rate_divisor.resize(points.size(), 1.0);
  for (size_t point = 0; point < points.size() && length_key >= 0; ++point) {
    const double length = ui::ParseNumberPrefix(plan.values[length_key][plan.point_indices[point][length_key]]);
    layout.rate_divisor[point] = length > 0 ? length : 1.0;
  }
  LayoutSeries(plan, points, layout);

  for (int panel = 0; panel < 2; ++panel) {
    double low = INFINITY;
    double high = -INFINITY;
    for (const Series& series : layout.series) {
      for (const size_t point : series.points) {
        const SampleStats& s = points[point].outcomes[kOutcomes[panel]];
        const double divisor = layout.rate_divisor[point];
        if (HasMean(s)) {
          low = std::min(low, s.mean / divisor);
          high = std::max(high, s.mean / divisor);
        }
        if (HasInterval(s)) {
          low = std::min(low, s.ci95_low / divisor);
          high = std::max(high, s.ci95_high / divisor);
        }
      }
    }
    layout.y[panel] = PlotYScale(low, high);
  }
  LayoutText(plan, layout);
  return layout;
}

// --- drawing ---

struct Panel {
  int left;  // of the plot area
  int top;
};

double XPixel(const PlotScale& x, const Panel& panel, double value) {
  const double start = panel.left + kInset + (x.zero_apart ? kZeroSpace : 0);
  const double end = panel.left + kPlotWidth - kInset;
  if (x.zero_apart && value <= 0) {
    return panel.left + kInset;
  }
  if (x.log) {
    return start + (std::log10(value) - std::log10(x.low)) / (std::log10(x.high) - std::log10(x.low)) * (end - start);
  }
  return x.high > x.low ? start + (value - x.low) / (x.high - x.low) * (end - start) : (start + end) / 2;
}

double YPixel(const PlotScale& y, const Panel& panel, double value) {
  return panel.top + kPlotHeight - (value - y.low) / (y.high - y.low) * kPlotHeight;
}

class Svg {
 public:
  void Line(double x1, double y1, double x2, double y2, const std::string& stroke, const char* width) {
    body_ += "<line x1=\"" + Px(x1) + "\" y1=\"" + Px(y1) + "\" x2=\"" + Px(x2) + "\" y2=\"" + Px(y2) + "\" stroke=\"" +
             stroke + "\" stroke-width=\"" + width + "\"/>\n";
  }
  void Path(const std::string& d, const std::string& fill, const std::string& stroke, const char* width) {
    body_ += "<path d=\"" + d + "\" fill=\"" + fill + "\" stroke=\"" + stroke + "\" stroke-width=\"" + width +
             "\" stroke-linejoin=\"round\"/>\n";
  }
  void Text(double x, double y, std::string_view text, const char* anchor = "start", const char* extra = "") {
    body_ += "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\"" +
             (std::string_view(anchor) == "start" ? std::string() : " text-anchor=\"" + std::string(anchor) + "\"") +
             extra + ">" + ui::EscapeXml(text) + "</text>\n";
  }
  void Begin(const char* css_class) { body_ += std::string("<g class=\"") + css_class + "\">\n"; }
  void End() { body_ += "</g>\n"; }
  std::string Document(int height) const {
    const std::string w = std::to_string(kWidth);
    const std::string h = std::to_string(height);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w +
           "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" + std::to_string(kFontSize) +
           "px\">\n<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n" + body_ +
           "</svg>\n";
  }

 private:
  std::string body_;
};

// The outline of a marker of the shape centred on (x, y).
std::string MarkerPath(Shape shape, double x, double y) {
  const auto polygon = [&](std::initializer_list<std::pair<double, double>> corners) {
    std::string d;
    for (const auto& [dx, dy] : corners) {
      d += (d.empty() ? "M" : " L") + Px(x + dx) + " " + Px(y + dy);
    }
    return d + " Z";
  };
  switch (shape) {
    case Shape::kCircle:
      return "M" + Px(x - 4.5) + " " + Px(y) + " a4.5 4.5 0 1 0 9 0 a4.5 4.5 0 1 0 -9 0 Z";
    case Shape::kSquare:
      return polygon({{-4, -4}, {4, -4}, {4, 4}, {-4, 4}});
    case Shape::kTriangleUp:
      return polygon({{0, -5.5}, {5, 3.5}, {-5, 3.5}});
    case Shape::kDiamond:
      return polygon({{0, -5.5}, {5, 0}, {0, 5.5}, {-5, 0}});
    case Shape::kTriangleDown:
      return polygon({{0, 5.5}, {5, -3.5}, {-5, -3.5}});
    case Shape::kPlus:
      return polygon({{-1.8, -5},
                      {1.8, -5},
                      {1.8, -1.8},
                      {5, -1.8},
                      {5, 1.8},
                      {1.8, 1.8},
                      {1.8, 5},
                      {-1.8, 5},
                      {-1.8, 1.8},
                      {-5, 1.8},
                      {-5, -1.8},
                      {-1.8, -1.8}});
    case Shape::kStar:
      return polygon({{0, -5.5},
                      {1.5, -1.8},
                      {5.3, -1.7},
                      {2.3, 0.7},
                      {3.3, 4.5},
                      {0, 2.3},
                      {-3.3, 4.5},
                      {-2.3, 0.7},
                      {-5.3, -1.7},
                      {-1.5, -1.8}});
  }
  return std::string();
}

void DrawAxes(Svg& svg, const Layout& layout, const Panel& panel, int index) {
  const PlotScale& y = layout.y[index];
  const int right = panel.left + kPlotWidth;
  const int bottom = panel.top + kPlotHeight;
  for (const PlotTick& tick : y.ticks) {
    const double py = YPixel(y, panel, tick.value);
    svg.Line(panel.left, py, right, py, "#e4e4e4", "1");
    svg.Line(panel.left - 5, py, panel.left, py, "#000000", "1");
    svg.Text(panel.left - 8, py + 4, tick.label, "end");
  }
  svg.Path(
      "M" + Px(panel.left) + " " + Px(panel.top) + " H" + Px(right) + " V" + Px(bottom) + " H" + Px(panel.left) + " Z",
      "none", "#000000", "1");
  for (const PlotTick& tick : layout.x.ticks) {
    const double px = XPixel(layout.x, panel, tick.value);
    svg.Line(px, bottom, px, bottom + 5, "#000000", "1");
    svg.Text(px, bottom + 18, tick.label, "middle");
  }
  if (layout.x.zero_apart) {
    // The break between 0 and the logarithmic part: two slashes on the axis.
    const double at = panel.left + kInset + kZeroSpace / 2.0;
    for (const double dx : {-3.0, 3.0}) {
      svg.Line(at + dx - 3, bottom + 4, at + dx + 3, bottom - 4, "#000000", "1");
    }
  }
  svg.Text(panel.left + kPlotWidth / 2.0, bottom + 36, layout.x_label, "middle");
  svg.Text(panel.left, panel.top - 8, kPanelTitles[index], "start", " font-weight=\"bold\"");
  const double label_x = panel.left - kYLabelWidth + 10;
  const double label_y = panel.top + kPlotHeight / 2.0;
  svg.Text(label_x, label_y, "rate per move", "middle",
           (" transform=\"rotate(-90 " + Px(label_x) + " " + Px(label_y) + ")\"").c_str());
}

void DrawSeries(Svg& svg, const Layout& layout, const Panel& panel, int index,
                const std::vector<PointAggregate>& points, const SweepPlan& plan) {
  const PlotScale& y = layout.y[index];
  const int lines = static_cast<int>(layout.series.size());
  // Lines side by side by a few pixels, so that equal values stay apart.
  const double spacing = std::min(2.0, 12.0 / std::max(1, lines));
  const auto where = [&](int line, size_t point, double value) {
    const double x = XPixel(layout.x, panel, layout.x_of_value[plan.point_indices[point][layout.x_key]]) +
                     (line - (lines - 1) / 2.0) * spacing;
    return std::make_pair(x, YPixel(y, panel, value / layout.rate_divisor[point]));
  };
  // Lines first, then the markers, then the intervals over them.
  for (int line = 0; line < lines; ++line) {
    std::string d;
    for (const size_t point : layout.series[line].points) {
      const SampleStats& s = points[point].outcomes[kOutcomes[index]];
      if (HasMean(s)) {
        const auto [x, py] = where(line, point, s.mean);
        d += (d.empty() ? "M" : " L") + Px(x) + " " + Px(py);
      }
    }
    if (d.find('L') != std::string::npos) {
      svg.Path(d, "none", kColours[line], "1.5");
    }
  }
  for (int line = 0; line < lines; ++line) {
    for (const size_t point : layout.series[line].points) {
      const SampleStats& s = points[point].outcomes[kOutcomes[index]];
      if (HasMean(s)) {
        const auto [x, py] = where(line, point, s.mean);
        svg.Begin("point");
        svg.Path(MarkerPath(kShapes[line], x, py), kColours[line], "#ffffff", "0.8");
        svg.End();
      }
    }
  }
  for (int line = 0; line < lines; ++line) {
    for (const size_t point : layout.series[line].points) {
      const SampleStats& s = points[point].outcomes[kOutcomes[index]];
      if (HasMean(s) && HasInterval(s)) {
        const auto [x, top] = where(line, point, s.ci95_high);
        const double bottom = where(line, point, s.ci95_low).second;
        // A white edge keeps the bar visible over its marker and the lines.
        const std::string d = "M" + Px(x - 5) + " " + Px(top) + " H" + Px(x + 5) + " M" + Px(x) + " " + Px(top) + " V" +
                              Px(bottom) + " M" + Px(x - 5) + " " + Px(bottom) + " H" + Px(x + 5);
        svg.Begin("bar");
        svg.Path(d, "none", "#ffffff", "3.5");
        svg.Path(d, "none", kColours[line], "1.5");
        svg.End();
      }
    }
  }
}

void DrawText(Svg& svg, const Layout& layout) {
  svg.Text(kMargin, 26, "Cooperation and defection against " + std::string(SWEEP_KEYS[layout.x_key]), "start",
           " font-size=\"15px\" font-weight=\"bold\"");
  int y = 34 + kLineHeight;
  for (const std::string& line : layout.header) {
    svg.Text(kMargin, y, line);
    y += kLineHeight;
  }
  y = layout.legend_top;
  for (size_t entry = 0; entry < layout.legend.size(); ++entry) {
    svg.Begin("legend");
    svg.Line(kMargin, y - 4, kMargin + 28, y - 4, kColours[entry], "1.5");
    svg.Path(MarkerPath(kShapes[entry], kMargin + 14, y - 4), kColours[entry], "#ffffff", "0.8");
    for (const std::string& line : layout.legend[entry]) {
      svg.Text(kMargin + 36, y, line);
      y += kLineHeight;
    }
    svg.End();
    y += 4;
  }
  for (const std::string& line : layout.notes) {
    svg.Text(kMargin, y, line, "start", " fill=\"#444444\"");
    y += kLineHeight;
  }
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

PlotScale PlotXScale(const std::vector<double>& values) {
  PlotScale scale;
  double smallest_positive = INFINITY;
  double low = INFINITY;
  double high = -INFINITY;
  bool zero = false;
  bool negative = false;
  for (const double v : values) {
    low = std::min(low, v);
    high = std::max(high, v);
    zero = zero || v == 0;
    negative = negative || v < 0;
    if (v > 0) {
      smallest_positive = std::min(smallest_positive, v);
    }
  }
  if (!negative && std::isfinite(smallest_positive) && high / smallest_positive >= 30) {
    scale.log = true;
    scale.zero_apart = zero;
    const int first = static_cast<int>(std::floor(std::log10(smallest_positive) + 1e-9));
    const int last = static_cast<int>(std::ceil(std::log10(high) - 1e-9));
    scale.low = std::pow(10.0, first);
    scale.high = std::pow(10.0, last);
    if (zero) {
      scale.ticks.push_back({0.0, "0"});
    }
    for (int decade = first; decade <= last; ++decade) {
      scale.ticks.push_back({std::pow(10.0, decade), TickLabel(std::pow(10.0, decade), std::max(0, -decade))});
    }
    return scale;
  }
  scale = PlotYScale(low, high);
  // An x axis ends at the data: the ticks outside it go.
  scale.low = low;
  scale.high = high;
  std::erase_if(scale.ticks, [&](const PlotTick& t) {
    return t.value < low - 1e-9 * std::fabs(high - low) || t.value > high + 1e-9 * std::fabs(high - low);
  });
  return scale;
}

PlotScale PlotYScale(double low, double high) {
  PlotScale scale;
  if (!std::isfinite(low) || !std::isfinite(high)) {
    low = 0.0;
    high = 1.0;
  }
  const double pad = high > low ? (high - low) * 0.06 : std::max(std::fabs(high) * 0.05, 0.01);
  double padded_low = low - pad;
  double padded_high = high + pad;
  // Rates stay within 0 to 1 when the data do.
  if (low >= 0 && padded_low < 0) {
    padded_low = 0;
  }
  if (high <= 1 && padded_high > 1) {
    padded_high = 1;
  }
  const double raw = (padded_high - padded_low) / 5.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * magnitude;
    if (step >= raw) {
      break;
    }
  }
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  const double first = std::floor(padded_low / step + 1e-9);
  const double last = std::ceil(padded_high / step - 1e-9);
  scale.low = first * step;
  scale.high = last * step;
  for (double i = first; i <= last + 0.5; i += 1.0) {
    scale.ticks.push_back({i * step, TickLabel(i * step, decimals)});
  }
  return scale;
}

std::string AggregateSvg(const SweepPlan& plan, const std::vector<PointAggregate>& points,
                         std::optional<int32_t> x_key) {
  const Layout layout = LayoutPlot(plan, points, x_key.value_or(PlotAxisKey(plan)));
  Svg svg;
  DrawText(svg, layout);
  for (int index = 0; index < 2; ++index) {
    const Panel panel{kMargin + kYLabelWidth + index * (kPlotWidth + kPanelGap + kYLabelWidth), layout.panel_top};
    DrawAxes(svg, layout, panel, index);
    DrawSeries(svg, layout, panel, index, points, plan);
  }
  return svg.Document(layout.height);
}

}  // namespace veldaris::cli
