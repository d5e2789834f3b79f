// The logger main window in the whole program: its commands against a simulated logger on a
// pseudo-terminal, its bindings, the deferred update, the language switch and the close.
#include "shell/qv_main_fm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_globals.h"
#include "archive/archive_start.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/archive_window.h"
#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/forms/iv_select_resource_language_dialog.h"
#include "base/language_file.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "comm/com_port_list.h"
#include "comm/connection.h"
#include "comm/recorder.h"
#include "controls/sty_toolbar.h"
#include "datastore/dt_navigator.h"
#include "datastore/kw_data.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "devices/forms/device_frame.h"
#include "devices/forms/tv10_mod_editor.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/graphics.h"
#include "platform/gui/menus.h"
#include "platform/gui/printers.h"
#include "platform/gui/std_ctrls.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/format.h"
#include "platform/os/message_queue.h"
#include "platform/rtl/string_list.h"
#include "pty_logger.h"
#include "shell/appl_module.h"
#include "shell/d20_select_dlg.h"
#include "shell/d31_explorer.h"
#include "shell/d72_sel_start_date_time.h"
#include "shell/program_start.h"
#include "support/temp_dir.h"
#include "visual/auto_monitor.h"
#include "visual/bit_monitor.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_box.h"
#include "visual/print_layout.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"

namespace qv {
namespace {

constexpr int kCom = 9;
constexpr int kMemSamples = 12;
constexpr uint32_t kGerman = 0x0407;

// The whole program in a home folder of its own, with a simulated logger on COM9. Modal dialogs
// are answered by OnDialog from an idle task, as a user would answer them; message boxes by
// Answer (unset: Yes, else Retry, else OK).
class MainWindow : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    formats_ = FormatSettings;
    sim.SetKind(5);
    sim.id = 0x2345;
    sim.samples = kMemSamples;
    sim.interval = 10;
    sim.sample = 1;
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons buttons) {
      shown.push_back(msg);
      if (Answer) return Answer(msg, buttons);
      if (buttons & mbYes) return static_cast<int>(mrYes);
      if (buttons & mbRetry) return static_cast<int>(mrRetry);
      return static_cast<int>(mrOk);
    });
  }
  void TearDown() override {
    reading_tick_.reset();
    program.reset();
    SystemUserName = system_user_;
    delete UserManager;
    UserManager = nullptr;
    ResetArchiveGlobals();
    if (logger) logger->Stop();
    SetMessageDlgAnswerer(nullptr);
    Application->ClearTerminated();
    SetResourceLocale(0, false);
    ResetResourceLanguageSetup();
    // A language switch brings that language's number and date formats along.
    ReplaceFormatSettings(formats_);
  }

  // A logger behind the link that COM9 names, as a plugged-in adapter; a later call plugs another
  // one in its place.
  void StartLogger(const std::string& more_ini = "") {
    if (logger) logger->Stop();
    logger = std::make_unique<sim::PtyLogger>(sim);
    logger->Start();
    const std::string link = home.File("ttyLogger");
    std::filesystem::remove(link);
    std::filesystem::create_symlink(logger->SlavePath(), link);
    if (!std::filesystem::exists(home.File("quarvel.INI")))
      home.Write("quarvel.INI", "[SerialPorts]\r\nCOM9=" + link + "\r\n" + more_ini);
  }
  // A logger of kind 7, which samples every second and keeps no memory.
  void UseSamplingLogger() {
    sim = sim::SimConfig();
    sim.SetKind(7);
    sim.id = 0x3456;
    sim.sample = 1;
  }
  // Starts the program and runs its first idle pass.
  TQVMainFm* StartProgram(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--home", home.Path()};
    args.insert(args.end(), extra.begin(), extra.end());
    program = std::make_unique<TProgram>(args, std::string(QV_SOURCE_DIR) + "/res/");
    // The program as it runs: the archive window is the main form and opens the logger window
    // once the user is logged on, here by the system user's name.
    if (!std::filesystem::exists(home.File("Dossaly/Users.dat"))) {
      std::filesystem::create_directories(home.File("Dossaly"));
      TDY_UserManager users(home.File("Dossaly/Users.dat"));
      users.AddGroup({1, "Admins", static_cast<uint16_t>((1u << UserRightCount) - 1)});
      TDY_User admin;
      admin.UserID = 1, admin.UserName = "admin", admin.Password = "Secret12", admin.GroupID = 1;
      users.AddUser(admin);
      users.SaveGroups();
      users.SaveUsers();
      home.Write("Dossaly.ini", "[Dossaly]\r\nUseWinLogon=1\r\nPwdOnStartup=0\r\n");
    }
    SystemUserName = [] { return std::string("admin"); };
    program->SetArchiveServices(StartArchiveServices, StopArchiveServices);
    program->SetMainWindow(CreateArchiveWindow, EndArchiveWithoutQuestions);
    EXPECT_TRUE(program->Start()) << program->Error();
    EXPECT_NE(Application->MainForm(), program->MainForm());  // the archive window
    TQVMainFm* w = program->MainForm();
    if (!w) return nullptr;
    w->Show();
    IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool&) { DriveDialogs(); });
    Pump(1);
    // On a real display the user starts once the window manager has maximised the window.
    if (OnRealDisplay()) {
      const TRect work = Screen->Monitors(Screen->MonitorFromWindow(w)).WorkareaRect;
      EXPECT_TRUE(PumpUntil([&] { return WindowFrameRect(w) == work; }, 10))
          << "the main window is not maximised on the screen: " << WindowFrameRect(w).Left << ","
          << WindowFrameRect(w).Top << " " << WindowFrameRect(w).Width() << "x" << WindowFrameRect(w).Height()
          << " state " << static_cast<int>(w->WindowState()) << " on " << work.Width() << "x" << work.Height();
    }
    return w;
  }
  void EndProgram() {
    if (IdleTaskManager) IdleTaskManager->RemoveTask(this, nullptr);
    program.reset();
    Application->ClearTerminated();
  }
  // Idle passes for a while, as the main loop would run them.
  static void Pump(int passes, int sleep_ms = 0) {
    for (int i = 0; i < passes; ++i) {
      Application->ProcessMessages();
      Application->DoIdle();
      // Wakes at once for the port's and the recorder's messages.
      if (sleep_ms) WaitAndProcessMessages(sleep_ms);
    }
  }
  static bool PumpUntil(const std::function<bool()>& done, int seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Pump(1, 10);
    }
    return true;
  }
  // Message boxes show and are answered with the mouse, as a user answers them: the button that
  // BoxAnswer names (unset: Yes, else Retry, else OK). Their texts go to `shown`.
  void UseRealMessageBoxes() {
    SetMessageDlgAnswerer(nullptr);
    real_boxes_ = true;
  }
  // A user reads a box for a while before answering it; the program's own work goes on meanwhile.
  void ReadBoxesFor(int ms) {
    reading_ms_ = ms;
    reading_tick_ = std::make_unique<TTimer>(nullptr);
    reading_tick_->SetInterval(50);
    reading_tick_->OnTimer = [this](TComponent*) { DriveDialogs(); };
  }
  // The answer runs from the main loop, not from inside the idle pass, so that the work it starts
  // (a progress window of its own) gets idle passes too. A dialog that its answer opens is
  // answered from that dialog's own loop.
  void DriveDialogs() {
    if ((!OnDialog && !real_boxes_) || posted_) return;
    posted_ = true;
    // The call may still be queued when the test is over.
    PostDeferredCall([this, alive = std::weak_ptr<bool>(alive_)] {
      if (alive.expired()) return;
      posted_ = false;
      TModalWindow top;
      if (!TopModalWindow(top)) return;
      if (std::find(acting_on_.begin(), acting_on_.end(), top.Id) != acting_on_.end()) return;
      acting_on_.push_back(top.Id);
      if (!top.Form && real_boxes_) {
        if (reading_ms_ > 0) {
          if (top.Id != reading_box_) {
            reading_box_ = top.Id;
            reading_since_ = std::chrono::steady_clock::now();
          }
          if (std::chrono::steady_clock::now() - reading_since_ < std::chrono::milliseconds(reading_ms_)) {
            acting_on_.pop_back();
            return;
          }
          reading_box_ = nullptr;
        }
        shown.push_back(top.Text);
        std::string answer = BoxAnswer ? BoxAnswer(top.Text) : "";
        const auto has = [&](const std::string& b) {
          return std::find(top.Buttons.begin(), top.Buttons.end(), b) != top.Buttons.end();
        };
        if (answer.empty()) answer = has("Yes") ? "Yes" : has("Retry") ? "Retry" : "OK";
        EXPECT_TRUE(UserClickDialogButton(answer)) << top.Text;
      } else if (top.Form && OnDialog && top.Form->ModalResult() == mrNone) {
        OnDialog(top.Form);
      }
      acting_on_.erase(std::find(acting_on_.begin(), acting_on_.end(), top.Id));
    });
  }
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool posted_ = false;
  bool real_boxes_ = false;
  int reading_ms_ = 0;
  std::unique_ptr<TTimer> reading_tick_;
  TFormatSettings formats_;
  const void* reading_box_ = nullptr;
  std::chrono::steady_clock::time_point reading_since_;
  std::vector<const void*> acting_on_;
  // Clicks the monitor book's tab of a page.
  static void ClickPageTab(int page_index) {
    TTabSet* tabs = QVMainFm->Book()->TabSet();
    for (int x = 0; x < tabs->Width(); ++x)
      if (tabs->TabAt(x) == page_index) {
        UserClick(tabs, {x + 3, tabs->Height() / 2});
        return;
      }
    ADD_FAILURE() << "no tab for page " << page_index;
  }

  std::string Shown() const {
    std::string out;
    for (const std::string& m : shown) out += "\n  shown: " + m;
    for (const auto& e : std::filesystem::directory_iterator(home.Path())) {
      if (e.path().extension() != ".trc") continue;
      std::ifstream log(e.path());
      std::string line;
      std::vector<std::string> lines;
      while (std::getline(log, line)) lines.push_back(line);
      out += "\n  trace " + e.path().filename().string();
      for (size_t i = lines.size() > 25 ? lines.size() - 25 : 0; i < lines.size(); ++i) out += "\n    " + lines[i];
    }
    return out;
  }
  static TTv10Modul* Logger0() {
    return DbShell && DbShell->Root()->ChildCount() > 0 ? dynamic_cast<TTv10Modul*>(DbShell->Root()->GetChild(0))
                                                        : nullptr;
  }
  static TDDTMonitor* Page(int index) {
    auto* book = QVMainFm ? QVMainFm->Book() : nullptr;
    return book ? dynamic_cast<TDDTMonitor*>(book->GetMonitor(index)) : nullptr;
  }
  // The first page of the user's own, and the selected device's automatic page.
  static TDDTMonitor* UserPage() { return QVMainFm ? Page(QVMainFm->Book()->FirstPageOfGroup(100)) : nullptr; }
  static TDDTMonitor* AutoPage() {
    return QVMainFm ? Page(QVMainFm->Book()->FirstPageOfGroup(TAutoMonitor::kGroup)) : nullptr;
  }
  // The records in the data set's present window, and the curve points the plot draws of them.
  static size_t WindowRecords(TData* data) {
    auto* dt = dynamic_cast<TDtData*>(data);
    if (!dt) return 0;
    TDataLock lock(*dt);
    dt->SelectWindow(1);
    size_t n = 0;
    for (bool ok = dt->First(); ok; ok = dt->Next())
      if (!dt->DtRec()->IsEmpty()) ++n;
    return n;
  }
  // The records of a sensor's weekly files of the last weeks, read back by a data set of their own.
  static std::vector<std::string> StoredRecords(TTavra2GSubMod* sub) {
    std::vector<std::string> out;
    if (!sub) return out;
    TDtRecord rec(sub->Channels()->ValueCount());
    TKwData kw(sub->Dir(), sub->Channels(), &rec);
    const auto today = static_cast<uint16_t>(TodayDayNo());
    if (kw.OpenDT(TDtStamp{static_cast<uint16_t>(today - 60), 0}, TDtStamp{static_cast<uint16_t>(today + 1), 86399},
                  NoDtStamp, NoDtStamp) != drDone)
      return out;
    TDataLock lock(kw);
    kw.SelectWindow(1);
    for (bool ok = kw.First(); ok; ok = kw.Next()) {
      const TDtRecord& r = *kw.DtRec();
      if (r.IsEmpty()) continue;
      std::string text = std::to_string(r.Date) + " " + std::to_string(r.Time);
      for (int i = 0; i < r.ValueCount(); ++i) text += " " + std::to_string(r.GetValues(i));
      out.push_back(text);
    }
    return out;
  }
  static size_t CurvePoints(TDtPlotVO* plot) {
    TDtPlotBox* box = plot->DtPlotBox();
    TRecordingCanvas canvas(box->Width(), box->Height());
    canvas.StartRecording();
    box->PaintOn(canvas);
    size_t points = 0;
    for (const TCanvasCall& call : canvas.Calls())
      if (call.Op == "Polyline") points += call.Points.size();
    return points;
  }

  test::TempDir home;
  std::function<std::string()> system_user_ = SystemUserName;
  sim::SimConfig sim;
  std::unique_ptr<sim::PtyLogger> logger;
  std::unique_ptr<TProgram> program;
  std::vector<std::string> shown;
  std::function<int(const std::string& msg, TMsgDlgButtons buttons)> Answer;
  std::function<std::string(const std::string& msg)> BoxAnswer;
  // Acts on an open modal dialog; answers true when it did.
  std::function<bool(TForm*)> OnDialog;
};

// The main road as a user walks it, every step with the mouse and the keyboard: the port, the
// logger's configuration, the explorer, a memory read, a plot, a restart, and online recording
// on a logger read just before.
TEST_F(MainWindow, MainRoadAgainstTheSimulatedLogger) {
  UseRealMessageBoxes();
  StartLogger();
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(QVMainFm, w);
  EXPECT_EQ(w->Caption(), "Quarvel2 - [ ]");
  ASSERT_NE(w->Book(), nullptr);
  EXPECT_EQ(MonitorBook, static_cast<TMonitorBookService*>(w->Book()));

  // Choose the port.
  TStringList ports;
  ListComPorts(ports);
  const int com_index = ports.IndexOf("COM" + std::to_string(kCom));
  ASSERT_GE(com_index, 0);
  OnDialog = [&](TForm* f) {
    auto* d = dynamic_cast<TD20_SelectDlg*>(f);
    if (!d) return false;
    auto* list = dynamic_cast<TListBox*>(d->ChoiceControl());
    EXPECT_NE(list, nullptr);
    if (list) {
      EXPECT_TRUE(UserClickListItem(list, com_index));
    }
    UserClick(d->OKBtn);
    return true;
  };
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenComm")));
  EXPECT_EQ(Connection->Port()->ComNumber(), kCom);

  // Identify the logger and read its configuration: it joins the device tree, and the read ends
  // well (the new logger joining the tree does not cut the line under it) with the offer to
  // switch to the logger. Yes selects it.
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenReadCfg")));
  ASSERT_EQ(shown.size(), 1u) << Shown();
  EXPECT_EQ(shown[0], Format(LoadResString("deh_SwitchToCurDevF"), "Logger_1"));
  TTv10Modul* module = Logger0();
  ASSERT_NE(module, nullptr) << Shown();
  EXPECT_EQ(module->Kennung(), 0x2345);
  ASSERT_EQ(w->DeviceComboB->Items().Count(), 1);
  EXPECT_EQ(DbShell->GetSelDevice(), module);
  EXPECT_EQ(w->Caption(), "Quarvel2 - [" + module->GetTreeIdName() + "]");

  // Change its configuration in the explorer: a new name on the first tab, another saving
  // interval on the Recording tab; both go to the logger, and the caption follows the name.
  const std::vector<uint8_t> image_before = logger->Image();
  int save_index_before = -1;
  bool edited = false;
  OnDialog = [&](TForm* f) {
    auto* d = dynamic_cast<TD31_Explorer*>(f);
    if (!d || edited) return false;
    edited = true;
    EXPECT_EQ(d->CurrentElement(), static_cast<TExplElement*>(module));
    auto* editor = dynamic_cast<TTv10ModEditor*>(module->Editor());
    EXPECT_NE(editor, nullptr);
    if (!editor) return true;
    TTv10ModFrame* frame = editor->ModFrame();
    TEditorPages& pages = *frame->PageControl;
    UserClick(pages.Tabs[TTv10ModFrame::kLoggingSheet]);
    EXPECT_EQ(pages.ActivePage(), TTv10ModFrame::kLoggingSheet);
    EXPECT_TRUE(pages.Sheets[TTv10ModFrame::kLoggingSheet]->Visible());
    TComboBox* save = frame->SaveIntCombo;
    save_index_before = save->ItemIndex();
    UserClick(save);
    UserKey(save_index_before == 0 ? VK_DOWN : VK_UP);
    UserKey(VK_RETURN);
    EXPECT_NE(save->ItemIndex(), save_index_before);
    UserClick(pages.Tabs[TTv10ModFrame::kSensorSheet]);
    EXPECT_EQ(pages.ActivePage(), TTv10ModFrame::kSensorSheet);
    UserClick(pages.Tabs[TTv10ModFrame::kInfoSheet]);
    EXPECT_EQ(pages.ActivePage(), TTv10ModFrame::kInfoSheet);
    UserRetype(frame->LNameEdit, "Cellar");
    EXPECT_EQ(frame->LNameEdit->Text(), "Cellar");
    UserClick(d->OKBtn);
    return true;
  };
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenExplorer")));
  OnDialog = nullptr;
  EXPECT_TRUE(edited);
  EXPECT_EQ(module->Name(), "Cellar");
  EXPECT_NE(logger->Image(), image_before);
  EXPECT_EQ(w->Caption(), "Quarvel2 - [" + module->GetTreeIdName() + "]");
  EXPECT_NE(module->GetTreeIdName().find("Cellar"), std::string::npos);

  // Read its memory from the toolbar, all of it.
  OnDialog = [&](TForm* f) {
    auto* d = dynamic_cast<TD72_SelStartDateTime*>(f);
    if (!d) return false;
    if (!d->ReadAllData->Checked()) UserClick(d->ReadAllData);
    EXPECT_TRUE(d->ReadAllData->Checked());
    UserClick(d->OKBtn);
    return true;
  };
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending && w->Button("ReadMemButton")->Enabled(); }));
  UserClick(w->Button("ReadMemButton"));
  OnDialog = nullptr;
  TTavra2GSubMod* sub = module->GetSubModul(1);
  ASSERT_NE(sub, nullptr);
  const std::vector<std::string> memory = StoredRecords(sub);
  EXPECT_EQ(memory.size(), static_cast<size_t>(kMemSamples)) << Shown();

  // The logger's automatic page holds every channel in its table.
  TChanSelList cells;
  module->FillTotalChanList(&cells);
  ASSERT_TRUE(AutoPage() && AutoPage()->TableVO());
  EXPECT_EQ(AutoPage()->TableVO()->GetGlobChanCount(), static_cast<int>(cells.size()));
  EXPECT_FALSE(AutoPage()->DiagramList().empty());

  // A page of the user's own, added from the menu, chosen by its tab; a plot added with the
  // page's button shows the channels read.
  if (!UserPage()) {
    const std::string ddt =
        DDTMonitorClass.GetTypeDescr ? DDTMonitorClass.GetTypeDescr() : std::string(DDTMonitorClass.Name);
    OnDialog = [&](TForm* f) {
      auto* d = dynamic_cast<TD20_SelectDlg*>(f);
      auto* list = d ? dynamic_cast<TListBox*>(d->ChoiceControl()) : nullptr;
      if (!list) return false;
      const int index = list->Items().IndexOf(ddt);
      EXPECT_GE(index, 0) << ddt;
      if (index >= 0) {
        EXPECT_TRUE(UserClickListItem(list, index));
      }
      UserClick(d->OKBtn);
      return true;
    };
    ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending && w->EMenAddMonitor->Enabled(); }));
    ASSERT_TRUE(UserChooseMenu(w->EMenAddMonitor));
    OnDialog = nullptr;
  }
  ASSERT_NE(UserPage(), nullptr);
  ClickPageTab(UserPage()->PageIndex);
  ASSERT_EQ(w->Book()->TabSet()->TabIndex(), UserPage()->PageIndex);
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending && w->MonButton1->Enabled(); }));
  UserClick(w->MonButton1);
  ASSERT_EQ(UserPage()->DiagramList().size(), 1u);
  auto* plot = dynamic_cast<TDtPlotVO*>(UserPage()->DiagramList()[0]);
  ASSERT_NE(plot, nullptr);
  for (int v = 0; v < sub->Channels()->ValueCount(); ++v)
    EXPECT_TRUE(plot->AddGlobChan(sub->Data(), sub->Channels()->GetValueChannel(v)));
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending && w->Button("LastButton")->Enabled(); }));
  UserClick(w->Button("LastButton"));
  Pump(3);
  EXPECT_GT(WindowRecords(sub->Data()), 0u);
  EXPECT_GE(CurvePoints(plot), 2u);

  const size_t read = WindowRecords(sub->Data());
  const int curves = plot->GetGlobChanCount();

  // Close from the menu; the stored files hold the session.
  ASSERT_TRUE(UserChooseMenu(w->Item("FMenExit")));
  EXPECT_TRUE(w->Closing);
  EXPECT_TRUE(Application->Terminated());
  const std::string module_dir = module->Dir();
  EndProgram();
  EXPECT_EQ(TIniFile2(home.File("Monitors.ini")).ReadInteger("SessionMonitors", "Count", 0), 1);
  EXPECT_TRUE(std::filesystem::exists(module_dir + "EEPar.cfg"));
  EXPECT_EQ(TIniFile2(home.File("quarvel.INI")).ReadInteger("Connection", "ComNumber", 0), kCom);

  // Restart: the logger, its selection, the port and the plot with its data are back.
  w = StartProgram();
  ASSERT_NE(w, nullptr);
  module = Logger0();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->Name(), "Cellar");
  EXPECT_EQ(DbShell->GetSelDevice(), module);
  EXPECT_EQ(w->Caption(), "Quarvel2 - [" + module->GetTreeIdName() + "]");
  EXPECT_EQ(Connection->Port()->ComNumber(), kCom);
  ASSERT_TRUE(AutoPage() && AutoPage()->TableVO());
  EXPECT_EQ(AutoPage()->TableVO()->GetGlobChanCount(), static_cast<int>(cells.size()));
  EXPECT_GT(TIniFile2(module->GetIniName()).ReadInteger("AutoMonitor", "Count", 0), 0);
  ASSERT_TRUE(UserPage() && UserPage()->DiagramList().size() == 1u);
  plot = dynamic_cast<TDtPlotVO*>(UserPage()->DiagramList()[0]);
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(plot->GetGlobChanCount(), curves);
  ClickPageTab(UserPage()->PageIndex);
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending && w->Button("LastButton")->Enabled(); }));
  UserClick(w->Button("LastButton"));
  Pump(3);
  EXPECT_EQ(WindowRecords(module->GetSubModul(1)->Data()), read);
  EXPECT_GE(CurvePoints(plot), 2u);

  // Another logger, one that samples every second, takes the adapter's place. Its configuration
  // is read and the program switches to it; the recorder started from the toolbar right after
  // shows its battery note, and the pages that the switch rebuilt take the mouse afterwards.
  UseSamplingLogger();
  StartLogger();
  shown.clear();
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenReadCfg")));
  ASSERT_EQ(shown.size(), 1u) << Shown();
  EXPECT_EQ(shown[0], Format(LoadResString("deh_SwitchToCurDevF"), "Logger_2"));
  ASSERT_EQ(DbShell->Root()->ChildCount(), 2) << Shown();
  auto* sampler = dynamic_cast<TTv10Modul*>(DbShell->Root()->GetChild(1));
  ASSERT_NE(sampler, nullptr);
  EXPECT_EQ(sampler->Kennung(), 0x3456);
  EXPECT_EQ(DbShell->GetSelDevice(), sampler);
  TSpeedButton* rec = w->Button("RecorderBtn");
  ASSERT_TRUE(rec->Enabled());
  UserClick(rec);
  ASSERT_EQ(shown.size(), 2u) << Shown();
  EXPECT_EQ(shown[1], LoadResString("rcd_BatteryWarning"));
  ASSERT_TRUE(Recorder->Running()) << Shown();
  EXPECT_TRUE(rec->Down());
  const int taken = Recorder->SamplesTaken();
  for (int i = 0; i < 20 && Recorder->SamplesTaken() < taken + 2; ++i) {
    // The pointer wanders over the toolbar and the page while the recorder samples.
    UserMove(w->ToolBar, {5 + 20 * (i % 10), 8});
    UserMove(w->Book(), {40 + 15 * i, 60 + 5 * i});
    Pump(10, 10);
  }
  ASSERT_TRUE(PumpUntil([&] { return Recorder->SamplesTaken() >= taken + 2; })) << Shown();
  UserClick(rec);
  ASSERT_TRUE(PumpUntil([&] { return !Recorder->Running(); }));
  EXPECT_FALSE(rec->Down());
  const std::vector<std::string> recorded = StoredRecords(sampler->GetSubModul(1));
  EXPECT_FALSE(recorded.empty());
  ASSERT_TRUE(UserChooseMenu(w->Item("FMenExit")));
  EndProgram();

  // Restart again: both loggers with their stored data, and the plot.
  w = StartProgram();
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(DbShell->Root()->ChildCount(), 2);
  module = Logger0();
  sampler = dynamic_cast<TTv10Modul*>(DbShell->Root()->GetChild(1));
  ASSERT_TRUE(module && sampler);
  EXPECT_EQ(StoredRecords(module->GetSubModul(1)), memory);
  EXPECT_EQ(StoredRecords(sampler->GetSubModul(1)), recorded);
  ASSERT_TRUE(UserPage() && UserPage()->DiagramList().size() == 1u);
  plot = dynamic_cast<TDtPlotVO*>(UserPage()->DiagramList()[0]);
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(plot->GetGlobChanCount(), curves);
  EndProgram();
}

// A command whose own configuration read adds its logger to the tree keeps its line and its
// protocols until it ends: reading the memory of a logger the home does not know yet, first
// thing after the start, stores the memory (and touches nothing freed).
TEST_F(MainWindow, TheMemoryOfANewLoggerIsReadFirstThing) {
  StartLogger("[Connection]\r\nComNumber=9\r\n");
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  OnDialog = [&](TForm* f) {
    auto* d = dynamic_cast<TD72_SelStartDateTime*>(f);
    if (!d) return false;
    UserClick(d->ReadAllData);
    UserClick(d->OKBtn);
    return true;
  };
  // The user clicks the toolbar's button.
  TSpeedButton* button = w->Button("ReadMemButton");
  ASSERT_TRUE(button->Enabled());
  UserClick(button);
  OnDialog = nullptr;
  TTv10Modul* module = Logger0();
  ASSERT_NE(module, nullptr) << Shown();
  EXPECT_EQ(module->Kennung(), 0x2345);
  EXPECT_EQ(StoredRecords(module->GetSubModul(1)).size(), static_cast<size_t>(kMemSamples)) << Shown();
  // Only the offer to show the data just read.
  EXPECT_EQ(shown, std::vector<std::string>{LoadResString("deh_SwitchToCurData")}) << Shown();
  EXPECT_FALSE(Connection->InProcess());
  EXPECT_TRUE(logger->Violations().empty());

  // The user's rights take commands away; given back, the device commands follow the logger again.
  for (const char* name : {"IMenReadMem", "ReadMemButton", "OMenProtocol", "FMenPageSetup"})
    w->SetCommandEnabled(name, false);
  w->RequestUpdate();
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending; }));
  EXPECT_FALSE(w->Item("IMenReadMem")->Enabled());
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(w->Item("OMenProtocol")->Enabled());
  EXPECT_FALSE(w->Item("FMenPageSetup")->Enabled());
  EXPECT_TRUE(w->Item("IMenClearMem")->Enabled());
  for (const char* name : {"IMenReadMem", "ReadMemButton", "OMenProtocol"}) w->SetCommandEnabled(name, true);
  EXPECT_TRUE(w->Item("IMenReadMem")->Enabled());
  EXPECT_TRUE(button->Enabled());
  EXPECT_TRUE(w->Item("OMenProtocol")->Enabled());
  w->SetCommandEnabled("NoSuchItem", false);
}

// Deleting a device from the menu offers the deletable devices in the selection dialog and
// deletes the one chosen.
TEST_F(MainWindow, DeleteDeviceOffersTheDevicesAndDeletesTheChosenOne) {
  StartLogger("[Connection]\r\nComNumber=9\r\n");
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenReadCfg")));
  ASSERT_NE(Logger0(), nullptr) << Shown();
  int offered = -1;
  OnDialog = [&](TForm* f) {
    auto* d = dynamic_cast<TD20_SelectDlg*>(f);
    if (!d) return false;
    auto* list = dynamic_cast<TListBox*>(d->ChoiceControl());
    EXPECT_NE(list, nullptr);
    if (list) {
      offered = list->Items().Count();
      EXPECT_TRUE(UserClickListItem(list, 0));
    }
    UserClick(d->OKBtn);
    return true;
  };
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenDelDevice")));
  OnDialog = nullptr;
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(Logger0(), nullptr) << Shown();
}

// Setting the clock of a logger the home does not know yet: its configuration read adds it to
// the tree, and the clock is then set once on the same line, whatever the answer to the offer
// to switch to it.
TEST_F(MainWindow, TheClockOfANewLoggerIsSetOnce) {
  StartLogger("[Connection]\r\nComNumber=9\r\n");
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  const struct {
    int kind;
    int id;
    int answer;
  } cases[] = {{5, 0x2345, mrYes}, {6, 0x2346, mrNo}};
  int loggers = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    sim = sim::SimConfig();
    sim.SetKind(c.kind);
    sim.id = c.id;
    sim.burst = true;
    StartLogger();
    shown.clear();
    Answer = [&](const std::string&, TMsgDlgButtons buttons) {
      if (buttons & mbYes) return c.answer;
      return static_cast<int>(mrOk);
    };
    ASSERT_TRUE(UserChooseMenu(w->Item("IMenSyncClock")));
    Answer = nullptr;
    ASSERT_EQ(DbShell->Root()->ChildCount(), ++loggers) << Shown();
    auto* module = dynamic_cast<TTv10Modul*>(DbShell->Root()->GetChild(loggers - 1));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->Kennung(), c.id);
    const std::vector<std::string> requests = logger->Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "&T"), 1) << Shown();
    EXPECT_EQ(shown, std::vector<std::string>{Format(LoadResString("deh_SwitchToCurDevF"), module->Name())}) << Shown();
    EXPECT_EQ(DbShell->GetSelDevice() == module, c.answer == mrYes);
    EXPECT_FALSE(Connection->InProcess());
    EXPECT_TRUE(logger->Violations().empty());
  }
}

// The device change that a command causes (its new logger joins the tree) takes effect when the
// command ends: the line of a sampling logger, which its read would keep open, closes then; the
// recorder that adds its logger keeps the line it samples on.
TEST_F(MainWindow, ADeviceChangeDuringACommandTakesEffectWhenItEnds) {
  UseSamplingLogger();
  StartLogger("[Connection]\r\nComNumber=9\r\n");
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  Answer = [](const std::string&, TMsgDlgButtons buttons) { return static_cast<int>((buttons & mbNo) ? mrNo : mrOk); };
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenReadCfg")));
  ASSERT_NE(Logger0(), nullptr) << Shown();
  EXPECT_EQ(shown, std::vector<std::string>{Format(LoadResString("deh_SwitchToCurDevF"), Logger0()->Name())});
  EXPECT_FALSE(Connection->InProcess());

  sim.id = 0x3457;
  StartLogger();
  Answer = nullptr;
  UserClick(w->Button("RecorderBtn"));
  ASSERT_TRUE(Recorder->Running()) << Shown();
  ASSERT_EQ(DbShell->Root()->ChildCount(), 2);
  EXPECT_TRUE(Connection->InProcess());
  Recorder->Stop();
}

// A sampling logger read from the menu and switched to; the recorder started from the toolbar
// right after shows its battery note while the switch rebuilds the logger's pages, and the
// window takes the mouse afterwards.
TEST_F(MainWindow, RecordingStartsRightAfterASwitchToTheLoggerJustRead) {
  UseRealMessageBoxes();
  ReadBoxesFor(1500);
  UseSamplingLogger();
  StartLogger("[Connection]\r\nComNumber=9\r\n");
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(UserChooseMenu(w->Item("IMenReadCfg")));
  ASSERT_EQ(shown.size(), 1u) << Shown();
  EXPECT_EQ(shown[0], Format(LoadResString("deh_SwitchToCurDevF"), "Logger_1"));
  TTv10Modul* sampler = Logger0();
  ASSERT_NE(sampler, nullptr);
  EXPECT_EQ(DbShell->GetSelDevice(), sampler);
  TSpeedButton* rec = w->Button("RecorderBtn");
  ASSERT_TRUE(UserChooseMenu(w->Item("IRMenStartStop")));
  ASSERT_EQ(shown.size(), 2u) << Shown();
  EXPECT_EQ(shown[1], LoadResString("rcd_BatteryWarning"));
  ASSERT_TRUE(Recorder->Running()) << Shown();
  const int taken = Recorder->SamplesTaken();
  // The pointer moves over the toolbar and the page, and rests now and then long enough for a
  // hint to show.
  for (int i = 0; i < 12; ++i) {
    UserMove(w->ToolBar, {5 + 20 * (i % 10), 8});
    UserMove(w->Book(), {40 + 30 * i, 60 + 20 * i});
    const auto rest = std::chrono::steady_clock::now() + std::chrono::milliseconds(i % 3 == 0 ? 900 : 50);
    while (std::chrono::steady_clock::now() < rest) Pump(1, 10);
  }
  ASSERT_TRUE(PumpUntil([&] { return Recorder->SamplesTaken() >= taken + 2; })) << Shown();
  UserClick(rec);
  ASSERT_TRUE(PumpUntil([&] { return !Recorder->Running(); }));
  EndProgram();
}

TEST_F(MainWindow, EveryNamedItemIsBound) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  const std::vector<std::string> bound = w->BoundNames();
  const std::set<std::string> names(bound.begin(), bound.end());
  EXPECT_EQ(names.size(), bound.size());  // each once
  // Automatic backup is not part of the program yet: its item stays unbound.
  EXPECT_EQ(names,
            (std::set<std::string>{
                "DeviceComboB",   "FMenSelDev",     "BStepLeftBtn", "SStepLeftBtn",  "SStepRightBtn", "BStepRightBtn",
                "ZoomButton",     "UnzoomButton",   "LastButton",   "EditDtBtn",     "EMenBStepLeft", "EMenSStepLeft",
                "EMenSStepRight", "EMenBStepRight", "EMenZoom",     "EMenUnZoom",    "EMenLast",      "EMenEditDt",
                "EMenMonitor",    "VMenMonitor",    "EMenVO",       "VMenVO",        "FPMenPrintVo",  "EMenAddMonitor",
                "EMenLoadMon",    "MonButton1",     "MonButton2",   "DelVObjButton", "PrintVoBtn",    "IMenComm",
                "IMenDevType",    "IMenReadMem",    "IMenClearMem", "IMenReadCfg",   "IMenSyncClock", "IMenRecorder",
                "RecorderBtn",    "AutoScrollBtn",  "OMenExport",   "ExportBtn"}));
  // The controllers took their items over.
  EXPECT_NE(w->Button("ZoomButton")->OnClick, nullptr);
  EXPECT_NE(w->Item("IMenComm")->OnClick, nullptr);
  EXPECT_NE(w->Item("IMenReadMem")->OnClick, nullptr);
  EXPECT_NE(w->Item("IRMenStartStop")->OnClick, nullptr);
  EXPECT_NE(w->Item("OMenExport")->OnClick, nullptr);
  EXPECT_NE(w->Button("ExportBtn")->OnClick, nullptr);
  EXPECT_FALSE(w->Item("FMenSelDev")->Enabled());  // no device yet
  // The page layout exists with the window and its menu item opens the layout dialog.
  EXPECT_NE(PrintLayout, nullptr);
  EXPECT_TRUE(w->Item("FMenPageSetup")->Enabled());
  EXPECT_NE(w->Item("FMenPageSetup")->OnClick, nullptr);
}

// The first start after an update takes the pages of the older registry profile and stores
// them; without any there, the stored pages come back and their file is left alone.
TEST_F(MainWindow, AnUpdateStartImportsTheOlderProfilesPagesOrKeepsTheStoredOnes) {
  const std::string stored =
      "[SessionMonitors]\r\nCount=1\r\n[SessionMonitors/Monitor0]\r\nClassName=TDDTMonitor\r\nGroupIndex=100\r\n"
      "CustomTitle=Stored\r\nDiagramCount=1\r\n[SessionMonitors/Monitor0/Diagram0]\r\nClassName=TDtPlotVO\r\n";
  for (const bool with_profile : {false, true}) {
    home.Write("quarvel.INI", "[Main]\r\nDoUpdate=1\r\n");
    home.Write("Monitors.ini", stored);
    std::filesystem::remove(home.File("Registry.ini"));
    TQVMainFm* w = StartProgram();
    ASSERT_NE(w, nullptr);
    if (with_profile) {
      // The key is known once the program runs; the import happens on the next start.
      const std::string key = RegistryKey.substr(RegistryKey.find_first_not_of('\\'));
      EndProgram();
      home.Write("quarvel.INI", "[Main]\r\nDoUpdate=1\r\n");
      home.Write("Monitors.ini", stored);
      home.Write("Registry.ini", "[" + key + "\\Profile\\SessionMonitors]\r\nCount=1\r\n[" + key +
                                     "\\Profile\\SessionMonitors\\Monitor0]\r\nClassName=TDDTMonitor\r\n"
                                     "GroupIndex=100\r\nCustomTitle=Imported\r\nDiagramCount=1\r\n[" +
                                     key +
                                     "\\Profile\\SessionMonitors\\Monitor0\\Diagram0]\r\nClassName=TDtPlotVO\r\n");
      w = StartProgram();
      ASSERT_NE(w, nullptr);
    }
    ASSERT_NE(Page(0), nullptr);
    EXPECT_EQ(Page(0)->GetTitle(), with_profile ? "Imported" : "Stored");
    const std::string file = home.Read("Monitors.ini");
    if (with_profile)
      EXPECT_NE(file.find("Imported"), std::string::npos);
    else
      EXPECT_EQ(file, stored);
    EndProgram();
  }
}

// Closing the program saves the session's pages while the user can still be told: a save that
// fails is shown, naming the file and the reason, and the stored pages stay as they were.
TEST_F(MainWindow, AFailedSaveOfTheSessionPagesIsShownAtClose) {
  const std::string stored =
      "[SessionMonitors]\r\nCount=1\r\n[SessionMonitors/Monitor0]\r\nClassName=TDDTMonitor\r\nGroupIndex=100\r\n"
      "CustomTitle=Stored\r\nDiagramCount=0\r\n";
  home.Write("Monitors.ini", stored);
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  std::filesystem::create_directories(home.File("Monitors.ini.saving/blocked"));
  shown.clear();
  w->Close();
  EXPECT_TRUE(Application->Terminated());
  ASSERT_EQ(shown.size(), 1u) << Shown();
  EXPECT_EQ(shown[0].rfind("The monitors could not be saved to " + home.File("Monitors.ini") + ": ", 0), 0u)
      << shown[0];
  EXPECT_NE(shown[0].find(std::strerror(EISDIR)), std::string::npos) << shown[0];
  EndProgram();
  EXPECT_EQ(shown.size(), 1u) << Shown();
  EXPECT_EQ(home.Read("Monitors.ini"), stored);
}

TEST_F(MainWindow, TheWindowsImageIsPrinted) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  const std::string pdf = home.File("window.pdf");
  Printer().SetOutputFile(pdf);
  w->Item("FPMenScreenshot")->Click();
  Printer().SetOutputFile("");
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
  EXPECT_EQ(Printer().PageNumber(), 1);
}

TEST_F(MainWindow, ChangesAreAbsorbedUntilTheDeferredUpdateRuns) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending; }));
  ASSERT_TRUE(w->EMenAddMonitor->Enabled());
  const auto first = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    w->RequestUpdate();
    EXPECT_TRUE(w->UpdatePending);
    EXPECT_FALSE(w->EMenAddMonitor->Enabled());
    EXPECT_FALSE(w->MonButton1->Enabled());
  }
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending; }));
  EXPECT_GE(std::chrono::steady_clock::now() - first, std::chrono::milliseconds(100));
  EXPECT_TRUE(w->EMenAddMonitor->Enabled());
  EXPECT_TRUE(w->MonButton1->Enabled());
  EXPECT_FALSE(w->EMenVO->Visible());  // nothing selected
}

// Losing the window's activation ends a drag on a picture page, and does nothing on a diagram
// page.
TEST_F(MainWindow, CancelModeEndsADragOnAPicturePage) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  TMonitorBook* book = w->Book();
  w->Perform(WM_CANCELMODE, 0, 0);
  auto* page = dynamic_cast<TBitMonitor*>(book->AddGroupMonitor(100, &BitMonitorClass));
  ASSERT_NE(page, nullptr);
  book->SetTabIndex(page->PageIndex);
  page->AddDevIcon();
  ASSERT_EQ(page->MovVOList().size(), 1u);
  page->StartDrag(3, 3, page->MovVOList()[0]);
  ASSERT_TRUE(page->Dragging());
  w->Perform(WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(page->Dragging());
}

TEST_F(MainWindow, LanguageSwitchRetranslatesTheMenusAndIsStored) {
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  const std::string english = w->Item("MMenInstrument")->Caption();
  const auto german = TLanguageTexts::Load(std::string(QV_SOURCE_DIR) + "/res/quarvel.DEU");
  ASSERT_TRUE(german);
  const auto text = [&](const std::string& key) {
    const std::string* t = german->Find(key);
    return t ? *t : "(" + key + " missing)";
  };
  OnDialog = [](TForm* f) {
    auto* d = dynamic_cast<TIvSelectResourceLanguageDialog*>(f);
    if (!d) return false;
    EXPECT_TRUE(d->SelectLocale(kGerman));
    d->OKButton->Click();
    return true;
  };
  w->Item("OMenLanguage")->Click();
  for (const char* name : {"MMenFile", "MMenInstrument", "IMenReadMem", "HMenInfo"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(w->Item(name)->Caption(), text("m_" + std::string(name)));
  }
  EXPECT_NE(w->Item("MMenInstrument")->Caption(), english);
  EXPECT_EQ(w->Item("IRMenStartStop")->Caption(), text("deh_StartRecorder"));
  EXPECT_EQ(w->LangSwitching, 0);
  EndProgram();
  EXPECT_EQ(TIniFile2(home.File("quarvel.INI")).ReadInteger("Language", "Locale", 0), static_cast<int>(kGerman));
}

// A logger that samples every second records online; a close while it records asks first, and
// the samples are there after a restart.
TEST_F(MainWindow, RecordingAndClosingWhileRecording) {
  UseSamplingLogger();
  StartLogger("[Connection]\r\nComNumber=9\r\n");
  TQVMainFm* w = StartProgram();
  ASSERT_NE(w, nullptr);
  TSpeedButton* rec = w->Button("RecorderBtn");
  ASSERT_TRUE(rec->Enabled());
  rec->Click();
  ASSERT_TRUE(Recorder->Running()) << Shown();
  const int taken = Recorder->SamplesTaken();
  ASSERT_TRUE(PumpUntil([&] { return Recorder->SamplesTaken() >= taken + 2; })) << Shown();
  TTv10Modul* sampler = Logger0();
  ASSERT_NE(sampler, nullptr);
  EXPECT_EQ(sampler->Kennung(), 0x3456);
  w->DeviceComboB->SetItemIndex(0);
  w->DeviceComboB->OnSelect(w->DeviceComboB);
  // Its kind keeps the memory commands off.
  w->RequestUpdate();
  ASSERT_TRUE(PumpUntil([&] { return !w->UpdatePending; }));
  for (const char* name : {"IMenReadMem", "IMenClearMem", "IMenSyncClock"})
    EXPECT_FALSE(w->Item(name)->Enabled()) << name;
  EXPECT_FALSE(w->Button("ReadMemButton")->Enabled());

  Answer = [](const std::string&, TMsgDlgButtons buttons) { return static_cast<int>((buttons & mbNo) ? mrNo : mrOk); };
  w->Close();
  EXPECT_FALSE(w->Closing);
  EXPECT_FALSE(Application->Terminated());
  EXPECT_TRUE(Recorder->Running());
  EXPECT_EQ(shown.back(), LoadResString("rcd_ConfStop"));

  Answer = nullptr;  // yes
  w->Close();
  EXPECT_TRUE(w->Closing);
  EXPECT_FALSE(Recorder->Running());
  EXPECT_TRUE(Application->Terminated());
  const std::vector<std::string> recorded = StoredRecords(sampler->GetSubModul(1));
  EXPECT_GE(recorded.size(), 1u);
  const std::string name = sampler->GetTreeIdName();
  EndProgram();

  w = StartProgram();
  ASSERT_NE(w, nullptr);
  sampler = Logger0();
  ASSERT_NE(sampler, nullptr);
  EXPECT_EQ(w->Caption(), "Quarvel2 - [" + name + "]");
  EXPECT_EQ(StoredRecords(sampler->GetSubModul(1)), recorded);

  // A window that goes while the recorder runs stops it before the device tree goes.
  w->Button("RecorderBtn")->Click();
  ASSERT_TRUE(Recorder->Running()) << Shown();
  const int again = Recorder->SamplesTaken();
  ASSERT_TRUE(PumpUntil([&] { return Recorder->SamplesTaken() > again; })) << Shown();
  EndProgram();
}

// A window whose module chain fails.
class FailingWindow : public TQVMainFm {
public:
  using TQVMainFm::TQVMainFm;

protected:
  void CreateApplModule() override { throw Exception("no device tree"); }
};

TEST(MainWindowInit, AFailedCreationIsShownAndMarked) {
  InitializeGui();
  std::vector<std::string> shown;
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
    shown.push_back(msg);
    return static_cast<int>(mrOk);
  });
  auto* w = new FailingWindow(nullptr);
  w->Initialize();
  EXPECT_TRUE(w->InitFailed());
  EXPECT_EQ(w->InitError(), "no device tree");
  EXPECT_TRUE(Application->Terminated());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("no device tree"), std::string::npos);
  delete w;
  EXPECT_EQ(QVMainFm, nullptr);
  Application->ClearTerminated();
  SetMessageDlgAnswerer(nullptr);
}

}  // namespace
}  // namespace qv
