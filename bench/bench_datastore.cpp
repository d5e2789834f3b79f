// Inserting records into a time-ordered data set: N records in ascending time (the recorder and
// the memory read-out), which must stay linear in N, and records out of order into a filled set.
// Prints the nanoseconds per record and the growth ratio between N and 10 N.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "datastore/dt_data.h"

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
  return 0;
}
