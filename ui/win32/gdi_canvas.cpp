#include "ui/win32/gdi_canvas.h"

#include <climits>

namespace veldaris::ui::win32 {

GdiCanvas::GdiCanvas(HWND window) : window_(window), dc_(GetDC(window)) {}

GdiCanvas::GdiCanvas(HDC borrowed) : dc_(borrowed) {}

GdiCanvas::~GdiCanvas() { Release(); }

void GdiCanvas::Release() {
  if (dc_ == nullptr) {
    return;
  }
  Restore(pen_);
  Restore(brush_);
  Restore(font_);
  if (window_ != nullptr) {
    ReleaseDC(window_, dc_);
  }
  dc_ = nullptr;
}

void GdiCanvas::Replace(Slot& slot, HGDIOBJ created) {
  if (created == nullptr) {
    return;
  }
  if (dc_ == nullptr) {
    DeleteObject(created);
    return;
  }
  HGDIOBJ previous = SelectObject(dc_, created);
  if (slot.original == nullptr) {
    slot.original = previous;
  }
  if (slot.current != nullptr) {
    DeleteObject(slot.current);
  }
  slot.current = created;
}

void GdiCanvas::Restore(Slot& slot) {
  if (slot.current == nullptr) {
    return;
  }
  SelectObject(dc_, slot.original);
  DeleteObject(slot.current);
  slot = Slot{};
}

void GdiCanvas::SelectPen(ColorRef color, int width) { Replace(pen_, CreatePen(PS_SOLID, width, color)); }

void GdiCanvas::SelectBrush(ColorRef color) { Replace(brush_, CreateSolidBrush(color)); }

void GdiCanvas::SelectFont() {
  Replace(font_, CreateFontA(FONT_HEIGHT, 0, 0, 0, FONT_WEIGHT, 0, 0, 0, 0, 0, 0, 0, 0, FONT_FACE_CP932));
}

void GdiCanvas::SetTextColor(ColorRef color) {
  if (dc_ != nullptr) {
    ::SetTextColor(dc_, color);
  }
}

void GdiCanvas::MoveTo(int x, int y) {
  if (dc_ != nullptr) {
    MoveToEx(dc_, x, y, nullptr);
  }
}

void GdiCanvas::LineTo(int x, int y) {
  if (dc_ != nullptr) {
    ::LineTo(dc_, x, y);
  }
}

void GdiCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (dc_ != nullptr) {
    ::Ellipse(dc_, left, top, right, bottom);
  }
}

void GdiCanvas::TextOut(int x, int y, std::string_view text) {
  if (dc_ != nullptr && text.size() <= static_cast<size_t>(INT_MAX)) {
    TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
  }
}

int GdiCanvas::ClientWidth() const {
  RECT client;
  if (window_ != nullptr && GetClientRect(window_, &client) != 0) {
    return client.right - client.left;
  }
  return PICTURE_WIDTH;
}

}  // namespace veldaris::ui::win32
