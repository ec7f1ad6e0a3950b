// Writing a file so that a failure never damages the file it replaces: the
// contents go to a temporary file in the same directory, which is renamed over
// the target only once complete and flushed.
#pragma once

#include <cstdint>
#include <cstdio>

namespace veldaris {

// Writes the whole contents to file; returns 1 on success, 0 on failure.
using FileContentsWriter = int32_t (*)(std::FILE* file, const void* context);

// Writes path through a new temporary file beside it, named
// path.<process id>.<64 random bits in hex>.tmp, created so that nothing already
// there is followed or reused, which makes it unique per writer. Returns 0,
// or the errno of the failure, in which case the target is left as it was and
// no temporary file remains. When sha256 is not null it receives, on success,
// the SHA-256 of the bytes that were renamed into place (read back from the
// temporary file, so it is what the disk holds, not what was meant).
int32_t WriteFileAtomically(const char* path, FileContentsWriter write, const void* context, uint8_t* sha256 = nullptr);

}  // namespace veldaris
