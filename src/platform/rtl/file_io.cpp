#include "platform/rtl/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/rtl/exception.h"

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
  // A unique temporary name, so two writers of one file never write into each other's copy.
  std::string tmp = file_name + ".XXXXXX";
  int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) Fail("Cannot create file", file_name, errno);
  struct stat old_stat;  // a rewritten file keeps its mode
  ::fchmod(fd, ::stat(file_name.c_str(), &old_stat) == 0 ? (old_stat.st_mode & 07777) : 0644);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      Fail("Cannot write file", file_name, err);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    Fail("Cannot write file", file_name, err);
  }
  if (::rename(tmp.c_str(), file_name.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    Fail("Cannot replace file", file_name, err);
  }
}

}  // namespace qv
