// The window's drawing surface: the Canvas calls mapped onto a QPainter, with
// the window system's drawing rules where they matter for the pictures: solid
// cosmetic pens, lines that leave out their end pixel, ellipses that fill their
// bounding box without its right and bottom edge, and text placed by its
// top-left corner on an opaque white background.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QPoint>

#include "ui/canvas.h"

class QPainter;

namespace veldaris::ui::qt {

// The one font of the pictures: "ＭＳゴシック" at pixel size 14, weight 400,
// or the fallback Gothic face when that one is not installed.
QFont PictureFont();

QColor ToQColor(ColorRef color);

class QPainterCanvas final : public Canvas {
 public:
  // The painter must stay active for the canvas's lifetime; antialiasing is
  // switched off so that pixels land where the coordinates say.
  explicit QPainterCanvas(QPainter& painter);

  void SelectPen(ColorRef color, int width) override;
  void SelectBrush(ColorRef color) override;
  void SelectFont() override;
  void SetTextColor(ColorRef color) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void TextOut(int x, int y, std::string_view text) override;
  // The width of the painter's device: the drawing area.
  int ClientWidth() const override;

 private:
  QPainter& painter_;
  QPen pen_;
  QBrush brush_;
  QColor text_color_;
  QPoint position_;
};

}  // namespace veldaris::ui::qt
