#include "serial/ser_win32_dispatcher.h"

#include <chrono>

#include "platform/rtl/exception.h"
#include "serial/serial_exception.h"

namespace qv {

namespace {
constexpr int kDispatchWaitMs = kDispatchPassMs;
constexpr int kThreadStartWaitMs = 3000;
constexpr int kPurgeWaitMs = 5000;
}  // namespace

void TSerWin32Dispatcher::TEvent::Set() {
  std::lock_guard<std::mutex> lock(m_);
  set_ = true;
  cv_.notify_one();
}

void TSerWin32Dispatcher::TEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_);
  set_ = false;
}

bool TSerWin32Dispatcher::TEvent::Wait(int timeout_ms) {
  std::unique_lock<std::mutex> lock(m_);
  if (timeout_ms < 0)
    cv_.wait(lock, [&] { return set_; });
  else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return set_; }))
    return false;
  set_ = false;
  return true;
}

TSerWin32Dispatcher::TSerWin32Dispatcher(TSerCustomComPort* owner) : TSerBaseDispatcher(owner) {}

TSerWin32Dispatcher::~TSerWin32Dispatcher() {
  if (DeviceValid()) CloseDispatcherPort();
  StopDispatcher();
  device_.Close();
}

bool TSerWin32Dispatcher::OnWorkerThread() const {
  auto me = std::this_thread::get_id();
  return me == com_id_.load() || me == disp_id_.load() || me == out_id_.load();
}

// ---- device operations ----

int TSerWin32Dispatcher::OpenDevice(const std::string& name, uint32_t, uint32_t) {
  int r = device_.Open(name);
  return r == 0 ? 0 : -r;
}

int TSerWin32Dispatcher::CloseDevice() {
  if (active_) {
    stop_ = true;
    StopOutputAndCom();
    thread_ready_.Reset();
  }
  std::lock_guard<std::mutex> reading(read_mutex_);
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  return device_.Close() == 0 ? 0 : -1;
}

int TSerWin32Dispatcher::SetDeviceQueues(uint32_t in_size, uint32_t out_size) {
  int r = device_.SetupQueues(in_size, out_size);
  return r == 0 ? 0 : -r;
}

int TSerWin32Dispatcher::ReadDeviceState(TDcb& dcb) {
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  return device_.GetState(dcb) == 0 ? 0 : -1;
}

int TSerWin32Dispatcher::WriteDeviceState(const TDcb& dcb) {
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  int r = device_.SetState(dcb);
  return r == 0 ? 0 : -r;
}

// Called under read_mutex_ or the main lock, either of which keeps the device from closing.
uint32_t TSerWin32Dispatcher::ReadDeviceStatus(uint32_t& in_queue) {
  in_queue = 0;
  return device_.GetStatus(&in_queue, nullptr);
}

// Called under read_mutex_ (see ReadDeviceData).
long TSerWin32Dispatcher::ReadDevice(uint8_t* buffer, uint32_t count) {
  int error;
  long n = device_.Read(buffer, count, &error);
  return n <= 0 ? 0 : n;
}

// Called under read_mutex_ (see ReadDeviceData).
long TSerWin32Dispatcher::ReadDevice2(uint8_t* first, uint32_t first_count, uint8_t* second, uint32_t second_count) {
  int error;
  long n = device_.Read2(first, first_count, second, second_count, &error);
  return n <= 0 ? 0 : n;
}

int TSerWin32Dispatcher::ReadModemLines(uint32_t& status) {
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  return device_.GetModemStatus(status) == 0 ? 0 : -1;
}

int TSerWin32Dispatcher::EscapeFunction(int func) {
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  int r = device_.Escape(func);
  return r == 0 ? 0 : -r;
}

int TSerWin32Dispatcher::PurgeDevice(int queue) {
  if (queue == 0 && out_running_) {
    {
      std::unique_lock<std::mutex> lock(out_mutex_);
      out_stop_ = true;
      out_stopped_ = false;
      out_cv_.notify_all();
      device_.Wake(TCommDevice::kTransmit);
      out_cv_.wait_for(lock, std::chrono::milliseconds(kPurgeWaitMs), [&] { return out_stopped_ || !out_running_; });
    }
    {
      std::lock_guard<std::recursive_mutex> slock(send_lock_);
      send_head_ = send_tail_ = 0;
      send_full_ = false;
    }
  }
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  int r = device_.Purge(queue == 0 ? PURGE_TXABORT | PURGE_TXCLEAR : PURGE_RXABORT | PURGE_RXCLEAR);
  return r == 0 ? 0 : -r;
}

void TSerWin32Dispatcher::OutputQueued() {
  std::lock_guard<std::mutex> lock(out_mutex_);
  out_ready_ = true;
  out_cv_.notify_all();
}

void TSerWin32Dispatcher::InputRoom() { device_.Wake(TCommDevice::kReceive); }

void TSerWin32Dispatcher::WakeDispatch() { device_event_.Set(); }

// ---- threads ----

int TSerWin32Dispatcher::StartDispatcher() {
  std::lock_guard<std::recursive_mutex> lock(MainLock());
  if (active_ || com_thread_.joinable() || disp_thread_.joinable() || out_thread_.joinable())
    throw Exception("Dispatcher already started");
  active_ = true;
  stop_ = false;
  close_pending_ = false;
  thread_ready_.Reset();
  try {
    com_running_ = true;
    ++running_threads_;
    com_thread_ = std::thread([this] { ComThread(); });
    thread_ready_.Wait(kThreadStartWaitMs);
    disp_running_ = true;
    ++running_threads_;
    disp_thread_ = std::thread([this] { DispatchThread(); });
    thread_ready_.Wait(kThreadStartWaitMs);
    out_running_ = true;
    ++running_threads_;
    out_thread_ = std::thread([this] { OutputThread(); });
    thread_ready_.Wait(kThreadStartWaitMs);
  } catch (const std::system_error&) {
    if (!com_thread_.joinable()) com_running_ = false, --running_threads_;
    if (!disp_thread_.joinable()) disp_running_ = false, --running_threads_;
    if (!out_thread_.joinable()) out_running_ = false, --running_threads_;
    return ecOutOfMemory;
  }
  return 0;
}

void TSerWin32Dispatcher::ThreadFinished(std::atomic<bool>& running) {
  if (&running == &disp_running_ && release_at_exit_) ReleaseBuffers();
  running = false;
  {
    std::lock_guard<std::mutex> lock(out_mutex_);
    out_cv_.notify_all();
  }
  if (--running_threads_ == 0) active_ = false;
}

void TSerWin32Dispatcher::ComThread() {
  com_id_ = std::this_thread::get_id();
  thread_ready_.Set();
  bool took = true;  // the last read from the queue moved bytes (a released buffer takes none)
  bool hung_up = false;
  while (!stop_) {
    uint32_t mask = 0;
    bool room = !DispatchBufferFull();
    if (room && took && device_.QueuedBytes() > 0) {
      mask = EV_RXCHAR;  // the device's receive queue holds bytes already
    } else if (hung_up) {
      // Nothing comes from the line any more: only a stop, or room for what the device's
      // queue still holds, wakes this thread.
      if (device_.WaitEvent(mask, false, -1) != 0) break;
      took = true;
    } else {
      // While the dispatch buffer is full the device's queue still takes what comes.
      bool watch = room || !device_.QueueFull();
      if (device_.WaitEvent(mask, watch, watch ? -1 : kDispatchWaitMs) != 0) break;
    }
    if (stop_) break;
    if (mask & EV_HANGUP) {
      hung_up = true;
      ReportLineLost();
      continue;
    }
    if (mask == 0) continue;
    last_mask_ = mask;
    // The bytes go into the dispatch buffer at once, as a driver keeps receiving into its
    // queue while the program handles what came before; the dispatch thread hands them on.
    if (room) {
      took = ReadDeviceData() > 0;
    } else {
      std::lock_guard<std::mutex> reading(read_mutex_);
      int error;
      device_.FillQueue(&error);
      took = true;
    }
    device_event_.Set();
  }
  thread_ready_.Set();
  ThreadFinished(com_running_);
}

void TSerWin32Dispatcher::DispatchThread() {
  disp_id_ = std::this_thread::get_id();
  thread_ready_.Set();
  bool immediate = false, cut_short = false;
  for (;;) {
    // A pass that ended while bytes kept coming is followed by the next one at once.
    bool event = device_event_.Wait(cut_short ? 0 : kDispatchWaitMs);
    if (stop_) {
      immediate = true;
      break;
    }
    cut_short = HandleDeviceEvent(event ? last_mask_.load() : 0);
    HandleTimers();
    if (stop_ || close_pending_) break;
  }
  if (!immediate) thread_ready_.Set();
  release_at_exit_ = close_pending_ || stop_;
  ThreadFinished(disp_running_);
}

void TSerWin32Dispatcher::OutputThread() {
  out_id_ = std::this_thread::get_id();
  thread_ready_.Set();
  std::unique_lock<std::mutex> lock(out_mutex_);
  for (;;) {
    out_cv_.wait(lock, [&] { return out_ready_ || out_stop_ || stop_; });
    if (out_stop_) {
      // What was queued is being thrown away: writing it now would race the purge, which
      // resets the send ring as soon as this thread has stopped.
      out_stop_ = false;
      out_ready_ = false;
      out_stopped_ = true;
      out_cv_.notify_all();
      thread_ready_.Set();
      continue;
    }
    if (stop_) break;
    out_ready_ = false;
    lock.unlock();
    WriteOut();
    lock.lock();
    if (stop_ || close_pending_) break;
  }
  lock.unlock();
  ThreadFinished(out_running_);
}

void TSerWin32Dispatcher::WriteOut() {
  while (!stop_ && !close_pending_) {
    {
      // A purge waits for this thread to stop before it resets the send ring; on a slow line
      // the ring would otherwise keep it writing for longer than the purge waits.
      std::lock_guard<std::mutex> lock(out_mutex_);
      if (out_stop_) return;
    }
    const uint8_t* piece;
    uint32_t count, wrapped;
    {
      std::lock_guard<std::recursive_mutex> slock(send_lock_);
      uint32_t used = SendUsedLocked();
      if (used == 0) return;
      // A wrapped send goes out in one write, in its original order: the part at the ring's
      // end, then the part at its start.
      count = std::min<uint32_t>(used, static_cast<uint32_t>(send_ring_.size()) - send_tail_);
      wrapped = used - count;
      piece = &send_ring_[send_tail_];
    }
    int error;
    long n = device_.Write2(piece, count, send_ring_.data(), wrapped, &error);
    if (n > 0) {
      AdvanceSendTail(static_cast<uint32_t>(n));
    } else if (n == 0) {
      {
        std::lock_guard<std::mutex> lock(out_mutex_);
        if (out_stop_ || stop_) return;
      }
      device_.WaitWritable(-1);
    } else {
      AdvanceSendTail(count + wrapped);  // the device refused them: they are lost
    }
  }
}

void TSerWin32Dispatcher::JoinWorker(std::thread& thread, std::atomic<bool>& running) {
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) return;
  while (running) {
    if (IsMainThread())
      WaitAndProcessMessages(1);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  thread.join();
}

void TSerWin32Dispatcher::StopOutputAndCom() {
  {
    std::lock_guard<std::mutex> lock(out_mutex_);
    out_cv_.notify_all();
  }
  device_.Wake(TCommDevice::kTransmit);
  JoinWorker(out_thread_, out_running_);
  device_.Wake(TCommDevice::kReceive);
  JoinWorker(com_thread_, com_running_);
}

void TSerWin32Dispatcher::StopDispatcher() {
  if (OnWorkerThread()) return;
  if (!com_thread_.joinable() && !disp_thread_.joinable() && !out_thread_.joinable()) return;
  stop_ = true;
  StopOutputAndCom();
  device_event_.Set();
  JoinWorker(disp_thread_, disp_running_);
  com_id_ = disp_id_ = out_id_ = std::thread::id();
  active_ = false;
}

}  // namespace qv
