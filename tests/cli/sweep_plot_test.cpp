// aggregate.svg's scales worked out by hand, and the plot of made-up
// aggregates: which lines, markers, bars and notes it draws, how tall it is
// and that a narrow interval still shows.
#include "cli/sweep_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace veldaris::cli {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<std::string> Labels(const PlotScale& scale) {
  std::vector<std::string> labels;
  for (const PlotTick& tick : scale.ticks) labels.push_back(tick.label);
  return labels;
}

TEST(PlotScales, LogarithmicWhenTheValuesSpanDecadesWithZeroApart) {
  const PlotScale rewiring = PlotXScale({0.0, 0.01, 0.05, 0.1, 0.29, 1.0});
  EXPECT_TRUE(rewiring.log);
  EXPECT_TRUE(rewiring.zero_apart);
  EXPECT_EQ(Labels(rewiring), (std::vector<std::string>{"0", "0.01", "0.1", "1"}));
  const PlotScale groups = PlotXScale({3, 50, 500});
  EXPECT_TRUE(groups.log);
  EXPECT_FALSE(groups.zero_apart);
  EXPECT_EQ(Labels(groups), (std::vector<std::string>{"1", "10", "100", "1000"}));
  // Under 30 times apart, or with a negative value: linear, ending at the data.
  const PlotScale connectivity = PlotXScale({4, 8, 12});
  EXPECT_FALSE(connectivity.log);
  EXPECT_EQ(connectivity.low, 4);
  EXPECT_EQ(connectivity.high, 12);
  EXPECT_EQ(Labels(connectivity), (std::vector<std::string>{"4", "6", "8", "10", "12"}));
  EXPECT_FALSE(PlotXScale({1, 29}).log);
  EXPECT_TRUE(PlotXScale({1, 30}).log);
}

TEST(PlotScales, YAxisFitsTheDataWithinZeroToOne) {
  // 0.2 to 0.3, widened by 6% each side: 0.194 to 0.306, steps of 0.05
  // (the first of 1, 2, 5 x 10^k at least a fifth of the range).
  const PlotScale narrow = PlotYScale(0.2, 0.3);
  EXPECT_EQ(Labels(narrow), (std::vector<std::string>{"0.15", "0.20", "0.25", "0.30", "0.35"}));
  // Rates near 0 and 1 stop there.
  EXPECT_EQ(Labels(PlotYScale(0.01, 0.99)), (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));
  // One value: a band around it; none: 0 to 1.
  EXPECT_EQ(Labels(PlotYScale(0.5, 0.5)), (std::vector<std::string>{"0.46", "0.48", "0.50", "0.52", "0.54"}));
  EXPECT_EQ(PlotYScale(INFINITY, -INFINITY).high, 1.0);
}

// A plan of the grid network x connectivity x rewiring (grid order:
// rewiring fastest), L = 30, with made-up aggregates.
SweepPlan Plan(std::vector<std::string> networks, std::vector<std::string> connectivities,
               std::vector<std::string> rewirings) {
  SweepPlan plan;
  plan.values = {networks, {"50"}, {"8"}, {"100"}, connectivities, {"30"}, rewirings};
  plan.replicates = 3;
  for (int32_t n = 0; n < static_cast<int32_t>(networks.size()); ++n)
    for (int32_t c = 0; c < static_cast<int32_t>(connectivities.size()); ++c)
      for (int32_t r = 0; r < static_cast<int32_t>(rewirings.size()); ++r)
        plan.point_indices.push_back({n, 0, 0, 0, c, 0, r});
  return plan;
}

std::vector<PointAggregate> Points(size_t count, double half_width) {
  std::vector<PointAggregate> points(count);
  for (size_t p = 0; p < count; ++p) {
    points[p].n = 3;
    for (const int32_t o : {C_AVG_TAIL, D_AVG_TAIL}) {
      SampleStats& s = points[p].outcomes[o];
      s.n = 3;
      s.mean = 6.0 + static_cast<double>(p % 7) * 3.0;  // 0.2 to 0.8 of L = 30
      s.ci95_low = s.mean - half_width;
      s.ci95_high = s.mean + half_width;
    }
  }
  return points;
}

TEST(AggregatePlot, AtMostSevenLinesAndANoteOnTheRest) {
  // 2 networks x 5 connectivities = 10 combinations beside rewiring (6 values).
  const SweepPlan plan =
      Plan({"small-world", "scale-free"}, {"2", "4", "6", "8", "10"}, {"0", "0.01", "0.05", "0.1", "0.29", "1"});
  std::vector<PointAggregate> points = Points(plan.point_indices.size(), 1.0);
  points[0] = PointAggregate{};  // no finished run
  const std::string svg = AggregateSvg(plan, points);
  EXPECT_EQ(Count(svg, "<g class=\"legend\">"), 7u);
  // The first seven combinations in grid order: 7 x 6 points, less the
  // unfinished one, in each of the two panels.
  EXPECT_EQ(Count(svg, "<g class=\"point\">"), 2u * (7 * 6 - 1));
  EXPECT_EQ(Count(svg, "<g class=\"bar\">"), 2u * (7 * 6 - 1));
  EXPECT_NE(svg.find(">network small-world, connectivity 2</text>"), std::string::npos);
  EXPECT_NE(svg.find(">network scale-free, connectivity 4</text>"), std::string::npos);
  EXPECT_EQ(svg.find("scale-free, connectivity 6"), std::string::npos);
  EXPECT_NE(svg.find("the first 7 of the 10 combinations of network, connectivity"), std::string::npos);
  EXPECT_NE(svg.find("1 of the 60 points have no finished run"), std::string::npos);
  EXPECT_NE(svg.find(">rewiring (log scale)</text>"), std::string::npos);
  // The picture is as tall as its text: the last line ends above its bottom.
  const std::smatch height = [&] {
    std::smatch m;
    std::regex_search(svg, m, std::regex("height=\"([0-9]+)\""));
    return m;
  }();
  int last_text = 0;
  const std::regex text("<text x=\"[0-9.]+\" y=\"([0-9.]+)\"");
  for (std::sregex_iterator it(svg.begin(), svg.end(), text), end; it != end; ++it)
    last_text = std::max(last_text, static_cast<int>(std::stod((*it)[1])));
  EXPECT_LT(last_text, std::stoi(height[1]));
  EXPECT_GT(last_text, std::stoi(height[1]) - 40);
  // Another key on the x axis.
  EXPECT_NE(AggregateSvg(plan, points, 4).find(">connectivity</text>"), std::string::npos);
}

TEST(AggregatePlot, ANarrowIntervalStillShowsAsABar) {
  // +-0.08 of C_Avg with L = 30 is +-0.0027 of the rate; the data 0.197 to
  // 0.803 widened by 6% give an axis of 0 to 1 in steps of 0.2, 280 pixels
  // tall, so the bar is 0.0053 x 280 = 1.49 pixels tall.
  const SweepPlan plan = Plan({"small-world"}, {"4", "8"}, {"0", "0.01", "0.05", "0.1", "0.29", "1"});
  const std::string svg = AggregateSvg(plan, Points(plan.point_indices.size(), 0.08));
  const std::regex bar("<g class=\"bar\">\n<path d=\"M[0-9.]+ ([0-9.]+) H[0-9.]+ M[0-9.]+ [0-9.]+ V([0-9.]+) ");
  int bars = 0;
  for (std::sregex_iterator it(svg.begin(), svg.end(), bar), end; it != end; ++it, ++bars) {
    const double height = std::stod((*it)[2]) - std::stod((*it)[1]);
    EXPECT_GT(height, 1.3) << (*it)[0];
    EXPECT_LT(height, 1.6) << (*it)[0];
  }
  EXPECT_EQ(bars, 24);
  // In each panel the bars come after (over) every marker.
  const size_t second = svg.find(">Mutual defection: D_Avg / L</text>");
  ASSERT_NE(second, std::string::npos);
  for (const std::string& panel : {svg.substr(0, second), svg.substr(second)}) {
    EXPECT_LT(panel.rfind("<g class=\"point\">"), panel.find("<g class=\"bar\">"));
  }
  // Means 6 to 24 of L = 30 (0.2 to 0.8): the axis is not 0 to 30.
  EXPECT_NE(svg.find(">0.8</text>"), std::string::npos);
  EXPECT_EQ(svg.find(">30</text>"), std::string::npos);
}

}  // namespace
}  // namespace veldaris::cli
