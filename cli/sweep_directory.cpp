// A sweep's directory: planning it, finding its finished runs, and collecting and exporting them.
#include "cli/sweep_directory.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <system_error>

#include "cli/driver.h"
#include "cli/path_text.h"
#include "cli/program_support.h"
#include "cli/single_run.h"
#include "cli/sweep_networks.h"
#include "cli/sweep_plot.h"
#include "io/atomic_file.h"

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "veldaris-sweep";

// The run number of a runs/ entry: its name in decimal without leading zeros.
std::optional<int64_t> RunNumberOf(const std::string& name, int64_t count) {
  if (name.empty() || name.size() > 7 || name.find_first_not_of("0123456789") != std::string::npos ||
      (name.size() > 1 && name[0] == '0')) {
    return std::nullopt;
  }
  const int64_t run = std::stoll(name);
  return run < count ? std::optional<int64_t>(run) : std::nullopt;
}

// A stored run's record when it is run `stored.run` of the plan and every
// part matches its digest, with the outcomes computed from its series.
Outcome<RunRecord> CheckStoredRun(const StoredRun& stored, const SweepPlan& plan) {
  Outcome<RunRecord> parsed = ParseRunRecord(stored.record);
  if (!parsed.ok()) {
    return Failure::Write("its record is not complete (" + parsed.failure().Message() + ")");
  }
  RunRecord* record = &parsed.value();
  if (const Status described = RecordDescribesRun(*record, plan, plan.runs[static_cast<size_t>(stored.run)]);
      !described.ok()) {
    return Failure::Write("its record " + described.failure().what);
  }
  const std::string* texts[RESULT_FILE_COUNT] = {&stored.initial, &stored.all};
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    if (!record->files[i].error.empty() || DigestHex(*texts[i]) != record->files[i].sha256) {
      return Failure::Write(record->files[i].name + " differs from the file the run made");
    }
  }
  const int32_t g_count = record->parameters.generations;
  const auto averages = AveragesOf(stored.averages, g_count);
  if (!averages || DigestHex(stored.averages) != stored.averages_sha256) {
    return Failure::Write("its C_Avg and D_Avg series differ from those the run made");
  }
  const auto& [c, d] = *averages;
  const int32_t tail = g_count / 10;
  double c_sum = 0.0;
  double d_sum = 0.0;
  for (int32_t g = g_count - tail + 1; g <= g_count; ++g) {
    c_sum += c[static_cast<size_t>(g)];
    d_sum += d[static_cast<size_t>(g)];
  }
  record->outcomes =
      RunOutcomes{c[static_cast<size_t>(g_count)], d[static_cast<size_t>(g_count)], c_sum / tail, d_sum / tail};
  return parsed;
}

// The finished runs in the store files of dir.
void FindStoredRuns(const fs::path& dir, const SweepPlan& plan, const std::function<bool(int64_t)>& wanted,
                    const SeriesVisitor& series, const std::function<bool(const fs::path&)>& skip_store,
                    FoundRuns& found) {
  const Outcome<std::vector<fs::path>> stores = StoreFiles(dir);
  if (!stores.ok()) {
    found.read = stores.failure();
    return;
  }
  const auto count = static_cast<int64_t>(plan.runs.size());
  for (const fs::path& store : stores.value()) {
    found.any_source = true;
    if (skip_store && skip_store(store)) {
      continue;
    }
    std::optional<ClaimHolder> writer;
    const Status read = ReadStore(
        store,
        [&](StoredRun&& stored) {
          if (stored.run < 0 || stored.run >= count || (wanted && !wanted(stored.run)) ||
              found.finished[static_cast<size_t>(stored.run)]) {
            return;
          }
          Outcome<RunRecord> record = CheckStoredRun(stored, plan);
          if (!record.ok()) {
            found.notes.push_back("run " + std::to_string(stored.run) + " in \"" + TextOfPath(store) +
                                  "\" is not counted: " + record.failure().what);
            return;
          }
          if (series) {
            series(stored.run, RunFiles{stored.initial, stored.all, stored.record});
          }
          found.finished[static_cast<size_t>(stored.run)] = std::move(record.value());
        },
        &writer);
    if (writer) {
      // Read while its writer is at work: what it had committed, or nothing.
      found.live.push_back("\"" + TextOfPath(store) + "\" is being written by " + writer->Describe() +
                           (read.ok() ? "; the runs it has stored so far are counted"
                                      : "; none of its runs are counted (" + read.failure().Message() + ")"));
    } else if (!read.ok()) {
      found.read = read;
      return;
    }
  }
}

// The finished runs in runs/<run>/ of a directory made before the store.
void FindOldRuns(const fs::path& dir, const SweepPlan& plan, const std::function<bool(int64_t)>& wanted,
                 const SeriesVisitor& series, FoundRuns& found) {
  const fs::path runs = dir / OLD_RUNS_DIRECTORY;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(runs, ec);
  if (status.type() == fs::file_type::not_found) {
    return;
  }
  found.any_source = true;
  fs::directory_iterator entries(runs, ec);
  const auto count = static_cast<int64_t>(plan.runs.size());
  for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
    const std::optional<int64_t> run = RunNumberOf(TextOfPath(entries->path().filename()), count);
    if (!run || (wanted && !wanted(*run)) || found.finished[static_cast<size_t>(*run)]) {
      continue;
    }
    Outcome<RunRecord> record =
        LoadFinishedRun(TextOfPath(entries->path()), plan, plan.runs[static_cast<size_t>(*run)]);
    if (!record.ok()) {
      found.notes.push_back("\"" + TextOfPath(entries->path()) + "\" is not counted: " + record.failure().what);
      continue;
    }
    if (series) {
      const Outcome<std::string> initial_read = ReadWholeFile(entries->path() / INITIAL_RESULT_FILE);
      const Outcome<std::string> all_read = ReadWholeFile(entries->path() / ALL_RESULT_FILE);
      const Outcome<std::string> json_read = ReadWholeFile(entries->path() / RUN_RECORD_FILE);
      for (const Outcome<std::string>* read : {&initial_read, &all_read, &json_read}) {
        if (!read->ok()) {
          found.read = Failure::Write("cannot read the result files of \"" + TextOfPath(entries->path()) + "\"",
                                      read->failure().Message());
          return;
        }
      }
      series(*run, RunFiles{initial_read.value(), all_read.value(), json_read.value()});
    }
    found.finished[static_cast<size_t>(*run)] = std::move(record.value());
  }
  if (ec) {
    found.read = Failure::Write("cannot read \"" + TextOfPath(runs) + "\"", ec.message());
  }
}

// --- results.sqlite -------------------------------------------------------------

// A value of a CSV field bound as SQLite would store it: NULL when empty, an
// integer, a real, or text.
void BindField(sqlite3_stmt* statement, int index, const std::string& field) {
  if (field.empty()) {
    sqlite3_bind_null(statement, index);
    return;
  }
  const char* end = field.data() + field.size();
  int64_t integer = 0;
  if (const auto r = std::from_chars(field.data(), end, integer); r.ec == std::errc() && r.ptr == end) {
    sqlite3_bind_int64(statement, index, integer);
    return;
  }
  double real = 0.0;
  if (const auto r = std::from_chars(field.data(), end, real); r.ec == std::errc() && r.ptr == end) {
    sqlite3_bind_double(statement, index, real);
    return;
  }
  sqlite3_bind_text(statement, index, field.data(), static_cast<int>(field.size()), SQLITE_TRANSIENT);
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r' ? 1 : 0)));
    start = end + 1;
  }
  return lines;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The database being written under a temporary name beside results.sqlite.
class ResultsDatabase {
 public:
  explicit ResultsDatabase(const fs::path& dir) : path_(dir / RESULTS_DATABASE) {
    std::random_device device;
    temp_ = fs::path(path_) += "." + std::to_string(device()) + std::to_string(device()) + ".tmp";
    if (sqlite3_open_v2(SqliteUri(temp_, "nolock=1").c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
      Fail();
      return;
    }
    Exec(
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN; CREATE TABLE series(run INTEGER NOT NULL, "
        "generation INTEGER NOT NULL, D_Typ REAL, C_Typ REAL, D_Min REAL, C_Min REAL, D_Max REAL, C_Max REAL, "
        "D_Avg REAL, C_Avg REAL, Link_Typ INTEGER, Link_Min INTEGER, Link_Max INTEGER, PRIMARY KEY(run, generation))");
    if (error_.empty() && sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO series VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)", -1,
                                             &series_, nullptr) != SQLITE_OK) {
      Fail();
    }
  }
  ~ResultsDatabase() {
    sqlite3_finalize(series_);
    sqlite3_close(db_);
    std::error_code ec;
    fs::remove(temp_, ec);
  }
  ResultsDatabase(const ResultsDatabase&) = delete;
  ResultsDatabase& operator=(const ResultsDatabase&) = delete;

  // Every row of both result files, each generation once.
  void AddSeries(int64_t run, const std::string& initial, const std::string& all) {
    for (const std::string* text : {&initial, &all}) {
      const std::vector<std::string> lines = SplitLines(*text);
      for (size_t i = 1; i < lines.size() && error_.empty(); ++i) {
        const std::vector<std::string> fields = SplitFields(lines[i]);
        sqlite3_bind_int64(series_, 1, run);
        for (size_t f = 0; f < fields.size() && f < 12; ++f) {
          BindField(series_, static_cast<int>(f) + 2, fields[f]);
        }
        if (sqlite3_step(series_) != SQLITE_DONE) {
          Fail();
        }
        sqlite3_reset(series_);
      }
    }
  }

  // A table of a CSV text's rows, its columns named by the header.
  void AddTable(const std::string& name, const std::string& csv) {
    const std::vector<std::string> lines = SplitLines(csv);
    if (lines.empty() || !error_.empty()) {
      return;
    }
    const std::vector<std::string> columns = SplitFields(lines[0]);
    std::string create = "CREATE TABLE " + Quoted(name) + "(";
    std::string insert = "INSERT INTO " + Quoted(name) + " VALUES (";
    for (size_t c = 0; c < columns.size(); ++c) {
      create += (c > 0 ? ", " : "") + Quoted(columns[c]);
      insert += c > 0 ? ",?" : "?";
    }
    Exec(create + ")");
    sqlite3_stmt* statement = nullptr;
    if (error_.empty() && sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      Fail();
    }
    for (size_t i = 1; i < lines.size() && error_.empty(); ++i) {
      const std::vector<std::string> fields = SplitFields(lines[i]);
      for (size_t c = 0; c < columns.size(); ++c) {
        BindField(statement, static_cast<int>(c) + 1, c < fields.size() ? fields[c] : std::string());
      }
      if (sqlite3_step(statement) != SQLITE_DONE) {
        Fail();
      }
      sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
  }

  // Indexes, the commit, and the file renamed into place.
  Status Finish() {
    Exec("CREATE INDEX series_generation ON series(generation); CREATE INDEX runs_run ON runs(run); COMMIT");
    sqlite3_finalize(series_);
    series_ = nullptr;
    if (error_.empty() && sqlite3_close(db_) != SQLITE_OK) {
      Fail();
    }
    db_ = nullptr;
    if (!error_.empty()) {
      return Failure::Write("could not write \"" + TextOfPath(path_) + "\"", error_);
    }
    std::error_code ec;
    fs::rename(temp_, path_, ec);
    if (ec) {
      return Failure::Write("could not write \"" + TextOfPath(path_) + "\"", ec.message());
    }
    return {};
  }

 private:
  void Exec(const std::string& sql) {
    if (error_.empty() && sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail();
    }
  }
  void Fail() {
    if (error_.empty()) {
      error_ = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    }
  }

  fs::path path_;
  fs::path temp_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* series_ = nullptr;
  std::string error_;
};

// The number of runs summary.csv lists, 0 when there is none.
size_t SummaryRows(const fs::path& dir) {
  const Outcome<std::string> read = ReadWholeFile(dir / "summary.csv");
  const std::optional<std::string> text = read.ok() ? std::optional<std::string>(read.value()) : std::nullopt;
  return text ? static_cast<size_t>(std::max<std::ptrdiff_t>(std::count(text->begin(), text->end(), '\n') - 1, 0)) : 0;
}

std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return text;
}

}  // namespace

Outcome<SweepFile> LoadSweep(const fs::path& path, const fs::path& dir) {
  Outcome<std::string> read = ReadWholeFile(path);
  if (!read.ok()) {
    return Failure::Usage("cannot read the sweep file \"" + TextOfPath(path) + "\"", read.failure().why);
  }
  Outcome<SweepPlan> plan = ParseSweepFile(read.value(), TextOfPath(path), SweepNetworkLoader(path, dir));
  if (!plan.ok()) {
    return Failure::Usage(TextOfPath(path), plan.failure().Message());
  }
  return SweepFile{std::move(read.value()), std::move(plan.value())};
}

Status DirectoryFits(const fs::path& dir, const SweepPlan& plan) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) {
    return {};
  }
  if (!fs::is_directory(dir, ec)) {
    return Failure::Usage("--out \"" + TextOfPath(dir) + "\" exists and is not a directory");
  }
  const fs::path copy = dir / SWEEP_COPY;
  if (fs::exists(copy, ec)) {
    const Outcome<SweepFile> saved = LoadSweep(copy, dir);
    if (!saved.ok()) {
      return saved.failure();
    }
    if (PlanCsv(saved.value().plan) != PlanCsv(plan)) {
      return Failure::Usage("\"" + TextOfPath(dir) +
                            "\" holds another sweep (its sweep.toml plans other runs or seeds); "
                            "give another --out directory, or run that sweep file");
    }
    return {};
  }
  // Without sweep.toml only what setting up a sweep leaves may be there.
  const fs::directory_iterator entries(dir, ec);
  if (ec) {
    return Failure::Usage("cannot read \"" + TextOfPath(dir) + "\"", ec.message());
  }
  for (const fs::directory_entry& entry : entries) {
    const std::string name = TextOfPath(entry.path().filename());
    if (name.rfind("sweep.toml.", 0) != 0 || name.size() < 4 || name.substr(name.size() - 4) != ".tmp") {
      return Failure::Usage("\"" + TextOfPath(dir) +
                            "\" is not empty and holds no sweep (no sweep.toml); give a new or empty --out directory");
    }
  }
  return {};
}

Status PlanDirectory(const fs::path& dir, const SweepPlan& plan, const std::string& sweep_text,
                     const std::vector<std::string>& subdirectories) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    return Failure::Write("cannot create \"" + TextOfPath(dir) + "\"", ec.message());
  }
  const fs::path copy = dir / SWEEP_COPY;
  const fs::path plan_path = dir / PLAN_FILE;
  // What writers killed while they wrote these left (they are rewritten
  // only when they differ).
  RemoveStaleTemporaries(TextOfPath(copy).c_str());
  RemoveStaleTemporaries(TextOfPath(plan_path).c_str());
  if (!fs::exists(copy, ec)) {
    if (Status written = WriteTextFile(copy, sweep_text); !written.ok()) {
      return written;
    }
  }
  if (Status kept = KeepNetworkCopies(plan, dir); !kept.ok()) {
    return kept;
  }
  const std::string plan_csv = PlanCsv(plan);
  const Outcome<std::string> saved = ReadWholeFile(plan_path);
  if (!saved.ok() || saved.value() != plan_csv) {
    if (Status written = WriteTextFile(plan_path, plan_csv); !written.ok()) {
      return written;
    }
  }
  for (const std::string& name : subdirectories) {
    fs::create_directories(dir / name, ec);
    if (ec) {
      return Failure::Write("cannot create \"" + TextOfPath(dir / name) + "\"", ec.message());
    }
  }
  return {};
}

FoundRuns FindFinishedRuns(const fs::path& dir, const SweepPlan& plan, const std::function<bool(int64_t)>& wanted,
                           const SeriesVisitor& series, const std::function<bool(const fs::path&)>& skip_store) {
  FoundRuns found;
  found.finished.resize(plan.runs.size());
  FindStoredRuns(dir, plan, wanted, series, skip_store, found);
  if (found.read.ok()) {
    FindOldRuns(dir, plan, wanted, series, found);
  }
  return found;
}

int CollectSweep(const fs::path& dir, const SweepPlan& plan, std::ostream& out, std::ostream& err,
                 std::optional<int32_t> x_key) {
  ResultsDatabase database(dir);
  const FoundRuns found = FindFinishedRuns(dir, plan, nullptr, [&](int64_t run, const RunFiles& files) {
    database.AddSeries(run, files.initial, files.all);
  });
  for (const std::string& note : found.live) {
    err << kProgram << ": " << note << "\n";
  }
  for (const std::string& note : found.notes) {
    err << kProgram << ": " << note << "\n";
  }
  if (!found.read.ok()) {
    err << kProgram << ": " << found.read.failure().Message() << "; the summary files are left as they were\n";
    return EXIT_WRITE_FAILED;
  }
  const size_t listed = SummaryRows(dir);
  if (!found.any_source && listed > 0) {
    err << kProgram << ": \"" << TextOfPath(dir) << "\" holds no store file and no runs/, but its summary.csv lists "
        << listed << " runs; the summary files are left as they were\n";
    return EXIT_WRITE_FAILED;
  }
  const std::vector<PointAggregate> points = AggregatePoints(plan, found.finished);
  const auto count =
      std::count_if(found.finished.begin(), found.finished.end(), [](const auto& r) { return r.has_value(); });
  const std::string summary = SummaryCsv(plan, found.finished);
  const std::string aggregate = AggregateCsv(plan, points);
  database.AddTable("plan", PlanCsv(plan));
  database.AddTable("runs", summary);
  database.AddTable("aggregate", aggregate);
  std::vector<std::string> written;
  std::vector<std::string> failed;
  const std::pair<const char*, std::string> outputs[] = {
      {"summary.csv", summary},
      {"aggregate.csv", aggregate},
      {"aggregate.svg", AggregateSvg(plan, points, x_key)},
  };
  for (const auto& [name, text] : outputs) {
    const fs::path path = dir / name;
    if (const Status saved = WriteTextFile(path, text); !saved.ok()) {
      err << kProgram << ": could not write \"" << TextOfPath(path) << "\": " << saved.failure().why << "\n";
      failed.push_back(TextOfPath(path));
    } else {
      written.push_back(TextOfPath(path));
    }
  }
  if (const Status finished = database.Finish(); !finished.ok()) {
    err << kProgram << ": " << finished.failure().Message() << "\n";
    failed.push_back(TextOfPath(dir / RESULTS_DATABASE));
  } else {
    written.push_back(TextOfPath(dir / RESULTS_DATABASE));
  }
  out << "Collected " << count << " of " << plan.runs.size() << " runs";
  if (!written.empty()) {
    out << " into " << Listed(written);
  }
  if (!failed.empty()) {
    out << (written.empty() ? "; " : "; not into ") << (written.empty() ? "could write none of " : "")
        << Listed(failed);
  }
  out << "\n";
  return failed.empty() ? EXIT_OK : EXIT_WRITE_FAILED;
}

std::optional<std::vector<int64_t>> ParseRunList(const std::string& text, int64_t count) {
  std::vector<int64_t> runs;
  for (const std::string& part : SplitFields(text)) {
    const size_t dash = part.find('-');
    const auto number = [&](const std::string& digits) {
      return ParseDecimal(digits, static_cast<uint64_t>(count > 0 ? count - 1 : 0));
    };
    const std::optional<uint64_t> first = number(part.substr(0, dash));
    const std::optional<uint64_t> last = dash == std::string::npos ? first : number(part.substr(dash + 1));
    if (!first || !last || *last < *first || count == 0) {
      return std::nullopt;
    }
    for (uint64_t run = *first; run <= *last; ++run) {
      runs.push_back(static_cast<int64_t>(run));
    }
  }
  std::sort(runs.begin(), runs.end());
  runs.erase(std::unique(runs.begin(), runs.end()), runs.end());
  return runs;
}

int ExportRuns(const fs::path& dir, const SweepPlan& plan, const std::vector<int64_t>& runs, const fs::path& out_dir,
               std::ostream& out, std::ostream& err) {
  std::vector<bool> chosen(plan.runs.size(), runs.empty());
  for (const int64_t run : runs) {
    chosen[static_cast<size_t>(run)] = true;
  }
  for (size_t run = 0; run < chosen.size(); ++run) {
    std::error_code ec;
    if (chosen[run] && fs::exists(out_dir / std::to_string(run), ec)) {
      err << kProgram << ": \"" << TextOfPath(out_dir / std::to_string(run))
          << "\" exists; export into another --out directory\n";
      return EXIT_USAGE;
    }
  }
  std::map<int64_t, std::array<std::string, 3>> files;
  const FoundRuns found = FindFinishedRuns(
      dir, plan, [&](int64_t run) { return chosen[static_cast<size_t>(run)]; },
      [&](int64_t run, const RunFiles& made) {
        files[run] = {made.initial, made.all, made.record};
      });
  for (const std::string& note : found.notes) {
    err << kProgram << ": " << note << "\n";
  }
  if (!found.read.ok()) {
    err << kProgram << ": " << found.read.failure().Message() << "\n";
    return EXIT_WRITE_FAILED;
  }
  int status = EXIT_OK;
  size_t exported = 0;
  for (const auto& [run, texts] : files) {
    const fs::path run_dir = out_dir / std::to_string(run);
    std::error_code ec;
    fs::create_directories(run_dir, ec);
    std::string error = ec ? ec.message() : std::string();
    const std::pair<const char*, std::string> outputs[] = {
        {INITIAL_RESULT_FILE, texts[0]},
        {ALL_RESULT_FILE, texts[1]},
        {RUN_RECORD_FILE, texts[2]},
    };
    for (const auto& [name, text] : outputs) {
      if (const Status written = error.empty() ? WriteTextFile(run_dir / name, text) : Status(); !written.ok()) {
        error = written.failure().why;
      }
    }
    if (!error.empty()) {
      err << kProgram << ": could not write run " << run << " into \"" << TextOfPath(run_dir) << "\": " << error
          << "\n";
      status = EXIT_WRITE_FAILED;
    } else {
      ++exported;
    }
  }
  const size_t wanted = runs.empty() ? plan.runs.size() : runs.size();
  out << "Exported " << exported << " of " << wanted << " runs into " << TextOfPath(out_dir) << "\n";
  if (files.size() < wanted) {
    err << kProgram << ": " << wanted - files.size() << " of the runs asked for are not finished\n";
    status = EXIT_WRITE_FAILED;
  }
  return status;
}

}  // namespace veldaris::cli
