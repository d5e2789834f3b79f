// The dispatcher's received-data and send rings.
#include "serial/ser_base_dispatcher.h"

#include <algorithm>

#include "serial/ser_base_dispatcher_parts.h"
#include "serial/ser_trace.h"
#include "serial/serial_exception.h"

namespace qv {

// ---- received data ----

uint32_t TSerBaseDispatcher::InBuffUsedLocked() const { return static_cast<uint32_t>(dispatch_buffer_.Used()); }

bool TSerBaseDispatcher::MayReadLocked() const {
  if (!delivering_) return true;
  return reader_main_ ? IsMainThread() : std::this_thread::get_id() == reader_thread_;
}

int TSerBaseDispatcher::GetBlock(uint8_t* buffer, uint32_t count) {
  bool was_full;
  {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    if (!MayReadLocked()) return ecBufferIsEmpty;
    uint32_t offset = delivering_ ? read_offset_ : 0;
    uint32_t used = InBuffUsedLocked();
    if (count > used - std::min(offset, used)) return ecBufferIsEmpty;
    dispatch_buffer_.Peek(offset, buffer, count);
    was_full = dispatch_buffer_.Full();
    if (delivering_) {
      read_offset_ += count;
      was_full = false;
    } else {
      dispatch_buffer_.Drop(count);
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
  if (!MayReadLocked()) return ecBufferIsEmpty;
  uint32_t offset = delivering_ ? read_offset_ : 0;
  uint32_t used = InBuffUsedLocked();
  if (count > used - std::min(offset, used)) return ecBufferIsEmpty;
  dispatch_buffer_.Peek(offset, buffer, count);
  return static_cast<int>(count);
}

bool TSerBaseDispatcher::CharReady() { return InBuffUsed() > 0; }

uint32_t TSerBaseDispatcher::InBuffUsed() {
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  uint32_t used = InBuffUsedLocked();
  uint32_t offset = delivering_ ? read_offset_ : 0;
  return used - std::min(offset, used);
}

uint32_t TSerBaseDispatcher::InBuffReadable() {
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  return MayReadLocked() ? InBuffUsed() : 0;
}

bool TSerBaseDispatcher::DispatchBufferFull() {
  std::lock_guard<std::recursive_mutex> dlock(data_lock_);
  return dispatch_buffer_.Full();
}

int TSerBaseDispatcher::FlushInBuffer() {
  int r = device_open_ ? PurgeDevice(1) : 0;
  // A line that hung up has nothing left to throw away: the device's EIO says only that.
  if (line_lost_) r = 0;
  bool was_full;
  {
    std::lock_guard<std::recursive_mutex> dlock(data_lock_);
    was_full = dispatch_buffer_.Full();
    if (delivering_) {
      flush_during_delivery_ = true;
      flush_drop_ = static_cast<uint32_t>(dispatch_buffer_.Used());
    } else {
      dispatch_buffer_.Drop(dispatch_buffer_.Used());
    }
    notified_total_ = received_total_;
  }
  if (was_full) InputRoom();
  return r;
}

// ---- sending ----

void TSerBaseDispatcher::AdvanceSendTail(uint32_t count) {
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  send_ring_.Drop(count);
  // An empty ring starts again at its beginning, so that the next send goes out in one piece.
  if (send_ring_.Empty()) send_ring_.Clear();
}

long TSerBaseDispatcher::WriteDevice(const uint8_t* data, uint32_t count) {
  std::lock_guard<std::recursive_mutex> slock(send_lock_);
  if (send_ring_.Capacity() == 0) return -1;
  return static_cast<long>(send_ring_.Write(data, count));
}

int TSerBaseDispatcher::PutBlock(const uint8_t* data, uint32_t count) {
  if (count == 0) return 0;
  // Nothing queued after a hang-up could ever go out.
  if (line_lost_) return -kErrorGeneralFailure;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    std::lock_guard<std::recursive_mutex> slock(send_lock_);
    if (send_ring_.Capacity() == 0) return ecPutBlockFail;
    const uint32_t free_room = static_cast<uint32_t>(send_ring_.Free());
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
  return static_cast<uint32_t>(send_ring_.Free());
}

int TSerBaseDispatcher::FlushOutBuffer() {
  const int r = device_open_ ? PurgeDevice(0) : 0;
  return line_lost_ ? 0 : r;
}

}  // namespace qv
