#pragma once
// The benchmarks' logger line: the program's port on a pseudo-terminal with the simulated
// logger behind it, trace files in a folder of their own, and a progress window that only runs
// the protocol's modal loop.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "comm/qv_com_port.h"
#include "loop_window.h"
#include "platform/os/message_queue.h"
#include "platform/serial/com_port_map.h"
#include "pty_logger.h"

namespace qv::bench {

using Clock = std::chrono::steady_clock;

struct Line {
  explicit Line(int kind)
      : Line([kind] {
          sim::SimConfig c;
          c.SetKind(kind);
          return c;
        }()) {}
  explicit Line(const sim::SimConfig& config) {
    // The port's trace files go to a folder of their own, not to the working folder.
    char dir[] = "/tmp/qv_bench_logger_XXXXXX";
    if (mkdtemp(dir)) home = dir;
    ExePath = home + "/";
    logger = std::make_unique<sim::PtyLogger>(config);
    SetMainThread();
    SetComPortMapHook([this](int) { return logger->SlavePath(); });
    ProcessWindowFactory = [] { return new LoopWindow; };
    logger->Start();
    port = std::make_unique<TQvComPort>();
    port->SetComNumber(1);
    port->SetOpen(true);
  }
  ~Line() {
    port.reset();
    logger->Stop();
    ProcessWindowFactory = nullptr;
    SetComPortMapHook(nullptr);
    ExePath.clear();
    std::error_code ec;
    if (!home.empty()) std::filesystem::remove_all(home, ec);
  }
  std::string home;
  std::unique_ptr<sim::PtyLogger> logger;
  std::unique_ptr<TQvComPort> port;
};

}  // namespace qv::bench
