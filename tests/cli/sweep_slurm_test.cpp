// veldaris-sweep slurm without a cluster: the script's #SBATCH lines, the
// command its tasks run (executed by /bin/sh against a stand-in program, so
// that the quoting is tried, not read), the collect hint likewise, the
// default number of tasks and the refused options, and the directory the
// command plans. The real cluster's test is tests/slurm.
#include "cli/sweep_slurm.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/sweep.h"
#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace veldaris::cli {
namespace {

using namespace cli_test;

// Runs command with /bin/sh; its exit status.
int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SlurmScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veldaris_slurm_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    // Paths with what a shell or sbatch would read otherwise: spaces, both
    // quotes, $, a backquote, # and %.
    odd_ = dir_ / "a b'c\"d$HOME`x`#1 100%";
    fs::create_directories(odd_);
    // A stand-in for veldaris-sweep that records its arguments, NUL-separated.
    fake_ = odd_ / "fake sweep";
    WriteFile(fake_, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$ARGS_OUT\"\n");
    fs::permissions(fake_, fs::perms::owner_all);
    WriteFile(dir_ / "small.toml", "generations = [10, 20]\ngroups = 10\nconnectivity = 2\nreplicates = 3\nseed = 4\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The arguments the stand-in program was last given.
  std::vector<std::string> RecordedArgs() const {
    std::vector<std::string> args;
    std::istringstream in(ReadFile(dir_ / "args"));
    for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
    return args;
  }

  // Runs a script as a task of an array would, with the given environment.
  int RunTask(const fs::path& script, const std::string& environment) const {
    return Shell("env -u SLURM_ARRAY_TASK_ID -u SLURM_CPUS_PER_TASK ARGS_OUT=" + ShellQuote((dir_ / "args").string()) +
                 " " + environment + " /bin/sh " + ShellQuote(script.string()) + " 2>" +
                 ShellQuote((dir_ / "task.err").string()));
  }

  fs::path dir_;
  fs::path odd_;
  fs::path fake_;
};

SlurmArray ArrayOf(const SlurmOptionTexts& texts, int64_t runs) {
  const Outcome<SlurmArray> array = SlurmArrayFromOptions(texts, runs);
  EXPECT_TRUE(array.ok()) << array.failure().Message();
  return array.ok() ? array.value() : SlurmArray{};
}

TEST_F(SlurmScriptTest, DirectivesComeFirstAndCarryEveryOptionGiven) {
  SlurmOptionTexts texts;
  texts.tasks = "3";
  texts.max_parallel = "2";
  texts.partition = "short,long";
  texts.time = "1-02:30:00";
  texts.cpus_per_task = "4";
  texts.sbatch_args = {"--mem=2G", "--account=lab"};
  SlurmArray array = ArrayOf(texts, 12);
  array.program = "/opt/v/veldaris-sweep";
  array.sweep_file = "/home/u/s.toml";
  array.out_dir = "/scratch/u/out";
  const std::vector<std::string> lines = Lines(SlurmScript(array));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "#!/bin/sh");

  // sbatch reads #SBATCH lines only up to the first command.
  std::vector<std::string> directives;
  bool commands = false;
  for (const std::string& line : lines) {
    if (line.rfind("#SBATCH ", 0) == 0) {
      EXPECT_FALSE(commands) << line;
      directives.push_back(line.substr(8));
    } else if (!line.empty() && line[0] != '#') {
      commands = true;
    }
  }
  EXPECT_EQ(directives, (std::vector<std::string>{
                            "--job-name=veldaris-sweep", "--array=0-2%2", "--partition=short,long", "--time=1-02:30:00",
                            "--cpus-per-task=4", "--output=\"/scratch/u/out/slurm/%A_%a.out\"",
                            "--error=\"/scratch/u/out/slurm/%A_%a.err\"", "--mem=2G", "--account=lab"}));

  // Without the optional options: no limit on the array, no partition or
  // time lines, and still a number of cores (which sets the task's --jobs).
  SlurmArray plain = ArrayOf({}, 12);
  plain.program = array.program;
  plain.sweep_file = array.sweep_file;
  plain.out_dir = array.out_dir;
  const std::string text = SlurmScript(plain);
  EXPECT_NE(text.find("\n#SBATCH --array=0-3\n"), npos) << text;  // 4 tasks by default
  EXPECT_NE(text.find("\n#SBATCH --cpus-per-task=1\n"), npos) << text;
  EXPECT_EQ(text.find("--partition"), npos);
  EXPECT_EQ(text.find("--time"), npos);
}

// The task command as /bin/sh runs it: every path arrives as one argument,
// the shard is the task's index of T, --jobs follows the cores Slurm gives.
TEST_F(SlurmScriptTest, TasksRunTheProgramWithTheirShardWhateverThePaths) {
  SlurmOptionTexts texts;
  texts.tasks = "3";
  texts.cpus_per_task = "4";
  SlurmArray array = ArrayOf(texts, 12);
  array.program = fake_.string();
  array.sweep_file = (odd_ / "it's.toml").string();
  array.out_dir = (odd_ / "out").string();
  const fs::path script = dir_ / "job.sbatch";
  WriteFile(script, SlurmScript(array));

  ASSERT_EQ(RunTask(script, "SLURM_ARRAY_TASK_ID=1 SLURM_CPUS_PER_TASK=6"), 0) << ReadFile(dir_ / "task.err");
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"run", array.sweep_file, "--out", array.out_dir, "--shard", "1/3",
                                                      "--jobs", "6", "--quiet"}));
  // Without SLURM_CPUS_PER_TASK, the cores asked for.
  ASSERT_EQ(RunTask(script, "SLURM_ARRAY_TASK_ID=2"), 0);
  EXPECT_EQ(RecordedArgs()[5], "2/3");
  EXPECT_EQ(RecordedArgs()[7], "4");

  // Outside a job array the script says so and runs nothing.
  fs::remove(dir_ / "args");
  EXPECT_EQ(RunTask(script, ""), 2);
  EXPECT_NE(ReadFile(dir_ / "task.err").find("submit it with sbatch"), npos);
  EXPECT_FALSE(fs::exists(dir_ / "args"));

  // In the #SBATCH lines (which sbatch reads, not the shell) a path is in
  // double quotes with \" and \\ escaped, and Slurm's % doubled.
  array.out_dir = "/s/a b\"c%d";
  const std::string text = SlurmScript(array);
  EXPECT_NE(text.find("\n#SBATCH --output=\"/s/a b\\\"c%%d/slurm/%A_%a.out\"\n"), npos) << text;
}

// The printed collect command, pasted into a shell with the job's number:
// the job it submits carries the array's partition, time limit and extra
// options, logs into DIR/slurm/ and runs collect on the sweep's directory.
TEST_F(SlurmScriptTest, TheCollectJobCarriesTheArraysOptionsAndRunsCollect) {
  const fs::path bin = dir_ / "bin";
  fs::create_directories(bin);
  // A stand-in for sbatch that records its arguments, then runs what --wrap gives.
  WriteFile(bin / "sbatch",
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$SBATCH_OUT\"\n"
            "while [ \"$1\" != --wrap ]; do shift; done\nexec /bin/sh -c \"$2\"\n");
  fs::permissions(bin / "sbatch", fs::perms::owner_all);
  SlurmOptionTexts texts;
  texts.partition = "short";
  texts.time = "0:30:00";
  texts.sbatch_args = {"--account=lab", "--comment=\"two words\""};
  SlurmArray array = ArrayOf(texts, 12);
  array.program = fake_.string();
  array.out_dir = (odd_ / "sweep 'x' 5%").string();
  std::string command = CollectJobCommand(array);
  const size_t jobid = command.find("<jobid>");
  ASSERT_NE(jobid, npos) << command;
  command.replace(jobid, 7, "42");
  ASSERT_EQ(Shell("PATH=" + ShellQuote(bin.string()) + ":\"$PATH\" ARGS_OUT=" + ShellQuote((dir_ / "args").string()) +
                  " SBATCH_OUT=" + ShellQuote((dir_ / "sbatch").string()) + " /bin/sh -c " + ShellQuote(command)),
            0)
      << command;
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"collect", array.out_dir}));
  std::vector<std::string> sbatch;
  std::istringstream in(ReadFile(dir_ / "sbatch"));
  for (std::string arg; std::getline(in, arg, '\0');) sbatch.push_back(arg);
  ASSERT_EQ(sbatch.size(), 9u) << command;
  // Slurm reads %% in a log name as one %: the log lands in DIR/slurm/.
  EXPECT_EQ(
      std::vector<std::string>(sbatch.begin(), sbatch.end() - 1),
      (std::vector<std::string>{
          "--job-name=veldaris-collect", "--partition=short", "--time=0:30:00", "--account=lab", "--comment=two words",
          "--dependency=afterok:42",
          "--output=" + dir_.string() + "/a b'c\"d$HOME`x`#1 100%%/sweep 'x' 5%%/slurm/collect-%j.out", "--wrap"}));
  EXPECT_EQ(ShellWord("/plain/path-1.2_x"), "/plain/path-1.2_x");
}

// sbatch reads an #SBATCH line as a shell would, roughly: quotes group,
// a backslash escapes, an unquoted # starts a comment.
TEST(SlurmOptions, SbatchLineWords) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(SbatchLineWords("--mem=2G"), Words{"--mem=2G"});
  EXPECT_EQ(SbatchLineWords("  --comment=x\t--array=0-0 "), (Words{"--comment=x", "--array=0-0"}));
  EXPECT_EQ(SbatchLineWords("--comment=\"a b\"'c d'"), Words{"--comment=a bc d"});
  EXPECT_EQ(SbatchLineWords("--\"arr\"ay=0-0"), Words{"--array=0-0"});
  EXPECT_EQ(SbatchLineWords("--comment=a\\ b#c d"), Words{"--comment=a b"});
  EXPECT_EQ(SbatchLineWords("--comment='#'#x"), Words{"--comment=#"});
  EXPECT_EQ(SbatchLineWords("# --array=0-0"), Words{});
}

// DIR, the sweep file or the program on a node's own storage: warned, as
// written or through a link.
TEST_F(SlurmScriptTest, NodeLocalPathsAreWarned) {
  fs::create_directories(dir_ / "local" / "sweep");
  fs::create_symlink(dir_ / "local", dir_ / "link");
  SlurmArray array;
  array.out_dir = (dir_ / "link" / "sweep").string();
  array.sweep_file = (dir_ / "shared" / "s.toml").string();
  array.program = (dir_ / "local" / ".." / "shared" / "veldaris-sweep").string();
  const std::vector<std::string> local = {(dir_ / "local").string(), "/var/tmp"};
  const std::vector<std::string> warnings = NodeLocalWarnings(array, local);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "warning: DIR \"" + array.out_dir + "\" is under " + local[0] +
                             ", which is usually each node's own: the compute nodes would not see it");
  array.sweep_file = "/var/tmp/s.toml";
  array.program = (dir_ / "local" / "veldaris-sweep").string();
  EXPECT_EQ(NodeLocalWarnings(array, local).size(), 3u);
  EXPECT_TRUE(NodeLocalWarnings(array, {"/var/tm", (dir_ / "loc").string()}).empty());
  const std::vector<std::string> standard = NodeLocalDirectories();
  for (const char* dir : {"/tmp", "/var/tmp", "/dev/shm"}) {
    EXPECT_NE(std::find(standard.begin(), standard.end(), dir), standard.end()) << dir;
  }
}

TEST(SlurmOptions, DefaultTasksAndRefusedValues) {
  // About the square root of the runs, never more tasks than runs.
  EXPECT_EQ(DefaultSlurmTasks(1), 1);
  EXPECT_EQ(DefaultSlurmTasks(12), 4);
  EXPECT_EQ(DefaultSlurmTasks(16), 4);
  EXPECT_EQ(DefaultSlurmTasks(17), 5);
  EXPECT_EQ(DefaultSlurmTasks(1000000), 1000);
  for (int64_t runs = 1; runs <= 300; ++runs) {
    const int64_t tasks = DefaultSlurmTasks(runs);
    EXPECT_LE(tasks, runs);
    EXPECT_GE(tasks * tasks, runs);
    EXPECT_LT((tasks - 1) * (tasks - 1), runs);
  }
  EXPECT_EQ(ArrayOf({.tasks = "12"}, 12).tasks, 12);
  EXPECT_EQ(ArrayOf({.time = "100:00:00"}, 12).time, "100:00:00");

  const std::vector<std::pair<SlurmOptionTexts, std::string>> bad = {
      {{.tasks = "0"}, "--tasks must be a whole number from 1 to the sweep's 12 runs (got \"0\")"},
      {{.tasks = "13"}, "--tasks must be"},
      {{.max_parallel = "0"}, "--max-parallel must be"},
      {{.max_parallel = "2x"}, "--max-parallel must be"},
      {{.partition = "a b"}, "--partition must be"},
      {{.time = "30"}, "--time must be"},
      {{.time = "1:0:00"}, "--time must be"},
      {{.time = "1:00:60"}, "--time must be"},
      {{.time = "0:00:00"}, "--time must be"},
      {{.time = "0-0:00:00"}, "--time must be"},
      {{.time = "1:00:00\n#SBATCH --x"}, "--time must be"},
      {{.cpus_per_task = "0"}, "--cpus-per-task must be"},
      {{.sbatch_args = {"--array=0-99"}}, "use --tasks and --max-parallel"},
      {{.sbatch_args = {"--output=x.log"}}, "the logs go to DIR/slurm/"},
      {{.sbatch_args = {"-e x"}}, "the logs go to DIR/slurm/"},
      {{.sbatch_args = {"-c4"}}, "use --cpus-per-task"},
      // What sbatch's option parser reads as the script's own options:
      // abbreviations, short options run together, several in one line.
      {{.sbatch_args = {"--arr=0-0"}}, "use --tasks and --max-parallel"},
      {{.sbatch_args = {"--outp=FILE"}}, "the logs go to DIR/slurm/"},
      {{.sbatch_args = {"--cpus-per=2"}}, "use --cpus-per-task"},
      {{.sbatch_args = {"-Ha0-0"}}, "use --tasks and --max-parallel"},
      {{.sbatch_args = {"-vQt1:00:00"}}, "use --time"},
      {{.sbatch_args = {"--comment=x --array=0-0"}}, "use --tasks and --max-parallel"},
      {{.sbatch_args = {"--\"part\"=x"}}, "use --partition"},
      {{.sbatch_args = {"--mem 2G"}}, "is 2 words to sbatch; give one option per --sbatch-arg"},
      {{.sbatch_args = {"mem=2G"}}, "must be one sbatch option on one line"},
      {{.sbatch_args = {"--"}}, "must be one sbatch option on one line"},
      {{.sbatch_args = {"#--mem=2G"}}, "must be one sbatch option on one line"},
      {{.sbatch_args = {"--mem=2G\necho"}}, "must be one sbatch option on one line"},
  };
  for (const auto& [texts, message] : bad) {
    const Outcome<SlurmArray> array = SlurmArrayFromOptions(texts, 12);
    ASSERT_FALSE(array.ok()) << message;
    EXPECT_NE(array.failure().Message().find(message), npos) << array.failure().Message();
  }
  // Options that only begin like the script's own are others, and so is a
  // cluster whose letter before one of theirs takes the rest as its value.
  EXPECT_EQ(ArrayOf({.sbatch_args = {"--time-min=1:00:00", "--error-file-x", "-Jarray-output", "-HJcat",
                                     "--comment=\"a b\"", "--mem=2G"}},
                    12)
                .sbatch_args.size(),
            6u);
}

// The command plans the directory as run does, makes no run, and leaves
// everything as it was when it refuses.
TEST_F(SlurmScriptTest, TheCommandPlansTheDirectoryOrChangesNothing) {
  const std::string small = (dir_ / "small.toml").string();
  const fs::path out = dir_ / "out";
  const fs::path script = dir_ / "job.sbatch";
  const Result written =
      Sweep({"slurm", small, "--out", out.string(), "--tasks", "3", "--max-parallel", "2", "--write", script.string()});
  ASSERT_EQ(written.status, 0) << written.err;
  // This test's directory is a temporary one: warned as the node's own.
  SlurmArray at_out;
  at_out.out_dir = out.string();
  if (NodeLocalWarnings(at_out, NodeLocalDirectories()).empty()) {
    EXPECT_EQ(written.err, "");
  } else {
    EXPECT_NE(written.err.find("warning: DIR \"" + out.string() + "\" is under"), npos) << written.err;
  }
  for (const char* entry : {"sweep.toml", "plan.csv", "slurm"}) EXPECT_TRUE(fs::exists(out / entry)) << entry;
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 3);
  EXPECT_FALSE(fs::exists(out / "summary.csv"));
  const std::string text = ReadFile(script);
  // The very program that wrote it (here this test), and absolute paths.
  EXPECT_NE(text.find("exec " + ShellQuote(fs::read_symlink("/proc/self/exe").string()) + " run " + ShellQuote(small) +
                      " --out " + ShellQuote(out.string()) + " \\\n"),
            npos)
      << text;
  EXPECT_NE(text.find("#SBATCH --array=0-2%2\n"), npos);
  EXPECT_NE(written.out.find("sbatch --job-name=veldaris-collect --dependency=afterok:<jobid> --output="), npos)
      << written.out;

  // A task is a shard of run on that directory.
  const Result task = Sweep({"run", small, "--out", out.string(), "--shard", "1/3", "--quiet"});
  ASSERT_EQ(task.status, 0) << task.err;
  EXPECT_NE(task.out.find("shard 1/3: 2 runs; 0 already finished, making 2"), npos) << task.out;

  // Without --write the script goes to stdout and the rest to stderr; the
  // same sweep again is accepted, relative paths made absolute.
  const fs::path here = fs::current_path();
  fs::current_path(dir_);
  const Result printed = Sweep({"slurm", "small.toml", "--out", "./out/"});
  fs::current_path(here);
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(printed.out.rfind("#!/bin/sh\n", 0), 0u);
  EXPECT_NE(printed.out.find(" run " + ShellQuote(small) + " --out " + ShellQuote(out.string()) + " \\\n"), npos)
      << printed.out;
  EXPECT_NE(printed.err.find("Planned 6 runs in " + out.string() + " for a Slurm job array of 3 tasks (2 runs each)"),
            npos)
      << printed.err;

  // Refusals: exit 2, the directory, the script and the sweep file untouched.
  WriteFile(dir_ / "other.toml", "groups = 10\nconnectivity = 2\ngenerations = 10\nreplicates = 2\nseed = 5\n");
  const std::string plan = ReadFile(out / "plan.csv");
  const std::vector<std::vector<std::string>> refused = {
      {"slurm", (dir_ / "other.toml").string(), "--out", out.string(), "--write", script.string()},
      {"slurm", small, "--out", out.string(), "--tasks", "7", "--write", script.string()},
      {"slurm", small, "--out", out.string(), "--time", "1h", "--write", script.string()},
      {"slurm", small, "--out", out.string(), "--write", small},
      {"slurm", small, "--out", out.string(), "--write", (out / "plan.csv").string()},
      {"slurm", small, "--out", out.string(), "--write", (out / "results.sqlite").string()},
      {"slurm", small, "--out", out.string(), "--write", dir_.string()},
      {"slurm", small, "--out", (dir_ / "back\\slash").string()},
      {"slurm", small, "--out", (dir_ / "new").string(), "--partition", "a'b", "--write", (dir_ / "new.sh").string()},
  };
  for (const std::vector<std::string>& args : refused) {
    const Result r = Sweep(args);
    EXPECT_EQ(r.status, 2) << args[4] << " " << args.back();
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadFile(script), text);
  EXPECT_EQ(ReadFile(out / "plan.csv"), plan);
  EXPECT_TRUE(fs::exists(out / "runs-1-of-3.sqlite"));  // the task's two runs
  EXPECT_FALSE(fs::exists(dir_ / "new"));
  EXPECT_FALSE(fs::exists(dir_ / "new.sh"));
  EXPECT_FALSE(fs::exists(dir_ / "back\\slash"));
}

}  // namespace
}  // namespace veldaris::cli
