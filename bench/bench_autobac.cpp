// The automatic backup against plain file work in the same run, on a tree of 500 data files in
// ten folders. Unchanged: a scan and copy pass over a fully backed-up tree, against listing the
// tree and stat-ing every file and its copy (the least any check for changes must do; the ratio
// against stat-ing the source files alone is printed too). Copy: the passes that copy the whole
// tree into an empty backup folder, against copying the same bytes with plain POSIX calls and
// the same durability (the file and its folder flushed once per file, as the backup does).
// Prints the ratios.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shell/ab_copy_queue.h"

namespace {

using namespace qv;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

constexpr int Folders = 10;
constexpr int FilesPerFolder = 50;
size_t FileBytes() { return Brief() ? 4000 : 20000; }

struct Tree {
  std::string root;
  std::string source;
  std::string backup;
  uint64_t bytes = 0;
  Tree() {
    std::string pattern = (fs::temp_directory_path() / "qvbench-autobac-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    root = pattern + "/";
    source = root + "data/";
    backup = root + "backup/";
    const std::string payload(FileBytes(), 'd');
    for (int f = 0; f < Folders; ++f) {
      const std::string folder = source + "DL" + std::to_string(100 + f) + "/";
      fs::create_directories(folder);
      for (int i = 0; i < FilesPerFolder; ++i) {
        std::ofstream(folder + "KW" + std::to_string(10 + i) + ".QVR", std::ios::binary) << payload;
        bytes += payload.size();
      }
      // Files of other kinds sit beside the data files, as in a device folder.
      std::ofstream(folder + "Device.ini") << "[Device]\n";
    }
  }
  ~Tree() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  TAbCopyQueue Queue() const {
    TAbCopyQueue q;
    q.Source = source;
    q.Destination = backup;
    q.Extensions = {".QVR"};
    q.LogError = [](const std::string& msg) { std::fprintf(stderr, "backup: %s\n", msg.c_str()); };
    return q;
  }
  // Scans and copies until the queue is empty; answers the files copied.
  size_t BackUp() const {
    TAbCopyQueue q = Queue();
    q.Scan();
    size_t copied = 0;
    while (!q.Entries().empty()) copied += q.CopyPass().size();
    return copied;
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
void Note(benchmark::State& state, const std::string& name, double total) {
  Seconds()[name] = total / static_cast<double>(state.iterations());
}

void BM_UnchangedPass(benchmark::State& state) {
  Tree& t = TheTree();
  if (!fs::exists(t.backup)) t.BackUp();
  double total = 0;
  size_t queued = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    TAbCopyQueue q = t.Queue();
    q.Scan();
    queued += q.CopyPass().size() + q.Entries().size();
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  if (queued != 0) state.SkipWithError("files were queued in an unchanged tree");
  Note(state, "unchanged", total);
}

// Lists a folder tree recursively; stats every file, and with copies its backup copy as well.
size_t ListAndStat(const std::string& source, const std::string& backup, bool copies) {
  size_t n = 0;
  DIR* d = ::opendir(source.c_str());
  if (!d) return 0;
  std::vector<std::string> folders;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::lstat((source + name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      folders.push_back(name + "/");
    } else if (S_ISREG(st.st_mode)) {
      ++n;
      if (copies) {
        struct stat copy;
        n += ::stat((backup + name).c_str(), &copy) == 0 && copy.st_mtim.tv_sec >= st.st_mtim.tv_sec;
      }
    }
  }
  ::closedir(d);
  for (const std::string& f : folders) n += ListAndStat(source + f, backup + f, copies);
  return n;
}

void ListAndStatBench(benchmark::State& state, bool copies, const char* name) {
  Tree& t = TheTree();
  if (!fs::exists(t.backup)) t.BackUp();
  double total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(ListAndStat(t.source, t.backup, copies));
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Note(state, name, total);
}
void BM_ListAndStatFilesAndCopies(benchmark::State& state) { ListAndStatBench(state, true, "list_stat_both"); }
void BM_ListAndStatFiles(benchmark::State& state) { ListAndStatBench(state, false, "list_stat_source"); }

void BM_CopyEverything(benchmark::State& state) {
  Tree& t = TheTree();
  double total = 0;
  for (auto _ : state) {
    fs::remove_all(t.backup);
    auto t0 = Clock::now();
    const size_t copied = t.BackUp();
    total += std::chrono::duration<double>(Clock::now() - t0).count();
    if (copied != static_cast<size_t>(Folders * FilesPerFolder)) state.SkipWithError("not every file was copied");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bytes));
  Note(state, "copy", total);
}

void FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The peer: the same data files copied with open, read, write, fsync and the folder flushed.
void BM_PlainCopySameBytes(benchmark::State& state) {
  Tree& t = TheTree();
  const std::string target = t.root + "plain/";
  std::vector<char> buf(65536);
  double total = 0;
  for (auto _ : state) {
    fs::remove_all(target);
    auto t0 = Clock::now();
    for (int f = 0; f < Folders; ++f) {
      const std::string folder = "DL" + std::to_string(100 + f) + "/";
      ::mkdir(target.c_str(), 0777);
      ::mkdir((target + folder).c_str(), 0777);
      for (int i = 0; i < FilesPerFolder; ++i) {
        const std::string name = folder + "KW" + std::to_string(10 + i) + ".QVR";
        const int in = ::open((t.source + name).c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open((target + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (ssize_t n; (n = ::read(in, buf.data(), buf.size())) > 0;)
          if (::write(out, buf.data(), static_cast<size_t>(n)) != n) state.SkipWithError("write failed");
        ::fsync(out);
        ::close(out);
        ::close(in);
        FlushFolder(target + folder);
      }
    }
    total += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bytes));
  Note(state, "plain_copy", total);
}

void PrintRatio(const char* what, double ours, double peer, double goal) {
  if (peer <= 0) return;
  const double ratio = ours / peer;
  std::printf("%-60s %6.2fx  (goal %.1fx)%s\n", what, ratio, goal, ratio <= goal ? "" : "  over the goal");
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = Brief() ? 1 : 5;
  using Fn = void (*)(benchmark::State&);
  const std::pair<const char*, Fn> benches[] = {{"BM_CopyEverything", BM_CopyEverything},
                                                {"BM_PlainCopySameBytes", BM_PlainCopySameBytes},
                                                {"BM_UnchangedPass", BM_UnchangedPass},
                                                {"BM_ListAndStatFilesAndCopies", BM_ListAndStatFilesAndCopies},
                                                {"BM_ListAndStatFiles", BM_ListAndStatFiles}};
  for (const auto& [name, fn] : benches)
    benchmark::RegisterBenchmark(name, fn)->Iterations(iterations)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto& s = Seconds();
  if (s.count("unchanged") && s.count("list_stat_both"))
    PrintRatio("unchanged tree: pass / list + stat files and copies", s["unchanged"], s["list_stat_both"], 2);
  if (s.count("unchanged") && s.count("list_stat_source"))
    PrintRatio("unchanged tree: pass / list + stat source files only", s["unchanged"], s["list_stat_source"], 2);
  if (s.count("copy") && s.count("plain_copy"))
    PrintRatio("copy everything: passes / plain copy with the same fsyncs", s["copy"], s["plain_copy"], 1.5);
  benchmark::Shutdown();
  return 0;
}
