// A memory read of each logger kind against the simulator pacing its line at 19200 and at
// 115200 baud: the wall time against the line time of the bytes exchanged (10 bits a byte) plus
// the prescribed waits (the one-second pause before each channel), printed as a ratio. And the
// storing step alone: a logger's memory parsed and stored into fresh weekly data sets.
// The memory holds 2000 samples of all three value kinds per channel (about 24 KiB on kind 5,
// 48 KiB on kind 6); QV_BENCH_BRIEF=1 reads 200 samples.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "bench_logger_line.h"
#include "comm/connection.h"
#include "comm/tv10_dev_hndl.h"
#include "comm/tv10_mem_prot.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "logger_sim.h"

namespace {

using qv::bench::Clock;
using qv::bench::Line;

int Samples() { return std::getenv("QV_BENCH_BRIEF") ? 200 : 2000; }

qv::sim::SimConfig Memory(int kind, int baud) {
  qv::sim::SimConfig c;
  c.SetKind(kind);
  c.baud = baud;
  c.samples = Samples();
  c.start = qv::sim::DateTimeFields{2030, 3, 1, 0, 0, 0};
  return c;
}

void BM_MemoryRead(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int baud = static_cast<int>(state.range(1));
  Line line(Memory(kind, baud));
  qv::TTv10ReadMemProt p;
  p.Port = line.port.get();
  double blocks = 0, wall = 0, runs = 0;
  p.OnBlockRead = [&](qv::TComProtocol*) { ++blocks; };
  for (auto _ : state) {
    blocks = 0;
    const auto t0 = Clock::now();
    if (!p.Execute()) state.SkipWithError("read failed");
    wall += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    ++runs;
  }
  const int channels = qv::Tv10ChannelCount(static_cast<uint8_t>(kind));
  const auto* cfg = p.ReadCfg.get();
  const auto* offl = p.ReadOffl.get();
  // The configuration read as in the configuration benchmark, then per channel: a space and its
  // refusal, "?" + channel and "$", "?T" and "$?T"; per block the block and its acknowledge.
  const double config = 1 + cfg->Scan->Scan->GetSize() + cfg->Read->ReadEE->GetSize() + cfg->Read->AckOut->GetSize() +
                        cfg->Scan->WakeUp->Answer->GetSize() + cfg->Scan->Ack->GetSize() + cfg->Scan->Id->GetSize() +
                        cfg->Read->AckEE->GetSize() + cfg->BufLen;
  const double per_channel = 1 + offl->WakeUp->Answer->GetSize() + offl->Prep->GetSize() + offl->Ack->GetSize() +
                             offl->DtRead->GetSize() + offl->AckT->GetSize();
  const double bytes = config + channels * per_channel + blocks * (offl->BufLen + offl->AckOut->GetSize());
  const double waits_ms = channels * 1000.0;
  const double line_ms = bytes * 10.0 * 1000.0 / baud + waits_ms;
  state.counters["bytes"] = bytes;
  state.counters["line_ms"] = line_ms;
  state.counters["prescribed_waits_ms"] = waits_ms;
  state.counters["wall_ms"] = wall / runs;
  state.counters["ratio"] = wall / runs / line_ms;
  std::printf(
      "memory read, kind %d at %d baud: %.0f ms for %.0f bytes in %.0f blocks, line time %.0f ms "
      "(with %.0f ms of pauses between channels), ratio %.3f\n",
      kind, baud, wall / runs, bytes, blocks, line_ms, waits_ms, wall / runs / line_ms);
}

BENCHMARK(BM_MemoryRead)
    ->Args({5, 19200})
    ->Args({5, 115200})
    ->Args({6, 19200})
    ->Args({6, 115200})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The storing step alone: the memory of every channel in the handler's stream, stored into the
// weekly data sets of a new logger module in a home folder of its own.
void BM_StoreMemory(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  qv::sim::SimConfig config = Memory(kind, 0);
  qv::sim::LoggerSim logger(config, {2030, 6, 1, 0, 0, 0}, 0);
  qv::sim::Bytes stream;
  for (int ch = 1; ch <= config.ChannelCount(); ++ch) {
    const qv::sim::Bytes part = logger.ChannelStream(ch, 0);
    stream.insert(stream.end(), part.begin(), part.end());
  }
  double wall = 0, runs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    char dir[] = "/tmp/qv_bench_store_XXXXXX";
    const std::string home = mkdtemp(dir) ? dir : "";
    qv::ExePath = home + "/";
    qv::IniFileName = qv::ExePath + "QUARVEL.INI";
    {
      qv::TRecordingAlarmChannels alarms;
      qv::AlarmChannels = &alarms;
      qv::TTv10DevClassReg registry;
      qv::DevClassRegistry = &registry;
      auto shell = std::make_unique<qv::TDbShell>();
      qv::DbShell = shell.get();
      auto handler = qv::TDevHandler0::Create<qv::TTv10DevHndl>();
      auto m = qv::TDevice::Create<qv::TTv10Modul>(shell->Root());
      m->SetTavraTyp(static_cast<uint8_t>(kind));
      m->SetKennung(config.id);
      m->SetId(1);
      m->SetName("Logger_1");
      m->SetUpDevice();
      qv::TTv10Modul* module = m.release();
      const qv::sim::Bytes& image = logger.Image();
      handler->AllocEEBuf(static_cast<uint16_t>(image.size()));
      std::copy(image.begin(), image.end(), handler->EEBuf.begin());
      bool changed = false;
      handler->EEBufToModul(module, static_cast<uint8_t>(config.ee), changed);
      handler->FCurModul = module;
      handler->DevKind = static_cast<uint8_t>(kind);
      handler->EEVersion = static_cast<uint8_t>(config.ee);
      handler->MemStream.WriteBuffer(stream.data(), static_cast<int32_t>(stream.size()));
      state.ResumeTiming();
      const auto t0 = Clock::now();
      handler->ReadMemBlocksFin();
      wall += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      ++runs;
      state.PauseTiming();
      handler.reset();
      shell.reset();
      qv::DbShell = nullptr;
      qv::DevClassRegistry = nullptr;
      qv::AlarmChannels = nullptr;
    }
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    state.ResumeTiming();
  }
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
  state.counters["store_ms"] = wall / runs;
  std::printf("storing a memory of %zu bytes, kind %d: %.1f ms\n", stream.size(), kind, wall / runs);
}

BENCHMARK(BM_StoreMemory)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
