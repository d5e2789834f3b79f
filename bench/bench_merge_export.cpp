// The merged view and the text export against plain work in the same run. Merge: four data sets
// of a year of one-minute records (two values each, equal stamps) rebuilt into one view, against
// one pass over the four sets' records with the same reading operations. Export: the same year
// from four weekly data folders written as text, against writing the same bytes with buffered
// stdio plus formatting the same numbers alone. Prints the ratios.
// Under QV_BENCH_BRIEF two weeks of records stand in for the year.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/dt_stamp.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/global_channel.h"
#include "datastore/kw_data.h"
#include "platform/rtl/date_time.h"
#include "shell/export_modul.h"
#include "visual/data_view.h"

namespace {

using namespace qv;
using Clock = std::chrono::steady_clock;

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

constexpr int Sets = 4;
constexpr int Values = 2;

int64_t Minutes() { return Brief() ? 14 * 1440 : 365 * 1440; }
// Monday 2 January 2006 plus i minutes.
TDtStamp StampOf(int64_t i) {
  return TDtStamp{static_cast<uint16_t>(DateToDayNo(2, 1, 2006) + i / 1440), static_cast<int32_t>(i % 1440 * 60)};
}
double ValueOf(int set, int v, int64_t i) { return 10.0 * set + v + static_cast<double>(i % 600) / 10.0; }

std::unique_ptr<TChannels> MakeChannels() {
  auto c = TChannels::CreateDefault();
  for (int i = 0; i < Values; ++i) {
    auto ch = std::make_unique<TChannel>(static_cast<uint8_t>(2 + i));
    ch->SetDecimals(1);
    c->Add(std::move(ch));
  }
  return c;
}

// A data set whose records stay in memory.
class TMemSet : public TDtData {
public:
  explicit TMemSet(TDtRecord* rec) : TDtData("", rec) {}
  int32_t WriteData() override { return drDone; }
  int32_t ReadData() override { return drDone; }
  std::string DefineIdent() override { return "mem"; }
  std::string GetName() override { return "mem"; }
  std::string GetSName() override { return "mem"; }
  bool NoData() override { return BufferSize() == 0; }
};

void Fill(TDtData& data, int set) {
  TDtRecord r(Values);
  TDataLock lock(data);
  data.NewBuffer();
  for (int64_t i = 0; i < Minutes(); ++i) {
    const TDtStamp s = StampOf(i);
    r.Date = s.Date;
    r.Time = s.Time;
    for (int v = 0; v < Values; ++v) r.SetValues(v, ValueOf(set, v, i));
    data.InsertRecord(r);
  }
}

struct MemSets {
  std::unique_ptr<TChannels> channels = MakeChannels();
  std::vector<std::unique_ptr<TDtRecord>> recs;
  std::vector<std::unique_ptr<TMemSet>> sets;
  TGlobChanList list;
  MemSets() {
    for (int s = 0; s < Sets; ++s) {
      recs.push_back(std::make_unique<TDtRecord>(Values));
      sets.push_back(std::make_unique<TMemSet>(recs.back().get()));
      sets.back()->SetChannels(channels.get());
      Fill(*sets.back(), s);
    }
    for (int s = 0; s < Sets; ++s)
      for (int v = 0; v < Values; ++v)
        list.Add(std::make_unique<TGlobalChannel>(sets[s].get(), channels->GetValueChannel(v)));
  }
};

MemSets& TheMemSets() {
  static MemSets m;
  return m;
}

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> s;
  return s;
}
void Note(benchmark::State& state, const std::string& name, double total) {
  Seconds()[name] = total / static_cast<double>(state.iterations());
}

void BM_MergeFourSets(benchmark::State& state) {
  MemSets& m = TheMemSets();
  TDtRecord proto(Sets * Values);
  TDataView view(&proto);
  view.SetSourceRange(0);
  view.SetGlobChanList(&m.list);
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    view.Rebuild();
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  state.counters["rows"] = static_cast<double>(view.BufferSize() / proto.Size());
  Note(state, "merge", total);
}

// The peer: every record of the four sets read once, its values taken.
void BM_PassOverFourSets(benchmark::State& state) {
  MemSets& m = TheMemSets();
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    double sum = 0;
    for (auto& set : m.sets) {
      TDataLock lock(*set);
      set->SelectWindow(0);
      for (bool ok = set->First(); ok; ok = set->Next())
        for (int v = 0; v < Values; ++v) sum += set->DtRec()->GetValues(v);
    }
    benchmark::DoNotOptimize(sum);
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, "pass", total);
}

// Four weekly data folders of the same year, and the export's file.
struct Folders {
  std::string root;
  std::unique_ptr<TChannels> channels = MakeChannels();
  std::vector<std::unique_ptr<TDtRecord>> recs;
  std::vector<std::unique_ptr<TKwData>> sets;
  TChanSelList cells;
  std::string exported;  // the bytes of one export
  Folders() {
    char pattern[] = "/tmp/qvbench-XXXXXX";
    root = std::string(mkdtemp(pattern)) + "/";
    for (int s = 0; s < Sets; ++s) {
      const std::string dir = root + "S" + std::to_string(s) + "/";
      std::filesystem::create_directories(dir);
      recs.push_back(std::make_unique<TDtRecord>(Values));
      sets.push_back(std::make_unique<TKwData>(dir, channels.get(), recs.back().get()));
      Fill(*sets.back(), s);
      sets.back()->Flush();
      sets.back()->FreeBuffer();
      for (int v = 0; v < Values; ++v) cells.push_back({sets.back().get(), channels->GetValueChannel(v)});
    }
  }
  ~Folders() { std::filesystem::remove_all(root); }
};

Folders& TheFolders() {
  static Folders f;
  return f;
}

void BM_ExportYear(benchmark::State& state) {
  Folders& f = TheFolders();
  TTxtExpModul m;
  m.SetSources(&f.cells);
  m.SetRange(DtStampToDateTime(StampOf(0)), DtStampToDateTime(StampOf(Minutes() - 1)));
  m.FileName = f.root + "export.txt";
  m.DateFormat = "dd\".\"mm\".\"yyyy";
  m.TimeFormat = "hh\":\"nn\":\"ss";
  m.DecimalSeparator = '.';
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    m.Execute();
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  std::ifstream in(m.FileName, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  f.exported = s.str();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.exported.size()));
  state.counters["rows"] = static_cast<double>(std::count(f.exported.begin(), f.exported.end(), '\n'));
  Note(state, "export", total);
}

// The peers: the export's bytes written with buffered stdio, and the numbers formatted alone.
void BM_PlainWriteSameBytes(benchmark::State& state) {
  Folders& f = TheFolders();
  if (f.exported.empty()) {
    state.SkipWithError("the export ran first");
    return;
  }
  const std::string name = f.root + "plain.txt";
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    FILE* out = std::fopen(name.c_str(), "wb");
    // Row-sized writes, as a writer that formats row by row hands them over.
    const size_t row = f.exported.find('\n') + 1;
    for (size_t p = 0; p < f.exported.size(); p += row)
      std::fwrite(f.exported.data() + p, 1, std::min(row, f.exported.size() - p), out);
    std::fclose(out);
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, "plain_write", total);
}

void BM_FormatNumbersAlone(benchmark::State& state) {
  Folders& f = TheFolders();
  const TChannel& ch = *f.channels->GetValueChannel(0);
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    size_t chars = 0;
    for (int64_t i = 0; i < Minutes(); ++i)
      for (int s = 0; s < Sets; ++s)
        for (int v = 0; v < Values; ++v) chars += ch.ValueToColStr(ValueOf(s, v, i)).size();
    benchmark::DoNotOptimize(chars);
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, "format", total);
}

void PrintRatio(const char* what, double ours, double peer, double goal) {
  if (peer <= 0) return;
  const double ratio = ours / peer;
  std::printf("%-52s %6.2fx  (goal %.1fx)%s\n", what, ratio, goal, ratio <= goal ? "" : "  over the goal");
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = Brief() ? 1 : 3;
  using Fn = void (*)(benchmark::State&);
  // The export runs before its peers, which write its bytes.
  const std::pair<const char*, Fn> benches[] = {{"BM_MergeFourSets", BM_MergeFourSets},
                                                {"BM_PassOverFourSets", BM_PassOverFourSets},
                                                {"BM_ExportYear", BM_ExportYear},
                                                {"BM_PlainWriteSameBytes", BM_PlainWriteSameBytes},
                                                {"BM_FormatNumbersAlone", BM_FormatNumbersAlone}};
  for (const auto& [name, fn] : benches)
    benchmark::RegisterBenchmark(name, fn)->Iterations(iterations)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto& s = Seconds();
  if (s.count("merge") && s.count("pass"))
    PrintRatio("merge four sets / one pass over their records", s["merge"], s["pass"], 2);
  if (s.count("export") && s.count("plain_write") && s.count("format"))
    PrintRatio("export a year / plain write + number formatting", s["export"], s["plain_write"] + s["format"], 1.5);
  benchmark::Shutdown();
  return 0;
}
