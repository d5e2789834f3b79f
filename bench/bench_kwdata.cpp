// Weekly data folders against plain file I/O in the same run: one year of one-minute records
// with four values (525,600 records in 53 weekly files) written by flushing a folder data set,
// then a one-week and a one-year window opened; the same bytes written with buffered stdio and
// read with plain reads into one buffer; the one-week window taken in turns with its plain read.
// Prints the ratios and the memory of an open window against its records' bytes.
// Under QV_BENCH_BRIEF two weeks of records stand in for the year.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datastore/channels.h"
#include "datastore/kw_data.h"
#include "datastore/kw_week.h"

namespace {

using namespace qv;
using Clock = std::chrono::steady_clock;

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

constexpr int Values = 4;

// The year starts on Monday 2 January 2006, the first day of ISO week 1.
struct Year {
  std::string dir;    // the folder data set's folder
  std::string plain;  // the folder of the plain files
  std::unique_ptr<TChannels> channels;
  std::string block;  // the channel block's bytes
  std::vector<TDtStamp> stamps;
  std::vector<std::pair<int32_t, std::string>> weeks;  // key, records' bytes
  int64_t record_bytes = 0;

  Year() {
    char pattern[] = "/tmp/qvbench-XXXXXX";
    dir = std::string(mkdtemp(pattern)) + "/";
    plain = dir + "plain/";
    std::filesystem::create_directories(plain);
    dir += "kw/";
    std::filesystem::create_directories(dir);
    channels = TChannels::CreateDefault();
    for (int i = 0; i < Values; ++i) channels->Add(std::make_unique<TChannel>(static_cast<uint8_t>(2 + i)));
    TMemoryStream b;
    channels->SaveToStream(b);
    block = b.Bytes();
    const int64_t minutes = Brief() ? 14 * 1440 : 365 * 1440;
    TDtRecord r(Values);
    TMemoryStream week;
    int32_t key = 0;
    for (int64_t i = 0; i < minutes; ++i) {
      TDtStamp s{static_cast<uint16_t>(DateToDayNo(2, 1, 2006) + i / 1440), static_cast<int32_t>(i % 1440 * 60)};
      stamps.push_back(s);
      int32_t k = KwKeyOfDayNo(s.Date);
      if (k != key && week.Size() > 0) {
        weeks.emplace_back(key, week.Bytes());
        week.Clear();
      }
      key = k;
      r.Date = s.Date;
      r.Time = s.Time;
      for (int v = 0; v < Values; ++v) r.SetValues(v, 20.0 + v + static_cast<double>(i % 600) / 10.0);
      r.SWrite(week);
    }
    weeks.emplace_back(key, week.Bytes());
    record_bytes = static_cast<int64_t>(stamps.size()) * r.Size();
  }
  ~Year() { std::filesystem::remove_all(std::filesystem::path(dir).parent_path().parent_path()); }
};

Year& TheYear() {
  static Year year;
  return year;
}

// Seconds per iteration of each measurement, for the ratios printed at the end.
std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> s;
  return s;
}
double MemoryRatio = 0;

void Note(benchmark::State& state, const std::string& name, double total) {
  Seconds()[name] = total / static_cast<double>(state.iterations());
}

void ClearFolder(const std::string& dir) {
  for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove(e.path());
}

int64_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return static_cast<int64_t>(m.uordblks + m.hblkhd);
}

// The year's records into a new buffer of the folder data set, as a memory read stores them.
void Insert(TKwData& kw) {
  TDtRecord r(Values);
  kw.NewBuffer();
  for (const auto& [key, bytes] : TheYear().weeks) {
    TMemoryStream m;
    m.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    m.SetPosition(0);
    while (m.Position() < m.Size()) {
      r.SRead(m);
      kw.InsertRecord(r);
    }
  }
}

void BM_KwWriteYear(benchmark::State& state) {
  Year& y = TheYear();
  TDtRecord rec(Values);
  double total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearFolder(y.dir);
    auto kw = std::make_unique<TKwData>(y.dir, y.channels.get(), &rec);
    Insert(*kw);
    state.ResumeTiming();
    auto t0 = Clock::now();
    if (kw->Flush() != drDone) state.SkipWithError("flush failed");
    total += std::chrono::duration<double>(Clock::now() - t0).count();
    state.PauseTiming();
    kw.reset();
    state.ResumeTiming();
  }
  Note(state, "kw_write", total);
  state.SetBytesProcessed(state.iterations() * y.record_bytes);
}

void PlainWrite(benchmark::State& state, bool durable) {
  Year& y = TheYear();
  double total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearFolder(y.plain);
    state.ResumeTiming();
    auto t0 = Clock::now();
    for (const auto& [key, bytes] : y.weeks) {
      std::string name = y.plain + KwFileNameOfKey(key);
      std::string temp = durable ? name + ".tmp" : name;
      FILE* f = std::fopen(temp.c_str(), "wb");
      std::fwrite(y.block.data(), 1, y.block.size(), f);
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      if (durable) {
        std::fflush(f);
        fsync(fileno(f));
      }
      std::fclose(f);
      if (durable) std::rename(temp.c_str(), name.c_str());
    }
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, durable ? "plain_write_sync" : "plain_write", total);
  state.SetBytesProcessed(state.iterations() * y.record_bytes);
}
void BM_PlainWriteYear(benchmark::State& state) { PlainWrite(state, false); }
void BM_PlainWriteYearFsync(benchmark::State& state) { PlainWrite(state, true); }

// Files are in place for the reads: the folder's from the write, the plain ones as well.
void EnsureFiles() {
  Year& y = TheYear();
  if (std::filesystem::is_empty(y.dir)) {
    TDtRecord rec(Values);
    TKwData kw(y.dir, y.channels.get(), &rec);
    Insert(kw);
    kw.Flush();
  }
  for (const auto& [key, bytes] : y.weeks) {
    std::string name = y.plain + KwFileNameOfKey(key);
    if (std::filesystem::exists(name)) continue;
    FILE* f = std::fopen(name.c_str(), "wb");
    std::fwrite(y.block.data(), 1, y.block.size(), f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

// The window: the ISO week in the middle of the data, or the whole year.
void Window(bool year, TDtStamp& start, TDtStamp& stop) {
  Year& y = TheYear();
  if (year) {
    start = y.stamps.front();
    stop = y.stamps.back();
    return;
  }
  start = TDtStamp{static_cast<uint16_t>(y.stamps.front().Date + (y.weeks.size() / 2) * 7), 0};
  stop = TDtStamp{static_cast<uint16_t>(start.Date + 6), 86399};
}

void KwOpen(benchmark::State& state, bool year) {
  EnsureFiles();
  Year& y = TheYear();
  TDtRecord rec(Values);
  TKwData kw(y.dir, y.channels.get(), &rec);
  TDtStamp start, stop;
  Window(year, start, stop);
  double total = 0;
  int64_t records = 0;
  for (auto _ : state) {
    state.PauseTiming();
    kw.FreeBuffer();
    int64_t before = HeapInUse();
    state.ResumeTiming();
    auto t0 = Clock::now();
    kw.OpenDT(start, stop, NoDtStamp, NoDtStamp);
    total += std::chrono::duration<double>(Clock::now() - t0).count();
    state.PauseTiming();
    records = kw.BufferSize() / rec.Size();
    if (year) MemoryRatio = static_cast<double>(HeapInUse() - before) / static_cast<double>(kw.BufferSize());
    state.ResumeTiming();
  }
  Note(state, year ? "kw_read_year" : "kw_read_week", total);
  state.counters["records"] = static_cast<double>(records);
  state.SetBytesProcessed(state.iterations() * records * rec.Size());
}
void BM_KwOpenYear(benchmark::State& state) { KwOpen(state, true); }

// The plain peer: the window's weekly files, each opened and measured, then read with one read
// call each into one buffer sized once for all of them, as the store sizes its buffer. Answers the
// bytes read.
size_t PlainReadOnce(const std::vector<std::string>& names) {
  std::vector<std::pair<int, size_t>> files;
  size_t bytes = 0;
  for (const std::string& name : names) {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      if (fd >= 0) ::close(fd);
      continue;
    }
    files.emplace_back(fd, static_cast<size_t>(st.st_size));
    bytes += static_cast<size_t>(st.st_size);
  }
  std::unique_ptr<char[]> data(new char[bytes]);
  size_t fill = 0;
  for (const auto& [fd, size] : files) {
    for (size_t done = 0; done < size;) {
      ssize_t n = ::read(fd, data.get() + fill + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    fill += size;
    ::close(fd);
  }
  benchmark::DoNotOptimize(data.get());
  return fill;
}

std::vector<std::string> PlainNames(bool year) {
  TDtStamp start, stop;
  Window(year, start, stop);
  std::vector<std::string> names;
  for (int32_t key : KwKeysOfDays(start.Date, stop.Date)) names.push_back(TheYear().plain + KwFileNameOfKey(key));
  return names;
}

void PlainRead(benchmark::State& state, bool year) {
  EnsureFiles();
  const std::vector<std::string> names = PlainNames(year);
  double total = 0;
  int64_t bytes_read = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    bytes_read = static_cast<int64_t>(PlainReadOnce(names));
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, year ? "plain_read_year" : "plain_read_week", total);
  state.SetBytesProcessed(state.iterations() * bytes_read);
}

// The one-week window and its plain peer taken in turns over warm repeats, so that both meet the
// same state of the machine; prints the minimum and the median of each and their ratios.
void WeekInterleaved() {
  EnsureFiles();
  Year& y = TheYear();
  TDtRecord rec(Values);
  TKwData kw(y.dir, y.channels.get(), &rec);
  TDtStamp start, stop;
  Window(false, start, stop);
  const std::vector<std::string> names = PlainNames(false);
  const int trials = Brief() ? 5 : 41;
  std::vector<double> ours, peer;
  for (int i = -2; i < trials; ++i) {  // two warm-up rounds
    kw.FreeBuffer();
    auto t0 = Clock::now();
    kw.OpenDT(start, stop, NoDtStamp, NoDtStamp);
    auto t1 = Clock::now();
    PlainReadOnce(names);
    auto t2 = Clock::now();
    if (i < 0) continue;
    ours.push_back(std::chrono::duration<double>(t1 - t0).count());
    peer.push_back(std::chrono::duration<double>(t2 - t1).count());
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double min_ours = *std::min_element(ours.begin(), ours.end());
  const double min_peer = *std::min_element(peer.begin(), peer.end());
  std::printf(
      "one-week window, %d interleaved trials: window min %.3f ms median %.3f ms, plain read min %.3f ms "
      "median %.3f ms\n",
      trials, min_ours * 1e3, median(ours) * 1e3, min_peer * 1e3, median(peer) * 1e3);
  for (const auto& [what, ratio] :
       {std::pair{"open a one-week window / plain read (min)", min_ours / min_peer},
        std::pair{"open a one-week window / plain read (median)", median(ours) / median(peer)}})
    std::printf("%-44s %6.2fx  (goal 2.0x)%s\n", what, ratio, ratio <= 2 ? "" : "  over the goal");
}

void BM_PlainReadYear(benchmark::State& state) { PlainRead(state, true); }

void Register() {
  const int iterations = Brief() ? 1 : 5;
  benchmark::RegisterBenchmark("BM_KwWriteYear", BM_KwWriteYear)->Iterations(iterations)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_PlainWriteYear", BM_PlainWriteYear)
      ->Iterations(iterations)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_PlainWriteYearFsync", BM_PlainWriteYearFsync)
      ->Iterations(iterations)
      ->Unit(benchmark::kMillisecond);
  using Fn = void (*)(benchmark::State&);
  const std::pair<const char*, Fn> reads[] = {{"BM_KwOpenYear", BM_KwOpenYear}, {"BM_PlainReadYear", BM_PlainReadYear}};
  for (const auto& [name, fn] : reads) {
    benchmark::RegisterBenchmark(name, fn)->Iterations(iterations * 4)->Unit(benchmark::kMillisecond);
  }
}

void PrintRatio(const char* what, const char* a, const char* b, double goal) {
  auto& s = Seconds();
  if (!s.count(a) || !s.count(b) || s[b] <= 0) return;
  double ratio = s[a] / s[b];
  std::printf("%-44s %6.2fx  (goal %.1fx)%s\n", what, ratio, goal, ratio <= goal ? "" : "  over the goal");
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatio("write a year / plain buffered write", "kw_write", "plain_write", 3);
  PrintRatio("write a year / plain write with fsync", "kw_write", "plain_write_sync", 3);
  PrintRatio("open a one-year window / plain read", "kw_read_year", "plain_read_year", 2);
  WeekInterleaved();
  if (MemoryRatio > 0) {
    std::printf("%-44s %6.2fx  (goal 1.5x)%s\n", "memory of the open year / its records' bytes", MemoryRatio,
                MemoryRatio <= 1.5 ? "" : "  over the goal");
  }
  benchmark::Shutdown();
  return 0;
}
