// What a sweep's finished runs add up to: summary.csv, aggregate.csv and the values of the plot.
#include "cli/sweep_summary.h"

#include <bit>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/path_text.h"
#include "cli/program_support.h"
#include "io/sha256.h"

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

std::string Sha256OfFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::string();
  }
  Sha256 hash;
  Sha256Init(hash);
  char buffer[8192];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    Sha256Update(hash, buffer, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) {
    return std::string();
  }
  uint8_t digest[SHA256_DIGEST_SIZE];
  Sha256Final(hash, digest);
  char hex[SHA256_HEX_SIZE];
  Sha256Hex(digest, hex);
  return hex;
}

bool SameParameters(const RunParameters& a, const RunParameters& b) {
  for (const ParameterRow& row : PARAMETER_TABLE) {
    if (ParameterText(a, row.id) != ParameterText(b, row.id)) {
      return false;
    }
  }
  return std::bit_cast<uint64_t>(a.rewiring) == std::bit_cast<uint64_t>(b.rewiring) &&
         a.rewiring_percent == b.rewiring_percent &&
         (a.network_from ? a.network_from->sha256 : "") == (b.network_from ? b.network_from->sha256 : "");
}

// Appends one comma-separated field.
void AddField(std::string& csv, const std::string& text) {
  csv += ',';
  csv += text;
}

double OutcomeValue(const RunRecord& r, int32_t outcome) {
  switch (outcome) {
    case 0:
      return r.metrics.characteristic_path_length;
    case 1:
      return r.metrics.clustering_coefficient;
    case 2:
      return r.outcomes.c_avg_final;
    case 3:
      return r.outcomes.d_avg_final;
    case 4:
      return r.outcomes.c_avg_tail;
    default:
      return r.outcomes.d_avg_tail;
  }
}

}  // namespace

Status RecordDescribesRun(const RunRecord& record, const SweepPlan& plan, const PlannedRun& run) {
  if (record.program != SWEEP_PROGRAM || record.version != VERSION) {
    return Failure::Write("was made by " + record.program + " " + record.version + ", not by this " + SWEEP_PROGRAM +
                          " " + VERSION);
  }
  if (!record.position || record.position->run != run.run || record.position->point != run.point ||
      record.position->replicate != run.replicate || record.seeds.network != run.seeds.network ||
      record.seeds.run != run.seeds.run ||
      !SameParameters(record.parameters, plan.points[static_cast<size_t>(run.point)])) {
    return Failure::Write("describes another run than the plan's");
  }
  return {};
}

Outcome<RunRecord> LoadFinishedRun(const std::string& run_directory, const SweepPlan& plan, const PlannedRun& run) {
  const fs::path dir = PathOfText(run_directory);
  const Outcome<std::string> text = ReadWholeFile(dir / RUN_RECORD_FILE);
  if (!text.ok()) {
    return Failure::Write("it has no run.json");
  }
  Outcome<RunRecord> parsed = ParseRunRecord(text.value());
  if (!parsed.ok()) {
    return Failure::Write("its run.json is not a complete run record (" + parsed.failure().why + ")");
  }
  if (const Status described = RecordDescribesRun(parsed.value(), plan, run); !described.ok()) {
    return Failure::Write("its run.json " + described.failure().what);
  }
  for (const ResultFileRecord& file : parsed.value().files) {
    if (!file.error.empty()) {
      return Failure::Write(file.name + " was not written (" + file.error + ")");
    }
    if (Sha256OfFile(dir / file.name) != file.sha256) {
      return Failure::Write(file.name + " is missing or differs from the file the run wrote");
    }
  }
  return parsed;
}

std::string SummaryHeader(const SweepPlan& plan) {
  return PlanHeader(plan) +
         ",average_degree,degree_stdev,characteristic_path_length,clustering_coefficient,components,"
         "reachable_path_length,c_avg_final,d_avg_final,c_avg_tail,d_avg_tail,c_rate_final,d_rate_final,c_rate_tail,"
         "d_rate_tail";
}

std::string SummaryCsv(const SweepPlan& plan, const FinishedRuns& finished) {
  std::string csv = SummaryHeader(plan) + "\n";
  for (const PlannedRun& run : plan.runs) {
    const std::optional<RunRecord>& record = finished[static_cast<size_t>(run.run)];
    if (!record) {
      continue;
    }
    const NetworkMetrics& m = record->metrics;
    const RunOutcomes& o = record->outcomes;
    csv += PlanRow(plan, run);
    for (const double value :
         {m.average_degree, m.degree_stdev, m.characteristic_path_length, m.clustering_coefficient}) {
      AddField(csv, FormatDouble(value));
    }
    // Records made before the components were measured have none: empty.
    AddField(csv, m.components == 0 ? std::string() : std::to_string(m.components));
    AddField(csv, m.components == 0 ? std::string() : FormatDouble(m.reachable_path_length));
    for (const double value : {o.c_avg_final, o.d_avg_final, o.c_avg_tail, o.d_avg_tail}) {
      AddField(csv, FormatDouble(value));
    }
    // The same as rates: mutual moves over the L moves of a strategy.
    const double length = plan.points[static_cast<size_t>(run.point)].length;
    for (const double value : {o.c_avg_final, o.d_avg_final, o.c_avg_tail, o.d_avg_tail}) {
      AddField(csv, FormatDouble(value / length));
    }
    csv += "\n";
  }
  return csv;
}

SampleStats Summarise(const std::vector<double>& values) {
  SampleStats s;
  s.n = static_cast<int64_t>(values.size());
  if (s.n == 0) {
    return s;
  }
  double sum = 0.0;
  for (const double v : values) {
    sum += v;
  }
  s.mean = sum / static_cast<double>(s.n);
  if (s.n < 2) {
    return s;
  }
  double squares = 0.0;
  for (const double v : values) {
    squares += (v - s.mean) * (v - s.mean);
  }
  s.sd = std::sqrt(squares / static_cast<double>(s.n - 1));
  const boost::math::students_t distribution(static_cast<double>(s.n - 1));
  const double t = boost::math::quantile(distribution, 0.975);
  const double half_width = t * s.sd / std::sqrt(static_cast<double>(s.n));
  s.ci95_low = s.mean - half_width;
  s.ci95_high = s.mean + half_width;
  return s;
}

std::vector<PointAggregate> AggregatePoints(const SweepPlan& plan, const FinishedRuns& finished) {
  std::vector<PointAggregate> points(plan.points.size());
  std::vector<std::array<std::vector<double>, AGGREGATE_OUTCOME_COUNT>> samples(plan.points.size());
  for (const PlannedRun& run : plan.runs) {
    const std::optional<RunRecord>& record = finished[static_cast<size_t>(run.run)];
    if (!record) {
      continue;
    }
    const auto point = static_cast<size_t>(run.point);
    ++points[point].n;
    for (int32_t k = 0; k < AGGREGATE_OUTCOME_COUNT; ++k) {
      samples[point][k].push_back(OutcomeValue(*record, k));
    }
  }
  for (size_t point = 0; point < points.size(); ++point) {
    for (int32_t k = 0; k < AGGREGATE_OUTCOME_COUNT; ++k) {
      points[point].outcomes[k] = Summarise(samples[point][k]);
    }
  }
  return points;
}

std::string AggregateCsv(const SweepPlan& plan, const std::vector<PointAggregate>& points) {
  std::string csv = "point";
  AddField(csv, ParameterColumnsHeader(plan));
  AddField(csv, "n");
  for (const char* outcome : AGGREGATE_OUTCOMES) {
    for (const char* stat : {"_mean", "_sd", "_ci95_low", "_ci95_high"}) {
      AddField(csv, std::string(outcome) + stat);
    }
  }
  csv += "\n";
  for (size_t point = 0; point < points.size(); ++point) {
    const PointAggregate& a = points[point];
    csv += std::to_string(point);
    AddField(csv, ParameterColumns(plan, plan.points[point]));
    AddField(csv, std::to_string(a.n));
    for (const SampleStats& s : a.outcomes) {
      const bool spread = s.n >= 2;
      AddField(csv, s.n >= 1 ? FormatDouble(s.mean) : std::string());
      AddField(csv, spread ? FormatDouble(s.sd) : std::string());
      AddField(csv, spread ? FormatDouble(s.ci95_low) : std::string());
      AddField(csv, spread ? FormatDouble(s.ci95_high) : std::string());
    }
    csv += "\n";
  }
  return csv;
}

}  // namespace veldaris::cli
