// Every parameter of a run, defined once: its name (the sweep key, the key in
// run.json, the summary column and the Python keyword; the option is the same
// with "--" and "-" for "_"), its kind, default, bounds, help text and
// message, and whether it enters a sweep run's seed identity. veldaris-run's
// options and their help, the validation and its messages, the sweep file's
// keys, the plan and summary columns, run.json and the Python module's
// keywords are all made from this table; a new parameter is one row here, its
// reader in parameter_table.cpp, its use in the model, and its tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/failure.h"
#include "cli/run_parameters.h"
#include "model/simulation.h"

namespace veldaris::cli {

// The parameters in grid order: a sweep's points are numbered as nested loops
// over them, the last varying fastest. The first seven are the original
// model's; the ones after them were added later and keep the earlier sweeps'
// grids and seeds as they were.
enum class ParameterId : int32_t {
  Network,
  Groups,
  Strategies,
  Generations,
  Connectivity,
  Length,
  Rewiring,
  Temptation,
  Reward,
  Punishment,
  Sucker,
  Mutation,
  RewiringProbability,
  NetworkFrom,
};
inline constexpr int32_t PARAMETER_COUNT = 14;
// The original parameters: always a column of the plan and a word of the seed.
inline constexpr int32_t ORIGINAL_PARAMETER_COUNT = 7;

// What a value is, and so how a sweep file may give it.
enum class ParameterKind : int32_t {
  Choice,   // one of a few words (a TOML string)
  Integer,  // a whole number
  Decimal,  // a decimal number (a TOML integer or float)
  Path,     // a file name (a TOML string)
};

struct ParameterRow {
  ParameterId id;
  const char* name;    // "rewiring_probability"
  const char* option;  // "--rewiring-probability"
  ParameterKind kind;
  const char* default_text;  // the value when not given; empty: not given at all
  const char* help;          // for --help and the Python docstrings
  const char* allowed;       // what a refusal says is allowed (connectivity's depends on groups)
};

extern const std::array<ParameterRow, PARAMETER_COUNT> PARAMETER_TABLE;

inline const ParameterRow& RowOf(ParameterId id) { return PARAMETER_TABLE[static_cast<size_t>(id)]; }
// Nullopt for a name that is not a parameter's.
std::optional<ParameterId> ParameterNamed(std::string_view name);

// The network a run is played on.
enum class NetworkType : int32_t { SmallWorld, ScaleFree, FromFile };

// A decimal number as typed, exactly: value / 10^max_places, where the
// reader fixes max_places; places is how many decimal places it has, trailing
// zeros not counted ("3.000" has 0).
struct FixedDecimal {
  int64_t value = 0;
  int32_t places = 0;
};

// A network read from a file, shared by the points that use it.
struct LoadedNetwork {
  std::string path;    // as given
  std::string sha256;  // of the file's bytes, 64 hex digits
  int32_t groups = 0;
  std::vector<std::array<int32_t, 2>> links;
  std::string bytes;  // the file as read, so that a sweep can keep a copy
};

// The payoffs are kept in thousandths.
inline constexpr int32_t PAYOFF_PLACES = 3;
// The mutation rate and the exact rewiring probability in millionths.
inline constexpr int32_t PROBABILITY_PLACES = 6;

// Parameters the model can run: every network is simple and its build ends,
// the crossover has two distinct cut points, and every array stays within its
// capacity.
struct RunParameters {
  NetworkType network = NetworkType::SmallWorld;
  int32_t groups = 50;
  int32_t strategies = 8;
  int32_t generations = 1000;
  int32_t connectivity = 8;
  int32_t length = 10;
  double rewiring = 0.0;         // the probability as given
  int32_t rewiring_percent = 0;  // as the model stores it (truncated)
  // temptation, reward, punishment, sucker, in thousandths
  std::array<FixedDecimal, 4> payoffs = {{{5000, 0}, {3000, 0}, {1000, 0}, {0, 0}}};
  FixedDecimal mutation = {1000, 3};                  // in millionths
  std::optional<FixedDecimal> rewiring_probability;   // in millionths; exclusive with rewiring
  std::shared_ptr<const LoadedNetwork> network_from;  // exclusive with network, groups, connectivity, rewiring

  // Whether parameter id has its default value (for network_from and
  // rewiring_probability: is not given).
  bool IsDefault(ParameterId id) const;
  // The model's choice: the payoffs in units of 10^-d, d the most decimal
  // places among the four.
  ParameterChoice Choice() const;
};

// The value of one parameter as veldaris-run takes it ("small-world", "200",
// "0.29", "-1.5"); empty for a parameter not given. For a network read from
// a file, network is "file" and connectivity and rewiring are empty.
std::string ParameterText(const RunParameters& p, ParameterId id);

// The rewiring probability the model uses, as a decimal: the stored
// percentage ("0.28" for a typed 0.29) or the exact probability.
std::string RewiringUsedText(const RunParameters& p);

// A run's parameters as text, as given on a command line or in a sweep file;
// a parameter not given has no text.
struct ParameterTexts {
  std::array<std::optional<std::string>, PARAMETER_COUNT> text;

  std::optional<std::string>& operator[](ParameterId id) { return text[static_cast<size_t>(id)]; }
  const std::optional<std::string>& operator[](ParameterId id) const { return text[static_cast<size_t>(id)]; }
};

// How a message names a parameter: "--groups" on veldaris-run's command line,
// "groups" in a sweep file or from Python.
enum class ParameterNaming { Option, Key };
std::string NameOf(ParameterId id, ParameterNaming naming);

// Reads a network file; the sweep calls it once per file, not per point.
using NetworkLoader = std::function<Outcome<std::shared_ptr<const LoadedNetwork>>(const std::string& path)>;
Outcome<std::shared_ptr<const LoadedNetwork>> LoadNetworkFile(const std::string& path);

// The parameters, or a Usage failure with one message that names the
// parameter, quotes the value as given (as shown gives it, when not null)
// and says what is allowed. A network file is read with loader (null:
// LoadNetworkFile).
Outcome<RunParameters> ValidateRunParameters(const ParameterTexts& texts, ParameterNaming naming,
                                             const NetworkLoader& loader = nullptr,
                                             const ParameterTexts* shown = nullptr);

// A decimal number with at most places decimal places (an optional sign,
// digits, an optional fraction; no exponent, no spaces) whose magnitude is at
// most limit (in units of 10^-places); nullopt otherwise.
std::optional<FixedDecimal> ParseFixedDecimal(std::string_view text, int32_t places, int64_t limit);
// value / 10^places as the shortest decimal text ("-1.5", "0.001", "5").
std::string FixedDecimalText(int64_t value, int32_t places);

// The words of a run's parameters that its sweep seeds are made from: the
// original seven (the network as 1 small-world, 0 scale-free, 2 file; the
// rewiring as the 64 bits of its double), then, for each later parameter that
// differs from its default, a tag 0x100 + its number in the table and its
// value (payoffs in thousandths, probabilities in millionths, a network file
// as the four 64-bit words of its SHA-256).
std::vector<uint64_t> SeedIdentityWords(const RunParameters& p);

// When a typed rewiring probability is stored as another percentage (0.29 as
// 28 %), the note veldaris-run prints about it; empty otherwise.
std::string RewiringTruncationNote(const RunParameters& p, std::string_view typed);

}  // namespace veldaris::cli
