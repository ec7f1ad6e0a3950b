#include "ui/parameter_dialog.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "model/simulation_state.h"
#include "ui/run_control.h"
#include "ui_test_support.h"

namespace veldaris::ui::testing {
namespace {

using UiParameterDialog = UiTest;

constexpr int kSmallWorld = ID_FIRST_RADIO, kScaleFree = ID_FIRST_RADIO + 1, k200Groups = ID_FIRST_RADIO + 3;
constexpr int k4Strategies = ID_FIRST_RADIO + 4, k8Strategies = ID_FIRST_RADIO + 5;
constexpr int k3000Generations = ID_FIRST_RADIO + 7, k4Connectivity = ID_FIRST_RADIO + 8, kL30 = ID_LAST_RADIO;

TEST_F(UiParameterDialog, OpeningAndClicksShowTheLiveParameters) {
  g_state.params.rewiring_percent = 30;
  ParametersDialogView view = InitParametersDialog();
  EXPECT_EQ(view.edit_text, "0.3");
  EXPECT_TRUE(view.edit_enabled);
  for (const int id : {kScaleFree, k200Groups, k4Strategies, k3000Generations, k4Connectivity, kL30, kSmallWorld,
                       k8Strategies, kScaleFree}) {
    ClickRadio(view, id);
    RadioChecks expected;
    SyncRadioButtons(expected, 0);
    for (int b = ID_FIRST_RADIO; b <= ID_LAST_RADIO; b += 2) {
      EXPECT_NE(view.radios.IsChecked(b), view.radios.IsChecked(b + 1)) << "after " << id;
      EXPECT_EQ(view.radios.IsChecked(b), expected.IsChecked(b)) << "button " << b << " after " << id;
    }
    EXPECT_TRUE(view.radios.IsChecked(id));
  }
  EXPECT_FALSE(view.edit_enabled);
  EXPECT_EQ(g_state.params.group_count, 200);

  view = InitParametersDialog();  // captures the values for the closing rule
  EXPECT_EQ(g_state.previous_group_count, 200);
  EXPECT_EQ(g_state.reference_network_type, SCALE_FREE);
  EXPECT_FALSE(view.edit_enabled);
  EXPECT_EQ(RewiringText(0), "0");
  EXPECT_EQ(RewiringText(100), "1.0");
}

TEST_F(UiParameterDialog, OkStoresTruncatedPercentWithinTheRange) {
  ParametersDialogView view = InitParametersDialog();
  ClickRadio(view, k4Connectivity);
  EXPECT_TRUE(PressOk("0.29").close);
  EXPECT_EQ(g_state.params.rewiring_percent, 28);  // 0.29 * 100 = 28.999999999999996
  EXPECT_EQ(g_state.params.core_size, 5);
  EXPECT_EQ(g_state.params.links_per_group, 2);
  // Only the first nine characters count: "0.25e+000", not "0.25e+0001".
  EXPECT_TRUE(PressOk("0.25e+0001").close);
  EXPECT_EQ(g_state.params.rewiring_percent, 25);

  g_state.parameters_set = 0;
  const DialogOutcome rejected = PressOk("1.01");
  EXPECT_FALSE(rejected.close);
  EXPECT_EQ(rejected.message, MSG_REWIRING_RANGE);
  EXPECT_EQ(g_state.params.rewiring_percent, 101);  // stored although rejected
  EXPECT_EQ(g_state.parameters_set, 0);
  EXPECT_FALSE(PressOk("-0.5").close);
  EXPECT_FALSE(PressOk("inf").close);

  // Scale free accepts anything; far values are stored clamped and shown
  // back within the nine characters of the box.
  ClickRadio(view, kScaleFree);
  EXPECT_TRUE(PressOk("1.01").close);
  EXPECT_TRUE(PressOk("10000000").close);
  EXPECT_EQ(g_state.params.rewiring_percent, 100000);
  EXPECT_EQ(InitParametersDialog().edit_text, "1000.0");
  EXPECT_TRUE(PressOk("-1e300").close);
  EXPECT_EQ(InitParametersDialog().edit_text, "-1000.0");
  EXPECT_TRUE(PressOk("nan").close);
  EXPECT_EQ(g_state.params.rewiring_percent, 0);
  EXPECT_EQ(RewiringText(INT32_MIN).size(), static_cast<size_t>(REWIRING_TEXT_LIMIT));
}

TEST_F(UiParameterDialog, NetworkValidityRuleOnOkAndCancel) {
  const auto build = [] {
    ASSERT_TRUE(SetParameters({}, "0.05").close);
    OnCommand(CMD_BUILD_NETWORK);
    ASSERT_EQ(g_state.network_built, 1);
  };
  build();
  EXPECT_EQ(g_state.params.rewiring_percent, 5);
  ASSERT_TRUE(SetParameters({k4Strategies, k3000Generations, kL30}, "0.05").close);  // S, G, L
  EXPECT_EQ(g_state.network_built, 1);
  ParametersDialogView view = InitParametersDialog();
  ClickRadio(view, k8Strategies);
  EXPECT_TRUE(PressCancel().close);
  EXPECT_EQ(g_state.network_built, 1);
  view = InitParametersDialog();
  EXPECT_EQ(view.edit_text, "0.1");  // 0.05 shown rounded: OK stores 10
  EXPECT_TRUE(PressOk(view.edit_text).close);
  EXPECT_EQ(g_state.params.rewiring_percent, 10);
  EXPECT_EQ(g_state.network_built, 0);

  build();
  view = InitParametersDialog();
  ClickRadio(view, k200Groups);
  EXPECT_TRUE(PressCancel().close);  // Cancel keeps the click and drops the network
  EXPECT_EQ(g_state.params.group_count, 200);
  EXPECT_EQ(g_state.network_built, 0);
  build();
  ASSERT_TRUE(SetParameters({k4Connectivity}, "0.05").close);
  EXPECT_EQ(g_state.network_built, 0);

  ASSERT_TRUE(SetParameters({kScaleFree}, "0.1").close);
  OnCommand(CMD_BUILD_NETWORK);
  ASSERT_TRUE(SetParameters({}, "0.7").close);  // rewiring of a scale-free network
  EXPECT_EQ(g_state.network_built, 1);
}

TEST(UiRewiringText, ReadsLikeAtofWithADecimalPoint) {
  // clang-format off
  const struct { const char* text; double value; } cases[] = {
      {"0,5", 0.0}, {"  .5e1x", 5.0}, {"\t+0.25", 0.25}, {"-.5", -0.5}, {"1.5e+", 1.5}, {"0x1p-2", .25},
      {"0x.8", 0.5}, {"0xg", 0.0}, {"0xinf", 0.0}, {"+-1", 0.0}, {"", 0.0}, {"abc", 0.0}, {".", 0.0},
      {"InFinity", INFINITY}, {"-inf", -INFINITY}, {"1e999", INFINITY}, {"-1e999", -INFINITY},
      {"0x1p99999", INFINITY}, {"1e-999", 0.0}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ParseRewiringText(c.text), c.value) << '"' << c.text << '"';
  }
  EXPECT_TRUE(std::isnan(ParseRewiringText("NaN(1)")));
  EXPECT_EQ(ParseRewiringText(std::string(400, '9')), INFINITY);
}

}  // namespace
}  // namespace veldaris::ui::testing
