// The merged view and the text export against plain work in the same run. Merge: four data sets
// of a year of one-minute records (two values each, equal stamps) rebuilt into one view, against
// a raw k-way merge of the sets' buffer bytes that builds the same rows into a buffer of the
// view's size; and 1 against 50 loggers of one value for the same 30 days of rows, whose ratio
// shows whether the merge grows linearly with the number of loggers. Export: the same year
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
#include <cstring>
#include <functional>
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

bool Brief() {
  static const bool brief = std::getenv("QV_BENCH_BRIEF") != nullptr;
  return brief;
}

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
  using TDtData::Buffer;
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

// sets data sets of values values each over minutes minutes, and a list with every value of each.
struct MemSets {
  std::unique_ptr<TChannels> channels = MakeChannels();
  std::vector<std::unique_ptr<TDtRecord>> recs;
  std::vector<std::unique_ptr<TMemSet>> sets;
  TGlobChanList list;
  explicit MemSets(int sets_n = Sets, int values = Values, int64_t minutes = Minutes()) {
    for (int s = 0; s < sets_n; ++s) {
      recs.push_back(std::make_unique<TDtRecord>(values));
      sets.push_back(std::make_unique<TMemSet>(recs.back().get()));
      sets.back()->SetChannels(channels.get());
      TDtRecord r(values);
      TDataLock lock(*sets.back());
      sets.back()->NewBuffer();
      for (int64_t i = 0; i < minutes; ++i) {
        const TDtStamp st = StampOf(i);
        r.Date = st.Date;
        r.Time = st.Time;
        for (int v = 0; v < values; ++v) r.SetValues(v, ValueOf(s, v, i));
        sets.back()->InsertRecord(r);
      }
    }
    for (int s = 0; s < sets_n; ++s)
      for (int v = 0; v < values; ++v)
        list.Add(std::make_unique<TGlobalChannel>(sets[s].get(), channels->GetValueChannel(v)));
  }
};

MemSets& TheMemSets() {
  static MemSets m;
  return m;
}

// The peer's own test for a missing value: a negative image with the top exponent whose
// magnitude reaches the missing value's.
bool PlainMissing(const uint8_t* v) {
  static const uint8_t image[6] = {0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0xE1};
  if (v[0] != 0xFF || !(v[5] & 0x80)) return false;
  for (int i = 5; i >= 1; --i) {
    const int a = v[i] & (i == 5 ? 0x7F : 0xFF), b = image[i] & (i == 5 ? 0x7F : 0xFF);
    if (a != b) return a > b;
  }
  return true;
}

// The raw k-way merge: the sets' record images taken from their buffers by a heap on (stamp, set
// order); a row per stamp at which some set has a valid value, each set's values copied into
// their columns, written into out (of the view's size). Answers the bytes written.
int64_t RawMerge(MemSets& m, uint8_t* out) {
  struct Src {
    const uint8_t* p;
    const uint8_t* end;
    int64_t size;
    int values;
    int first_column;
  };
  std::vector<Src> src;
  int columns = 0;
  for (auto& set : m.sets) {
    const int values = set->DtRec()->ValueCount();
    const uint8_t* p = set->Buffer()->Memory();
    src.push_back({p, p + set->BufferSize(), 12 + 6 * values, values, columns});
    columns += values;
  }
  auto key = [](const uint8_t* p) {
    uint16_t date;
    uint32_t time;
    std::memcpy(&date, p, 2);
    std::memcpy(&time, p + 6, 4);
    return uint64_t{date} << 32 | (time ^ 0x80000000u);
  };
  struct Entry {
    uint64_t key;
    uint32_t order;
    bool operator>(const Entry& o) const { return key != o.key ? key > o.key : order > o.order; }
  };
  std::vector<Entry> heap;
  for (size_t i = 0; i < src.size(); ++i)
    if (src[i].p < src[i].end) heap.push_back({key(src[i].p), static_cast<uint32_t>(i)});
  std::make_heap(heap.begin(), heap.end(), std::greater<>());
  static const uint8_t missing[6] = {0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0xE1};
  const int64_t row_size = 12 + 6 * columns;
  uint8_t* row = nullptr;
  uint64_t row_key = 0;
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), std::greater<>());
    Entry& e = heap.back();
    Src& s = src[e.order];
    const uint8_t* r = s.p;
    bool valid = false;
    for (int v = 0; v < s.values && !valid; ++v) valid = !PlainMissing(r + 12 + 6 * v);
    if (valid) {
      if (!row || e.key != row_key) {
        row = row ? row + row_size : out;
        std::memcpy(row, r, 12);
        std::memset(row + 2, 0, 4);
        std::memset(row + 10, 0, 2);
        for (int c = 0; c < columns; ++c) std::memcpy(row + 12 + 6 * c, missing, 6);
        row_key = e.key;
      }
      for (int v = 0; v < s.values; ++v) {
        uint8_t* cell = row + 12 + 6 * (s.first_column + v);
        if (PlainMissing(cell) && !PlainMissing(r + 12 + 6 * v)) std::memcpy(cell, r + 12 + 6 * v, 6);
      }
    }
    s.p += s.size;
    if (s.p < s.end) {
      e.key = key(s.p);
      std::push_heap(heap.begin(), heap.end(), std::greater<>());
    } else {
      heap.pop_back();
    }
  }
  return row ? row + row_size - out : 0;
}

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> s;
  return s;
}
void Note(benchmark::State& state, const std::string& name, double total) {
  Seconds()[name] = total / static_cast<double>(state.iterations());
}

// Rebuilds a view over m's list; the seconds of one rebuild go to name.
void MergeView(benchmark::State& state, MemSets& m, const std::string& name) {
  TDtRecord proto(m.list.Count());
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
  Note(state, name, total);
}

void BM_MergeFourSets(benchmark::State& state) { MergeView(state, TheMemSets(), "merge"); }

int64_t FourSetRowSize() { return 12 + 6 * Sets * Values; }

// The peer: the raw k-way merge into a buffer of the view's size, allocated as the view's is.
void BM_RawMergeFourSets(benchmark::State& state) {
  MemSets& m = TheMemSets();
  double total = 0;
  int64_t written = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    std::unique_ptr<uint8_t[]> out(new uint8_t[static_cast<size_t>(Minutes() * FourSetRowSize())]);
    written = RawMerge(m, out.get());
    benchmark::DoNotOptimize(out.get());
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  state.counters["rows"] = static_cast<double>(written / FourSetRowSize());
  Note(state, "raw_merge", total);
}

// Whether the peer's rows are the view's, byte for byte.
bool SameRowsAsTheView() {
  MemSets& m = TheMemSets();
  TDtRecord proto(m.list.Count());
  TDataView view(&proto);
  view.SetSourceRange(0);
  view.SetGlobChanList(&m.list);
  std::vector<uint8_t> out(static_cast<size_t>(Minutes() * FourSetRowSize()));
  if (RawMerge(m, out.data()) != view.BufferSize()) return false;
  TDataLock lock(view);
  view.SelectWindow(0);
  std::vector<uint8_t> row(static_cast<size_t>(FourSetRowSize()));
  int64_t at = 0;
  for (bool ok = view.First(); ok; ok = view.Next(), at += FourSetRowSize()) {
    view.DtRec()->PutBytes(row.data());
    if (std::memcmp(row.data(), out.data() + at, row.size()) != 0) return false;
  }
  return at == view.BufferSize();
}

// 1 and 50 loggers of one value over the same 30 days: the same rows, 50 times the records.
int64_t LoggerMinutes() { return Brief() ? 2 * 1440 : 30 * 1440; }
void BM_MergeLoggers(benchmark::State& state) {
  const int loggers = static_cast<int>(state.range(0));
  MemSets m(loggers, 1, LoggerMinutes());
  MergeView(state, m, "loggers" + std::to_string(loggers));
}
// The same growth for the raw merge, to tell the merge's own growth from that of the work.
void BM_RawMergeLoggers(benchmark::State& state) {
  const int loggers = static_cast<int>(state.range(0));
  MemSets m(loggers, 1, LoggerMinutes());
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    std::unique_ptr<uint8_t[]> out(new uint8_t[static_cast<size_t>(LoggerMinutes() * (12 + 6 * loggers))]);
    benchmark::DoNotOptimize(RawMerge(m, out.get()));
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, "raw_loggers" + std::to_string(loggers), total);
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
                                                {"BM_RawMergeFourSets", BM_RawMergeFourSets},
                                                {"BM_ExportYear", BM_ExportYear},
                                                {"BM_ToCharsRowsSameDurability", BM_ToCharsRowsSameDurability}};
  // The merges take a fraction of a second: more repeats, so that the first rebuild's cold
  // buffer does not decide their ratios.
  const int merge_iterations = Brief() ? 1 : 20;
  for (const auto& [name, fn] : benches)
    benchmark::RegisterBenchmark(name, fn)
        ->Iterations(std::string(name).find("Merge") != std::string::npos ? merge_iterations : iterations)
        ->Unit(benchmark::kMillisecond);
  for (int loggers : {1, 50}) {
    benchmark::RegisterBenchmark("BM_MergeLoggers", BM_MergeLoggers)
        ->Arg(loggers)
        ->Iterations(merge_iterations)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RawMergeLoggers", BM_RawMergeLoggers)
        ->Arg(loggers)
        ->Iterations(merge_iterations)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto& s = Seconds();
  if (s.count("merge") && s.count("raw_merge")) {
    std::printf("raw merge builds the view's rows: %s\n", SameRowsAsTheView() ? "yes" : "NO");
    PrintRatio("merge four sets / raw k-way merge of the same rows", s["merge"], s["raw_merge"], 2);
  }
  if (s.count("loggers1") && s.count("loggers50"))
    PrintRatio("merge 50 loggers / 1 logger, same rows", s["loggers50"], s["loggers1"], 50);
  if (s.count("raw_loggers1") && s.count("raw_loggers50"))
    std::printf("%-52s %6.2fx  (for comparison: the raw merge's own growth)\n", "raw merge 50 loggers / 1 logger",
                s["raw_loggers50"] / s["raw_loggers1"]);
  if (s.count("loggers50") && s.count("raw_loggers50"))
    std::printf("%-52s %6.2fx\n", "merge 50 loggers / raw merge 50 loggers", s["loggers50"] / s["raw_loggers50"]);
  if (s.count("export") && s.count("to_chars_rows"))
    PrintRatio("export a year / to_chars rows, same fsyncs and rename", s["export"], s["to_chars_rows"], 1.5);
  benchmark::Shutdown();
  return 0;
}
