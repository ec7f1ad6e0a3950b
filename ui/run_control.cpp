#include "ui/run_control.h"

#include <cstring>

#include "model/run_cycle.h"
#include "model/simulation_state.h"
#include "network/network_builder.h"
#include "network/network_metrics.h"
#include "results/generation_statistics.h"

namespace veldaris::ui {

namespace {

// From Execute Simulation until the progress tick that ends the run: the
// timers are running and the window must not close under them.
bool g_running = false;

// One line per result file of the finished run that could not be written.
std::string ResultFileErrors() {
  const ResultFileStatus& status = g_state.result_files;
  if (status.written == 0) {
    return std::string();
  }
  static constexpr const char* kNames[RESULT_FILE_COUNT] = {INITIAL_RESULT_FILE, ALL_RESULT_FILE};
  std::string message;
  for (int i = 0; i < RESULT_FILE_COUNT; ++i) {
    if (status.error[i] == 0) {
      continue;
    }
    // The path is empty when the directory and name did not fit together.
    const char* path = status.path[i][0] != '\0' ? status.path[i] : kNames[i];
    if (!message.empty()) {
      message += '\n';
    }
    message += std::string("Could not write the result file \"") + path + "\": " + std::strerror(status.error[i]) + ".";
  }
  return message;
}

UiActions BuildNetworkCommand() {
  UiActions actions;
  if (g_state.parameters_set == 0) {
    actions.message = MSG_SET_PARAMETERS_FIRST;
    return actions;
  }
  ResetRun();
  actions.invalidate = true;
  BuildNetwork();
  g_state.reference_network_type = g_state.params.network_type;
  g_state.network_built = 1;
  ComputeNetworkMetrics();
  return actions;
}

UiActions ExecuteSimulationCommand() {
  UiActions actions;
  if (g_state.network_built == 0) {
    actions.message =
        g_state.params.network_type == g_state.reference_network_type ? MSG_BUILD_FIRST : MSG_TYPE_CHANGED;
    return actions;
  }
  actions.invalidate = true;
  StartRun();
  actions.start_timers = true;
  g_running = true;
  return actions;
}

}  // namespace

UiActions OnCreate() {
  ApplyDefaultParameters();
  g_state.reference_network_type = g_state.params.network_type;
  g_running = false;
  return UiActions{};
}

UiActions OnCommand(int id) {
  UiActions actions;
  switch (id) {
    case CMD_BUILD_NETWORK:
      return BuildNetworkCommand();
    case CMD_EXECUTE_SIMULATION:
      return ExecuteSimulationCommand();
    case CMD_EXIT:
      // The timers are left running: the message loop ends first.
      actions.quit = true;
      break;
    case CMD_SET_PARAMETERS:
      ResetRun();
      actions.open_parameters_dialog = true;
      break;
    case CMD_VERSION:
      actions.open_version_dialog = true;
      break;
    default:
      break;
  }
  return actions;
}

UiActions OnBatchTimer() {
  RunBatch();
  return UiActions{};
}

UiActions OnProgressTimer() {
  UiActions actions;
  const int g_count = g_state.params.generation_count;
  const bool was_running = g_state.run_finished == 0;
  if (was_running) {
    actions.draw_progress = true;
    // generation is the next one to run, so the last tick shows 100 %.
    actions.progress_percent = g_count > 0 ? g_state.generation * 100 / g_count : 0;
    actions.enable_window = 0;
  }
  if (g_state.generation > g_count) {
    actions.stop_timers = true;
    g_state.run_finished = 1;
    actions.enable_window = 1;
    actions.invalidate = true;
    // Only the tick that ends the run reports, so a tick that arrives while
    // the message box is open does not report again.
    if (was_running) {
      actions.message = ResultFileErrors();
    }
    g_running = false;
  }
  return actions;
}

bool CanClose() { return !g_running; }

bool RunInProgress() { return g_running; }

UiActions OnDestroy() {
  UiActions actions;
  actions.stop_timers = true;
  actions.quit = true;
  g_running = false;
  return actions;
}

}  // namespace veldaris::ui
