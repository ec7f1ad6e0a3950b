// A sweep file read into its grid of parameter points, their runs and seeds, and plan.csv.
#include "cli/sweep_plan.h"

#include <bit>
#include <cmath>
#include <string>
#include <unordered_map>

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
  switch (PARAMETER_TABLE[static_cast<size_t>(key)].kind) {
    case ParameterKind::Integer:
      return ValueKind::Integer;
    case ParameterKind::Decimal:
      return ValueKind::Number;
    default:
      return ValueKind::Text;
  }
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

// The file's lines, to quote a value as it stands in the file.
class SourceLines {
 public:
  explicit SourceLines(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      const size_t end = text.find('\n', start);
      lines_.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
      if (end == std::string_view::npos) {
        break;
      }
      start = end + 1;
    }
  }

  // The text of a value on one line, from its first to its last column
  // (columns count characters, from 1); empty when the node has no such
  // place.
  std::string Of(const toml::node& node) const {
    const toml::source_region& where = node.source();
    if (where.begin.line == 0 || where.begin.line != where.end.line || where.begin.line > lines_.size()) {
      return std::string();
    }
    const std::string_view line = lines_[where.begin.line - 1];
    const size_t first = ByteOfColumn(line, where.begin.column);
    const size_t last = ByteOfColumn(line, where.end.column);
    if (first >= last || last > line.size()) {
      return std::string();
    }
    std::string_view value = line.substr(first, last - first);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r' ||
                              value.back() == ',' || value.back() == ']' || value.back() == '#')) {
      value.remove_suffix(1);
    }
    return std::string(value);
  }

 private:
  static size_t ByteOfColumn(std::string_view line, size_t column) {
    size_t byte = 0;
    for (size_t c = 1; c < column && byte < line.size(); ++c) {
      ++byte;
      while (byte < line.size() && (static_cast<unsigned char>(line[byte]) & 0xC0U) == 0x80U) {
        ++byte;
      }
    }
    return byte;
  }

  std::vector<std::string_view> lines_;
};

// What a node is, for a message: "the string \"50\"", "the number 200.0" (as
// it stands in the file), ...
std::string Describe(const toml::node& node, const SourceLines& source) {
  if (const auto* s = node.as_string()) {
    return "the string \"" + EscapedForMessage(s->get()) + "\"";
  }
  const std::string typed = source.Of(node);
  if (const auto* i = node.as_integer()) {
    return "the integer " + (typed.empty() ? std::to_string(i->get()) : EscapedForMessage(typed));
  }
  if (const auto* f = node.as_floating_point()) {
    return "the number " + (typed.empty() ? FloatText(f->get()) : EscapedForMessage(typed));
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

// One value of key as text, unless it has the wrong type.
Outcome<std::string> ValueText(const toml::node& node, const char* key, ValueKind kind, bool in_array,
                               const SourceLines& source) {
  const bool fits = (kind == ValueKind::Text && node.is_string()) || (kind != ValueKind::Text && node.is_integer()) ||
                    (kind == ValueKind::Number && node.is_floating_point());
  if (!fits) {
    return Failure::Usage(std::string(key) + " must be " + Expected(kind) + " or an array of them (got " +
                          Describe(node, source) + (in_array ? " in its array)" : ")"));
  }
  if (node.is_string()) {
    return std::string(node.as_string()->get());
  }
  return node.is_integer() ? std::to_string(node.as_integer()->get()) : FloatText(node.as_floating_point()->get());
}

// A scalar whole number of key in lo..hi.
Outcome<int64_t> ReadCount(const toml::node& node, const char* key, int64_t lo, int64_t hi, const std::string& allowed,
                           const SourceLines& source) {
  if (!node.is_integer()) {
    return Failure::Usage(std::string(key) + " must be " + allowed + " (got " + Describe(node, source) + ")");
  }
  const int64_t v = node.as_integer()->get();
  if (v < lo || v > hi) {
    const std::string typed = source.Of(node);
    return Failure::Usage(RefusalMessage(key, allowed, typed.empty() ? std::to_string(v) : typed));
  }
  return v;
}

// The values of the file's keys as they stand in the file, looked up only
// for a message (finding a value's place in a long line takes time).
class TypedValues {
 public:
  TypedValues(const SourceLines& source, const SweepPlan& plan) : source_(source), plan_(plan) {}

  std::vector<const toml::node*>& NodesOf(int32_t key) { return nodes_[static_cast<size_t>(key)]; }

  // Value i of key as typed (as the plan holds it when not from the file).
  std::string Text(int32_t key, size_t i) const {
    const std::vector<const toml::node*>& nodes = nodes_[static_cast<size_t>(key)];
    // A string is quoted as its value; a number as it stands in the file.
    std::string typed =
        i < nodes.size() && nodes[i] != nullptr && !nodes[i]->is_string() ? source_.Of(*nodes[i]) : std::string();
    return typed.empty() ? plan_.values[static_cast<size_t>(key)][i] : typed;
  }

 private:
  const SourceLines& source_;
  const SweepPlan& plan_;
  std::array<std::vector<const toml::node*>, SWEEP_KEY_COUNT> nodes_;
};

std::string PointDescription(const SweepPlan& plan, const std::array<int32_t, SWEEP_KEY_COUNT>& at,
                             const TypedValues& typed) {
  std::string text;
  for (const int32_t key : plan.VaryingKeys()) {
    text += text.empty() ? "" : ", ";
    text += std::string(SWEEP_KEYS[key]) + " = " + EscapedForMessage(typed.Text(key, static_cast<size_t>(at[key])));
  }
  return text;
}

// The values of one key from its node (one value or an array).
Status ReadKeyValues(const toml::node& node, int32_t key, const SourceLines& source, std::vector<std::string>& values,
                     TypedValues& typed) {
  const char* name = SWEEP_KEYS[key];
  const ValueKind kind = KindOf(key);
  std::vector<const toml::node*>& nodes = typed.NodesOf(key);
  values.clear();
  nodes.clear();
  const toml::array* array = node.as_array();
  if (array == nullptr) {
    const Outcome<std::string> value = ValueText(node, name, kind, false, source);
    if (!value.ok()) {
      return value.failure();
    }
    values.push_back(value.value());
    nodes.push_back(&node);
    return {};
  }
  if (array->empty()) {
    return Failure::Usage(std::string(name) + " must be " + Expected(kind) +
                          " or a non-empty array of them (got an empty array)");
  }
  std::unordered_map<std::string, size_t> seen;
  seen.reserve(array->size());
  for (const toml::node& element : *array) {
    const Outcome<std::string> value = ValueText(element, name, kind, true, source);
    if (!value.ok()) {
      return value.failure();
    }
    values.push_back(value.value());
    nodes.push_back(&element);
    if (const auto [at, inserted] = seen.emplace(value.value(), values.size() - 1); !inserted) {
      const std::string earlier = typed.Text(key, at->second);
      const std::string again = typed.Text(key, values.size() - 1);
      return Failure::Usage(std::string(name) + " lists " + EscapedForMessage(earlier) +
                            (earlier == again ? " twice" : " and " + EscapedForMessage(again) + ", the same value,") +
                            ": the values of an array must differ");
    }
  }
  return {};
}

// The rewiring values are stored as truncated percentages: refuses values
// that would run as a probability other than the one they are labelled with
// in a way that matters: above 0 but stored as 0 %, or two values stored as
// the same percentage.
Status CheckRewiringValues(const std::vector<std::string>& values, const TypedValues& typed) {
  const auto key = static_cast<int32_t>(ParameterId::Rewiring);
  std::unordered_map<int32_t, size_t> by_percent;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::optional<double> probability = ParseProbability(values[i]);
    if (!probability || !(*probability >= 0.0 && *probability <= 1.0)) {
      continue;  // refused with its own message when the points are checked
    }
    const int32_t percent = RewiringPercentFromProbability(*probability);
    if (percent == 0 && *probability > 0.0) {
      return Failure::Usage("rewiring = " + EscapedForMessage(typed.Text(key, i)) +
                            " is stored as 0 % (rewiring is a truncated percentage, as the window stores it); give "
                            "rewiring_probability for a probability below 0.01 or between whole percentages");
    }
    if (const auto [at, inserted] = by_percent.emplace(percent, i); !inserted) {
      return Failure::Usage("rewiring lists " + EscapedForMessage(typed.Text(key, at->second)) + " and " +
                            EscapedForMessage(typed.Text(key, i)) + ", which are both stored as " +
                            std::to_string(percent) +
                            " % (rewiring is a truncated percentage, as the window stores it); give "
                            "rewiring_probability for exact probabilities");
    }
  }
  return {};
}

// The number of points of the grid, scale-free points counted once whatever
// the rewiring; as a double, since only its size against the limit matters.
double PointCount(const SweepPlan& plan) {
  double others = 1.0;
  double rewirings = 1.0;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    const auto size = static_cast<double>(plan.values[key].size());
    const auto id = static_cast<ParameterId>(key);
    if (id == ParameterId::Rewiring || id == ParameterId::RewiringProbability) {
      rewirings *= size;
    } else if (id != ParameterId::Network) {
      others *= size;
    }
  }
  double networks = 0.0;
  for (const std::string& network : plan.values[static_cast<size_t>(ParameterId::Network)]) {
    networks += network == "scale-free" ? 1.0 : rewirings;
  }
  return others * networks;
}

bool IsScaleFreeRepeat(const SweepPlan& plan, const std::array<int32_t, SWEEP_KEY_COUNT>& at) {
  const auto network = static_cast<size_t>(ParameterId::Network);
  return plan.values[network][static_cast<size_t>(at[network])] == "scale-free" &&
         (at[static_cast<size_t>(ParameterId::Rewiring)] != 0 ||
          at[static_cast<size_t>(ParameterId::RewiringProbability)] != 0);
}

}  // namespace

const std::array<const char*, SWEEP_KEY_COUNT> SWEEP_KEYS = [] {
  std::array<const char*, SWEEP_KEY_COUNT> keys{};
  for (size_t k = 0; k < keys.size(); ++k) {
    keys[k] = PARAMETER_TABLE[k].name;
  }
  return keys;
}();

std::vector<int32_t> SweepPlan::VaryingKeys() const {
  std::vector<int32_t> keys;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (values[key].size() > 1) {
      keys.push_back(key);
    }
  }
  return keys;
}

std::vector<ParameterId> SweepPlan::Columns() const {
  std::vector<ParameterId> columns;
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    if (key < ORIGINAL_PARAMETER_COUNT || given[static_cast<size_t>(key)]) {
      columns.push_back(static_cast<ParameterId>(key));
    }
  }
  return columns;
}

Outcome<SweepPlan> ParseSweepFile(std::string_view text, const std::string& file_name, const NetworkLoader& loader,
                                  int64_t max_runs) {
  toml::table table;
  const std::string safe = SafeForParser(text);
  try {
    table = toml::parse(safe, file_name);
  } catch (const toml::parse_error& e) {
    return Failure::Usage("line " + std::to_string(e.source().begin.line) + ", column " +
                          std::to_string(e.source().begin.column) + ": " + EscapedForMessage(e.description()));
  }
  const SourceLines source(safe);

  SweepPlan plan;
  TypedValues typed(source, plan);
  for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
    plan.values[key] = {PARAMETER_TABLE[static_cast<size_t>(key)].default_text};
  }
  bool have_replicates = false;
  bool have_seed = false;
  for (const auto& [name, node] : table) {
    const std::string_view key_name = name.str();
    if (const std::optional<ParameterId> id = ParameterNamed(key_name)) {
      const auto key = static_cast<int32_t>(*id);
      if (Status read = ReadKeyValues(node, key, source, plan.values[key], typed); !read.ok()) {
        return read.failure();
      }
      plan.given[static_cast<size_t>(key)] = true;
    } else if (key_name == "replicates") {
      const Outcome<int64_t> replicates =
          ReadCount(node, "replicates", 1, MAX_REPLICATES, "a whole number from 1 to 100000", source);
      if (!replicates.ok()) {
        return replicates.failure();
      }
      plan.replicates = replicates.value();
      have_replicates = true;
    } else if (key_name == "seed") {
      const Outcome<int64_t> seed =
          ReadCount(node, "seed", 0, INT64_MAX, "a whole number from 0 to 9223372036854775807", source);
      if (!seed.ok()) {
        return seed.failure();
      }
      plan.seed = static_cast<uint64_t>(seed.value());
      have_seed = true;
    } else {
      std::string keys;
      for (const char* known : SWEEP_KEYS) {
        keys += std::string(known) + ", ";
      }
      return Failure::Usage("unknown key \"" + EscapedForMessage(key_name) + "\" (the keys are " + keys +
                            "replicates and seed)");
    }
  }
  if (!have_replicates) {
    return Failure::Usage("replicates is missing: the number of runs of every parameter point, from 1 to 100000");
  }
  if (!have_seed) {
    return Failure::Usage("seed is missing: the sweep's base seed, a whole number from 0 to 9223372036854775807");
  }
  const auto rewiring = static_cast<size_t>(ParameterId::Rewiring);
  if (plan.given[rewiring]) {
    if (Status checked = CheckRewiringValues(plan.values[rewiring], typed); !checked.ok()) {
      return checked.failure();
    }
  }
  if (PointCount(plan) * static_cast<double>(plan.replicates) > static_cast<double>(max_runs)) {
    return Failure::Usage("the sweep has more than " + std::to_string(max_runs) +
                          " runs (parameter points times replicates); split it into several sweeps");
  }

  // Each network file is read once, whatever the number of points using it.
  std::unordered_map<std::string, Outcome<std::shared_ptr<const LoadedNetwork>>> networks;
  const NetworkLoader once = [&](const std::string& path) {
    auto at = networks.find(path);
    if (at == networks.end()) {
      at = networks.emplace(path, loader ? loader(path) : LoadNetworkFile(path)).first;
    }
    return at->second;
  };

  // Every point, validated as veldaris-run validates its options.
  int64_t point_count = 1;
  for (const std::vector<std::string>& values : plan.values) {
    point_count *= static_cast<int64_t>(values.size());
  }
  std::array<int32_t, SWEEP_KEY_COUNT> at{};
  for (int64_t grid_point = 0; grid_point < point_count; ++grid_point) {
    int64_t rest = grid_point;
    for (int32_t key = SWEEP_KEY_COUNT - 1; key >= 0; --key) {
      const auto size = static_cast<int64_t>(plan.values[key].size());
      at[key] = static_cast<int32_t>(rest % size);
      rest /= size;
    }
    if (IsScaleFreeRepeat(plan, at)) {
      continue;
    }
    ParameterTexts texts;
    for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
      if (plan.given[static_cast<size_t>(key)]) {
        texts.text[static_cast<size_t>(key)] = plan.values[key][at[key]];
      }
    }
    const Outcome<RunParameters> parameters = ValidateRunParameters(texts, ParameterNaming::Key, once);
    if (!parameters.ok()) {
      // Again, for the message, with the values as typed.
      ParameterTexts shown;
      for (int32_t key = 0; key < SWEEP_KEY_COUNT; ++key) {
        if (plan.given[static_cast<size_t>(key)]) {
          shown.text[static_cast<size_t>(key)] = typed.Text(key, static_cast<size_t>(at[key]));
        }
      }
      std::string why = ValidateRunParameters(texts, ParameterNaming::Key, once, &shown).failure().Message();
      if (point_count > 1) {
        why += " in the point " + PointDescription(plan, at, typed);
      }
      return Failure::Usage(why);
    }
    const int64_t point = static_cast<int64_t>(plan.points.size());
    plan.points.push_back(parameters.value());
    plan.point_indices.push_back(at);
    for (int64_t replicate = 0; replicate < plan.replicates; ++replicate) {
      const int64_t run = static_cast<int64_t>(plan.runs.size());
      plan.runs.push_back(PlannedRun{run, point, replicate, SweepRunSeeds(plan.seed, parameters.value(), replicate)});
    }
  }
  return plan;
}

RunSeeds SweepRunSeeds(uint64_t base_seed, const RunParameters& p, int64_t replicate) {
  uint64_t h = SplitMix64(base_seed);
  for (const uint64_t w : SeedIdentityWords(p)) {
    h = SplitMix64(h ^ w);
  }
  h = SplitMix64(h ^ static_cast<uint64_t>(replicate));
  return RunSeeds{static_cast<uint32_t>(SplitMix64(h) >> 32), static_cast<uint32_t>(SplitMix64(h + kGolden) >> 32)};
}

std::string ParameterColumnsHeader(const SweepPlan& plan) {
  std::string header;
  for (const ParameterId id : plan.Columns()) {
    header += header.empty() ? "" : ",";
    header += RowOf(id).name;
    if (id == ParameterId::Rewiring) {
      header += ",rewiring_percent";
    } else if (id == ParameterId::NetworkFrom) {
      header += ",network_sha256";
    }
  }
  return header;
}

// A field of a CSV row: quoted when it holds a comma, a quote or a line end.
static std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + "\"";
}

std::string ParameterColumns(const SweepPlan& plan, const RunParameters& p) {
  std::string row;
  bool first = true;
  for (const ParameterId id : plan.Columns()) {
    row += first ? "" : ",";
    first = false;
    row += CsvField(ParameterText(p, id));
    if (id == ParameterId::Rewiring) {
      row += ',';
      if (p.network != NetworkType::FromFile && !p.rewiring_probability) {
        row += std::to_string(p.rewiring_percent);
      }
    } else if (id == ParameterId::NetworkFrom) {
      row += ',';
      row += p.network_from ? p.network_from->sha256 : std::string();
    }
  }
  return row;
}

std::string PlanHeader(const SweepPlan& plan) {
  return "run,point,replicate," + ParameterColumnsHeader(plan) + ",network_seed,run_seed";
}

std::string PlanRow(const SweepPlan& plan, const PlannedRun& run) {
  const RunParameters& p = plan.points[static_cast<size_t>(run.point)];
  std::string row = std::to_string(run.run) + "," + std::to_string(run.point) + "," + std::to_string(run.replicate);
  row += ',';
  row += ParameterColumns(plan, p);
  row += ',';
  row += std::to_string(run.seeds.network);
  row += ',';
  row += std::to_string(run.seeds.run);
  return row;
}

std::string PlanCsv(const SweepPlan& plan) {
  std::string csv = PlanHeader(plan) + "\n";
  for (const PlannedRun& run : plan.runs) {
    csv += PlanRow(plan, run) + "\n";
  }
  return csv;
}

}  // namespace veldaris::cli
