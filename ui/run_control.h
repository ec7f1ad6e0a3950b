// The main window's behaviour, independent of any toolkit: window creation,
// the five menu commands, the two timers and the end-of-run rule, as functions
// over the simulation state that tell the front end what to do next.
#pragma once

#include <string>

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

// Window creation: default parameters, reference network type.
UiActions OnCreate();
// A menu command by id (102..106); any other id does nothing.
UiActions OnCommand(int id);
// The batch timer's tick: RunBatch.
UiActions OnBatchTimer();
// The progress timer's tick: the progress line while running; once the run is
// over, stop the timers, mark the run finished, enable the window, invalidate,
// and report result files that could not be written.
UiActions OnProgressTimer();
// A close request: refused (false) while a run goes on, accepted otherwise.
bool CanClose();
// True from an accepted Execute Simulation until the progress tick that ends
// the run (or window creation or destruction).
bool RunInProgress();
// Window destruction: stop both timers and quit.
UiActions OnDestroy();

}  // namespace veldaris::ui
