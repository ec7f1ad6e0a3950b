#include "ui/win32/main_window.h"

#include "ui/drawing.h"
#include "ui/parameter_dialog.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/gdi_canvas.h"

namespace veldaris::ui::win32 {

namespace {

HINSTANCE g_instance = nullptr;

// Colour key white with alpha 0, then alpha 207: the second call replaces the
// first, so the window shows at a uniform opacity and no colour is transparent.
void ApplyLayeredAttributes(HWND window) {
  SetLayeredWindowAttributes(window, WHITE, 0, LWA_COLORKEY);
  SetLayeredWindowAttributes(window, WHITE, WINDOW_ALPHA, LWA_ALPHA);
}

// The drawing routines use their own surface of the whole client area, not
// the paint handler's, which is clipped to the region being repainted.
LRESULT Paint(HWND window) {
  PAINTSTRUCT paint;
  if (BeginPaint(window, &paint) == nullptr) {
    return 1;
  }
  {
    GdiCanvas canvas(window);
    PaintWindow(canvas);
  }
  EndPaint(window, &paint);
  return 0;
}

// The progress timer's tick (the only timer that reaches the window procedure;
// the batch timer has its own callback, so the id is not looked at).
LRESULT ShowProgress(HWND window) {
  GdiCanvas canvas(window);
  if (!canvas.HasSurface()) {
    return 1;  // no end-of-run test on this tick; the next one makes it
  }
  canvas.SelectFont();
  UiActions actions = OnProgressTimer();
  if (actions.draw_progress) {
    DrawProgress(canvas, actions.progress_percent);
  }
  canvas.Release();
  PerformActions(window, actions);
  return 0;
}

}  // namespace

void SetAppInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE AppInstance() { return g_instance; }

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

HWND CreateMainWindow(HINSTANCE instance) {
  return CreateWindowExA(WS_EX_LAYERED, WINDOW_CLASS, WINDOW_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                         WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

void CALLBACK BatchTimerProc(HWND, UINT, UINT_PTR, DWORD) { OnBatchTimer(); }

void PerformActions(HWND window, const UiActions& actions) {
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
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(PARAMETERS_DIALOG_ID), window, ParametersDlgProc, 0);
  }
  if (actions.open_version_dialog) {
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(VERSION_DIALOG_ID), window, VersionDlgProc, 0);
  }
  if (actions.quit) {
    PostQuitMessage(0);
  }
  if (!actions.message.empty()) {
    MessageBoxA(window, actions.message.c_str(), ERROR_TITLE, MB_ICONWARNING | MB_OK);
  }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
  switch (message) {
    case WM_CREATE:
      ApplyLayeredAttributes(window);
      PerformActions(window, OnCreate());
      return 0;
    case WM_PAINT:
      return Paint(window);
    case WM_COMMAND:
      PerformActions(window, OnCommand(LOWORD(w_param)));
      return 0;
    case WM_TIMER:
      return ShowProgress(window);
    case WM_CLOSE:
      // The window is disabled for the whole run once the first progress tick
      // has come; this also refuses a close that arrives before it.
      if (!CanClose()) {
        return 0;
      }
      break;
    case WM_DESTROY:
      PerformActions(window, OnDestroy());
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, w_param, l_param);
}

}  // namespace veldaris::ui::win32
