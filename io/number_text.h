// Number texts that do not depend on the C locale: the dialog and the charts
// always use '.' as the decimal point, even after a toolkit has switched the
// process to the user's locale (which would make printf write "8,000000" and
// atof stop at the '.').
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veldaris {

// printf's "%.<decimals>f" of value, as in the "C" locale ("inf", "nan" and
// "-nan" included).
std::string FormatFixed(double value, int decimals);

// strtod's reading of the longest number at the start of text, as in the "C"
// locale: leading white space, an optional sign, then a decimal number (digits
// with an optional '.' fraction and an optional exponent), a hexadecimal one
// ("0x" digits, optional fraction, optional 'p' exponent), "inf", "infinity"
// or "nan" (case-insensitive). Text that starts with no number gives 0.0; a
// number too large for a double gives +-infinity, one too small 0.0.
double ParseNumberPrefix(std::string_view text);
// The same, but none when the text does not start with a number.
std::optional<double> ReadNumberPrefix(std::string_view text);

}  // namespace veldaris
