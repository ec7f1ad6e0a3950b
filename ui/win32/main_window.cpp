// The Win32 main window: class, creation, window procedure, timers, message loop.
#include "ui/win32/main_window.h"

#include "ui/drawing.h"
#include "ui/parameter_dialog.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/gdi_canvas.h"

namespace veldaris::ui::win32 {

namespace {

// Colour key white with alpha 0, then alpha 207: the second call replaces the
// first, so the window shows at a uniform opacity and no colour is transparent.
void ApplyLayeredAttributes(HWND window) {
  SetLayeredWindowAttributes(window, WHITE, 0, LWA_COLORKEY);
  SetLayeredWindowAttributes(window, WHITE, WINDOW_ALPHA, LWA_ALPHA);
}

// The drawing routines use their own surface of the whole client area, not
// the paint handler's, which is clipped to the region being repainted.
LRESULT Paint(HWND window, const WindowState& state) {
  PAINTSTRUCT paint;
  if (BeginPaint(window, &paint) == nullptr) {
    return 1;
  }
  {
    GdiCanvas canvas(window);
    PaintWindow(canvas, state.sim());
  }
  EndPaint(window, &paint);
  return 0;
}

// The progress timer's tick (the only timer that reaches the window procedure;
// the batch timer has its own callback, so the id is not looked at).
LRESULT ShowProgress(HWND window, WindowState& state) {
  GdiCanvas canvas(window);
  if (!canvas.HasSurface()) {
    return 1;  // no end-of-run test on this tick; the next one makes it
  }
  canvas.SelectFont();
  UiActions actions = OnProgressTimer(state);
  if (actions.draw_progress) {
    DrawProgress(canvas, actions.progress_percent);
  }
  canvas.Release();
  PerformActions(window, state, actions);
  return 0;
}

// The module whose resources (menu, dialogs, icon) the window uses.
HINSTANCE InstanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)); }

}  // namespace

WindowState* StateOf(HWND window) { return reinterpret_cast<WindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

ATOM RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXA window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = MainWndProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ICON_ID));
  window_class.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(ICON_ID));
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  window_class.lpszMenuName = MAKEINTRESOURCEA(MENU_ID);
  window_class.lpszClassName = WINDOW_CLASS;
  return RegisterClassExA(&window_class);
}

HWND CreateMainWindow(HINSTANCE instance, WindowState* state) {
  return CreateWindowExA(WS_EX_LAYERED, WINDOW_CLASS, WINDOW_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                         WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, nullptr, instance, state);
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

void CALLBACK BatchTimerProc(HWND window, UINT, UINT_PTR, DWORD) {
  if (WindowState* state = StateOf(window); state != nullptr) {
    OnBatchTimer(*state);
  }
}

void PerformActions(HWND window, WindowState& state, const UiActions& actions) {
  if (actions.enable_window >= 0) {
    EnableWindow(window, actions.enable_window != 0 ? TRUE : FALSE);
  }
  if (actions.start_timers) {
    SetTimer(window, BATCH_TIMER_ID, BATCH_TIMER_MS, BatchTimerProc);
    SetTimer(window, PROGRESS_TIMER_ID, PROGRESS_TIMER_MS, nullptr);
  }
  if (actions.stop_timers) {
    KillTimer(window, BATCH_TIMER_ID);
    KillTimer(window, PROGRESS_TIMER_ID);
  }
  if (actions.invalidate) {
    InvalidateRect(window, nullptr, TRUE);
  }
  if (actions.open_parameters_dialog) {
    DialogBoxParamA(InstanceOf(window), MAKEINTRESOURCEA(PARAMETERS_DIALOG_ID), window, ParametersDlgProc,
                    reinterpret_cast<LPARAM>(&state));
    PerformActions(window, state, OnParametersDialogClosed(state));
  }
  if (actions.open_version_dialog) {
    DialogBoxParamA(InstanceOf(window), MAKEINTRESOURCEA(VERSION_DIALOG_ID), window, VersionDlgProc, 0);
  }
  if (actions.quit) {
    PostQuitMessage(0);
  }
  if (!actions.message.empty()) {
    MessageBoxA(window, actions.message.c_str(), ERROR_TITLE, MB_ICONWARNING | MB_OK);
  }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
  if (message == WM_NCCREATE) {
    // The state handed to CreateWindowExA, kept for every later message.
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(l_param);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  WindowState* state = StateOf(window);
  if (state == nullptr) {
    return DefWindowProcA(window, message, w_param, l_param);
  }
  switch (message) {
    case WM_CREATE:
      ApplyLayeredAttributes(window);
      PerformActions(window, *state, OnCreate(*state));
      return 0;
    case WM_PAINT:
      return Paint(window, *state);
    case WM_COMMAND:
      PerformActions(window, *state, OnCommand(*state, LOWORD(w_param)));
      return 0;
    case WM_TIMER:
      return ShowProgress(window, *state);
    case WM_CLOSE:
      // The window is disabled for the whole run once the first progress tick
      // has come; this also refuses a close that arrives before it.
      if (!CanClose(*state)) {
        return 0;
      }
      break;
    case WM_DESTROY:
      PerformActions(window, *state, OnDestroy(*state));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, w_param, l_param);
}

}  // namespace veldaris::ui::win32
