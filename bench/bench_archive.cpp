// The archive's files at size. The audit trail: the last page of a trail of 100,000 events
// against reading and deciphering the whole file once (the page should cost no more). Documents:
// writing and reading back a document of 100,000 data rows against writing (with the same flush
// to disk) and reading the same bytes with plain file I/O (the document should stay within 3x).
// Users: log-on (password check and the user's keys) among 1,000 users under 50 ms; loading and
// saving "Users.dat" of 2,000 users against 1,000 (linear: about 2x).
// Signatures: signing and verifying the content lines of a document of 100,000 data rows against
// the kit's SHA-1 of the same bytes plus one RSA signing (verifying) operation (within 1.2x).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "archive/archive_globals.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive/dy_document_file.h"
#include "archive/dy_user_manager.h"
#include "archive/dy_signature.h"
#include "crypto/as_digest.h"
#include "crypto/prime_generator.h"
#include "crypto/rsa_cryptography.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_encoding.h"

namespace qv {
namespace {

constexpr int Events = 100000;
constexpr int Rows = 100000;

class Files {
public:
  Files() {
    char pattern[] = "/tmp/qvbench-archive-XXXXXX";
    dir_ = std::string(mkdtemp(pattern)) + "/";
    ArchiveDataPath = dir_;
    std::string trail;
    const TDateTime start = EncodeDate(2026, 1, 1);
    for (int i = 0; i < Events; ++i) {
      TDY_AuditEvent event(TAuditKind::DeviceAlarmStart, start + i / 1440.0, "Cellar 7",
                           "Channel 1: 9.5 above the alarm limit 8.0", 2, "");
      trail += ArchiveCrypt().Encrypt(Utf8ToCp1252(AuditLineText(event))) + "\r\n";
    }
    WriteFileAtomic(Trail(), trail);
  }
  ~Files() { std::filesystem::remove_all(dir_); }
  std::string Trail() const { return dir_ + "AuditLog.dat"; }
  std::string File(const std::string& name) const { return dir_ + name; }

private:
  std::string dir_;
};

const Files& TheFiles() {
  static Files files;
  return files;
}

void BM_AuditReadLastPage(benchmark::State& state) {
  TDY_AuditManager trail;
  const std::string file = TheFiles().Trail();  // built before the timing
  for (auto _ : state) {
    std::vector<std::string> lines;
    int first = 0, last = -1;
    trail.ReadPage(file, 500, lines, first, last);
    benchmark::DoNotOptimize(lines.data());
  }
}

void BM_AuditDecipherWholeFile(benchmark::State& state) {
  const std::string file = TheFiles().Trail();
  for (auto _ : state) {
    size_t bytes = 0;
    for (const std::string& line : ReadAuditFileLines(file)) bytes += ArchiveCrypt().Decrypt(line).size();
    benchmark::DoNotOptimize(bytes);
  }
}

void FillDocument(TDY_DocContent& doc) {
  for (int logger = 1; logger <= 2; ++logger) {
    for (int id = 1; id <= 2; ++id) {
      auto channel = std::make_unique<TDY_Channel>();
      channel->Device->LoggerID = logger;
      channel->ChannelID = id;
      channel->ChannelName = "Channel " + std::to_string(id);
      doc.Channels.Add(std::move(channel));
    }
  }
  doc.Data.Reserve(Rows);
  const TDateTime start = EncodeDate(2026, 1, 1);
  for (int i = 0; i < Rows; ++i)
    doc.Data.Add(TDY_Data{i % 2 + 1, i / 2 % 2 + 1, start + (i / 4) / 1440.0, 20.0 + (i % 97) * 0.125});
}

void BM_DocumentWriteRead(benchmark::State& state) {
  TDY_DocContent doc;
  FillDocument(doc);
  const std::string name = TheFiles().File("doc.xml");
  for (auto _ : state) {
    WriteDocumentFile(name, doc);
    TDY_DocContent read;
    std::string error;
    if (!ReadDocumentFile(name, read, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(read.Data.Count());
  }
}

// The two halves of the round trip, to see where the time goes.
void BM_DocumentWrite(benchmark::State& state) {
  TDY_DocContent doc;
  FillDocument(doc);
  const std::string name = TheFiles().File("doc-w.xml");
  for (auto _ : state) WriteDocumentFile(name, doc);
}

void BM_DocumentRead(benchmark::State& state) {
  TDY_DocContent doc;
  FillDocument(doc);
  const std::string name = TheFiles().File("doc-r.xml");
  WriteDocumentFile(name, doc);
  for (auto _ : state) {
    TDY_DocContent read;
    std::string error;
    if (!ReadDocumentFile(name, read, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(read.Data.Count());
  }
}

void BM_PlainFileWriteRead(benchmark::State& state) {
  TDY_DocContent doc;
  FillDocument(doc);
  std::string bytes;
  for (const std::string& line : DocumentFileLines(doc)) bytes += line + "\r\n";
  const std::string name = TheFiles().File("plain.xml");
  for (auto _ : state) {
    const int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    benchmark::DoNotOptimize(::write(out, bytes.data(), bytes.size()));
    ::fsync(out);
    ::close(out);
    std::string back = ReadFileBytes(name);
    benchmark::DoNotOptimize(back.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

// A users file of n users with keys of the stored size (512-bit modulus, random exponent).
std::string UsersFileOf(int n) {
  char pattern[] = "/tmp/qvbench-users-XXXXXX";
  const std::string file = std::string(mkdtemp(pattern)) + "/Users.dat";
  TDY_UserManager manager(file);
  manager.AddDefaultGroups();
  const std::string key = "30818802410" + std::string(250, 'A');
  for (int i = 1; i <= n; ++i) {
    TDY_User u;
    u.UserID = i;
    u.UserName = "user" + std::to_string(i);
    u.Password = "Passw0rd" + std::to_string(i);
    u.FirstName = "First";
    u.SurName = "Surname";
    u.Company = "Company";
    u.Email = "user@example.com";
    u.GroupID = 2;
    u.RSAPrivateKey = key;
    u.RSAPublicKey = key;
    manager.AddUser(u);
  }
  manager.SaveGroups();
  manager.SaveUsers();
  return file;
}

std::map<int, std::string> users_files;  // by user count, made once per run

const std::string& UsersFileCached(int n) {
  auto it = users_files.find(n);
  if (it == users_files.end()) it = users_files.emplace(n, UsersFileOf(n)).first;
  return it->second;
}

void UsersLoad(benchmark::State& state, int n) {
  const std::string& file = UsersFileCached(n);
  for (auto _ : state) {
    TDY_UserManager manager(file);
    benchmark::DoNotOptimize(manager.UserCount());
  }
}
void UsersSave(benchmark::State& state, int n) {
  TDY_UserManager manager(UsersFileCached(n));
  for (auto _ : state) manager.SaveUsers();
}
void BM_UsersLoad1000(benchmark::State& state) { UsersLoad(state, 1000); }
void BM_UsersLoad2000(benchmark::State& state) { UsersLoad(state, 2000); }
void BM_UsersSave1000(benchmark::State& state) { UsersSave(state, 1000); }
void BM_UsersSave2000(benchmark::State& state) { UsersSave(state, 2000); }

// The log-on's work once the dialog returns: the password check of the last user, making it the
// current user, and taking its keys.
void BM_UsersLogon1000(benchmark::State& state) {
  TDY_UserManager manager(UsersFileCached(1000));
  for (auto _ : state) {
    if (!manager.CheckPassword("user1000", "Passw0rd1000")) state.SkipWithError("password refused");
    manager.SetCurrentUser("user1000");
    benchmark::DoNotOptimize(manager.CurrentUserPrivateKey().size() + manager.CurrentUserPublicKey().size());
  }
}

BENCHMARK(BM_UsersLoad1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsersLoad2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsersSave1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsersSave2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsersLogon1000)->Unit(benchmark::kMillisecond);
// A user's key pair as the user manager makes it, and the content lines of the large document.
struct SignSetup {
  TDY_SignerKeys keys;
  TXmlLines content;
  std::string bytes;  // the same lines as they stand in the file
  SignSetup() {
    TAS_PrimeGenerator primes;
    TAS_RSACryptography rsa;
    rsa.SetPrimeGenerator(&primes);
    rsa.SetSmallPublicExp(0);
    rsa.GenerateKeys(64);
    keys = {rsa.PrivateKeyBitValue(), rsa.PublicKeyBitValue(), ""};
    TDY_DocContent doc;
    FillDocument(doc);
    WriteDocContentXml(doc, content, 1);
    for (const std::string& line : content) bytes += line + "\r\n";
  }
};

const SignSetup& TheSignSetup() {
  static SignSetup setup;
  return setup;
}

void BM_SignDocument(benchmark::State& state) {
  const SignSetup& s = TheSignSetup();
  TDY_Signature sig;
  sig.SigInfos.Add(TDY_SigInfo{EncodeDate(2026, 1, 2), "Review", "anna", "Anna Berg", "Cold", "a@b.c"});
  for (auto _ : state)
    if (!sig.Sign(s.content, s.keys)) state.SkipWithError("signing failed");
}

void BM_VerifyDocument(benchmark::State& state) {
  const SignSetup& s = TheSignSetup();
  TDY_Signature sig;
  sig.SigInfos.Add(TDY_SigInfo{EncodeDate(2026, 1, 2), "Review", "anna", "Anna Berg", "Cold", "a@b.c"});
  sig.Sign(s.content, s.keys);
  SignerStoredPublicKey = [&s](const std::string&) { return s.keys.PublicKey; };
  const TXmlLineViews views = SplitDocumentLineViews(s.bytes);  // as read from the file
  for (auto _ : state)
    if (!sig.VerifySignature(views)) state.SkipWithError("verifying failed");
  SignerStoredPublicKey = nullptr;
}

// The peers: one SHA-1 of the file's bytes and one RSA operation on a short text.
void BM_Sha1PlusRsaSign(benchmark::State& state) {
  const SignSetup& s = TheSignSetup();
  TAS_DigestSHA1 sha;
  TAS_RSACryptography rsa;
  rsa.SetPrivateKeyBitValue(s.keys.PrivateKey);
  const std::string text(900, 'x');  // about the size of the signed block
  for (auto _ : state) {
    sha.CalcDigest(s.bytes.data(), s.bytes.size());
    rsa.SignString(text);
    benchmark::DoNotOptimize(rsa.Signature().data());
  }
}

void BM_Sha1PlusRsaVerify(benchmark::State& state) {
  const SignSetup& s = TheSignSetup();
  TAS_DigestSHA1 sha;
  TAS_RSACryptography rsa;
  rsa.SetPrivateKeyBitValue(s.keys.PrivateKey);
  rsa.SetPublicKeyBitValue(s.keys.PublicKey);
  const std::string text(900, 'x');
  rsa.SignString(text);
  rsa.SetVerifySignatureHex(rsa.GetSignatureHex());
  for (auto _ : state) {
    sha.CalcDigest(s.bytes.data(), s.bytes.size());
    rsa.VerifyString(text);
  }
}

BENCHMARK(BM_SignDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sha1PlusRsaSign)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerifyDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sha1PlusRsaVerify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AuditReadLastPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AuditDecipherWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentWriteRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFileWriteRead)->Unit(benchmark::kMillisecond);

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
  benchmark::Initialize(&argc, argv);
  qv::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-44s %13s %13s\n", "", "ours", "peer");
  qv::PrintRatio("audit: last page / decipher whole file", reporter.Of("BM_AuditReadLastPage"),
                 reporter.Of("BM_AuditDecipherWholeFile"), "<= 1");
  qv::PrintRatio("document write+read / plain file I/O", reporter.Of("BM_DocumentWriteRead"),
                 reporter.Of("BM_PlainFileWriteRead"), "<= 3");
  qv::PrintRatio("users: load 2,000 / load 1,000", reporter.Of("BM_UsersLoad2000"), reporter.Of("BM_UsersLoad1000"),
                 "about 2");
  qv::PrintRatio("users: save 2,000 / save 1,000", reporter.Of("BM_UsersSave2000"), reporter.Of("BM_UsersSave1000"),
                 "about 2");
  std::printf("%-44s %10.3f ms  (goal < 50 ms)\n", "users: log-on among 1,000", reporter.Of("BM_UsersLogon1000"));
  qv::PrintRatio("sign document / SHA-1 + one RSA signing", reporter.Of("BM_SignDocument"),
                 reporter.Of("BM_Sha1PlusRsaSign"), "<= 1.2");
  qv::PrintRatio("verify document / SHA-1 + one RSA verifying", reporter.Of("BM_VerifyDocument"),
                 reporter.Of("BM_Sha1PlusRsaVerify"), "<= 1.2");
  return 0;
}
