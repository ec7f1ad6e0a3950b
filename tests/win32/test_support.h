// Helpers of the Windows front end's tests: the main window of a test, the
// interception of modal dialogs and message boxes, message pumping, captures
// of the window and the reference case.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/simulation.h"
#include "ui/canvas.h"
#include "ui/run_control.h"
#include "ui/win32/win32_api.h"

namespace veldaris::win32_test {

// Creates and shows the main window on a fresh state, as the program entry
// does; at the end destroys it and drops the quit message its destruction
// posts.
class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return window_; }
  // The window's state and its simulation.
  ui::WindowState& State() const { return *state_; }
  Simulation& Sim() const { return state_->sim(); }
  // A menu command through the window procedure; returns when its handler
  // has returned, modal windows included.
  void Command(int id) const;

 private:
  std::unique_ptr<ui::WindowState> state_ = std::make_unique<ui::WindowState>();
  HWND window_ = nullptr;
};

// Handlers for the dialog boxes and message boxes that open next, in the
// order they open. A timer of this thread finds each new box and calls the
// next handler from inside the box's own modal loop; a box with no handler
// left is counted and cancelled.
using ModalHandler = std::function<void(HWND box)>;
void ExpectModal(ModalHandler handler);
// True when every handler was used and no other box opened; resets both.
bool ModalsAsExpected();

// A message box as the user sees it.
struct MessageBoxSeen {
  bool opened = false;
  std::string title;
  std::string text;
  HWND owner = nullptr;
};
// A handler that records the box into seen and closes it with OK.
ModalHandler AnswerMessageBox(MessageBoxSeen& seen);

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// A click as the mouse makes it: the button's own behaviour (an automatic
// radio button checks itself), then its notification to the dialog.
void Click(HWND dialog, int id);

// Dispatches this thread's messages until done() holds; false when a quit
// message arrives or after limit_ms, which only guards against hanging.
bool PumpUntil(const std::function<bool()>& done, DWORD limit_ms = 120000);

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<ui::ColorRef> pixels;  // rows top to bottom

  ui::ColorRef At(int x, int y) const;
  // Pixels of the colour in the rectangle [left, right] x [top, bottom].
  int Count(int left, int top, int right, int bottom, ui::ColorRef color) const;
};
// The client area, or with frame the whole window with caption and menu bar.
Capture CaptureWindow(HWND window, bool frame = false);
// The client area as it shows now, once the paints already due are done:
// unlike CaptureWindow, nothing is invalidated first.
Capture CaptureShown(HWND window);
// A 24-bit bottom-up BMP file of the capture.
bool WriteBmp(const Capture& capture, const std::string& path);

// Opens Set Parameters, clicks the radio buttons in order, types rewiring_text
// into the edit box and presses OK. True when the dialog opened and closed
// without a message box.
bool SetParameters(const MainWindow& window, const std::vector<int>& radios, const std::string& rewiring_text);
// The reference case "sw50" through the window: seed 1234567 for Set
// Parameters (small world, N 50, S 8, G 1000, K 8, L 10, rewiring 0.1, every
// value clicked away and back) and Build Network, seed 1234568 for Execute
// Simulation, then the real timers until the run is over. True when it ended.
bool RunReferenceCase(const MainWindow& window);

// A new empty temporary directory as the current directory while it lives;
// at the end it is removed with the two result files of a run.
class TempCurrentDir {
 public:
  TempCurrentDir();
  ~TempCurrentDir();
  TempCurrentDir(const TempCurrentDir&) = delete;
  TempCurrentDir& operator=(const TempCurrentDir&) = delete;
  const std::string& Path() const { return path_; }  // empty when it could not be made

 private:
  std::string path_;
  std::string previous_;
};

// tests/data of the source tree, as a Windows path.
std::string& DataDir();
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace veldaris::win32_test
