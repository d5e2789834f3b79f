// The dispatcher's triggers: data, timer and status triggers and their handles.
#include "serial/ser_base_dispatcher.h"

#include <algorithm>

#include "serial/ser_base_dispatcher_parts.h"
#include "serial/ser_trace.h"
#include "serial/serial_exception.h"

namespace qv {

// ---- triggers ----

void TSerBaseDispatcher::LogTrigger(uint8_t type, uint8_t subtype, uint32_t value, const void* data, uint32_t size) {
  AddLogEntry(type, subtype, value, data, size);
}

int32_t TSerBaseDispatcher::AllocTriggerHandle() {
  if (next_handle_ < 4096) return 8 * next_handle_++;
  for (int32_t h = 8; h <= 4096; h += 8) {
    bool used =
        std::any_of(timers_.begin(), timers_.end(), [&](const TTimerTrigger& t) { return t.Handle == h; }) ||
        std::any_of(statuses_.begin(), statuses_.end(), [&](const TStatusTrigger& s) { return (s.Handle & ~7) == h; });
    if (!used) return h;
  }
  return 0;
}

void TSerBaseDispatcher::ResetTriggers() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  timers_.clear();
  statuses_.clear();
  length_trigger_ = 0;
  next_handle_ = 1;
}

int TSerBaseDispatcher::AddTimerTrigger() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  int32_t h = AllocTriggerHandle();
  if (h == 0) return ecNoMoreTriggers;
  timers_.push_back(TTimerTrigger{h, {}, 0, false});
  LogTrigger(ltTrigAllc, lsAllocTimer, static_cast<uint32_t>(h), nullptr, 0);
  return h;
}

int TSerBaseDispatcher::SetTimerTrigger(int32_t handle, int32_t ticks, bool activate) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  for (auto& t : timers_) {
    if (t.Handle != handle) continue;
    if (activate) {
      if (ticks != 0) t.Ticks = ticks;
      StartTickTimer(t.Timer, ScaledTimerTicks(t.Ticks), clock_());
      LogTrigger(ltTrDatChg, lsAllocTimer, static_cast<uint32_t>(handle), &t.Ticks, 4);
    } else {
      LogTrigger(ltTrDatChg, lsAllocTimer, static_cast<uint32_t>(handle), "Deactivated", 11);
    }
    t.Active = activate;
    return 0;
  }
  return ecBadTriggerHandle;
}

int TSerBaseDispatcher::AddStatusTrigger(int kind) {
  if (kind < 0 || kind > 5) return ecBadArgument;
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  int32_t h = AllocTriggerHandle();
  if (h == 0) return ecNoMoreTriggers;
  h |= kind;
  statuses_.push_back(TStatusTrigger{h, kind, 0, false, false});
  uint8_t k = static_cast<uint8_t>(kind);
  LogTrigger(ltTrigAllc, lsAllocStatus, static_cast<uint32_t>(h), &k, 1);
  return h;
}

int TSerBaseDispatcher::SetStatusTrigger(int32_t handle, uint16_t value, bool activate) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  for (auto& s : statuses_) {
    if (s.Handle != handle) continue;
    if (activate) {
      switch (s.Kind) {
        case kStatusModem:
          s.Value = static_cast<uint16_t>(((value & 0xFF) << 8) | (modem_status_ & value & 0xFF));
          break;
        case kStatusLine: s.Value = static_cast<uint16_t>((value & 0x0F) << 1); break;
        default: s.Value = value; break;
      }
    }
    s.Active = activate;
    uint32_t data = s.Value | (s.Active ? 0x10000u : 0u);
    LogTrigger(ltTrDatChg, lsAllocStatus, static_cast<uint32_t>(handle), &data, 4);
    return 0;
  }
  return ecBadTriggerHandle;
}

int TSerBaseDispatcher::RemoveTrigger(int32_t handle) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (handle == 1) {
    length_trigger_ = 0;
    return 0;
  }
  for (auto it = timers_.begin(); it != timers_.end(); ++it)
    if (it->Handle == handle) {
      timers_.erase(it);
      LogTrigger(ltTrigDisp, lsTimer, static_cast<uint32_t>(handle), nullptr, 0);
      return 0;
    }
  for (auto it = statuses_.begin(); it != statuses_.end(); ++it)
    if (it->Handle == handle) {
      uint8_t k = static_cast<uint8_t>(it->Kind);
      statuses_.erase(it);
      LogTrigger(ltTrigDisp, lsAllocStatus, static_cast<uint32_t>(handle), &k, 1);
      return 0;
    }
  return ecBadTriggerHandle;
}

void TSerBaseDispatcher::SetLengthTrigger(int32_t count) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  length_trigger_ = count;
  LogTrigger(ltTrDatChg, lsAvailChange, static_cast<uint32_t>(count), nullptr, 0);
}

int32_t TSerBaseDispatcher::LengthTrigger() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  return length_trigger_;
}

void TSerBaseDispatcher::SaveTriggers(TTriggerSave& save) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  save.LengthTrigger = length_trigger_;
  save.Timers = timers_;
  save.Statuses = statuses_;
}

void TSerBaseDispatcher::RestoreTriggers(const TTriggerSave& save) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  length_trigger_ = save.LengthTrigger;
  timers_ = save.Timers;
  statuses_ = save.Statuses;
  // Handles handed out before the close stay taken.
  int32_t highest = 0;
  for (const auto& t : timers_) highest = std::max(highest, t.Handle / 8);
  for (const auto& s : statuses_) highest = std::max(highest, s.Handle / 8);
  next_handle_ = std::max(next_handle_, std::min(highest + 1, 4096));
}

void TSerBaseDispatcher::ClearFiredMarks() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  for (auto& s : statuses_) s.Fired = false;
}

bool TSerBaseDispatcher::CheckStatusTriggers() {
  int32_t handle = 0;
  uint16_t data = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    for (auto& s : statuses_) {
      if (!s.Active || s.Fired) continue;
      bool fire = false;
      switch (s.Kind) {
        case kStatusModem: fire = ((s.Value & 0xFF) ^ modem_status_) & (s.Value >> 8); break;
        case kStatusLine:
          if (s.Value & line_error_) {
            fire = true;
            s.Value = line_error_;
          }
          break;
        case kStatusOutBuffFree: {
          uint32_t free_room = OutBuffFree();
          if (free_room >= s.Value) fire = true, data = static_cast<uint16_t>(free_room);
          break;
        }
        case kStatusOutBuffUsed: {
          uint32_t used = OutBuffUsed();
          if (used <= s.Value) fire = true, data = static_cast<uint16_t>(used);
          break;
        }
        case kStatusOutSent:
          if (sent_) fire = true, sent_ = false;
          break;
        default: break;
      }
      if (!fire) continue;
      s.Active = false;
      s.Fired = true;
      handle = s.Handle;
      break;
    }
  }
  if (handle == 0) return false;
  DeliverEvent(kTriggerStatus, static_cast<uint32_t>(handle), data);
  return true;
}

bool TSerBaseDispatcher::CheckTimerTriggers() {
  int32_t handle = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    uint64_t now = clock_();
    for (auto& t : timers_) {
      if (t.Active && TickTimerExpired(t.Timer, now)) {
        t.Active = false;
        handle = t.Handle;
        break;
      }
    }
  }
  if (handle == 0) return false;
  DeliverEvent(kTriggerTimer, static_cast<uint32_t>(handle), 0);
  return true;
}

bool TSerBaseDispatcher::ProcessReceived() {
  uint32_t count;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    if (length_trigger_ <= 0 || (received_total_ == notified_total_ && !announce_waiting_)) return false;
    // Bytes that come while the port is still opening stay unannounced until somebody listens:
    // announced to nobody, they would wait in the buffer for bytes that may never come.
    if (!DataReceiversLocked()) return false;
    count = InBuffUsedLocked();
    if (count == 0) announce_waiting_ = false;
    if (count == 0 || count < static_cast<uint32_t>(length_trigger_)) return false;
    notified_total_ = received_total_;
    announce_waiting_ = false;
  }
  DeliverEvent(kTriggerAvail, count, 0);
  return true;
}

bool TSerBaseDispatcher::DataReceiversLocked() const {
  // As DeliverEvent hands them out: every event handler; the windows when there is more than
  // one or the port wants the events itself.
  auto windows = LiveCount(windows_);
  return LiveCount(events_) > 0 || windows > 1 || (windows == 1 && port_handler_);
}

void TSerBaseDispatcher::AnnounceWaitingLocked() {
  announce_waiting_ = true;
  WakeDispatch();
}

}  // namespace qv
