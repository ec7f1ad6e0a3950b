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
  EXPECT_EQ(Text(OnCommand(window, CMD_BUILD_NETWORK)), MSG_SET_PARAMETERS_FIRST);
  EXPECT_EQ(Text(OnCommand(window, CMD_EXECUTE_SIMULATION)), MSG_BUILD_FIRST);
  EXPECT_EQ(Text(OnCommand(window, CMD_VERSION)) + Text(OnCommand(window, CMD_EXIT)) + Text(OnCommand(window, 107)),
            "version quit ");

  sim.series.D_Avg[5] = 3.0;
  EXPECT_EQ(Text(OnCommand(window, CMD_SET_PARAMETERS)), "parameters ");
  EXPECT_EQ(Text(OnParametersDialogClosed(window)), "invalidate ");  // shows what the dialog left
  EXPECT_EQ(sim.series.D_Avg[5], 0.0);                               // ResetRun first
  ASSERT_TRUE(PressOk(window, "0.1").close);
  EXPECT_EQ(Text(OnCommand(window, CMD_EXECUTE_SIMULATION)), MSG_BUILD_FIRST);
  EXPECT_EQ(Text(OnCommand(window, CMD_BUILD_NETWORK)), "invalidate ");
  EXPECT_TRUE(sim.network_built == 1 && sim.metrics.average_degree == 8.0);
}

TEST_F(UiRunControl, TypeChangeMessageDependsOnWhetherTheDialogWasReopened) {
  ASSERT_TRUE(SetParameters({}).close);
  OnCommand(window, CMD_BUILD_NETWORK);
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 1}).close);  // Scale Free
  EXPECT_EQ(Text(OnCommand(window, CMD_EXECUTE_SIMULATION)), MSG_TYPE_CHANGED);
  ASSERT_TRUE(SetParameters({}).close);  // reopening takes the reference type
  EXPECT_EQ(Text(OnCommand(window, CMD_EXECUTE_SIMULATION)), MSG_BUILD_FIRST);

  OnCommand(window, CMD_BUILD_NETWORK);
  ParametersDialogView view = InitParametersDialog(window);
  ClickRadio(window, view, ID_FIRST_RADIO);
  EXPECT_TRUE(PressCancel(window).close);
  EXPECT_EQ(Text(OnCommand(window, CMD_EXECUTE_SIMULATION)), MSG_TYPE_CHANGED);
}

TEST_F(UiRunControl, RunningAndFinishedStates) {
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 8}).close);  // K = 4
  OnCommand(window, CMD_BUILD_NETWORK);
  EXPECT_EQ(Text(OnCommand(window, CMD_EXECUTE_SIMULATION)), "start invalidate ");
  EXPECT_EQ(sim.generation, 1);
  EXPECT_FALSE(CanClose(window));
  OnBatchTimer(window);
  EXPECT_EQ(Text(OnProgressTimer(window)), "progress 1 enable 0 ");  // generation 11 of 1000
  EXPECT_EQ(Text(RunUntilFinished()), "progress 100 enable 1 stop invalidate ");
  EXPECT_TRUE(sim.generation == 1001 && sim.run_finished == 1 && CanClose(window));
  EXPECT_EQ(Text(OnProgressTimer(window)), "enable 1 stop invalidate ");  // a tick already queued

  // Build after a run keeps the charts, now from cleared series.
  OnCommand(window, CMD_BUILD_NETWORK);
  EXPECT_TRUE(sim.run_finished == 1 && sim.series.D_Avg[500] == 0.0);
  // A second run clears the flag until its end; Set Parameters keeps it.
  OnCommand(window, CMD_EXECUTE_SIMULATION);
  EXPECT_EQ(sim.run_finished, 0);
  RunUntilFinished();
  EXPECT_GT(sim.series.D_Avg[1000] + sim.series.C_Avg[1000], 0.0);
  OnCommand(window, CMD_SET_PARAMETERS);
  EXPECT_TRUE(sim.run_finished == 1 && sim.series.C_Avg[1000] == 0.0);

  OnCommand(window, CMD_EXECUTE_SIMULATION);  // closing the window in the middle of a run
  EXPECT_EQ(Text(OnDestroy(window)), "stop quit ");
  EXPECT_TRUE(CanClose(window));
}

TEST_F(UiRunControl, UnwritableResultFilesAreReportedOnceAtTheEnd) {
  ASSERT_TRUE(SetParameters({ID_FIRST_RADIO + 8}).close);
  OnCommand(window, CMD_BUILD_NETWORK);
  const std::string missing = (dir_ / "missing").string();
  ASSERT_TRUE(SetResultDirectory(window.result_files, missing.c_str()));
  OnCommand(window, CMD_EXECUTE_SIMULATION);
  const std::string error = "Could not write the result file \"" + missing + "/Veldaris_Result_";
  EXPECT_EQ(Text(RunUntilFinished()), "progress 100 enable 1 stop invalidate " + error +
                                          "Initial.csv\": No such file or directory.\n" + error +
                                          "All.csv\": No such file or directory.");
  EXPECT_TRUE(OnProgressTimer(window).message.empty());
}

}  // namespace
}  // namespace veldaris::ui::testing
