// The strict XML subset reader behind the GraphML import.
#include "cli/xml_reader.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace veldaris::cli {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// The characters XML allows in a document.
bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The length of the well-formed UTF-8 sequence text starts with (shortest
// form, no surrogates, at most U+10FFFF), or 0.
size_t Utf8Length(std::string_view text) {
  const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0; };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

// The character a reference's name (between '&' and ';') stands for, or
// nullopt-like 0 when it is no reference XML defines without a DOCTYPE.
uint32_t ReferencedChar(std::string_view name) {
  if (name == "amp") return '&';
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  if (name.size() < 2 || name[0] != '#') return 0;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  uint32_t value = 0;
  for (const char c : digits) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return 0;
    }
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return 0;
  }
  return IsXmlChar(value) ? value : 0;
}

// Decodes the references of raw (an attribute value when attribute, else
// text) into *out; false with *what and *at (an offset in raw) on a reference
// XML does not define, a character it does not allow, or '<' in a value.
bool Decode(std::string_view raw, bool attribute, std::string* out, std::string* what, size_t* at) {
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    *at = i;
    if (c == '&') {
      const size_t semicolon = raw.find(';', i);
      const uint32_t decoded =
          semicolon == std::string_view::npos ? 0 : ReferencedChar(raw.substr(i + 1, semicolon - i - 1));
      if (decoded == 0) {
        const size_t shown = std::min(raw.size(), semicolon == std::string_view::npos ? i + 12 : semicolon + 1);
        *what = "a '&' must start &amp;, &lt;, &gt;, &quot;, &apos; or a character reference such as &#38; (got " +
                QuoteForMessage(raw.substr(i, shown - i)) + ")";
        return false;
      }
      AppendUtf8(decoded, out);
      i = semicolon;
    } else if (attribute && c == '<') {
      *what = "'<' is not allowed in an attribute value (write &lt;)";
      return false;
    } else if (static_cast<unsigned char>(c) < 0x20 && !IsSpace(c)) {
      *what = "the control character " + QuoteForMessage(raw.substr(i, 1)) + " is not allowed in XML";
      return false;
    } else if (attribute && IsSpace(c)) {
      if (c != '\r' || i + 1 >= raw.size() || raw[i + 1] != '\n') {
        *out += ' ';  // an attribute's line ends and tabs read as spaces (CR LF as one)
      }
    } else {
      *out += c;
    }
  }
  return true;
}

}  // namespace

const XmlAttribute* XmlEvent::Find(std::string_view attribute) const {
  for (const XmlAttribute& a : attributes) {
    if (a.name == attribute) {
      return &a;
    }
  }
  return nullptr;
}

XmlReader::XmlReader(std::string_view text) : text_(text) {
  if (text_.starts_with("\xEF\xBB\xBF")) {
    start_ = pos_ = 3;
  }
}

size_t XmlReader::LineAt(size_t pos) {
  if (pos < counted_to_) {
    counted_to_ = 0;
    counted_line_ = 1;
  }
  pos = std::min(pos, text_.size());
  counted_line_ += static_cast<size_t>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(counted_to_),
                                                  text_.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
  counted_to_ = pos;
  return counted_line_;
}

bool XmlReader::Fail(size_t pos, std::string what) {
  *what_ = "malformed XML: " + std::move(what);
  *line_ = LineAt(pos);
  return false;
}

// The rest of pos's line, quoted (cut when long).
std::string XmlReader::Snippet(size_t pos) const {
  const std::string_view rest = text_.substr(std::min(pos, text_.size()));
  return QuoteForMessage(rest.substr(0, rest.find('\n')));
}

void XmlReader::SkipSpace() {
  while (pos_ < text_.size() && IsSpace(text_[pos_])) {
    ++pos_;
  }
}

std::string_view XmlReader::Name() {
  const size_t start = pos_;
  if (pos_ < text_.size() && IsNameStart(text_[pos_])) {
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) {
      ++pos_;
    }
  }
  return text_.substr(start, pos_ - start);
}

bool XmlReader::Next(XmlEvent* event, std::string* what, size_t* line) {
  what_ = what;
  line_ = line;
  event->attributes.clear();
  if (pending_end_) {
    pending_end_ = false;
    event->kind = XmlEvent::Kind::End;
    event->name = open_.back().name;
    event->line = open_.back().line;
    open_.pop_back();
    return true;
  }
  while (pos_ < text_.size()) {
    const std::string_view rest = text_.substr(pos_);
    if (rest[0] != '<') {
      if (!Text()) return false;
    } else if (rest.starts_with("</")) {
      return EndTag(event);
    } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
      if (!SkipMarkup()) return false;
    } else {
      return StartTag(event);
    }
  }
  if (!open_.empty()) {
    return Fail(pos_, "the element <" + std::string(open_.back().name) + "> opened on line " +
                          std::to_string(open_.back().line) + " is not closed");
  }
  if (!root_seen_) {
    return Fail(pos_, "the document has no element");
  }
  event->kind = XmlEvent::Kind::Done;
  event->name = {};
  event->line = LineAt(pos_);
  return true;
}

// Text between tags: white space only outside the root element.
bool XmlReader::Text() {
  const size_t end = std::min(text_.find('<', pos_), text_.size());
  const std::string_view chunk = text_.substr(pos_, end - pos_);
  if (open_.empty()) {
    const auto* other = std::find_if(chunk.begin(), chunk.end(), [](char c) { return !IsSpace(c); });
    if (other != chunk.end()) {
      return Fail(
          pos_ + static_cast<size_t>(other - chunk.begin()),
          "text outside the root element (got " + Snippet(pos_ + static_cast<size_t>(other - chunk.begin())) + ")");
    }
  } else {
    std::string ignored;
    std::string why;
    size_t at = 0;
    if (!Decode(chunk, false, &ignored, &why, &at)) {
      return Fail(pos_ + at, why);
    }
  }
  pos_ = end;
  return true;
}

// A comment, a processing instruction (the XML declaration only first) or a
// CDATA section; a DOCTYPE or any other declaration is refused.
bool XmlReader::SkipMarkup() {
  const size_t start = pos_;
  const std::string_view rest = text_.substr(pos_);
  if (rest.starts_with("<!--")) {
    const size_t end = text_.find("-->", pos_ + 4);
    if (end == std::string_view::npos) return Fail(start, "a comment is not closed (no \"-->\")");
    const std::string_view body = text_.substr(pos_ + 4, end - pos_ - 4);
    if (body.find("--") != std::string_view::npos || body.ends_with("-")) {
      return Fail(start, "\"--\" is not allowed inside a comment");
    }
    pos_ = end + 3;
  } else if (rest.starts_with("<![CDATA[")) {
    if (open_.empty()) return Fail(start, "a CDATA section outside the root element");
    const size_t end = text_.find("]]>", pos_);
    if (end == std::string_view::npos) return Fail(start, "a CDATA section is not closed (no \"]]>\")");
    pos_ = end + 3;
  } else if (rest.starts_with("<?")) {
    pos_ += 2;
    const std::string_view target = Name();
    const size_t end = text_.find("?>", pos_);
    if (target.empty() || end == std::string_view::npos ||
        (pos_ < text_.size() && !IsSpace(text_[pos_]) && pos_ != end)) {
      return Fail(start, "malformed processing instruction (got " + Snippet(start) + ")");
    }
    const bool declaration =
        target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l';
    if (declaration && start != start_) {
      return Fail(start, "the XML declaration <?xml ...?> may only start the file");
    }
    pos_ = end + 2;
  } else if (rest.starts_with("<!DOCTYPE")) {
    return Fail(start, "a DOCTYPE is not allowed (nor the entities it could declare)");
  } else {
    return Fail(start, "malformed markup (got " + Snippet(start) + ")");
  }
  return true;
}

bool XmlReader::StartTag(XmlEvent* event) {
  const size_t start = pos_++;
  const std::string_view name = Name();
  if (name.empty()) {
    return Fail(start, "'<' must start a tag, a comment or a processing instruction (got " + Snippet(start) + ")");
  }
  if (open_.empty() && root_seen_) {
    return Fail(start, "a second root element <" + std::string(name) + ">: a document has one");
  }
  event->kind = XmlEvent::Kind::Start;
  event->name = name;
  event->line = LineAt(start);
  for (;;) {
    const size_t before_space = pos_;
    SkipSpace();
    if (pos_ >= text_.size()) {
      return Fail(start, "the tag <" + std::string(name) + " is not closed (no '>')");
    }
    if (text_[pos_] == '>') {
      ++pos_;
      break;
    }
    if (text_.substr(pos_).starts_with("/>")) {
      pos_ += 2;
      pending_end_ = true;
      break;
    }
    if (pos_ == before_space) {
      return Fail(pos_, "in the tag <" + std::string(name) + ">, white space must come before an attribute (got " +
                            Snippet(pos_) + ")");
    }
    if (!Attribute(event)) return false;
  }
  if (!UniqueNames(*event)) return false;
  open_.push_back({name, event->line});
  root_seen_ = true;
  return true;
}

// No attribute twice in a tag: the names sorted, so that a tag with very
// many attributes takes no quadratic time.
bool XmlReader::UniqueNames(const XmlEvent& event) {
  const std::vector<XmlAttribute>& attributes = event.attributes;
  std::vector<size_t> order(attributes.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return attributes[a].name < attributes[b].name; });
  size_t repeat = attributes.size();  // the first in document order whose name came before
  for (size_t i = 1; i < order.size(); ++i) {
    if (attributes[order[i]].name == attributes[order[i - 1]].name) {
      repeat = std::min(repeat, order[i]);
    }
  }
  if (repeat == attributes.size()) {
    return true;
  }
  return Fail(attributes[repeat].offset, "the attribute " + std::string(attributes[repeat].name) +
                                             " is given twice in the tag <" + std::string(event.name) + ">");
}

// name="value" or name='value', once per tag.
bool XmlReader::Attribute(XmlEvent* event) {
  const size_t start = pos_;
  const std::string_view name = Name();
  if (name.empty()) {
    return Fail(start, "in the tag <" + std::string(event->name) + ">, expected an attribute, '>' or \"/>\" (got " +
                           Snippet(start) + ")");
  }
  SkipSpace();
  const bool has_equals = pos_ < text_.size() && text_[pos_] == '=';
  if (has_equals) {
    ++pos_;
    SkipSpace();
  }
  const char quote = pos_ < text_.size() ? text_[pos_] : '\0';
  if (!has_equals || (quote != '"' && quote != '\'')) {
    return Fail(start, "the attribute " + std::string(name) + " must have a quoted value: " + std::string(name) +
                           "=\"...\" (got " + Snippet(start) + ")");
  }
  const size_t end = text_.find(quote, pos_ + 1);
  if (end == std::string_view::npos) {
    return Fail(start, "the value of the attribute " + std::string(name) + " is not closed");
  }
  XmlAttribute attribute{name, text_.substr(pos_ + 1, end - pos_ - 1), {}, start};
  std::string why;
  size_t at = 0;
  if (!Decode(attribute.typed, true, &attribute.value, &why, &at)) {
    return Fail(pos_ + 1 + at, "in the attribute " + std::string(name) + ", " + why);
  }
  event->attributes.push_back(std::move(attribute));
  pos_ = end + 1;
  return true;
}

bool XmlReader::EndTag(XmlEvent* event) {
  const size_t start = pos_;
  pos_ += 2;
  const std::string_view name = Name();
  SkipSpace();
  if (name.empty() || pos_ >= text_.size() || text_[pos_] != '>') {
    return Fail(start, "malformed end tag (got " + Snippet(start) + ")");
  }
  ++pos_;
  if (open_.empty()) {
    return Fail(start, "the end tag </" + std::string(name) + "> closes no element");
  }
  if (open_.back().name != name) {
    return Fail(start, "the end tag </" + std::string(name) + "> does not close <" + std::string(open_.back().name) +
                           "> opened on line " + std::to_string(open_.back().line));
  }
  event->kind = XmlEvent::Kind::End;
  event->name = name;
  event->line = LineAt(start);
  open_.pop_back();
  return true;
}

std::string QuoteForMessage(std::string_view text, size_t shown) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  size_t i = 0;
  while (i < text.size()) {
    if (i >= shown) {
      return out + "\"...";
    }
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c >= 0x80 && (length = Utf8Length(text.substr(i))) != 0) {
      out += text.substr(i, length);
    } else {
      length = 1;
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
    i += length;
  }
  return out + "\"";
}

}  // namespace veldaris::cli
