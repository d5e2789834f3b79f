// Loading the device tree: 100 loggers with 4 sensors each and a year of weekly files per
// sensor (10 loggers when QV_BENCH_BRIEF is set). Reports the time of one load and free and the
// heap the loaded tree holds. The weekly files are there but never needed at load.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "datastore/channels.h"
#include "devices/dev_class_registry.h"
#include "devices/device.h"

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
    std::unique_ptr<TDevice> root(TDevice::CreateFromDir(nullptr, home_));
    const std::string week_file(1024, '\0');  // the size does not matter: they are never read
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
        const std::string dir = sensor.release()->Dir();
        for (int week = 1; week <= 52; ++week) {
          char name[16];
          std::snprintf(name, sizeof name, "KW25%02d.QVR", week);
          std::ofstream(dir + name, std::ios::binary) << week_file;
        }
      }
    }
  }
  ~TreeOnDisk() {
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
    DevClassRegistry = nullptr;
  }
  const std::string& Home() const { return home_; }

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
  }
  state.counters["nodes"] = loggers * 5;
  state.counters["heap_bytes_held"] = static_cast<double>(held);
}
BENCHMARK(BM_LoadDeviceTree)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
