// Inserting records into a time-ordered data set: N records in ascending time (the recorder and
// the memory read-out), which must stay linear in N, and records out of order into a filled set.
// Prints the nanoseconds per record and the growth ratio between N and 10 N.
// The store's write: a year of one-minute records of four values flushed into an empty folder of
// weekly files, against plain writes of the same files' bytes with the same fsync per file and
// the one fsync of the folder. Prints the ratio (goal 1.5x).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/dt_data.h"
#include "datastore/kw_data.h"

namespace {

using namespace qv;

class TBenchData : public TDtData {
public:
  explicit TBenchData(TRecord* rec) : TDtData("", rec) {}
  int32_t WriteData() override { return drDone; }
  int32_t ReadData() override { return drDone; }
  std::string DefineIdent() override { return "bench"; }
  std::string GetName() override { return "bench"; }
  std::string GetSName() override { return "bench"; }
  bool NoData() override { return BufferSize() == 0; }
};

// Record i lies 2 i seconds after midnight of day 40000 and the days after it.
void SetStamp(TDtRecord& r, int64_t i) {
  r.Date = static_cast<uint16_t>(40000 + (2 * i) / 86400);
  r.Time = static_cast<int32_t>((2 * i) % 86400);
}

void Fill(TBenchData& data, TDtRecord& r, int64_t n) {
  data.NewBuffer();
  for (int64_t i = 0; i < n; ++i) {
    SetStamp(r, i);
    r.SetValues(0, static_cast<double>(i % 1000));
    data.InsertRecord(r);
  }
}

void BM_InsertAscending(benchmark::State& state) {
  const int64_t n = state.range(0);
  TDtRecord rec(4), r(4);
  for (int v = 0; v < 4; ++v) r.SetValues(v, 20.5 + v);
  TBenchData data(&rec);
  for (auto _ : state) {
    Fill(data, r, n);
    benchmark::DoNotOptimize(data.BufferSize());
    state.PauseTiming();
    data.FreeBuffer();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["ns_per_record"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Records between the stored ones (odd seconds) at random places of a set of N records.
void BM_InsertOutOfOrder(benchmark::State& state) {
  const int64_t n = state.range(0);
  constexpr int kInserts = 200;
  TDtRecord rec(4), r(4);
  for (int v = 0; v < 4; ++v) r.SetValues(v, 1.5 + v);
  TBenchData data(&rec);
  data.Flags = dfPermitInsert;
  std::mt19937 random(11);
  for (auto _ : state) {
    state.PauseTiming();
    Fill(data, r, n);
    state.ResumeTiming();
    for (int k = 0; k < kInserts; ++k) {
      int64_t i = static_cast<int64_t>(random() % static_cast<uint32_t>(n));
      SetStamp(r, i);
      r.Time += 1;
      data.InsertRecord(r);
    }
    benchmark::DoNotOptimize(data.BufferSize());
  }
  state.SetItemsProcessed(state.iterations() * kInserts);
  state.counters["ns_per_record"] = benchmark::Counter(
      static_cast<double>(kInserts), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A year of one-minute records (two weeks under QV_BENCH_BRIEF) and the folder they are written to.
struct TYearFolder {
  static constexpr int Values = 4;
  std::string root;
  std::unique_ptr<TChannels> channels = TChannels::CreateDefault();
  TDtRecord rec{Values};
  std::vector<std::pair<std::string, std::string>> files;  // name and bytes as the store wrote them
  int64_t records = 0;

  TYearFolder() {
    char pattern[] = "/var/tmp/qvbench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    root = std::string(pattern) + "/";
    for (int i = 0; i < Values; ++i) channels->Add(std::make_unique<TChannel>(static_cast<uint8_t>(2 + i)));
    records = std::getenv("QV_BENCH_BRIEF") ? 14 * 1440 : 365 * 1440;
  }
  ~TYearFolder() { std::filesystem::remove_all(root); }

  std::string Dir(int n) const { return root + "S" + std::to_string(n) + "/"; }

  // A data set over a new empty folder with the year in its buffer, not yet written.
  std::unique_ptr<TKwData> Filled(int n) {
    std::filesystem::create_directories(Dir(n));
    auto data = std::make_unique<TKwData>(Dir(n), channels.get(), &rec);
    TDataLock lock(*data);
    data->NewBuffer();
    TDtRecord r(Values);
    for (int64_t i = 0; i < records; ++i) {
      r.Date = static_cast<uint16_t>(40000 + i / 1440);
      r.Time = static_cast<int32_t>(i % 1440 * 60);
      for (int v = 0; v < Values; ++v) r.SetValues(v, 20 + v + static_cast<double>(i % 500) / 10);
      data->InsertRecord(r);
    }
    return data;
  }

  // The files of folder n as the store wrote them.
  void Keep(int n) {
    files.clear();
    for (const auto& e : std::filesystem::directory_iterator(Dir(n))) {
      std::ifstream in(e.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      files.emplace_back(e.path().filename().string(), bytes.str());
    }
    std::sort(files.begin(), files.end());
  }
};

TYearFolder& Year() {
  static TYearFolder y;
  return y;
}

std::map<std::string, std::vector<double>>& WriteSeconds() {
  static std::map<std::string, std::vector<double>> s;
  return s;
}

void BM_StoreWriteYear(benchmark::State& state) {
  TYearFolder& y = Year();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<TKwData> data = y.Filled(++n);
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    if (data->Flush() != drDone) state.SkipWithError("the store's write failed");
    WriteSeconds()["store"].push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    state.PauseTiming();
    if (y.files.empty()) y.Keep(n);
    data.reset();
    std::filesystem::remove_all(y.Dir(n));
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(y.files.size());
}

// The peer: the same files' bytes written plainly, an fsync per file and one of the folder.
void BM_PlainWriteYear(benchmark::State& state) {
  TYearFolder& y = Year();
  if (y.files.empty()) {
    state.SkipWithError("the store's write ran first");
    return;
  }
  int n = 1000;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = y.Dir(++n);
    std::filesystem::create_directories(dir);
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& [name, bytes] : y.files) {
      const int fd = ::open((dir + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || ::fsync(fd) != 0 ||
          ::close(fd) != 0)
        std::abort();
    }
    const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(folder);
    ::close(folder);
    WriteSeconds()["plain"].push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    state.PauseTiming();
    std::filesystem::remove_all(dir);
    state.ResumeTiming();
  }
}

// Keeps the nanoseconds per record of every run for the growth table.
class Reporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, std::map<int64_t, double>> ns;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("ns_per_record");
      if (it == r.counters.end() || r.run_type != Run::RT_Iteration) continue;
      std::string name = r.run_name.function_name;
      int64_t n = std::atoll(r.run_name.args.c_str());
      ns[name][n] = it->second * 1e9;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const bool brief = std::getenv("QV_BENCH_BRIEF") != nullptr;
  const std::vector<int64_t> sizes =
      brief ? std::vector<int64_t>{10000, 100000} : std::vector<int64_t>{10000, 100000, 1000000};
  for (int64_t n : sizes) {
    benchmark::RegisterBenchmark("BM_InsertAscending", BM_InsertAscending)->Arg(n)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_InsertOutOfOrder", BM_InsertOutOfOrder)->Arg(n)->Unit(benchmark::kMillisecond);
  }
  // The store's write and its peer alternate, so that both meet the same disk.
  const int write_rounds = brief ? 2 : 8;
  for (int i = 0; i < write_rounds; ++i) {
    benchmark::RegisterBenchmark("BM_StoreWriteYear", BM_StoreWriteYear)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_PlainWriteYear", BM_PlainWriteYear)->Iterations(1)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-22s %10s %14s %16s\n", "", "N", "ns per record", "ratio to N/10");
  for (const auto& [name, by_n] : reporter.ns) {
    double previous = 0;
    for (const auto& [n, ns] : by_n) {
      if (previous > 0)
        std::printf("%-22s %10lld %14.1f %16.2f\n", name.c_str(), static_cast<long long>(n), ns, ns / previous);
      else
        std::printf("%-22s %10lld %14.1f %16s\n", name.c_str(), static_cast<long long>(n), ns, "-");
      previous = ns;
    }
  }
  auto& w = WriteSeconds();
  if (!w["store"].empty() && !w["plain"].empty()) {
    auto stats = [](std::vector<double> v) {
      std::sort(v.begin(), v.end());
      return std::pair<double, double>{v.front(), v[v.size() / 2]};
    };
    const auto [store_min, store_median] = stats(w["store"]);
    const auto [plain_min, plain_median] = stats(w["plain"]);
    std::printf("\nstore write of %zu weekly files: min %.1f ms, median %.1f ms\n", Year().files.size(),
                store_min * 1e3, store_median * 1e3);
    std::printf("plain writes, same fsyncs:        min %.1f ms, median %.1f ms\n", plain_min * 1e3, plain_median * 1e3);
    const double ratio = store_median / plain_median;
    std::printf("store write / plain writes: %.2fx by the median, %.2fx by the minimum (goal 1.5x)%s\n", ratio,
                store_min / plain_min, ratio <= 1.5 ? "" : "  over the goal");
  }
  return 0;
}
