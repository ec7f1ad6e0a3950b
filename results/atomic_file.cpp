#include "results/atomic_file.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <process.h>
#ifndef NOGDI
#define NOGDI  // only file functions are needed; keeps GDI's macros out
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace veldaris {

namespace {

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
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

}  // namespace

int32_t WriteFileAtomically(const char* path, FileContentsWriter write, const void* context) {
  const size_t length = std::strlen(path);
  char temp[4200];
  if (length + 32 > sizeof temp) {
    return ENAMETOOLONG;
  }
  std::snprintf(temp, sizeof temp, "%s.%d.tmp", path, ProcessId());

  errno = 0;
  std::FILE* file = std::fopen(temp, "wb");
  if (file == nullptr) {
    return LastError();
  }
  errno = 0;
  bool ok = write(file, context) != 0 && std::fflush(file) == 0;
#ifndef _WIN32
  ok = ok && fsync(fileno(file)) == 0;
#endif
  int32_t error = ok ? 0 : LastError();
  if (std::fclose(file) != 0 && error == 0) {
    error = LastError();
  }
  if (error == 0) {
    error = ReplaceFile(temp, path);
  }
  if (error != 0) {
    std::remove(temp);
  }
  return error;
}

}  // namespace veldaris
