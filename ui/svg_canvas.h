// A canvas that writes an SVG document of the client area (760 x 720 pixels on
// white), for pictures made without a window: the network view and the charts
// exactly as the window would paint them now.
#pragma once

#include <string>
#include <string_view>

#include "model/simulation.h"
#include "ui/canvas.h"

namespace veldaris::ui {

// Ascent of the 14-pixel Gothic face: text drawn with its top-left corner at
// (x, y) has its baseline at y + TEXT_ASCENT.
inline constexpr int TEXT_ASCENT = 12;

class SvgCanvas final : public Canvas {
 public:
  void SelectPen(ColorRef color, int width) override;
  void SelectBrush(ColorRef color) override;
  void SelectFont() override;
  void SetTextColor(ColorRef color) override;
  void MoveTo(int x, int y) override;
  // One <line> per call; lines of a 1-pixel pen sit on the pixel centres and
  // end before the end pixel, wider pens have round caps.
  void LineTo(int x, int y) override;
  // One <ellipse> inside the bounding box, filled with the brush.
  void Ellipse(int left, int top, int right, int bottom) override;
  // One white <rect> as the opaque text background, then one <text>.
  void TextOut(int x, int y, std::string_view text) override;

  // Everything drawn until the matching EndGroup goes into one <g> element of
  // the class, so that a reader can tell the parts of a picture apart.
  void BeginGroup(std::string_view css_class);
  void EndGroup();

  // The complete document: declaration, <svg> root with the font, the white
  // background and everything drawn so far (groups still open are closed).
  std::string Document() const;

 private:
  std::string body_;
  int open_groups_ = 0;
  ColorRef pen_color_ = BLACK;
  int pen_width_ = 1;
  ColorRef brush_color_ = WHITE;
  ColorRef text_color_ = BLACK;
  int x_ = 0;
  int y_ = 0;
};

// "#rrggbb" of a colour value.
std::string SvgColor(ColorRef color);
// Text with &, <, >, " and ' escaped; control characters XML cannot hold
// become '?', and every byte that starts no valid UTF-8 sequence of a
// character XML can hold becomes U+FFFD, so the document stays well-formed
// whatever text is drawn.
std::string EscapeXml(std::string_view text);

// What the window would show now (PaintWindow), as an SVG document.
std::string PictureSvg(const Simulation& sim);

// Writes PictureSvg() to path through a temporary file in the same directory
// that replaces the target only once complete: on failure an existing file is
// left as it was and no temporary file remains. On failure returns false and,
// when error is not null, sets it to "<path>: <reason>".
bool WritePictureSvg(const Simulation& sim, const std::string& path, std::string* error);

}  // namespace veldaris::ui
