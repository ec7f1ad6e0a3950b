#include "cli/sweep_plan.h"

#include <bit>
#include <cmath>
#include <string>

#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

namespace veldaris::cli {

namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// SplitMix64's output from state x.
uint64_t SplitMix64(uint64_t x) { return Mix(x + kGolden); }

// Whether the TOML parser of Debian 12 (toml++ 3.3) can look at code point c
// where it looks for white space. For some code points (most of U+00A1..U+0499,
// U+2C4E..U+3047 and U+FBC6..U+FEFE) its test reaches an unreachable branch,
// which is undefined behaviour, and where it looks for white space cannot be
// told from outside: it scans ahead over malformed values too. This mirrors
// that test's structure.
bool ParserCanTestForWhiteSpace(uint32_t c) {
  if (c < 0xA0 || c > 0xFEFF || c == 0xA0 || c == 0x3000 || c == 0xFEFF) {
    return true;
  }
  const uint32_t bucket = (c - 0xA0) / 0x3FA;
  return ((0x7FFFFFFFFFFFF75EULL >> bucket) & 1U) != 0 || bucket == 5 || bucket == 7;
}

// The text with every code point the parser cannot test replaced by U+FFFD,
// one character for one, so that lines and columns stay. TOML allows such
// characters only in comments, which are ignored, and in strings, where no
// sweep key takes one.
std::string SafeForParser(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    uint32_t c = length == 1 ? lead : lead & (0x7FU >> length);
    bool well_formed = i + length <= text.size();
    for (size_t k = 1; well_formed && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      well_formed = (next & 0xC0U) == 0x80U;
      c = (c << 6) | (next & 0x3FU);
    }
    if (length > 1 && well_formed && !ParserCanTestForWhiteSpace(c)) {
      safe += "\xEF\xBF\xBD";
      i += length;
    } else {
      safe += text[i];  // anything else goes as it is, malformed bytes too: the parser refuses those
      ++i;
    }
  }
  return safe;
}

enum class ValueKind { Text, Integer, Number };

ValueKind KindOf(int32_t key) {
  if (key == 0) {
    return ValueKind::Text;
  }
  return key == SWEEP_KEY_COUNT - 1 ? ValueKind::Number : ValueKind::Integer;
}

const char* Expected(ValueKind kind) {
  switch (kind) {
    case ValueKind::Text:
      return "a string";
    case ValueKind::Integer:
      return "a whole number";
    case ValueKind::Number:
      return "a number";
  }
  return "";
}

std::string FloatText(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  return FormatDouble(value);
}

// What a node is, for a message: "the string \"50\"", "the integer 3", ...
std::string Describe(const toml::node& node) {
  if (const auto* s = node.as_string()) {
    return "the string \"" + s->get() + "\"";
  }
  if (const auto* i = node.as_integer()) {
    return "the integer " + std::to_string(i->get());
  }
  if (const auto* f = node.as_floating_point()) {
    return "the number " + FloatText(f->get());
  }
  if (node.is_boolean()) {
    return node.as_boolean()->get() ? "true" : "false";
  }
  if (node.is_array()) {
    return "an array";
  }
  if (node.is_table()) {
    return "a table";
  }
  return "a date or time";
}

// One value of key as text; false with *error set when it has the wrong type.
bool ValueText(const toml::node& node, const char* key, ValueKind kind, bool in_array, std::string* text,
               std::string* error) {
  if (kind == ValueKind::Text && node.is_string()) {
    *text = node.as_string()->get();
    return true;
  }
  if (kind != ValueKind::Text && node.is_integer()) {
    *text = std::to_string(node.as_integer()->get());
    return true;
  }
  if (kind == ValueKind::Number && node.is_floating_point()) {
    *text = FloatText(node.as_floating_point()->get());
    return true;
  }
  *error = std::string(key) + " must be " + Expected(kind) + " or an array of them (got " + Describe(node) +
           (in_array ? " in its array)" : ")");
  return false;
}

// A scalar whole number of key in lo..hi.
bool ReadCount(const toml::node& node, const char* key, int64_t lo, int64_t hi, const std::string& allowed,
               int64_t* value, std::string* error) {
  if (!node.is_integer()) {
    *error = std::string(key) + " must be " + allowed + " (got " + Describe(node) + ")";
    return false;
  }
  const int64_t v = node.as_integer()->get();
  if (v < lo || v > hi) {
    *error = RefusalMessage(key, allowed, std::to_string(v));
    return false;
  }
  *value = v;
  return true;
}

std::string PointDescription(const SweepPlan& plan, const std::array<int32_t, SWEEP_KEY_COUNT>& at) {
  std::string text;
  for (const int32_t key : plan.VaryingKeys()) {
    text += text.empty() ? "" : ", ";
    text += std::string(SWEEP_KEYS[key]) + " = " + plan.values[key][at[key]];
  }
  return text;
}

}  // namespace

const char* const PLAN_HEADER =
    "run,point,replicate,network,groups,strategies,generations,connectivity,length,rewiring,network_seed,run_seed";

std::vector<int32_t> SweepPlan::VaryingKeys() const {
  std::vector<int32_t> keys;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (values[key].size() > 1) {
      keys.push_back(key);
    }
  }
  return keys;
}

std::optional<SweepPlan> ParseSweepFile(std::string_view text, const std::string& file_name, std::string* error) {
  toml::table table;
  try {
    table = toml::parse(SafeForParser(text), file_name);
  } catch (const toml::parse_error& e) {
    *error = "line " + std::to_string(e.source().begin.line) + ", column " + std::to_string(e.source().begin.column) +
             ": " + std::string(e.description());
    return std::nullopt;
  }

  SweepPlan plan;
  const ParameterTexts defaults;
  plan.values = {{{defaults.network},
                  {defaults.groups},
                  {defaults.strategies},
                  {defaults.generations},
                  {defaults.connectivity},
                  {defaults.length},
                  {defaults.rewiring}}};
  bool have_replicates = false;
  bool have_seed = false;
  for (const auto& [name, node] : table) {
    const std::string_view key_name = name.str();
    int32_t key = 0;
    while (key < SWEEP_KEY_COUNT && key_name != SWEEP_KEYS[key]) {
      ++key;
    }
    if (key < SWEEP_KEY_COUNT) {
      const ValueKind kind = KindOf(key);
      std::vector<std::string>& values = plan.values[key];
      values.clear();
      if (const toml::array* array = node.as_array()) {
        if (array->empty()) {
          *error = std::string(SWEEP_KEYS[key]) + " must be " + Expected(kind) +
                   " or a non-empty array of them (got an empty array)";
          return std::nullopt;
        }
        for (const toml::node& element : *array) {
          std::string value;
          if (!ValueText(element, SWEEP_KEYS[key], kind, true, &value, error)) {
            return std::nullopt;
          }
          for (const std::string& earlier : values) {
            if (earlier == value) {
              *error = std::string(SWEEP_KEYS[key]) + " lists " + value + " twice: the values of an array must differ";
              return std::nullopt;
            }
          }
          values.push_back(value);
        }
      } else {
        std::string value;
        if (!ValueText(node, SWEEP_KEYS[key], kind, false, &value, error)) {
          return std::nullopt;
        }
        values.push_back(value);
      }
    } else if (key_name == "replicates") {
      if (!ReadCount(node, "replicates", 1, MAX_REPLICATES, "a whole number from 1 to 100000", &plan.replicates,
                     error)) {
        return std::nullopt;
      }
      have_replicates = true;
    } else if (key_name == "seed") {
      int64_t seed = 0;
      if (!ReadCount(node, "seed", 0, INT64_MAX, "a whole number from 0 to 9223372036854775807", &seed, error)) {
        return std::nullopt;
      }
      plan.seed = static_cast<uint64_t>(seed);
      have_seed = true;
    } else {
      *error = "unknown key \"" + std::string(key_name) +
               "\" (the keys are network, groups, strategies, generations, connectivity, length, rewiring, "
               "replicates and seed)";
      return std::nullopt;
    }
  }
  if (!have_replicates) {
    *error = "replicates is missing: the number of runs of every parameter point, from 1 to 100000";
    return std::nullopt;
  }
  if (!have_seed) {
    *error = "seed is missing: the sweep's base seed, a whole number from 0 to 9223372036854775807";
    return std::nullopt;
  }

  int64_t point_count = 1;
  for (const std::vector<std::string>& values : plan.values) {
    point_count *= static_cast<int64_t>(values.size());
    if (point_count * plan.replicates > MAX_SWEEP_RUNS) {
      *error = "the sweep has more than " + std::to_string(MAX_SWEEP_RUNS) +
               " runs (parameter points times replicates); split it into several sweeps";
      return std::nullopt;
    }
  }

  // Every point, validated as veldaris-run validates its options.
  std::array<int32_t, SWEEP_KEY_COUNT> at{};
  for (int64_t point = 0; point < point_count; ++point) {
    int64_t rest = point;
    for (int32_t key = SWEEP_KEY_COUNT - 1; key >= 0; --key) {
      const auto size = static_cast<int64_t>(plan.values[key].size());
      at[key] = static_cast<int32_t>(rest % size);
      rest /= size;
    }
    const ParameterTexts texts{plan.values[0][at[0]], plan.values[1][at[1]], plan.values[2][at[2]],
                               plan.values[3][at[3]], plan.values[4][at[4]], plan.values[5][at[5]],
                               plan.values[6][at[6]]};
    std::string why;
    const std::optional<RunParameters> parameters = ValidateRunParameters(texts, ParameterNaming::Key, &why);
    if (!parameters) {
      *error = why;
      if (point_count > 1) {
        *error += " in the point " + PointDescription(plan, at);
      }
      return std::nullopt;
    }
    plan.points.push_back(*parameters);
    plan.point_indices.push_back(at);
    for (int64_t replicate = 0; replicate < plan.replicates; ++replicate) {
      const int64_t run = static_cast<int64_t>(plan.runs.size());
      plan.runs.push_back(PlannedRun{run, point, replicate, SweepRunSeeds(plan.seed, *parameters, replicate)});
    }
  }
  return plan;
}

RunSeeds SweepRunSeeds(uint64_t base_seed, const RunParameters& p, int64_t replicate) {
  const uint64_t words[] = {
      p.network_type == SMALL_WORLD ? 1ULL : 0ULL, static_cast<uint64_t>(p.groups),
      static_cast<uint64_t>(p.strategies),         static_cast<uint64_t>(p.generations),
      static_cast<uint64_t>(p.connectivity),       static_cast<uint64_t>(p.length),
      std::bit_cast<uint64_t>(p.rewiring),         static_cast<uint64_t>(replicate),
  };
  uint64_t h = SplitMix64(base_seed);
  for (const uint64_t w : words) {
    h = SplitMix64(h ^ w);
  }
  return RunSeeds{static_cast<uint32_t>(SplitMix64(h) >> 32), static_cast<uint32_t>(SplitMix64(h + kGolden) >> 32)};
}

std::string ParameterText(const RunParameters& p, int32_t key) {
  switch (key) {
    case 0:
      return NetworkName(p.network_type);
    case 1:
      return std::to_string(p.groups);
    case 2:
      return std::to_string(p.strategies);
    case 3:
      return std::to_string(p.generations);
    case 4:
      return std::to_string(p.connectivity);
    case 5:
      return std::to_string(p.length);
    default:
      return FormatDouble(p.rewiring);
  }
}

std::string PlanRow(const SweepPlan& plan, const PlannedRun& run) {
  const RunParameters& p = plan.points[static_cast<size_t>(run.point)];
  std::string row = std::to_string(run.run) + "," + std::to_string(run.point) + "," + std::to_string(run.replicate);
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    row += ',';
    row += ParameterText(p, key);
  }
  row += ',';
  row += std::to_string(run.seeds.network);
  row += ',';
  row += std::to_string(run.seeds.run);
  return row;
}

std::string PlanCsv(const SweepPlan& plan) {
  std::string csv = std::string(PLAN_HEADER) + "\n";
  for (const PlannedRun& run : plan.runs) {
    csv += PlanRow(plan, run) + "\n";
  }
  return csv;
}

}  // namespace veldaris::cli
