// The audit-trail viewer on long trails (100,000 and 1,000,000 events, one a minute; a tenth of
// that with QV_BENCH_BRIEF): turning to any page once the trail is open, against reading that
// page's lines from the file and deciphering them plus one stepped search (goal: under 20 ms and
// the same at both lengths); opening on the last page (one pass learns where the lines lie)
// against reading the file once; a one-day range against one filtering pass over the file (every
// line's time deciphered).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "archive/archive_globals.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_encoding.h"

namespace qv {
namespace {

const TDateTime Start = EncodeDate(2026, 1, 1);

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }
int Small() { return Brief() ? 10000 : 100000; }
int Large() { return Brief() ? 100000 : 1000000; }

// A trail file of count events, with the offsets of its lines for the peers.
class Trail {
public:
  explicit Trail(int count) : count_(count) {
    char pattern[] = "/tmp/qvbench-viewer-XXXXXX";
    dir_ = std::string(mkdtemp(pattern)) + "/";
    std::string bytes;
    for (int i = 0; i < count; ++i) {
      TDY_AuditEvent event(TAuditKind::DeviceAlarmStart, Start + i / 1440.0, "Cellar 7",
                           "Channel 1: 9.5 above the alarm limit 8.0 (" + std::to_string(i) + ")", 2, "");
      starts_.push_back(bytes.size());
      bytes += ArchiveCrypt().Encrypt(Utf8ToCp1252(AuditLineText(event))) + "\r\n";
    }
    starts_.push_back(bytes.size());
    WriteFileAtomic(File(), bytes);
  }
  ~Trail() { std::filesystem::remove_all(dir_); }
  std::string File() const { return dir_ + "AuditLog.dat"; }
  int Count() const { return count_; }
  // The bytes of lines first..last, read with one pread, as the lines they hold.
  std::vector<std::string> ReadLines(int first, int last) const {
    const size_t from = starts_[static_cast<size_t>(first)];
    const size_t to = starts_[static_cast<size_t>(last) + 1];
    std::string bytes(to - from, '\0');
    const int fd = ::open(File().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 ||
        ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(from)) != static_cast<ssize_t>(bytes.size()))
      std::abort();
    ::close(fd);
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) {
      const size_t a = starts_[static_cast<size_t>(i)] - from;
      const size_t b = starts_[static_cast<size_t>(i) + 1] - from - 2;
      lines.emplace_back(bytes, a, b - a);
    }
    return lines;
  }

private:
  int count_;
  std::string dir_;
  std::vector<size_t> starts_;
};

const Trail& TrailOf(int count) {
  static std::map<int, std::unique_ptr<Trail>> trails;
  auto& t = trails[count];
  if (!t) t = std::make_unique<Trail>(count);
  return *t;
}

// Page ends spread over the whole trail.
int PageEnd(int iteration, int count) {
  return static_cast<int>((static_cast<int64_t>(iteration) * 7919 + 499) % count);
}

void BM_ViewerTurnPage(benchmark::State& state) {
  const Trail& trail = TrailOf(static_cast<int>(state.range(0)));
  TDY_AuditManager manager;
  int first = 0, last = -1;
  std::vector<std::string> lines;
  manager.ReadPage(trail.File(), 500, lines, first, last);  // the viewer is open
  int i = 0;
  for (auto _ : state) {
    lines.clear();
    last = PageEnd(++i, trail.Count());
    manager.ReadPage(trail.File(), 500, lines, first, last);
    benchmark::DoNotOptimize(lines.data());
  }
}

// The page's lines read and shown, plus one stepped search for a time over lines in memory.
void BM_PagePeer(benchmark::State& state) {
  const Trail& trail = TrailOf(static_cast<int>(state.range(0)));
  const std::vector<std::string> all = trail.ReadLines(0, trail.Count() - 1);
  int i = 0;
  for (auto _ : state) {
    const int last = PageEnd(++i, trail.Count());
    std::vector<std::string> shown;
    for (const std::string& line : trail.ReadLines(std::max(0, last - 500), last)) {
      TDY_AuditEvent event;
      ParseAuditLine(Cp1252ToUtf8(ArchiveCrypt().Decrypt(line)), event);
      shown.push_back(event.DisplayText());
    }
    benchmark::DoNotOptimize(FindFirstLineAt(all, Start + last / 1440.0));
    benchmark::DoNotOptimize(shown.data());
  }
}

void BM_ViewerOpenLastPage(benchmark::State& state) {
  const Trail& trail = TrailOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TDY_AuditManager manager;
    std::vector<std::string> lines;
    int first = 0, last = -1;
    manager.ReadPage(trail.File(), 500, lines, first, last);
    benchmark::DoNotOptimize(lines.data());
  }
}

void BM_PlainPass(benchmark::State& state) {
  const Trail& trail = TrailOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const std::string bytes = ReadFileBytes(trail.File());
    benchmark::DoNotOptimize(bytes.data());
  }
}

// A filter's pass: every line of the file read and its time deciphered.
void BM_FilterPass(benchmark::State& state) {
  const Trail& trail = TrailOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    int in_day = 0;
    for (const std::string& line : ReadAuditFileLines(trail.File())) {
      TDateTime t = 0;
      in_day += AuditLineTime(line, t) && t >= Start + 1 && t < Start + 2;
    }
    benchmark::DoNotOptimize(in_day);
  }
}

void BM_ViewerOneDay(benchmark::State& state) {
  const Trail& trail = TrailOf(static_cast<int>(state.range(0)));
  TDY_AuditManager manager;
  std::vector<std::string> lines;
  int first = 0, last = -1, count = 0;
  manager.ReadPage(trail.File(), 500, lines, first, last);
  const TDateTime day = Start + std::floor(trail.Count() / 1440.0 / 2);
  for (auto _ : state) {
    lines.clear();
    manager.ReadRange(trail.File(), count, lines, first, last, day + 1, day);
    benchmark::DoNotOptimize(lines.data());
  }
}

BENCHMARK(BM_ViewerTurnPage)->Arg(Small())->Arg(Large())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagePeer)->Arg(Small())->Arg(Large())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerOpenLastPage)->Arg(Small())->Arg(Large())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPass)->Arg(Small())->Arg(Large())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterPass)->Arg(Small())->Arg(Large())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerOneDay)->Arg(Small())->Arg(Large())->Unit(benchmark::kMillisecond);

// Keeps the real time per iteration of every run for the ratios printed at the end.
class Reporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) ms[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Of(const std::string& name, int arg) const {
    auto it = ms.find(name + "/" + std::to_string(arg));
    return it == ms.end() ? 0 : it->second;
  }
  std::map<std::string, double> ms;
};

void PrintRatio(const std::string& what, double ours, double peer, const char* goal) {
  std::printf("%-52s %10.3f ms %10.3f ms  ratio %6.2f  (goal %s)\n", what.c_str(), ours, peer,
              peer > 0 ? ours / peer : 0.0, goal);
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  qv::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  using qv::Large;
  using qv::Small;
  for (int n : {Small(), Large()}) {
    const std::string events = " (" + std::to_string(n) + " events)";
    qv::PrintRatio("turn a page / page lines + one search" + events, reporter.Of("BM_ViewerTurnPage", n),
                   reporter.Of("BM_PagePeer", n), "within 1.5x, under 20 ms");
    qv::PrintRatio("open on the last page / reading the file once" + events, reporter.Of("BM_ViewerOpenLastPage", n),
                   reporter.Of("BM_PlainPass", n), "none; the page costs extra");
    qv::PrintRatio("one-day range / one filtering pass" + events, reporter.Of("BM_ViewerOneDay", n),
                   reporter.Of("BM_FilterPass", n), "within 1x");
  }
  qv::PrintRatio("turn a page: long trail / short trail", reporter.Of("BM_ViewerTurnPage", Large()),
                 reporter.Of("BM_ViewerTurnPage", Small()), "about 1x");
  benchmark::Shutdown();
  return 0;
}
