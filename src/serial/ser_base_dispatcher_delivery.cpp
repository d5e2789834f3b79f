// The dispatcher's handlers and the delivery of trigger events to them.
#include "serial/ser_base_dispatcher.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "serial/ser_base_dispatcher_parts.h"
#include "serial/ser_trace.h"
#include "serial/serial_exception.h"

namespace qv {

namespace {

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
    reader_thread_ = std::this_thread::get_id();
    reader_main_ = false;
    max_read_offset_ = 0;
    flush_during_delivery_ = false;
    flush_drop_ = 0;
    uint8_t subtype = msg == kTriggerAvail   ? lsAvail
                      : msg == kTriggerTimer ? lsTimer
                      : msg == kTriggerData  ? lsData
                                             : lsStatus;
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
      reader_main_ = true;
    }
    // A main thread that is busy for longer gets the event later, in order: trigger events
    // are one-shot and a dropped one would leave its waiter hanging.
    if (!SendMessageTimeout(wnd, msg, value, param, send_timeout_ms_, nullptr)) PostMessage(wnd, msg, value, param);
    {
      // A main thread still busy after the time-out reads no more in this delivery.
      std::lock_guard<std::recursive_mutex> dlock(data_lock_);
      reader_main_ = false;
    }
    note_offset();
    if (close_pending_) go_on = false;
  }
  bool consumed = true;
  bool room = false;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    {
      std::lock_guard<std::recursive_mutex> dlock(data_lock_);
      if (data_mode && dispatch_buffer_.Capacity() > 0) {
        if (flush_during_delivery_) {
          room = dispatch_buffer_.Full();
          const size_t drop = std::max<size_t>(flush_drop_, max_read_offset_);
          dispatch_buffer_.Drop(std::min(drop, dispatch_buffer_.Used()));
        } else if (max_read_offset_ > 0) {
          room = dispatch_buffer_.Full();
          dispatch_buffer_.Drop(max_read_offset_);
        }
        if (msg == kTriggerAvail && !flush_during_delivery_ && max_read_offset_ != value) consumed = false;
      }
      flush_during_delivery_ = false;
      flush_drop_ = 0;
      read_offset_ = 0;
      delivering_ = false;
      reader_thread_ = std::thread::id();
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

}  // namespace qv
