// The frame that an X11 window manager puts around a top-level window, as it
// publishes it in the window's _NET_FRAME_EXTENTS property, read from the X
// server, and a watch that tells when it publishes new extents. Qt itself
// rereads the frame only after a configure event of the window, which does
// not come when a window manager frames a window that is already on screen.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace veldaris::ui::qt {

// The published extents of window (left, top, right, bottom); none when the
// application does not run on X11, the window has no X11 window yet or the
// window manager published none.
std::optional<QMargins> PublishedFrameExtents(const QWidget& window);

// Calls changed from the event loop whenever the window manager publishes
// frame extents for window. Does nothing where the application does not run
// on X11.
class FrameExtentsWatch final : public QObject, public QAbstractNativeEventFilter {
 public:
  FrameExtentsWatch(QWidget* window, std::function<void()> changed);
  ~FrameExtentsWatch() override;
  FrameExtentsWatch(const FrameExtentsWatch&) = delete;
  FrameExtentsWatch& operator=(const FrameExtentsWatch&) = delete;

  bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr* result) override;

 private:
  QWidget* window_;
  std::function<void()> changed_;
  // Calls changed_ from the event loop: the filter runs inside Qt's reading of
  // the X events.
  QTimer soon_;
  uint32_t atom_ = 0;  // _NET_FRAME_EXTENTS; 0 where there is no X11
};

}  // namespace veldaris::ui::qt
