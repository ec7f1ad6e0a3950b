// Checks the cross-built SQLite under Wine: a database file in WAL mode,
// written in a transaction and read back, the library thread-safe.
#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("[ %s ] %s\n", ok ? "OK" : "FAIL", what);
  failures += ok ? 0 : 1;
}

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "sqlite_check.db";
  std::remove(path.c_str());
  Check(sqlite3_threadsafe() != 0, "the library is built thread-safe");
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db) == SQLITE_OK, "opens a database file");
  sqlite3_stmt* mode = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &mode, nullptr);
  const bool wal = sqlite3_step(mode) == SQLITE_ROW &&
                   std::string(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0))) == "wal";
  sqlite3_finalize(mode);
  Check(wal, "switches to write-ahead logging");
  Check(Exec(db, "CREATE TABLE runs(run INTEGER PRIMARY KEY, value REAL)") && Exec(db, "BEGIN"), "creates a table");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO runs VALUES(?, ?)", -1, &insert, nullptr);
  bool inserted = insert != nullptr;
  for (int run = 0; run < 1000 && inserted; ++run) {
    sqlite3_bind_int(insert, 1, run);
    sqlite3_bind_double(insert, 2, run * 0.25);
    inserted = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  Check(inserted && Exec(db, "COMMIT"), "writes 1000 rows in a transaction");
  sqlite3_close(db);

  // Read back through a second connection: 0.25 x (0 + ... + 999) = 124875.
  Check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK, "opens it again");
  sqlite3_stmt* sum = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*), sum(value) FROM runs", -1, &sum, nullptr);
  const bool read = sqlite3_step(sum) == SQLITE_ROW && sqlite3_column_int(sum, 0) == 1000 &&
                    sqlite3_column_double(sum, 1) == 124875.0;
  sqlite3_finalize(sum);
  sqlite3_close(db);
  Check(read, "reads the rows back");
  std::remove(path.c_str());
  std::printf("SQLite %s: %d passed, %d failed\n", sqlite3_libversion(), 7 - failures, failures);
  return failures == 0 ? 0 : 1;
}
