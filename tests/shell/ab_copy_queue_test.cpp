// The automatic backup's scan and copy pass on small trees in a temporary folder: new, changed,
// unchanged and unreadable files, folders that are not entered, the portions of a pass and a
// backup disk that runs full.
#include "shell/ab_copy_queue.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_utils.h"
#include "platform/rtl/stream.h"
#include "support/english_texts.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

void SetMTime(const std::string& path, time_t sec, long nsec = 0) {
  struct timespec times[2] = {{sec, nsec}, {sec, nsec}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct timespec MTime(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mtim;
}

// Every file and folder below dir, relative, folders with a trailing "/".
std::vector<std::string> Tree(const std::string& dir) {
  std::vector<std::string> out;
  if (!fs::exists(dir)) return out;
  for (auto& e : fs::recursive_directory_iterator(dir))
    out.push_back(fs::relative(e.path(), dir).string() + (e.is_directory() ? "/" : ""));
  std::sort(out.begin(), out.end());
  return out;
}

class AbCopyQueueTest : public ::testing::Test {
protected:
  AbCopyQueueTest() {
    queue.Source = dir.File("data") + "/";
    queue.Destination = dir.File("backup") + "/";
    queue.Extensions = {".QVR", ".CFG"};
    queue.LogError = [this](const std::string& msg) { log.push_back(msg); };
    fs::create_directories(queue.Source);
  }
  void Put(const std::string& rel, const std::string& bytes, time_t mtime = 1600000000) {
    dir.Write("data/" + rel, bytes);
    SetMTime(dir.File("data/" + rel), mtime);
  }
  std::vector<std::string> Queued() const { return {queue.Entries().begin(), queue.Entries().end()}; }
  // Scans, then copies until the queue is empty; the entries copied.
  std::vector<std::string> Backup() {
    queue.Scan();
    std::vector<std::string> all;
    for (int pass = 0; pass < 100 && !queue.Entries().empty(); ++pass)
      for (const std::string& e : queue.CopyPass()) all.push_back(e);
    return all;
  }

  test::EnglishTexts texts;
  test::TempDir dir;
  TAbCopyQueue queue;
  std::vector<std::string> log;
};

TEST(AbSettings, AllowedCharactersOfExtensionsAndBackupFolders) {
  for (int c = 0; c < 256; ++c) {
    const bool allowed = c == 32 || c == 33 || (c >= 35 && c <= 38) || c == 40 || c == 41 || (c >= 43 && c <= 45) ||
                         (c >= 48 && c <= 57) || c == 59 || (c >= 64 && c <= 91) || (c >= 93 && c <= 122) || c == 126 ||
                         c >= 128;
    EXPECT_EQ(AbAllowedChar(static_cast<unsigned char>(c)), allowed) << c;
  }
  struct Case {
    const char* text;
    bool extension, destination;
  } cases[] = {
      {"QVR", true, false},
      {"", true, false},
      {"q*", false, false},
      {"a.b", false, false},
      {"/", false, true},
      {"/home/user/Backup", false, true},
      {"/media/Sicherung_ä", false, true},
      {"/data/back*up", false, false},
      {"/data/a:b", false, false},
      {"/data\\backup", false, false},
      {"/data/.hidden", false, false},
      {"Backup", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AbValidExtension(c.text), c.extension) << c.text;
    EXPECT_EQ(AbValidDestination(c.text), c.destination) << c.text;
  }
}

TEST(AbSettings, ExtensionCells) {
  EXPECT_EQ(AbExtensionsToText({".QVR", ".CFG", ".db", "."}), ".QVR.CFG.db .   ");
  EXPECT_EQ(AbExtensionsToText({".äöü"}), ".äöü");  // four characters, more bytes
  struct Case {
    const char* text;
    std::vector<std::string> extensions;
  } cases[] = {
      {".QVR.CFG.db ", {".QVR", ".CFG", ".db"}},
      {".QVRX.CFG", {".QVR", ".CFG"}},  // a longer extension is cut to three characters
      {".   .txt", {".", ".txt"}},
      {".qvr.QVR", {".qvr"}},  // letter case makes no other extension
      {".äöü.db ", {".äöü", ".db"}},
      {"", {}},
      {"QVR", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(AbTextToExtensions(c.text), c.extensions) << c.text;
  for (auto [name, ext, match] : {std::tuple{"KW01.QVR", ".QVR", true}, std::tuple{"kw01.qvr", ".QVR", true},
                                  std::tuple{"KW01.QVRX", ".QVR", false}, std::tuple{"README", ".", true},
                                  std::tuple{"a.txt", ".", false}, std::tuple{"QVR", ".QVR", false}})
    EXPECT_EQ(AbMatchesExtension(name, ext), match) << name << " " << ext;
}

TEST_F(AbCopyQueueTest, NewChangedAndUnchangedFiles) {
  Put("Device.CFG", "config");
  Put("DL001/KW01.QVR", "week one");
  Put("DL001/kw02.qvr", "week two");
  Put("DL001/notes.txt", "not backed up");
  Put("DL001/Old.1/KW01.QVR", "in a folder with a dot");
  fs::create_directory_symlink(dir.File("data/DL001"), dir.File("data/Loop"));  // never followed

  EXPECT_EQ(Backup(), (std::vector<std::string>{"Device.CFG", "DL001/KW01.QVR", "DL001/kw02.qvr"}));
  EXPECT_EQ(Tree(dir.File("backup")),
            (std::vector<std::string>{"DL001/", "DL001/KW01.QVR", "DL001/kw02.qvr", "Device.CFG"}));
  EXPECT_EQ(dir.Read("backup/DL001/KW01.QVR"), "week one");
  EXPECT_EQ(MTime(dir.File("backup/DL001/KW01.QVR")).tv_sec, 1600000000);

  // Nothing changed: nothing is queued, nothing copied.
  queue.Scan();
  EXPECT_TRUE(queue.Entries().empty());

  // A file written again within the same second as its copy is still newer.
  Put("DL001/KW01.QVR", "week one, more", 1600000000);
  SetMTime(dir.File("data/DL001/KW01.QVR"), 1600000000, 500000000);
  Put("Device.CFG", "config", 1500000000);  // older than its copy: kept
  EXPECT_EQ(Backup(), std::vector<std::string>{"DL001/KW01.QVR"});
  EXPECT_EQ(dir.Read("backup/DL001/KW01.QVR"), "week one, more");
  EXPECT_EQ(MTime(dir.File("backup/DL001/KW01.QVR")).tv_nsec, 500000000);
  EXPECT_EQ(dir.Read("backup/Device.CFG"), "config");
  EXPECT_TRUE(log.empty());

  // A queued file that is gone by the pass is dropped.
  Put("gone.CFG", "x");
  queue.Scan();
  fs::remove(dir.File("data/gone.CFG"));
  EXPECT_TRUE(queue.CopyPass().empty());
  EXPECT_TRUE(queue.Entries().empty());
}

TEST_F(AbCopyQueueTest, BackupFolderInsideTheDataFolderIsNotScanned) {
  queue.Source = dir.Path();
  queue.Destination = dir.File("Backup") + "/";
  Put("DL001/KW01.QVR", "data");
  for (int round = 0; round < 3; ++round) Backup();
  const std::vector<std::string> once{"data/", "data/DL001/", "data/DL001/KW01.QVR"};
  EXPECT_EQ(Tree(dir.File("Backup")), once);
  queue.Scan();
  EXPECT_TRUE(queue.Entries().empty());
  // Named through a link, it is the same folder.
  fs::create_directory_symlink(dir.File("Backup"), dir.File("alias"));
  queue.Destination = dir.File("alias") + "/";
  Backup();
  EXPECT_EQ(Tree(dir.File("Backup")), once);
}

TEST_F(AbCopyQueueTest, EveryFolderOfALargeTreeIsScanned) {
  for (int i = 0; i < 150; ++i) Put("DL" + std::to_string(1000 + i) + "/KW01.QVR", "x");
  queue.Scan();
  EXPECT_EQ(queue.Entries().size(), 150u);
  EXPECT_EQ(queue.Entries().back(), "DL1149/KW01.QVR");
}

TEST_F(AbCopyQueueTest, APassCopiesAPortion) {
  for (int i = 0; i < 10; ++i) Put("big" + std::to_string(i) + ".QVR", std::string(100000, 'x'));
  queue.Scan();
  EXPECT_EQ(queue.CopyPass().size(), 5u);  // 500000 bytes: the sixth is not started
  EXPECT_EQ(queue.Entries().size(), 5u);
  EXPECT_EQ(queue.CopyPass().size(), 5u);
  EXPECT_TRUE(queue.Entries().empty());

  fs::remove_all(dir.File("data"));
  for (int i = 0; i < 150; ++i) Put("small" + std::to_string(1000 + i) + ".CFG", "s");
  queue.Scan();
  EXPECT_EQ(queue.CopyPass().size(), 100u);
  EXPECT_EQ(queue.CopyPass().size(), 50u);
  // Up-to-date files count among the hundred handled.
  for (int i = 0; i < 150; ++i) SetMTime(dir.File("data/small" + std::to_string(1000 + i) + ".CFG"), 1700000000);
  queue.Scan();
  for (int i = 0; i < 150; ++i) SetMTime(dir.File("backup/small" + std::to_string(1000 + i) + ".CFG"), 1800000000);
  EXPECT_TRUE(queue.CopyPass().empty());
  EXPECT_EQ(queue.Entries().size(), 50u);
}

TEST_F(AbCopyQueueTest, AFullBackupDiskLeavesNoPartialCopy) {
  Put("small.QVR", std::string(1000, 's'));
  Put("large.QVR", std::string(300000, 'n'), 1600000100);
  dir.Write("backup/large.QVR", "the old copy");
  SetMTime(dir.File("backup/large.QVR"), 1500000000);
  queue.Scan();
  {
    test::FileSizeLimit full(100000);
    EXPECT_EQ(queue.CopyPass(), std::vector<std::string>{"small.QVR"});
  }
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Error writing the file"), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("large.QVR"), std::string::npos) << log[0];
  // The old copy stands, no temporary file is left, and the failed file left the queue.
  EXPECT_EQ(Tree(dir.File("backup")), (std::vector<std::string>{"large.QVR", "small.QVR"}));
  EXPECT_EQ(dir.Read("backup/large.QVR"), "the old copy");
  EXPECT_TRUE(queue.Entries().empty());
  // Room again: the next scan brings it.
  EXPECT_EQ(Backup(), std::vector<std::string>{"large.QVR"});
  EXPECT_EQ(dir.Read("backup/large.QVR"), std::string(300000, 'n'));
}

TEST_F(AbCopyQueueTest, UnreadableFilesAreReportedAndRetried) {
  Put("a.QVR", "a");
  Put("held.QVR", "held");
  Put("locked.QVR", "locked");
  // A file held exclusively cannot be opened: reported and dropped.
  TFileStream hold(dir.File("data/held.QVR"), fmOpenRead | fmShareExclusive);
  // A denied file is retried after the others, in the next pass.
  int denied = 0;
  queue.CopyFile = [&](const std::string& source, const std::string& dest) {
    if (source.find("locked") != std::string::npos && denied++ < 2)
      throw EFOpenError("Cannot open file " + source, ERROR_ACCESS_DENIED);
    return FileCopy2(source, dest, false, true, cpNewer);
  };
  queue.Scan();
  EXPECT_EQ(queue.CopyPass(), std::vector<std::string>{"a.QVR"});
  EXPECT_EQ(Queued(), std::vector<std::string>{"locked.QVR"});
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("held.QVR"), std::string::npos) << log[0];
  EXPECT_EQ(log[1].rfind("Access denied.", 0), 0u) << log[1];
  EXPECT_TRUE(queue.CopyPass().empty());
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(queue.CopyPass(), std::vector<std::string>{"locked.QVR"});
  EXPECT_FALSE(fs::exists(dir.File("backup/held.QVR")));
}

TEST_F(AbCopyQueueTest, AMissingBackupFolderKeepsTheQueue) {
  dir.Write("in-the-way", "a file where the folder would be");
  queue.Destination = dir.File("in-the-way") + "/backup/";
  Put("a.QVR", "a");
  queue.Scan();
  EXPECT_TRUE(queue.CopyPass().empty());
  EXPECT_TRUE(queue.CopyPass().empty());
  EXPECT_EQ(Queued(), std::vector<std::string>{"a.QVR"});
  ASSERT_EQ(log.size(), 1u);  // reported once, not every minute
  EXPECT_EQ(log[0], "Cannot create file " + queue.Destination + ": " + std::strerror(ENOTDIR));

  // A sub-folder that cannot be made: reported, and the other files go on.
  queue.Destination = dir.File("backup") + "/";
  Put("sub/b.QVR", "b");
  dir.Write("backup/sub", "a file where the folder would be");
  queue.Scan();
  EXPECT_EQ(queue.CopyPass(), std::vector<std::string>{"a.QVR"});
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].rfind("Cannot create file sub/b.QVR \"" + dir.File("backup/sub/") + "\": ", 0), 0u) << log[1];
  EXPECT_GT(log[1].size(), log[1].rfind(": ") + 2) << log[1];
}

// Every failure of a copy names the file and the system's reason: a backup folder that takes no
// new file (here it turns into a file once the pass has made it), and a source held by another
// part of the program.
TEST_F(AbCopyQueueTest, FailedCopiesNameTheFileAndTheReason) {
  Put("a.QVR", "a");
  Put("held.QVR", "held");
  TFileStream hold(dir.File("data/held.QVR"), fmOpenRead | fmShareExclusive);
  queue.CopyFile = [&](const std::string& source, const std::string& dest) {
    if (fs::is_directory(dir.File("backup"))) {
      fs::remove_all(dir.File("backup"));
      dir.Write("backup", "in the way");
    }
    return FileCopy2(source, dest, false, true, cpNewer);
  };
  queue.Scan();
  EXPECT_TRUE(queue.CopyPass().empty());
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Cannot create file a.QVR \"" + dir.File("backup/a.QVR") + "\": " + std::strerror(ENOTDIR));
  EXPECT_EQ(log[1], std::string(SharingViolationText) + " (" + dir.File("data/held.QVR") + ")");
}

}  // namespace
}  // namespace qv
