#include "serial/ser_base_dispatcher.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "serial/ser_base_dispatcher_parts.h"
#include "serial/ser_trace.h"
#include "serial/serial_exception.h"

namespace qv {

namespace {

// Every live dispatcher, indexed by its handle; guarded by ListLock().
std::vector<TSerBaseDispatcher*>& DispatcherList() {
  static std::vector<TSerBaseDispatcher*> list;
  return list;
}

}  // namespace

namespace {
thread_local int t_handler_depth = 0;
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

void TSerBaseDispatcher::SetClock(TMsClockSource clock) {
  clock_ = clock ? std::move(clock) : TMsClockSource(MonotonicMs);
}

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
    dispatch_buffer_.Reset(kDispatchBufferSize);
    received_total_ = notified_total_ = 0;
    send_ring_.Reset(out_size);
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
  dispatch_buffer_.Reset(0);
  send_ring_.Reset(0);
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
  TByteSpans free_room;
  uint32_t room, wrap_room;
  {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    free_room = dispatch_buffer_.FreeSpans();
    if (free_room.Total() == 0) return 0;
    room = static_cast<uint32_t>(free_room.FirstCount);
    // A second chunk only when the first one ends at the buffer end and more is waiting.
    wrap_room = in_queue <= room ? 0 : static_cast<uint32_t>(free_room.SecondCount);
  }
  // Only this thread adds to the buffer, so the free room stays free while it reads.
  long got = ReadDevice2(free_room.First, room, free_room.Second, wrap_room);
  if (got <= 0) return 0;
  uint32_t total = static_cast<uint32_t>(got);
  if (logging_) {
    uint32_t first = std::min(total, room);
    AddLogEntry(ltDispatch, lsReadCom, first, free_room.First, first);
    if (total > first) AddLogEntry(ltDispatch, lsReadCom, total - first, free_room.Second, total - first);
  }
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  dispatch_buffer_.Commit(total);
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
  if (log_ && log_->Recording)
    log_->Add(type, subtype, static_cast<uint32_t>(clock_()) - open_time_, value, data, size);
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
