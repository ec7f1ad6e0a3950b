// The main window's states: the menu commands, the timers and the end of a run.
#include "ui_test_support.h"

namespace veldaris::ui::testing {
namespace {

using UiRunControl = UiTest;

// The actions that are set, in order, then the message: a refusal reads as
// its message alone.
std::string Text(const UiActions& a) {
  std::string text;
  if (a.draw_progress) text += "progress " + std::to_string(a.progress_percent) + " ";
  if (a.enable_window != -1) text += "enable " + std::to_string(a.enable_window) + " ";
  for (const auto& [set, name] : {std::pair(a.start_timers, "start "),
                                  {a.stop_timers, "stop "},
                                  {a.invalidate, "invalidate "},
                                  {a.open_parameters_dialog, "parameters "},
                                  {a.open_version_dialog, "version "},
                                  {a.quit, "quit "}}) {
    if (set) text += name;
  }
  return text + a.message;
}

TEST_F(UiRunControl, FreshAndParametersSetStates) {
  EXPECT_EQ(Text(OnCommand(CMD_BUILD_NETWORK)), MSG_SET_PARAMETERS_FIRST);
  EXPECT_EQ(Text(OnCommand(CMD_EXECUTE_SIMULATION)), MSG_BUILD_FIRST);
  EXPECT_EQ(Text(OnCommand(CMD_VERSION)) + Text(OnCommand(CMD_EXIT)) + Text(OnCommand(107)), "version quit ");

  g_state.series.D_Avg[5] = 3.0;
  EXPECT_EQ(Text(OnCommand(CMD_SET_PARAMETERS)), "parameters ");
  EXPECT_EQ(g_state.series.D_Avg[5], 0.0);  // ResetRun first
  ASSERT_TRUE(PressOk("0.1").close);
  EXPECT_EQ(Text(OnCommand(CMD_EXECUTE_SIMULATION)), MSG_BUILD_FIRST);
  EXPECT_EQ(Text(OnCommand(CMD_BUILD_NETWORK)), "invalidate ");
  EXPECT_TRUE(g_state.network_built == 1 && g_state.metrics.average_degree == 8.0);
}

TEST_F(UiRunControl, TypeChangeMessageDependsOnWhetherTheDialogWasReopened) {
  ASSERT_TRUE(SetParameters({}).close);
  OnCommand(CMD_BUILD_NETWORK);
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 1}).close);  // Scale Free
  EXPECT_EQ(Text(OnCommand(CMD_EXECUTE_SIMULATION)), MSG_TYPE_CHANGED);
  ASSERT_TRUE(SetParameters({}).close);  // reopening takes the reference type
  EXPECT_EQ(Text(OnCommand(CMD_EXECUTE_SIMULATION)), MSG_BUILD_FIRST);

  OnCommand(CMD_BUILD_NETWORK);
  ParametersDialogView view = InitParametersDialog();
  ClickRadio(view, ID_FIRST_RADIO);
  EXPECT_TRUE(PressCancel().close);
  EXPECT_EQ(Text(OnCommand(CMD_EXECUTE_SIMULATION)), MSG_TYPE_CHANGED);
}

TEST_F(UiRunControl, RunningAndFinishedStates) {
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 8}).close);  // K = 4
  OnCommand(CMD_BUILD_NETWORK);
  EXPECT_EQ(Text(OnCommand(CMD_EXECUTE_SIMULATION)), "start invalidate ");
  EXPECT_EQ(g_state.generation, 1);
  EXPECT_FALSE(CanClose());
  OnBatchTimer();
  EXPECT_EQ(Text(OnProgressTimer()), "progress 1 enable 0 ");  // generation 11 of 1000
  EXPECT_EQ(Text(RunUntilFinished()), "progress 100 enable 1 stop invalidate ");
  EXPECT_TRUE(g_state.generation == 1001 && g_state.run_finished == 1 && CanClose());
  EXPECT_EQ(Text(OnProgressTimer()), "enable 1 stop invalidate ");  // a tick already queued

  // Build after a run keeps the charts, now from cleared series.
  OnCommand(CMD_BUILD_NETWORK);
  EXPECT_TRUE(g_state.run_finished == 1 && g_state.series.D_Avg[500] == 0.0);
  // A second run clears the flag until its end; Set Parameters keeps it.
  OnCommand(CMD_EXECUTE_SIMULATION);
  EXPECT_EQ(g_state.run_finished, 0);
  RunUntilFinished();
  EXPECT_GT(g_state.series.D_Avg[1000] + g_state.series.C_Avg[1000], 0.0);
  OnCommand(CMD_SET_PARAMETERS);
  EXPECT_TRUE(g_state.run_finished == 1 && g_state.series.C_Avg[1000] == 0.0);

  OnCommand(CMD_EXECUTE_SIMULATION);  // closing the window in the middle of a run
  EXPECT_EQ(Text(OnDestroy()), "stop quit ");
  EXPECT_TRUE(CanClose());
}

TEST_F(UiRunControl, UnwritableResultFilesAreReportedOnceAtTheEnd) {
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 8}).close);
  OnCommand(CMD_BUILD_NETWORK);
  const std::string missing = (dir_ / "missing").string();
  std::strncpy(g_state.result_directory, missing.c_str(), RESULT_PATH_CAPACITY - 1);
  OnCommand(CMD_EXECUTE_SIMULATION);
  const std::string error = "Could not write the result file \"" + missing + "/Veldaris_Result_";
  EXPECT_EQ(Text(RunUntilFinished()), "progress 100 enable 1 stop invalidate " + error +
                                          "Initial.csv\": No such file or directory.\n" + error +
                                          "All.csv\": No such file or directory.");
  EXPECT_TRUE(OnProgressTimer().message.empty());
}

}  // namespace
}  // namespace veldaris::ui::testing
