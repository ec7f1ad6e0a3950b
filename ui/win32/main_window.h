// The main window of the Windows program: its class, creation, window
// procedure, the two timers and the message loop. The behaviour of every
// message lives in the toolkit-neutral run control (ui/run_control.h); this
// code turns its UiActions into window-system calls.
#pragma once

#include "ui/run_control.h"
#include "ui/win32/win32_api.h"

namespace veldaris::ui::win32 {

// Registers the window class "Veldaris"; 0 when that fails (for instance when
// it is registered already).
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Creates the 760 x 720 main window (not yet shown) on state, which must
// outlive it; null on failure. The window keeps the pointer in its user data.
HWND CreateMainWindow(HINSTANCE instance, WindowState* state);

// The state of a main window made by CreateMainWindow; null before its
// creation message.
WindowState* StateOf(HWND window);
// GetMessageA until the quit message; returns its code.
int RunMessageLoop();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM w_param, LPARAM l_param);
// The batch timer's callback (timer 10, every 20 ms): one batch of generations.
void CALLBACK BatchTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

// Carries out the actions of a run-control handler except the progress line,
// in their order: window enabling, timers, invalidation, dialogs, quit, and
// last the message box.
void PerformActions(HWND window, WindowState& state, const UiActions& actions);

}  // namespace veldaris::ui::win32
