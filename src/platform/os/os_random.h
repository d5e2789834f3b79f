#pragma once
// Random bytes from the operating system, for keys, primes, padding and seeds.
#include <cstddef>

namespace qv {

// Fills len bytes; throws qv::Exception when the system cannot deliver them.
void FillOsRandom(void* buf, size_t len);

}  // namespace qv
