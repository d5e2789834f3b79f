// The online recorder against the logger simulator pacing its line at 19200 baud:
// - the CPU time of the whole program (recorder thread, main loop, port threads) while the
//   recorder waits between two samples, as a share of one core (goal: under 1 %);
// - the delay from a sample's grid time to its record in the data set, against the line time of
//   the sample's telegrams plus the wait the recorder prescribes (its timers fire 100 ms after
//   each grid step), printed as a ratio.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "comm/connection.h"
#include "comm/process_window_service.h"
#include "comm/recorder.h"
#include "comm/tv10_dev_hndl.h"
#include "datastore/dt_data.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/tv10_modul.h"
#include "platform/os/message_queue.h"
#include "platform/serial/com_port_map.h"
#include "loop_window.h"
#include "pty_logger.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kBaud = 19200;
// The recorder's timers fire this long after each grid step.
constexpr double kTimerOffsetMs = 100;

double LineMs(double bytes) { return bytes * 10.0 * 1000.0 / kBaud; }
bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

double CpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// A kind-7 logger sampling every sample_s seconds, with the program's recorder recording it.
struct Recording {
  explicit Recording(int sample_s) {
    char dir[] = "/tmp/qv_bench_recorder_XXXXXX";
    if (mkdtemp(dir)) home = dir;
    qv::ExePath = home + "/";
    qv::IniFileName = qv::ExePath + "QUARVEL.INI";
    std::ofstream(qv::IniFileName) << "";
    qv::sim::SimConfig config;
    config.SetKind(7);
    config.sample = sample_s;
    logger = std::make_unique<qv::sim::PtyLogger>(config);
    qv::SetMainThread();
    qv::SetComPortMapHook([this](int) { return logger->SlavePath(); });
    qv::ProcessWindowFactory = [] { return new qv::bench::LoopWindow; };
    logger->Start();
    qv::DevClassRegistry = &registry;
    connection = std::make_unique<qv::TConnection>();
    qv::Connection = connection.get();
    connection->Port()->SetComNumber(1);
    shell = std::make_unique<qv::TDbShell>();
    qv::DbShell = shell.get();
    coll = std::make_unique<qv::TTv10DevHndlColl>();
    qv::DevHandlColl = coll.get();
    recorder = std::make_unique<qv::TRecorder>();
    coll->BindRecorder(recorder.get());
    recorder->Start();
  }
  ~Recording() {
    recorder.reset();
    coll.reset();
    qv::DevHandlColl = nullptr;
    shell.reset();
    qv::DbShell = nullptr;
    connection.reset();
    qv::DevClassRegistry = nullptr;
    logger->Stop();
    qv::ProcessWindowFactory = nullptr;
    qv::SetComPortMapHook(nullptr);
    qv::ExePath.clear();
    qv::IniFileName.clear();
    std::error_code ec;
    if (!home.empty()) std::filesystem::remove_all(home, ec);
  }
  // Pumps the main loop until the next sample is in; false after 30 s.
  bool NextSample() {
    const int target = recorder->SamplesTaken() + 1;
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (recorder->SamplesTaken() < target) {
      if (Clock::now() > end || !recorder->Running()) return false;
      qv::WaitAndProcessMessages(50);
    }
    return true;
  }
  // The newest record of slot 1 as wall-clock milliseconds since the epoch of the stamps.
  double NewestMs() {
    auto* m = dynamic_cast<qv::TTv10Modul*>(shell->Root()->GetChild(0));
    auto* data = dynamic_cast<qv::TDtData*>(m->GetSubModul(1)->Data());
    qv::TDataLock lock(*data);
    return qv::DtStampToDateTime(data->GetNewestDt()) * 86400000.0;
  }

  std::string home;
  std::unique_ptr<qv::sim::PtyLogger> logger;
  qv::TTv10DevClassReg registry;
  std::unique_ptr<qv::TConnection> connection;
  std::unique_ptr<qv::TDbShell> shell;
  std::unique_ptr<qv::TTv10DevHndlColl> coll;
  std::unique_ptr<qv::TRecorder> recorder;
};

void BM_IdleRecorderCpu(benchmark::State& state) {
  Recording rec(10);
  if (!rec.recorder->Running() || !rec.NextSample()) {
    state.SkipWithError("recording did not start");
    return;
  }
  const double window_ms = Brief() ? 1500 : 6000;
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double c0 = CpuMs();
    const auto t0 = Clock::now();
    // The main loop as the program runs it: waiting for messages (the display tick included).
    while (std::chrono::duration<double, std::milli>(Clock::now() - t0).count() < window_ms)
      qv::WaitAndProcessMessages(100);
    cpu += CpuMs() - c0;
    wall += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  }
  state.counters["cpu_ms"] = cpu;
  state.counters["wall_ms"] = wall;
  state.counters["core_percent"] = 100.0 * cpu / wall;
  std::printf("idle recorder: %.1f ms CPU in %.0f ms, %.3f %% of one core (goal under 1 %%)\n", cpu, wall,
              100.0 * cpu / wall);
}

void BM_SampleDelay(benchmark::State& state) {
  Recording rec(1);
  if (!rec.recorder->Running() || !rec.NextSample()) {
    state.SkipWithError("recording did not start");
    return;
  }
  // A space and its refusal, "?N", its acknowledge and two answers of twelve bytes (three stored
  // value kinds on two slots).
  const double bytes = 1 + 5 + 8 + 5 + 2 * 12;
  const double line_ms = LineMs(bytes) + kTimerOffsetMs;
  double delay = 0, samples = 0;
  for (auto _ : state) {
    if (!rec.NextSample()) {
      state.SkipWithError("a sample failed");
      return;
    }
    const double now_ms = qv::Now() * 86400000.0;
    delay += now_ms - rec.NewestMs();
    ++samples;
  }
  const double mean = delay / samples;
  state.counters["delay_ms"] = mean;
  state.counters["line_ms"] = line_ms;
  state.counters["prescribed_wait_ms"] = kTimerOffsetMs;
  state.counters["ratio"] = mean / line_ms;
  std::printf("sample delay: %.1f ms from grid time to record, line time %.1f ms + timer offset %.0f ms, ratio %.2f\n",
              mean, LineMs(bytes), kTimerOffsetMs, mean / line_ms);
}

BENCHMARK(BM_IdleRecorderCpu)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SampleDelay)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
