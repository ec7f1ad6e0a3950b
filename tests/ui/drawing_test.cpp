// The drawing routines, call by call: positions, colours and counts.
#include "ui_test_support.h"

namespace veldaris::ui::testing {
namespace {

using UiDrawing = UiTest;

std::vector<int> Box(const CanvasCall& c) { return {c.a, c.b, c.c, c.d}; }

bool HasStroke(const RecordingCanvas& canvas, std::vector<int> line) {
  const std::vector<CanvasCall> strokes = canvas.Calls(CanvasCallKind::LineTo);
  return std::any_of(strokes.begin(), strokes.end(), [&](const CanvasCall& s) { return Box(s) == line; });
}

std::pair<int, int> TextAt(const RecordingCanvas& canvas, const std::string& text) {
  const CanvasCall* call = canvas.FindText(text);
  return call == nullptr ? std::pair(-1, -1) : std::pair(call->a, call->b);
}

size_t IndexOfText(const RecordingCanvas& canvas, const std::string& text) {
  const auto& calls = canvas.calls();
  return std::find_if(calls.begin(), calls.end(), [&](const CanvasCall& c) { return c.text == text; }) - calls.begin();
}

TEST(UiDrawingRoutines, DegreeAxesTicksAndLabels) {
  RecordingCanvas c;
  DrawDegreeAxes(c);
  EXPECT_EQ(c.CountStrokes(BLACK), 2 * (25 + 3) + 2);  // minor and major ticks, two axes
  const int at[] = {497, 582, 667}, y_at[] = {122, 207, 292};
  for (int i = 0; i < 3; ++i) {
    const std::string power = std::to_string(i + 1);
    EXPECT_TRUE(HasStroke(c, {at[i], 352, at[i], 357}));
    EXPECT_EQ(TextAt(c, "10^" + power), std::pair(at[i] - 7, 357));
    EXPECT_TRUE(HasStroke(c, {408, y_at[i], 412, y_at[i]}));
    EXPECT_EQ(TextAt(c, "10^(-" + power + ")"), std::pair(376, y_at[i] + 3));
  }
  EXPECT_TRUE(HasStroke(c, {412, 352, 412, 354}));  // i = 1
  EXPECT_TRUE(HasStroke(c, {410, 37, 412, 37}));
  EXPECT_EQ(TextAt(c, "P(k)"), std::pair(392, 37));
  EXPECT_EQ(Box(c.calls().back()), std::vector<int>({412, 37, 412, 352}));  // the vertical axis last
}

TEST_F(UiDrawing, MeasuresAndNetwork) {
  ASSERT_TRUE(SetParameters({}, "0.1").close);  // N 50, K 8, small world
  OnCommand(window, CMD_BUILD_NETWORK);
  RecordingCanvas c;
  c.SetTextColor(RED);  // left over from an earlier routine
  DrawNetworkMeasures(c, sim);
  const CanvasCall* degree = c.FindText("Average Degree: 8.000000");
  EXPECT_TRUE(degree != nullptr && degree->a == 577 && degree->b == 20 && degree->text_color == BLACK);

  // Lines that fit stay where they are, also when they end exactly at the
  // edge; lines that would run past it (24, 25, 36 and 32 cells of 7 pixels,
  // from x 577, 577, 550 and 560) end 3 pixels inside it.
  const std::pair<int, std::vector<int>> widths[] = {
      {760, {577, 577, 505, 533}}, {752, {577, 577, 497, 525}}, {700, {529, 522, 445, 473}}};
  for (const auto& [width, expected] : widths) {
    c.Clear();
    c.SetClientWidth(width);
    DrawNetworkMeasures(c, sim);
    std::vector<int> xs;
    for (const CanvasCall& text : c.Calls(CanvasCallKind::TextOut)) xs.push_back(text.a);
    EXPECT_EQ(xs, expected) << "client width " << width;
  }
  c.SetClientWidth(PICTURE_WIDTH);

  sim.degree_distribution[0] = 0.25;  // degree 0: no point
  sim.degree_distribution[1] = 0.25;  // on the vertical axis
  std::fill_n(sim.degree_distribution + 2, 49, 0.0);
  sim.degree_distribution[8] = 0.5;
  c.Clear();
  DrawNetworkMeasures(c, sim);
  const std::vector<CanvasCall> points = c.Calls(CanvasCallKind::Ellipse);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(Box(points[0]), std::vector<int>({410, 86, 414, 90}));
  EXPECT_EQ(Box(points[1]), std::vector<int>({487, 61, 491, 65}));
  EXPECT_EQ(points[1].brush_color, BLUE);

  c.Clear();
  DrawNetwork(c, sim);
  const GroupRecord& g1 = sim.groups[1];
  const GroupRecord& h = sim.groups[g1.neighbours[1]];
  EXPECT_EQ(Box(c.calls()[2]), std::vector<int>({g1.x, g1.y, g1.x + 4, g1.y + 4}));
  EXPECT_EQ(c.Calls(CanvasCallKind::Ellipse).size(), 50u);
  EXPECT_EQ(c.calls()[52].kind, CanvasCallKind::SelectPen);  // links over the dots
  EXPECT_EQ(c.CountStrokes(GREEN), 400);                     // 200 links from both ends
  EXPECT_EQ(Box(c.Calls(CanvasCallKind::LineTo)[0]), std::vector<int>({g1.x + 2, g1.y + 2, h.x + 2, h.y + 2}));
}

// A network given as links with groups alone (degree 0): a dot for every
// group, both ends of every link, P(k) points for degrees 1 and 2 only.
TEST_F(UiDrawing, NetworkWithGroupsAlone) {
  ASSERT_TRUE(veldaris::SetParameters(sim, ParameterChoice{GIVEN_LINKS, 9, 4, 1000, 2, 10, 0.0}, 1));
  const int32_t links[][2] = {{1, 2}, {2, 3}, {1, 3}, {4, 5}};
  BuildAndMeasureNetworkFromLinks(sim, links, 4);
  RecordingCanvas c;
  PaintWindow(c, sim);
  EXPECT_EQ(c.Calls(CanvasCallKind::Ellipse).size(), 9u + 2u);
  EXPECT_EQ(c.CountStrokes(GREEN), 8);
  EXPECT_NE(c.FindText("Average Degree: 0.888889"), nullptr);
  EXPECT_NE(c.FindText("Characteristic Path Length: 8.111111"), nullptr);  // 8 pairs at 1, 64 at N
}

TEST_F(UiDrawing, SeriesAxesTicksAndLabels) {
  RecordingCanvas c;
  DrawSeriesAxes(c, sim);  // G 1000, L 10
  EXPECT_EQ(TextAt(c, "1000"), std::pair(702, 611));
  EXPECT_TRUE(HasStroke(c, {104, 607, 104, 609}));  // 67.5 pixels per tick
  EXPECT_TRUE(HasStroke(c, {374, 607, 374, 612}));  // the 5th is long
  EXPECT_EQ(Box(c.calls()[IndexOfText(c, "1000") + 2]), std::vector<int>({712, 607, 712, 612}));  // label first
  EXPECT_TRUE(HasStroke(c, {33, 382, 38, 382}));
  EXPECT_EQ(TextAt(c, "10"), std::pair(21, 376));
  EXPECT_TRUE(c.FindText("Mutual-Defection")->text_color == RED &&
              c.FindText("Mutual-Cooperation")->text_color == BLUE);
  EXPECT_EQ(c.Calls(CanvasCallKind::LineTo).size(), 2u + 10 + 2 + 2);

  sim.params.generation_count = 3000;
  sim.params.strategy_length = 30;
  c.Clear();
  DrawSeriesAxes(c, sim);
  EXPECT_EQ(TextAt(c, "1000"), std::pair(252, 611));
  EXPECT_EQ(TextAt(c, "30"), std::pair(21, 376));
  EXPECT_TRUE(HasStroke(c, {36, 569, 38, 569}));  // 37.5 pixels per 5
  EXPECT_EQ(c.Calls(CanvasCallKind::LineTo).size(), 2u + 30 + 6 + 2);

  // Past what five-entry label tables ("1000".."5000", "10".."50") could name.
  sim.params.generation_count = 10000;
  sim.params.strategy_length = 100;
  c.Clear();
  DrawSeriesAxes(c, sim);
  EXPECT_EQ(TextAt(c, "6000"), std::pair(432, 611));
  EXPECT_EQ(TextAt(c, "100"), std::pair(21, 376));
  EXPECT_EQ(c.Calls(CanvasCallKind::TextOut).size(), 5u + 10 + 10);
}

TEST_F(UiDrawing, SeriesLinesColumnsAndHeights) {
  sim.series.D_Avg[1] = 10.0;   // L reaches the top
  sim.series.D_Avg[2] = 5.0;    // 494.5 rounds up
  sim.series.C_Avg[999] = 0.1;  // 604.75 rounds up
  RecordingCanvas c;
  DrawSeries(c, sim);
  const std::vector<CanvasCall> s = c.Calls(CanvasCallKind::LineTo);
  ASSERT_EQ(s.size(), 2u * 999);
  EXPECT_EQ(Box(s[0]), std::vector<int>({38, 382, 38, 495}));  // generation 2 at 37 + 1.35
  EXPECT_EQ(Box(s[2]), std::vector<int>({40, 607, 40, 607}));  // generation 4 at 37 + 2.7
  EXPECT_EQ(Box(s[998]), std::vector<int>({712, 607, 712, 607}));
  EXPECT_TRUE(s[0].pen_color == RED && s[0].pen_width == 2);
  EXPECT_EQ(Box(s[999 + 997]), std::vector<int>({711, 607, 711, 605}));
  EXPECT_TRUE(s.back().b == 605 && s.back().pen_color == BLUE);  // cooperation on top
}

TEST_F(UiDrawing, PaintFollowsTheFlagsAndProgressLine) {
  RecordingCanvas c;
  PaintWindow(c, sim);
  EXPECT_TRUE(c.calls().empty());
  sim.network_built = sim.run_finished = 1;
  c.SetTextColor(BLUE);
  PaintWindow(c, sim);
  EXPECT_LT(IndexOfText(c, "P(k)"), IndexOfText(c, "Average Degree: 0.000000"));
  EXPECT_LT(IndexOfText(c, "Average Degree: 0.000000"), IndexOfText(c, "Generation"));
  DrawProgress(c, 100);
  EXPECT_EQ(TextAt(c, "Proceeding... 100% done."), std::pair(580, 7));
  EXPECT_EQ(c.calls().back().text_color, BLACK);
}

}  // namespace
}  // namespace veldaris::ui::testing
