// A sweep as a Slurm job array: its sbatch script, shards and collect job.
#include "cli/sweep_slurm.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string_view>

#include "cli/path_text.h"
#include "cli/run_parameters.h"
#include "cli/single_run.h"
#include "cli/sweep_plan.h"

namespace veldaris::cli {

namespace {

constexpr uint64_t kMaxCpusPerTask = 1024;

// [D-]H:MM:SS with a limit above zero: what sbatch --time takes, in the
// forms that cannot be misread (a bare "30" is minutes to Slurm).
bool ValidTimeLimit(std::string_view text) {
  uint64_t days = 0;
  if (const size_t dash = text.find('-'); dash != std::string_view::npos) {
    const std::optional<uint64_t> value = ParseDecimal(text.substr(0, dash), 99999);
    if (!value) {
      return false;
    }
    days = *value;
    text.remove_prefix(dash + 1);
  }
  const size_t first = text.find(':');
  const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos || second - first != 3 || text.size() - second != 3) {
    return false;
  }
  const std::optional<uint64_t> hours = ParseDecimal(text.substr(0, first), 99999);
  const std::optional<uint64_t> minutes = ParseDecimal(text.substr(first + 1, 2), 59);
  const std::optional<uint64_t> seconds = ParseDecimal(text.substr(second + 1, 2), 59);
  return hours && minutes && seconds && days + *hours + *minutes + *seconds > 0;
}

bool ValidPartition(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (const char c : text) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum && c != '_' && c != '-' && c != '.' && c != ',') {
      return false;
    }
  }
  return true;
}

// The options the script sets itself, which an extra line must not set again
// (an array of other indices would no longer match the shards).
struct OwnOption {
  const char* long_name;
  char short_name;
  const char* instead;
};
constexpr std::array<OwnOption, 6> kOwnOptions = {{
    {"array", 'a', "--tasks and --max-parallel"},
    {"output", 'o', "nothing: the logs go to DIR/slurm/"},
    {"error", 'e', "nothing: the logs go to DIR/slurm/"},
    {"partition", 'p', "--partition"},
    {"time", 't', "--time"},
    {"cpus-per-task", 'c', "--cpus-per-task"},
}};

// The option of the script's own that word sets as sbatch's option parser
// reads it, or nullptr: a long name the parser would complete to one of
// them (any prefix of it: a prefix shared with another option is refused by
// sbatch anyway), or a cluster of short options that reaches one of their
// letters before a letter that takes the rest as its value.
const OwnOption* OwnOptionSetBy(std::string_view word) {
  if (word.size() >= 3 && word.substr(0, 2) == "--") {
    const std::string_view name = word.substr(2, word.find('=') - 2);
    for (const OwnOption& own : kOwnOptions) {
      if (!name.empty() && std::string_view(own.long_name).substr(0, name.size()) == name) {
        return &own;
      }
    }
    return nullptr;
  }
  // The letters of sbatch's short options that take a value (the rest of
  // the word); any other letter (H, h, O, Q, s, u, v, V, W, or one unknown)
  // is read past.
  constexpr std::string_view kTakesValue = "AbBCdDFGiJkLmMnNqSwx";
  for (size_t i = 1; i < word.size(); ++i) {
    for (const OwnOption& own : kOwnOptions) {
      if (word[i] == own.short_name) {
        return &own;
      }
    }
    if (kTakesValue.find(word[i]) != std::string_view::npos) {
      return nullptr;
    }
  }
  return nullptr;
}

// Whether arg can be an extra #SBATCH line; a Usage failure saying why not.
Status SbatchArgFits(const std::string& arg) {
  const auto refused = [&](const std::string& why) { return Failure::Usage("--sbatch-arg \"" + arg + "\" " + why); };
  if (arg.find_first_of("\r\n") != std::string::npos) {
    return refused("must be one sbatch option on one line, such as --sbatch-arg=--mem=2G");
  }
  const std::vector<std::string> words = SbatchLineWords(arg);
  for (const std::string& word : words) {
    if (const OwnOption* own = word.size() >= 2 && word[0] == '-' ? OwnOptionSetBy(word) : nullptr) {
      return refused("sets what the script sets itself; use " + std::string(own->instead));
    }
  }
  if (words.size() > 1) {
    return refused("is " + std::to_string(words.size()) +
                   " words to sbatch; give one option per --sbatch-arg, its value after =, such as "
                   "--sbatch-arg=--mem=2G");
  }
  if (words.empty() || words[0].size() < 2 || words[0][0] != '-' || words[0] == "--") {
    return refused("must be one sbatch option on one line, such as --sbatch-arg=--mem=2G");
  }
  return {};
}

// A log file name pattern in dir as one argument of an #SBATCH line: in
// double quotes (sbatch's reading of the line takes \" and \\ inside them),
// with every % of dir doubled so that Slurm keeps it.
std::string SbatchLogPattern(const std::string& dir, const char* pattern) {
  std::string quoted = "\"";
  for (const char c : dir) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
    } else if (c == '%') {
      quoted += '%';
    }
    quoted += c;
  }
  if (quoted.back() != '/') {
    quoted += '/';
  }
  return quoted + pattern + "\"";
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

std::vector<std::string> SbatchLineWords(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
      ++i;
    }
    if (i == line.size() || line[i] == '#') {
      return words;
    }
    std::string word;
    char quote = '\0';
    for (; i < line.size() && (quote != '\0' || (line[i] != ' ' && line[i] != '\t')); ++i) {
      const char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        word += line[++i];
      } else if (quote != '\0' && c == quote) {
        quote = '\0';
      } else if (quote == '\0' && (c == '"' || c == '\'')) {
        quote = c;
      } else if (quote == '\0' && c == '#') {
        words.push_back(word);
        return words;
      } else {
        word += c;
      }
    }
    words.push_back(word);
  }
}

int64_t DefaultSlurmTasks(int64_t runs) {
  int64_t tasks = 1;
  while (tasks * tasks < runs) {
    ++tasks;
  }
  return tasks;
}

Outcome<SlurmArray> SlurmArrayFromOptions(const SlurmOptionTexts& texts, int64_t runs) {
  SlurmArray array;
  array.runs = runs;
  array.tasks = DefaultSlurmTasks(runs);
  if (texts.tasks) {
    const std::optional<uint64_t> value = ParseDecimal(*texts.tasks, static_cast<uint64_t>(MAX_SWEEP_RUNS));
    if (!value || *value == 0 || static_cast<int64_t>(*value) > runs) {
      return Failure::Usage(RefusalMessage(
          "--tasks", "a whole number from 1 to the sweep's " + std::to_string(runs) + " runs", *texts.tasks));
    }
    array.tasks = static_cast<int64_t>(*value);
  }
  if (texts.max_parallel) {
    const std::optional<uint64_t> value = ParseDecimal(*texts.max_parallel, static_cast<uint64_t>(MAX_SWEEP_RUNS));
    if (!value || *value == 0) {
      return Failure::Usage(
          RefusalMessage("--max-parallel", "a whole number of tasks from 1 to 1000000", *texts.max_parallel));
    }
    array.max_parallel = static_cast<int64_t>(*value);
  }
  if (texts.partition) {
    if (!ValidPartition(*texts.partition)) {
      return Failure::Usage(RefusalMessage(
          "--partition", "a partition name (letters, digits, _ - .; several separated by ,)", *texts.partition));
    }
    array.partition = texts.partition;
  }
  if (texts.time) {
    if (!ValidTimeLimit(*texts.time)) {
      return Failure::Usage(
          RefusalMessage("--time", "a time limit per task HH:MM:SS or D-HH:MM:SS, above zero", *texts.time));
    }
    array.time = texts.time;
  }
  if (texts.cpus_per_task) {
    const std::optional<uint64_t> value = ParseDecimal(*texts.cpus_per_task, kMaxCpusPerTask);
    if (!value || *value == 0) {
      return Failure::Usage(RefusalMessage("--cpus-per-task", "a whole number from 1 to 1024", *texts.cpus_per_task));
    }
    array.cpus_per_task = static_cast<int64_t>(*value);
  }
  for (const std::string& arg : texts.sbatch_args) {
    if (Status fits = SbatchArgFits(arg); !fits.ok()) {
      return fits.failure();
    }
  }
  array.sbatch_args = texts.sbatch_args;
  return array;
}

Status SlurmDirectoryFits(const std::string& dir) {
  if (dir.find('\\') != std::string::npos) {
    return Failure::Usage("--out \"" + dir +
                          "\" holds a backslash, which would turn off the task numbers in the names of Slurm's log "
                          "files; give a directory without one");
  }
  if (dir.find_first_of("\r\n") != std::string::npos) {
    return Failure::Usage("--out holds a line break, which an #SBATCH line cannot hold; give a directory without one");
  }
  return {};
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::string ShellWord(const std::string& text) {
  if (text.empty()) {
    return ShellQuote(text);
  }
  for (const char c : text) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum && std::string_view("_@%+=:,./-").find(c) == std::string_view::npos) {
      return ShellQuote(text);
    }
  }
  return text;
}

std::string SlurmScript(const SlurmArray& a) {
  // Numbers go in through std::to_string: the same digits in every locale.
  const std::string t = std::to_string(a.tasks);
  const std::string logs = JoinPath(a.out_dir, SLURM_LOG_DIRECTORY);
  std::ostringstream s;
  s << "#!/bin/sh\n"
    << "# A sweep of " << std::to_string(a.runs) << " runs as a Slurm job array of " << t
    << " tasks, written by veldaris-sweep " << VERSION << ".\n"
    << "# Task I makes the runs with run % " << t << " == I that are not finished yet, so\n"
    << "# submitting this script again (after a failure, a time-out or scancel) makes\n"
    << "# only the runs still missing; sbatch --array=I,J this script reruns tasks I and J.\n"
    << "#SBATCH --job-name=veldaris-sweep\n"
    << "#SBATCH --array=0-" << std::to_string(a.tasks - 1);
  if (a.max_parallel) {
    s << "%" << std::to_string(*a.max_parallel);
  }
  s << "\n";
  if (a.partition) {
    s << "#SBATCH --partition=" << *a.partition << "\n";
  }
  if (a.time) {
    s << "#SBATCH --time=" << *a.time << "\n";
  }
  s << "#SBATCH --cpus-per-task=" << std::to_string(a.cpus_per_task) << "\n"
    << "#SBATCH --output=" << SbatchLogPattern(logs, "%A_%a.out") << "\n"
    << "#SBATCH --error=" << SbatchLogPattern(logs, "%A_%a.err") << "\n";
  for (const std::string& arg : a.sbatch_args) {
    s << "#SBATCH " << arg << "\n";
  }
  s << "if [ -z \"${SLURM_ARRAY_TASK_ID:-}\" ]; then\n"
    << "  echo \"this script is a Slurm job array: submit it with sbatch\" >&2\n"
    << "  exit 2\n"
    << "fi\n"
    << "exec " << ShellQuote(a.program) << " run " << ShellQuote(a.sweep_file) << " --out " << ShellQuote(a.out_dir)
    << " \\\n"
    << "  --shard \"$SLURM_ARRAY_TASK_ID/" << t << "\" --jobs \"${SLURM_CPUS_PER_TASK:-"
    << std::to_string(a.cpus_per_task) << "}\" --quiet\n";
  return s.str();
}

std::string ThisProgramPath() {
#ifdef _WIN32
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) {
    return std::string();
  }
  path.resize(length);
  return TextOfPath(std::filesystem::path(path));
#else
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
#endif
}

std::string CollectJobCommand(const SlurmArray& a) {
  const std::string collect = ShellWord(a.program) + " collect " + ShellWord(a.out_dir);
  std::string wrapped = "\"";
  for (const char c : collect) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') {
      wrapped += '\\';
    }
    wrapped += c;
  }
  wrapped += "\"";
  // Slurm reads %% in a log file name as one %.
  std::string log_dir;
  for (const char c : JoinPath(a.out_dir, SLURM_LOG_DIRECTORY)) {
    log_dir += c == '%' ? "%%" : std::string(1, c);
  }
  const std::string log = JoinPath(log_dir, "collect-%j.out");
  std::string command = "sbatch --job-name=veldaris-collect";
  if (a.partition) {
    command += " --partition=" + ShellWord(*a.partition);
  }
  if (a.time) {
    command += " --time=" + ShellWord(*a.time);
  }
  // The extra options as the #SBATCH lines give them to sbatch (one word
  // each), before the dependency and log, which they cannot replace.
  for (const std::string& arg : a.sbatch_args) {
    for (const std::string& word : SbatchLineWords(arg)) {
      command += ' ';
      command += ShellWord(word);
    }
  }
  return command + " --dependency=afterok:<jobid> " + ShellWord("--output=" + log) + " --wrap " + wrapped;
}

std::vector<std::string> NodeLocalDirectories() {
  std::vector<std::string> dirs = {"/tmp", "/var/tmp", "/dev/shm", "/run"};
  for (const char* name : {"TMPDIR", "SLURM_TMPDIR"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/') {
      dirs.emplace_back(value);
    }
  }
  return dirs;
}

std::vector<std::string> NodeLocalWarnings(const SlurmArray& a, const std::vector<std::string>& local_dirs) {
  std::vector<std::string> warnings;
  const std::pair<const char*, const std::string*> paths[] = {
      {"DIR", &a.out_dir}, {"the sweep file", &a.sweep_file}, {"the program", &a.program}};
  for (const auto& [what, path] : paths) {
    std::error_code ec;
    const std::filesystem::path given = std::filesystem::path(*path).lexically_normal();
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(given, ec);
    const auto under = [&](const std::string& dir) {
      for (const std::filesystem::path& candidate : {given, ec ? given : resolved}) {
        const std::filesystem::path relative =
            candidate.lexically_relative(std::filesystem::path(dir).lexically_normal());
        if (!relative.empty() && *relative.begin() != "..") {
          return true;
        }
      }
      return false;
    };
    for (const std::string& dir : local_dirs) {
      if (under(dir)) {
        warnings.push_back("warning: " + std::string(what) + " \"" + *path + "\" is under " + dir +
                           ", which is usually each node's own: the compute nodes would not see it");
        break;
      }
    }
  }
  return warnings;
}

}  // namespace veldaris::cli
