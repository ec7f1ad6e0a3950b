// Program entry of the Windows front end: the window class, the main window
// and the message loop.
#include "ui/win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  using namespace veldaris::ui::win32;
  SetAppInstance(instance);  // the dialogs are created from its resources
  RegisterMainWindowClass(instance);
  HWND window = CreateMainWindow(instance);
  ShowWindow(window, show);
  UpdateWindow(window);
  return RunMessageLoop();
}
