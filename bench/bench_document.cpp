// The document window at size, with a document of 100,000 data rows (two channels of one logger,
// every section, a diagram and a table of both channels). Laying out its pages against one pass
// of formatting its rows as text with the same routines (goal within 3x); turning to a page once
// laid out (goal under 50 ms); opening a signed document (reading it and verifying its digests
// and its signature) against reading the file's bytes and hashing them once (goal within 3x).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "archive/archive_globals.h"
#include "archive/dy_document_file.h"
#include "archive/dy_signature.h"
#include "archive/forms/d51_kiro_document.h"
#include "crypto/as_digest.h"
#include "crypto/prime_generator.h"
#include "crypto/rsa_cryptography.h"
#include "platform/gui/forms.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"

namespace qv {
namespace {

constexpr int Rows = 100000;

void FillDocument(TD51_KiroDocument& w) {
  TDY_DocInfo& info = w.Content->DocInfo;
  info.Title = "Cold store 3";
  info.Name = "big";
  info.FileName = "big.xml";
  info.Width = 21000;
  info.Height = 29700;
  info.TopMargin = info.BottomMargin = info.LeftMargin = info.RightMargin = 2000;
  for (int id = 1; id <= 2; ++id) {
    auto c = std::make_unique<TDY_Channel>();
    c->Device->LoggerID = 7;
    c->Device->DeviceName = "Cold store 3";
    c->ChannelID = id;
    c->ChannelName = "Channel " + std::to_string(id);
    c->Unit = id == 1 ? "C" : "%rH";
    c->Decimals = 2;
    c->AlarmMin = 0;
    c->AlarmMax = 30;
    w.Content->Channels.Add(std::move(c));
  }
  const TDY_ElementKind kinds[] = {TDY_ElementKind::DocInfo, TDY_ElementKind::SigInfo, TDY_ElementKind::DeviceInfo,
                                   TDY_ElementKind::AuditLog};
  for (TDY_ElementKind kind : kinds) {
    w.AddChapter("Section", 0, false);
    w.AddDocElement(kind, 0);
  }
  w.AddChapter("Diagrams", 0, true);
  w.AddDocElement(TDY_ElementKind::Diagram, 0);
  w.AddChapter("Tables", 1, true);
  w.AddDocElement(TDY_ElementKind::Table, 0);
  auto diagram = std::make_unique<TDY_Diagram>();
  diagram->Name = "Climate";
  CopyChannelList(w.Content->Channels, diagram->Channels);
  w.Content->Diagrams.Add(std::move(diagram));
  auto table = std::make_unique<TDY_Table>();
  table->Name = "Values";
  CopyChannelList(w.Content->Channels, table->Channels);
  w.Content->Tables.Add(std::move(table));
  w.Content->Data.Reserve(Rows);
  const TDateTime start = EncodeDate(2026, 1, 1);
  for (int i = 0; i < Rows; ++i)
    w.Content->Data.Add(TDY_Data{7, i % 2 + 1, start + (i / 2) / 1440.0, 20.0 + (i % 97) * 0.125});
  info.DataStartDate = w.Content->Data.FirstTime();
  info.DataEndDate = w.Content->Data.LastTime();
}

TD51_KiroDocument& TheWindow() {
  static TD51_KiroDocument* window = [] {
    auto* w = new TD51_KiroDocument(nullptr);
    FillDocument(*w);
    w->Show();
    return w;
  }();
  return *window;
}

void BM_LayoutPages(benchmark::State& state) {
  TD51_KiroDocument& w = TheWindow();
  for (auto _ : state) w.BuildPages();
  state.counters["pages"] = w.PageCount();
}

// The peer: every row's time and value as text, as the table shows them.
void BM_FormatRowsAsText(benchmark::State& state) {
  const TDY_DataList& data = TheWindow().Content->Data;
  for (auto _ : state) {
    size_t bytes = 0;
    for (int i = 0; i < data.Count(); ++i) {
      const TDY_Data& row = *data.Get(i);
      bytes += DateTimeText(row.Time).size();
      bytes += FloatToStrF(row.Value, TFloatFormat::ffFixed, 15, 2, FormatSettings.DecimalSeparator).size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}

// Turning through the laid-out pages, a few pages apart each time.
void BM_TurnPage(benchmark::State& state) {
  TD51_KiroDocument& w = TheWindow();
  if (w.PageCount() == 0) w.BuildPages();
  int page = 0;
  for (auto _ : state) {
    page = (page + 37) % w.PageCount();
    w.GotoPage(page);
    Application->ProcessMessages();
  }
}

struct SignedFile {
  std::string name;
  TDY_SignerKeys keys;
  SignedFile() {
    char pattern[] = "/tmp/qvbench-document-XXXXXX";
    const std::string dir = std::string(mkdtemp(pattern)) + "/";
    ArchiveDataPath = dir;
    name = dir + "big.xml";
    TAS_PrimeGenerator primes;
    TAS_RSACryptography rsa;
    rsa.SetPrimeGenerator(&primes);
    rsa.SetSmallPublicExp(0);
    rsa.GenerateKeys(64);
    keys = {rsa.PrivateKeyBitValue(), rsa.PublicKeyBitValue(), ""};
    TD51_KiroDocument& w = TheWindow();
    TXmlLines content;
    WriteDocContentXml(*w.Content, content, 1);
    TDY_Signature sig;
    sig.SigInfos.Add(TDY_SigInfo{EncodeDate(2026, 1, 2), "Review", "anna", "Anna Berg", "Cold", "a@b.c"});
    sig.Sign(content, keys);
    TXmlLines sig_lines;
    sig.WriteXml(sig_lines, 1, false);
    WriteDocumentFile(name, *w.Content, sig_lines);
    SignerStoredPublicKey = [this](const std::string&) { return keys.PublicKey; };
  }
  ~SignedFile() { std::filesystem::remove_all(std::filesystem::path(name).parent_path()); }
};

const SignedFile& TheSignedFile() {
  static SignedFile file;
  return file;
}

void BM_OpenSignedDocument(benchmark::State& state) {
  const SignedFile& file = TheSignedFile();
  TD51_KiroDocument w(nullptr);
  for (auto _ : state) {
    if (!w.ReadDocument(file.name) || !w.SignatureValid || !w.Valid) state.SkipWithError("not verified");
  }
}

// The peer: the file's bytes read with plain I/O and hashed once.
void BM_ReadBytesAndHash(benchmark::State& state) {
  const SignedFile& file = TheSignedFile();
  TAS_DigestSHA1 sha;
  for (auto _ : state) {
    const int fd = ::open(file.name.c_str(), O_RDONLY);
    std::string bytes(static_cast<size_t>(std::filesystem::file_size(file.name)), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    ::close(fd);
    sha.CalcDigest(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(bytes.data());
  }
}

BENCHMARK(BM_LayoutPages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatRowsAsText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurnPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSignedDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBytesAndHash)->Unit(benchmark::kMillisecond);

// Keeps the real time per iteration of every run for the ratios printed at the end.
class Reporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> ms;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) ms[r.run_name.function_name] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Of(const std::string& name) const {
    auto it = ms.find(name);
    return it == ms.end() ? 0 : it->second;
  }
};

void PrintRatio(const char* what, double ours, double peer, const char* goal) {
  if (ours <= 0 || peer <= 0) return;
  std::printf("%-44s %10.2f ms %10.2f ms  ratio %6.2f  (goal %s)\n", what, ours, peer, ours / peer, goal);
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  qv::InitializeGui(argc, argv);
  benchmark::Initialize(&argc, argv);
  qv::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-44s %13s %13s\n", "", "ours", "peer");
  qv::PrintRatio("document: lay out pages / format rows as text", reporter.Of("BM_LayoutPages"),
                 reporter.Of("BM_FormatRowsAsText"), "<= 3");
  std::printf("%-44s %10.3f ms  (goal < 50 ms)\n", "document: turn to a page", reporter.Of("BM_TurnPage"));
  qv::PrintRatio("document: open signed / read bytes + SHA-1", reporter.Of("BM_OpenSignedDocument"),
                 reporter.Of("BM_ReadBytesAndHash"), "<= 3");
  return 0;
}
