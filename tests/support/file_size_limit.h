#pragma once
// Lets files of this process grow no further than a limit while it lives, as a full disk would:
// a write beyond it fails with EFBIG ("File too large") instead of raising SIGXFSZ.
#include <signal.h>
#include <sys/resource.h>

#include <stdexcept>

namespace qv::test {

class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &old_) != 0) throw std::runtime_error("getrlimit failed");
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_;
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  struct rlimit old_ {};
  sighandler_t old_handler_ = SIG_DFL;
};

}  // namespace qv::test
