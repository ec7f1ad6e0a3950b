// A sweep as a Slurm job array: the sbatch script whose task I makes the runs
// of shard I/T (run % T == I) into one directory on a shared file system, the
// checks on its options, and the commands to give after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/failure.h"

namespace veldaris::cli {

// The subdirectory of a sweep's directory that receives the tasks' logs.
inline constexpr const char* SLURM_LOG_DIRECTORY = "slurm";

// The slurm command's options as typed; nullopt when not given.
struct SlurmOptionTexts {
  std::optional<std::string> tasks = {};
  std::optional<std::string> max_parallel = {};
  std::optional<std::string> partition = {};
  std::optional<std::string> time = {};
  std::optional<std::string> cpus_per_task = {};
  std::vector<std::string> sbatch_args = {};
};

struct SlurmArray {
  std::string program;     // the absolute path of the veldaris-sweep every task runs
  std::string sweep_file;  // absolute
  std::string out_dir;     // absolute
  int64_t runs = 0;        // of the whole plan
  int64_t tasks = 1;       // T: the array's indices are 0 to T - 1
  std::optional<int64_t> max_parallel;
  std::optional<std::string> partition;
  std::optional<std::string> time;
  int64_t cpus_per_task = 1;
  std::vector<std::string> sbatch_args;  // extra #SBATCH lines, as given
};

// T when --tasks is not given: the smallest T with T x T >= runs, so that the
// number of tasks and the runs of each grow alike (12 runs: 4 tasks of 3;
// 10000 runs: 100 tasks of 100; a million: 1000 tasks).
int64_t DefaultSlurmTasks(int64_t runs);

// Checks the options against a plan of runs runs and fills in everything of
// array but the three paths. A Usage failure with one message naming the
// option when an option is not valid.
Outcome<SlurmArray> SlurmArrayFromOptions(const SlurmOptionTexts& texts, int64_t runs);

// Whether dir can hold the logs of a job array: a Usage failure saying why not
// (Slurm reads a backslash in an output file name as turning its %A and %a
// patterns off, and an #SBATCH line cannot hold a line break).
Status SlurmDirectoryFits(const std::string& dir);

// text as one word for a POSIX shell: in single quotes, a ' inside written
// as '\''. ShellWord leaves a word of only safe characters as it is.
std::string ShellQuote(const std::string& text);
std::string ShellWord(const std::string& text);

// The absolute path of this very program, which the array's tasks run;
// empty when the system does not say.
std::string ThisProgramPath();

// The sbatch script of the array.
std::string SlurmScript(const SlurmArray& array);

// The words sbatch takes from the text after "#SBATCH ": split at blanks
// outside quotes, the quotes (' or ") removed, a backslash keeping the next
// character as it is, an unquoted # ending the line.
std::vector<std::string> SbatchLineWords(std::string_view line);

// The command that collects the sweep as a job that starts once every task
// has succeeded, with the array's partition, time limit and extra options,
// its log in DIR/slurm/collect-<job>.out:
// sbatch ... --dependency=afterok:<jobid> --output=... --wrap "...".
std::string CollectJobCommand(const SlurmArray& array);

// Where a node keeps files of its own that others do not see: /tmp,
// /var/tmp, /dev/shm, /run, and $TMPDIR and $SLURM_TMPDIR when set.
std::vector<std::string> NodeLocalDirectories();
// One warning for each of the array's directory, sweep file and program
// that lies in one of local_dirs, as written or with its links resolved.
std::vector<std::string> NodeLocalWarnings(const SlurmArray& array, const std::vector<std::string>& local_dirs);

}  // namespace veldaris::cli
