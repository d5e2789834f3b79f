#include "archive/audit_line_index.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "archive/dy_audit_manager.h"
#include "archive_test_support.h"
#include "platform/rtl/file_io.h"

namespace qv {
namespace {

void Append(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

// The index follows a file through appends, rewrites and replacements, and its lines are always
// the lines the whole-file reader splits.
TEST(AuditLineIndex, FollowsTheFileThroughEveryChange) {
  TArchiveTestFolder folder;
  const std::string file = folder.File("trail.dat");
  TAuditLineIndex index;
  struct Step {
    const char* what;
    std::function<void()> change;
  };
  const std::vector<Step> steps = {
      {"missing", [] {}},
      {"created", [&] { Append(file, "a1\r\nb22\r\n"); }},
      {"appended", [&] { Append(file, "c333\r\n"); }},
      {"a last line without its end", [&] { Append(file, "d4"); }},
      {"that line ended", [&] { Append(file, "44\r\ne5\r\n"); }},
      {"a CR at the end", [&] { Append(file, "f6\r"); }},
      {"its LF after it", [&] { Append(file, "\ng7\n"); }},
      {"CR alone and empty lines", [&] { Append(file, "h8\r\r\ni9\n\n"); }},
      {"rewritten in place, longer",
       [&] {
         std::ofstream(file, std::ios::binary | std::ios::trunc) << "xx\r\n" + std::string(60, 'y') + "\r\nzz\r\n";
       }},
      {"rewritten in place, shorter", [&] { std::ofstream(file, std::ios::binary | std::ios::trunc) << "q\r\n"; }},
      {"replaced", [&] { WriteFileAtomic(file, "r1\r\nr2\r\nr3\r\n"); }},
      {"emptied", [&] { std::ofstream(file, std::ios::binary | std::ios::trunc); }},
      {"removed", [&] { std::filesystem::remove(file); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    index.Update(file);
    const std::vector<std::string> expected = ReadAuditFileLines(file);
    ASSERT_EQ(index.Count(), static_cast<int>(expected.size()));
    EXPECT_EQ(index.Lines(0, index.Count() - 1), expected);
    for (int i = 0; i < index.Count(); ++i) EXPECT_EQ(index.Line(i), expected[static_cast<size_t>(i)]) << i;
  }
}

// A file rewritten in place to the same size is not seen by Update; reading its lines finds the
// change and learns the file again.
TEST(AuditLineIndex, LinesMovedWithoutASizeChangeAreLearnedAgainOnRead) {
  TArchiveTestFolder folder;
  const std::string file = folder.File("trail.dat");
  Append(file, "aaaa\r\nbb\r\ncc\r\n");
  TAuditLineIndex index;
  index.Update(file);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "a\r\nbbbbb\r\ncc\r\n";
  index.Update(file);
  EXPECT_EQ(index.Lines(1, 2), (std::vector<std::string>{"bbbbb", "cc"}));
  EXPECT_EQ(index.Lines(0, 0), std::vector<std::string>{"a"});
}

// Lines that span the reader's blocks, with a CR LF split between two of them.
TEST(AuditLineIndex, LongFilesSplitAcrossReadBlocks) {
  TArchiveTestFolder folder;
  const std::string file = folder.File("trail.dat");
  std::string bytes;
  // The first line ends with its CR as the last byte of the first MiB.
  bytes += std::string((1 << 20) - 1, 'x') + "\r\n";
  for (int i = 0; bytes.size() < (5u << 20); ++i)
    bytes += std::string(static_cast<size_t>(i % 700), 'a' + i % 26) + "\r\n";
  WriteFileAtomic(file, bytes);
  TAuditLineIndex index;
  index.Update(file);
  const std::vector<std::string> expected = ReadAuditFileLines(file);
  ASSERT_EQ(index.Count(), static_cast<int>(expected.size()));
  EXPECT_TRUE(index.Lines(0, index.Count() - 1) == expected);
}

}  // namespace
}  // namespace qv
