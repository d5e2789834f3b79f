// A configuration read and a configuration write through the serial layer against the logger
// simulator pacing its line at 19200 baud: the wall time of each run against the line time of
// the bytes exchanged (10 bits a byte), printed as a ratio. The runs involve no wait of their
// own beyond the answers (the logger wakes at the first space), so the prescribed waits added
// to the line time are named and are 0 here.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "comm/process_window_service.h"
#include "comm/qv_com_port.h"
#include "comm/tv10_prot.h"
#include "platform/os/message_queue.h"
#include "platform/serial/com_port_map.h"
#include "loop_window.h"
#include "pty_logger.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kBaud = 19200;

double LineMs(double bytes) { return bytes * 10.0 * 1000.0 / kBaud; }

struct Line {
  explicit Line(int kind) {
    // The port's trace files go to a folder of their own, not to the working folder.
    char dir[] = "/tmp/qv_bench_logger_XXXXXX";
    if (mkdtemp(dir)) home = dir;
    qv::ExePath = home + "/";
    qv::sim::SimConfig config;
    config.SetKind(kind);
    logger = std::make_unique<qv::sim::PtyLogger>(config);
    qv::SetMainThread();
    qv::SetComPortMapHook([this](int) { return logger->SlavePath(); });
    qv::ProcessWindowFactory = [] { return new qv::bench::LoopWindow; };
    logger->Start();
    port = std::make_unique<qv::TQvComPort>();
    port->SetComNumber(1);
    port->SetOpen(true);
  }
  ~Line() {
    port.reset();
    logger->Stop();
    qv::ProcessWindowFactory = nullptr;
    qv::SetComPortMapHook(nullptr);
    qv::ExePath.clear();
    std::error_code ec;
    if (!home.empty()) std::filesystem::remove_all(home, ec);
  }
  std::string home;
  std::unique_ptr<qv::sim::PtyLogger> logger;
  std::unique_ptr<qv::TQvComPort> port;
};

void Report(benchmark::State& state, double wall_ms, double bytes, double waits_ms) {
  const double line_ms = LineMs(bytes) + waits_ms;
  state.counters["bytes"] = bytes;
  state.counters["line_ms"] = line_ms;
  state.counters["prescribed_waits_ms"] = waits_ms;
  state.counters["wall_ms"] = wall_ms;
  state.counters["ratio"] = wall_ms / line_ms;
}

void BM_ConfigRead(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  Line line(kind);
  qv::TTv10RdCfgProt p;
  p.Port = line.port.get();
  double wall = 0, runs = 0, bytes = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!p.Execute()) state.SkipWithError("read failed");
    wall += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    ++runs;
    // Out: a space, "&S", "?E", "$?E"; in: the refused space, "$&S", the identity, "$?E", the block.
    bytes = 1 + p.Scan->Scan->GetSize() + p.Read->ReadEE->GetSize() + p.Read->AckOut->GetSize() +
            p.Scan->WakeUp->Answer->GetSize() + p.Scan->Ack->GetSize() + p.Scan->Id->GetSize() +
            p.Read->AckEE->GetSize() + p.BufLen;
  }
  Report(state, wall / runs, bytes, 0);
  std::printf("config read, kind %d: %.1f ms for %.0f bytes, line time %.1f ms, ratio %.3f\n", kind, wall / runs, bytes,
              LineMs(bytes), wall / runs / LineMs(bytes));
}

void BM_ConfigWrite(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  Line line(kind);
  qv::TTv10WriteEEProt p;
  p.Port = line.port.get();
  p.Kennung = 0x1234;
  p.SetBufLen(qv::Tv10ConfigBlockLen(static_cast<uint8_t>(kind)));
  const qv::sim::Bytes image = line.logger->Image();
  p.ReceiveData(image.data(), static_cast<int32_t>(image.size()));
  double wall = 0, runs = 0;
  const double chunks = p.GetBufLen() / 8.0;
  // Out: "%E" and the chunks; in: "$%E", one acknowledge per chunk and the final answer.
  const double bytes = p.PreWrite->GetSize() + chunks * p.WriteData->GetSize() + p.Ack->GetSize() * (chunks + 2);
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!p.Execute()) state.SkipWithError("write failed");
    wall += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    ++runs;
  }
  Report(state, wall / runs, bytes, 0);
  std::printf("config write, kind %d: %.1f ms for %.0f bytes, line time %.1f ms, ratio %.3f\n", kind, wall / runs,
              bytes, LineMs(bytes), wall / runs / LineMs(bytes));
}

BENCHMARK(BM_ConfigRead)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ConfigWrite)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
