// A strict reader of the part of XML that data files such as GraphML use:
// elements and their attributes, with comments, processing instructions,
// text and CDATA passed over. Entity and character references are decoded in
// attribute values (and checked in text); a DOCTYPE, and with it any entity
// of the document's own, is refused, as is anything not well-formed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veldaris::cli {

struct XmlAttribute {
  std::string_view name;
  std::string_view typed;  // the value as written between the quotes
  std::string value;       // with references decoded and white space normalised
  size_t offset = 0;       // where the name starts in the document
};

struct XmlEvent {
  enum class Kind { Start, End, Done };
  Kind kind = Kind::Done;
  std::string_view name;                 // as written, with its prefix if any
  size_t line = 0;                       // where the tag starts, from 1
  std::vector<XmlAttribute> attributes;  // Start only

  // The attribute's value, or nullptr.
  const XmlAttribute* Find(std::string_view attribute) const;
};

// Pulls the elements of a document one tag at a time: Start and End for each
// element (both for <a/>), then Done after the root element's end. On a fault
// Next returns false with *what saying what is wrong and *line where.
class XmlReader {
 public:
  explicit XmlReader(std::string_view text);
  bool Next(XmlEvent* event, std::string* what, size_t* line);

 private:
  struct Open {
    std::string_view name;
    size_t line;
  };
  size_t LineAt(size_t pos);
  bool Fail(size_t pos, std::string what);
  bool SkipMarkup();
  bool StartTag(XmlEvent* event);
  bool EndTag(XmlEvent* event);
  bool Attribute(XmlEvent* event);
  bool UniqueNames(const XmlEvent& event);
  bool Text();
  std::string_view Name();
  void SkipSpace();
  std::string Snippet(size_t pos) const;

  std::string_view text_;
  size_t start_ = 0;  // after a byte order mark
  size_t pos_ = 0;
  size_t counted_to_ = 0;  // LineAt's newlines are counted up to here
  size_t counted_line_ = 1;
  std::vector<Open> open_;
  bool root_seen_ = false;
  bool pending_end_ = false;
  std::string* what_ = nullptr;
  size_t* line_ = nullptr;
};

// text in double quotes for a message: control characters, quotes,
// backslashes and bytes that are not UTF-8 escaped C-style, and a text longer
// than shown bytes cut (marked with "..." after the closing quote).
std::string QuoteForMessage(std::string_view text, size_t shown = 60);

}  // namespace veldaris::cli
