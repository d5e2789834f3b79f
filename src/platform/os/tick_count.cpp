#include "platform/os/tick_count.h"

#include <time.h>

namespace qv {

uint32_t TSystemTicks::GetTickCount() const {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

const TTickSource& DefaultTickSource() {
  static const TSystemTicks system;
  return system;
}

}  // namespace qv
