#include "base/msg_handler.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "base/ini_file2.h"
#include "platform/rtl/stream.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

const TDateTime kFeb3 = EncodeDate(2009, 2, 3) + EncodeTime(10, 11, 12, 345);
const std::string kStamp = "03/02/2009 10:11:12.345 ";

// Answers dialogs from a script and records what it was asked, and on which thread.
struct ScriptedDialog {
  std::vector<std::string> asked;
  std::vector<std::thread::id> threads;
  int answer = 1;

  TMsgDialogProc Proc() {
    return [this](const std::string& msg, TMsgDlgType, TMsgDlgButtons, int32_t) {
      asked.push_back(msg);
      threads.push_back(std::this_thread::get_id());
      return answer;
    };
  }
};

class MsgHandlerTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThread();
    MsgDialogProc = dialog.Proc();
    ExceptionReportProc = [this](TComponent*) {
      try {
        throw;
      } catch (const std::exception& e) {
        shown.push_back(e.what());
      }
      return true;
    };
  }
  void TearDown() override {
    MsgDialogProc = nullptr;
    ExceptionReportProc = nullptr;
  }

  std::unique_ptr<TMsgHandler> Make() {
    return std::make_unique<TMsgHandler>(nullptr, dir.Path(), dir.File("Quarvel.INI"), &clock);
  }
  std::string Protocol() const { return dir.Read("Protocol.log"); }
  std::string Diagnose() const { return dir.Read("Diagnose.log"); }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  test::TempDir dir;
  TFixedClock clock{kFeb3};
  ScriptedDialog dialog;
  std::vector<std::string> shown;  // errors passed to the application's exception display
};

TEST_F(MsgHandlerTest, DecisionTableOverKindsAndModes) {
  const TMsgHandlMode columns[] = {0,
                                   ProtocolEnabled,
                                   ProtocolEnabled | ProtocolShort,
                                   AutoModeEnabled,
                                   AutoModeEnabled | ProtocolShort,
                                   DiagnoseEnabled};
  // Per kind, one character per column above: shows a dialog / writes the protocol.
  struct Row {
    TMsgKind kind;
    const char* dialog;
    const char* protocol;
  } rows[] = {
      {mkQuestion, "111111", "000000"}, {mkWarning, "111001", "010100"}, {mkError, "111001", "011110"},
      {mkAlert, "111111", "011110"},    {mkLogOnly, "000000", "011110"}, {mkDiagnoseOnly, "000000", "000000"},
  };
  auto h = Make();
  dialog.answer = 4;  // Retry
  for (size_t col = 0; col < std::size(columns); ++col) {
    h->SetModes(columns[col]);
    for (const Row& r : rows) {
      const std::string msg = "m" + std::to_string(col) + "k" + std::to_string(r.kind) + "|";
      const size_t asked = dialog.asked.size();
      const uint16_t result = h->HandleMessage(msg, "Src", TMsgDlgType::mtWarning, mbOK, 0, 7, false, r.kind);
      const bool shown = dialog.asked.size() > asked;
      SCOPED_TRACE(msg);
      EXPECT_EQ(shown, r.dialog[col] == '1');
      EXPECT_EQ(result, shown ? 4 : 7);
      EXPECT_EQ(Has(Protocol(), msg), r.protocol[col] == '1');
      EXPECT_EQ(Has(Diagnose(), msg), columns[col] == DiagnoseEnabled);
    }
  }
}

TEST_F(MsgHandlerTest, LineFormatsAndStartStopLines) {
  auto h = Make();
  h->SetModes(DiagnoseEnabled);
  dialog.answer = 6;
  h->HandleMessage("Go on?", "Dev", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0, 7, true, mkQuestion);
  h->HandleMessage("plain", "Dev", TMsgDlgType::mtInformation, 0, 0, 0, false, mkDiagnoseOnly);
  h->HandleMessage("odd", "Dev", TMsgDlgType::mtInformation, 0, 0, 42, false, mkLogOnly);
  h->HandleMessage("all", "Dev", TMsgDlgType::mtInformation, 0, 0, 8, false, mkLogOnly);
  h->SetModes(0);
  EXPECT_EQ(Diagnose(), kStamp + ": mhd_DiangoseStarted\r\n" +  //
                            kStamp + "Dev: Go on?Yes\r\n" +     //
                            "Dev: plain\r\n"                    //
                            "Dev: odd-> 42\r\n"                 //
                            "Dev: allYes to All\r\n" +          //
                            kStamp +
                            ": mhd_DiangoseStopped\r\n");

  h->SetModes(ProtocolEnabled);
  dialog.answer = 1;
  h->HandleMessage("w", "Dev", TMsgDlgType::mtWarning, mbOK, 0, 0, false, mkWarning);
  // Automatic mode switched on and off around the protocol gives no start or stop lines.
  h->SetModes(ProtocolEnabled | AutoModeEnabled);
  h->SetModes(AutoModeEnabled);
  h->SetModes(0);
  EXPECT_EQ(Protocol(), kStamp + ": mhd_ProtocolStarted\r\nDev: wOK\r\n");
  h->SetModes(ProtocolEnabled);
  h->SetModes(0);
  EXPECT_EQ(Protocol(), kStamp + ": mhd_ProtocolStarted\r\nDev: wOK\r\n" + kStamp + ": mhd_ProtocolStarted\r\n" +
                            kStamp + ": mhd_ProtocolStopped\r\n");
}

// While the program shuts down nothing opens a dialog: what would have shown one is logged and
// kept once for the program's last word.
TEST_F(MsgHandlerTest, ShuttingDownLogsAndKeepsWhatWouldHaveShownADialog) {
  auto h = Make();
  h->SetModes(0);
  h->BeginShutdown();
  EXPECT_EQ(h->HandleMessage("Go on?", "Dev", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0, 7, false, mkQuestion), 7);
  h->HandleMessage("/h/A/Device.ini: No space left", "TDevice.Destroy", TMsgDlgType::mtError, mbOK, 0, 0, false,
                   mkError);
  h->HandleMessage("/h/A/Device.ini: No space left", "TDevice.Destroy", TMsgDlgType::mtError, mbOK, 0, 0, false,
                   mkError);
  h->HandleMessage("only logged", "Dev", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  EXPECT_TRUE(dialog.asked.empty());
  EXPECT_TRUE(Has(Protocol(), "TDevice.Destroy: /h/A/Device.ini: No space left\r\n"));
  EXPECT_TRUE(Has(Protocol(), "Dev: Go on?No\r\n"));  // the default answer taken
  EXPECT_EQ(h->TakeShutdownMessages(), (std::vector<std::string>{"Go on?", "/h/A/Device.ini: No space left"}));
  EXPECT_TRUE(h->TakeShutdownMessages().empty());
}

TEST(MsgHandlModesTest, TextOfModeSets) {
  struct Case {
    std::string text;
    bool valid;
    TMsgHandlMode modes;
  } cases[] = {
      {"ProtocolEnabled-AutoLogFile-", true, ProtocolEnabled | AutoLogFile},
      {"AutoLogFile-ProtocolEnabled-", true, ProtocolEnabled | AutoLogFile},
      {"", true, 0},
      {"ProtocolEnabled-ProtocolShort-AutoLogFile-DiagnoseEnabled-AutoModeEnabled-", true, 0x1F},
      {"ProtocolEnabled-Garbage", false, 0},
      {"ProtocolEnabled", false, 0},
      {"ProtocolEnabled-ProtocolEnabled-", false, 0},
      {"$$Invalid$$", false, 0},
  };
  for (const Case& c : cases) {
    TMsgHandlMode modes = 0x80;
    EXPECT_EQ(TextToMsgHandlModes(c.text, modes), c.valid) << c.text;
    EXPECT_EQ(modes, c.valid ? c.modes : 0x80) << c.text;
  }
  EXPECT_EQ(MsgHandlModesToText(ProtocolEnabled | AutoLogFile), "ProtocolEnabled-AutoLogFile-");
  EXPECT_EQ(MsgHandlModesToText(0), "");
}

TEST_F(MsgHandlerTest, SettingsComeFromTheirSection) {
  struct Case {
    std::string section;
    TMsgHandlMode modes;
    int32_t diagn_max, prot_max;
    std::string diagn_name;
    bool data_log;
  } cases[] = {
      {"", 0, 10240, 10240, "Diagnose", false},
      {"MsgHandlModes=AutoLogFile-ProtocolEnabled-\r\nDiagnMaxSize=500\r\nProtMaxSize=$4000\r\n"
       "DiagnFName=Trace\r\nWriteDataLog=1\r\n",
       ProtocolEnabled | AutoLogFile, 500, 0x4000, "Trace", true},
      {"MsgHandlModes=ProtocolEnabled-Garbage\r\nDiagnFName=../elsewhere\r\n", 0, 10240, 10240, "Diagnose", false},
      {"MsgHandlModes=\r\nDiagnMaxSize=big\r\n", 0, 10240, 10240, "Diagnose", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    test::TempDir d;
    d.Write("Quarvel.INI", "[Other]\r\nMsgHandlModes=DiagnoseEnabled-\r\n[MessageHandler]\r\n" + c.section);
    auto h = std::make_unique<TMsgHandler>(nullptr, d.Path(), d.File("Quarvel.INI"), &clock);
    EXPECT_EQ(h->Modes(), c.modes);
    EXPECT_EQ(h->DiagnMaxSize(), c.diagn_max);
    EXPECT_EQ(h->ProtMaxSize(), c.prot_max);
    EXPECT_EQ(h->DiagnFName(), c.diagn_name);
    EXPECT_EQ(h->WriteDataLog(), c.data_log);
    // Written back at the end; WriteDataLog is never written.
    h->SetModes(c.modes | DiagnoseEnabled);
    h.reset();
    TIniFile2 ini(d.File("Quarvel.INI"));
    EXPECT_EQ(ini.ReadString("MessageHandler", "MsgHandlModes", "?"), MsgHandlModesToText(c.modes | DiagnoseEnabled));
    EXPECT_EQ(ini.ReadInteger("MessageHandler", "DiagnMaxSize", 0), c.diagn_max);
    EXPECT_EQ(ini.ReadInteger("MessageHandler", "ProtMaxSize", 0), c.prot_max);
    EXPECT_EQ(ini.ReadString("MessageHandler", "DiagnFName", "?"), c.diagn_name);
    EXPECT_EQ(ini.ValueExists("MessageHandler", "WriteDataLog"), c.data_log);
    EXPECT_EQ(ini.ReadString("Other", "MsgHandlModes", "?"), "DiagnoseEnabled-");
  }
}

TEST_F(MsgHandlerTest, SeparatorAndProgramLinesOpenAndCloseTheProtocol) {
  dir.Write("Quarvel.INI", "[MessageHandler]\r\nMsgHandlModes=ProtocolEnabled-\r\n");
  auto h = Make();
  const std::string start = "\r\n" + std::string(45, '-') + ": \r\n" + kStamp + ": mhd_ProgramStarted\r\n";
  EXPECT_EQ(Protocol(), start);
  clock.Set(kFeb3 + 1);
  h.reset();
  EXPECT_EQ(Protocol(), start + "04/02/2009 10:11:12.345 : mhd_ProgramStopped\r\n");
  EXPECT_EQ(TIniFile2(dir.File("Quarvel.INI")).ReadString("MessageHandler", "LastEntryDate", ""), "y2009m02d04e");
}

TEST_F(MsgHandlerTest, ProgramFolderAndIniFileComeFromTheApplicationGlobals) {
  const std::string old_path = ExePath, old_ini = IniFileName;
  ExePath = dir.Path();
  IniFileName = dir.File("Prog.INI");
  dir.Write("Prog.INI", "[MessageHandler]\r\nMsgHandlModes=DiagnoseEnabled-\r\nDiagnFName=Diag\r\n");
  {
    TComponent owner(nullptr);
    MsgHandler = new TMsgHandler(&owner);
  }  // freed with its owner
  ExePath = old_path;
  IniFileName = old_ini;
  EXPECT_EQ(MsgHandler, nullptr);
  EXPECT_TRUE(Has(dir.Read("Diag.log"), ": mhd_ProgramStarted\r\n"));
  EXPECT_TRUE(Has(dir.Read("Diag.log"), ": mhd_ProgramStopped\r\n"));
}

TEST_F(MsgHandlerTest, StoredLastEntryDateNamesTheRetiredProtocol) {
  // Without a protocol file the stored date is cleared.
  dir.Write("Quarvel.INI", "[MessageHandler]\r\nLastEntryDate=y2009m01d01e\r\n");
  Make().reset();
  EXPECT_EQ(TIniFile2(dir.File("Quarvel.INI")).ReadString("MessageHandler", "LastEntryDate", "?"), "");

  dir.Write("Protocol.log", std::string(10200, 'o'));
  dir.Write("Quarvel.INI",
            "[MessageHandler]\r\nLastEntryDate=y2009m01d31e\r\nMsgHandlModes=ProtocolEnabled-AutoLogFile-\r\n");
  auto h = Make();
  EXPECT_EQ(dir.Read("Protocol090131.log"), std::string(10200, 'o'));
  EXPECT_TRUE(Has(Protocol(), "mhd_ProgramStarted"));
}

TEST_F(MsgHandlerTest, DiagnoseFileNameIsAPlainName) {
  auto h = Make();
  // Names whose backup name would pass the 255-byte limit of one name are refused too.
  for (const std::string& bad :
       std::vector<std::string>{"", ".", "..", "../x", "sub/x", "a\\b", std::string(251, 'd'), std::string(300, 'd')}) {
    h->SetDiagnFName(bad);
    EXPECT_EQ(h->DiagnFName(), "Diagnose") << bad;
  }
  h->SetDiagnFName("Trace");
  EXPECT_EQ(h->DiagnoseFileName(), dir.File("Trace.log"));
  EXPECT_EQ(h->DiagnoseBackupName(), dir.File("Trace2.log"));
  // The longest name that is taken logs and retires its file.
  const std::string longest(250, 'd');
  h->SetDiagnFName(longest);
  EXPECT_EQ(h->DiagnFName(), longest);
  h->SetDiagnMaxSize(60);
  h->SetModes(DiagnoseEnabled);
  for (int i = 0; i < 3; ++i)
    h->HandleMessage("a line of some length", "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkDiagnoseOnly);
  EXPECT_TRUE(std::filesystem::exists(dir.File(longest + "2.log")));
  EXPECT_TRUE(Has(dir.Read(longest + ".log"), "S: a line of some length"));
}

TEST_F(MsgHandlerTest, DiagnoseWriteErrorsNameTheFileAndTheReason) {
  auto h = Make();
  h->SetModes(DiagnoseEnabled);
  dir.Write("Diagnose.log", std::string(3990, 'd'));
  try {
    test::FileSizeLimit limit(4000);
    h->HandleMessage("a line that does not fit", "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkDiagnoseOnly);
    ADD_FAILURE() << "no error beyond the size limit";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot write file \"" + dir.File("Diagnose.log") + "\": File too large");
  }
  EXPECT_EQ(dir.Read("Diagnose.log"), std::string(3990, 'd'));  // whole lines only
}

// Sets up a protocol of `size` bytes whose last line was written on 3 February 2009; the clock
// then stands on the next day.
void FillProtocol(TMsgHandler& h, TFixedClock& clock, const test::TempDir& dir, size_t size) {
  h.HandleMessage("first", "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  std::string bytes = dir.Read("Protocol.log");
  bytes.resize(size, 'x');
  dir.Write("Protocol.log", bytes);
  clock.Set(kFeb3 + 1);
}

// The 703 suffixes of one day's retired protocols, in the order they are tried.
std::vector<std::string> RetirementSuffixes() {
  std::vector<std::string> all = {""};
  for (char a = 'A'; a <= 'Z'; ++a) all.push_back(std::string(1, a));
  for (char a = 'A'; a <= 'Z'; ++a)
    for (char b = 'A'; b <= 'Z'; ++b) all.push_back(std::string{a, b});
  return all;
}

TEST_F(MsgHandlerTest, FullProtocolIsRetiredUnderTheFirstFreeDatedName) {
  const std::vector<std::string> all = RetirementSuffixes();
  struct Case {
    std::vector<std::string> taken;  // suffixes already in use
    std::string expected;
  } cases[] = {
      {{}, "Protocol090203.log"},
      {{""}, "Protocol090203A.log"},
      {{"", "A", "B"}, "Protocol090203C.log"},
      {{all.begin(), all.begin() + 27}, "Protocol090203AA.log"},
      {{all.begin(), all.end() - 1}, "Protocol090203ZZ.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    test::TempDir d;
    for (const std::string& s : c.taken) d.Write("Protocol090203" + s + ".log", "old");
    TFixedClock clk{kFeb3};
    TMsgHandler h(nullptr, d.Path(), d.File("Quarvel.INI"), &clk);
    h.SetModes(ProtocolEnabled | AutoLogFile);
    FillProtocol(h, clk, d, 10200);
    const std::string full = d.Read("Protocol.log");
    const std::string line(50 - 3, 'L');  // "S: " + 47 characters
    h.HandleMessage(line, "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
    EXPECT_EQ(d.Read(c.expected), full);
    EXPECT_EQ(d.Read("Protocol.log"), "S: " + line + "\r\n");
    for (const std::string& s : c.taken) EXPECT_EQ(d.Read("Protocol090203" + s + ".log"), "old");
  }
}

TEST_F(MsgHandlerTest, ProtocolBelowTheLimitOrWithoutAutoLogFileGrows) {
  struct Case {
    TMsgHandlMode modes;
    int32_t max_size;
    size_t size;
    bool retired;
  } cases[] = {
      {ProtocolEnabled | AutoLogFile, 10240, 10200 - 12, false},  // exactly at the limit
      {ProtocolEnabled | AutoLogFile, 10240, 10200 - 11, true},
      {ProtocolEnabled, 10240, 20000, false},
      // A stored limit below 10 KB retires at 10 KB.
      {ProtocolEnabled | AutoLogFile, 0, 5000, false},
      {ProtocolEnabled | AutoLogFile, 20000, 19990, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    test::TempDir d;
    TFixedClock clk{kFeb3};
    TMsgHandler h(nullptr, d.Path(), d.File("Quarvel.INI"), &clk);
    h.SetModes(c.modes);
    h.SetProtMaxSize(c.max_size);
    FillProtocol(h, clk, d, c.size);
    h.HandleMessage(std::string(47, 'L'), "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
    EXPECT_EQ(fs::exists(d.File("Protocol090203.log")), c.retired);
    EXPECT_EQ(fs::file_size(d.File("Protocol.log")), c.retired ? 52u : c.size + 52);
  }
}

TEST_F(MsgHandlerTest, ProtocolWithoutStoredDateIsContinuedOrRetiredUnderItsFileDate) {
  for (TMsgHandlMode modes : {TMsgHandlMode{ProtocolEnabled}, TMsgHandlMode{ProtocolEnabled | AutoLogFile}}) {
    test::TempDir d;
    const std::string old(10200, 'o');
    d.Write("Protocol.log", old);
    // The file was last written on 3 February 2009 (local time).
    struct tm t = {};
    t.tm_year = 109;
    t.tm_mon = 1;
    t.tm_mday = 3;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    struct timespec times[2] = {{mktime(&t), 0}, {mktime(&t), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, d.File("Protocol.log").c_str(), times, 0), 0);
    TFixedClock clk{kFeb3 + 5};
    TMsgHandler h(nullptr, d.Path(), d.File("Quarvel.INI"), &clk);
    EXPECT_EQ(h.LastEntryDate(), NoDateTime);
    h.SetModes(modes);  // writes the start line
    const std::string started = "08/02/2009 10:11:12.345 : mhd_ProtocolStarted\r\n";
    if (modes & AutoLogFile) {
      EXPECT_EQ(d.Read("Protocol090203.log") == old, true);
      EXPECT_EQ(d.Read("Protocol.log"), started);
    } else {
      EXPECT_EQ(d.Read("Protocol.log") == old + started, true);
    }
    EXPECT_EQ(h.LastEntryDate(), EncodeDate(2009, 2, 8));
  }
}

TEST_F(MsgHandlerTest, NoFreeRetirementNameKeepsTheProtocolAndReportsIt) {
  for (const std::string& s : RetirementSuffixes()) dir.Write("Protocol090203" + s + ".log", "old");
  auto h = Make();
  h->SetModes(ProtocolEnabled | AutoLogFile | DiagnoseEnabled);
  FillProtocol(*h, clock, dir, 10200);
  const std::string full = Protocol();
  const std::string kept(50, 'k');
  h->HandleMessage(kept, "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  EXPECT_EQ(Protocol(), full + "S: " + kept + "\r\n");
  EXPECT_TRUE(Has(Diagnose(), "Error in TMsgHandler.WriteProtocol: all names")) << Diagnose();
  EXPECT_EQ(dir.Read("Protocol090203ZZ.log"), "old");
}

TEST_F(MsgHandlerTest, FullDiskKeepsWholeLinesOnly) {
  auto h = Make();
  h->SetModes(ProtocolEnabled | DiagnoseEnabled);
  dir.Write("Protocol.log", std::string(3990, 'p'));
  // Files may not grow past 4000 bytes from here on: the line below only fits in part.
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 4000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  h->HandleMessage("a line that does not fit", "S", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(Protocol(), std::string(3990, 'p'));
  EXPECT_TRUE(Has(Diagnose(), "Error in TMsgHandler.WriteProtocol: Cannot write file \"" + dir.File("Protocol.log") +
                                  "\": File too large"))
      << Diagnose();
  EXPECT_TRUE(Has(Diagnose(), "S: a line that does not fit\r\n"));
}

TEST_F(MsgHandlerTest, DiagnoseStaysWithinItsLimitWithOneBackup) {
  auto h = Make();
  h->SetDiagnMaxSize(200);
  h->SetModes(DiagnoseEnabled);
  std::string written = Diagnose();
  const size_t lengths[] = {10, 50, 150, 120, 300, 30, 5, 196, 197, 1, 60, 60, 60, 60};
  for (size_t round = 0; round < 3; ++round) {
    for (size_t n : lengths) {
      const std::string source(n, static_cast<char>('a' + round));
      h->HandleMessage("", source, TMsgDlgType::mtInformation, 0, 0, 0, false, mkDiagnoseOnly);
      written += source + ": \r\n";
      const std::string d = Diagnose();
      const std::string backup = dir.Read("Diagnose2.log");
      SCOPED_TRACE(n);
      EXPECT_TRUE(d.size() <= 200 || d.find("\r\n") == d.size() - 2) << d.size();
      // Only the oldest lines ever go, and only to make room.
      ASSERT_GE(written.size(), backup.size() + d.size());
      EXPECT_EQ(written.substr(written.size() - backup.size() - d.size()), backup + d);
      size_t files = 0;
      for (const auto& e : fs::directory_iterator(dir.Path())) files += e.path().extension() == ".log";
      EXPECT_LE(files, 2u);
    }
  }
}

TEST_F(MsgHandlerTest, DiagnoseThatCannotMoveToItsBackupKeepsEveryLineAndSaysSo) {
  auto h = Make();
  h->SetDiagnMaxSize(100);
  h->SetModes(DiagnoseEnabled);
  dir.Write("Diagnose2.log/keep", "x");  // a folder where the backup should go
  const std::string before = Diagnose();
  const std::string line(80, 'm');
  try {
    h->HandleMessage(line, "M", TMsgDlgType::mtInformation, 0, 0, 0, false, mkDiagnoseOnly);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_TRUE(Has(e.Message(), "cannot rename")) << e.Message();
  }
  // From another thread the error goes to the exception display.
  std::thread([&] { h->HandleMessage(line, "W", TMsgDlgType::mtInformation, 0, 0, 0, false, mkDiagnoseOnly); }).join();
  ProcessPostedMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(Has(shown[0], "cannot rename"));
  EXPECT_EQ(Diagnose(), before + "M: " + line + "\r\nW: " + line + "\r\n");
}

TEST_F(MsgHandlerTest, WorkerLinesReachTheLogsInPostingOrderThroughTheMainThread) {
  auto h = Make();
  h->SetModes(ProtocolEnabled | DiagnoseEnabled);
  const std::string before = Protocol();
  std::thread worker([&] {
    for (int i = 0; i < 300; ++i)
      h->HandleMessage("n" + std::to_string(i), "W", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  });
  worker.join();
  EXPECT_EQ(Protocol(), before);  // nothing written by the worker itself
  h->HandleMessage("main", "M", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  ProcessPostedMessages();
  std::string expected = before + "M: main\r\n";
  for (int i = 0; i < 300; ++i) expected += "W: n" + std::to_string(i) + "\r\n";
  EXPECT_EQ(Protocol(), expected);
  const std::string diagnose = Diagnose();
  EXPECT_EQ(diagnose.substr(diagnose.size() - 9), "W: n299\r\n");
}

TEST_F(MsgHandlerTest, WorkerNeverOpensADialogItself) {
  auto h = Make();
  h->SetModes(AutoModeEnabled);
  dialog.answer = 6;
  std::atomic<bool> done{false};
  uint16_t question = 0, error = 0;
  std::thread worker([&] {
    question = h->HandleMessage("Stop?", "W", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0, 7, true, mkQuestion);
    error = h->HandleMessage("Broken", "W", TMsgDlgType::mtError, mbOK, 0, 1, false, mkError);
    done = true;
  });
  while (!done) WaitAndProcessMessages(10);
  worker.join();
  ProcessPostedMessages();
  EXPECT_EQ(question, 6);
  EXPECT_EQ(error, 1);
  ASSERT_EQ(dialog.asked, std::vector<std::string>{"Stop?"});
  EXPECT_EQ(dialog.threads[0], std::this_thread::get_id());
  EXPECT_TRUE(Has(Protocol(), "W: BrokenOK\r\n"));
}

TEST_F(MsgHandlerTest, ProgramStartAndStopLinesAndPendingLinesAtDestruction) {
  auto h = Make();
  MsgHandler = h.get();
  h->SetModes(ProtocolEnabled);
  std::thread([&] { h->HandleMessage("late", "W", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly); }).join();
  h.reset();
  EXPECT_EQ(MsgHandler, nullptr);
  EXPECT_TRUE(Has(Protocol(), ": mhd_ProgramStopped\r\nW: late\r\n")) << Protocol();
}

// The protocol monitor page hooks in through these three operations.
class TCopyingMsgHandler : public TMsgHandler {
public:
  using TMsgHandler::TMsgHandler;
  std::vector<std::string> page;
  bool open = false;
  void WriteProtocol(const std::string& line) override {
    TMsgHandler::WriteProtocol(line);
    if (open) page.push_back(line);
  }
  void ProtocolStarted() override {
    TMsgHandler::ProtocolStarted();
    open = true;
  }
  void ProtocolStopped() override {
    TMsgHandler::ProtocolStopped();
    open = false;
  }
};

TEST_F(MsgHandlerTest, DescendantSeesProtocolLinesWhileItsPageIsOpen) {
  TCopyingMsgHandler h(nullptr, dir.Path(), dir.File("Quarvel.INI"), &clock);
  h.SetModes(ProtocolEnabled);
  EXPECT_TRUE(h.open);
  h.DoMessage("here", "M", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  std::thread([&] { h.HandleMessage("there", "W", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly); }).join();
  ProcessPostedMessages();
  h.SetModes(0);
  EXPECT_FALSE(h.open);
  h.DoMessage("gone", "M", TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
  EXPECT_EQ(h.page, (std::vector<std::string>{"M: here", "W: there", kStamp + ": mhd_ProtocolStopped"}));
}

TEST_F(MsgHandlerTest, ProtocolOptionsDialogKeepsDiagnoseAndAutomaticMode) {
  auto h = Make();
  h->SetModes(DiagnoseEnabled | AutoModeEnabled | ProtocolEnabled | AutoLogFile);
  TProtOptions seen;
  bool ok = false;
  TProtOptions answer{true, true, false, 20480};
  h->ProtOptionsDialog = [&](TProtOptions& o) {
    seen = o;
    EXPECT_THROW(h->EditProtOptions(), Exception);  // one dialog at a time
    if (ok) o = answer;
    return ok;
  };
  h->EditProtOptions();  // cancelled
  EXPECT_FALSE(seen.AutoModeOnly);
  EXPECT_FALSE(seen.Short);
  EXPECT_TRUE(seen.AutoLogFile);
  EXPECT_EQ(seen.MaxSize, 10240);
  EXPECT_EQ(h->Modes(), DiagnoseEnabled | AutoModeEnabled | ProtocolEnabled | AutoLogFile);

  ok = true;
  h->EditProtOptions();
  EXPECT_EQ(h->Modes(), DiagnoseEnabled | AutoModeEnabled | ProtocolShort);
  EXPECT_EQ(h->ProtMaxSize(), 20480);
  h->EditProtOptions();
  EXPECT_TRUE(seen.AutoModeOnly);
  EXPECT_TRUE(seen.Short);
  EXPECT_FALSE(seen.AutoLogFile);
}

}  // namespace
}  // namespace qv
