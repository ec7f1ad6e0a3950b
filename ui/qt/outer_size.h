// Gives a top-level window an outer size, frame included, once the window
// manager has told the frame. Qt sizes the inside of the frame, and on X11 the
// frame is known only some time after the window is mapped: the window manager
// reparents the window and publishes its frame extents when it gets round to
// it, sometimes well after the first events of the window (or only when a
// window manager starts after the window was shown).
#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>

class QEvent;
class QWidget;

namespace veldaris::ui::qt {

class OuterSizeFitter : public QObject {
  Q_OBJECT

 public:
  // Watches window from its first show on and, the first time the frame is
  // known, resizes the inside so that frame and inside together measure
  // outer. Fits once only, so that later resizes by the user stand, and gives
  // up when the window was resized by someone else before the frame was
  // known or is maximized, full screen or minimized. Owned by window.
  OuterSizeFitter(QWidget* window, QSize outer);

  // True once the fitter has fitted the window or given up.
  bool Finished() const { return finished_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Check();
  void Finish();

  QWidget* window_;
  QSize outer_;
  QSize inside_;  // the inside size the window had when it was first shown
  // Not every window system sends an event when the frame becomes known, so
  // for a short while after the show the frame is also polled.
  QTimer poll_;
  // A check after the event being delivered, once the window's geometry
  // includes what the event reported; several events make one check.
  QTimer check_soon_;
  int polls_left_ = 0;
  bool shown_ = false;
  bool finished_ = false;
};

}  // namespace veldaris::ui::qt
