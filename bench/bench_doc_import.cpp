// The archive's data import against the merged view alone in the same run: a year of one-minute
// records of a logger with four channels, stored in its weekly data files, imported into a
// document's data rows, against a private copy of the same data set opened over the same range
// and merged into a view of the same four channels. Prints the ratio.
// Under QV_BENCH_BRIEF two weeks of records stand in for the year.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "archive/dy_data_import.h"
#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/global_channel.h"
#include "datastore/kw_data.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "visual/data_view.h"

namespace {

using namespace qv;
using Clock = std::chrono::steady_clock;

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

constexpr int Values = 4;

int64_t Minutes() { return Brief() ? 14 * 1440 : 365 * 1440; }
// Monday 2 January 2006 plus i minutes.
TDtStamp StampOf(int64_t i) {
  return TDtStamp{static_cast<uint16_t>(DateToDayNo(2, 1, 2006) + i / 1440), static_cast<int32_t>(i % 1440 * 60)};
}
double ValueOf(int v, int64_t i) { return 10.0 * v + static_cast<double>(i % 600) / 10.0; }

// A program folder whose device tree holds one logger with the year in its weekly files.
struct Tree {
  std::string home;
  std::unique_ptr<TDbShell> shell;
  TDevice* logger = nullptr;
  TDY_ChannelList channels;
  Tree() {
    char pattern[] = "/tmp/qvbench-XXXXXX";
    home = std::string(mkdtemp(pattern)) + "/";
    ExePath = home;
    IniFileName = home + "quarvel.INI";
    shell = std::make_unique<TDbShell>();
    DbShell = shell.get();
    auto list = TChannels::CreateDefault();
    for (int v = 0; v < Values; ++v)
      list->Add(TChannel::CreateWith(list->NewKey(), 0, 1, 1, 100, 0, 100, 0, "C", "T" + std::to_string(v),
                                     "Temperature " + std::to_string(v)));
    auto node = TDevice::Create(shell->Root(), std::move(list));
    node->SetId(1);
    node->SetLoggerId(7);
    node->SetName("Logger");
    if (!node->SetUpDevice()) std::abort();
    logger = node.release();
    auto* data = static_cast<TKwData*>(logger->Data());
    data->OpenDT(StampOf(0), StampOf(Minutes() - 1), NoDtStamp, NoDtStamp);
    {
      TDataLock lock(*data);
      TDtRecord r(Values);
      for (int64_t i = 0; i < Minutes(); ++i) {
        const TDtStamp s = StampOf(i);
        r.Date = s.Date;
        r.Time = s.Time;
        for (int v = 0; v < Values; ++v) r.SetValues(v, ValueOf(v, i));
        data->InsertRecord(r);
      }
    }
    if (data->Flush() != drDone) std::abort();
    data->FreeBuffer();
    TDY_DataImport importer;
    for (const ChannelCell& cell : TDY_DataImport::TotalCells()) {
      auto channel = std::make_unique<TDY_Channel>();
      channel->ChannelID = importer.ChannelPosition(cell);
      importer.CopyChannel(&cell, channel.get());
      channels.Add(std::move(channel));
    }
  }
  ~Tree() {
    DbShell = nullptr;
    shell.reset();
    std::filesystem::remove_all(home);
  }
};

Tree& TheTree() {
  static Tree t;
  return t;
}

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> s;
  return s;
}

void BM_ImportYear(benchmark::State& state) {
  Tree& t = TheTree();
  double total = 0;
  int rows = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    TDY_DataImport importer;
    TDY_DataList data;
    rows =
        importer.ImportData(t.channels, data, DtStampToDateTime(StampOf(0)), DtStampToDateTime(StampOf(Minutes() - 1)));
    benchmark::DoNotOptimize(data.Count());
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  if (rows != Values * Minutes()) state.SkipWithError("the import missed rows");
  state.counters["rows"] = rows;
  Seconds()["import"] = total / static_cast<double>(state.iterations());
}

// The peer: the merged view alone, built as the import builds it, over the same range.
void BM_MergedViewYear(benchmark::State& state) {
  Tree& t = TheTree();
  auto* source = static_cast<TKwData*>(t.logger->Data());
  double total = 0;
  int64_t rows = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    TDtRecord rec(Values);
    TKwData copy(source->Path, source->Channels(), &rec);
    copy.NoIdent = true;
    copy.AddClient(&copy, DataEventBit(deKeepBuffer), nullptr);
    TGlobChanList list;
    for (int v = 0; v < Values; ++v)
      list.Add(std::make_unique<TGlobalChannel>(&copy, source->Channels()->GetValueChannel(v)));
    TDtRecord row(Values);
    TDataView view(&row);
    view.SetSourceRange(1);
    view.SkipEmptyRows = true;
    view.SetGlobChanList(&list);
    view.FreeBuffer();
    copy.WithEdges1 = false;
    copy.OpenDT(StampOf(0), StampOf(Minutes() - 1), NoDtStamp, NoDtStamp);
    view.Rebuild();
    rows = view.RecordCount();
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  if (rows != Minutes()) state.SkipWithError("the view missed rows");
  Seconds()["view"] = total / static_cast<double>(state.iterations());
}

// For reference, not a peer of the import: the document rows alone, as many as the import makes,
// written into a fresh list by a plain loop. Their memory is most of what the import adds to the
// view.
void BM_PlainRowsYear(benchmark::State& state) {
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    TDY_DataList data;
    data.Reserve(static_cast<size_t>(Values * Minutes()));
    for (int v = 0; v < Values; ++v)
      for (int64_t i = 0; i < Minutes(); ++i) data.Add({7, v + 1, static_cast<double>(i) / 1440.0, ValueOf(v, i)});
    benchmark::DoNotOptimize(data.Count());
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Seconds()["rows"] = total / static_cast<double>(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = Brief() ? 1 : 5;
  // The peer first and last, so that neither side alone meets a cold page cache.
  benchmark::RegisterBenchmark("BM_MergedViewYear", BM_MergedViewYear)->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_ImportYear", BM_ImportYear)->Iterations(iterations)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_MergedViewYear", BM_MergedViewYear)
      ->Iterations(iterations)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_PlainRowsYear", BM_PlainRowsYear)
      ->Iterations(iterations)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto& s = Seconds();
  if (s.count("import") && s.count("view") && s["view"] > 0) {
    const double ratio = s["import"] / s["view"];
    std::printf("%-52s %6.2fx  (goal 1.5x)%s\n", "import a year of 4 channels / merged view alone", ratio,
                ratio <= 1.5 ? "" : "  over the goal");
    if (s.count("rows"))
      std::printf("%-52s %6.2fx  (for comparison: the rows' own memory added to the view)\n",
                  "import / (merged view + plain rows)", s["import"] / (s["view"] + s["rows"]));
  }
  benchmark::Shutdown();
  return 0;
}
