// Fresh seeds from the operating system's entropy source.
#include "cli/fresh_seeds.h"

#include <cerrno>
#include <cstring>
#include <string>

#ifdef _WIN32
#ifndef NOGDI
#define NOGDI
#endif
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <sys/random.h>
#endif

namespace veldaris::cli {

Status FreshSeeds(uint32_t* seeds, size_t count) {
  const size_t size = count * sizeof *seeds;
#ifdef _WIN32
  const NTSTATUS status = BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(seeds), static_cast<ULONG>(size),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) {
    return Failure::Write("the system's random source (BCryptGenRandom) failed",
                          "status " + std::to_string(static_cast<long>(status)));
  }
#else
  auto* bytes = reinterpret_cast<unsigned char*>(seeds);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(bytes + done, size - done, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Failure::Write("the system's random source (getrandom) failed", std::strerror(errno));
    }
    done += static_cast<size_t>(got);
  }
#endif
  return {};
}

}  // namespace veldaris::cli
