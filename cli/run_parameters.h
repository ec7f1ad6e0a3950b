// The parameters of one run as veldaris-run's options and the sweep file give
// them, and their one validation: both read the values from text (the sweep
// file's values are turned into the text veldaris-run would take), so a value
// is accepted or refused, and converted, the same way wherever it comes from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/simulation.h"

namespace veldaris::cli {

// A run's parameters as text, with veldaris-run's defaults.
struct ParameterTexts {
  std::string network = "small-world";
  std::string groups = "50";
  std::string strategies = "8";
  std::string generations = "1000";
  std::string connectivity = "8";
  std::string length = "10";
  std::string rewiring = "0";
};

// Parameters the model can run: every network is simple and its build ends,
// no group is left without links (the statistics divide by class sizes), the
// crossover has two distinct cut points, and every array stays within its
// capacity.
struct RunParameters {
  int32_t network_type = SMALL_WORLD;
  int32_t groups = 50;
  int32_t strategies = 8;
  int32_t generations = 1000;
  int32_t connectivity = 8;
  int32_t length = 10;
  double rewiring = 0.0;         // the probability as given
  int32_t rewiring_percent = 0;  // as the model stores it (truncated)

  ParameterChoice Choice() const;
};

// How a message names a parameter: "--groups" on veldaris-run's command line,
// "groups" in a sweep file.
enum class ParameterNaming { Option, Key };

// The parameters, or nullopt with *error set to one message that names the
// parameter, quotes the value as given and says what is allowed.
std::optional<RunParameters> ValidateRunParameters(const ParameterTexts& texts, ParameterNaming naming,
                                                   std::string* error);

// A whole number written in decimal digits only: no sign, no base prefix, no
// white space; leading zeros mean nothing. Nullopt when text is not such a
// number or it exceeds max.
std::optional<uint64_t> ParseDecimal(std::string_view text, uint64_t max);

// "<name> must be <allowed> (got "<text>")": the message of a refused value.
std::string RefusalMessage(std::string_view name, std::string_view allowed, std::string_view text);

// A probability written as a plain decimal number (an optional sign, digits,
// an optional fraction and exponent); the whole text must be the number.
std::optional<double> ParseProbability(std::string_view text);

// "small-world" or "scale-free": the network type as veldaris-run takes it.
const char* NetworkName(int32_t network_type);

// The shortest text that reads back as exactly value, with '.' whatever the
// locale ("0.29", "1", "6.632653061224489"); empty for infinities and NaN.
std::string FormatDouble(double value);

}  // namespace veldaris::cli
