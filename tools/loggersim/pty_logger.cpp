#include "pty_logger.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

namespace qv::sim {

int64_t SteadyMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {

int SpeedToBaud(speed_t speed) {
  static const std::pair<speed_t, int> kRates[] = {
      {B300, 300},       {B600, 600},       {B1200, 1200},     {B2400, 2400},   {B4800, 4800},
      {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600}, {B115200, 115200},
      {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
  };
  for (const auto& [s, baud] : kRates)
    if (s == speed) return baud;
  return 0;
}

std::string ErrorText(const std::string& what) { return "loggersim: " + what + ": " + std::strerror(errno); }

DateTimeFields LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  DateTimeFields f{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59)};
  if (f.year < 2000) f = DateTimeFields{};
  return f;
}

}  // namespace

PtyLogger::PtyLogger(SimConfig config, MonoClock clock) : clock_(std::move(clock)) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) throw ESimPty(ErrorText("posix_openpt"));
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    std::string text = ErrorText("pseudo-terminal set-up");
    close(master_);
    throw ESimPty(text);
  }
  slave_path_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0 || pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::string text = ErrorText("open " + slave_path_);
    if (slave_ >= 0) close(slave_);
    close(master_);
    throw ESimPty(text);
  }
  // Raw until the program sets its own mode, so nothing is echoed back to the logger.
  termios tio{};
  if (tcgetattr(slave_, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetspeed(&tio, B19200);
    tcsetattr(slave_, TCSANOW, &tio);
  }
  const DateTimeFields start = config.clock.value_or(LocalNow());
  sim_ = std::make_unique<LoggerSim>(std::move(config), start, clock_());
}

PtyLogger::~PtyLogger() {
  Stop();
  close(wake_[0]);
  close(wake_[1]);
  close(slave_);
  close(master_);
}

void PtyLogger::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void PtyLogger::Stop() {
  if (!thread_.joinable()) return;
  const char stop = 'x';
  (void)!write(wake_[1], &stop, 1);
  thread_.join();
}

std::vector<std::string> PtyLogger::Violations() const {
  std::lock_guard lock(mutex_);
  return sim_->Violations();
}

std::vector<std::string> PtyLogger::Requests() const {
  std::lock_guard lock(mutex_);
  return sim_->Requests();
}

Bytes PtyLogger::Image() const {
  std::lock_guard lock(mutex_);
  return sim_->Image();
}

DateTimeFields PtyLogger::Clock() const {
  std::lock_guard lock(mutex_);
  return sim_->ClockAt(clock_());
}

void PtyLogger::Inspect(const std::function<void(const LoggerSim&)>& f) const {
  std::lock_guard lock(mutex_);
  f(*sim_);
}

double PtyLogger::LineNow() const {
  // Whole milliseconds would add up to a millisecond to every answer (a byte lasts about half a
  // millisecond at 19200 baud), so the line is paced on the steady clock's microseconds.
  auto* plain = clock_.target<int64_t (*)()>();
  if (plain && *plain == &SteadyMillis) {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count()) /
           1000.0;
  }
  return static_cast<double>(clock_());
}

void PtyLogger::SetFaults(const std::function<void(Faults&)>& f) {
  std::lock_guard lock(mutex_);
  f(sim_->MutableFaults());
}

void PtyLogger::WriteDue(double now, double& wait_ms, bool& want_out) {
  const bool burst = sim_->Config().burst;
  const double byte_ms = sim_->LineTimeMs(1);
  while (!queue_.empty()) {
    Pending& p = queue_.front();
    const double ready = std::max(static_cast<double>(p.not_before), burst ? 0.0 : p.heard);
    if (now < ready) {
      wait_ms = ready - now;
      return;
    }
    size_t due = p.bytes.size();
    if (!burst) {
      // Each byte reaches the program once its ten bits have passed the line.
      if (p.start < 0) p.start = std::max({static_cast<double>(p.not_before), line_free_, p.heard});
      due = std::min(p.bytes.size(), static_cast<size_t>(std::max(0.0, (now - p.start) / byte_ms)));
    }
    if (due > p.sent) {
      ssize_t n = write(master_, p.bytes.data() + p.sent, due - p.sent);
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // The line is gone (cannot happen while the slave is held open): drop the output.
        queue_.clear();
        break;
      }
      if (n > 0) p.sent += static_cast<size_t>(n);
      if (p.sent < due) {
        want_out = true;  // the program is not reading: wait for room
        wait_ms = 10;
        return;
      }
    }
    if (p.sent < p.bytes.size()) {
      wait_ms = std::max(0.01, p.start + static_cast<double>(p.sent + 1) * byte_ms - now);
      return;
    }
    if (!burst) line_free_ = p.start + static_cast<double>(p.bytes.size()) * byte_ms;
    queue_.erase(queue_.begin());
  }
  wait_ms = -1;
}

void PtyLogger::Run() {
  uint8_t buf[4096];
  for (;;) {
    double wait_ms = -1;
    bool want_out = false;
    {
      std::lock_guard lock(mutex_);
      WriteDue(LineNow(), wait_ms, want_out);
    }
    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (want_out ? POLLOUT : 0)), 0}, {wake_[0], POLLIN, 0}};
    timespec wait{};
    if (wait_ms >= 0) {
      const auto us = static_cast<int64_t>(std::ceil(wait_ms * 1000.0));
      wait.tv_sec = us / 1000000;
      wait.tv_nsec = us % 1000000 * 1000;
    }
    int r = ppoll(fds, 2, wait_ms >= 0 ? &wait : nullptr, nullptr);
    if (r < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    if (!(fds[0].revents & POLLIN)) continue;
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) continue;
    std::vector<std::string> handled;
    {
      std::lock_guard lock(mutex_);
      const size_t before = sim_->Requests().size();
      // A pty carries the program's line settings without applying them; pace by them.
      termios tio{};
      if (tcgetattr(slave_, &tio) == 0) sim_->SetLineRate(SpeedToBaud(cfgetospeed(&tio)));
      // The pty hands over the program's bytes at once; on a line they arrive one by one, so an
      // answer cannot start before the request has been heard whole.
      in_free_ = std::max(in_free_, LineNow()) + static_cast<double>(n) * sim_->LineTimeMs(1);
      for (Reply& reply : sim_->Receive(std::span<const uint8_t>(buf, static_cast<size_t>(n)), clock_()))
        queue_.push_back({std::move(reply.bytes), reply.not_before_ms, 0, -1, in_free_});
      if (trace_) handled.assign(sim_->Requests().begin() + static_cast<long>(before), sim_->Requests().end());
    }
    for (const std::string& request : handled) trace_(request);
  }
}

LoggerSimProcess::LoggerSimProcess(const std::string& exe, const std::vector<std::string>& args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw ESimPty(ErrorText("pipe"));
  std::vector<std::string> all{exe};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) {
    close(out[0]);
    close(out[1]);
    throw ESimPty(ErrorText("fork"));
  }
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  // The first line is the slave path; the child writes nothing else to stdout.
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') slave_path_ += c;
  close(out[0]);
  if (slave_path_.empty()) {
    Stop();
    throw ESimPty("loggersim: the simulator did not start (" + exe + ")");
  }
}

LoggerSimProcess::~LoggerSimProcess() { Stop(); }

int LoggerSimProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qv::sim
