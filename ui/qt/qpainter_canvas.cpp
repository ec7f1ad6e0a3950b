// The Canvas on a QPainter, with the window system's drawing rules.
#include "ui/qt/qpainter_canvas.h"

#include <QFontDatabase>
#include <QPaintDevice>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace veldaris::ui::qt {

QFont PictureFont() {
  static const QString family = [] {
    const QString face = QString::fromUtf8(FONT_FACE);
    return QFontDatabase::families().contains(face) ? face : QString::fromUtf8(FONT_FALLBACK_FACE);
  }();
  QFont font(family);
  font.setPixelSize(FONT_HEIGHT);
  font.setWeight(static_cast<QFont::Weight>(FONT_WEIGHT));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QColor ToQColor(ColorRef color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

namespace {

QPen SolidPen(ColorRef color, int width) {
  // One-pixel pens end flat so that a line stops before its end point; wider
  // pens have round ends and joins, as wide solid pens have on the window system.
  const bool wide = width > 1;
  QPen pen(ToQColor(color), width, Qt::SolidLine, wide ? Qt::RoundCap : Qt::FlatCap,
           wide ? Qt::RoundJoin : Qt::MiterJoin);
  pen.setCosmetic(true);
  return pen;
}

}  // namespace

QPainterCanvas::QPainterCanvas(QPainter& painter)
    : painter_(painter), pen_(SolidPen(BLACK, 1)), brush_(Qt::white), text_color_(Qt::black) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setBackground(QBrush(Qt::white));
  painter_.setBackgroundMode(Qt::OpaqueMode);
}

void QPainterCanvas::SelectPen(ColorRef color, int width) { pen_ = SolidPen(color, width); }

void QPainterCanvas::SelectBrush(ColorRef color) { brush_ = QBrush(ToQColor(color), Qt::SolidPattern); }

void QPainterCanvas::SelectFont() { painter_.setFont(PictureFont()); }

void QPainterCanvas::SetTextColor(ColorRef color) { text_color_ = ToQColor(color); }

void QPainterCanvas::MoveTo(int x, int y) { position_ = QPoint(x, y); }

void QPainterCanvas::LineTo(int x, int y) {
  const QPoint end(x, y);
  painter_.setPen(pen_);
  if (end != position_) {
    painter_.drawLine(position_, end);
  } else if (pen_.width() > 1) {
    // A wide pen still leaves its round end on a line of no length, so that a
    // trace of strokes stays connected where it runs flat.
    painter_.drawPoint(end);
  }
  // A one-pixel line of no length has only its end pixel, which is left out.
  position_ = end;
}

void QPainterCanvas::Ellipse(int left, int top, int right, int bottom) {
  painter_.setPen(pen_);
  painter_.setBrush(brush_);
  // Outline through the pixel centres of columns left..right-1 and rows
  // top..bottom-1: the box without its right and bottom edge.
  painter_.drawEllipse(QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1));
}

void QPainterCanvas::TextOut(int x, int y, std::string_view text) {
  const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  painter_.setPen(QPen(text_color_));
  // drawText places the baseline; the opaque background mode fills the cell
  // behind the text with white.
  painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), string);
}

int QPainterCanvas::ClientWidth() const {
  const QPaintDevice* device = painter_.device();
  return device != nullptr ? device->width() : PICTURE_WIDTH;
}

}  // namespace veldaris::ui::qt
