// A sweep's directory: its copy of the sweep file and its plan, the runs
// finished in its store files (and in runs/<run>/ of directories made before
// the store), and what collect and export write from them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/sweep_plan.h"
#include "cli/sweep_store.h"
#include "cli/sweep_summary.h"

namespace veldaris::cli {

inline constexpr const char* SWEEP_COPY = "sweep.toml";
inline constexpr const char* PLAN_FILE = "plan.csv";
inline constexpr const char* OLD_RUNS_DIRECTORY = "runs";
inline constexpr const char* RESULTS_DATABASE = "results.sqlite";

// A sweep file: its text and the plan it makes.
struct SweepFile {
  std::string text;
  SweepPlan plan;
};

// Reads and checks a sweep file (the networks it names found as for the
// sweep's directory dir). A Usage failure when it cannot be read or is not a
// valid sweep.
Outcome<SweepFile> LoadSweep(const std::filesystem::path& path, const std::filesystem::path& dir);

// Whether dir can hold this sweep: absent, empty, or made from a sweep file
// that plans the same runs. A Usage failure saying why not.
Status DirectoryFits(const std::filesystem::path& dir, const SweepPlan& plan);

// Sets dir up for the sweep (DirectoryFits having said it can hold it): the
// directory, the copy of the sweep file, the plan and the subdirectories
// given; removes what killed writers of those files left.
Status PlanDirectory(const std::filesystem::path& dir, const SweepPlan& plan, const std::string& sweep_text,
                     const std::vector<std::string>& subdirectories);

// What a counted run made, as the files veldaris-run writes.
struct RunFiles {
  const std::string& initial;  // the Initial result file's bytes
  const std::string& all;      // the All result file's bytes
  const std::string& record;   // run.json's
};
using SeriesVisitor = std::function<void(int64_t run, const RunFiles& files)>;

struct FoundRuns {
  FinishedRuns finished;           // one entry per run of the plan
  std::vector<std::string> notes;  // runs found but not counted, and why
  std::vector<std::string> live;   // store files a writer still has claimed
  Status read;                     // a failure to read: the runs are then not known
  bool any_source = false;         // a store file or runs/ was there
};

// The finished runs of the plan among those wanted (all when wanted is
// empty) in dir's store files and runs/, read in one pass each. A stored run
// counts when its record describes the run and every part matches its
// digest; its outcomes are computed again from its series. series, when
// given, receives the result files of every counted run.
// Store files for which skip_store (when given) is true are not read.
FoundRuns FindFinishedRuns(const std::filesystem::path& dir, const SweepPlan& plan,
                           const std::function<bool(int64_t)>& wanted, const SeriesVisitor& series,
                           const std::function<bool(const std::filesystem::path&)>& skip_store = nullptr);

// collect: summary.csv, aggregate.csv, aggregate.svg and results.sqlite from
// the runs finished in dir. Returns the exit status; a failure to read what
// the sweep made leaves every output as it was.
// x_key: the parameter on the plot's x axis (by default the varying one with
// the most values).
int CollectSweep(const std::filesystem::path& dir, const SweepPlan& plan, std::ostream& out, std::ostream& err,
                 std::optional<int32_t> x_key = std::nullopt);

// export: the result files and run.json of the runs listed (all when empty)
// into out_dir/<run>/. Returns the exit status.
int ExportRuns(const std::filesystem::path& dir, const SweepPlan& plan, const std::vector<int64_t>& runs,
               const std::filesystem::path& out_dir, std::ostream& out, std::ostream& err);

// "3,5-9,12" as run numbers below count; nullopt when it is not such a list.
std::optional<std::vector<int64_t>> ParseRunList(const std::string& text, int64_t count);

}  // namespace veldaris::cli
