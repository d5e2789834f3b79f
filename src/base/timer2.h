#pragma once
// The system's millisecond interval timer. It is no window timer: it keeps a start and a due
// value of the 32-bit tick counter and is polled with Expired. Every comparison is unsigned, so
// the counter's wrap is harmless. It can be aligned to a wall-clock grid, so that a ten-minute
// timer expires at 12:10:00, 12:20:00 and so on.
#include <cstdint>

#include "platform/os/tick_count.h"
#include "platform/rtl/date_time.h"

namespace qv {

// Grid steps in milliseconds: 100 ms, 1 s, 10 s, 30 s, 1 min, 10 min, 30 min, 1 h, 3 h, 6 h,
// 12 h, 24 h.
constexpr uint32_t TimeGridMSecs[12] = {100,     1000,    10000,    30000,    60000,    600000,
                                        1800000, 3600000, 10800000, 21600000, 43200000, 86400000};

// DT with its time of day floored to a whole multiple of the grid step; NoDateTime stays.
// An index beyond the table takes its last step.
TDateTime SnapToTimeGrid(uint8_t grid_index, TDateTime dt);

// A timer is polled by one thread only.
class TTimer2 {
public:
  // Started at once, not aligned.
  explicit TTimer2(uint32_t interval_ms, const TTickSource& ticks = DefaultTickSource(),
                   const TWallClock& clock = DefaultWallClock());
  TTimer2(const TTimer2&) = default;
  TTimer2& operator=(const TTimer2&) = default;
  // An idle task polling a freed timer would read freed memory: its tasks go with it.
  ~TTimer2();

  bool Expired() const;
  // Milliseconds until Due while running; 0 when expired.
  uint32_t Remaining() const;
  // Wall-clock moment of expiry.
  TDateTime DueTime() const;
  // A new period from now (then aligned).
  void Restart();
  // Moves the period on by whole intervals until it contains now, keeping the timer's phase
  // when polls were missed (then aligned). Does nothing for interval 0.
  void CatchUp();
  void SetInterval(uint32_t ms);
  // Restarts the timer unless all three equal the stored values.
  void SetAlignment(bool aligned, uint8_t grid_index, int32_t offset_ms);

  uint32_t Start() const { return start_; }
  uint32_t Interval() const { return interval_; }
  uint32_t Due() const { return due_; }
  bool Aligned() const { return aligned_; }
  uint8_t GridIndex() const { return grid_index_; }
  int32_t Offset() const { return offset_; }

private:
  bool ExpiredAt(uint32_t t) const;
  void Align();
  int64_t NowMs() const;

  const TTickSource* ticks_;
  const TWallClock* clock_;
  uint32_t start_ = 0;
  uint32_t interval_ = 0;
  uint32_t due_ = 0;
  bool aligned_ = false;
  uint8_t grid_index_ = 0;
  int32_t offset_ = 0;
};

}  // namespace qv
