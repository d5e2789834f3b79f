#include "serial/ser_base_dispatcher.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

#include "serial/ser_trace.h"
#include "serial/serial_exception.h"

namespace qv {

namespace {

// Every live dispatcher, indexed by its handle; guarded by ListLock().
std::vector<TSerBaseDispatcher*>& DispatcherList() {
  static std::vector<TSerBaseDispatcher*> list;
  return list;
}

// Log entry types and subtypes.
constexpr uint8_t ltDispatch = 1, ltTrigger = 2, ltTrigAllc = 5, ltTrigDisp = 6, ltTrgHdAlc = 7, ltTrgHdDsp = 8,
                  ltTrDatChg = 9;
constexpr uint8_t lsReadCom = 1, lsWriteCom = 2, lsAvail = 5, lsTimer = 6, lsData = 7, lsStatus = 8,
                  lsAllocTimer = 14, lsAllocStatus = 15, lsAvailChange = 16, lsWindow = 17, lsMethod = 19;

// A handler's exception must not end the dispatch thread (nor leave the delivery running, which
// would keep every later event back and a close waiting): it is shown on the main thread and the
// delivery goes on.
void ShowHandlerError(std::exception_ptr error) {
  Synchronize([&] {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      SerialShowException(e);
    } catch (...) {
      SerialShowException(Exception("Unknown exception in a serial event handler"));
    }
  });
}

}  // namespace

namespace {
thread_local int t_handler_depth = 0;

// Handlers not removed during a delivery.
template <typename List>
ptrdiff_t LiveCount(const List& list) {
  return std::count_if(list.begin(), list.end(), [](const auto& e) { return !e.Deleted; });
}
}  // namespace

TEventHandlerScope::TEventHandlerScope() { ++t_handler_depth; }
TEventHandlerScope::~TEventHandlerScope() { --t_handler_depth; }
bool TEventHandlerScope::Inside() { return t_handler_depth > 0; }

std::recursive_mutex& TSerBaseDispatcher::ListLock() {
  static std::recursive_mutex lock;
  return lock;
}

TSerBaseDispatcher* TSerBaseDispatcher::FindByHandle(int handle) {
  std::lock_guard<std::recursive_mutex> lock(ListLock());
  auto& list = DispatcherList();
  if (handle < 0 || handle >= static_cast<int>(list.size())) return nullptr;
  return list[handle];
}

TSerBaseDispatcher::TSerBaseDispatcher(TSerCustomComPort* owner) : owner_(owner), clock_(MonotonicMs) {
  std::lock_guard<std::recursive_mutex> lock(ListLock());
  auto& list = DispatcherList();
  auto it = std::find(list.begin(), list.end(), nullptr);
  if (it != list.end()) {
    *it = this;
    handle_ = static_cast<int>(it - list.begin());
  } else {
    handle_ = static_cast<int>(list.size());
    list.push_back(this);
  }
}

TSerBaseDispatcher::~TSerBaseDispatcher() {
  std::lock_guard<std::recursive_mutex> lock(ListLock());
  auto& list = DispatcherList();
  if (handle_ >= 0 && handle_ < static_cast<int>(list.size())) list[handle_] = nullptr;
  while (!list.empty() && list.back() == nullptr) list.pop_back();
}

void TSerBaseDispatcher::SetClock(TMsClockSource clock) { clock_ = clock ? std::move(clock) : TMsClockSource(MonotonicMs); }

// ---- opening and closing ----

int TSerBaseDispatcher::OpenDispatcherPort(const std::string& name, uint32_t baud, int parity, int stop_bits,
                                           int data_bits, uint32_t in_size, uint32_t out_size, uint32_t options) {
  delivering_ = false;
  closing_ = false;
  purge_ = false;
  line_lost_ = false;
  int r = OpenDevice(name, in_size, out_size);
  if (r < 0) return r;
  device_open_ = true;
  in_size_ = in_size;
  out_size_ = out_size;
  r = SetDeviceQueues(in_size, out_size);
  if (r < 0) {
    CloseDispatcherPort();
    return r;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    std::lock_guard<std::recursive_mutex> slock(send_lock_);
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    dispatch_buffer_.assign(kDispatchBufferSize, 0);
    head_ = tail_ = 0;
    full_ = false;
    received_total_ = notified_total_ = 0;
    send_ring_.assign(out_size, 0);
    send_head_ = send_tail_ = 0;
    send_full_ = false;
    line_error_ = 0;
    sent_ = false;
    close_pending_ = false;
    rs485_ = false;
    ReadDeviceState(dcb_);
    dtr_ = options & 1;
    rts_ = options & 2;
    dtr_handshake_ = options & 0x10;
    rts_handshake_ = options & 0x20;
    if (dtr_handshake_) dcb_.DtrControl = LINE_CONTROL_HANDSHAKE;
    if (rts_handshake_) dcb_.RtsControl = LINE_CONTROL_HANDSHAKE;
    ResetTriggers();
    uint32_t lines = 0;
    ReadModemLines(lines);
    modem_status_ = static_cast<uint8_t>(lines & 0xF0);
    last_baud_ = 115200;
  }
  r = ApplyLineSettings(baud, parity, stop_bits, data_bits);
  if (r < 0) {
    CloseDispatcherPort();
    return r;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    uint32_t in_queue;
    line_error_ |= static_cast<uint16_t>(ReadDeviceStatus(in_queue));
    trace_.reset();
    log_.reset();
    tracing_ = logging_ = false;
    open_time_ = static_cast<uint32_t>(clock_());
  }
  r = StartDispatcher();
  if (r < 0) {
    CloseDispatcherPort();
    return r;
  }
  return 0;
}

int TSerBaseDispatcher::CloseDispatcherPort() {
  int r = 0;
  if (!TEventHandlerScope::Inside()) {
    // Not asked from inside a handler: start no other delivery, even one that data arriving
    // while the threads stop would begin, and let the one under way end (its handlers may
    // need the main thread); then close at once. Set under the main lock, which a delivery
    // holds from its check of the flag until it counts as delivering.
    {
      std::lock_guard<std::recursive_mutex> lock(main_lock_);
      closing_ = true;
    }
    while (delivering_) {
      if (IsMainThread())
        WaitAndProcessMessages(1);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (device_open_) {
    FlushOutBuffer();
    FlushInBuffer();
    r = CloseDevice();
    device_open_ = false;
  }
  if (delivering_)
    close_pending_ = true;
  else
    ReleaseBuffers();
  return r;
}

int TSerBaseDispatcher::SetQueues(uint32_t in_size, uint32_t out_size) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  int r = SetDeviceQueues(in_size, out_size);
  if (r == 0) in_size_ = in_size;
  return r;
}

void TSerBaseDispatcher::ReleaseBuffers() {
  release_at_exit_ = false;
  // On the dispatch thread itself (ending after a deferred close) this stops nothing: the other
  // workers are gone already and whoever frees the dispatcher joins it.
  if (active_) StopDispatcher();
  std::lock_guard<std::mutex> reading(read_mutex_);
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  std::vector<uint8_t>().swap(dispatch_buffer_);
  std::vector<uint8_t>().swap(send_ring_);
  head_ = tail_ = send_head_ = send_tail_ = 0;
  full_ = send_full_ = false;
}

long TSerBaseDispatcher::ReadDevice2(uint8_t* first, uint32_t first_count, uint8_t* second, uint32_t second_count) {
  long n = ReadDevice(first, first_count);
  if (n <= 0 || static_cast<uint32_t>(n) < first_count || second_count == 0) return n;
  long m = ReadDevice(second, second_count);
  return m > 0 ? n + m : n;
}

int TSerBaseDispatcher::YieldTime() {
  std::this_thread::yield();
  return 0;
}

void TSerBaseDispatcher::SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void TSerBaseDispatcher::SetThreadBoost(int boost) { thread_boost_ = boost; }

// ---- received data ----

uint32_t TSerBaseDispatcher::InBuffUsedLocked() const {
  if (dispatch_buffer_.empty()) return 0;
  if (full_) return kDispatchBufferSize;
  return (head_ + kDispatchBufferSize - tail_) % kDispatchBufferSize;
}

// Copies count bytes from the dispatch buffer at pos, wrapping at its end.
void TSerBaseDispatcher::CopyOut(uint32_t pos, uint8_t* buffer, uint32_t count) const {
  uint32_t first = std::min(count, kDispatchBufferSize - pos);
  std::memcpy(buffer, &dispatch_buffer_[pos], first);
  if (count > first) std::memcpy(buffer + first, &dispatch_buffer_[0], count - first);
}

int TSerBaseDispatcher::GetBlock(uint8_t* buffer, uint32_t count) {
  bool was_full;
  {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    uint32_t offset = delivering_ ? read_offset_ : 0;
    uint32_t used = InBuffUsedLocked();
    if (count > used - std::min(offset, used)) return ecBufferIsEmpty;
    if (count > 0) CopyOut((tail_ + offset) % kDispatchBufferSize, buffer, count);
    was_full = full_;
    if (delivering_) {
      read_offset_ += count;
      was_full = false;
    } else if (count > 0) {
      tail_ = (tail_ + count) % kDispatchBufferSize;
      full_ = false;
    }
  }
  if (tracing_) {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    if (trace_ && trace_->Recording)
      for (uint32_t i = 0; i < count; ++i) trace_->Add('R', buffer[i]);
  }
  if (was_full && count > 0) InputRoom();
  return static_cast<int>(count);
}

int TSerBaseDispatcher::PeekBlock(uint8_t* buffer, uint32_t count) {
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  uint32_t offset = delivering_ ? read_offset_ : 0;
  uint32_t used = InBuffUsedLocked();
  if (count > used - std::min(offset, used)) return ecBufferIsEmpty;
  if (count > 0) CopyOut((tail_ + offset) % kDispatchBufferSize, buffer, count);
  return static_cast<int>(count);
}

bool TSerBaseDispatcher::CharReady() { return InBuffUsed() > 0; }

uint32_t TSerBaseDispatcher::InBuffUsed() {
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  uint32_t used = InBuffUsedLocked();
  uint32_t offset = delivering_ ? read_offset_ : 0;
  return used - std::min(offset, used);
}

bool TSerBaseDispatcher::DispatchBufferFull() {
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  return full_;
}

int TSerBaseDispatcher::FlushInBuffer() {
  int r = device_open_ ? PurgeDevice(1) : 0;
  bool was_full;
  {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    was_full = full_;
    if (delivering_) {
      flush_during_delivery_ = true;
    } else {
      tail_ = head_;
      full_ = false;
    }
    notified_total_ = received_total_;
  }
  if (was_full) InputRoom();
  return r;
}

// ---- sending ----

uint32_t TSerBaseDispatcher::SendUsedLocked() const {
  if (send_ring_.empty()) return 0;
  if (send_full_) return static_cast<uint32_t>(send_ring_.size());
  return static_cast<uint32_t>((send_head_ + send_ring_.size() - send_tail_) % send_ring_.size());
}

void TSerBaseDispatcher::AdvanceSendTail(uint32_t count) {
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  if (send_ring_.empty() || count == 0) return;
  send_tail_ = static_cast<uint32_t>((send_tail_ + count) % send_ring_.size());
  send_full_ = false;
  if (send_tail_ == send_head_) send_head_ = send_tail_ = 0;
}

long TSerBaseDispatcher::WriteDevice(const uint8_t* data, uint32_t count) {
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  uint32_t size = static_cast<uint32_t>(send_ring_.size());
  if (size == 0) return -1;
  uint32_t first = std::min(count, size - send_head_);
  std::memcpy(&send_ring_[send_head_], data, first);
  std::memcpy(send_ring_.data(), data + first, count - first);
  send_head_ = static_cast<uint32_t>((send_head_ + count) % size);
  if (count > 0 && send_head_ == send_tail_) send_full_ = true;
  return count;
}

int TSerBaseDispatcher::PutBlock(const uint8_t* data, uint32_t count) {
  if (count == 0) return 0;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    std::lock_guard<std::recursive_mutex> slock(send_lock_);
    if (send_ring_.empty()) return ecPutBlockFail;
    uint32_t free_room = static_cast<uint32_t>(send_ring_.size()) - SendUsedLocked();
    if (count > free_room) return ecOutputBufferTooSmall;
    if (WriteDevice(data, count) != static_cast<long>(count)) return ecPutBlockFail;
    sent_ = true;
    AddLogEntry(ltDispatch, lsWriteCom, count, data, count);
    if (trace_ && trace_->Recording)
      for (uint32_t i = 0; i < count; ++i) trace_->Add('T', data[i]);
  }
  OutputQueued();
  return 0;
}

uint32_t TSerBaseDispatcher::OutBuffUsed() {
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  return SendUsedLocked();
}

uint32_t TSerBaseDispatcher::OutBuffFree() {
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  return static_cast<uint32_t>(send_ring_.size()) - SendUsedLocked();
}

int TSerBaseDispatcher::FlushOutBuffer() { return device_open_ ? PurgeDevice(0) : 0; }

// ---- triggers ----

void TSerBaseDispatcher::LogTrigger(uint8_t type, uint8_t subtype, uint32_t value, const void* data, uint32_t size) {
  AddLogEntry(type, subtype, value, data, size);
}

int32_t TSerBaseDispatcher::AllocTriggerHandle() {
  if (next_handle_ < 4096) return 8 * next_handle_++;
  for (int32_t h = 8; h <= 4096; h += 8) {
    bool used = std::any_of(timers_.begin(), timers_.end(), [&](const TTimerTrigger& t) { return t.Handle == h; }) ||
                std::any_of(statuses_.begin(), statuses_.end(),
                            [&](const TStatusTrigger& s) { return (s.Handle & ~7) == h; });
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
      StartTickTimer(t.Timer, t.Ticks, clock_());
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
        case kStatusModem: s.Value = static_cast<uint16_t>(((value & 0xFF) << 8) | (modem_status_ & value & 0xFF)); break;
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
        case kStatusModem:
          fire = ((s.Value & 0xFF) ^ modem_status_) & (s.Value >> 8);
          break;
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

// ---- handlers and delivery ----

void TSerBaseDispatcher::RegisterWindowHandler(HWND wnd) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  windows_.push_back(TWindowEntry{wnd, false});
  service_ = true;
  AnnounceWaitingLocked();
  LogTrigger(ltTrgHdAlc, lsWindow, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd)), nullptr, 0);
  if (line_lost_) PostMessage(wnd, kLineLostMsg, 0, static_cast<intptr_t>(handle_) * 65536);
}

void TSerBaseDispatcher::ReportLineLost() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (line_lost_.exchange(true)) return;
  for (const auto& w : windows_)
    if (!w.Deleted) PostMessage(w.Wnd, kLineLostMsg, 0, static_cast<intptr_t>(handle_) * 65536);
}

void TSerBaseDispatcher::DeregisterWindowHandler(HWND wnd) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  for (auto it = windows_.begin(); it != windows_.end(); ++it) {
    if (it->Wnd != wnd || it->Deleted) continue;
    if (delivering_) {
      it->Deleted = true;
      purge_ = true;
    } else {
      windows_.erase(it);
    }
    LogTrigger(ltTrgHdDsp, lsWindow, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd)), nullptr, 0);
    break;
  }
  UpdateHandlerFlags(0);
}

void TSerBaseDispatcher::RegisterEventHandler(const void* key, TTriggerHandler handler) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  events_.push_back(TEventEntry{key, std::move(handler), false});
  service_ = true;
  AnnounceWaitingLocked();
  LogTrigger(ltTrgHdAlc, lsMethod, 0, nullptr, 0);
}

void TSerBaseDispatcher::DeregisterEventHandler(const void* key) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  for (auto it = events_.begin(); it != events_.end(); ++it) {
    if (it->Key != key || it->Deleted) continue;
    if (delivering_) {
      it->Deleted = true;
      purge_ = true;
    } else {
      events_.erase(it);
    }
    LogTrigger(ltTrgHdDsp, lsMethod, 0, nullptr, 0);
    break;
  }
  UpdateHandlerFlags(0);
}

void TSerBaseDispatcher::UpdateHandlerFlags(int mode) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (mode == 1) {
    if (!port_handler_) AnnounceWaitingLocked();
    port_handler_ = true;
    service_ = true;
    return;
  }
  if (mode == 2) port_handler_ = false;
  service_ = LiveCount(windows_) > 1 || LiveCount(events_) > 0 || port_handler_;
}

bool TSerBaseDispatcher::DeliverEvent(uint32_t msg, uint32_t value, uint16_t data) {
  bool data_mode = msg == kTriggerAvail || msg == kTriggerData;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    if (!service_) return true;
    if (closing_) return false;
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    delivering_ = true;
    max_read_offset_ = 0;
    flush_during_delivery_ = false;
    uint8_t subtype = msg == kTriggerAvail ? lsAvail : msg == kTriggerTimer ? lsTimer : msg == kTriggerData ? lsData : lsStatus;
    LogTrigger(ltTrigger, subtype, value, nullptr, 0);
  }
  const int32_t param = static_cast<int32_t>(data + static_cast<uint32_t>(handle_) * 65536u);
  bool go_on = true;
  auto note_offset = [&] {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    max_read_offset_ = std::max(max_read_offset_, read_offset_);
    read_offset_ = 0;
  };
  for (size_t i = 0; go_on; ++i) {
    TTriggerHandler handler;
    {
      std::lock_guard<std::recursive_mutex> lock(main_lock_);
      if (i >= events_.size()) break;
      if (events_[i].Deleted) continue;
      handler = events_[i].Handler;
    }
    {
      std::lock_guard<std::recursive_mutex> dlock(data_lock_);
      read_offset_ = 0;
    }
    try {
      handler(msg, value, param);
    } catch (...) {
      ShowHandlerError(std::current_exception());
    }
    note_offset();
    if (close_pending_) go_on = false;
  }
  bool send_windows;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    send_windows = LiveCount(windows_) > 1 || port_handler_;
  }
  for (size_t i = 0; go_on && send_windows; ++i) {
    HWND wnd;
    {
      std::lock_guard<std::recursive_mutex> lock(main_lock_);
      if (i >= windows_.size()) break;
      if (windows_[i].Deleted) continue;
      wnd = windows_[i].Wnd;
    }
    {
      std::lock_guard<std::recursive_mutex> dlock(data_lock_);
      read_offset_ = 0;
    }
    // A main thread that is busy for longer gets the event later, in order: trigger events
    // are one-shot and a dropped one would leave its waiter hanging.
    if (!SendMessageTimeout(wnd, msg, value, param, send_timeout_ms_, nullptr)) PostMessage(wnd, msg, value, param);
    note_offset();
    if (close_pending_) go_on = false;
  }
  bool consumed = true;
  bool room = false;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    {
      std::lock_guard<std::recursive_mutex> dlock(data_lock_);
      if (data_mode && !dispatch_buffer_.empty()) {
        if (flush_during_delivery_) {
          room = full_;
          tail_ = head_;
          full_ = false;
        } else if (max_read_offset_ > 0) {
          room = full_;
          tail_ = (tail_ + max_read_offset_) % kDispatchBufferSize;
          full_ = false;
        }
        if (msg == kTriggerAvail && !flush_during_delivery_ && max_read_offset_ != value) consumed = false;
      }
      flush_during_delivery_ = false;
      read_offset_ = 0;
      delivering_ = false;
    }
    if (purge_) {
      purge_ = false;
      windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [](const TWindowEntry& w) { return w.Deleted; }),
                     windows_.end());
      events_.erase(std::remove_if(events_.begin(), events_.end(), [](const TEventEntry& e) { return e.Deleted; }),
                    events_.end());
      UpdateHandlerFlags(0);
    }
  }
  if (room) InputRoom();
  if (close_pending_) return false;
  return consumed;
}

// ---- line and flow settings ----

uint32_t TSerBaseDispatcher::LineChangeWaitMs(uint32_t baud, int data_bits, int parity, int stop_code) {
  if (baud == 0) return 0;
  uint64_t bit_time = 10000000u / baud;  // tenths of a microsecond
  uint64_t bits = static_cast<uint64_t>(data_bits) + 2 + (parity != NOPARITY ? 1 : 0) + (stop_code != ONESTOPBIT ? 1 : 0);
  uint64_t wait = bit_time * bits * 18;
  if (wait < 10000) wait *= 2;
  return static_cast<uint32_t>((wait + 9999) / 10000);
}

int TSerBaseDispatcher::ApplyLineSettings(uint32_t baud, int parity, int stop_bits, int data_bits) {
  TDcb wanted;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    TDcb current;
    if (ReadDeviceState(current) < 0) return ecBadHandle;
    wanted = current;
    if (baud != 0) wanted.BaudRate = baud;
    if (parity >= 0 && parity <= 4) wanted.Parity = static_cast<uint8_t>(parity);
    if (data_bits != 9) wanted.ByteSize = static_cast<uint8_t>(data_bits);
    if (stop_bits != 3) wanted.StopBits = stop_bits <= 1 ? ONESTOPBIT : TWOSTOPBITS;
    if (wanted.ByteSize == 5) wanted.StopBits = ONE5STOPBITS;
    if (wanted.BaudRate == current.BaudRate && wanted.Parity == current.Parity &&
        wanted.ByteSize == current.ByteSize && wanted.StopBits == current.StopBits)
      return 0;
  }
  // Let what is queued leave at the old settings first.
  for (int look = 0; look < 5000 && OutBuffUsed() > 0; ++look) SleepMs(2);
  SleepMs(LineChangeWaitMs(wanted.BaudRate, wanted.ByteSize, wanted.Parity, wanted.StopBits));
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb;
  if (ReadDeviceState(dcb) < 0) return ecBadHandle;
  dcb.BaudRate = wanted.BaudRate;
  dcb.Parity = wanted.Parity;
  dcb.ByteSize = wanted.ByteSize;
  dcb.StopBits = wanted.StopBits;
  dcb.Binary = true;
  dcb.ParityCheck = false;
  dcb.DsrSensitivity = false;
  dcb.TxContinueOnXoff = true;
  dcb.Null = false;
  return WriteDcb(dcb);
}

void TSerBaseDispatcher::ReadLineSettings(uint32_t& baud, int& parity, int& stop_bits, int& data_bits) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb;
  ReadDeviceState(dcb);
  baud = dcb.BaudRate;
  parity = dcb.Parity;
  stop_bits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
  data_bits = dcb.ByteSize;
}

int TSerBaseDispatcher::ApplyHWFlow(int32_t full, int32_t resume, uint32_t options) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (full < resume || full > static_cast<int32_t>(in_size_)) return ecBadArgument;
  TDcb dcb = dcb_;
  dtr_handshake_ = options & 1;
  rts_handshake_ = options & 2;
  dcb.DtrControl = dtr_handshake_ ? LINE_CONTROL_HANDSHAKE : (dtr_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE);
  dcb.RtsControl = rts_handshake_ ? LINE_CONTROL_HANDSHAKE : (rts_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE);
  dcb.OutxDsrFlow = options & 4;
  dcb.OutxCtsFlow = options & 8;
  dcb.XoffLim = static_cast<uint16_t>(in_size_ - static_cast<uint32_t>(full));
  dcb.XonLim = static_cast<uint16_t>(resume);
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::ApplySWFlow(int32_t full, int32_t resume, uint32_t options) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (full < resume || full > static_cast<int32_t>(in_size_)) return ecBadArgument;
  TDcb dcb = dcb_;
  dcb.InX = options & 2;
  dcb.OutX = options & 1;
  dcb.XoffLim = static_cast<uint16_t>(in_size_ - static_cast<uint32_t>(full));
  dcb.XonLim = static_cast<uint16_t>(resume);
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::SWFlowOff() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb = dcb_;
  dcb.InX = dcb.OutX = false;
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::ApplyFlowChars(char xon, char xoff) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  TDcb dcb = dcb_;
  dcb.XonChar = xon;
  dcb.XoffChar = xoff;
  return WriteDcb(dcb);
}

int TSerBaseDispatcher::SetDtrLine(bool on) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (dtr_handshake_) return 1;
  if (EscapeFunction(on ? SETDTR : CLRDTR) != 0) return ecBadArgument;
  dtr_ = on;
  dcb_.DtrControl = on ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  return 0;
}

int TSerBaseDispatcher::SetRtsLine(bool on) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (rts_handshake_) return 1;
  if (EscapeFunction(on ? SETRTS : CLRRTS) != 0) return ecBadArgument;
  rts_ = on;
  dcb_.RtsControl = on ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  return 0;
}

int TSerBaseDispatcher::WriteDcb(TDcb dcb) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (!dtr_handshake_) dcb.DtrControl = dtr_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  if (!rts_handshake_) dcb.RtsControl = rts_ ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
  int r = WriteDeviceState(dcb);
  if (r < 0) return r;
  dcb_ = dcb;
  last_baud_ = dcb.BaudRate;
  if (!dtr_handshake_) EscapeFunction(dtr_ ? SETDTR : CLRDTR);
  if (!rts_handshake_ && !rs485_) EscapeFunction(rts_ ? SETRTS : CLRRTS);
  return 0;
}

void TSerBaseDispatcher::RefreshModemStatus() {
  uint32_t lines = 0;
  if (ReadModemLines(lines) != 0) return;
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  uint8_t now = static_cast<uint8_t>(lines & 0xF0);
  uint8_t changes = static_cast<uint8_t>(((modem_status_ ^ now) & 0xF0) >> 4);
  modem_status_ = static_cast<uint8_t>(now | changes);
}

int TSerBaseDispatcher::LineErrorCode() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  static constexpr struct {
    uint16_t bit;
    int code;
  } kCodes[] = {{leOverflow, 1}, {leOverrun, 2}, {leParity, 3}, {leFraming, 4}, {leBreak, 9}};
  for (const auto& c : kCodes)
    if (line_error_ & c.bit) {
      line_error_ &= static_cast<uint16_t>(~c.bit);
      return c.code;
    }
  return 0;
}

bool TSerBaseDispatcher::LineBreakSeen() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  bool seen = line_error_ & leBreak;
  line_error_ &= static_cast<uint16_t>(~leBreak);
  return seen;
}

// ---- the dispatch pass ----

uint32_t TSerBaseDispatcher::ReadDeviceData() {
  // One reader at a time. The room past the head belongs to the reader alone, so the device
  // is read without the data lock and readers of the buffer are never held up by it.
  std::lock_guard<std::mutex> reading(read_mutex_);
  uint32_t in_queue = 0;
  uint32_t errors = ReadDeviceStatus(in_queue);
  if (errors != 0) {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    line_error_ |= static_cast<uint16_t>(errors);
  }
  if (in_queue == 0) return 0;
  uint32_t head, room, wrap_room;
  {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    if (dispatch_buffer_.empty() || full_) return 0;
    head = head_;
    room = tail_ > head_ ? tail_ - head_ : kDispatchBufferSize - head_;
    // A second chunk only when the first one ends at the buffer end and more is waiting.
    wrap_room = tail_ > head_ || in_queue <= room ? 0 : tail_;
  }
  long got = ReadDevice2(&dispatch_buffer_[head], room, dispatch_buffer_.data(), wrap_room);
  if (got <= 0) return 0;
  uint32_t total = static_cast<uint32_t>(got);
  if (logging_) {
    uint32_t first = std::min(total, room);
    AddLogEntry(ltDispatch, lsReadCom, first, &dispatch_buffer_[head], first);
    if (total > first) AddLogEntry(ltDispatch, lsReadCom, total - first, dispatch_buffer_.data(), total - first);
  }
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  head_ = (head + total) % kDispatchBufferSize;
  if (head_ == tail_) full_ = true;
  received_total_ += total;
  return total;
}

bool TSerBaseDispatcher::HandleDeviceEvent(uint32_t mask) {
  if (mask & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)) {
    RefreshModemStatus();
    if (!delivering_) {
      bool any = false;
      while (!close_pending_ && CheckStatusTriggers()) any = true;
      if (any) ClearFiredMarks();
    }
  }
  if (mask & (EV_BREAK | EV_ERR)) {
    {
      std::lock_guard<std::mutex> reading(read_mutex_);  // the COM thread asks the device too
      std::lock_guard<std::recursive_mutex> lock(main_lock_);
      uint32_t in_queue;
      line_error_ |= static_cast<uint16_t>(ReadDeviceStatus(in_queue));
    }
    if (!delivering_) {
      bool any = false;
      while (!close_pending_ && CheckStatusTriggers()) any = true;
      if (any) ClearFiredMarks();
    }
  }
  ReadDeviceData();
  if (delivering_) return false;
  RefreshModemStatus();
  bool any = false;
  while (!close_pending_ && CheckStatusTriggers()) any = true;
  // The room a delivery frees is filled at once, before the next event is counted, so that
  // each event carries as many bytes as the buffer holds (the COM thread, when the buffer was
  // full, would first have to be woken). While bytes keep coming, the pass still ends after a
  // dispatch interval, so that the timers get their turn; the rest waits for the next pass.
  const uint64_t pass_end = clock_() + kDispatchPassMs;
  bool cut_short = false;
  while (!close_pending_ && ProcessReceived()) {
    if (clock_() >= pass_end) {
      cut_short = true;
      break;
    }
    ReadDeviceData();
  }
  if (any) ClearFiredMarks();
  return cut_short;
}

void TSerBaseDispatcher::HandleTimers() {
  if (close_pending_ || delivering_) return;
  bool any = false;
  for (;;) {
    bool fired = CheckStatusTriggers();
    if (!fired) fired = CheckTimerTriggers();
    if (!fired) break;
    any = true;
    if (close_pending_) break;
  }
  if (any) ClearFiredMarks();
}

// ---- trace and log ----

void TSerBaseDispatcher::AddTraceEntry(char kind, uint8_t byte) {
  if (!tracing_) return;
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (trace_ && trace_->Recording) trace_->Add(kind, byte);
}

void TSerBaseDispatcher::AddLogEntry(uint8_t type, uint8_t subtype, uint32_t value, const void* data, uint32_t size) {
  if (!logging_) return;
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (log_ && log_->Recording) log_->Add(type, subtype, static_cast<uint32_t>(clock_()) - open_time_, value, data, size);
}

int TSerBaseDispatcher::StartTrace(uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (size > kMaxTraceSize) return ecBadArgument;
  if (trace_)
    trace_->Clear();
  else
    trace_ = std::make_unique<TSerTrace>(size);
  trace_->Recording = true;
  tracing_ = true;
  return 0;
}

void TSerBaseDispatcher::StopTrace() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  tracing_ = false;
  trace_.reset();
}

int TSerBaseDispatcher::StartLog(uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (size > kMaxLogSize) return ecBadArgument;
  if (log_)
    log_->Clear();
  else
    log_ = std::make_unique<TSerLog>(size);
  log_->Recording = true;
  logging_ = true;
  return 0;
}

void TSerBaseDispatcher::StopLog() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  logging_ = false;
  log_.reset();
}

}  // namespace qv
