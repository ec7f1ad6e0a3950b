// The parameter dialog's rules: radio clicks, OK with the rewiring text, and
// the network validity rule on closing.
#include "ui_test_support.h"

namespace veldaris::ui::testing {
namespace {

using UiParameterDialog = UiTest;

constexpr int kSmallWorld = ID_FIRST_RADIO, kScaleFree = ID_FIRST_RADIO + 1, k200Groups = ID_FIRST_RADIO + 3;
constexpr int k4Strategies = ID_FIRST_RADIO + 4, k8Strategies = ID_FIRST_RADIO + 5;
constexpr int k3000Generations = ID_FIRST_RADIO + 7, k4Connectivity = ID_FIRST_RADIO + 8, kL30 = ID_LAST_RADIO;

// The twelve check states, button 1012 first.
std::string Checks(const ParametersDialogView& view) {
  std::string checks;
  for (int id = ID_FIRST_RADIO; id <= ID_LAST_RADIO; ++id) checks += view.radios.IsChecked(id) ? '1' : '0';
  return checks;
}

TEST_F(UiParameterDialog, OpeningAndClicksShowTheLiveParameters) {
  sim.params.rewiring_percent = 30;
  ParametersDialogView view = InitParametersDialog(window);
  EXPECT_EQ(view.edit_text + " " + Checks(view), "0.3 101001100110");
  EXPECT_TRUE(view.edit_enabled);
  for (const int id : {kScaleFree, k200Groups, k4Strategies, k3000Generations, k4Connectivity, kL30}) {
    ClickRadio(window, view, id);
  }
  EXPECT_EQ(Checks(view), "010110011001");
  EXPECT_FALSE(view.edit_enabled);
  EXPECT_EQ(sim.params.group_count * 10 + sim.params.strategy_length, 2030);
  ClickRadio(window, view, kSmallWorld);
  ClickRadio(window, view, k8Strategies);
  EXPECT_EQ(Checks(view), "100101011001");
  EXPECT_TRUE(view.edit_enabled);
  ClickRadio(window, view, kScaleFree);
  EXPECT_FALSE(InitParametersDialog(window).edit_enabled);  // reopened on a scale-free network
}

TEST_F(UiParameterDialog, OkStoresTruncatedPercentWithinTheRange) {
  ParametersDialogView view = InitParametersDialog(window);
  ClickRadio(window, view, k4Connectivity);
  EXPECT_TRUE(PressOk(window, "0.29").close);
  EXPECT_EQ(sim.params.rewiring_percent, 28);  // 0.29 * 100 = 28.999999999999996
  EXPECT_EQ(sim.params.core_size * 10 + sim.params.links_per_group, 52);
  // Only the first nine characters count: "0.25e+000", not "0.25e+0001".
  EXPECT_TRUE(PressOk(window, "0.25e+0001").close);
  EXPECT_EQ(sim.params.rewiring_percent, 25);

  sim.parameters_set = 0;
  const DialogOutcome rejected = PressOk(window, "1.01");
  EXPECT_FALSE(rejected.close);
  EXPECT_EQ(rejected.message, MSG_REWIRING_RANGE);
  EXPECT_EQ(sim.params.rewiring_percent, 101);  // stored although rejected
  EXPECT_EQ(sim.parameters_set, 0);
  EXPECT_FALSE(PressOk(window, "-0.5").close || PressOk(window, "inf").close);

  // Scale free accepts anything; far values are stored clamped and shown
  // back within the nine characters of the box.
  ClickRadio(window, view, kScaleFree);
  EXPECT_TRUE(PressOk(window, "1.01").close && PressOk(window, "-1e300").close);
  EXPECT_EQ(InitParametersDialog(window).edit_text, "-1000.0");
  EXPECT_TRUE(PressOk(window, "nan").close);
  EXPECT_EQ(sim.params.rewiring_percent, 0);
}

// A network built with rewiring 0.05, then the dialog closed by OK with the
// text (or the text shown, when empty) or by Cancel (no text).
TEST_F(UiParameterDialog, NetworkValidityRuleOnOkAndCancel) {
  const struct {
    int type;
    std::vector<int> clicks;
    const char* text;
    int built, percent;
  } cases[] = {{kSmallWorld, {k4Strategies, k3000Generations, kL30}, "0.05", 1, 5},  // S, G and L
               {kSmallWorld, {k8Strategies}, nullptr, 1, 5},
               {kSmallWorld, {}, "", 1, 5},                 // 0.05 is shown as "0.1": kept as it was
               {kSmallWorld, {k200Groups}, nullptr, 0, 5},  // Cancel keeps the click
               {kSmallWorld, {k4Connectivity}, "0.05", 0, 5},
               {kScaleFree, {}, "0.7", 1, 70},  // rewiring of a scale-free network
               {kScaleFree, {kSmallWorld}, nullptr, 0, 5}};
  for (const auto& c : cases) {
    ASSERT_TRUE(SetParameters({c.type}, "0.05").close);
    OnCommand(window, CMD_BUILD_NETWORK);
    ASSERT_EQ(sim.network_built, 1);
    ParametersDialogView view = InitParametersDialog(window);
    for (const int id : c.clicks) ClickRadio(window, view, id);
    EXPECT_TRUE(
        (c.text == nullptr ? PressCancel(window) : PressOk(window, *c.text != '\0' ? c.text : view.edit_text)).close);
    EXPECT_EQ(sim.network_built * 1000 + sim.params.rewiring_percent, c.built * 1000 + c.percent)
        << "case " << &c - cases;
  }
  EXPECT_EQ(sim.params.group_count, 200);
}

// Text that starts with no number is refused like a value out of range, and
// the text shown confirms the value it shows.
TEST_F(UiParameterDialog, OkRefusesTextWithoutANumberAndKeepsTheShownValue) {
  ASSERT_TRUE(SetParameters({}, "0.29").close);
  ParametersDialogView view = InitParametersDialog(window);
  EXPECT_EQ(view.edit_text, "0.3");  // 28 shown to a tenth
  for (const char* text : {"abc", "", " .", "-", "x0.5"}) {
    const DialogOutcome refused = PressOk(window, text);
    EXPECT_FALSE(refused.close) << '"' << text << '"';
    EXPECT_EQ(refused.message, MSG_REWIRING_RANGE);
    EXPECT_EQ(sim.params.rewiring_percent, 28);
  }
  EXPECT_TRUE(PressOk(window, "0.3").close);
  EXPECT_EQ(sim.params.rewiring_percent, 28);
  EXPECT_TRUE(PressOk(window, "0.30").close);  // typed anew
  EXPECT_EQ(sim.params.rewiring_percent, 30);
  ClickRadio(window, view, kScaleFree);  // the value is not used: anything goes
  EXPECT_TRUE(PressOk(window, "abc").close);
}

TEST(UiRewiringText, ReadsLikeAtofWithADecimalPoint) {
  // clang-format off
  const struct { const char* text; double value; } cases[] = {
      {"0,5", 0.0}, {"  .5e1x", 5.0}, {"\t+0.25", 0.25}, {"-.5", -0.5}, {"1.5e+", 1.5}, {"0x1p-2", .25},
      {"0x.8", 0.5}, {"0xg", 0.0}, {"0xinf", 0.0}, {"+-1", 0.0}, {"", 0.0}, {"abc", 0.0}, {".", 0.0},
      {"InFinity", INFINITY}, {"-inf", -INFINITY}, {"1e999", INFINITY}, {"-1e999", -INFINITY},
      {"0x1p99999", INFINITY}, {"1e-999", 0.0}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ParseRewiringText(c.text), c.value) << '"' << c.text << '"';
  EXPECT_TRUE(std::isnan(ParseRewiringText("NaN(1)")));
  EXPECT_EQ(ParseRewiringText(std::string(400, '9')), INFINITY);
}

}  // namespace
}  // namespace veldaris::ui::testing
