// SHA-256 (FIPS 180-4), small and self-contained so that every build of the
// project, the Windows cross build included, can fingerprint the files it
// writes without a crypto library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veldaris {

inline constexpr int32_t SHA256_DIGEST_SIZE = 32;
// Lower-case hexadecimal digest plus the terminating NUL.
inline constexpr int32_t SHA256_HEX_SIZE = 2 * SHA256_DIGEST_SIZE + 1;

struct Sha256 {
  uint32_t state[8];
  uint64_t total_bytes;
  uint8_t block[64];
  uint32_t block_used;
};

void Sha256Init(Sha256& hash);
void Sha256Update(Sha256& hash, const void* data, size_t size);
// Completes the hash; hash must be initialised again before further use.
void Sha256Final(Sha256& hash, uint8_t digest[SHA256_DIGEST_SIZE]);

// The digest as 64 lower-case hexadecimal digits, NUL-terminated.
void Sha256Hex(const uint8_t digest[SHA256_DIGEST_SIZE], char hex[SHA256_HEX_SIZE]);

}  // namespace veldaris
