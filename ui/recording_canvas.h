// A canvas that draws nothing and remembers every call, with the pen, brush
// and text colour in force at that moment, so that a picture can be checked
// call by call: counted, searched for texts, dots and strokes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"

namespace veldaris::ui {

enum class CanvasCallKind { SelectPen, SelectBrush, SelectFont, SetTextColor, MoveTo, LineTo, Ellipse, TextOut };

struct CanvasCall {
  CanvasCallKind kind = CanvasCallKind::MoveTo;
  // SelectPen: a = width; MoveTo and TextOut: (a, b) is the point; LineTo:
  // from (a, b), the current position, to (c, d); Ellipse: left a, top b,
  // right c, bottom d.
  int a = 0, b = 0, c = 0, d = 0;
  ColorRef color = 0;  // the argument of SelectPen, SelectBrush and SetTextColor
  std::string text;    // TextOut
  // The drawing state after the call.
  ColorRef pen_color = BLACK;
  int pen_width = 1;
  ColorRef brush_color = WHITE;
  ColorRef text_color = BLACK;
  bool font_selected = false;
};

class RecordingCanvas final : public Canvas {
 public:
  void SelectPen(ColorRef color, int width) override;
  void SelectBrush(ColorRef color) override;
  void SelectFont() override;
  void SetTextColor(ColorRef color) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void TextOut(int x, int y, std::string_view text) override;
  int ClientWidth() const override { return client_width_; }
  // The width ClientWidth reports (PICTURE_WIDTH unless set).
  void SetClientWidth(int width) { client_width_ = width; }

  const std::vector<CanvasCall>& calls() const { return calls_; }
  // The calls of one kind, in order.
  std::vector<CanvasCall> Calls(CanvasCallKind kind) const;
  // LineTo calls (strokes) drawn with a pen of the colour.
  int CountStrokes(ColorRef pen_color) const;
  // The first TextOut of exactly this text, or nullptr.
  const CanvasCall* FindText(std::string_view text) const;
  // Forgets the calls; the drawing state returns to black pen, white brush,
  // black text, no font, position (0, 0).
  void Clear();

 private:
  CanvasCall& Record(CanvasCallKind kind);

  std::vector<CanvasCall> calls_;
  CanvasCall state_;
  int x_ = 0;
  int y_ = 0;
  int client_width_ = PICTURE_WIDTH;
};

}  // namespace veldaris::ui
