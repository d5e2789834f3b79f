#pragma once
// Runs a simulated logger on a pseudo-terminal: the program opens the slave path (mapped to a
// COM number by [SerialPorts] COMn= of its INI file), the logger reads and writes the master.
// PtyLogger runs in-process on its own thread; LoggerSimProcess starts the loggersim program
// as a child process.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logger_sim.h"

namespace qv::sim {

QV_DECLARE_EXCEPTION(ESimPty, Exception);

// Monotonic milliseconds.
using MonoClock = std::function<int64_t()>;
int64_t SteadyMillis();

class PtyLogger {
public:
  // Opens the pseudo-terminal at once; throws ESimPty when it cannot. Without a clock in the
  // configuration the logger starts with the host's local time.
  explicit PtyLogger(SimConfig config, MonoClock clock = SteadyMillis);
  ~PtyLogger();
  PtyLogger(const PtyLogger&) = delete;
  PtyLogger& operator=(const PtyLogger&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  void Start();
  void Stop();

  // Called on the logger's thread for every request handled (its command).
  void SetTrace(std::function<void(const std::string&)> trace) { trace_ = std::move(trace); }

  // Snapshots of the logger's state, taken under its lock.
  std::vector<std::string> Violations() const;
  std::vector<std::string> Requests() const;
  Bytes Image() const;
  DateTimeFields Clock() const;
  // Runs f with the logger under its lock.
  void Inspect(const std::function<void(const LoggerSim&)>& f) const;
  // Changes the fault switches under the logger's lock.
  void SetFaults(const std::function<void(Faults&)>& f);

private:
  void Run();
  // Writes what is due at now (ms); wait_ms is how long until more is due (-1: nothing queued).
  void WriteDue(double now, double& wait_ms, bool& want_out);
  // The pacing clock in ms: the steady clock to the microsecond, or the injected clock.
  double LineNow() const;

  MonoClock clock_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up between the program's opens
  int wake_[2] = {-1, -1};
  std::string slave_path_;
  std::function<void(const std::string&)> trace_;

  mutable std::mutex mutex_;  // guards sim_; taken by the logger's thread and the inspectors
  std::unique_ptr<LoggerSim> sim_;
  struct Pending {
    Bytes bytes;
    int64_t not_before = 0;
    size_t sent = 0;
    double start = -1;  // ms on the line clock once sending began
    double heard = 0;   // when the request's last byte has passed the line to the logger
  };
  std::vector<Pending> queue_;  // logger's thread only
  double line_free_ = 0;        // when the line is free again (paced mode)
  double in_free_ = 0;          // when the program's bytes so far have passed the line (paced mode)
  std::thread thread_;
};

// The loggersim program as a child process. The constructor starts it with the arguments,
// reads the slave path from its first output line and returns; the destructor ends it.
class LoggerSimProcess {
public:
  LoggerSimProcess(const std::string& exe, const std::vector<std::string>& args);
  ~LoggerSimProcess();
  LoggerSimProcess(const LoggerSimProcess&) = delete;
  LoggerSimProcess& operator=(const LoggerSimProcess&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  pid_t Pid() const { return pid_; }
  // Ends the child (SIGTERM) and returns its exit status: 0 when it saw no protocol
  // violation, 3 when it did; -1 when it ended otherwise.
  int Stop();

private:
  pid_t pid_ = -1;
  std::string slave_path_;
};

}  // namespace qv::sim
