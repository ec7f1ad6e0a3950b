// The fonts the window draws with: the text of the pictures in the Gothic
// face with half-width cells of 7 pixels, the same face as the Qt window's
// (IPAGothic where the Japanese face is not installed, as under Wine), and the
// Marlett glyphs of the caption buttons.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/win32/test_support.h"
#include "ui/canvas.h"
#include "ui/win32/gdi_canvas.h"

namespace veldaris::win32_test {
namespace {

std::wstring Wide(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
  wide.pop_back();
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, narrow.data(), length, nullptr, nullptr);
  narrow.pop_back();
  return narrow;
}

std::wstring TextFace(HDC dc) {
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  return face;
}

// A memory surface with the font selected; the font is deleted at the end.
class FontSurface {
 public:
  explicit FontSurface(HFONT font) : dc_(CreateCompatibleDC(nullptr)), font_(font) {
    previous_ = SelectObject(dc_, font_);
  }
  ~FontSurface() {
    SelectObject(dc_, previous_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  FontSurface(const FontSurface&) = delete;
  FontSurface& operator=(const FontSurface&) = delete;
  HDC Dc() const { return dc_; }

  // Widths of the printable ASCII characters, the only ones the window draws.
  bool AllWidthsAre(int width) const {
    for (UINT c = 0x20; c <= 0x7E; ++c) {
      INT w = 0;
      if (!GetCharWidth32W(dc_, c, c, &w) || w != width) {
        std::printf("  width of '%c' is %d\n", static_cast<char>(c), w);
        return false;
      }
    }
    return true;
  }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ previous_ = nullptr;
};

TEST(Font, FontNameIsTheJapaneseFaceInUtf16) {
  EXPECT_EQ(Narrow(ui::win32::FontFaceName()), std::string(ui::FONT_FACE));
  EXPECT_TRUE(ui::win32::FontFaceName() == Wide(ui::FONT_FACE));
}

TEST(Font, PictureTextIsInTheQtWindowsMonospacedFace) {
  const std::wstring japanese = ui::win32::FontFaceName();
  const std::wstring face = ui::win32::CanvasFontFace();
  ASSERT_TRUE(!face.empty());
  if (!ui::win32::FontInstalled(japanese) && !ui::win32::FontInstalled(ui::win32::FONT_FACE_ENGLISH)) {
    // The Qt window's rule: the fallback face where the Japanese one is missing.
    EXPECT_EQ(Narrow(face), std::string(ui::FONT_FALLBACK_FACE));
  }

  // The canvas selects it on the window's own surface, not a substitute.
  const MainWindow window;
  ui::win32::GdiCanvas canvas(window.Handle());
  ASSERT_TRUE(canvas.HasSurface());
  canvas.SelectFont();
  EXPECT_EQ(Narrow(TextFace(canvas.Surface())), Narrow(face));

  // A measure line takes 7 pixels per character, as the layout assumes.
  const std::wstring line = L"Characteristic Path Length: 3.001234";
  SIZE extent = {};
  ASSERT_TRUE(GetTextExtentPoint32W(canvas.Surface(), line.c_str(), static_cast<int>(line.size()), &extent));
  EXPECT_EQ(extent.cx, static_cast<LONG>(ui::TEXT_CHAR_WIDTH * line.size()));
  EXPECT_EQ(extent.cy, static_cast<LONG>(ui::FONT_HEIGHT));

  const FontSurface surface(ui::win32::CreateCanvasFont(face));
  EXPECT_TRUE(surface.AllWidthsAre(ui::TEXT_CHAR_WIDTH));
}

// Where no Gothic face is installed, the text is still in one fixed pitch.
TEST(Font, FallbackFontHasFixedPitch) {
  const FontSurface surface(ui::win32::CreateCanvasFont(L""));
  TEXTMETRICW metrics = {};
  ASSERT_TRUE(GetTextMetricsW(surface.Dc(), &metrics));
  EXPECT_TRUE((metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0);  // the bit is set for variable pitch
  EXPECT_TRUE(surface.AllWidthsAre(metrics.tmAveCharWidth));
}

// The caption buttons are the Marlett characters "0", "1" and "r"; without
// the font they show as those letters.
TEST(Font, CaptionButtonFontIsInstalled) {
  EXPECT_TRUE(ui::win32::FontInstalled(L"Marlett"));
  const FontSurface surface(CreateFontW(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                        L"Marlett"));
  EXPECT_EQ(Narrow(TextFace(surface.Dc())), std::string("Marlett"));
}

}  // namespace
}  // namespace veldaris::win32_test
