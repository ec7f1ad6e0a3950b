// Writing a file so that a failure never damages the file it replaces: the
// contents go to a new temporary file in the same directory, which is renamed
// over the target only once complete and flushed.
//
// A temporary file is named <target>.<process id>.<16 hex digits>.tmp with 64
// unpredictable bits, and created so that nothing already there is followed
// or reused (O_CREAT | O_EXCL | O_NOFOLLOW; CREATE_NEW on Windows), which
// makes it unique per writer. While it is written it stays locked, so that a
// later writer can tell the leftovers of writers that are gone (killed in the
// middle of a write) from the files of writers at work, and removes them.
#pragma once

#include <cstdint>
#include <cstdio>

namespace veldaris {

// Whether c separates the parts of a path: on Windows '/' and '\\', elsewhere
// only '/' ('\\' is an ordinary character of a POSIX file name).
inline bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Writes the whole contents to file; whether it could.
using FileContentsWriter = bool (*)(std::FILE* file, const void* context);

inline constexpr int32_t TEMP_PATH_CAPACITY = 4200;

// A file written completely under its temporary name, not yet in place.
struct PendingFile {
  char temp[TEMP_PATH_CAPACITY];  // empty when there is none
  std::FILE* file;                // still open (and locked) until committed or discarded; may be null
};

// Writes the contents to a new temporary file beside path, flushed to disk.
// Returns 0, or the errno of the failure, in which case nothing remains. When
// sha256 is not null it receives the SHA-256 of the file's bytes, read back
// from the temporary file (what the disk holds, not what was meant).
int32_t PrepareFile(const char* path, FileContentsWriter write, const void* context, PendingFile& pending,
                    uint8_t* sha256 = nullptr);
// Renames the prepared file over path. Returns 0, or the errno of the
// failure, in which case the temporary file is removed and path is as it was.
int32_t CommitFile(PendingFile& pending, const char* path);
// Removes a prepared file that will not be committed.
void DiscardFile(PendingFile& pending);

// PrepareFile, then CommitFile. Returns 0, or the errno of the failure, in
// which case the target is left as it was and no temporary file remains.
int32_t WriteFileAtomically(const char* path, FileContentsWriter write, const void* context, uint8_t* sha256 = nullptr);

// Removes the temporary files of path (named as above) whose writers are
// gone: unlocked and last written more than a few seconds ago. Files of
// writers at work, and anything not named like a temporary file of path, are
// left alone.
void RemoveStaleTemporaries(const char* path);

}  // namespace veldaris
