#pragma once
// A ring of bytes with a fixed capacity: the received-data and send buffers of the serial
// library, the driver's receive queue, and the trace and log that keep the newest material.
// It holds no lock: its owner guards it. A producer may fill the free spans (and a consumer
// read the data spans) outside the owner's lock, as long as only Commit and Drop, under the
// lock, move the ends.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

// Up to two pieces of the ring, in order: the second starts at the ring's beginning.
struct TByteSpans {
  uint8_t* First = nullptr;
  size_t FirstCount = 0;
  uint8_t* Second = nullptr;
  size_t SecondCount = 0;
  size_t Total() const { return FirstCount + SecondCount; }
};

class TByteRing {
public:
  explicit TByteRing(size_t capacity = 0) { Reset(capacity); }
  // Empty, with a new capacity (0 releases the memory).
  void Reset(size_t capacity);
  // Empty; the next byte goes to the ring's beginning.
  void Clear() { head_ = tail_ = 0, full_ = false; }

  size_t Capacity() const { return buffer_.size(); }
  size_t Used() const;
  size_t Free() const { return Capacity() - Used(); }
  bool Empty() const { return Used() == 0; }
  bool Full() const { return full_; }

  // Appends up to Free() bytes; answers how many it took.
  size_t Write(const void* data, size_t count);
  // Copies count bytes from offset bytes after the oldest; false (and nothing copied) when
  // the ring holds fewer.
  bool Peek(size_t offset, void* buffer, size_t count) const;
  uint8_t At(size_t offset) const { return buffer_[(tail_ + offset) % Capacity()]; }
  // The oldest count bytes (at most Used()) leave the ring.
  void Drop(size_t count);

  // The bytes held, oldest first.
  TByteSpans DataSpans();
  // The free room, in the order it is filled; Commit makes count bytes of it data.
  TByteSpans FreeSpans();
  void Commit(size_t count);

private:
  std::vector<uint8_t> buffer_;
  size_t head_ = 0;  // where the next byte goes
  size_t tail_ = 0;  // the oldest byte
  bool full_ = false;
};

}  // namespace qv
