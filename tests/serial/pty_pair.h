#pragma once
// A pseudo-terminal pair for port tests: the port opens the slave through the COM mapping
// hook, the test plays the other end on the master.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/os/message_queue.h"

namespace qv::test {

class PtyPair {
public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pty name");
    slave_ = name;
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slave_; }
  // The other end goes away: the slave sees a hang-up.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  int Master() const { return master_; }

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else {
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }

  // Reads until count bytes have come or timeout_ms passed.
  std::string Read(size_t count, int timeout_ms = 5000) {
    std::string out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (out.size() < count && std::chrono::steady_clock::now() < end) {
      char buffer[4096];
      ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n > 0) {
        out.append(buffer, static_cast<size_t>(n));
      } else {
        pollfd p{master_, POLLIN, 0};
        poll(&p, 1, 20);
      }
    }
    return out;
  }

private:
  int master_ = -1;
  std::string slave_;
};

// Pumps the main thread's messages until cond holds; false on time-out.
inline bool PumpUntil(const std::function<bool()>& cond, int timeout_ms = 5000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    WaitAndProcessMessages(5);
  }
  return true;
}

}  // namespace qv::test
