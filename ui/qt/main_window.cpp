// The Qt main window: menu, drawing area, timers, events passed to the run control.
#include "ui/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QScopedValueRollback>
#include <QString>

#include "ui/drawing.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialogs.h"
#include "ui/qt/error_message.h"
#include "ui/qt/outer_size.h"
#include "ui/qt/qpainter_canvas.h"

namespace veldaris::ui::qt {

DrawingArea::DrawingArea(QWidget* parent, const WindowState& window) : QWidget(parent), window_(window) {
  // paintEvent covers every pixel itself.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DrawingArea::ShowProgress(int percent) {
  progress_shown_ = true;
  progress_percent_ = percent;
  update();
}

void DrawingArea::HideProgress() {
  progress_shown_ = false;
  update();
}

void DrawingArea::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // The window colour of the active palette, also while the window is
  // disabled during a run.
  painter.fillRect(rect(), palette().color(QPalette::Active, QPalette::Base));
  QPainterCanvas canvas(painter);
  PaintWindow(canvas, window_.sim());
  if (progress_shown_) {
    DrawProgress(canvas, progress_percent_);
  }
}

MainWindow::MainWindow() {
  setWindowTitle(QString::fromUtf8(WINDOW_TITLE));
  setWindowIcon(AppIcon());
  setWindowOpacity(WINDOW_ALPHA / 255.0);

  AddMenus();

  drawing_ = new DrawingArea(this, state_);
  setCentralWidget(drawing_);
  // The size is the outer size, frame included: the inside first, and the
  // frame taken off it once the window manager has told it.
  resize(WINDOW_WIDTH, WINDOW_HEIGHT);
  new OuterSizeFitter(this, QSize(WINDOW_WIDTH, WINDOW_HEIGHT));

  // Qt's timers do not queue overdue ticks: a timer that falls behind (while a
  // batch or a paint takes longer than its period) fires once when the event
  // loop is free again, like the window system's merged timer messages, so
  // batches never pile up.
  batch_timer_.setTimerType(Qt::PreciseTimer);
  batch_timer_.setInterval(BATCH_TIMER_MS);
  connect(&batch_timer_, &QTimer::timeout, this, &MainWindow::BatchTick);
  progress_timer_.setTimerType(Qt::PreciseTimer);
  progress_timer_.setInterval(PROGRESS_TIMER_MS);
  connect(&progress_timer_, &QTimer::timeout, this, &MainWindow::ProgressTick);

  Apply(OnCreate(state_));
}

// Every command is an action named by its id ("102".."106").
void MainWindow::AddMenus() {
  for (const MenuDefinition& definition : MAIN_MENUS) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(definition.title));
    for (int i = 0; i < definition.command_count; ++i) {
      const MenuCommand& command = definition.commands[i];
      QAction* action = menu->addAction(QString::fromUtf8(command.text));
      action->setObjectName(QString::number(command.id));
      const int id = command.id;
      connect(action, &QAction::triggered, this, [this, id] { Apply(OnCommand(state_, id)); });
    }
  }
}

void MainWindow::BatchTick() {
  if (in_timer_handler_) {
    return;
  }
  const QScopedValueRollback<bool> serving(in_timer_handler_, true);
  Apply(OnBatchTimer(state_));
}

void MainWindow::ProgressTick() {
  if (in_timer_handler_) {
    return;
  }
  const QScopedValueRollback<bool> serving(in_timer_handler_, true);
  Apply(OnProgressTimer(state_));
}

void MainWindow::Apply(const UiActions& actions) {
  if (actions.draw_progress) {
    drawing_->ShowProgress(actions.progress_percent);
  }
  if (actions.enable_window >= 0) {
    setEnabled(actions.enable_window == 1);
  }
  if (actions.start_timers) {
    drawing_->HideProgress();
    batch_timer_.start();
    progress_timer_.start();
  }
  if (actions.stop_timers) {
    batch_timer_.stop();
    progress_timer_.stop();
    // The repaint at the end of a run has no progress line.
    drawing_->HideProgress();
  }
  if (actions.invalidate) {
    drawing_->update();
  }
  if (actions.open_parameters_dialog) {
    {
      ParametersDialog dialog(this, state_);
      dialog.exec();
    }
    Apply(OnParametersDialogClosed(state_));
  }
  if (actions.open_version_dialog) {
    VersionDialog dialog(this);
    dialog.exec();
  }
  if (actions.quit) {
    // Ends the application's event loop (and does nothing when none runs).
    QCoreApplication::quit();
  }
  // Last, so that the report at the end of a run comes with the window enabled
  // again: a box owned by a disabled window could not be answered.
  if (!actions.message.empty()) {
    ShowErrorMessage(this, actions.message);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!CanClose(state_)) {
    event->ignore();
    return;
  }
  event->accept();
  Apply(OnDestroy(state_));
}

}  // namespace veldaris::ui::qt
