// The writer of the two result files, shared by every caller of the model.
#include "io/result_files.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "io/atomic_file.h"
#include "run/run.h"

namespace veldaris {

namespace {

// Rows of the Initial file: the first generations of the run.
constexpr int32_t kInitialRows = 100;
// The All file holds generation 1 and every generation divisible by this.
constexpr int32_t kAllRowStep = 20;

constexpr const char* kHeader = "Gen,D_Typ,C_Typ,D_Min,C_Min,D_Max,C_Max,D_Avg,C_Avg,Link_Typ,Link_Min,Link_Max\r\n";

// Joins the result directory and a file name; 0 when the path does not fit.
int32_t ResultPath(const char* dir, const char* name, char* out, int32_t capacity) {
  const size_t dir_length = std::strlen(dir);
  const size_t name_length = std::strlen(name);
  const bool separator = dir_length > 0 && !IsPathSeparator(dir[dir_length - 1]);
  const size_t length = dir_length + (separator ? 1 : 0) + name_length;
  if (length >= static_cast<size_t>(capacity)) {
    return 0;
  }
  std::memmove(out, dir, dir_length);
  if (separator) {
    out[dir_length] = '/';
  }
  std::memcpy(out + length - name_length, name, name_length + 1);
  return 1;
}

// A row of text, built without the C library's formatted output: printf
// follows the process's locale, and under one with a decimal comma it would
// write "2,50000000" and break the columns. std::to_chars writes exactly what
// printf's "%d" and "%.8f" write in the "C" locale, in every locale.
class RowText {
 public:
  void Integer(int32_t value) { Advance(std::to_chars(end_, Limit(), value)); }
  void Fixed8(double value) { Advance(std::to_chars(end_, Limit(), value, std::chars_format::fixed, 8)); }
  void Text(const char* text) {
    const size_t length = std::strlen(text);
    if (length <= static_cast<size_t>(Limit() - end_)) {
      std::memcpy(end_, text, length);
      end_ += length;
    } else {
      ok_ = false;
    }
  }
  // Whether the whole row fitted and put took it.
  template <typename Put>
  bool WriteTo(Put& put) const {
    return ok_ && put(text_, static_cast<size_t>(end_ - text_));
  }

 private:
  char* Limit() { return text_ + sizeof text_; }
  void Advance(std::to_chars_result result) {
    if (result.ec == std::errc()) {
      end_ = result.ptr;
    } else {
      ok_ = false;
    }
  }
  // Eight values of at most 309 integer digits and 8 decimals, and four integers.
  char text_[8 * 330 + 64];
  char* end_ = text_;
  bool ok_ = true;
};

// Gen, the eight series with eight decimals, the three degrees; CR LF.
template <typename Put>
bool WriteRow(const RunSeries& series, Put& put, int32_t r, const DegreeClasses& classes) {
  RowText row;
  row.Integer(r);
  for (const double* values : series.values) {
    row.Text(",");
    row.Fixed8(values[r - 1]);
  }
  for (const int32_t degree : {classes.typical, classes.minimum, classes.maximum}) {
    row.Text(",");
    row.Integer(degree);
  }
  row.Text("\r\n");
  return row.WriteTo(put);
}

// The file's bytes, given to put piece by piece (put returns whether it took
// the piece); whether every piece was taken.
template <typename Put>
bool WriteRows(const RunSeries& series, Put& put, int32_t which, const DegreeClasses& classes) {
  const int32_t g_count = series.generations;
  if (!put(kHeader, std::strlen(kHeader))) {
    return false;
  }
  if (which == 0) {
    // Never more rows than generations were played.
    const int32_t last = g_count < kInitialRows ? g_count : kInitialRows;
    for (int32_t r = 1; r <= last; ++r) {
      if (!WriteRow(series, put, r, classes)) {
        return false;
      }
    }
  } else {
    for (int32_t r = 1; r <= g_count; ++r) {
      if ((r == 1 || r % kAllRowStep == 0) && !WriteRow(series, put, r, classes)) {
        return false;
      }
    }
  }
  return true;
}

struct RowsToWrite {
  const RunSeries* series;
  int32_t which;  // 0: the Initial file, 1: the All file
  const DegreeClasses* classes;
};

bool WriteResultRows(std::FILE* file, const void* context) {
  const auto* rows = static_cast<const RowsToWrite*>(context);
  auto put = [file](const char* text, size_t length) { return std::fwrite(text, 1, length, file) == length; };
  return WriteRows(*rows->series, put, rows->which, *rows->classes);
}

// Writes one result file under its temporary name; returns 0 or an errno.
int32_t PrepareResultFile(const RunSeries& series, int32_t which, const DegreeClasses& classes, ResultFiles& files,
                          PendingFile& pending) {
  pending.temp[0] = '\0';
  pending.file = nullptr;
  char* path = files.path[which];
  if (ResultPath(files.directory, RESULT_FILE_NAMES[which], path, RESULT_PATH_CAPACITY) == 0) {
    path[0] = '\0';
    return ENAMETOOLONG;
  }
  RemoveStaleTemporaries(path);
  const RowsToWrite rows{&series, which, &classes};
  return PrepareFile(path, WriteResultRows, &rows, pending, files.sha256[which]);
}

}  // namespace

bool SetResultDirectory(ResultFiles& files, const char* directory) {
  const size_t length = std::strlen(directory);
  if (length >= sizeof files.directory) {
    return false;
  }
  std::memcpy(files.directory, directory, length + 1);
  return true;
}

int32_t WriteResultFiles(const Simulation& sim, ResultFiles& files) {
  files.written = 1;
  const RunSeries series = SeriesOf(sim);
  const DegreeClasses classes = DegreeClassesOf(sim);
  // Both files are complete under their temporary names before either is
  // renamed into place; when either could not be written, neither is.
  PendingFile pending[RESULT_FILE_COUNT];
  bool all_prepared = true;
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    files.error[i] = PrepareResultFile(series, i, classes, files, pending[i]);
    all_prepared = all_prepared && files.error[i] == 0;
  }
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    if (files.error[i] != 0) {
      continue;
    }
    if (all_prepared) {
      files.error[i] = CommitFile(pending[i], files.path[i]);
      // A rename that fails leaves its target as it was: the next file is
      // then not put in place either.
      all_prepared = files.error[i] == 0;
    } else {
      DiscardFile(pending[i]);
      files.error[i] = RESULT_FILE_WITHHELD;
    }
  }
  int32_t failures = 0;
  for (const int32_t error : files.error) {
    failures += error != 0 ? 1 : 0;
  }
  return failures;
}

std::string ResultFileError(const ResultFiles& files, int32_t i) {
  if (files.written == 0) {
    return "not written";
  }
  if (files.error[i] == RESULT_FILE_WITHHELD) {
    return std::string("not replaced, because ") + RESULT_FILE_NAMES[1 - i] + " could not be written";
  }
  return files.error[i] != 0 ? std::strerror(files.error[i]) : std::string();
}

std::string ResultFileText(const Simulation& sim, int32_t which) {
  std::string text;
  auto put = [&text](const char* piece, size_t length) {
    text.append(piece, length);
    return true;
  };
  const RunSeries series = SeriesOf(sim);
  const DegreeClasses classes = DegreeClassesOf(sim);
  static_cast<void>(WriteRows(series, put, which, classes));  // put takes every piece
  return text;
}

}  // namespace veldaris
