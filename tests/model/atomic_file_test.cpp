// Writing a file through a temporary file: what is created, what can never
// be redirected, and which leftovers a later write removes.
#include "io/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "model_test_support.h"

namespace veldaris::test {
namespace {

namespace fs = std::filesystem;
using ModelAtomicFile = ModelTest;

bool WriteText(std::FILE* file, const void* context) {
  return std::fputs(static_cast<const char*>(context), file) >= 0;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Two writers of one path at the same time get temporary files of their own,
// new files with the mode any new file gets; the later commit wins.
TEST_F(ModelAtomicFile, EveryWriterHasANewTemporaryFileOfItsOwn) {
  const fs::path target = dir_ / "result.csv";
  const mode_t mask = umask(027);
  PendingFile first;
  PendingFile second;
  ASSERT_EQ(PrepareFile(target.c_str(), WriteText, "first", first), 0);
  ASSERT_EQ(PrepareFile(target.c_str(), WriteText, "second", second), 0);
  umask(mask);
  const std::regex pattern(".*/result\\.csv\\.[0-9]+\\.[0-9a-f]{16}\\.tmp");
  EXPECT_TRUE(std::regex_match(first.temp, pattern)) << first.temp;
  EXPECT_STRNE(first.temp, second.temp);
  struct stat status {};
  ASSERT_EQ(stat(first.temp, &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  EXPECT_EQ(CommitFile(first, target.c_str()) + CommitFile(second, target.c_str()), 0);
  EXPECT_EQ(Result("result.csv"), "second");
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{"result.csv"});
}

// Links planted where a writer might put its temporary file lead nowhere:
// the file they point to is not written and the result is a file of its own.
TEST_F(ModelAtomicFile, PlantedLinksAreNeverFollowed) {
  const fs::path victim = dir_ / "victim";
  std::ofstream(victim) << "precious";
  const std::string target = (dir_ / INITIAL_RESULT_FILE).string();
  fs::create_symlink(victim, target + "." + std::to_string(getpid()) + ".tmp");
  fs::create_symlink(victim, target + ".tmp");
  ASSERT_EQ(WriteFileAtomically(target.c_str(), WriteText, "rows"), 0);
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
  EXPECT_EQ(ReadFile(target), "rows");
}

// Leftovers of killed writers go; the files of a writer at work, fresh
// files, other names and directories stay.
TEST_F(ModelAtomicFile, LaterWritesRemoveTheLeftoversOfWritersThatAreGone) {
  const std::string all = ALL_RESULT_FILE;
  const auto make = [this](const std::string& name, bool old) {
    const fs::path path = dir_ / name;
    std::ofstream(path) << "partial";
    if (old) fs::last_write_time(path, fs::last_write_time(path) - std::chrono::minutes(1));
    return path;
  };
  make(all + ".4242.0123456789abcdef.tmp", true);                            // gone: removed
  make(std::string(INITIAL_RESULT_FILE) + ".7.fedcba9876543210.tmp", true);  // gone: removed
  const fs::path locked = make(all + ".1.00000000000000aa.tmp", true);
  make(all + ".99.00000000000000bb.tmp", false);   // just created
  make(all + ".backup.tmp", true);                 // not a temporary file's name
  make("notes.txt.5.0123456789abcdef.tmp", true);  // another file's
  fs::create_directory(dir_ / (all + ".3.0123456789abcdee.tmp"));
  const int fd = open(locked.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);  // its writer is at work

  SetParams(SMALL_WORLD, 50, 4, 10, 4, 10);
  Build(3);
  RunAndWrite(3);
  close(fd);
  EXPECT_EQ(Entries(dir_),
            (std::vector<std::string>{all, all + ".1.00000000000000aa.tmp", all + ".3.0123456789abcdee.tmp",
                                      all + ".99.00000000000000bb.tmp", all + ".backup.tmp", INITIAL_RESULT_FILE,
                                      "notes.txt.5.0123456789abcdef.tmp"}));
}

}  // namespace
}  // namespace veldaris::test
