// Number texts with '.' as the decimal point whatever the C locale.
#include "ui/number_text.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>

namespace veldaris::ui {

namespace {

// The white-space characters of the "C" locale.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c, bool hex) {
  if (c >= '0' && c <= '9') {
    return true;
  }
  return hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// For a number that from_chars found out of range: true when its magnitude is
// too large for a double, false when too small. The magnitude is judged from
// the position of the first significant digit and the exponent, which is
// enough since out-of-range numbers lie far beyond either end.
bool TooLarge(std::string_view s, bool hex) {
  constexpr int64_t kExponentCap = 1000000000;
  size_t i = 0;
  int64_t order = 0;  // digits (bits for hex) before the point, from the first non-zero one
  bool significant = false;
  while (i < s.size() && IsDigit(s[i], hex)) {
    if (significant || s[i] != '0') {
      significant = true;
      ++order;
    }
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i], hex)) {
      if (!significant) {
        if (s[i] == '0') {
          --order;
        } else {
          significant = true;
        }
      }
      ++i;
    }
  }
  int64_t exponent = 0;
  const char mark = hex ? 'p' : 'e';
  if (i < s.size() && (s[i] == mark || s[i] == mark - ('a' - 'A'))) {
    ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      negative = s[i] == '-';
      ++i;
    }
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (exponent < kExponentCap) {
        exponent = exponent * 10 + (s[i] - '0');
      }
      ++i;
    }
    if (negative) {
      exponent = -exponent;
    }
  }
  return (hex ? 4 * order : order) + exponent > 0;
}

// from_chars over the unsigned number at the start of s; none when s does
// not start with one.
std::optional<double> Convert(std::string_view s, std::chars_format format) {
  if (s.empty() || s[0] == '+' || s[0] == '-') {
    return std::nullopt;  // a second sign: no number
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, format);
  static_cast<void>(ptr);
  if (ec == std::errc()) {
    return value;
  }
  if (ec == std::errc::result_out_of_range) {
    return TooLarge(s, format == std::chars_format::hex) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return std::nullopt;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  // Enough for the 309 integer digits of the largest double plus the fraction.
  char buffer[400];
  if (decimals < 0) {
    decimals = 0;
  } else if (decimals > 40) {
    decimals = 40;
  }
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) {
    return std::string();
  }
  return std::string(buffer, ptr);
}

std::optional<double> ReadNumberPrefix(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view rest = text.substr(i);
  std::optional<double> value;
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    // Without a hexadecimal digit after it, "0x" reads as the number 0.
    const std::string_view digits = rest.substr(2);
    const bool has_digit = !digits.empty() && (IsDigit(digits[0], true) ||
                                               (digits[0] == '.' && digits.size() > 1 && IsDigit(digits[1], true)));
    value = has_digit ? Convert(digits, std::chars_format::hex) : 0.0;
  } else {
    value = Convert(rest, std::chars_format::general);
  }
  if (!value) {
    return std::nullopt;
  }
  return negative ? -*value : *value;
}

double ParseNumberPrefix(std::string_view text) { return ReadNumberPrefix(text).value_or(0.0); }

}  // namespace veldaris::ui
