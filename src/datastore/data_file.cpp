#include "datastore/data_file.h"

#include <algorithm>
#include <cstring>

#include "base/file_stream2.h"
#include "datastore/dt_record.h"
#include "platform/rtl/byte_order.h"

namespace qv {

namespace {

int64_t Total(const TDtStamp& s) { return int64_t{s.Date} * 86400 + s.Time; }

// Large enough that a week of minute records moves in a few calls.
constexpr int32_t CopyChunk = 1 << 20;
// Holds the channel block of every list up to about 300 channels.
constexpr int64_t HeadChunk = 1 << 16;

}  // namespace

TDtStamp RecordStampOf(const uint8_t* record) { return TDtStamp{GetLE16(record), GetLE32s(record + 6)}; }

bool RecordIsEmptyAt(const uint8_t* record, int32_t record_size) {
  TDtStamp s = RecordStampOf(record);
  if (s.Date == NoDayNo || s.Time == -1) return false;
  for (int32_t p = DtRecordHeaderBytes; p + 6 <= record_size; p += 6) {
    if (std::memcmp(record + p, NoValueImage.data(), 6) != 0) return false;
  }
  return true;
}

namespace {

// Reads a byte range in memory as a stream, so that the block is parsed without a copy.
class TByteView : public TStream {
public:
  TByteView(const uint8_t* data, int64_t size) : data_(data), size_(size) {}
  int32_t Read(void* buffer, int32_t count) override {
    const int64_t n = std::clamp<int64_t>(size_ - pos_, 0, std::max(count, 0));
    if (n > 0) std::memcpy(buffer, data_ + pos_, static_cast<size_t>(n));
    pos_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : size_;
    pos_ = std::max<int64_t>(base + offset, 0);
    return pos_;
  }
  void SetSize(int64_t) override { throw EStreamError("TByteView.SetSize: read only"); }

private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

void CopyBytes(TStream& file, int64_t left, TStream& dest) {
  if (left <= 0) return;
  if (auto* mem = dynamic_cast<TMemoryStream*>(&dest)) {
    // Straight into the buffer: no staging copy of what may be a year of records.
    while (left > 0) {
      auto n = static_cast<int32_t>(std::min<int64_t>(left, CopyChunk));
      mem->WriteFrom(file, n);
      left -= n;
    }
    return;
  }
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(left, CopyChunk)));
  while (left > 0) {
    auto n = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
    file.ReadBuffer(chunk.data(), n);
    dest.WriteBuffer(chunk.data(), n);
    left -= n;
  }
}

}  // namespace

TDataFileHead ReadDataFileHead(TStream& file, const TChannelBlockReader& read_block, int32_t record_size,
                               int64_t file_size) {
  // The block is parsed from memory: it is read field by field, and the file is unbuffered.
  const int64_t size = file_size >= 0 ? file_size : file.Size();
  int64_t n = std::min<int64_t>(size, HeadChunk);
  TDataFileHead head;
  for (;;) {
    head.Bytes.resize(static_cast<size_t>(n));
    file.SetPosition(0);
    for (int64_t done = 0; done < n;) {
      auto part = static_cast<int32_t>(std::min<int64_t>(n - done, CopyChunk));
      file.ReadBuffer(head.Bytes.data() + done, part);
      done += part;
    }
    TByteView bytes(head.Bytes.data(), n);
    try {
      head.ValueCount = read_block(bytes);
      head.RecordsPos = bytes.Position();
      break;
    } catch (...) {
      // Perhaps a block longer than the first chunk: once more with the whole file.
      if (n >= size) throw;
      n = size;
    }
  }
  file.SetPosition(head.RecordsPos);
  int64_t rest = std::max<int64_t>(size - head.RecordsPos, 0);
  if (record_size > 0) {
    head.RecordCount = rest / record_size;
    head.TrailingBytes = rest % record_size;
  }
  return head;
}

void CopyRecords(TStream& file, int64_t count, int32_t record_size, TStream& dest) {
  CopyBytes(file, count * record_size, dest);
}

void CopyHeadRecords(TStream& file, const TDataFileHead& head, int64_t count, int32_t record_size, TStream& dest) {
  const int64_t bytes = count * record_size;
  if (bytes <= 0) return;
  const int64_t held = std::clamp<int64_t>(static_cast<int64_t>(head.Bytes.size()) - head.RecordsPos, 0, bytes);
  for (int64_t done = 0; done < held;) {
    auto part = static_cast<int32_t>(std::min<int64_t>(held - done, CopyChunk));
    dest.WriteBuffer(head.Bytes.data() + head.RecordsPos + done, part);
    done += part;
  }
  if (held == bytes) return;
  file.SetPosition(head.RecordsPos + held);
  CopyBytes(file, bytes - held, dest);
}

void WriteDataFile(const std::string& file_name, const TChannelBlockWriter& write_block, const uint8_t* records,
                   size_t bytes) {
  TMemoryStream block;
  write_block(block);
  TAtomicFileStream2 file(file_name);
  if (block.Size() > 0) file.WriteBuffer(block.Memory(), static_cast<int32_t>(block.Size()));
  while (bytes > 0) {
    auto n = static_cast<int32_t>(std::min<size_t>(bytes, CopyChunk));
    file.WriteBuffer(records, n);
    records += n;
    bytes -= static_cast<size_t>(n);
  }
  file.Commit();
}

TRecordRun FilterRecords(const uint8_t* records, int64_t count, int32_t record_size, const TDtStamp& start,
                         const TDtStamp& end_excl) {
  TRecordRun run;
  if (count <= 0 || record_size <= 0) return run;
  auto at = [&](int64_t i) { return records + i * record_size; };
  auto stamp = [&](int64_t i) { return Total(RecordStampOf(at(i))); };
  const int64_t s = Total(start);
  const int64_t e = Total(end_excl);
  // The records are sorted: the first at or after a moment by bisection.
  auto first_from = [&](int64_t lo, int64_t t) {
    int64_t hi = count;
    while (lo < hi) {
      int64_t mid = lo + (hi - lo) / 2;
      if (stamp(mid) < t)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  };
  const int64_t lo = first_from(0, s);
  if (lo == count) {  // every record lies before the window
    run.First = count;
    run.LastRead = count - 1;
    return run;
  }
  int64_t first = lo;
  if (first > 0 && !RecordIsEmptyAt(at(first - 1), record_size)) --first;
  int64_t end = first_from(lo, e + 1);
  run.LastRead = count - 1;
  if (end < count) {
    run.LastRead = end;
    if (end > first && !RecordIsEmptyAt(at(end), record_size)) ++end;
  }
  run.First = first;
  run.Count = end - first;
  return run;
}

}  // namespace qv
