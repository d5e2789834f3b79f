#include "platform/rtl/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace qv {

void TByteRing::Reset(size_t capacity) {
  std::vector<uint8_t>(capacity, 0).swap(buffer_);
  Clear();
}

size_t TByteRing::Used() const {
  if (full_) return Capacity();
  return head_ >= tail_ ? head_ - tail_ : Capacity() - tail_ + head_;
}

size_t TByteRing::Write(const void* data, size_t count) {
  TByteSpans room = FreeSpans();
  count = std::min(count, room.Total());
  const auto* bytes = static_cast<const uint8_t*>(data);
  const size_t first = std::min(count, room.FirstCount);
  if (first > 0) std::memcpy(room.First, bytes, first);
  if (count > first) std::memcpy(room.Second, bytes + first, count - first);
  Commit(count);
  return count;
}

bool TByteRing::Peek(size_t offset, void* buffer, size_t count) const {
  const size_t used = Used();
  if (offset > used || count > used - offset) return false;
  if (count == 0) return true;
  const size_t pos = (tail_ + offset) % Capacity();
  const size_t first = std::min(count, Capacity() - pos);
  auto* out = static_cast<uint8_t*>(buffer);
  std::memcpy(out, &buffer_[pos], first);
  if (count > first) std::memcpy(out + first, buffer_.data(), count - first);
  return true;
}

void TByteRing::Drop(size_t count) {
  count = std::min(count, Used());
  if (count == 0) return;
  tail_ = (tail_ + count) % Capacity();
  full_ = false;
}

TByteSpans TByteRing::DataSpans() {
  TByteSpans s;
  const size_t used = Used();
  if (used == 0) return s;
  s.First = &buffer_[tail_];
  s.FirstCount = std::min(used, Capacity() - tail_);
  s.Second = buffer_.data();
  s.SecondCount = used - s.FirstCount;
  return s;
}

TByteSpans TByteRing::FreeSpans() {
  TByteSpans s;
  if (full_ || Capacity() == 0) return s;
  s.First = &buffer_[head_];
  s.Second = buffer_.data();
  if (tail_ > head_) {
    s.FirstCount = tail_ - head_;
  } else {
    s.FirstCount = Capacity() - head_;
    s.SecondCount = tail_;
  }
  return s;
}

void TByteRing::Commit(size_t count) {
  count = std::min(count, Free());
  if (count == 0) return;
  head_ = (head_ + count) % Capacity();
  if (head_ == tail_) full_ = true;
}

}  // namespace qv
