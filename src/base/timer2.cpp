#include "base/timer2.h"

#include <cmath>

#include "base/dt_stamp.h"
#include "base/idle_task_manager.h"
#include "platform/os/message_queue.h"

namespace qv {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }

int64_t GridStep(uint8_t grid_index) { return TimeGridMSecs[grid_index < 12 ? grid_index : 11]; }

// Grid arithmetic in whole milliseconds: a due moment exactly on a grid point must stay there,
// which floored floating-point days cannot promise.
int64_t SnapMs(uint8_t grid_index, int64_t ms) {
  const int64_t day = FloorDiv(ms, MSecsPerDay) * MSecsPerDay;
  const int64_t step = GridStep(grid_index);
  return day + (ms - day) / step * step;
}

}  // namespace

TDateTime SnapToTimeGrid(uint8_t grid_index, TDateTime dt) {
  if (dt <= NoDateTime) return NoDateTime;
  const int64_t ms = std::llround(dt * static_cast<double>(MSecsPerDay));
  return static_cast<double>(SnapMs(grid_index, ms)) / static_cast<double>(MSecsPerDay);
}

TTimer2::TTimer2(uint32_t interval_ms, const TTickSource& ticks, const TWallClock& clock)
    : ticks_(&ticks), clock_(&clock) {
  SetInterval(interval_ms);
}

TTimer2::~TTimer2() {
  // The manager is the main thread's; a worker's timers are never polled by it.
  if (IdleTaskManager && IsMainThread()) IdleTaskManager->RemoveTimer(this);
}

bool TTimer2::Expired() const { return ExpiredAt(ticks_->GetTickCount()); }

bool TTimer2::ExpiredAt(uint32_t t) const {
  if (start_ < due_) return t > due_ || t < start_;
  if (start_ == due_) return true;
  return due_ < t && t < start_;  // the period wraps past 0
}

uint32_t TTimer2::Remaining() const {
  const uint32_t t = ticks_->GetTickCount();
  return ExpiredAt(t) ? 0 : due_ - t;
}

int64_t TTimer2::NowMs() const { return std::llround(clock_->Now() * static_cast<double>(MSecsPerDay)); }

TDateTime TTimer2::DueTime() const {
  return static_cast<double>(NowMs() + Remaining()) / static_cast<double>(MSecsPerDay);
}

void TTimer2::Restart() {
  start_ = ticks_->GetTickCount();
  due_ = start_ + interval_;
  Align();
}

void TTimer2::CatchUp() {
  if (interval_ == 0) return;  // it would never catch up
  if (Expired()) {
    // Jump over all missed periods at once: the first period that ends at or after now.
    const uint64_t behind = static_cast<uint32_t>(ticks_->GetTickCount() - due_);
    const uint64_t periods = (behind + interval_ - 1) / interval_;
    start_ = due_ + static_cast<uint32_t>((periods - 1) * interval_);
    due_ = start_ + interval_;
    while (Expired()) {  // the counter moved on meanwhile
      start_ = due_;
      due_ += interval_;
    }
  }
  Align();
}

void TTimer2::SetInterval(uint32_t ms) {
  interval_ = ms;
  Restart();
}

void TTimer2::SetAlignment(bool aligned, uint8_t grid_index, int32_t offset_ms) {
  if (aligned == aligned_ && grid_index == grid_index_ && offset_ms == offset_) return;
  aligned_ = aligned;
  grid_index_ = grid_index;
  offset_ = offset_ms;
  Restart();
}

void TTimer2::Align() {
  if (!aligned_ || Expired()) return;
  const int64_t now = NowMs();
  const int64_t m = now + Remaining();  // when the unaligned timer would expire
  const int64_t step = GridStep(grid_index_);
  int64_t g = SnapMs(grid_index_, m) + offset_;
  if (now >= g) g += ((now - g) / step + 1) * step;
  due_ += static_cast<uint32_t>(g - m);  // may move the expiry earlier
}

}  // namespace qv
