// The merged view and the text export against plain work in the same run. Merge: four data sets
// of a year of one-minute records (two values each, equal stamps) rebuilt into one view, against
// one pass over the four sets' records with the same reading operations. Export: the same year
// from four weekly data folders written as text, against the same rows built with std::to_chars
// and written with the same fsyncs, rename and folder fsync. Prints the ratios.
// Under QV_BENCH_BRIEF two weeks of records stand in for the year.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
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

// The peer: the same rows built with std::to_chars into one buffer and written as the export
// writes its file: 64 KiB blocks into a temporary file, fsync, rename, fsync of the folder.
void BM_ToCharsRowsSameDurability(benchmark::State& state) {
  Folders& f = TheFolders();
  if (f.exported.empty()) {
    state.SkipWithError("the export ran first");
    return;
  }
  // The header rows as the export wrote them (up to its data line); the rows are built.
  const size_t data_line = f.exported.find("gci_Data\r\n");
  const std::string header = data_line == std::string::npos ? "" : f.exported.substr(0, data_line + 10);
  const int width = f.channels->GetValueChannel(0)->ColumnChars();
  const std::string name = f.root + "peer.txt";
  const std::string temp = f.root + ".peer.tmp";
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::string out;
    out.reserve(1 << 17);
    out = header;
    auto flush = [&](bool all) {
      if (out.size() < (1u << 16) && !all) return;
      if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) std::abort();
      out.clear();
    };
    auto two = [&](unsigned v) {
      out += static_cast<char>('0' + v / 10);
      out += static_cast<char>('0' + v % 10);
    };
    uint16_t day = NoDayNo, d = 0, m = 0, y = 0;
    char digits[32];
    for (int64_t i = 0; i < Minutes(); ++i) {
      const TDtStamp t = StampOf(i);
      if (t.Date != day) {
        DayNoToDate(t.Date, d, m, y);
        day = t.Date;
      }
      two(d);
      out += '.';
      two(m);
      out += '.';
      out += std::to_string(y);
      out += '\t';
      two(static_cast<unsigned>(t.Time / 3600));
      out += ':';
      two(static_cast<unsigned>(t.Time / 60 % 60));
      out += ':';
      two(static_cast<unsigned>(t.Time % 60));
      for (int set = 0; set < Sets; ++set)
        for (int v = 0; v < Values; ++v) {
          out += '\t';
          char* end =
              std::to_chars(digits, digits + sizeof digits, ValueOf(set, v, i), std::chars_format::fixed, 1).ptr;
          out.append(static_cast<size_t>(std::max<int64_t>(width - (end - digits), 0)), ' ');
          out.append(digits, end);
        }
      out += "\r\n";
      flush(false);
    }
    flush(true);
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temp.c_str(), name.c_str()) != 0) std::abort();
    int dir = ::open(f.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, "to_chars_rows", total);
  std::ifstream in(name, std::ios::binary);
  std::stringstream peer;
  peer << in.rdbuf();
  if (peer.str() != f.exported) state.SkipWithError("the peer's rows differ from the export's");
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
  // The export runs before its peer, whose rows are checked against its bytes.
  const std::pair<const char*, Fn> benches[] = {{"BM_MergeFourSets", BM_MergeFourSets},
                                                {"BM_PassOverFourSets", BM_PassOverFourSets},
                                                {"BM_ExportYear", BM_ExportYear},
                                                {"BM_ToCharsRowsSameDurability", BM_ToCharsRowsSameDurability}};
  for (const auto& [name, fn] : benches)
    benchmark::RegisterBenchmark(name, fn)->Iterations(iterations)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto& s = Seconds();
  if (s.count("merge") && s.count("pass"))
    PrintRatio("merge four sets / one pass over their records", s["merge"], s["pass"], 2);
  if (s.count("export") && s.count("to_chars_rows"))
    PrintRatio("export a year / to_chars rows, same fsyncs and rename", s["export"], s["to_chars_rows"], 1.5);
  benchmark::Shutdown();
  return 0;
}
