#pragma once
// The bottom layer of the serial port library: the base of its components, the millisecond
// clock and the 55 ms tick timers that triggers and packet time-outs are measured with.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "platform/rtl/component.h"

namespace qv {

// Milliseconds of a monotonic clock. The library's time-outs use the 64-bit value, so nothing
// misfires when a 32-bit count wraps; tests inject their own source.
using TMsClockSource = std::function<uint64_t()>;
uint64_t MonotonicMs();

// The low 32 bits of the monotonic clock: wraps, used for log times.
uint32_t MsClock();

// Seconds to 55 ms ticks: seconds * 1675 div 92, truncated toward zero (1 s = 18 ticks).
int32_t SecondsToTicks(int32_t seconds);

constexpr int64_t kTickMs = 55;
// The longest time a tick timer can be started for: half the 32-bit tick range.
constexpr int32_t kMaxTimerTicks = 39045157;

struct TTickTimer {
  int64_t StartTicks = 0;
  int64_t ExpiryTicks = 0;
};

void StartTickTimer(TTickTimer& timer, int32_t ticks, uint64_t now_ms);

// One factor for the length of every timer trigger of the process (the protocols' time-outs and
// pauses), at least one tick remaining. The program leaves it at 1; a test process sets it once so
// that waiting for a logger that never answers takes a fraction of the time.
void SetTimerScale(double scale);
int32_t ScaledTimerTicks(int32_t ticks);
bool TickTimerExpired(const TTickTimer& timer, uint64_t now_ms);

// Base of the port and the data packet components.
class TSerBaseComponent : public TComponent {
public:
  explicit TSerBaseComponent(TComponent* owner = nullptr) : TComponent(owner) {}
  // Always "v4.06"; setting it does nothing.
  std::string Version() const { return "v4.06"; }
  void SetVersion(const std::string&) {}

  // Set while the component's stored properties are being read back; RaiseOnError is silent
  // then and opening is deferred until Loaded.
  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  virtual void Loaded() { loading_ = false; }

private:
  bool loading_ = false;
};

}  // namespace qv

namespace qv {

// The application's exception display: where the library shows an exception raised by an
// event handler (on the main thread). Until the program sets it, the text goes to stderr.
using TShowExceptionHook = std::function<void(const std::exception&)>;
void SetSerialShowException(TShowExceptionHook hook);
void SerialShowException(const std::exception& e);

}  // namespace qv
