// A small drawing surface shaped like the drawing calls of the charts and the
// network view: solid pens with a colour and a width, solid brushes, the one
// font, move-to/line-to, ellipses by bounding box and text at a top-left
// corner. Backends: QPainter (the window), SVG (headless pictures) and a
// recording canvas for tests. All coordinates are client-area pixels.
#pragma once

#include <cstdint>
#include <string_view>

namespace veldaris::ui {

// 0x00BBGGRR, as the window system's colour values.
using ColorRef = uint32_t;

inline constexpr ColorRef RED = 0x000000FF;
inline constexpr ColorRef GREEN = 0x0000FF00;
inline constexpr ColorRef BLUE = 0x00FF0000;
inline constexpr ColorRef BLACK = 0x00000000;
inline constexpr ColorRef WHITE = 0x00FFFFFF;

inline constexpr int RedOf(ColorRef c) { return static_cast<int>(c & 0xFF); }
inline constexpr int GreenOf(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int BlueOf(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

// The one font of every text: face "ＭＳゴシック" (a metric-compatible Gothic
// face where it is missing), pixel height 14, weight 400.
inline constexpr const char* FONT_FACE = "\xEF\xBC\xAD\xEF\xBC\xB3\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";
inline constexpr const char* FONT_FALLBACK_FACE = "IPAGothic";
inline constexpr int FONT_HEIGHT = 14;
inline constexpr int FONT_WEIGHT = 400;
// Advance of one half-width character of that face: the layout's text cells.
inline constexpr int TEXT_CHAR_WIDTH = 7;
// The width of a picture drawn without a window (the window's outer width).
inline constexpr int PICTURE_WIDTH = 760;

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Selects a solid pen of the colour and width (pixels) for lines and outlines.
  virtual void SelectPen(ColorRef color, int width) = 0;
  // Selects a solid brush of the colour for ellipse fills.
  virtual void SelectBrush(ColorRef color) = 0;
  // Selects the one font.
  virtual void SelectFont() = 0;
  // Text colour of the following TextOut calls (background stays opaque white).
  virtual void SetTextColor(ColorRef color) = 0;

  virtual void MoveTo(int x, int y) = 0;
  // A line from the current position to (x, y), which becomes the current
  // position. Like the window system's line, the end pixel is not drawn.
  virtual void LineTo(int x, int y) = 0;
  // Outline with the pen, fill with the brush, bounding box left/top/right/bottom.
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  // Text (UTF-8) with its top-left corner at (x, y), on an opaque white background.
  virtual void TextOut(int x, int y, std::string_view text) = 0;

  // The width of the surface in pixels: the window's client area, or
  // PICTURE_WIDTH for a picture without a window.
  virtual int ClientWidth() const { return PICTURE_WIDTH; }
};

}  // namespace veldaris::ui
