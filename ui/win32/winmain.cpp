// Program entry of the Windows front end: the window class, the main window
// and the message loop.
#include "ui/win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  using namespace veldaris::ui::win32;
  // The window's simulation and state, alive until the message loop ends.
  veldaris::ui::WindowState state;
  if (!state.simulation) {
    return 1;
  }
  RegisterMainWindowClass(instance);
  HWND window = CreateMainWindow(instance, &state);
  ShowWindow(window, show);
  UpdateWindow(window);
  return RunMessageLoop();
}
