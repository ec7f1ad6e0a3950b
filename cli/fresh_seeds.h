// Seeds for callers that were given none: fresh from the operating system's
// entropy source, so that runs started in the same second differ. They are
// printed and recorded like given seeds, so any run can be repeated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/failure.h"

namespace veldaris::cli {

// Fills seeds[0..count) from getrandom (Linux) or BCryptGenRandom (Windows).
// Never falls back to the clock: when the source fails, the failure says so.
Status FreshSeeds(uint32_t* seeds, size_t count);

}  // namespace veldaris::cli
