// The table of run parameters, their readers and the one validation of a run's parameters.
#include "cli/parameter_table.h"

#include <bit>
#include <cmath>
#include <filesystem>

#include "cli/network_import.h"
#include "cli/path_text.h"
#include "cli/program_support.h"
#include "io/sha256.h"

namespace veldaris::cli {

namespace {

constexpr int64_t kPayoffLimit = 1000LL * 1000;  // 1000 in thousandths
constexpr int64_t kMillion = 1000000;

// What is validated: the texts, how they were typed where that differs
// (a sweep file's values), and how messages name the parameters.
struct Input {
  const ParameterTexts& texts;
  const ParameterTexts* shown;
  ParameterNaming naming;
};

std::string Text(const ParameterTexts& texts, ParameterId id) {
  const std::optional<std::string>& given = texts[id];
  return given ? *given : std::string(RowOf(id).default_text);
}

// The refusal of parameter id's value, quoted as typed.
std::string Refusal(const Input& in, ParameterId id, std::string_view allowed) {
  const ParameterTexts& typed = in.shown != nullptr && (*in.shown)[id] ? *in.shown : in.texts;
  return RefusalMessage(NameOf(id, in.naming), allowed, Text(typed, id));
}

// Reads one whole-number parameter in lo..hi that is a multiple of step.
Outcome<int32_t> ReadInteger(const Input& in, ParameterId id, int64_t lo, int64_t hi, int64_t step,
                             const std::string& allowed) {
  const std::string text = Text(in.texts, id);
  const std::optional<uint64_t> value = ParseDecimal(text, static_cast<uint64_t>(hi));
  if (!value || static_cast<int64_t>(*value) < lo || static_cast<int64_t>(*value) % step != 0) {
    return Failure::Usage(Refusal(in, id, allowed));
  }
  return static_cast<int32_t>(*value);
}

Outcome<FixedDecimal> ReadDecimal(const Input& in, ParameterId id, int32_t places, int64_t lo, int64_t hi) {
  const std::string text = Text(in.texts, id);
  const std::optional<FixedDecimal> value = ParseFixedDecimal(text, places, hi > -lo ? hi : -lo);
  if (!value || value->value < lo || value->value > hi) {
    return Failure::Usage(Refusal(in, id, RowOf(id).allowed));
  }
  return *value;
}

// The parameters a network file fixes, which may not be given beside it.
constexpr ParameterId kFixedByNetworkFile[] = {ParameterId::Network, ParameterId::Groups, ParameterId::Connectivity,
                                               ParameterId::Rewiring, ParameterId::RewiringProbability};

Status CheckExclusions(const Input& in) {
  const ParameterTexts& texts = in.texts;
  const ParameterNaming naming = in.naming;
  if (texts[ParameterId::NetworkFrom]) {
    for (const ParameterId id : kFixedByNetworkFile) {
      if (texts[id]) {
        return Failure::Usage(NameOf(id, naming) + " cannot be given with " + NameOf(ParameterId::NetworkFrom, naming) +
                              ": the network file fixes the network");
      }
    }
  }
  if (texts[ParameterId::Rewiring] && texts[ParameterId::RewiringProbability]) {
    return Failure::Usage(
        NameOf(ParameterId::Rewiring, naming) + " and " + NameOf(ParameterId::RewiringProbability, naming) +
        " cannot both be given: " + NameOf(ParameterId::Rewiring, naming) + " is stored as a truncated percentage, " +
        NameOf(ParameterId::RewiringProbability, naming) + " exactly");
  }
  return {};
}

// The network part: the type, N, K and the rewiring, or the network file.
Status ReadNetwork(const Input& in, const NetworkLoader& loader, RunParameters& p) {
  if (const std::optional<std::string>& path = in.texts[ParameterId::NetworkFrom]) {
    const Outcome<std::shared_ptr<const LoadedNetwork>> loaded = loader ? loader(*path) : LoadNetworkFile(*path);
    if (!loaded.ok()) {
      return Failure::Usage(NameOf(ParameterId::NetworkFrom, in.naming), loaded.failure().Message());
    }
    p.network_from = loaded.value();
    p.network = NetworkType::FromFile;
    p.groups = p.network_from->groups;
    p.connectivity = 0;
    return {};
  }
  const std::string network = Text(in.texts, ParameterId::Network);
  if (network == "small-world" || network == "scale-free") {
    p.network = network == "small-world" ? NetworkType::SmallWorld : NetworkType::ScaleFree;
  } else {
    return Failure::Usage(Refusal(in, ParameterId::Network, RowOf(ParameterId::Network).allowed));
  }
  const auto groups = ReadInteger(in, ParameterId::Groups, 3, MAX_GROUPS, 1, RowOf(ParameterId::Groups).allowed);
  if (!groups.ok()) {
    return groups.failure();
  }
  p.groups = groups.value();
  return {};
}

Status ReadConnectivity(const Input& in, RunParameters& p) {
  if (p.network == NetworkType::FromFile) {
    return {};
  }
  const std::string allowed = "an even number from 2 to " + NameOf(ParameterId::Groups, in.naming) + " - 1 (" +
                              std::to_string(p.groups - 1) + " here)";
  const auto connectivity = ReadInteger(in, ParameterId::Connectivity, 2, p.groups - 1, 2, allowed);
  if (!connectivity.ok()) {
    return connectivity.failure();
  }
  p.connectivity = connectivity.value();
  return {};
}

Status ReadRewiring(const Input& in, RunParameters& p) {
  if (p.network == NetworkType::FromFile) {
    return {};
  }
  if (in.texts[ParameterId::RewiringProbability]) {
    const auto exact = ReadDecimal(in, ParameterId::RewiringProbability, PROBABILITY_PLACES, 0, kMillion);
    if (!exact.ok()) {
      return exact.failure();
    }
    p.rewiring_probability = exact.value();
    return {};
  }
  // Converted as the parameter dialog converts it: x * 100.0 truncated; the
  // value as typed must lie in 0..1.0 too.
  const std::string text = Text(in.texts, ParameterId::Rewiring);
  const std::optional<double> probability = ParseProbability(text);
  if (!probability || !(*probability >= 0.0 && *probability <= 1.0)) {
    return Failure::Usage(Refusal(in, ParameterId::Rewiring, RowOf(ParameterId::Rewiring).allowed));
  }
  p.rewiring = *probability;
  p.rewiring_percent = RewiringPercentFromProbability(*probability);
  return {};
}

int64_t Power10(int32_t n) {
  int64_t value = 1;
  for (int32_t i = 0; i < n; ++i) {
    value *= 10;
  }
  return value;
}

// The 32 bytes of a SHA-256 in hex as four words.
void DigestWords(const std::string& hex, uint64_t words[4]) {
  for (int32_t w = 0; w < 4; ++w) {
    uint64_t word = 0;
    for (int32_t k = 0; k < 16; ++k) {
      const char c = hex[static_cast<size_t>(16 * w + k)];
      word = (word << 4) | static_cast<uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    words[w] = word;
  }
}

// Seed words of the parameters added after the original seven, for the
// parameters with other than their default values: a tag naming the
// parameter, then its value.
void AddedSeedWords(const RunParameters& p, std::vector<uint64_t>& words) {
  for (int32_t k = ORIGINAL_PARAMETER_COUNT; k < PARAMETER_COUNT; ++k) {
    const auto id = static_cast<ParameterId>(k);
    if (p.IsDefault(id)) {
      continue;
    }
    words.push_back(0x100U + static_cast<uint64_t>(k));
    if (id == ParameterId::NetworkFrom) {
      uint64_t digest[4];
      DigestWords(p.network_from->sha256, digest);
      words.insert(words.end(), digest, digest + 4);
    } else if (id == ParameterId::Mutation) {
      words.push_back(static_cast<uint64_t>(p.mutation.value));
    } else if (id == ParameterId::RewiringProbability) {
      words.push_back(static_cast<uint64_t>(p.rewiring_probability->value));
    } else {
      const auto payoff = static_cast<size_t>(k - static_cast<int32_t>(ParameterId::Temptation));
      words.push_back(static_cast<uint64_t>(p.payoffs[payoff].value));
    }
  }
}

}  // namespace

const std::array<ParameterRow, PARAMETER_COUNT> PARAMETER_TABLE = {{
    {ParameterId::Network, "network", "--network", ParameterKind::Choice, "small-world", "Network type",
     "small-world or scale-free"},
    {ParameterId::Groups, "groups", "--groups", ParameterKind::Integer, "50", "Number of groups N",
     "a whole number from 3 to 500"},
    {ParameterId::Strategies, "strategies", "--strategies", ParameterKind::Integer, "8", "Strategies per group S",
     "a whole number from 1 to 32"},
    {ParameterId::Generations, "generations", "--generations", ParameterKind::Integer, "1000", "Generations G",
     "a multiple of 10 from 10 to 10000"},
    {ParameterId::Connectivity, "connectivity", "--connectivity", ParameterKind::Integer, "8", "Average connectivity K",
     "an even number from 2 to N - 1"},
    {ParameterId::Length, "length", "--length", ParameterKind::Integer, "10", "Moves per strategy L",
     "a whole number from 4 to 100"},
    {ParameterId::Rewiring, "rewiring", "--rewiring", ParameterKind::Decimal, "0",
     "Rewiring probability of the small world, stored as a truncated percentage as the window stores it "
     "(0.29 gives 28 %)",
     "a probability from 0 to 1.0"},
    {ParameterId::Temptation, "temptation", "--temptation", ParameterKind::Decimal, "5",
     "Payoff T of defecting against a cooperator", "a number from -1000 to 1000 with at most 3 decimal places"},
    {ParameterId::Reward, "reward", "--reward", ParameterKind::Decimal, "3", "Payoff R of mutual cooperation",
     "a number from -1000 to 1000 with at most 3 decimal places"},
    {ParameterId::Punishment, "punishment", "--punishment", ParameterKind::Decimal, "1", "Payoff P of mutual defection",
     "a number from -1000 to 1000 with at most 3 decimal places"},
    {ParameterId::Sucker, "sucker", "--sucker", ParameterKind::Decimal, "0",
     "Payoff S of cooperating against a defector", "a number from -1000 to 1000 with at most 3 decimal places"},
    {ParameterId::Mutation, "mutation", "--mutation", ParameterKind::Decimal, "0.001",
     "Probability that a copied move flips", "a probability from 0 to 1 with at most 6 decimal places"},
    {ParameterId::RewiringProbability, "rewiring_probability", "--rewiring-probability", ParameterKind::Decimal, "",
     "Exact rewiring probability of the small world, instead of --rewiring",
     "a probability from 0 to 1 with at most 6 decimal places"},
    {ParameterId::NetworkFrom, "network_from", "--network-from", ParameterKind::Path, "",
     "Play on the network in this .graphml or .csv file (as --network-file writes them) instead of building one",
     "a .graphml or .csv network file"},
}};

std::optional<ParameterId> ParameterNamed(std::string_view name) {
  for (const ParameterRow& row : PARAMETER_TABLE) {
    if (name == row.name) {
      return row.id;
    }
  }
  return std::nullopt;
}

std::string NameOf(ParameterId id, ParameterNaming naming) {
  return naming == ParameterNaming::Option ? RowOf(id).option : RowOf(id).name;
}

bool RunParameters::IsDefault(ParameterId id) const {
  const RunParameters defaults;
  switch (id) {
    case ParameterId::Temptation:
    case ParameterId::Reward:
    case ParameterId::Punishment:
    case ParameterId::Sucker: {
      const auto k = static_cast<size_t>(static_cast<int32_t>(id) - static_cast<int32_t>(ParameterId::Temptation));
      return payoffs[k].value == defaults.payoffs[k].value;
    }
    case ParameterId::Mutation:
      return mutation.value == defaults.mutation.value;
    case ParameterId::RewiringProbability:
      return !rewiring_probability;
    case ParameterId::NetworkFrom:
      return !network_from;
    default:
      return ParameterText(*this, id) == ParameterText(defaults, id);
  }
}

ParameterChoice RunParameters::Choice() const {
  ParameterChoice c{};
  c.network_type = network == NetworkType::ScaleFree  ? SCALE_FREE
                   : network == NetworkType::FromFile ? GIVEN_LINKS
                                                      : SMALL_WORLD;
  c.group_count = groups;
  c.strategy_count = strategies;
  c.generation_count = generations;
  c.connectivity = connectivity;
  c.strategy_length = length;
  c.rewiring_probability = rewiring;
  int32_t places = 0;
  for (const FixedDecimal& payoff : payoffs) {
    places = payoff.places > places ? payoff.places : places;
  }
  const int64_t scale = Power10(PAYOFF_PLACES - places);
  c.payoffs = Payoffs{static_cast<int32_t>(payoffs[0].value / scale), static_cast<int32_t>(payoffs[1].value / scale),
                      static_cast<int32_t>(payoffs[2].value / scale), static_cast<int32_t>(payoffs[3].value / scale)};
  c.mutation_per_million = static_cast<int32_t>(mutation.value);
  c.rewiring_per_million = rewiring_probability ? static_cast<int32_t>(rewiring_probability->value) : -1;
  return c;
}

std::string ParameterText(const RunParameters& p, ParameterId id) {
  const bool from_file = p.network == NetworkType::FromFile;
  switch (id) {
    case ParameterId::Network:
      return from_file ? "file" : p.network == NetworkType::ScaleFree ? "scale-free" : "small-world";
    case ParameterId::Groups:
      return std::to_string(p.groups);
    case ParameterId::Strategies:
      return std::to_string(p.strategies);
    case ParameterId::Generations:
      return std::to_string(p.generations);
    case ParameterId::Connectivity:
      return from_file ? std::string() : std::to_string(p.connectivity);
    case ParameterId::Length:
      return std::to_string(p.length);
    case ParameterId::Rewiring:
      return from_file || p.rewiring_probability ? std::string() : FormatDouble(p.rewiring);
    case ParameterId::Temptation:
    case ParameterId::Reward:
    case ParameterId::Punishment:
    case ParameterId::Sucker:
      return FixedDecimalText(
          p.payoffs[static_cast<size_t>(static_cast<int32_t>(id) - static_cast<int32_t>(ParameterId::Temptation))]
              .value,
          PAYOFF_PLACES);
    case ParameterId::Mutation:
      return FixedDecimalText(p.mutation.value, PROBABILITY_PLACES);
    case ParameterId::RewiringProbability:
      return p.rewiring_probability ? FixedDecimalText(p.rewiring_probability->value, PROBABILITY_PLACES)
                                    : std::string();
    case ParameterId::NetworkFrom:
      return p.network_from ? p.network_from->path : std::string();
  }
  return std::string();
}

std::string RewiringUsedText(const RunParameters& p) {
  if (p.network == NetworkType::FromFile) {
    return std::string();
  }
  return p.rewiring_probability ? FixedDecimalText(p.rewiring_probability->value, PROBABILITY_PLACES)
                                : FixedDecimalText(p.rewiring_percent, 2);
}

Outcome<std::shared_ptr<const LoadedNetwork>> LoadNetworkFile(const std::string& path) {
  // A network of 500 groups is a few megabytes in either format; a device or
  // a huge file is not read at all.
  constexpr uintmax_t kLargest = 64U << 20;
  std::error_code ec;
  const std::filesystem::path file = PathOfText(path);
  if (!std::filesystem::is_regular_file(file, ec) || std::filesystem::file_size(file, ec) > kLargest || ec) {
    const bool exists = std::filesystem::exists(file, ec);
    std::string message(1, '"');
    message += EscapedForMessage(path);
    message += exists ? "\" is not a regular file of at most 64 MB" : "\" is not an existing file";
    return Failure::Usage(std::move(message));
  }
  const Outcome<std::string> bytes = ReadWholeFile(PathOfText(path));
  if (!bytes.ok()) {
    return Failure::Usage("cannot read \"" + EscapedForMessage(path) + "\"", bytes.failure().why);
  }
  const Outcome<NetworkLinks> links = ParseNetworkText(bytes.value(), path);
  if (!links.ok()) {
    return links.failure();
  }
  auto network = std::make_shared<LoadedNetwork>();
  network->path = path;
  Sha256 hash;
  Sha256Init(hash);
  Sha256Update(hash, bytes.value().data(), bytes.value().size());
  uint8_t digest[SHA256_DIGEST_SIZE];
  Sha256Final(hash, digest);
  char hex[SHA256_HEX_SIZE];
  Sha256Hex(digest, hex);
  network->sha256 = hex;
  network->groups = links.value().groups;
  network->links = links.value().links;
  network->bytes = bytes.value();
  return std::shared_ptr<const LoadedNetwork>(std::move(network));
}

Outcome<RunParameters> ValidateRunParameters(const ParameterTexts& texts, ParameterNaming naming,
                                             const NetworkLoader& loader, const ParameterTexts* shown) {
  const Input in{texts, shown, naming};
  RunParameters p;
  if (const Status excluded = CheckExclusions(in); !excluded.ok()) {
    return excluded.failure();
  }
  if (const Status read = ReadNetwork(in, loader, p); !read.ok()) {
    return read.failure();
  }
  const auto strategies =
      ReadInteger(in, ParameterId::Strategies, 1, MAX_STRATEGIES, 1, RowOf(ParameterId::Strategies).allowed);
  if (!strategies.ok()) {
    return strategies.failure();
  }
  const auto generations = ReadInteger(in, ParameterId::Generations, BATCH_GENERATIONS, MAX_GENERATIONS,
                                       BATCH_GENERATIONS, RowOf(ParameterId::Generations).allowed);
  if (!generations.ok()) {
    return generations.failure();
  }
  if (const Status read = ReadConnectivity(in, p); !read.ok()) {
    return read.failure();
  }
  const auto length = ReadInteger(in, ParameterId::Length, 4, MAX_MOVES, 1, RowOf(ParameterId::Length).allowed);
  if (!length.ok()) {
    return length.failure();
  }
  if (const Status read = ReadRewiring(in, p); !read.ok()) {
    return read.failure();
  }
  p.strategies = strategies.value();
  p.generations = generations.value();
  p.length = length.value();
  for (int32_t k = 0; k < 4; ++k) {
    const auto id = static_cast<ParameterId>(static_cast<int32_t>(ParameterId::Temptation) + k);
    const auto payoff = ReadDecimal(in, id, PAYOFF_PLACES, -kPayoffLimit, kPayoffLimit);
    if (!payoff.ok()) {
      return payoff.failure();
    }
    p.payoffs[static_cast<size_t>(k)] = payoff.value();
  }
  const auto mutation = ReadDecimal(in, ParameterId::Mutation, PROBABILITY_PLACES, 0, kMillion);
  if (!mutation.ok()) {
    return mutation.failure();
  }
  p.mutation = mutation.value();
  return p;
}

std::optional<FixedDecimal> ParseFixedDecimal(std::string_view text, int32_t places, int64_t limit) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    i = 1;
  }
  int64_t value = 0;
  int32_t integer_digits = 0;
  int32_t fraction_digits = 0;
  int32_t places_used = 0;
  bool in_fraction = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !in_fraction) {
      in_fraction = true;
      continue;
    }
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    if (in_fraction) {
      ++fraction_digits;
      if (c != '0') {
        places_used = fraction_digits;
      }
      if (fraction_digits > places) {
        if (c != '0') {
          return std::nullopt;  // more decimal places than allowed
        }
        continue;
      }
    } else {
      ++integer_digits;
    }
    value = value * 10 + (c - '0');
    if (value > limit * 10) {
      return std::nullopt;  // far beyond the limit, however the fraction goes on
    }
  }
  if (integer_digits + fraction_digits == 0) {
    return std::nullopt;
  }
  for (int32_t k = fraction_digits; k < places; ++k) {
    value *= 10;
    if (value > limit) {
      return std::nullopt;
    }
  }
  if (value > limit) {
    return std::nullopt;
  }
  return FixedDecimal{negative ? -value : value, places_used};
}

std::string FixedDecimalText(int64_t value, int32_t places) {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const auto scale = static_cast<uint64_t>(Power10(places));
  std::string text;
  if (negative) {
    text += '-';
  }
  text += std::to_string(magnitude / scale);
  uint64_t fraction = magnitude % scale;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, static_cast<size_t>(places) - digits.size(), '0');
    while (!digits.empty() && digits.back() == '0') {
      digits.pop_back();
    }
    text += '.';
    text += digits;
  }
  return text;
}

std::string RewiringTruncationNote(const RunParameters& p, std::string_view typed) {
  if (p.network == NetworkType::FromFile || p.rewiring_probability ||
      static_cast<double>(p.rewiring_percent) / 100.0 == p.rewiring) {
    return std::string();
  }
  return "note: --rewiring " + EscapedForMessage(typed) + " is stored as " + std::to_string(p.rewiring_percent) +
         " % (the truncated percentage, as the window stores it); --rewiring-probability " + EscapedForMessage(typed) +
         " uses the probability exactly";
}

std::vector<uint64_t> SeedIdentityWords(const RunParameters& p) {
  std::vector<uint64_t> words = {
      p.network == NetworkType::SmallWorld  ? 1ULL
      : p.network == NetworkType::ScaleFree ? 0ULL
                                            : 2ULL,
      static_cast<uint64_t>(p.groups),
      static_cast<uint64_t>(p.strategies),
      static_cast<uint64_t>(p.generations),
      static_cast<uint64_t>(p.connectivity),
      static_cast<uint64_t>(p.length),
      std::bit_cast<uint64_t>(p.rewiring),
  };
  AddedSeedWords(p, words);
  return words;
}

}  // namespace veldaris::cli
