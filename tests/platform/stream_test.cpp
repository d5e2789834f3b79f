#include "platform/rtl/stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <set>
#include <vector>

#include "platform/rtl/file_io.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(StreamTest, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  EXPECT_EQ(m.Size(), 6);
  m.SetPosition(2);
  char buf[4] = {};
  m.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "cde");
  EXPECT_EQ(m.Read(buf, 4), 1);  // only "f" is left
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
  m.SetPosition(8);  // writing past the end fills the gap
  m.WriteBuffer("x", 1);
  EXPECT_EQ(m.Bytes(), std::string("abcdef\0\0x", 9));
  m.SetSize(3);
  EXPECT_EQ(m.Bytes(), "abc");
  EXPECT_EQ(m.Position(), 3);
}

// A position before the start or far beyond the end moves no byte and touches no memory.
TEST(StreamTest, MemoryStreamPositionsOutsideTheBuffer) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  char buf[4] = {};
  for (int64_t pos : {int64_t{-1}, int64_t{-6}, int64_t{-100000}}) {
    m.SetPosition(pos);
    EXPECT_EQ(m.Read(buf, 4), 0) << pos;
    EXPECT_EQ(m.Write("x", 1), 0) << pos;
  }
  m.SetPosition(INT64_MAX - 1);
  EXPECT_THROW(m.Write("xyz", 3), EStreamError);
  EXPECT_EQ(m.Bytes(), "abcdef");
}

// Bytes cut off by a smaller size never come back: growing again shows zeros, whichever way.
TEST(StreamTest, MemoryStreamRegrowsWithZeros) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  m.SetSize(2);
  m.SetSize(4);
  EXPECT_EQ(m.Bytes(), std::string("ab\0\0", 4));
  m.SetSize(2);
  m.SetPosition(5);
  m.WriteBuffer("x", 1);
  EXPECT_EQ(m.Bytes(), std::string("ab\0\0\0x", 6));
  TMemoryStream source;
  source.WriteBuffer("XYZ", 3);
  source.SetPosition(0);
  m.SetSize(2);
  m.Reserve(64);
  EXPECT_EQ(m.Size(), 2);
  m.SetPosition(4);
  m.WriteFrom(source, 3);
  EXPECT_EQ(m.Bytes(), std::string("ab\0\0XYZ", 7));
  // A source that runs short changes nothing.
  EXPECT_THROW(m.WriteFrom(source, 1), EReadError);
  EXPECT_EQ(m.Size(), 7);
}

TEST(StreamTest, CopyBetweenStreams) {
  TMemoryStream a;
  a.WriteBuffer("0123456789", 10);
  TMemoryStream b;
  EXPECT_EQ(b.CopyFrom(a, 0), 10);  // 0 copies the whole source
  a.SetPosition(4);
  EXPECT_EQ(b.CopyFrom(a, 3), 3);
  EXPECT_EQ(b.Bytes(), "0123456789456");
  EXPECT_THROW(b.CopyFrom(a, 10), EReadError);
  TMemoryStream c;
  c.LoadFromStream(b);
  EXPECT_EQ(c.Position(), 0);
  EXPECT_EQ(c.Bytes(), b.Bytes());
}

TEST(StreamTest, FileStreamCreatesOpensAndReads) {
  test::TempDir dir;
  std::string name = dir.File("a.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello", 5);
  }
  EXPECT_EQ(dir.Read("a.bin"), "hello");
  {
    TFileStream f(name, fmOpenRead);
    char buf[5];
    f.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
  {
    TFileStream f(name, fmCreate);  // truncates
    EXPECT_EQ(f.Size(), 0);
  }
}

TEST(StreamTest, OpenFailuresCarryTheWin32Code) {
  test::TempDir dir;
  struct Case {
    std::string name;
    uint16_t mode;
    uint32_t code;
    bool create;
  } cases[] = {
      {dir.File("missing.bin"), fmOpenRead, ERROR_FILE_NOT_FOUND, false},
      {dir.File("nofolder/x.bin"), fmOpenRead, ERROR_PATH_NOT_FOUND, false},
      {dir.File("nofolder/x.bin"), fmCreate, ERROR_PATH_NOT_FOUND, true},
      {dir.Path(), fmOpenRead, ERROR_ACCESS_DENIED, false},
  };
  for (const Case& c : cases) {
    try {
      TFileStream f(c.name, c.mode);
      ADD_FAILURE() << c.name;
    } catch (const EFCreateError& e) {
      EXPECT_TRUE(c.create) << c.name;
      EXPECT_EQ(e.OsError(), c.code) << c.name;
    } catch (const EFOpenError& e) {
      EXPECT_FALSE(c.create) << c.name;
      EXPECT_EQ(e.OsError(), c.code) << c.name;
    }
  }
}

TEST(StreamTest, SharingFollowsThePlatformRules) {
  test::TempDir dir;
  std::string name = dir.File("s.bin");
  dir.Write("s.bin", "data");
  struct Case {
    uint16_t first, second;
    bool ok;
  } cases[] = {
      {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false},
      {fmOpenReadWrite | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
      {fmOpenRead, fmOpenRead, false},  // the compatible mode locks others out
      {fmOpenReadWrite | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyNone, fmCreate, false},
  };
  for (const Case& c : cases) {
    TFileStream first(name, c.first);
    try {
      TFileStream second(name, c.second);
      EXPECT_TRUE(c.ok) << c.first << " " << c.second;
    } catch (const EStreamError& e) {
      EXPECT_FALSE(c.ok) << c.first << " " << c.second;
      EXPECT_EQ(e.OsError(), ERROR_SHARING_VIOLATION);
    }
  }
  // A refused create leaves the file as it was, and closing frees the file again.
  EXPECT_EQ(dir.Read("s.bin"), "data");
  EXPECT_NO_THROW(TFileStream(name, fmOpenRead));
}

TEST(StreamTest, ErrnoMapsToWin32Codes) {
  struct Case {
    int err;
    uint32_t code;
  } cases[] = {{ENOENT, 2}, {ENOTDIR, 3}, {EACCES, 5},   {EPERM, 5}, {EROFS, 5}, {EISDIR, 5},
               {EBADF, 6},  {ENOMEM, 8},  {ENOSPC, 112}, {10, 31},   {11, 31},   {EIO, 31}};
  for (const Case& c : cases) EXPECT_EQ(Win32ErrorOfErrno(c.err), c.code) << c.err;
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(AtomicFileStreamTest, ReplacesOnlyOnCommit) {
  test::TempDir dir;
  dir.Write("d.bin", "old");
  {
    TAtomicFileStream f(dir.File("d.bin"));
    f.WriteBuffer("new!", 4);
    EXPECT_EQ(dir.Read("d.bin"), "old");
  }  // abandoned: the old file stays, no temporary file is left
  EXPECT_EQ(dir.Read("d.bin"), "old");
  {
    TAtomicFileStream f(dir.File("d.bin"));
    f.WriteBuffer("new!", 4);
    f.Commit();
  }
  EXPECT_EQ(dir.Read("d.bin"), "new!");
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  // A rewritten file keeps its mode: a private file stays private.
  for (mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0664}}) {
    ASSERT_EQ(::chmod(dir.File("d.bin").c_str(), mode), 0);
    TAtomicFileStream f(dir.File("d.bin"));
    f.WriteBuffer("again", 5);
    f.Commit();
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("d.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
  try {
    TAtomicFileStream f(dir.File("no/d.bin"));
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.OsError(), ERROR_PATH_NOT_FOUND);
    EXPECT_NE(e.Message().find("no/d.bin"), std::string::npos);
  }
}

// A rewrite's temporary name neither lengthens the file's name nor collides with leftovers of
// an earlier run of a process with the same id; stale leftovers go when the folder is rewritten.
TEST(AtomicFileStreamTest, TemporaryNamesAreShortAndLeftoversAreCleared) {
  test::TempDir dir;
  const std::string long_name(250, 'n');
  WriteFileAtomic(dir.File(long_name), "long");
  EXPECT_EQ(dir.Read(long_name), "long");

  // Leftovers of crashed runs: the older "<file>.<pid>-<n>.tmp~" form of this very process id,
  // and the present form; all of them an hour old but one, which may be another program's write.
  const std::string pid = std::to_string(::getpid());
  std::vector<std::string> stale;
  for (int n = 0; n < 1000; ++n) stale.push_back("d.bin." + pid + "-" + std::to_string(n) + ".tmp~");
  stale.push_back(".~qv0123456789abcdef.tmp");
  const std::vector<std::string> kept = {".~qvfedcba9876543210.tmp", "d.bin.tmp~", "d.bin.x-1.tmp~", "my.tmp"};
  for (const std::string& name : stale) dir.Write(name, "crashed");
  for (const std::string& name : kept) dir.Write(name, "other");
  const auto hour_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  for (const std::string& name : stale) std::filesystem::last_write_time(dir.File(name), hour_ago);
  std::filesystem::last_write_time(dir.File("my.tmp"), hour_ago);

  WriteFileAtomic(dir.File("d.bin"), "new");
  EXPECT_EQ(dir.Read("d.bin"), "new");
  std::set<std::string> left;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) left.insert(e.path().filename().string());
  std::set<std::string> expected(kept.begin(), kept.end());
  expected.insert({"d.bin", long_name});
  EXPECT_EQ(left, expected);
  for (const std::string& name : stale) EXPECT_TRUE(TAtomicFileStream::IsTempFileName(name)) << name;
  EXPECT_TRUE(TAtomicFileStream::IsTempFileName(".~qvfedcba9876543210.tmp"));
  for (const char* name : {"d.bin.tmp~", "d.bin.x-1.tmp~", "my.tmp", ".~qv0123.tmp", ".~qvXYZ3456789abcdef.tmp"})
    EXPECT_FALSE(TAtomicFileStream::IsTempFileName(name)) << name;
}

// Failed writes say which file and why, also when the stream itself raises the short write.
TEST(AtomicFileStreamTest, WriteErrorsNameTheFileAndTheReason) {
  test::TempDir dir;
  dir.Write("d.bin", "old");
  try {
    test::FileSizeLimit limit(100);
    TAtomicFileStream f(dir.File("d.bin"));
    const std::string bytes(200, 'x');
    f.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    ADD_FAILURE() << "no error beyond the size limit";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error: \"" + dir.File("d.bin") + "\": File too large");
    EXPECT_EQ(e.Reason(), "File too large");
  }
  EXPECT_EQ(dir.Read("d.bin"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  // A size beyond what the disk takes, likewise.
  try {
    test::FileSizeLimit limit(100);
    TFileStream f(dir.File("d.bin"), fmOpenReadWrite);
    f.SetSize(200);
    ADD_FAILURE() << "no error beyond the size limit";
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "Stream write error: \"" + dir.File("d.bin") + "\": File too large");
    EXPECT_EQ(e.Reason(), "File too large");
  }
}

}  // namespace
}  // namespace qv
