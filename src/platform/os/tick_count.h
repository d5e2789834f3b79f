#pragma once
// The operating system's 32-bit millisecond tick counter. It wraps about every 49.7 days; code
// that keeps tick values handles the wrap with unsigned arithmetic. Code that reads it takes a
// tick source so that tests can set the counter, for example just before the wrap.
#include <cstdint>

namespace qv {

class TTickSource {
public:
  virtual ~TTickSource() = default;
  virtual uint32_t GetTickCount() const = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits.
class TSystemTicks : public TTickSource {
public:
  uint32_t GetTickCount() const override;
};

// A counter that moves only when told to.
class TFixedTicks : public TTickSource {
public:
  explicit TFixedTicks(uint32_t ticks = 0) : ticks_(ticks) {}
  uint32_t GetTickCount() const override { return ticks_; }
  void Set(uint32_t ticks) { ticks_ = ticks; }
  void Advance(uint32_t ms) { ticks_ += ms; }

private:
  uint32_t ticks_;
};

const TTickSource& DefaultTickSource();

inline uint32_t GetTickCount(const TTickSource& source = DefaultTickSource()) { return source.GetTickCount(); }

}  // namespace qv
