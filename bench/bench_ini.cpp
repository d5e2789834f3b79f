// INI files with many sections or keys: listing the sections of a file of 40,000 sections
// (about 1 MB), and the keys and the "Name=Value" lines of a section of 40,000 keys. Every list
// grows linearly with the file: the values take about as long as the keys alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/ini_file.h"

namespace qv {
namespace {

constexpr int Count = 40000;

// The two files, written once per run into a temporary folder.
class Files {
public:
  Files() {
    char pattern[] = "/tmp/qvbench-ini-XXXXXX";
    dir_ = std::string(mkdtemp(pattern)) + "/";
    std::ofstream sections(Sections(), std::ios::binary);
    for (int i = 0; i < Count; ++i) sections << "[Section" << i << "]\r\nKey=Value " << i << "\r\n";
    std::ofstream keys(Keys(), std::ios::binary);
    keys << "[Keys]\r\n";
    for (int i = 0; i < Count; ++i) keys << "Key" << i << "=Value " << i << "\r\n";
  }
  ~Files() { std::filesystem::remove_all(dir_); }
  std::string Sections() const { return dir_ + "sections.ini"; }
  std::string Keys() const { return dir_ + "keys.ini"; }

private:
  std::string dir_;
};

const Files& TheFiles() {
  static Files files;
  return files;
}

void BM_IniReadSections(benchmark::State& state) {
  TIniFile ini(TheFiles().Sections());
  TStringList list;
  for (auto _ : state) {
    ini.ReadSections(list);
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["sections"] = list.Count();
}

void BM_IniReadSection(benchmark::State& state) {
  TIniFile ini(TheFiles().Keys());
  TStringList list;
  for (auto _ : state) {
    ini.ReadSection("Keys", list);
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["keys"] = list.Count();
}

void BM_IniReadSectionValues(benchmark::State& state) {
  TIniFile ini(TheFiles().Keys());
  TStringList list;
  for (auto _ : state) {
    ini.ReadSectionValues("Keys", list);
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["keys"] = list.Count();
}

BENCHMARK(BM_IniReadSections)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniReadSection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniReadSectionValues)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
