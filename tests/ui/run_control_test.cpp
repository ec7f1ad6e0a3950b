#include "ui/run_control.h"

#include <string>

#include "model/simulation_state.h"
#include "ui/parameter_dialog.h"
#include "ui_test_support.h"

namespace veldaris::ui::testing {
namespace {

using UiRunControl = UiTest;

// A refused command shows its message and changes nothing.
void ExpectRefusal(const UiActions& a, const std::string& message) {
  EXPECT_EQ(a.message, message);
  EXPECT_FALSE(a.draw_progress || a.start_timers || a.stop_timers || a.invalidate || a.open_parameters_dialog ||
               a.open_version_dialog || a.quit || a.enable_window != -1);
}

TEST_F(UiRunControl, FreshAndParametersSetStates) {
  EXPECT_EQ(g_state.reference_network_type, SMALL_WORLD);
  ExpectRefusal(OnCommand(CMD_BUILD_NETWORK), MSG_SET_PARAMETERS_FIRST);
  ExpectRefusal(OnCommand(CMD_EXECUTE_SIMULATION), MSG_BUILD_FIRST);
  EXPECT_EQ(g_state.generation, 0);
  EXPECT_TRUE(OnCommand(CMD_VERSION).open_version_dialog);
  EXPECT_TRUE(OnCommand(CMD_EXIT).quit);
  ExpectRefusal(OnCommand(107), "");

  g_state.series.D_Avg[5] = 3.0;
  EXPECT_TRUE(OnCommand(CMD_SET_PARAMETERS).open_parameters_dialog);
  EXPECT_EQ(g_state.series.D_Avg[5], 0.0);  // ResetRun first
  ASSERT_TRUE(PressOk("0.1").close);
  ExpectRefusal(OnCommand(CMD_EXECUTE_SIMULATION), MSG_BUILD_FIRST);

  const UiActions build = OnCommand(CMD_BUILD_NETWORK);
  EXPECT_TRUE(build.invalidate && build.message.empty() && !build.start_timers);
  EXPECT_EQ(g_state.network_built, 1);
  EXPECT_EQ(g_state.metrics.average_degree, 8.0);
}

TEST_F(UiRunControl, TypeChangeMessageDependsOnWhetherTheDialogWasReopened) {
  ASSERT_TRUE(SetParameters({}).close);
  OnCommand(CMD_BUILD_NETWORK);
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 1}).close);  // Scale Free
  ExpectRefusal(OnCommand(CMD_EXECUTE_SIMULATION), MSG_TYPE_CHANGED);
  ASSERT_TRUE(SetParameters({}).close);  // reopening takes the reference type
  ExpectRefusal(OnCommand(CMD_EXECUTE_SIMULATION), MSG_BUILD_FIRST);

  OnCommand(CMD_BUILD_NETWORK);
  EXPECT_EQ(g_state.reference_network_type, SCALE_FREE);
  ParametersDialogView view = InitParametersDialog();
  ClickRadio(view, ID_FIRST_RADIO);
  EXPECT_TRUE(PressCancel().close);
  ExpectRefusal(OnCommand(CMD_EXECUTE_SIMULATION), MSG_TYPE_CHANGED);
}

TEST_F(UiRunControl, RunningAndFinishedStates) {
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 8}).close);  // K = 4
  OnCommand(CMD_BUILD_NETWORK);
  const UiActions start = OnCommand(CMD_EXECUTE_SIMULATION);
  EXPECT_TRUE(start.start_timers && start.invalidate);
  EXPECT_EQ(g_state.generation, 1);
  EXPECT_FALSE(CanClose());

  OnBatchTimer();
  const UiActions first = OnProgressTimer();
  EXPECT_TRUE(first.draw_progress && !first.stop_timers && !first.invalidate);
  EXPECT_EQ(first.progress_percent, 1);  // generation 11 of 1000
  EXPECT_EQ(first.enable_window, 0);

  const UiActions last = RunUntilFinished();
  EXPECT_EQ(g_state.generation, 1001);
  EXPECT_TRUE(last.draw_progress && last.invalidate && last.message.empty());
  EXPECT_EQ(last.progress_percent, 100);
  EXPECT_EQ(last.enable_window, 1);
  EXPECT_EQ(g_state.run_finished, 1);
  EXPECT_TRUE(CanClose());
  const UiActions late = OnProgressTimer();  // a tick already queued
  EXPECT_FALSE(late.draw_progress);

  // Build after a run keeps the charts, now from cleared series.
  OnCommand(CMD_BUILD_NETWORK);
  EXPECT_EQ(g_state.run_finished, 1);
  EXPECT_EQ(g_state.series.D_Avg[500], 0.0);
  // A second run clears the flag until its end.
  OnCommand(CMD_EXECUTE_SIMULATION);
  EXPECT_EQ(g_state.run_finished, 0);
  RunUntilFinished();
  EXPECT_GT(g_state.series.D_Avg[1000] + g_state.series.C_Avg[1000], 0.0);
  OnCommand(CMD_SET_PARAMETERS);
  EXPECT_EQ(g_state.series.C_Avg[1000], 0.0);
  EXPECT_EQ(g_state.run_finished, 1);

  g_state.params.generation_count = 3000;
  OnCommand(CMD_EXECUTE_SIMULATION);
  OnBatchTimer();
  EXPECT_EQ(OnProgressTimer().progress_percent, 0);
  const UiActions destroy = OnDestroy();
  EXPECT_TRUE(destroy.stop_timers && destroy.quit && CanClose());
}

TEST_F(UiRunControl, UnwritableResultFilesAreReportedOnceAtTheEnd) {
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 8}).close);
  OnCommand(CMD_BUILD_NETWORK);
  const std::string missing = (dir_ / "missing").string();
  std::strncpy(g_state.result_directory, missing.c_str(), RESULT_PATH_CAPACITY - 1);
  OnCommand(CMD_EXECUTE_SIMULATION);
  const UiActions end = RunUntilFinished();
  EXPECT_EQ(end.message, "Could not write the result file \"" + missing +
                             "/Veldaris_Result_Initial.csv\": No such file or directory.\n"
                             "Could not write the result file \"" +
                             missing + "/Veldaris_Result_All.csv\": No such file or directory.");
  EXPECT_TRUE(OnProgressTimer().message.empty());
}

}  // namespace
}  // namespace veldaris::ui::testing
