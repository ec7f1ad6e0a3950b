// The store of a sweep's shard: its SQLite file, and the claim file that keeps it to one writer.
#include "cli/sweep_store.h"

#include <fcntl.h>
#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "cli/path_text.h"
#include "cli/single_run.h"
#include "io/sha256.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStorePrefix = "runs-";
constexpr const char* kStoreSuffix = ".sqlite";
constexpr int64_t kCommitEveryMs = 1000;
constexpr size_t kMostWaiting = 256;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t ThisProcess() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int64_t>(getpid());
#endif
}

std::string ThisHost() {
#ifdef _WIN32
  const char* name = std::getenv("COMPUTERNAME");
  return name != nullptr ? name : "unknown";
#else
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
    return "unknown";
  }
  return name;
#endif
}

// Whether process pid of this host has ended (false when it cannot tell).
bool ProcessGone(int64_t pid) {
#ifdef _WIN32
  (void)pid;
  return false;
#else
  return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

std::string ClaimText() {
  return "host " + ThisHost() + "\npid " + std::to_string(ThisProcess()) + "\nstarted " +
         UtcTimestamp(std::chrono::system_clock::now()) + "\n";
}

std::optional<ClaimHolder> ParseClaim(const std::string& text) {
  ClaimHolder holder;
  std::istringstream in(text);
  std::string key;
  bool has_pid = false;
  for (std::string line; std::getline(in, line);) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) {
      continue;
    }
    const std::string name = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (name == "host") {
      holder.host = value;
    } else if (name == "pid") {
      char* end = nullptr;
      holder.pid = std::strtoll(value.c_str(), &end, 10);
      has_pid = end != value.c_str() && *end == '\0';
    } else if (name == "started") {
      holder.started = value;
    }
  }
  if (holder.host.empty() || !has_pid) {
    return std::nullopt;
  }
  return holder;
}

std::optional<std::string> ReadSmallFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether the claim with this text, last renewed at time, is stale.
bool Stale(const std::string& text, fs::file_time_type renewed) {
  const auto age = fs::file_time_type::clock::now() - renewed;
  if (age > std::chrono::seconds(CLAIM_STALE_SECONDS)) {
    return true;
  }
  const std::optional<ClaimHolder> holder = ParseClaim(text);
  // A claim being written is not yet parsable: give it the stale time.
  return holder && holder->host == ThisHost() && ProcessGone(holder->pid);
}

// Creates path exclusively with text; std::errc::file_exists when it exists.
std::error_code CreateWithText(const fs::path& path, const std::string& text) {
#ifdef _WIN32
  const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0644);
#else
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
#endif
  if (fd < 0) {
    return std::error_code(errno, std::generic_category());
  }
#ifdef _WIN32
  const bool ok = _write(fd, text.data(), static_cast<unsigned>(text.size())) == static_cast<int>(text.size());
  _close(fd);
#else
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
  close(fd);
#endif
  if (!ok) {
    const std::error_code code(errno != 0 ? errno : EIO, std::generic_category());
    std::error_code ec;
    fs::remove(path, ec);
    return code;
  }
  return {};
}

std::string RandomSuffix() {
  std::random_device device;
  return std::to_string(device()) + std::to_string(device());
}

// Creates path exclusively, appearing with its whole text at once: written
// under a temporary name and hard-linked into place, so that another process
// never reads a claim still being written. Where the file system has no hard
// links, it is created in place.
std::error_code CreateExclusively(const fs::path& path, const std::string& text) {
  std::string suffix = ".";
  suffix.append(RandomSuffix()).append(".tmp");
  const fs::path temp = fs::path(path) += suffix;
  if (!CreateWithText(temp, text)) {
    std::error_code linked;
    fs::create_hard_link(temp, path, linked);
    std::error_code ec;
    fs::remove(temp, ec);
    if (!linked || linked == std::errc::file_exists) {
      return linked;
    }
  }
  return CreateWithText(path, text);
}

// Removes a stale claim whose text is judged: renamed aside first, so that of
// two processes taking it over at once only one removes it; one that took a
// fresh claim of another process by mistake puts it back.
bool RemoveStaleClaim(const fs::path& claim, const std::string& judged) {
  const fs::path aside = fs::path(claim) += ".stale-" + RandomSuffix();
  std::error_code ec;
  fs::rename(claim, aside, ec);
  if (ec) {
    return false;
  }
  if (ReadSmallFile(aside) != judged) {
    fs::create_hard_link(aside, claim, ec);
    fs::remove(aside, ec);
    return false;
  }
  fs::remove(aside, ec);
  return true;
}

// Claims store for this process: the claim's text. A Usage failure when
// another process holds it, a Write failure when it cannot be made.
Outcome<std::string> TakeClaim(const fs::path& claim) {
  const std::string text = ClaimText();
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::error_code code = CreateExclusively(claim, text);
    if (!code) {
      return text;
    }
    if (code != std::errc::file_exists) {
      return Failure::Write("cannot create \"" + TextOfPath(claim) + "\"", code.message());
    }
    std::error_code ec;
    const fs::file_time_type renewed = fs::last_write_time(claim, ec);
    const std::optional<std::string> held = ReadSmallFile(claim);
    if (ec || !held) {
      continue;  // gone meanwhile
    }
    if (!Stale(*held, renewed)) {
      const std::optional<ClaimHolder> holder = ParseClaim(*held);
      return Failure::Usage("\"" + TextOfPath(claim) + "\" shows that " +
                            (holder ? holder->Describe() : std::string("another process")) +
                            " is writing this shard's store; a claim not renewed for " +
                            std::to_string(CLAIM_STALE_SECONDS / 60) + " minutes is stale and taken over");
    }
    RemoveStaleClaim(claim, *held);
  }
  return Failure::Usage("cannot claim \"" + TextOfPath(claim) + "\"", "other processes claim it at the same time");
}

}  // namespace

std::string SqliteUri(const fs::path& path, const char* options) {
  std::string text = TextOfPath(path);
#ifdef _WIN32
  std::replace(text.begin(), text.end(), '\\', '/');
  if (text.size() >= 2 && text[1] == ':') {
    text.insert(text.begin(), '/');  // "file:/C:/..."; SQLite drops the '/' before a drive
  }
#endif
  std::string uri = "file:";
  if (text.rfind("//", 0) == 0) {
    uri += "//localhost";  // an authority, so that the path keeps its slashes
  }
  for (const char c : text) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  return uri + "?" + options;
}

namespace {

Failure SqliteError(sqlite3* db, const fs::path& path, const std::string& doing) {
  std::string what = doing;
  what.append(" \"").append(TextOfPath(path)).append("\"");
  if (db == nullptr) {
    return Failure::Write(what, "out of memory");
  }
  return Failure::Write(what, std::string(sqlite3_errmsg(db)) + " (SQLite code " +
                                  std::to_string(sqlite3_extended_errcode(db)) + ", errno " +
                                  std::to_string(sqlite3_system_errno(db)) + ")");
}

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS runs("
    "run INTEGER PRIMARY KEY, record TEXT NOT NULL, initial BLOB NOT NULL, all_generations BLOB NOT NULL, "
    "averages BLOB NOT NULL, averages_sha256 TEXT NOT NULL)";

// Opens store with SQLite's locks off and a rollback journal.
Outcome<sqlite3*> OpenDatabase(const fs::path& store, bool create) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(SqliteUri(store, "nolock=1").c_str(), &db, flags, nullptr) != SQLITE_OK) {
    Failure failure = SqliteError(db, store, "cannot open");
    sqlite3_close(db);
    return failure;
  }
  sqlite3_busy_timeout(db, 0);
  const std::string setup = std::string("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; ") + kSchema;
  if (sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    Failure failure = SqliteError(db, store, "cannot set up");
    sqlite3_close(db);
    return failure;
  }
  return db;
}

// Reads the rows of an open store.
Status ReadRows(sqlite3* db, const fs::path& store, const std::function<void(StoredRun&&)>& visit) {
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT run, record, initial, all_generations, averages, averages_sha256 FROM runs ORDER BY "
                         "run",
                         -1, &select, nullptr) != SQLITE_OK) {
    return SqliteError(db, store, "cannot read");
  }
  const auto text = [&](int column) {
    const void* bytes = sqlite3_column_blob(select, column);
    const int size = sqlite3_column_bytes(select, column);
    return bytes != nullptr ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string();
  };
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(select)) == SQLITE_ROW) {
    StoredRun run;
    run.run = sqlite3_column_int64(select, 0);
    run.record = text(1);
    run.initial = text(2);
    run.all = text(3);
    run.averages = text(4);
    run.averages_sha256 = text(5);
    visit(std::move(run));
  }
  Status read;
  if (step != SQLITE_DONE) {
    read = SqliteError(db, store, "cannot read");
  }
  sqlite3_finalize(select);
  return read;
}

}  // namespace

struct StoreWriter::Database {
  sqlite3* db = nullptr;
  ~Database() { sqlite3_close(db); }
};

std::string StoreFileName(int64_t index, int64_t count) {
  return kStorePrefix + std::to_string(index) + "-of-" + std::to_string(count) + kStoreSuffix;
}

Outcome<std::vector<fs::path>> StoreFiles(const fs::path& dir) {
  std::vector<fs::path> stores;
  std::error_code ec;
  fs::directory_iterator entries(dir, ec);
  if (ec == std::errc::no_such_file_or_directory) {
    return stores;
  }
  for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
    const std::string name = TextOfPath(entries->path().filename());
    const size_t suffix = std::strlen(kStoreSuffix);
    if (name.rfind(kStorePrefix, 0) == 0 && name.size() > suffix &&
        name.compare(name.size() - suffix, suffix, kStoreSuffix) == 0) {
      stores.push_back(entries->path());
    }
  }
  if (ec) {
    return Failure::Write("cannot read \"" + TextOfPath(dir) + "\"", ec.message());
  }
  std::sort(stores.begin(), stores.end());
  return stores;
}

std::string ClaimHolder::Describe() const {
  return "process " + std::to_string(pid) + " on host " + host + (started.empty() ? "" : " since " + started);
}

std::optional<ClaimHolder> LiveClaim(const fs::path& store) {
  const fs::path claim = fs::path(store) += CLAIM_SUFFIX;
  std::error_code ec;
  const fs::file_time_type renewed = fs::last_write_time(claim, ec);
  const std::optional<std::string> text = ReadSmallFile(claim);
  if (ec || !text || Stale(*text, renewed)) {
    return std::nullopt;
  }
  std::optional<ClaimHolder> holder = ParseClaim(*text);
  return holder ? holder : ClaimHolder{"unknown", 0, ""};
}

Outcome<std::unique_ptr<StoreWriter>> StoreWriter::Open(const fs::path& store) {
  std::unique_ptr<StoreWriter> w(new StoreWriter());
  w->store_ = store;
  w->claim_ = fs::path(store) += CLAIM_SUFFIX;
  Outcome<std::string> claimed = TakeClaim(w->claim_);
  if (!claimed.ok()) {
    w->lost_ = true;  // not this writer's claim: the destructor leaves it
    return claimed.failure();
  }
  w->claim_text_ = std::move(claimed.value());
  w->db_ = std::make_unique<Database>();
  const Outcome<sqlite3*> opened = OpenDatabase(store, true);
  if (!opened.ok()) {
    return opened.failure();  // the destructor gives the claim up
  }
  w->db_->db = opened.value();
  w->last_commit_ms_ = NowMs();
  return w;
}

StoreWriter::~StoreWriter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (db_ && db_->db != nullptr) {
    static_cast<void>(CommitLocked());  // what fails is counted as lost
  }
  db_.reset();
  if (!lost_ && ReadSmallFile(claim_) == claim_text_) {
    std::error_code ec;
    fs::remove(claim_, ec);
  }
}

Status StoreWriter::Add(StoredRun run) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.push_back(std::move(run));
  if (waiting_.size() >= kMostWaiting || NowMs() - last_commit_ms_ >= kCommitEveryMs) {
    return CommitLocked();
  }
  return {};
}

Status StoreWriter::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  return CommitLocked();
}

size_t StoreWriter::Lost() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lost_runs_;
}

bool StoreWriter::Renew() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_ || ReadSmallFile(claim_) != claim_text_) {
    lost_ = true;
    return false;
  }
  std::error_code ec;
  fs::last_write_time(claim_, fs::file_time_type::clock::now(), ec);
  return true;
}

Status StoreWriter::CommitLocked() {
  if (waiting_.empty()) {
    return {};
  }
  std::vector<StoredRun> runs;
  runs.swap(waiting_);
  last_commit_ms_ = NowMs();
  if (lost_) {
    lost_runs_ += runs.size();
    std::string message = "\"";
    message += TextOfPath(claim_);
    message += "\" was taken over by another process; runs are no longer stored";
    return Failure::Write(message);
  }
  sqlite3* db = db_->db;
  sqlite3_stmt* insert = nullptr;
  std::optional<Failure> error;
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO runs VALUES (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr) !=
          SQLITE_OK) {
    error = SqliteError(db, store_, "cannot write");
  }
  for (size_t i = 0; i < runs.size() && !error; ++i) {
    const StoredRun& r = runs[i];
    sqlite3_bind_int64(insert, 1, r.run);
    sqlite3_bind_text(insert, 2, r.record.data(), static_cast<int>(r.record.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert, 3, r.initial.data(), static_cast<int>(r.initial.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert, 4, r.all.data(), static_cast<int>(r.all.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert, 5, r.averages.data(), static_cast<int>(r.averages.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 6, r.averages_sha256.data(), static_cast<int>(r.averages_sha256.size()), SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) {
      error = SqliteError(db, store_, "cannot write");
    }
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  if (!error && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = SqliteError(db, store_, "cannot write");
  }
  if (error) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    lost_runs_ += runs.size();
    return *error;
  }
  return {};
}

Status ReadStore(const fs::path& store, const std::function<void(StoredRun&&)>& visit,
                 std::optional<ClaimHolder>* writer) {
  // Claimed while it is read, so that a transaction a killed writer left is
  // rolled back first. A store with a live writer is never opened in place
  // (even reading it may remove the journal of a commit in progress when
  // SQLite's locks are off): a copy of it is read, as far as it is complete.
  const fs::path claim = fs::path(store) += CLAIM_SUFFIX;
  const Outcome<std::string> claim_taken = TakeClaim(claim);
  const bool claimed = claim_taken.ok();
  writer->reset();
  fs::path copy;
  bool own = false;
  if (!claimed) {
    *writer = LiveClaim(store);
    own = *writer && (*writer)->host == ThisHost() && (*writer)->pid == ThisProcess();
    if (!*writer) {
      *writer = ClaimHolder{"unknown", 0, ""};
    }
  }
  sqlite3* db = nullptr;
  std::optional<Failure> error;
  if (claimed) {
    const Outcome<sqlite3*> opened = OpenDatabase(store, false);
    if (opened.ok()) {
      db = opened.value();
    } else {
      error = opened.failure();
    }
  } else {
    fs::path source = store;
    if (!own) {
      std::error_code ec;
      copy = fs::temp_directory_path(ec) / ("veldaris-store-" + RandomSuffix() + ".sqlite");
      fs::copy_file(store, copy, ec);
      if (ec) {
        error = Failure::Write("cannot copy \"" + TextOfPath(store) + "\" to read it", ec.message());
      }
      source = copy;
    } else {
      writer->reset();  // this process's own store, read before it adds a run
    }
    if (!error && sqlite3_open_v2(SqliteUri(source, "immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                  nullptr) != SQLITE_OK) {
      error = SqliteError(db, store, "cannot open");
    }
  }
  Status read = error ? Status(*error) : ReadRows(db, store, visit);
  sqlite3_close(db);
  std::error_code ec;
  if (!copy.empty()) {
    fs::remove(copy, ec);
  }
  if (claimed && ReadSmallFile(claim) == claim_taken.value()) {
    fs::remove(claim, ec);
  }
  return read;
}

std::string AveragesBytes(const double* c_avg, const double* d_avg, int32_t generations) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(generations) * 16);
  for (const double* series : {c_avg, d_avg}) {
    for (int32_t g = 1; g <= generations; ++g) {
      const uint64_t bits = std::bit_cast<uint64_t>(series[g]);
      for (int shift = 0; shift < 64; shift += 8) {
        bytes += static_cast<char>((bits >> shift) & 0xFF);
      }
    }
  }
  return bytes;
}

std::optional<std::pair<std::vector<double>, std::vector<double>>> AveragesOf(const std::string& bytes,
                                                                              int32_t generations) {
  if (generations < 1 || bytes.size() != static_cast<size_t>(generations) * 16) {
    return std::nullopt;
  }
  std::pair<std::vector<double>, std::vector<double>> series;
  size_t at = 0;
  for (std::vector<double>* out : {&series.first, &series.second}) {
    out->assign(static_cast<size_t>(generations) + 1, 0.0);  // entry 0 unused, as the model's
    for (int32_t g = 1; g <= generations; ++g) {
      uint64_t bits = 0;
      for (int shift = 0; shift < 64; shift += 8) {
        bits |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at++])) << shift;
      }
      (*out)[static_cast<size_t>(g)] = std::bit_cast<double>(bits);
    }
  }
  return series;
}

std::string DigestHex(const std::string& bytes) {
  Sha256 hash;
  Sha256Init(hash);
  Sha256Update(hash, bytes.data(), bytes.size());
  uint8_t digest[SHA256_DIGEST_SIZE];
  Sha256Final(hash, digest);
  char hex[SHA256_HEX_SIZE];
  Sha256Hex(digest, hex);
  return hex;
}

}  // namespace veldaris::cli
