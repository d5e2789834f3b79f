#include "base/file_utils.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/rtl/stream.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

time_t MTime(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

void SetMTime(const std::string& path, time_t t) {
  struct timespec times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<std::string> Tree(const std::string& dir) {
  std::vector<std::string> out;
  for (auto& e : fs::recursive_directory_iterator(dir))
    out.push_back(fs::relative(e.path(), dir).string() + (e.is_symlink() ? "@" : e.is_directory() ? "/" : ""));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FileCopy2, PolicyDecidesOverAnExistingTarget) {
  enum Target { kMissing, kOlder, kNewer };
  struct Case {
    Target target;
    uint8_t policy;
    bool copied;
  } cases[] = {
      {kMissing, 0, true}, {kMissing, 1, true}, {kMissing, 2, true}, {kOlder, 0, false}, {kOlder, 1, true},
      {kOlder, 2, true},   {kNewer, 0, false},  {kNewer, 1, false},  {kNewer, 2, true},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    dir.Write("src", "new");
    SetMTime(dir.File("src"), 1000000000);
    if (c.target != kMissing) {
      dir.Write("dst", "old");
      SetMTime(dir.File("dst"), c.target == kOlder ? 999999000 : 1000001000);
    }
    SCOPED_TRACE(testing::Message() << "target " << c.target << " policy " << int(c.policy));
    EXPECT_EQ(FileCopy2(dir.File("src"), dir.File("dst"), false, false, c.policy), c.copied);
    EXPECT_EQ(dir.Read("dst"), c.copied ? "new" : "old");
    EXPECT_EQ(dir.Read("src"), "new");
  }
}

TEST(FileCopy2, DatesMoveAndMissingSource) {
  test::TempDir dir;
  dir.Write("a", "payload");
  SetMTime(dir.File("a"), 1100000000);
  EXPECT_FALSE(FileCopy2(dir.File("missing"), dir.File("x"), false, false, 2));
  EXPECT_FALSE(FileCopy2(dir.Path(), dir.File("x"), false, false, 2));  // a folder is no file

  ASSERT_TRUE(FileCopy2(dir.File("a"), dir.File("plain"), false, false, 2));
  EXPECT_NE(MTime(dir.File("plain")), 1100000000);
  ::chmod(dir.File("a").c_str(), 0600);
  ASSERT_TRUE(FileCopy2(dir.File("a"), dir.File("kept"), false, true, 2));
  EXPECT_EQ(MTime(dir.File("kept")), 1100000000);
  struct stat st;
  ASSERT_EQ(::stat(dir.File("kept").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // a private file stays private

  ASSERT_TRUE(FileCopy2(dir.File("a"), dir.File("moved"), true, false, 2));
  EXPECT_FALSE(fs::exists(dir.File("a")));
  EXPECT_EQ(dir.Read("moved"), "payload");
  EXPECT_EQ(MTime(dir.File("moved")), 1100000000);
  EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"kept", "moved", "plain"}));
}

TEST(FileCopy2, KeepsTheDateToTheNanosecond) {
  test::TempDir dir;
  dir.Write("src", "new");
  dir.Write("dst", "old");
  struct timespec src_times[2] = {{1000000000, 700000000}, {1000000000, 700000000}};
  struct timespec dst_times[2] = {{1000000000, 200000000}, {1000000000, 200000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("src").c_str(), src_times, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("dst").c_str(), dst_times, 0), 0);
  // Older within the same second: replaced, and then equal, so not copied again.
  ASSERT_TRUE(FileCopy2(dir.File("src"), dir.File("dst"), false, true, cpNewer));
  struct stat st;
  ASSERT_EQ(::stat(dir.File("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 700000000);
  EXPECT_FALSE(FileCopy2(dir.File("src"), dir.File("dst"), false, true, cpNewer));
}

TEST(FileCopy2, RefusesToCopyAFileOntoItself) {
  test::TempDir dir;
  dir.Write("sub/data.bin", "precious");
  fs::create_directory_symlink(dir.File("sub"), dir.File("alias"));
  fs::create_hard_link(dir.File("sub/data.bin"), dir.File("hard.bin"));
  for (const std::string& dest :
       {dir.File("sub/data.bin"), dir.File("sub//data.bin"), dir.File("alias/data.bin"), dir.File("hard.bin")}) {
    EXPECT_FALSE(FileCopy2(dir.File("sub/data.bin"), dest, true, true, 2)) << dest;
    EXPECT_EQ(dir.Read("sub/data.bin"), "precious") << dest;
  }
}

TEST(FileCopy2, FailedCopyLeavesTargetIntact) {
  test::TempDir dir;
  dir.Write("dst", "good old copy");
  // Reading the process's own memory at offset 0 fails with an I/O error after a successful open.
  EXPECT_THROW(FileCopy2("/proc/self/mem", dir.File("dst"), false, false, 2), EReadError);
  EXPECT_EQ(dir.Read("dst"), "good old copy");

  // A source held exclusively elsewhere in the program cannot be opened.
  dir.Write("held", "h");
  {
    TFileStream lock(dir.File("held"), fmOpenRead | fmShareExclusive);
    EXPECT_THROW(FileCopy2(dir.File("held"), dir.File("dst"), false, false, 2), EFOpenError);
  }
  EXPECT_EQ(dir.Read("dst"), "good old copy");
  ::unlink(dir.File("held").c_str());

  // A target that cannot be replaced (a folder) fails at the rename.
  dir.Write("src", "new");
  dir.Write("folder/inside", "x");
  EXPECT_THROW(FileCopy2(dir.File("src"), dir.File("folder"), true, false, 2), EStreamError);
  EXPECT_EQ(dir.Read("src"), "new");  // not moved away
  EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"dst", "folder/", "folder/inside", "src"}));
}

TEST(FolderFunctions, CopyDirSkipsDottedFoldersAndLinks) {
  test::TempDir outside, dir;
  outside.Write("secret/s.txt", "s");
  outside.Write("o.txt", "o");
  dir.Write("src/a.txt", "a");
  dir.Write("src/sub/b.txt", "b");
  dir.Write("src/sub/deep/c.txt", "c");
  dir.Write("src/data.old/d.txt", "d");
  fs::create_directory_symlink(outside.File("secret"), dir.File("src/linkdir"));
  fs::create_symlink(outside.File("o.txt"), dir.File("src/link.txt"));

  EXPECT_TRUE(CopyDir(dir.File("src"), dir.File("dst/"), false, false, true, 2));
  EXPECT_EQ(Tree(dir.File("dst")),
            (std::vector<std::string>{"a.txt", "sub/", "sub/b.txt", "sub/deep/", "sub/deep/c.txt"}));

  EXPECT_FALSE(CopyDir(dir.File("src"), dir.File("dst"), false, false, true, 0));  // nothing missing
  EXPECT_TRUE(CopyDir(dir.File("src"), dir.File("flat"), false, false, false, 2));
  EXPECT_EQ(Tree(dir.File("flat")), (std::vector<std::string>{"a.txt"}));

  // With policy 2 one file that cannot be copied makes the result false; with policy 1 one
  // copied file makes it true.
  fs::remove(dir.File("dst/sub/b.txt"));
  fs::create_symlink(dir.File("src/sub/b.txt"), dir.File("dst/sub/b.txt"));
  EXPECT_FALSE(CopyDir(dir.File("src"), dir.File("dst"), false, false, true, 2));
  dir.Write("src/new.txt", "n");
  EXPECT_TRUE(CopyDir(dir.File("src"), dir.File("dst"), false, false, true, 1));
  EXPECT_EQ(dir.Read("dst/new.txt"), "n");
}

TEST(FolderFunctions, CopyDirMoveAndRefusals) {
  test::TempDir dir;
  dir.Write("src/a.txt", "a");
  dir.Write("src/sub/b.txt", "b");
  EXPECT_FALSE(CopyDir(dir.File("src"), dir.File("src/sub/inner"), false, false, true, 2));
  EXPECT_FALSE(CopyDir(dir.File("src"), dir.File("src"), false, false, true, 2));
  EXPECT_FALSE(CopyDir("", dir.File("x"), false, false, true, 2));
  EXPECT_FALSE(CopyDir("/", dir.File("x"), false, false, true, 2));
  EXPECT_FALSE(CopyDir(dir.File("src"), "/", false, false, true, 2));
  EXPECT_FALSE(CopyDir(dir.File("none"), dir.File("x"), false, false, true, 2));
  EXPECT_FALSE(fs::exists(dir.File("x")));
  EXPECT_THROW(CopyDir(dir.File("src"), dir.File("no/such/dst"), false, false, true, 2), EInOutError);

  EXPECT_TRUE(CopyDir(dir.File("src"), dir.File("dst"), true, false, true, 2));
  EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"dst/", "dst/a.txt", "dst/sub/", "dst/sub/b.txt"}));
}

TEST(FolderFunctions, DeleteDirNeverFollowsLinks) {
  test::TempDir outside, dir;
  outside.Write("keep/k.txt", "k");
  outside.Write("f.txt", "f");
  dir.Write("t/a.txt", "a");
  dir.Write("t/sub/b.txt", "b");
  fs::create_directory_symlink(outside.File("keep"), dir.File("t/sub/link"));
  fs::create_symlink(outside.File("f.txt"), dir.File("t/flink"));
  EXPECT_TRUE(DeleteDir(dir.File("t/")));
  EXPECT_FALSE(fs::exists(dir.File("t")));
  EXPECT_EQ(outside.Read("keep/k.txt"), "k");
  EXPECT_EQ(outside.Read("f.txt"), "f");

  fs::create_directory_symlink(outside.File("keep"), dir.File("dirlink"));
  EXPECT_TRUE(DeleteDir(dir.File("dirlink")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("dirlink"))));
  EXPECT_EQ(outside.Read("keep/k.txt"), "k");

  EXPECT_TRUE(DeleteDir(dir.File("missing")));
  EXPECT_FALSE(DeleteDir(""));
  EXPECT_FALSE(DeleteDir("/"));
}

TEST(FolderFunctions, DottedFolderIsNeitherCopiedNorDeleted) {
  test::TempDir dir;
  dir.Write("t/a.txt", "a");
  dir.Write("t/data.old/x.txt", "x");
  EXPECT_FALSE(DeleteDir(dir.File("t")));
  EXPECT_EQ(Tree(dir.File("t")), (std::vector<std::string>{"data.old/", "data.old/x.txt"}));
  EXPECT_TRUE(DirExists(dir.File("t/data.old/")));
  EXPECT_FALSE(DirExists(dir.File("t/data.old/x.txt")));
  EXPECT_FALSE(DirExists(""));
}

}  // namespace
}  // namespace qv
