// The text of parameter values: whole numbers, probabilities and doubles read
// and written the same way in every locale, and the message of a refused value.
// The parameters themselves are in parameter_table.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veldaris::cli {

// A whole number written in decimal digits only: no sign, no base prefix, no
// white space; leading zeros mean nothing. Nullopt when text is not such a
// number or it exceeds max.
std::optional<uint64_t> ParseDecimal(std::string_view text, uint64_t max);

// "<name> must be <allowed> (got "<text>")": the message of a refused value.
// Control characters of text are shown escaped ("\n", "\x01").
std::string RefusalMessage(std::string_view name, std::string_view allowed, std::string_view text);

// text with its control characters escaped, for quoting in a message.
std::string EscapedForMessage(std::string_view text);

// A probability written as a plain decimal number (an optional sign, digits,
// an optional fraction and exponent); the whole text must be the number.
std::optional<double> ParseProbability(std::string_view text);

// The shortest text that reads back as exactly value, with '.' whatever the
// locale ("0.29", "1", "6.632653061224489"); empty for infinities and NaN.
std::string FormatDouble(double value);

}  // namespace veldaris::cli
