// A memory read of each logger kind against the simulator pacing its line at 19200 and at
// 115200 baud: the wall time against the line time of the bytes exchanged (10 bits a byte) plus
// the prescribed waits (the one-second pause before each channel), printed as a ratio. And the
// storing step alone: a logger's memory parsed and stored into fresh weekly data sets.
// The memory holds 2000 samples of all three value kinds per channel (about 24 KiB on kind 5,
// 48 KiB on kind 6); QV_BENCH_BRIEF=1 reads 200 samples.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

// The files below a folder with their bytes, in folder order.
std::vector<std::pair<std::string, std::string>> FilesBelow(const std::string& home) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(home)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    out.emplace_back(std::filesystem::relative(e.path(), home).string(),
                     std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  return out;
}

// The peer of the storing step: the same new files written plainly, each to a temporary file
// that is flushed and renamed, then each folder flushed once.
double WritePlainly(const std::string& home, const std::vector<std::pair<std::string, std::string>>& files) {
  std::set<std::string> folders;
  for (const auto& [name, bytes] : files) folders.insert((std::filesystem::path(home) / name).parent_path().string());
  for (const std::string& f : folders) std::filesystem::create_directories(f);
  const auto t0 = Clock::now();
  for (const auto& [name, bytes] : files) {
    const std::string target = home + name;
    const std::string temp = target + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::fsync(fd);
    ::close(fd);
    ::rename(temp.c_str(), target.c_str());
  }
  for (const std::string& f : folders) {
    const int fd = ::open(f.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(fd);
    ::close(fd);
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The storing step alone: the memory of every channel in the handler's stream, stored into the
// weekly data sets of a logger module already in a home folder of its own, with no alarm
// service (as when none is set up). Its peer writes the files the step changed (the weekly
// files and the module's Device.ini) plainly with one flush per file and per folder. Goal:
// under 50 ms, or within 1.2x of the peer.
void BM_StoreMemory(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  qv::sim::SimConfig config = Memory(kind, 0);
  qv::sim::LoggerSim logger(config, {2030, 6, 1, 0, 0, 0}, 0);
  qv::sim::Bytes stream;
  for (int ch = 1; ch <= config.ChannelCount(); ++ch) {
    const qv::sim::Bytes part = logger.ChannelStream(ch, 0);
    stream.insert(stream.end(), part.begin(), part.end());
  }
  double wall = 0, peer = 0, runs = 0;
  size_t files = 0;
  for (auto _ : state) {
    state.PauseTiming();
    char dir[] = "/tmp/qv_bench_store_XXXXXX";
    const std::string home = mkdtemp(dir) ? dir : "";
    qv::ExePath = home + "/";
    qv::IniFileName = qv::ExePath + "QUARVEL.INI";
    std::vector<std::pair<std::string, std::string>> before, after;
    {
      qv::AlarmChannels = nullptr;
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
      before = FilesBelow(qv::ExePath);
      state.ResumeTiming();
      const auto t0 = Clock::now();
      handler->ReadMemBlocksFin();
      wall += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      ++runs;
      state.PauseTiming();
      after = FilesBelow(qv::ExePath);
      handler.reset();
      shell.reset();
      qv::DbShell = nullptr;
      qv::DevClassRegistry = nullptr;
    }
    // The files the step wrote: new ones and changed ones.
    std::vector<std::pair<std::string, std::string>> written;
    for (const auto& f : after)
      if (std::find(before.begin(), before.end(), f) == before.end()) written.push_back(f);
    files = written.size();
    peer += WritePlainly(home + "/peer/", written);
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    state.ResumeTiming();
  }
  const double ms = wall / runs, peer_ms = peer / runs;
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
  state.counters["store_ms"] = ms;
  state.counters["peer_ms"] = peer_ms;
  state.counters["ratio"] = ms / peer_ms;
  std::printf(
      "storing a memory of %zu bytes, kind %d: %.1f ms for %zu files; the same files written plainly with the "
      "same flushes: %.1f ms; ratio %.2f (goal: under 50 ms or within 1.2x) %s\n",
      stream.size(), kind, ms, files, peer_ms, ms / peer_ms, ms < 50 || ms / peer_ms <= 1.2 ? "met" : "MISSED");
}

BENCHMARK(BM_StoreMemory)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
