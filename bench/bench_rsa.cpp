// RSA signing, verification and key generation of the crypto kit, beside openssl's own figures
// from "openssl speed" in the same run (skipped when QV_BENCH_BRIEF is set).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "crypto/crypto_kit.h"
#include "crypto/rsa_cryptography.h"

namespace qv {
namespace {

bool Brief() { return std::getenv("QV_BENCH_BRIEF") != nullptr; }

const std::string kText(200, 'x');

// One generated key per size (e = 65537, as openssl's), kept for the whole run.
struct BenchKey {
  TAS_PrimeGenerator primes;
  TAS_RSACryptography rsa;
  std::string n, e, d, p, q, signature;
};

BenchKey& Key(int bits) {
  static std::map<int, std::unique_ptr<BenchKey>> keys;
  auto& k = keys[bits];
  if (!k) {
    k = std::make_unique<BenchKey>();
    k->rsa.SetPrimeGenerator(&k->primes);
    k->rsa.SetSmallPublicExp(65537);
    k->rsa.GenerateKeys(bits / 8);
    k->rsa.GetPublicKeyParts(k->n, k->e);
    k->rsa.GetPrivateKeyParts(k->n, k->d);
    k->rsa.GetPrimes(k->p, k->q);
    k->rsa.SignString(kText);
    k->signature = k->rsa.GetSignatureHex();
  }
  return *k;
}

// Signing with the primes at hand (keys generated in this session).
void BM_RsaSign(benchmark::State& state) {
  BenchKey& key = Key(static_cast<int>(state.range(0)));
  for (auto _ : state) key.rsa.SignString(kText);
}
BENCHMARK(BM_RsaSign)->Arg(512)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

// Signing with a stored key text alone (modulus and private exponent, no primes).
void BM_RsaSignStoredKey(benchmark::State& state) {
  BenchKey& key = Key(static_cast<int>(state.range(0)));
  TAS_RSACryptography rsa;
  rsa.SetPrivateKeyParts(key.n, key.d);
  for (auto _ : state) rsa.SignString(kText);
}
BENCHMARK(BM_RsaSignStoredKey)->Arg(512)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

void BM_RsaVerify(benchmark::State& state) {
  BenchKey& key = Key(static_cast<int>(state.range(0)));
  TAS_RSACryptography rsa;
  rsa.SetPublicKeyParts(key.n, key.e);
  rsa.SetVerifySignatureHex(key.signature);
  for (auto _ : state) rsa.VerifyString(kText);
}
BENCHMARK(BM_RsaVerify)->Arg(512)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

// Key generation with e = 65537, and the archive's user key (64 bytes, prime exponent).
void BM_RsaGenerateKeys(benchmark::State& state) {
  TAS_PrimeGenerator primes;
  TAS_RSACryptography rsa;
  rsa.SetPrimeGenerator(&primes);
  rsa.SetSmallPublicExp(state.range(1) ? 65537 : 0);
  for (auto _ : state) rsa.GenerateKeys(static_cast<int>(state.range(0)) / 8);
}
BENCHMARK(BM_RsaGenerateKeys)
    ->Args({512, 0})
    ->Args({512, 1})
    ->Args({1024, 1})
    ->Args({2048, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(Brief() ? 1 : 5);

// openssl's sign and verify times per key size, from "openssl speed".
struct OpensslTimes {
  double sign = 0, verify = 0;
};

std::map<int, OpensslTimes> OpensslSpeed() {
  std::map<int, OpensslTimes> out;
  FILE* p = popen("openssl speed -seconds 1 rsa512 rsa1024 rsa2048 2>/dev/null", "r");
  if (!p) return out;
  std::string text;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) text += buf;
  pclose(p);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    int bits;
    double sign, verify;
    if (std::sscanf(line.c_str(), "rsa %d bits %lfs %lfs", &bits, &sign, &verify) == 3) out[bits] = {sign, verify};
  }
  return out;
}

// Mean seconds of "openssl genpkey" for an RSA key (process start included), 0 when it fails.
double OpensslKeyGen(int bits, int runs) {
  const std::string cmd =
      "openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" + std::to_string(bits) + " -out /dev/null 2>/dev/null";
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i)
    if (std::system(cmd.c_str()) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

// Collects the kit's times so the ratios can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.iterations > 0) seconds[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
  }
  std::map<std::string, double> seconds;
};

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  qv::RegisterCryptoAlgorithms();
  benchmark::Initialize(&argc, argv);
  qv::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (qv::Brief()) return 0;
  std::map<int, qv::OpensslTimes> ref = qv::OpensslSpeed();
  if (ref.empty()) {
    std::printf("openssl speed not available: no reference figures\n");
    return 0;
  }
  std::printf("\n%-10s %14s %14s %10s %14s %10s %14s %14s %10s\n", "key bits", "openssl sign", "kit sign", "ratio",
              "kit stored", "ratio", "openssl verify", "kit verify", "ratio");
  for (auto [bits, t] : ref) {
    std::string b = std::to_string(bits);
    double sign = reporter.seconds["BM_RsaSign/" + b];
    double stored = reporter.seconds["BM_RsaSignStoredKey/" + b];
    double verify = reporter.seconds["BM_RsaVerify/" + b];
    if (sign == 0 || stored == 0 || verify == 0) continue;  // filtered out of this run
    std::printf("%-10d %12.1fus %12.1fus %10.2f %12.1fus %10.2f %12.1fus %12.1fus %10.2f\n", bits, t.sign * 1e6,
                sign * 1e6, sign / t.sign, stored * 1e6, stored / t.sign, t.verify * 1e6, verify * 1e6,
                verify / t.verify);
  }
  std::printf("\n%-10s %22s %14s %10s\n", "key bits", "openssl genpkey (+exec)", "kit e=65537", "ratio");
  for (int bits : {512, 1024, 2048}) {
    double theirs = qv::OpensslKeyGen(bits, 10);
    double ours = reporter.seconds["BM_RsaGenerateKeys/" + std::to_string(bits) + "/1/iterations:5"];
    if (ours == 0) continue;
    std::printf("%-10d %20.1fms %12.1fms %10.2f\n", bits, theirs * 1e3, ours * 1e3, theirs > 0 ? ours / theirs : 0.0);
  }
  return 0;
}
