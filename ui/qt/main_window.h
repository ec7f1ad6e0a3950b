// The main window: menu, drawing area, the two run timers, and the handlers
// that pass every event to the run control of the UI layer and carry out the
// actions it returns.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <QWidget>

#include "ui/run_control.h"

namespace veldaris::ui::qt {

// The client area below the menu bar. Its coordinates are the pictures'
// client-area coordinates.
class DrawingArea : public QWidget {
  Q_OBJECT

 public:
  // Paints the simulation of window, which outlives it.
  DrawingArea(QWidget* parent, const WindowState& window);

  // The progress line is drawn with the pictures while a run goes on.
  void ShowProgress(int percent);
  void HideProgress();
  bool ProgressShown() const { return progress_shown_; }
  int ProgressPercent() const { return progress_percent_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const WindowState& window_;
  bool progress_shown_ = false;
  int progress_percent_ = 0;
};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow();

  DrawingArea* Drawing() const { return drawing_; }
  // The window's simulation and what the window keeps besides.
  WindowState& State() { return state_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddMenus();
  void BatchTick();
  void ProgressTick();
  // Carries out a handler's actions in their fixed order.
  void Apply(const UiActions& actions);

  WindowState state_;
  DrawingArea* drawing_ = nullptr;
  QTimer batch_timer_;
  QTimer progress_timer_;
  // Set while a timer handler runs. A message box opened by a handler runs a
  // nested event loop; ticks that fall due meanwhile are dropped, as the
  // window system merges ticks of a timer that is still being served.
  bool in_timer_handler_ = false;
};

}  // namespace veldaris::ui::qt
