// Reading and writing the text of parameter values.
#include "cli/run_parameters.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace veldaris::cli {

std::optional<uint64_t> ParseDecimal(std::string_view text, uint64_t max) {
  if (text.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > max / 10 || digit > max - value * 10) {
      return std::nullopt;  // beyond max, however many digits follow
    }
    value = value * 10 + digit;
  }
  return value;
}

std::string RefusalMessage(std::string_view name, std::string_view allowed, std::string_view text) {
  std::string message(name);
  message += " must be ";
  message += allowed;
  message += " (got \"";
  message += EscapedForMessage(text);
  message += "\")";
  return message;
}

std::optional<double> ParseProbability(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') {
    ++first;
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec != std::errc() || end != last || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string EscapedForMessage(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (u < 0x20 || u == 0x7f) {
      static const char kHex[] = "0123456789abcdef";
      escaped += "\\x";
      escaped += kHex[u >> 4];
      escaped += kHex[u & 15];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string FormatDouble(double value) {
  if (!std::isfinite(value)) {
    return std::string();
  }
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace veldaris::cli
