#include "serial/ser_base_component.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

namespace qv {

uint64_t MonotonicMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

uint32_t MsClock() { return static_cast<uint32_t>(MonotonicMs()); }

int32_t SecondsToTicks(int32_t seconds) { return static_cast<int32_t>(int64_t{seconds} * 1675 / 92); }

void StartTickTimer(TTickTimer& timer, int32_t ticks, uint64_t now_ms) {
  timer.StartTicks = static_cast<int64_t>(now_ms / kTickMs);
  timer.ExpiryTicks = timer.StartTicks + std::min(ticks, kMaxTimerTicks);
}

namespace {
std::atomic<double> timer_scale{1.0};
}

void SetTimerScale(double scale) { timer_scale = scale; }

int32_t ScaledTimerTicks(int32_t ticks) {
  const double scale = timer_scale;
  if (scale == 1.0 || ticks <= 0) return ticks;
  return std::max<int32_t>(1, static_cast<int32_t>(std::lround(ticks * scale)));
}

bool TickTimerExpired(const TTickTimer& timer, uint64_t now_ms) {
  return static_cast<int64_t>(now_ms / kTickMs) > timer.ExpiryTicks;
}

}  // namespace qv

#include <cstdio>
#include <mutex>

namespace qv {

namespace {
// Guards the exception display hook (a leaf lock; the hook runs outside it).
std::mutex& ShowMutex() {
  static std::mutex m;
  return m;
}
TShowExceptionHook& ShowHook() {
  static TShowExceptionHook hook;
  return hook;
}
}  // namespace

void SetSerialShowException(TShowExceptionHook hook) {
  std::lock_guard<std::mutex> lock(ShowMutex());
  ShowHook() = std::move(hook);
}

void SerialShowException(const std::exception& e) {
  TShowExceptionHook hook;
  {
    std::lock_guard<std::mutex> lock(ShowMutex());
    hook = ShowHook();
  }
  if (hook)
    hook(e);
  else
    std::fprintf(stderr, "%s\n", e.what());
}

}  // namespace qv
