// The main window's behaviour, independent of any toolkit: window creation,
// the five menu commands, the two timers and the end-of-run rule, as functions
// over the window's state that tell the front end what to do next.
#pragma once

#include <cstdint>
#include <string>

#include "io/result_files.h"
#include "model/simulation.h"
#include "run/run.h"

namespace veldaris::ui {

inline constexpr const char* WINDOW_CLASS = "Veldaris";
inline constexpr const char* WINDOW_TITLE = "Veldaris Version 1.25a (Second-best)";
inline constexpr const char* ERROR_TITLE = "Error!";
inline constexpr int WINDOW_WIDTH = 760;
inline constexpr int WINDOW_HEIGHT = 720;
inline constexpr int WINDOW_ALPHA = 207;  // uniform opacity 207/255

inline constexpr int BATCH_TIMER_ID = 10;
inline constexpr int BATCH_TIMER_MS = 20;
inline constexpr int PROGRESS_TIMER_ID = 11;
inline constexpr int PROGRESS_TIMER_MS = 50;
inline constexpr int PROGRESS_X = 580;
inline constexpr int PROGRESS_Y = 7;

// Menu resource 101 and its command ids.
inline constexpr int MENU_ID = 101;
inline constexpr int CMD_BUILD_NETWORK = 102;
inline constexpr int CMD_EXECUTE_SIMULATION = 103;
inline constexpr int CMD_EXIT = 104;
inline constexpr int CMD_SET_PARAMETERS = 105;
inline constexpr int CMD_VERSION = 106;
inline constexpr int ICON_ID = 109;

// The menu bar: three drop-down menus of commands, in this order. Texts carry
// '&' mnemonics; the Win32 resource script states the same menu, and a test
// holds it to this table.
struct MenuCommand {
  const char* text;
  int id;
};
struct MenuDefinition {
  const char* title;
  const MenuCommand* commands;
  int command_count;
};
inline constexpr MenuCommand FILE_MENU_COMMANDS[] = {{"Build Network(&B)", CMD_BUILD_NETWORK},
                                                     {"Execute Simulation(&E)", CMD_EXECUTE_SIMULATION},
                                                     {"Exit(&X)", CMD_EXIT}};
inline constexpr MenuCommand OPTION_MENU_COMMANDS[] = {{"Set Parameters(&P)", CMD_SET_PARAMETERS}};
inline constexpr MenuCommand HELP_MENU_COMMANDS[] = {{"Version(&V)", CMD_VERSION}};
inline constexpr MenuDefinition MAIN_MENUS[] = {
    {"File(&F)", FILE_MENU_COMMANDS, 3}, {"Option(&O)", OPTION_MENU_COMMANDS, 1}, {"Help(&H)", HELP_MENU_COMMANDS, 1}};

inline constexpr const char* MSG_SET_PARAMETERS_FIRST = "You must set parameter before building network.";
inline constexpr const char* MSG_BUILD_FIRST = "Network must be built before starting simulation.";
inline constexpr const char* MSG_TYPE_CHANGED = "Network type has been changed. Please rebuild network.";

// What the front end does after a handler, in this order: draw the progress
// line; enable or disable the window; start or stop both timers; invalidate
// the whole client area (with erase); open a dialog; post the quit message;
// last, show the message box (title ERROR_TITLE, warning icon, one OK button,
// owner the window) when message is not empty. The box comes last so that the
// report of a finished run appears with the timers stopped and the window
// enabled (a box owned by a disabled window cannot be answered on every
// toolkit). Refusals carry a message and nothing else.
struct UiActions {
  std::string message;
  bool draw_progress = false;
  int progress_percent = 0;
  int enable_window = -1;  // -1: unchanged, 0: disable, 1: enable
  bool start_timers = false;
  bool stop_timers = false;
  bool invalidate = false;
  bool open_parameters_dialog = false;
  bool open_version_dialog = false;
  bool quit = false;
};

// The state of one main window: its simulation, which it owns, and what the
// window itself keeps besides: the network type the Execute command compares
// with, the parameter dialog's bookkeeping, whether a run goes on, how
// commands seed the simulation, and where the result files go.
struct WindowState {
  SimulationPtr simulation = NewSimulation();
  // The network type at window creation, at the last opening of the
  // parameter dialog or at the last build, whichever came latest.
  int32_t reference_network_type = 0;
  // N, K, the network type and the rewiring percentage at the last opening of
  // the parameter dialog.
  NetworkShape dialog_opened_with{};
  // From an accepted Execute Simulation until the progress tick that ends the
  // run: the timers are running and the window must not close under them.
  bool running = false;
  // Every seeding takes the clock's second, or this seed while use_fixed_seed
  // is set (tests, screenshots).
  bool use_fixed_seed = false;
  uint32_t fixed_seed = 0;
  // Where the result files go (empty: the current directory) and how the
  // last run's writing went.
  ResultFiles result_files{};

  Simulation& sim() { return *simulation; }
  const Simulation& sim() const { return *simulation; }
};

// The seed of a command's seedings: the clock's second or the fixed seed.
uint32_t CommandSeed(const WindowState& window);

// Window creation: default parameters, reference network type.
UiActions OnCreate(WindowState& window);
// A menu command by id (102..106); any other id does nothing.
UiActions OnCommand(WindowState& window, int id);
// After the parameter dialog has closed, either way: invalidate, so that the
// window shows what it now holds (no network once the dialog dropped it, the
// chart of cleared series).
UiActions OnParametersDialogClosed(WindowState& window);
// The batch timer's tick: RunBatch; the batch that completes the run writes
// the result files (WriteResultFiles).
UiActions OnBatchTimer(WindowState& window);
// The progress timer's tick: the progress line while running; once the run is
// over, stop the timers, mark the run finished, enable the window, invalidate,
// and report result files that could not be written.
UiActions OnProgressTimer(WindowState& window);
// A close request: refused (false) while a run goes on, accepted otherwise.
bool CanClose(const WindowState& window);
// Window destruction: stop both timers and quit.
UiActions OnDestroy(WindowState& window);

}  // namespace veldaris::ui
