#pragma once
// The data file: a channel block describing the records, then the records in their stream form,
// back to back in ascending order of time stamp, nothing else. This layer moves the bytes; the
// channel block itself is read and written by the caller's channel list.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/dt_stamp.h"
#include "platform/rtl/stream.h"

namespace qv {

// The stream form of a time-stamped record: Date u16 at 0, Time s32 at 6, values from 12.
constexpr int32_t DtRecordHeaderBytes = 12;
constexpr int32_t DtRecordBytes(int32_t value_count) { return DtRecordHeaderBytes + 6 * value_count; }
TDtStamp RecordStampOf(const uint8_t* record);
// A record with date and time whose values are all missing: the mark of a recording's start.
bool RecordIsEmptyAt(const uint8_t* record, int32_t record_size);

// Reads a channel block from the stream and answers its number of value channels.
using TChannelBlockReader = std::function<int32_t(TStream& stream)>;
using TChannelBlockWriter = std::function<void(TStream& stream)>;

// Where the records of an open data file start and how many whole ones follow.
struct TDataFileHead {
  int32_t ValueCount = 0;     // value channels of the file's channel block
  int64_t RecordsPos = 0;     // byte position of the first record
  int64_t RecordCount = 0;    // whole records behind the block
  int64_t TrailingBytes = 0;  // bytes of a cut-off last record, ignored
  // The bytes read from the file's start to parse the block; CopyHeadRecords takes the first
  // records from them instead of reading them again.
  std::vector<uint8_t> Bytes;
};

// Reads the channel block of an open data file and measures the records behind it. The reader's
// exceptions pass on; the stream stands at the first record afterwards. The reader may be called
// a second time (with the whole file) when the first try fails.
// The file's size may be given when the caller knows it (the stream then measures nothing).
TDataFileHead ReadDataFileHead(TStream& file, const TChannelBlockReader& read_block, int32_t record_size,
                               int64_t file_size = -1);

// Appends count records from the file's current position to the stream in one pass (large
// blocks, no per-record work).
void CopyRecords(TStream& file, int64_t count, int32_t record_size, TStream& dest);
// The same for the first count records of the file whose head was read: those among the head's
// bytes come from memory, the rest from the file.
void CopyHeadRecords(TStream& file, const TDataFileHead& head, int64_t count, int32_t record_size, TStream& dest);

// Rewrites a data file as a whole: a temporary file beside it receives the channel block and the
// records and is then renamed over it. When anything fails, the old file stays as it was and the
// error passes on.
void WriteDataFile(const std::string& file_name, const TChannelBlockWriter& write_block, const uint8_t* records,
                   size_t bytes);

// The part of a week's records that a filtered read takes for the window from start to the
// moment end_excl (the window's stop + 1 s): the record before the first one at or after start
// (unless it is empty), every record up to end_excl inclusive, and the first record beyond it
// (unless it is empty or nothing else was taken).
struct TRecordRun {
  int64_t First = 0;      // index of the first record taken
  int64_t Count = 0;      // records taken
  int64_t LastRead = -1;  // the last record the walk looked at (-1 for none)
};
TRecordRun FilterRecords(const uint8_t* records, int64_t count, int32_t record_size, const TDtStamp& start,
                         const TDtStamp& end_excl);

}  // namespace qv
