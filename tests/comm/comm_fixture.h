#pragma once
// Fixtures of the communication tests: a home folder with the program's INI file, the English
// texts, a message handler that keeps its logs there and records every message, a stand-in
// progress window that runs its modal loop on the message queue, and two small protocols that
// talk to a logger: a wake-up and an identify request.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/language_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/process_window_service.h"
#include "comm/qv_com_port.h"
#include "comm/telegram.h"
#include "platform/os/message_queue.h"
#include "platform/serial/com_port_map.h"
#include "support/english_texts.h"
#include "support/temp_dir.h"
#include "pty_logger.h"

namespace qv::test {

// The protocols' time-outs and pauses in this test process are half the program's (set once in
// comm_fixture.cpp), so that a logger that never answers is given up in half the time. A delay
// meant to fall inside or beyond a time-out (the logger's, or the program's on a busy machine) is
// scaled alike.
constexpr double kTimerScale = 0.5;
constexpr int ScaledMs(int ms) { return static_cast<int>(ms * kTimerScale); }

// While one lives, the program's time-outs and pauses run at a quarter of kTimerScale: for a
// logger that never answers, where no wait races an answer.
class NoAnswerTimeOuts {
public:
  NoAnswerTimeOuts();
  ~NoAnswerTimeOuts();
  NoAnswerTimeOuts(const NoAnswerTimeOuts&) = delete;
  NoAnswerTimeOuts& operator=(const NoAnswerTimeOuts&) = delete;
};

// A home folder of its own with the program's INI file, set as the application globals.
class Home {
public:
  explicit Home(const std::string& ini_text = "", const std::string& sub = "")
      : saved_exe_(ExePath), saved_ini_(IniFileName) {
    std::filesystem::create_directories(dir_.File(sub));
    ExePath = sub.empty() ? dir_.Path() : dir_.File(sub) + "/";
    IniFileName = ExePath + "QUARVEL.INI";
    std::ofstream(IniFileName, std::ios::binary) << ini_text;
  }
  ~Home() {
    ExePath = saved_exe_;
    IniFileName = saved_ini_;
    SetComPortMapHook(nullptr);
  }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  // A trace file last written age_s seconds ago.
  void Trace(int n, int age_s) const {
    std::string name = ExePath + "Trace" + std::to_string(n) + ".trc";
    std::ofstream(name) << "old " << n;
    std::filesystem::last_write_time(name, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(age_s));
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(ExePath + name); }
  std::string Read(const std::string& name) const {
    std::ifstream in(ExePath + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

private:
  TempDir dir_;
  std::string saved_exe_, saved_ini_;
};

struct RecordedMessage {
  std::string text, source;
  TMsgKind kind;
};

// The program's message handler with protocol and diagnose logs in ExePath; every message is
// also recorded. Dialogs are answered by Answer (unset: OK, or Abort where Abort is offered).
class RecordingHandler : public TMsgHandler {
public:
  RecordingHandler() : TMsgHandler(nullptr, ExePath, IniFileName) {
    MsgHandler = this;
    SetModes(ProtocolEnabled | DiagnoseEnabled);
    messages.clear();  // the start lines of the logs
    MsgDialogProc = [this](const std::string& msg, TMsgDlgType, TMsgDlgButtons buttons, int32_t) -> int {
      dialogs.push_back(msg);
      if (Answer) return Answer(msg, buttons);
      return (buttons & mbAbort) ? mrAbort : mrOk;
    };
  }
  ~RecordingHandler() override {
    MsgDialogProc = nullptr;
    if (MsgHandler == this) MsgHandler = nullptr;
  }
  uint16_t HandleMessage(const std::string& msg, const std::string& source, TMsgDlgType dlg_type,
                         TMsgDlgButtons buttons, int32_t help_ctx, uint16_t default_result, bool with_time,
                         TMsgKind kind) override {
    messages.push_back({msg, source, kind});
    return TMsgHandler::HandleMessage(msg, source, dlg_type, buttons, help_ctx, default_result, with_time, kind);
  }
  // Texts of the messages of one kind.
  std::vector<std::string> Texts(TMsgKind kind) const {
    std::vector<std::string> out;
    for (const auto& m : messages)
      if (m.kind == kind) out.push_back(m.text);
    return out;
  }

  std::function<int(const std::string& msg, TMsgDlgButtons buttons)> Answer;
  std::vector<RecordedMessage> messages;
  std::vector<std::string> dialogs;
};

// Stands in for the progress window: its modal loop pumps the message queue, starts OnProcess
// once and ends on Finish. During the run, User is called at each pass (for a Cancel).
class FakeProcessWindow : public TProcessWindowService {
public:
  ~FakeProcessWindow() override {
    if (ProcessWindow == this) ProcessWindow = nullptr;
  }
  bool Visible() const override { return visible_; }
  bool GetCancelVisible() const override { return cancel_visible_; }
  void SetCancelVisible(bool v) override { cancel_visible_ = v; }
  void SetText1(const std::string& t) override { texts[0] = t; }
  void SetText2(const std::string& t) override { texts[1] = t; }
  void SetText3(const std::string& t) override { texts[2] = t; }
  void Finish(int result) override { result_ = result; }
  int ShowModal() override {
    visible_ = true;
    result_ = 0;
    ++shows;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (result_ == 0 && std::chrono::steady_clock::now() < end) {
      if (OnProcess) {
        auto process = std::move(OnProcess);
        OnProcess = nullptr;
        process(this);
        continue;
      }
      if (User) User(*this);
      WaitAndProcessMessages(5);
    }
    visible_ = false;
    return result_;
  }
  void Free() override {
    ++*frees;
    delete this;
  }
  void PressCancel() {
    if (OnCancel) OnCancel(this);
  }

  std::function<void(FakeProcessWindow&)> User;
  std::string texts[3];
  int shows = 0;
  std::shared_ptr<int> frees = std::make_shared<int>(0);

private:
  bool visible_ = false;
  bool cancel_visible_ = false;
  int result_ = 0;
};

// Installs a factory of stand-in windows; each new window gets Setup.
class FakeWindowFactory {
public:
  explicit FakeWindowFactory(std::function<void(FakeProcessWindow&)> setup = nullptr) : setup_(std::move(setup)) {
    ProcessWindowFactory = [this]() -> TProcessWindowService* {
      auto* w = new FakeProcessWindow;
      w->frees = frees;
      ++created;
      if (setup_) setup_(*w);
      return w;
    };
  }
  ~FakeWindowFactory() { ProcessWindowFactory = nullptr; }
  int created = 0;
  std::shared_ptr<int> frees = std::make_shared<int>(0);

private:
  std::function<void(FakeProcessWindow&)> setup_;
};

// Sends spaces until the logger refuses one with "#" and a blank: at most MaxSpaces, each
// answer awaited for 9 ticks.
class WakeUpProt : public TTelgrProtocol {
public:
  std::string ClassName() const override { return "WakeUpProt"; }
  std::string GetName() const override { return "Wake-up"; }
  void InitProtocol() override;
  void ProtProc(void* sender) override;

  int MaxSpaces = 9;
  int Step = 0;
  int SpaceCount = 0;
  TNackInTelgr* Answer;

  WakeUpProt();

private:
  void SendSpace();
};

// Optionally wakes the logger (a child protocol), then asks "&S" and takes the identity: the
// acknowledge "$&S", then the identity frame. Failures the user may repeat ask whether to retry.
class IdentifyProt : public TTelgrProtocol {
public:
  IdentifyProt();
  std::string ClassName() const override { return "IdentifyProt"; }
  std::string GetName() const override { return "Identify"; }
  void InitProtocol() override;
  void ProtProc(void* sender) override;

  bool UseWakeUp = true;
  int MaxSpaces = 3;
  int Step = 0;
  uint16_t Kennung = 0;
  uint8_t DevKind = 0;
  TScanTelgr* Scan;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;
  TReceiveIdTelgr* Id;
  std::unique_ptr<WakeUpProt> WakeUp;

private:
  void SendScan();
  void Retry(const std::string& key);
};

// The program's port on a pseudo-terminal with a simulated logger behind it, a message handler
// with its logs, the English texts and stand-in progress windows.
class LoggerLine {
public:
  static constexpr int kCom = 9;
  explicit LoggerLine(sim::SimConfig config = {}, std::function<void(FakeProcessWindow&)> user = nullptr)
      : logger_(std::make_unique<sim::PtyLogger>(std::move(config))),
        home_("[SerialPorts]\r\nCOM9=" + logger_->SlavePath() + "\r\n"),
        windows_(std::move(user) ? [u = std::move(user)](FakeProcessWindow& w) { w.User = u; }
                                 : std::function<void(FakeProcessWindow&)>()) {
    SetMainThread();
    InstallComPortMap();
    logger_->Start();
    port_.SetComNumber(kCom);
    port_.SetOpen(true);
  }
  ~LoggerLine() {
    if (port_.Open()) port_.SetOpen(false);
    logger_->Stop();
  }

  TQvComPort& Port() { return port_; }
  sim::PtyLogger& Logger() { return *logger_; }
  RecordingHandler& Handler() { return handler_; }
  FakeWindowFactory& Windows() { return windows_; }
  Home& HomeFolder() { return home_; }

private:
  std::unique_ptr<sim::PtyLogger> logger_;
  Home home_;
  EnglishTexts texts_;
  RecordingHandler handler_;
  FakeWindowFactory windows_;
  TQvComPort port_;
};

}  // namespace qv::test
