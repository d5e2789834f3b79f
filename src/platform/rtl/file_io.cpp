#include "platform/rtl/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/rtl/exception.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {
[[noreturn]] void Fail(const std::string& what, const std::string& file_name, int err) {
  throw Exception(what + " \"" + file_name + "\": " + std::strerror(err));
}
}  // namespace

std::string ReadFileBytes(const std::string& file_name) {
  int fd = ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("Cannot open file", file_name, errno);
  std::string out;
  // One allocation for the whole file: large files are read without regrowing the text.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      Fail("Cannot read file", file_name, err);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

void WriteFileAtomic(const std::string& file_name, const std::string& bytes) {
  TAtomicFileStream out(file_name);
  constexpr size_t kChunk = 1 << 30;  // stream counts are 32-bit
  for (size_t done = 0; done < bytes.size(); done += kChunk)
    out.WriteBuffer(bytes.data() + done, static_cast<int32_t>(std::min(kChunk, bytes.size() - done)));
  out.Commit();
}

void AppendFileWhole(const std::string& file_name, const std::string& bytes) {
  bool created = false;
  int fd = ::open(file_name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(file_name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    created = fd >= 0;
    // Created by someone else meanwhile: append to theirs.
    if (fd < 0 && errno == EEXIST) fd = ::open(file_name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) {
    const int err = errno;
    throw EInOutError("Cannot open file \"" + file_name + "\": " + std::strerror(err), err);
  }
  struct stat st {};
  int error = ::fstat(fd, &st) == 0 ? 0 : errno;  // nothing written yet, nothing to cut
  const off_t before = st.st_size;
  // O_APPEND places each piece at the end; only a failure part-way leaves a part behind.
  bool wrote = false;
  for (size_t done = 0; error == 0 && done < bytes.size();) {
    wrote = true;
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno != EINTR) error = errno;
      continue;
    }
    done += static_cast<size_t>(n);
  }
  if (error != 0) {
    if (created) {
      ::unlink(file_name.c_str());
    } else if (wrote && ::ftruncate(fd, before) != 0) {
      // The cut failed as well; the write's reason is the one to report.
    }
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) throw EAppendWriteError("Cannot write file \"" + file_name + "\": " + std::strerror(error), error);
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::string& why) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    struct stat st;
    if (::lstat(from.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      // Folders have no hard links; a rename without the flag still never replaces an
      // existing non-empty folder or a file, and an empty folder of that name is refused here.
      if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
      } else if (::rename(from.c_str(), to.c_str()) == 0) {
        return true;
      }
    } else if (::link(from.c_str(), to.c_str()) == 0) {
      // A file system without the no-replace flag: a hard link fails on an existing name too.
      if (::unlink(from.c_str()) == 0) return true;
      int err = errno;
      ::unlink(to.c_str());
      errno = err;
    }
  }
  why = std::strerror(errno);
  return false;
}

namespace {
bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
}  // namespace

std::string FindFileIgnoringCase(const std::string& dir, const std::string& name) {
  if (IsRegularFile(dir + name)) return dir + name;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (SameText(e->d_name, name) && IsRegularFile(dir + e->d_name)) {
      found = dir + e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::string FindPathIgnoringCase(const std::string& dir, const std::string& relative) {
  std::string path = relative;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::string folder = dir;
  size_t start = 0;
  for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
    const std::string part = path.substr(start, slash - start);
    start = slash + 1;
    if (part.empty()) continue;
    struct stat st {};
    if (::stat((folder + part).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      folder += part + "/";
      continue;
    }
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return {};
    std::string match;
    while (dirent* e = ::readdir(d)) {
      if (SameText(e->d_name, part) && ::stat((folder + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        match = e->d_name;
        break;
      }
    }
    ::closedir(d);
    if (match.empty()) return {};
    folder += match + "/";
  }
  return FindFileIgnoringCase(folder, path.substr(start));
}

}  // namespace qv
