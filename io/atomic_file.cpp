// Writing a file so that a failure never damages the file it replaces.
#include "io/atomic_file.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <ctime>

#include "io/sha256.h"

#ifdef _WIN32
#define _CRT_RAND_S
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#ifndef NOGDI
#define NOGDI  // only file functions are needed; keeps GDI's macros out
#endif
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace veldaris {

namespace {

// A temporary file unlocked for this long belongs to a writer that is gone.
constexpr time_t kStaleSeconds = 5;

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

// 64 bits nobody can predict, so that no other writer (another simulation of
// this process, another process, or someone planting a file) can know the
// temporary name beforehand.
uint64_t UnpredictableBits() {
  uint64_t bits = 0;
#ifdef _WIN32
  unsigned int half = 0;
  if (rand_s(&half) == 0) {
    bits = half;
  }
  if (rand_s(&half) == 0) {
    bits = (bits << 32) | half;
  }
#else
  if (getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
    bits = 0;
  }
#endif
  // Without a random source the name still differs between writers of one
  // process (their stacks differ) and between processes.
  bits ^= reinterpret_cast<uintptr_t>(&bits);
  return bits;
}

// Creates a new file that did not exist under this name and opens it for
// writing (and reading back), locked, never following or reusing anything
// already there. Returns the stream, or null with errno set.
std::FILE* CreateNewFile(const char* name) {
#ifdef _WIN32
  // No sharing: while it is open nobody else can open or delete it.
  const HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_RDWR);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (file == nullptr) {
    _close(fd);
  }
  return file;
#else
  // The mode a new file gets (0666 less the umask), like fopen's.
  const int fd = open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "w+b");
  if (file == nullptr || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (file != nullptr) {
      std::fclose(file);
    } else {
      close(fd);
    }
    unlink(name);
    errno = error;
    return nullptr;
  }
  return file;
#endif
}

// Replaces to by from; 0 or an errno.
int32_t ReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return 0;
  }
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_DISK_FULL:
      return ENOSPC;
    default:
      return EACCES;
  }
#else
  return std::rename(from, to) == 0 ? 0 : errno;
#endif
}

int32_t LastError() { return errno != 0 ? errno : EIO; }

// The SHA-256 of everything written to file so far, read back from its start.
bool HashWrittenFile(std::FILE* file, uint8_t* sha256) {
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    return false;
  }
  Sha256 hash;
  Sha256Init(hash);
  unsigned char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    Sha256Update(hash, buffer, got);
  }
  if (std::ferror(file) != 0) {
    return false;
  }
  Sha256Final(hash, sha256);
  return true;
}

// The directory part of path ("" for the current one, with its separator
// otherwise) and the file name.
void SplitPath(const char* path, char* directory, size_t capacity, const char** name) {
  const char* slash = std::strrchr(path, '/');
#ifdef _WIN32
  const char* backslash = std::strrchr(path, '\\');
  if (backslash != nullptr && (slash == nullptr || backslash > slash)) {
    slash = backslash;
  }
#endif
  const size_t length = slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
  const size_t copied = length < capacity ? length : capacity - 1;
  std::memcpy(directory, path, copied);
  directory[copied] = '\0';
  *name = path + length;
}

// True when entry is "<name>.<digits>.<16 hex digits>.tmp".
bool IsTemporaryOf(const char* entry, const char* name) {
  const size_t name_length = std::strlen(name);
  if (std::strncmp(entry, name, name_length) != 0 || entry[name_length] != '.') {
    return false;
  }
  const char* p = entry + name_length + 1;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') {
    ++p;
  }
  if (p == digits || *p != '.') {
    return false;
  }
  ++p;
  for (int i = 0; i < 16; ++i, ++p) {
    const bool hex = (*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f');
    if (!hex) {
      return false;
    }
  }
  return std::strcmp(p, ".tmp") == 0;
}

// Removes candidate when its writer is gone.
void RemoveIfStale(const char* candidate) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(candidate, GetFileExInfoStandard, &data) == 0) {
    return;
  }
  ULARGE_INTEGER written;
  written.LowPart = data.ftLastWriteTime.dwLowDateTime;
  written.HighPart = data.ftLastWriteTime.dwHighDateTime;
  FILETIME now_time;
  GetSystemTimeAsFileTime(&now_time);
  ULARGE_INTEGER now;
  now.LowPart = now_time.dwLowDateTime;
  now.HighPart = now_time.dwHighDateTime;
  // A file that its writer still has open cannot be deleted.
  if (now.QuadPart > written.QuadPart + static_cast<uint64_t>(kStaleSeconds) * 10000000U) {
    DeleteFileA(candidate);
  }
#else
  const int fd = open(candidate, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return;
  }
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      std::time(nullptr) > status.st_mtime + kStaleSeconds) {
    unlink(candidate);
  }
  close(fd);
#endif
}

}  // namespace

void RemoveStaleTemporaries(const char* path) {
  char directory[TEMP_PATH_CAPACITY];
  const char* name = nullptr;
  SplitPath(path, directory, sizeof directory, &name);
  if (*name == '\0') {
    return;
  }
  char candidate[TEMP_PATH_CAPACITY];
#ifdef _WIN32
  char pattern[TEMP_PATH_CAPACITY];
  if (std::snprintf(pattern, sizeof pattern, "%s%s.*.tmp", directory, name) >= static_cast<int>(sizeof pattern)) {
    return;
  }
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    return;
  }
  do {
    if (IsTemporaryOf(found.cFileName, name) && std::snprintf(candidate, sizeof candidate, "%s%s", directory,
                                                              found.cFileName) < static_cast<int>(sizeof candidate)) {
      RemoveIfStale(candidate);
    }
  } while (FindNextFileA(search, &found) != 0);
  FindClose(search);
#else
  DIR* dir = opendir(directory[0] == '\0' ? "." : directory);
  if (dir == nullptr) {
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    if (IsTemporaryOf(entry->d_name, name) && std::snprintf(candidate, sizeof candidate, "%s%s", directory,
                                                            entry->d_name) < static_cast<int>(sizeof candidate)) {
      RemoveIfStale(candidate);
    }
  }
  closedir(dir);
#endif
}

int32_t PrepareFile(const char* path, FileContentsWriter write, const void* context, PendingFile& pending,
                    uint8_t* sha256) {
  pending.temp[0] = '\0';
  pending.file = nullptr;
  if (std::strlen(path) + 48 > sizeof pending.temp) {
    return ENAMETOOLONG;
  }
  std::FILE* file = nullptr;
  for (int attempt = 0; file == nullptr; ++attempt) {
    std::snprintf(pending.temp, sizeof pending.temp, "%s.%d.%016" PRIx64 ".tmp", path, ProcessId(),
                  UnpredictableBits());
    errno = 0;
    file = CreateNewFile(pending.temp);
    if (file == nullptr && (errno != EEXIST || attempt == 16)) {
      pending.temp[0] = '\0';
      return LastError();
    }
  }
  errno = 0;
  bool ok = write(file, context) && std::fflush(file) == 0;
  ok = ok && (sha256 == nullptr || HashWrittenFile(file, sha256));
#ifndef _WIN32
  ok = ok && fsync(fileno(file)) == 0;
  // Kept open, and so locked, until it is in place.
  pending.file = file;
  const int32_t error = ok ? 0 : LastError();
#else
  int32_t error = ok ? 0 : LastError();
  // Windows renames no open file; the lock ends here.
  if (std::fclose(file) != 0 && error == 0) {
    error = LastError();
  }
#endif
  if (error != 0) {
    DiscardFile(pending);
  }
  return error;
}

int32_t CommitFile(PendingFile& pending, const char* path) {
  const int32_t error = ReplaceFile(pending.temp, path);
  if (error != 0) {
    DiscardFile(pending);
    return error;
  }
  pending.temp[0] = '\0';
  if (pending.file != nullptr) {
    std::fclose(pending.file);  // flushed and synced already: nothing is left to fail
    pending.file = nullptr;
  }
  return 0;
}

void DiscardFile(PendingFile& pending) {
  if (pending.temp[0] != '\0') {
    std::remove(pending.temp);
    pending.temp[0] = '\0';
  }
  if (pending.file != nullptr) {
    std::fclose(pending.file);
    pending.file = nullptr;
  }
}

int32_t WriteFileAtomically(const char* path, FileContentsWriter write, const void* context, uint8_t* sha256) {
  RemoveStaleTemporaries(path);
  PendingFile pending;
  const int32_t error = PrepareFile(path, write, context, pending, sha256);
  return error != 0 ? error : CommitFile(pending, path);
}

}  // namespace veldaris
