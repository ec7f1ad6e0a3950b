// ui::Canvas on a GDI device context: the window's own client-area surface
// (GetDC, released at the end) or a borrowed one such as a memory DC.
//
// Every Select* call creates a new GDI object, selects it and deletes the one
// it replaces; the end selects the surface's original objects back and deletes
// the last ones, so a drawing routine leaves the surface as it found it. When
// an object cannot be created the previous one stays selected, and when there
// is no surface every call does nothing.
#pragma once

#include <string>

#include "ui/canvas.h"
#include "ui/win32/win32_api.h"

namespace veldaris::ui::win32 {

// The face "ＭＳゴシック" in code page 932. Only a system whose code page is
// 932 reads these bytes as that name, so the canvas converts them to UTF-16.
inline constexpr const char* FONT_FACE_CP932 = "\x82\x6C\x82\x72\x83\x53\x83\x56\x83\x62\x83\x4E";
// The same Gothic face under its English name, as systems without the
// Japanese name may have it installed.
inline constexpr const wchar_t* FONT_FACE_ENGLISH = L"MS Gothic";

// FONT_FACE_CP932 converted from code page 932 to UTF-16; empty when the
// system cannot convert it.
std::wstring FontFaceName();
// Whether a font family of this name is installed.
bool FontInstalled(const std::wstring& face);
// The face the canvas draws with: the first installed of FontFaceName(),
// FONT_FACE_ENGLISH and FONT_FALLBACK_FACE, all with the half-width cells of
// 7 pixels that the layout of the texts assumes; empty when none is installed.
// Looked up once.
const std::wstring& CanvasFontFace();
// A font of the canvas's height and weight in the face; with an empty face,
// the system's fixed-pitch font, whose cells come nearest to those.
HFONT CreateCanvasFont(const std::wstring& face);

class GdiCanvas final : public Canvas {
 public:
  // GetDC of the window's whole client area; released by Release or the destructor.
  explicit GdiCanvas(HWND window);
  // A surface owned by the caller; only the objects are restored at the end.
  explicit GdiCanvas(HDC borrowed);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  bool HasSurface() const { return dc_ != nullptr; }
  HDC Surface() const { return dc_; }
  // Restores and deletes the objects and releases the surface; later calls
  // draw nothing.
  void Release();

  void SelectPen(ColorRef color, int width) override;
  void SelectBrush(ColorRef color) override;
  void SelectFont() override;
  void SetTextColor(ColorRef color) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  // The window's texts are ASCII, so the bytes go to TextOutA unchanged.
  void TextOut(int x, int y, std::string_view text) override;
  // The window's client-area width; PICTURE_WIDTH on a borrowed surface.
  int ClientWidth() const override;

 private:
  // One selectable kind of object: the one this canvas selected last and the
  // surface's own object it displaced first.
  struct Slot {
    HGDIOBJ current = nullptr;
    HGDIOBJ original = nullptr;
  };
  void Replace(Slot& slot, HGDIOBJ created);
  void Restore(Slot& slot);

  HWND window_ = nullptr;  // set when the surface came from GetDC
  HDC dc_ = nullptr;
  Slot pen_;
  Slot brush_;
  Slot font_;
};

}  // namespace veldaris::ui::win32
