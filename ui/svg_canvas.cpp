// A Canvas that writes the client area as an SVG document, for pictures without a window.
#include "ui/svg_canvas.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/atomic_file.h"
#include "ui/drawing.h"
#include "ui/run_control.h"

namespace veldaris::ui {

namespace {

// Shortest text of a coordinate (integers and halves here), always with '.'.
std::string Num(double v) {
  char buffer[32];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, ptr) : std::string("0");
}

std::string Attr(const char* name, double v) { return std::string(" ") + name + "=\"" + Num(v) + "\""; }

// Character cells of a UTF-8 text: one per ASCII character, two per other
// character (the face's full-width glyphs).
int TextColumns(std::string_view text) {
  int columns = 0;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      columns += 1;
    } else if (byte >= 0xC0) {
      columns += 2;
    }
  }
  return columns;
}

bool WriteDocument(std::FILE* file, const void* context) {
  const auto* text = static_cast<const std::string*>(context);
  return std::fwrite(text->data(), 1, text->size(), file) == text->size();
}

}  // namespace

std::string SvgColor(ColorRef color) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", RedOf(color), GreenOf(color), BlueOf(color));
  return buffer;
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of text whose
// code point XML may hold, or 0 when there is none (a stray or truncated
// byte, an overlong form, a surrogate, a code point beyond U+10FFFF, or
// U+FFFE and U+FFFF).
size_t ValidXmlSequence(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  uint32_t code = 0;
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) {
      return 0;
    }
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  const uint32_t smallest = length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u;
  if (code < smallest || code > 0x10FFFFu || (code >= 0xD800u && code <= 0xDFFFu) || code == 0xFFFEu ||
      code == 0xFFFFu) {
    return 0;
  }
  return length;
}

}  // namespace

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const char ch = text[0];
    const size_t length = ValidXmlSequence(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER for the byte that starts no valid sequence
      text.remove_prefix(1);
      continue;
    }
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (length == 1 && static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') {
          out += '?';
        } else {
          out.append(text.data(), length);
        }
    }
    text.remove_prefix(length);
  }
  return out;
}

void SvgCanvas::SelectPen(ColorRef color, int width) {
  pen_color_ = color;
  pen_width_ = width < 1 ? 1 : width;  // a zero-width pen is one pixel wide
}

void SvgCanvas::SelectBrush(ColorRef color) { brush_color_ = color; }

void SvgCanvas::SelectFont() {}

void SvgCanvas::SetTextColor(ColorRef color) { text_color_ = color; }

void SvgCanvas::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void SvgCanvas::LineTo(int x, int y) {
  double x1 = x_;
  double y1 = y_;
  double x2 = x;
  double y2 = y;
  if (pen_width_ == 1) {
    // Pixel (i, j) is the square from (i, j) to (i + 1, j + 1). A line covers
    // its start pixel and stops before its end pixel, so a horizontal or
    // vertical line spans exactly the pixels from start up to end.
    if (y_ == y && x_ != x) {
      y1 = y2 = y + 0.5;
      if (x < x_) {
        x1 += 1;
        x2 += 1;
      }
    } else if (x_ == x && y_ != y) {
      x1 = x2 = x + 0.5;
      if (y < y_) {
        y1 += 1;
        y2 += 1;
      }
    } else {
      x1 += 0.5;
      y1 += 0.5;
      x2 += 0.5;
      y2 += 0.5;
    }
  } else if (pen_width_ % 2 == 1) {
    x1 += 0.5;
    y1 += 0.5;
    x2 += 0.5;
    y2 += 0.5;
  }
  body_ += "<line" + Attr("x1", x1) + Attr("y1", y1) + Attr("x2", x2) + Attr("y2", y2) + " stroke=\"" +
           SvgColor(pen_color_) + "\" stroke-width=\"" + std::to_string(pen_width_) + "\"";
  // Round caps let a wide pen's zero-length stroke show as a dot, so a flat
  // series still draws a continuous trace.
  body_ += pen_width_ > 1 ? " stroke-linecap=\"round\"/>\n" : "/>\n";
  x_ = x;
  y_ = y;
}

void SvgCanvas::Ellipse(int left, int top, int right, int bottom) {
  // The outline lies inside the bounding box.
  const double half_pen = pen_width_ / 2.0;
  double rx = std::abs(right - left) / 2.0 - half_pen;
  double ry = std::abs(bottom - top) / 2.0 - half_pen;
  rx = rx < 0 ? 0 : rx;
  ry = ry < 0 ? 0 : ry;
  body_ += "<ellipse" + Attr("cx", (left + right) / 2.0) + Attr("cy", (top + bottom) / 2.0) + Attr("rx", rx) +
           Attr("ry", ry) + " fill=\"" + SvgColor(brush_color_) + "\" stroke=\"" + SvgColor(pen_color_) +
           "\" stroke-width=\"" + std::to_string(pen_width_) + "\"/>\n";
}

void SvgCanvas::TextOut(int x, int y, std::string_view text) {
  body_ += "<rect" + Attr("x", x) + Attr("y", y) + Attr("width", TextColumns(text) * TEXT_CHAR_WIDTH) +
           Attr("height", FONT_HEIGHT) + " fill=\"#ffffff\"/>\n";
  body_ += "<text" + Attr("x", x) + Attr("y", y + TEXT_ASCENT) + " fill=\"" + SvgColor(text_color_) +
           "\" xml:space=\"preserve\">" + EscapeXml(text) + "</text>\n";
}

void SvgCanvas::BeginGroup(std::string_view css_class) {
  body_ += "<g class=\"" + EscapeXml(css_class) + "\">\n";
  ++open_groups_;
}

void SvgCanvas::EndGroup() {
  if (open_groups_ > 0) {
    body_ += "</g>\n";
    --open_groups_;
  }
}

std::string SvgCanvas::Document() const {
  std::string out;
  out.reserve(body_.size() + 512);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(WINDOW_WIDTH) + "\" height=\"" +
         std::to_string(WINDOW_HEIGHT) + "\" viewBox=\"0 0 " + std::to_string(WINDOW_WIDTH) + " " +
         std::to_string(WINDOW_HEIGHT) + "\" font-family=\"&apos;" + EscapeXml(FONT_FACE) + "&apos;, " +
         FONT_FALLBACK_FACE + ", monospace\" font-size=\"" + std::to_string(FONT_HEIGHT) + "px\" font-weight=\"" +
         std::to_string(FONT_WEIGHT) + "\">\n";
  out += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(WINDOW_WIDTH) + "\" height=\"" +
         std::to_string(WINDOW_HEIGHT) + "\" fill=\"#ffffff\"/>\n";
  out += body_;
  for (int i = 0; i < open_groups_; ++i) {
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

std::string PictureSvg(const Simulation& sim) {
  SvgCanvas canvas;
  PaintWindow(canvas, sim);
  return canvas.Document();
}

bool WritePictureSvg(const Simulation& sim, const std::string& path, std::string* error) {
  const std::string document = PictureSvg(sim);
  const int32_t code = WriteFileAtomically(path.c_str(), WriteDocument, &document);
  if (code != 0 && error != nullptr) {
    *error = path + ": " + std::strerror(code);
  }
  return code == 0;
}

}  // namespace veldaris::ui
