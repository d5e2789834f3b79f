#include "datastore/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "datastore/dt_record.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A stand-in channel block: "CB" and the value count.
void WriteBlock(TStream& s, uint8_t values) {
  const uint8_t b[3] = {'C', 'B', values};
  s.WriteBuffer(b, 3);
}
int32_t ReadBlock(TStream& s) {
  uint8_t b[3];
  s.ReadBuffer(b, 3);
  if (b[0] != 'C' || b[1] != 'B') throw EReadError("bad block");
  return b[2];
}

std::string Records(const std::vector<std::pair<TDtStamp, double>>& list, int values = 2) {
  TMemoryStream m;
  TDtRecord r(values);
  for (const auto& [stamp, v] : list) {
    r.Date = stamp.Date;
    r.Time = stamp.Time;
    for (int i = 0; i < values; ++i) r.SetValues(i, v);
    r.SWrite(m);
  }
  return m.Bytes();
}

TEST(DataFile, WriteReadRoundTripIgnoresACutOffRecord) {
  test::TempDir dir;
  std::string recs = Records({{{100, 0}, 1.0}, {{100, 60}, 2.0}, {{100, 120}, 3.0}});
  const int32_t size = DtRecordBytes(2);
  ASSERT_EQ(recs.size(), 3u * size);
  WriteDataFile(
      dir.File("a.QVR"), [](TStream& s) { WriteBlock(s, 2); }, reinterpret_cast<const uint8_t*>(recs.data()),
      recs.size());
  ASSERT_EQ(dir.Read("a.QVR"), std::string("CB\x02", 3) + recs);

  // The last record cut off by a crash of an older writer.
  dir.Write("b.QVR", std::string("CB\x02", 3) + recs.substr(0, recs.size() - 5));
  for (const char* name : {"a.QVR", "b.QVR"}) {
    TFileStream f(dir.File(name), fmOpenRead);
    TDataFileHead head = ReadDataFileHead(f, ReadBlock, size);
    EXPECT_EQ(head.ValueCount, 2);
    EXPECT_EQ(head.RecordsPos, 3);
    TMemoryStream out;
    CopyRecords(f, head.RecordCount, size, out);
    int64_t whole = name[0] == 'a' ? 3 : 2;
    EXPECT_EQ(head.RecordCount, whole) << name;
    EXPECT_EQ(head.TrailingBytes, name[0] == 'a' ? 0 : size - 5) << name;
    EXPECT_EQ(out.Bytes(), recs.substr(0, static_cast<size_t>(whole * size))) << name;
  }
}

// A file in memory that counts the bytes read from it and the times its size is measured.
class TCountingFile : public TMemoryStream {
public:
  int32_t Read(void* buffer, int32_t count) override {
    const int32_t n = TMemoryStream::Read(buffer, count);
    bytes_read += n;
    return n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    if (origin == TSeekOrigin::soEnd) ++size_asked;
    return TMemoryStream::Seek(offset, origin);
  }
  int64_t bytes_read = 0;
  int size_asked = 0;
};

// A window read takes each byte of a file once: the records among the head's bytes come from
// memory, the rest from the file behind them, also when the block outgrows the first chunk; a
// given size is not measured again.
TEST(DataFile, HeadRecordsAreReadOnce) {
  const int32_t size = DtRecordBytes(2);
  std::vector<std::pair<TDtStamp, double>> list;
  for (int i = 0; i < 5000; ++i) list.push_back({TDtStamp{100, i * 10}, i / 4.0});
  const std::string recs = Records(list);
  // A block of a two-byte length and as many bytes.
  auto long_block = [](TStream& s) {
    uint8_t n[2];
    s.ReadBuffer(n, 2);
    std::string skip(static_cast<size_t>(n[0] | n[1] << 8), '\0');
    s.ReadBuffer(skip.data(), static_cast<int32_t>(skip.size()));
    return 2;
  };
  const std::string long_head = std::string("\x60\xEA", 2) + std::string(60000, 'b');  // 60002 bytes
  struct Case {
    const char* what;
    std::string head;
    size_t records;
  };
  const std::vector<Case> cases = {
      {"all records in the head", "CB\x02", 20},
      {"records beyond the head", "CB\x02", 5000},
      {"records across the chunk's end behind a long block", long_head, 5000},
      {"no records", "CB\x02", 0},
  };
  for (const Case& c : cases) {
    TCountingFile f;
    const std::string bytes = c.head + recs.substr(0, c.records * static_cast<size_t>(size));
    f.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    f.SetPosition(0);
    const bool long_reader = c.head.size() > 3;
    TDataFileHead head = long_reader ? ReadDataFileHead(f, long_block, size, static_cast<int64_t>(bytes.size()))
                                     : ReadDataFileHead(f, ReadBlock, size, static_cast<int64_t>(bytes.size()));
    ASSERT_EQ(head.RecordCount, static_cast<int64_t>(c.records)) << c.what;
    TMemoryStream out;
    CopyHeadRecords(f, head, head.RecordCount, size, out);
    EXPECT_EQ(out.Bytes(), recs.substr(0, c.records * static_cast<size_t>(size))) << c.what;
    EXPECT_EQ(f.bytes_read, static_cast<int64_t>(bytes.size())) << c.what;
    EXPECT_EQ(f.size_asked, 0) << c.what;
  }
  // A block longer than the first chunk is read with the whole file once more; the records then
  // all come from memory.
  TCountingFile f;
  const std::string bytes =
      std::string("\xFF\xFF", 2) + std::string(65535, 'b') + recs.substr(0, static_cast<size_t>(100 * size));
  f.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  TDataFileHead head = ReadDataFileHead(f, long_block, size);
  ASSERT_EQ(head.RecordCount, 100);
  TMemoryStream out;
  CopyHeadRecords(f, head, 100, size, out);
  EXPECT_EQ(out.Bytes(), recs.substr(0, static_cast<size_t>(100 * size)));
  EXPECT_EQ(f.bytes_read, 65536 + static_cast<int64_t>(bytes.size()));
}

TEST(DataFile, InterruptedWriteLeavesTheOldFile) {
  test::TempDir dir;
  dir.Write("KW0901.QVR", "old contents");
  std::string recs = Records({{{100, 0}, 1.0}});
  auto failing = [](TStream& s) {
    WriteBlock(s, 2);
    throw EWriteError("Stream write error");
  };
  EXPECT_THROW(
      WriteDataFile(dir.File("KW0901.QVR"), failing, reinterpret_cast<const uint8_t*>(recs.data()), recs.size()),
      EWriteError);
  EXPECT_EQ(dir.Read("KW0901.QVR"), "old contents");
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1) << "no temporary file is left behind";
  // A folder that does not exist cannot take the file.
  EXPECT_THROW(WriteDataFile(
                   dir.File("none/KW0901.QVR"), [](TStream& s) { WriteBlock(s, 2); }, nullptr, 0),
               EStreamError);
}

TEST(DataFile, FilterTakesTheEdgeRecordsOfAWindow) {
  // Stamps on day 100: 10:00, 10:10 (empty), 10:20, 10:30, 10:40 (empty), 10:50.
  auto at = [](int h, int m) { return TDtStamp{100, h * 3600 + m * 60}; };
  std::string recs = Records({{at(10, 0), 1},
                              {at(10, 10), NoValue},
                              {at(10, 20), 3},
                              {at(10, 30), 4},
                              {at(10, 40), NoValue},
                              {at(10, 50), 6}});
  const int32_t size = DtRecordBytes(2);
  auto data = reinterpret_cast<const uint8_t*>(recs.data());
  struct Case {
    TDtStamp start, end_excl;
    int64_t first, count, last_read;
  } cases[] = {
      {at(10, 5), at(10, 25), 0, 4, 3},   // edge before, 10:10 and 10:20, edge after
      {at(10, 20), at(10, 25), 2, 2, 3},  // the edge before is empty: not taken
      {at(10, 25), at(10, 35), 2, 2, 4},  // the edge after (10:40) is empty: not taken
      {at(9, 0), at(9, 30), 0, 0, 0},     // nothing before the first record, nothing in the window
      {at(10, 55), at(11, 0), 6, 0, 5},   // every record before the window
      {at(10, 45), at(10, 46), 5, 0, 5},  // the edge before is empty, so 10:50 is no edge either
      {at(10, 31), at(10, 32), 3, 1, 4},  // only the edge before: 10:40 is empty
      {at(8, 0), at(12, 0), 0, 6, 5},     // everything
  };
  for (const auto& c : cases) {
    TRecordRun run = FilterRecords(data, 6, size, c.start, c.end_excl);
    EXPECT_EQ(run.First, c.first) << c.start.Time;
    EXPECT_EQ(run.Count, c.count) << c.start.Time;
    EXPECT_EQ(run.LastRead, c.last_read) << c.start.Time;
  }
}

}  // namespace
}  // namespace qv
