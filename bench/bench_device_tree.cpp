// Loading the device tree: 100 loggers with 4 sensors each and a year of weekly files per
// sensor (10 loggers when QV_BENCH_BRIEF is set). Reports the time of one load and free and the
// heap the loaded tree holds. The weekly files are there but never needed at load.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "datastore/dt_data.h"
#include "datastore/channels.h"
#include "devices/dev_class_registry.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"
#include "shell/db_shell_controls.h"

namespace qv {
namespace {

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

size_t HeapBytesInUse() { return mallinfo2().uordblks; }

std::unique_ptr<TChannels> SensorChannels() {
  auto channels = TChannels::CreateDefault();
  for (const char* name : {"Minimum", "Maximum", "Average"})
    channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 1, 1, 30, 0, 50, -10, "°C", name, name));
  return channels;
}

// The program folder with its tree, built once per run.
class TreeOnDisk {
public:
  explicit TreeOnDisk(int loggers) {
    char pattern[] = "/tmp/qvbench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    home_ = std::string(pattern) + "/";
    ExePath = home_;
    DevClassRegistry = &registry_;
    std::vector<std::string> sensor_dirs;
    {
      std::unique_ptr<TDevice> root(TDevice::CreateFromDir(nullptr, home_));
      for (int l = 0; l < loggers; ++l) {
        auto logger = TDevice::Create(root.get());
        logger->SetId(l);
        logger->SetName("Logger " + std::to_string(l));
        logger->SetUpDevice();
        TDevice* parent = logger.release();
        for (int s = 0; s < 4; ++s) {
          auto sensor = TDevice::Create(parent, SensorChannels());
          sensor->SetId(s + 1);
          sensor->SetName("Sensor " + std::to_string(s + 1));
          sensor->SetUpDevice();
          sensor_dirs.push_back(sensor.release()->Dir());
        }
      }
      // A year of hourly records in the first sensor, written as its weekly files when the tree
      // is freed.
      auto* data = static_cast<TDtData*>(root->GetChild(0)->GetChild(0)->Data());
      data->NewBuffer();
      TDataLock lock(*data);
      TDtRecord rec(3);
      const uint16_t first_day = DateToDayNo(5, 1, 2025);
      for (int hour = 0; hour < 52 * 7 * 24; ++hour) {
        rec.Date = static_cast<uint16_t>(first_day + hour / 24);
        rec.Time = (hour % 24) * 3600;
        for (int v = 0; v < 3; ++v) rec.SetValues(v, 20.0 + v);
        data->InsertRecord(rec);
      }
    }
    // Every other sensor shares those files.
    for (const auto& entry : std::filesystem::directory_iterator(sensor_dirs[0]))
      if (entry.path().extension() == ".QVR")
        for (size_t i = 1; i < sensor_dirs.size(); ++i)
          std::filesystem::create_hard_link(entry.path(), sensor_dirs[i] + entry.path().filename().string());
  }
  ~TreeOnDisk() {
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
    if (DevClassRegistry == &registry_) DevClassRegistry = nullptr;
  }
  const std::string& Home() const { return home_; }
  TDevClassRegistry& Registry() { return registry_; }

private:
  std::string home_;
  TDevClassRegistry registry_;
};

void BM_LoadDeviceTree(benchmark::State& state) {
  const int loggers = Brief() ? 10 : 100;
  TreeOnDisk tree(loggers);
  size_t held = 0;
  for (auto _ : state) {
    const size_t before = HeapBytesInUse();
    std::unique_ptr<TDevice> root(TDevice::CreateFromDir(nullptr, tree.Home()));
    held = HeapBytesInUse() - before;
    benchmark::DoNotOptimize(root.get());
    if (root->CountNodesOfKind(1) != loggers * 5) state.SkipWithError("tree incomplete");
    auto* data = static_cast<TDtData*>(root->GetChild(loggers - 1)->GetChild(3)->Data());
    if (!data || data->GetNewestDt().Date != DateToDayNo(5, 1, 2025) + 52 * 7 - 1)
      state.SkipWithError("weekly data not found");
  }
  state.counters["nodes"] = loggers * 5;
  state.counters["weekly_files"] = loggers * 4 * 52;
  state.counters["heap_bytes_held"] = static_cast<double>(held);
}
BENCHMARK(BM_LoadDeviceTree)->Unit(benchmark::kMillisecond);

// Start-up of the program's device list: the shell loads the tree and fills the main window's
// device combo box and device menu, whose menu bar is rebuilt as its items change. 100 loggers
// against 10, interleaved, the best of several runs each; goal: per logger within 2x.
// The whole start-up in ms; load_ms takes the tree's load alone.
double StartUpMs(const TreeOnDisk& tree, double& load_ms) {
  ExePath = tree.Home();
  IniFileName = tree.Home() + "QUARVEL.INI";
  TForm form(nullptr);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  auto* menu = new TMainMenu(&form);
  for (const char* title : {"&File", "&Edit", "&View"}) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(title);
    menu->Items()->Add(item);
  }
  auto* devices = new TMenuItem(&form);
  menu->Items()->Items(0)->Add(devices);
  form.SetMenu(menu);
  TDbShellComboBox combo_adapter(combo);
  TDbShellMenuItem menu_adapter(devices);
  const auto t0 = std::chrono::steady_clock::now();
  double ms = 0;
  {
    TDbShell shell;
    load_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    shell.SetDeviceCombo(&combo_adapter);
    shell.SetSelDevMenu(&menu_adapter);
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    shell.SetDeviceCombo(nullptr);
    shell.SetSelDevMenu(nullptr);
  }
  return ms;
}

void BM_StartUpPerLogger(benchmark::State& state) {
  InitializeGui();
  const int few = 10, many = Brief() ? 30 : 100;
  TreeOnDisk small(few);
  const std::string small_home = small.Home();
  double best_few = 1e300, best_many = 1e300, load_few = 0, load_many = 0;
  {
    TreeOnDisk large(many);
    for (auto _ : state)
      for (int i = 0; i < 3; ++i) {
        double load = 0;
        DevClassRegistry = &small.Registry();
        if (double ms = StartUpMs(small, load); ms < best_few) best_few = ms, load_few = load;
        DevClassRegistry = &large.Registry();
        if (double ms = StartUpMs(large, load); ms < best_many) best_many = ms, load_many = load;
      }
  }
  DevClassRegistry = &small.Registry();
  const double ratio = (best_many / many) / (best_few / few);
  state.counters["ms_10"] = best_few;
  state.counters["ms_100"] = best_many;
  state.counters["per_logger_ratio"] = ratio;
  std::printf(
      "start-up: %d loggers %.1f ms (%.2f ms each), %d loggers %.1f ms (%.2f ms each); per logger %.2fx "
      "(goal: within 2x) %s\n",
      few, best_few, best_few / few, many, best_many, best_many / many, ratio, ratio <= 2 ? "met" : "MISSED");
  std::printf(
      "  of which loading the tree: %.1f ms and %.1f ms (per logger %.2fx); the device lists: %.1f ms and %.1f ms\n",
      load_few, load_many, (load_many / many) / (load_few / few), best_few - load_few, best_many - load_many);
}
BENCHMARK(BM_StartUpPerLogger)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
