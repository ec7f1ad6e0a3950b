// The X11 window manager's frame around a window, read from _NET_FRAME_EXTENTS.
#include "ui/qt/x11_frame.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <utility>

#if VELDARIS_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace veldaris::ui::qt {

#if VELDARIS_HAVE_XCB

namespace {

constexpr char kFrameExtents[] = "_NET_FRAME_EXTENTS";

xcb_connection_t* Connection() {
  const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
}

// The atom of the property, 0 when it cannot be had.
uint32_t FrameExtentsAtom(xcb_connection_t* connection) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof kFrameExtents - 1, kFrameExtents), nullptr);
  const uint32_t atom = reply != nullptr ? reply->atom : 0;
  std::free(reply);
  return atom;
}

}  // namespace

std::optional<QMargins> PublishedFrameExtents(const QWidget& window) {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr || window.internalWinId() == 0) {
    return std::nullopt;
  }
  const uint32_t atom = FrameExtentsAtom(connection);
  if (atom == 0) {
    return std::nullopt;
  }
  const auto id = static_cast<xcb_window_t>(window.internalWinId());
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, id, atom, XCB_ATOM_CARDINAL, 0, 4), nullptr);
  std::optional<QMargins> extents;
  if (reply != nullptr && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
    uint32_t v[4];  // left, right, top, bottom
    std::memcpy(v, xcb_get_property_value(reply), sizeof v);
    extents = QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3]));
  }
  std::free(reply);
  return extents;
}

FrameExtentsWatch::FrameExtentsWatch(QWidget* window, std::function<void()> changed)
    : QObject(window), window_(window), changed_(std::move(changed)) {
  soon_.setSingleShot(true);
  soon_.setInterval(0);
  connect(&soon_, &QTimer::timeout, this, [this] { changed_(); });
  xcb_connection_t* connection = Connection();
  if (connection != nullptr) {
    atom_ = FrameExtentsAtom(connection);
  }
  if (atom_ != 0) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
}

FrameExtentsWatch::~FrameExtentsWatch() {
  if (atom_ != 0 && QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
}

bool FrameExtentsWatch::nativeEventFilter(const QByteArray& event_type, void* message, qintptr* /*result*/) {
  if (event_type != "xcb_generic_event_t") {
    return false;
  }
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) {
    return false;
  }
  const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
  if (notify->atom == atom_ && window_->internalWinId() != 0 &&
      notify->window == static_cast<xcb_window_t>(window_->internalWinId())) {
    soon_.start();
  }
  return false;  // Qt handles the event as well
}

#else

std::optional<QMargins> PublishedFrameExtents(const QWidget& /*window*/) { return std::nullopt; }

FrameExtentsWatch::FrameExtentsWatch(QWidget* window, std::function<void()> changed)
    : QObject(window), window_(window), changed_(std::move(changed)) {}

FrameExtentsWatch::~FrameExtentsWatch() = default;

bool FrameExtentsWatch::nativeEventFilter(const QByteArray& /*event_type*/, void* /*message*/, qintptr* /*result*/) {
  return false;
}

#endif

}  // namespace veldaris::ui::qt
