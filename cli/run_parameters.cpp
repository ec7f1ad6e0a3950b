#include "cli/run_parameters.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace veldaris::cli {

namespace {

// Reads one whole-number parameter in lo..hi; on failure sets *error.
std::optional<int32_t> ReadInteger(const std::string& text, const std::string& name, int64_t lo, int64_t hi,
                                   std::string_view allowed, std::string* error) {
  const std::optional<uint64_t> value = ParseDecimal(text, static_cast<uint64_t>(hi));
  if (!value || static_cast<int64_t>(*value) < lo) {
    *error = RefusalMessage(name, allowed, text);
    return std::nullopt;
  }
  return static_cast<int32_t>(*value);
}

}  // namespace

ParameterChoice RunParameters::Choice() const {
  return ParameterChoice{network_type, groups, strategies, generations, connectivity, length, rewiring};
}

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
  message += text;
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

const char* NetworkName(int32_t network_type) { return network_type == SCALE_FREE ? "scale-free" : "small-world"; }

std::string FormatDouble(double value) {
  if (!std::isfinite(value)) {
    return std::string();
  }
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::optional<RunParameters> ValidateRunParameters(const ParameterTexts& t, ParameterNaming naming,
                                                   std::string* error) {
  const std::string prefix = naming == ParameterNaming::Option ? "--" : "";
  RunParameters p;
  if (t.network == "small-world") {
    p.network_type = SMALL_WORLD;
  } else if (t.network == "scale-free") {
    p.network_type = SCALE_FREE;
  } else {
    *error = RefusalMessage(prefix + "network", "small-world or scale-free", t.network);
    return std::nullopt;
  }
  const auto groups = ReadInteger(t.groups, prefix + "groups", 3, MAX_GROUPS, "a whole number from 3 to 500", error);
  if (!groups) {
    return std::nullopt;
  }
  const auto strategies =
      ReadInteger(t.strategies, prefix + "strategies", 1, MAX_STRATEGIES, "a whole number from 1 to 32", error);
  if (!strategies) {
    return std::nullopt;
  }
  const std::string generations_allowed = "a multiple of 10 from 10 to 10000";
  const auto generations =
      ReadInteger(t.generations, prefix + "generations", 10, MAX_GENERATIONS, generations_allowed, error);
  if (!generations) {
    return std::nullopt;
  }
  if (*generations % BATCH_GENERATIONS != 0) {
    *error = RefusalMessage(prefix + "generations", generations_allowed, t.generations);
    return std::nullopt;
  }
  const std::string connectivity_allowed =
      "an even number from 2 to " + prefix + "groups - 1 (" + std::to_string(*groups - 1) + " here)";
  const auto connectivity =
      ReadInteger(t.connectivity, prefix + "connectivity", 2, *groups - 1, connectivity_allowed, error);
  if (!connectivity) {
    return std::nullopt;
  }
  if (*connectivity % 2 != 0) {
    *error = RefusalMessage(prefix + "connectivity", connectivity_allowed, t.connectivity);
    return std::nullopt;
  }
  const auto length = ReadInteger(t.length, prefix + "length", 4, MAX_MOVES, "a whole number from 4 to 100", error);
  if (!length) {
    return std::nullopt;
  }
  // Converted as the parameter dialog converts it: x * 100.0 truncated.
  const std::optional<double> probability = ParseProbability(t.rewiring);
  const int32_t percent = probability ? RewiringPercentFromProbability(*probability) : -1;
  if (!probability || percent < 0 || percent > 100) {
    *error = RefusalMessage(prefix + "rewiring", "a probability from 0 to 1.0", t.rewiring);
    return std::nullopt;
  }
  p.groups = *groups;
  p.strategies = *strategies;
  p.generations = *generations;
  p.connectivity = *connectivity;
  p.length = *length;
  p.rewiring = *probability;
  p.rewiring_percent = percent;
  return p;
}

}  // namespace veldaris::cli
