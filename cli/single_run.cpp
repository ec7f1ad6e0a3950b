// One run from its parameters and seeds to its result files and run.json.
#include "cli/single_run.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <nlohmann/json.hpp>

#include "cli/path_text.h"
#include "cli/program_support.h"
#include "io/atomic_file.h"
#include "io/sha256.h"

namespace veldaris::cli {

namespace {

using Json = nlohmann::ordered_json;

// A double as JSON: null when it is not finite (JSON has no NaN).
Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

double NumberOf(const nlohmann::json& value) { return value.is_null() ? std::nan("") : value.get<double>(); }

// The parameters as run.json holds them: every parameter of the table under
// its name (null where not given), and the stored rewiring percentage and a
// network file's SHA-256 beside them.
Json ParametersJson(const RunParameters& p) {
  Json j = Json::object();
  for (const ParameterRow& row : PARAMETER_TABLE) {
    const std::string text = ParameterText(p, row.id);
    if (text.empty()) {
      j[row.name] = nullptr;
    } else if (row.kind == ParameterKind::Integer) {
      j[row.name] = std::stoll(text);
    } else if (row.kind == ParameterKind::Decimal) {
      j[row.name] = row.id == ParameterId::Rewiring ? p.rewiring : ParseProbability(text).value_or(0.0);
    } else {
      j[row.name] = text;
    }
    if (row.id == ParameterId::Rewiring) {
      j["rewiring_percent"] = p.network == NetworkType::FromFile ? Json(nullptr) : Json(p.rewiring_percent);
    }
  }
  j["network_sha256"] = p.network_from ? Json(p.network_from->sha256) : Json(nullptr);
  return j;
}

// The text of a JSON value as the parameter's option would take it.
std::string ParameterTextOfJson(const nlohmann::json& value) {
  if (value.is_string()) {
    return value.get<std::string>();
  }
  if (value.is_number_integer()) {
    return value.dump();
  }
  return FormatDouble(value.get<double>());
}

Outcome<RunParameters> ParametersOfJson(const nlohmann::json& j) {
  ParameterTexts texts;
  const bool from_file = j.contains("network_from") && !j.at("network_from").is_null();
  for (const ParameterRow& row : PARAMETER_TABLE) {
    const bool fixed_by_file = row.id == ParameterId::Network || row.id == ParameterId::Groups ||
                               row.id == ParameterId::Connectivity || row.id == ParameterId::Rewiring ||
                               row.id == ParameterId::RewiringProbability;
    if (j.contains(row.name) && !j.at(row.name).is_null() && !(from_file && fixed_by_file)) {
      texts[row.id] = ParameterTextOfJson(j.at(row.name));
    }
  }
  // A network file is known by its path and digest; it is not read again.
  const auto recorded = [&j](const std::string& path) -> Outcome<std::shared_ptr<const LoadedNetwork>> {
    auto network = std::make_shared<LoadedNetwork>();
    network->path = path;
    network->sha256 = j.at("network_sha256").get<std::string>();
    network->groups = j.at("groups").get<int32_t>();
    return std::shared_ptr<const LoadedNetwork>(network);
  };
  Outcome<RunParameters> p = ValidateRunParameters(texts, ParameterNaming::Key, recorded);
  if (p.ok() && !from_file && p.value().network != NetworkType::FromFile && !p.value().rewiring_probability &&
      j.at("rewiring_percent").get<int32_t>() != p.value().rewiring_percent) {
    return Failure::Usage("its rewiring_percent does not match its rewiring");
  }
  return p;
}

}  // namespace

void PrepareRun(Simulation& sim, const RunParameters& p, RunSeeds seeds, const std::string& program,
                RunRecord& record) {
  record.program = program;
  record.parameters = p;
  record.seeds = seeds;
  record.started = UtcTimestamp(std::chrono::system_clock::now());
  record.start_time = std::chrono::steady_clock::now();

  ClearSimulation(sim);  // the program-start state, as a new window has
  ApplyDefaultParameters(sim);
  SetParameters(sim, p.Choice(), seeds.network);
  if (p.network_from) {
    const LoadedNetwork& network = *p.network_from;
    BuildAndMeasureNetworkFromLinks(sim, reinterpret_cast<const int32_t(*)[2]>(network.links.data()),
                                    static_cast<int32_t>(network.links.size()));
  } else {
    BuildAndMeasureNetwork(sim, seeds.network);
  }
  record.metrics = sim.metrics;
}

void CompleteRun(Simulation& sim, ResultFiles& files, RunRecord& record, BatchCallback after_batch, void* context) {
  RunToCompletion(sim, record.seeds.run, after_batch, context);
  files.written = 0;
  if (RunComplete(sim)) {
    WriteResultFiles(sim, files);
  }
  RecordResultFiles(sim, files, record);
}

void RecordResultFiles(const Simulation& sim, const ResultFiles& files, RunRecord& record) {
  record.outcomes = OutcomesOf(sim);
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    ResultFileRecord& file = record.files[i];
    file.name = RESULT_FILE_NAMES[i];
    file.sha256.clear();
    file.error = ResultFileError(files, i);
    if (file.error.empty()) {
      char hex[SHA256_HEX_SIZE];
      Sha256Hex(files.sha256[i], hex);
      file.sha256 = hex;
    }
  }
  record.finished = UtcTimestamp(std::chrono::system_clock::now());
  record.wall_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - record.start_time).count();
}

RunOutcomes OutcomesOf(const Simulation& sim) {
  const int32_t g_count = sim.params.generation_count;
  const int32_t tail = g_count / 10;
  RunOutcomes o;
  o.c_avg_final = sim.series.C_Avg[g_count];
  o.d_avg_final = sim.series.D_Avg[g_count];
  double c_sum = 0.0;
  double d_sum = 0.0;
  for (int32_t g = g_count - tail + 1; g <= g_count; ++g) {
    c_sum += sim.series.C_Avg[g];
    d_sum += sim.series.D_Avg[g];
  }
  o.c_avg_tail = c_sum / tail;
  o.d_avg_tail = d_sum / tail;
  return o;
}

std::string RunRecordJson(const RunRecord& r) {
  Json j;
  j["program"] = r.program;
  j["version"] = VERSION;
  if (r.position) {
    j["run"] = r.position->run;
    j["point"] = r.position->point;
    j["replicate"] = r.position->replicate;
  }
  j["parameters"] = ParametersJson(r.parameters);
  j["network_seed"] = r.seeds.network;
  j["run_seed"] = r.seeds.run;
  j["network_measures"] = {{"average_degree", Number(r.metrics.average_degree)},
                           {"degree_stdev", Number(r.metrics.degree_stdev)},
                           {"characteristic_path_length", Number(r.metrics.characteristic_path_length)},
                           {"clustering_coefficient", Number(r.metrics.clustering_coefficient)},
                           {"components", r.metrics.components},
                           {"reachable_path_length", Number(r.metrics.reachable_path_length)}};
  j["outcomes"] = {{"c_avg_final", Number(r.outcomes.c_avg_final)},
                   {"d_avg_final", Number(r.outcomes.d_avg_final)},
                   {"c_avg_tail", Number(r.outcomes.c_avg_tail)},
                   {"d_avg_tail", Number(r.outcomes.d_avg_tail)}};
  Json files = Json::object();
  for (const ResultFileRecord& f : r.files) {
    files[f.name] = f.error.empty() ? Json{{"sha256", f.sha256}} : Json{{"error", f.error}};
  }
  j["result_files"] = files;
  j["started"] = r.started;
  j["finished"] = r.finished;
  j["wall_seconds"] = r.wall_seconds;
  return j.dump(2) + "\n";
}

Status WriteRunRecord(const std::string& path, const RunRecord& record) {
  const std::string text = RunRecordJson(record);
  if (const Status written = WriteTextFile(PathOfText(path), text); !written.ok()) {
    return Failure::Write("could not write the run record \"" + path + "\"", written.failure().why);
  }
  return {};
}

Outcome<RunRecord> ParseRunRecord(const std::string& text) {
  try {
    const nlohmann::json j = nlohmann::json::parse(text);
    RunRecord r;
    r.program = j.at("program").get<std::string>();
    r.version = j.at("version").get<std::string>();
    if (j.contains("run")) {
      r.position =
          SweepPosition{j.at("run").get<int64_t>(), j.at("point").get<int64_t>(), j.at("replicate").get<int64_t>()};
    }
    Outcome<RunParameters> parameters = ParametersOfJson(j.at("parameters"));
    if (!parameters.ok()) {
      return Failure::Usage("not a complete run record", parameters.failure().Message());
    }
    r.parameters = std::move(parameters.value());
    r.seeds.network = j.at("network_seed").get<uint32_t>();
    r.seeds.run = j.at("run_seed").get<uint32_t>();
    const nlohmann::json& m = j.at("network_measures");
    r.metrics.average_degree = NumberOf(m.at("average_degree"));
    r.metrics.degree_stdev = NumberOf(m.at("degree_stdev"));
    r.metrics.characteristic_path_length = NumberOf(m.at("characteristic_path_length"));
    r.metrics.clustering_coefficient = NumberOf(m.at("clustering_coefficient"));
    // Records of runs made before these measures lack them.
    r.metrics.components = m.value("components", 0);
    r.metrics.reachable_path_length =
        m.contains("reachable_path_length") ? NumberOf(m.at("reachable_path_length")) : 0.0;
    const nlohmann::json& o = j.at("outcomes");
    r.outcomes.c_avg_final = NumberOf(o.at("c_avg_final"));
    r.outcomes.d_avg_final = NumberOf(o.at("d_avg_final"));
    r.outcomes.c_avg_tail = NumberOf(o.at("c_avg_tail"));
    r.outcomes.d_avg_tail = NumberOf(o.at("d_avg_tail"));
    const char* names[RESULT_FILE_COUNT] = {INITIAL_RESULT_FILE, ALL_RESULT_FILE};
    for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
      const nlohmann::json& f = j.at("result_files").at(names[i]);
      r.files[i].name = names[i];
      if (f.contains("sha256")) {
        r.files[i].sha256 = f.at("sha256").get<std::string>();
      } else {
        r.files[i].error = f.at("error").get<std::string>();
      }
    }
    r.started = j.at("started").get<std::string>();
    r.finished = j.at("finished").get<std::string>();
    r.wall_seconds = j.at("wall_seconds").get<double>();
    return r;
  } catch (const std::exception& e) {
    return Failure::Usage("not a complete run record", e.what());
  }
}

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto millis = time_point_cast<milliseconds>(time);
  const auto day = floor<days>(millis);
  const year_month_day date{day};
  const hh_mm_ss clock{millis - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::string PathInDirectory(const std::string& directory, const char* name) {
  if (directory.empty()) {
    return name;
  }
  return IsPathSeparator(directory.back()) ? directory + name : directory + "/" + name;
}

}  // namespace veldaris::cli
