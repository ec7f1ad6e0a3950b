// The Canvas on a GDI device context.
#include "ui/win32/gdi_canvas.h"

#include <climits>

namespace veldaris::ui::win32 {

namespace {

constexpr UINT kJapaneseCodePage = 932;

int CALLBACK NoteFamily(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/, DWORD /*type*/, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

std::wstring Utf16(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length);
  wide.pop_back();  // the terminating null
  return wide;
}

}  // namespace

std::wstring FontFaceName() {
  const int length = MultiByteToWideChar(kJapaneseCodePage, MB_ERR_INVALID_CHARS, FONT_FACE_CP932, -1, nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring face(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(kJapaneseCodePage, MB_ERR_INVALID_CHARS, FONT_FACE_CP932, -1, face.data(), length);
  face.pop_back();  // the terminating null
  return face;
}

bool FontInstalled(const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) {
    return false;
  }
  LOGFONTW query = {};
  query.lfCharSet = DEFAULT_CHARSET;
  face.copy(query.lfFaceName, LF_FACESIZE - 1);
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    return false;
  }
  bool found = false;
  EnumFontFamiliesExW(screen, &query, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

const std::wstring& CanvasFontFace() {
  static const std::wstring face = [] {
    for (const std::wstring& candidate : {FontFaceName(), std::wstring(FONT_FACE_ENGLISH), Utf16(FONT_FALLBACK_FACE)}) {
      if (FontInstalled(candidate)) {
        return candidate;
      }
    }
    return std::wstring();
  }();
  return face;
}

HFONT CreateCanvasFont(const std::wstring& face) {
  // A positive height is the cell height; the Gothic faces' cell is their em,
  // so their half-width characters are half of it wide.
  return CreateFontW(FONT_HEIGHT, 0, 0, 0, FONT_WEIGHT, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                     face.empty() ? nullptr : face.c_str());
}

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

void GdiCanvas::SelectFont() { Replace(font_, CreateCanvasFont(CanvasFontFace())); }

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
