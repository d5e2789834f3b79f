// Throughput of the digests and of triple DES on 8 KiB and 1 MiB buffers, printed beside
// `openssl speed` for the same algorithms when the tool is installed (not under QV_BENCH_BRIEF).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crypto/as_des_cryptography.h"
#include "crypto/as_digest.h"

namespace {

using namespace qv;

std::vector<uint8_t> Buffer(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 131 + 7);
  return v;
}

template <class Make>
void Digest(benchmark::State& state, Make make) {
  std::unique_ptr<TAS_Digest> d = make();
  std::vector<uint8_t> data = Buffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    d->CalcDigest(data.data(), data.size());
    benchmark::DoNotOptimize(d->DigestBytes()[0]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

std::unique_ptr<TAS_Digest> Mdx(TMDXVersion v) {
  auto d = std::make_unique<TAS_DigestMDX>();
  d->SetVersion(v);
  return d;
}

void BM_MD5(benchmark::State& s) {
  Digest(s, [] { return Mdx(TMDXVersion::dgMD5); });
}
void BM_MD4(benchmark::State& s) {
  Digest(s, [] { return Mdx(TMDXVersion::dgMD4); });
}
void BM_MD2(benchmark::State& s) {
  Digest(s, [] { return Mdx(TMDXVersion::dgMD2); });
}
void BM_SHA1(benchmark::State& s) {
  Digest(s, [] { return std::make_unique<TAS_DigestSHA1>(); });
}
void BM_RIPEMD160(benchmark::State& s) {
  Digest(s, [] { return std::make_unique<TAS_DigestRIPEMD160>(); });
}

void TripleDes(benchmark::State& state, TCipherMode mode) {
  TAS_DESCryptography des;
  des.SetKeyHexStr("5C1E9A07D3B46F28E0A7C5193B8D6E42F1079A3C5E8B2D64");
  des.SetInitVectorHexStr("0102030405060708");
  des.SetCipherMode(mode);
  des.SetCipherInPlace(true);
  std::vector<uint8_t> data = Buffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    des.Encrypt(data.data(), data.size());
    benchmark::DoNotOptimize(data[0]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
void BM_3DES_ECB(benchmark::State& s) { TripleDes(s, TCipherMode::cmECB); }
void BM_3DES_CBC(benchmark::State& s) { TripleDes(s, TCipherMode::cmCBC); }

BENCHMARK(BM_MD5)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_MD4)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_MD2)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_SHA1)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_RIPEMD160)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_3DES_ECB)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_3DES_CBC)->Arg(8192)->Arg(1 << 20);

// Keeps the bytes per second of every run for the comparison table.
class Reporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> rates;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) rates[r.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// `openssl speed` in machine-readable form: algorithm -> bytes per second at 8 KiB.
std::map<std::string, double> OpensslSpeed() {
  std::map<std::string, double> out;
  if (std::system("openssl version >/dev/null 2>&1") != 0) return out;
  const char* runs[] = {"md5 sha1 md4 rmd160 des-ede3", "-evp des-ede3"};
  for (const char* algos : runs) {
    std::string cmd = std::string("openssl speed -seconds 1 -bytes 8192 -mr ") + algos + " 2>/dev/null";
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) continue;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
      // +F:<index>:<name>:<bytes per second>
      std::string s = line;
      if (s.rfind("+F:", 0) != 0) continue;
      size_t a = s.find(':', 3), b = s.find(':', a + 1);
      if (a == std::string::npos || b == std::string::npos) continue;
      out[s.substr(a + 1, b - a - 1)] = std::atof(s.c_str() + b + 1);
    }
    pclose(pipe);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (std::getenv("QV_BENCH_BRIEF")) return 0;
  std::map<std::string, double> ref = OpensslSpeed();
  if (ref.empty()) {
    std::printf("openssl not installed: no comparison\n");
    return 0;
  }
  struct Pair {
    const char* ours;
    const char* theirs;
  };
  const Pair pairs[] = {{"BM_MD5/8192", "md5"},           {"BM_MD4/8192", "md4"},
                        {"BM_SHA1/8192", "sha1"},         {"BM_RIPEMD160/8192", "rmd160"},
                        {"BM_3DES_CBC/8192", "des-ede3"}, {"BM_3DES_ECB/8192", "DES-EDE3-ECB"}};
  std::printf("\n%-20s %12s %16s %12s %7s\n", "8 KiB buffers", "ours MB/s", "openssl", "MB/s", "ratio");
  for (const Pair& p : pairs) {
    auto o = reporter.rates.find(p.ours);
    auto t = ref.find(p.theirs);
    if (o == reporter.rates.end() || t == ref.end() || t->second <= 0) continue;
    std::printf("%-20s %12.1f %16s %12.1f %7.2f\n", p.ours, o->second / 1e6, p.theirs, t->second / 1e6,
                o->second / t->second);
  }
  return 0;
}
