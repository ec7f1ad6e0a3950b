// Fuzz target: any bytes drawn as text into the SVG picture.
//
// Checked: the document is UTF-8 made only of characters XML can hold, and
// inside the text element every '<' and '&' of the text is escaped.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/svg_canvas.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Decodes the document strictly; false at the first byte that is not part of
// a well-formed sequence of an XML character.
bool IsXmlUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    uint32_t code = 0;
    size_t length = 1;
    if (b < 0x80) {
      code = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      code = b & 0x1Fu, length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      code = b & 0x0Fu, length = 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
      code = b & 0x07u, length = 4;
    } else {
      return false;
    }
    if (i + length > s.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (c & 0x3Fu);
    }
    const uint32_t smallest = length == 1 ? 0 : length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u;
    const bool xml_char = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                          (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
    if (code < smallest || !xml_char) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  veldaris::ui::SvgCanvas canvas;
  canvas.TextOut(1, 2, text);
  const std::string document = canvas.Document();
  Require(IsXmlUtf8(document));

  const size_t open = document.find("<text");
  Require(open != std::string::npos);
  const size_t start = document.find('>', open) + 1;
  const size_t end = document.find("</text>", start);
  Require(end != std::string::npos);
  const std::string_view content(document.data() + start, end - start);
  Require(content.find('<') == std::string_view::npos);
  for (size_t at = content.find('&'); at != std::string_view::npos; at = content.find('&', at + 1)) {
    const std::string_view rest = content.substr(at);
    Require(rest.starts_with("&amp;") || rest.starts_with("&lt;") || rest.starts_with("&gt;") ||
            rest.starts_with("&quot;") || rest.starts_with("&apos;"));
  }
  return 0;
}
