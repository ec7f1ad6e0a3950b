#include "results/atomic_file.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "results/sha256.h"

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
#include <fcntl.h>
#include <sys/random.h>
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
// writing (and reading back), never following or reusing anything already
// there. Returns the stream, or null with errno set.
std::FILE* CreateNewFile(const char* name) {
#ifdef _WIN32
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
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
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

}  // namespace

int32_t WriteFileAtomically(const char* path, FileContentsWriter write, const void* context, uint8_t* sha256) {
  const size_t length = std::strlen(path);
  char temp[4200];
  if (length + 48 > sizeof temp) {
    return ENAMETOOLONG;
  }
  std::FILE* file = nullptr;
  for (int attempt = 0; file == nullptr; ++attempt) {
    std::snprintf(temp, sizeof temp, "%s.%d.%016" PRIx64 ".tmp", path, ProcessId(), UnpredictableBits());
    errno = 0;
    file = CreateNewFile(temp);
    if (file == nullptr && (errno != EEXIST || attempt == 16)) {
      return LastError();
    }
  }
  errno = 0;
  bool ok = write(file, context) != 0 && std::fflush(file) == 0;
  ok = ok && (sha256 == nullptr || HashWrittenFile(file, sha256));
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
