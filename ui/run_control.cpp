// The main window's behaviour apart from any toolkit: commands, timers, end of run.
#include "ui/run_control.h"

namespace veldaris::ui {

namespace {

// One line per result file of the finished run that could not be written.
std::string ResultFileErrors(const ResultFiles& files) {
  if (files.written == 0) {
    return std::string();
  }
  std::string message;
  for (int i = 0; i < RESULT_FILE_COUNT; ++i) {
    if (files.error[i] == 0) {
      continue;
    }
    // The path is empty when the directory and name did not fit together.
    const char* path = files.path[i][0] != '\0' ? files.path[i] : RESULT_FILE_NAMES[i];
    if (!message.empty()) {
      message += '\n';
    }
    message += std::string("Could not write the result file \"") + path + "\": " + ResultFileError(files, i) + ".";
  }
  return message;
}

UiActions BuildNetworkCommand(WindowState& window) {
  UiActions actions;
  Simulation& sim = window.sim();
  if (sim.parameters_set == 0) {
    actions.message = MSG_SET_PARAMETERS_FIRST;
    return actions;
  }
  actions.invalidate = true;
  BuildAndMeasureNetwork(sim, CommandSeed(window));
  window.reference_network_type = sim.params.network_type;
  return actions;
}

UiActions ExecuteSimulationCommand(WindowState& window) {
  UiActions actions;
  Simulation& sim = window.sim();
  if (sim.network_built == 0) {
    actions.message = sim.params.network_type == window.reference_network_type ? MSG_BUILD_FIRST : MSG_TYPE_CHANGED;
    return actions;
  }
  actions.invalidate = true;
  window.result_files.written = 0;
  StartRun(sim, CommandSeed(window));
  actions.start_timers = true;
  window.running = true;
  return actions;
}

}  // namespace

uint32_t CommandSeed(const WindowState& window) { return window.use_fixed_seed ? window.fixed_seed : ClockSeconds(); }

UiActions OnCreate(WindowState& window) {
  ApplyDefaultParameters(window.sim());
  window.reference_network_type = window.sim().params.network_type;
  window.running = false;
  return UiActions{};
}

UiActions OnCommand(WindowState& window, int id) {
  UiActions actions;
  switch (id) {
    case CMD_BUILD_NETWORK:
      return BuildNetworkCommand(window);
    case CMD_EXECUTE_SIMULATION:
      return ExecuteSimulationCommand(window);
    case CMD_EXIT:
      // The timers are left running: the message loop ends first.
      actions.quit = true;
      break;
    case CMD_SET_PARAMETERS:
      ResetRun(window.sim(), CommandSeed(window));
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

UiActions OnParametersDialogClosed(WindowState& /*window*/) {
  UiActions actions;
  actions.invalidate = true;
  return actions;
}

UiActions OnBatchTimer(WindowState& window) {
  Simulation& sim = window.sim();
  const bool was_complete = RunComplete(sim);
  RunBatch(sim);
  if (!was_complete && RunComplete(sim)) {
    WriteResultFiles(sim, window.result_files);
  }
  return UiActions{};
}

UiActions OnProgressTimer(WindowState& window) {
  UiActions actions;
  Simulation& sim = window.sim();
  const int g_count = sim.params.generation_count;
  const bool was_running = sim.run_finished == 0;
  if (was_running) {
    actions.draw_progress = true;
    // generation is the next one to run, so the last tick shows 100 %.
    actions.progress_percent = g_count > 0 ? sim.generation * 100 / g_count : 0;
    actions.enable_window = 0;
  }
  if (RunComplete(sim)) {
    actions.stop_timers = true;
    FinishRun(sim);
    actions.enable_window = 1;
    actions.invalidate = true;
    // Only the tick that ends the run reports, so a tick that arrives while
    // the message box is open does not report again.
    if (was_running) {
      actions.message = ResultFileErrors(window.result_files);
    }
    window.running = false;
  }
  return actions;
}

bool CanClose(const WindowState& window) { return !window.running; }

UiActions OnDestroy(WindowState& window) {
  UiActions actions;
  actions.stop_timers = true;
  actions.quit = true;
  window.running = false;
  return actions;
}

}  // namespace veldaris::ui
