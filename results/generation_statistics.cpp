// The statistics of a generation by degree class, and the two result files.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <system_error>

#include "results/atomic_file.h"
#include "results/results_internal.h"

namespace veldaris {

namespace {

// Rows of the Initial file: the first generations of the run.
constexpr int32_t kInitialRows = 100;
// The All file holds generation 1 and every generation divisible by this.
constexpr int32_t kAllRowStep = 20;

constexpr const char* kHeader = "Gen,D_Typ,C_Typ,D_Min,C_Min,D_Max,C_Max,D_Avg,C_Avg,Link_Typ,Link_Min,Link_Max\r\n";

struct ClassSums {
  int32_t size;
  double dd;
  double cc;
  void Add(double d, double c) {
    ++size;
    dd += d;
    cc += c;
  }
};

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
  // 1 when the whole row fitted and was written.
  int32_t WriteTo(std::FILE* file) const {
    const size_t length = static_cast<size_t>(end_ - text_);
    return ok_ && std::fwrite(text_, 1, length, file) == length ? 1 : 0;
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
int32_t WriteRow(const Simulation& sim, std::FILE* file, int32_t r, const DegreeClasses& classes) {
  const GenerationSeries& s = sim.series;
  RowText row;
  row.Integer(r);
  for (const double* series : {s.D_Typ, s.C_Typ, s.D_Min, s.C_Min, s.D_Max, s.C_Max, s.D_Avg, s.C_Avg}) {
    row.Text(",");
    row.Fixed8(series[r]);
  }
  for (const int32_t degree : {classes.typical, classes.minimum, classes.maximum}) {
    row.Text(",");
    row.Integer(degree);
  }
  row.Text("\r\n");
  return row.WriteTo(file);
}

int32_t WriteRows(const Simulation& sim, std::FILE* file, int32_t which, const DegreeClasses& classes) {
  const int32_t g_count = sim.params.generation_count;
  if (std::fputs(kHeader, file) < 0) {
    return 0;
  }
  if (which == 0) {
    // Never more rows than generations were played.
    const int32_t last = g_count < kInitialRows ? g_count : kInitialRows;
    for (int32_t r = 1; r <= last; ++r) {
      if (WriteRow(sim, file, r, classes) == 0) {
        return 0;
      }
    }
  } else {
    for (int32_t r = 1; r <= g_count; ++r) {
      if ((r == 1 || r % kAllRowStep == 0) && WriteRow(sim, file, r, classes) == 0) {
        return 0;
      }
    }
  }
  return 1;
}

struct RowsToWrite {
  const Simulation* sim;
  int32_t which;  // 0: the Initial file, 1: the All file
  const DegreeClasses* classes;
};

int32_t WriteResultRows(std::FILE* file, const void* context) {
  const auto* rows = static_cast<const RowsToWrite*>(context);
  return WriteRows(*rows->sim, file, rows->which, *rows->classes);
}

// Writes one result file under its temporary name; returns 0 or an errno.
int32_t PrepareResultFile(const Simulation& sim, int32_t which, const char* name, const DegreeClasses& classes,
                          ResultFiles& files, PendingFile& pending) {
  pending.temp[0] = '\0';
  pending.file = nullptr;
  char* path = files.path[which];
  if (ResultPath(files.directory, name, path, RESULT_PATH_CAPACITY) == 0) {
    path[0] = '\0';
    return ENAMETOOLONG;
  }
  RemoveStaleTemporaries(path);
  const RowsToWrite rows{&sim, which, &classes};
  return PrepareFile(path, WriteResultRows, &rows, pending, files.sha256[which]);
}

}  // namespace

DegreeClasses ScanDegreeClasses(const Simulation& sim) {
  const int32_t n = sim.params.group_count;
  const int32_t* h = sim.degree_histogram;
  DegreeClasses c{0, 0, 0};
  bool min_found = false;
  bool max_found = false;
  for (int32_t k = 1, j = n; k <= n; ++k, --j) {
    if (h[k] > h[c.typical]) {
      c.typical = k;
    }
    if (!min_found && h[k - 1] == 0 && h[k] != 0) {
      c.minimum = k;
      min_found = true;
    }
    if (!max_found && h[j - 1] != 0 && h[j] == 0) {
      c.maximum = j - 1;
      max_found = true;
    }
  }
  // The scan takes the first degree after a gap as the smallest; groups
  // without links (only in a network of given links) come before any gap.
  if (n >= 1 && h[0] != 0) {
    c.minimum = 0;
  }
  return c;
}

void RecordGeneration(Simulation& sim, int32_t g, ResultFiles& files) {
  const int32_t n = sim.params.group_count;
  const int32_t* h = sim.degree_histogram;
  const DegreeClasses classes = ScanDegreeClasses(sim);

  ClassSums typical{};
  ClassSums minimum{};
  ClassSums maximum{};
  ClassSums all{};
  for (int32_t i = 1; i <= n; ++i) {
    const int32_t d = sim.groups[i].degree;
    const double dd = sim.counters.DD[i];
    const double cc = sim.counters.CC[i];
    if (h[d] == h[classes.typical]) {
      typical.Add(dd, cc);
    }
    if (d == classes.minimum) {
      minimum.Add(dd, cc);
    }
    if (d == classes.maximum) {
      maximum.Add(dd, cc);
    }
    all.Add(dd, cc);
  }

  GenerationSeries& s = sim.series;
  s.D_Typ[g] = typical.dd / typical.size;
  s.C_Typ[g] = typical.cc / typical.size;
  s.D_Min[g] = minimum.dd / minimum.size;
  s.C_Min[g] = minimum.cc / minimum.size;
  s.D_Max[g] = maximum.dd / maximum.size;
  s.C_Max[g] = maximum.cc / maximum.size;
  s.D_Avg[g] = all.dd / n;
  s.C_Avg[g] = all.cc / n;

  if (g == sim.params.generation_count) {
    WriteResultFiles(sim, classes, files);
  }
}

int32_t WriteResultFiles(const Simulation& sim, const DegreeClasses& classes, ResultFiles& files) {
  files.written = 1;
  // Both files are complete under their temporary names before either is
  // renamed into place, so that the pair is replaced as close together as
  // the file system allows. A file that could not be written leaves its
  // earlier version; the other one is still put in place.
  PendingFile pending[RESULT_FILE_COUNT];
  const char* names[RESULT_FILE_COUNT] = {INITIAL_RESULT_FILE, ALL_RESULT_FILE};
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    files.error[i] = PrepareResultFile(sim, i, names[i], classes, files, pending[i]);
  }
  int32_t failures = 0;
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    if (files.error[i] == 0) {
      files.error[i] = CommitFile(pending[i], files.path[i]);
    }
    failures += files.error[i] != 0 ? 1 : 0;
  }
  return failures;
}

}  // namespace veldaris
