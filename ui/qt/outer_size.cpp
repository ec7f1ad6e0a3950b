// A top-level Qt window given an outer size, frame included, once the frame is known.
#include "ui/qt/outer_size.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <optional>

#include "ui/qt/x11_frame.h"

namespace veldaris::ui::qt {

namespace {

// Polls of the frame after the show: every 50 ms for two seconds.
constexpr int kPollMs = 50;
constexpr int kPolls = 40;

}  // namespace

OuterSizeFitter::OuterSizeFitter(QWidget* window, QSize outer) : QObject(window), window_(window), outer_(outer) {
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] {
    Check();
    if (--polls_left_ <= 0) {
      poll_.stop();
    }
  });
  check_soon_.setSingleShot(true);
  check_soon_.setInterval(0);
  connect(&check_soon_, &QTimer::timeout, this, &OuterSizeFitter::Check);
  window_->installEventFilter(this);
  new FrameExtentsWatch(window_, [this] { Check(); });
}

bool OuterSizeFitter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && !finished_) {
    switch (event->type()) {
      case QEvent::Show:
        if (!shown_) {
          shown_ = true;
          inside_ = window_->size();
          polls_left_ = kPolls;
          poll_.start();
        }
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowStateChange:
        check_soon_.start();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void OuterSizeFitter::Check() {
  if (finished_ || !shown_ || !window_->isVisible()) {
    return;
  }
  if ((window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) != 0 ||
      window_->size() != inside_) {
    Finish();  // the size is someone else's choice now
    return;
  }
  // What the window manager published, where it can be read, else the
  // window's frame margins as Qt knows them. Qt updates them only on a
  // configure event, which does not come when the window manager frames a
  // window that is already on screen.
  const std::optional<QMargins> published = PublishedFrameExtents(*window_);
  const QWindow* handle = window_->windowHandle();
  const QMargins margins = published ? *published : handle != nullptr ? handle->frameMargins() : QMargins();
  const QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
  if (frame.width() <= 0 && frame.height() <= 0) {
    return;  // not known yet (or there is none)
  }
  Finish();
  window_->resize(outer_ - frame);
}

void OuterSizeFitter::Finish() {
  finished_ = true;
  poll_.stop();
  check_soon_.stop();
  window_->removeEventFilter(this);
}

}  // namespace veldaris::ui::qt
