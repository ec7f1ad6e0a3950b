// A sweep's store: the finished runs of one shard in one SQLite database file
// of the sweep's directory, written by one process at a time.
//
// Each run is one row (its record as run.json's text, the text of both result
// files, and the C_Avg and D_Avg series of every generation with their
// digest), added in a transaction of its own or of a few runs finished close
// together: a run is in the file completely or not at all, whenever the
// writer is killed.
//
// The file is opened without SQLite's file locks (which many network file
// systems lack or break) and with a rollback journal. Its one writer is
// guarded by a claim file beside it instead, "<store>.claim", created
// exclusively and naming the host, the process and the time it was made. The
// writer renews the claim (its modification time) every CLAIM_RENEW_SECONDS.
// A claim is stale, and the next writer takes it over, when it was not
// renewed for CLAIM_STALE_SECONDS (its writer died, maybe on another node),
// or at once when it names a process of this host that no longer exists.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/failure.h"

namespace veldaris::cli {

inline constexpr int CLAIM_RENEW_SECONDS = 30;
inline constexpr int CLAIM_STALE_SECONDS = 300;
inline constexpr const char* CLAIM_SUFFIX = ".claim";

// A run as the store keeps it.
struct StoredRun {
  int64_t run = 0;
  std::string record;   // run.json's text
  std::string initial;  // the Initial result file's bytes
  std::string all;      // the All result file's bytes
  // C_Avg then D_Avg of generations 1..G, each an IEEE-754 double of 8
  // little-endian bytes, and the SHA-256 of those bytes (64 hex digits).
  std::string averages;
  std::string averages_sha256;
};

// The store file of shard index of count: "runs-<index>-of-<count>.sqlite".
std::string StoreFileName(int64_t index, int64_t count);

// The store files in dir, in name order. A dir that does not exist holds none.
Outcome<std::vector<std::filesystem::path>> StoreFiles(const std::filesystem::path& dir);

// What a claim file says.
struct ClaimHolder {
  std::string host;
  int64_t pid = 0;
  std::string started;
  std::string Describe() const;  // "process P on host H since T"
};

// The holder of path's live claim, if any (a stale or unreadable claim is
// none, a missing one too).
std::optional<ClaimHolder> LiveClaim(const std::filesystem::path& store);

// The one writer of a store file: holds its claim from Open to destruction.
class StoreWriter {
 public:
  // Claims store (taking over a stale claim) and opens it, creating it if
  // missing. A Usage failure naming the live writer when another process
  // holds the claim; a Write failure when the claim or the file cannot be
  // made.
  static Outcome<std::unique_ptr<StoreWriter>> Open(const std::filesystem::path& store);
  ~StoreWriter();  // commits what is waiting, closes the file, gives the claim up
  StoreWriter(const StoreWriter&) = delete;
  StoreWriter& operator=(const StoreWriter&) = delete;

  // Adds a finished run; it is committed with the runs waiting, at once when
  // the last commit is a second old. A failed commit leaves its runs out of
  // the file.
  Status Add(StoredRun run);
  // Commits every run waiting.
  Status Flush();
  // Renews the claim. False when the claim is no longer this writer's (taken
  // over as stale): nothing is committed any more.
  bool Renew();
  // The runs given to Add that are not in the file (their commit failed).
  size_t Lost();

 private:
  StoreWriter() = default;
  Status CommitLocked();

  std::mutex mutex_;
  std::filesystem::path store_;
  std::filesystem::path claim_;
  std::string claim_text_;
  struct Database;
  std::unique_ptr<Database> db_;
  std::vector<StoredRun> waiting_;
  int64_t last_commit_ms_ = 0;
  bool lost_ = false;
  size_t lost_runs_ = 0;
};

// Reads every run of a store file in one pass, giving each to visit. A store with a live writer is read as
// far as it is committed, with *writer set to the writer (a failure may then
// come from a commit in progress); one without is claimed while it is read,
// so that a transaction its killed writer left is rolled back first.
Status ReadStore(const std::filesystem::path& store, const std::function<void(StoredRun&&)>& visit,
                 std::optional<ClaimHolder>* writer);

// The two averages series of a completed run's generations 1..G in the
// store's form, and back; nullopt when bytes is not 16 x G long.
std::string AveragesBytes(const double* c_avg, const double* d_avg, int32_t generations);
std::optional<std::pair<std::vector<double>, std::vector<double>>> AveragesOf(const std::string& bytes,
                                                                              int32_t generations);

// The file: URI of path with the query options given, for sqlite3_open_v2
// with SQLITE_OPEN_URI (a drive letter and backslashes on Windows).
std::string SqliteUri(const std::filesystem::path& path, const char* options);

// SHA-256 of bytes as 64 lowercase hex digits.
std::string DigestHex(const std::string& bytes);

}  // namespace veldaris::cli
