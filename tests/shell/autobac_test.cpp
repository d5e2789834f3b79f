// The automatic backup's switch and page in a monitor book: opening the page, its settings and
// controls, its minute task and timer, switching off from the page, and the program's end.
#include "shell/autobac.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/resource_locale.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"
#include "platform/os/tick_count.h"
#include "platform/rtl/format_settings.h"
#include "shell/ab_frame.h"
#include "shell/ab_monitor.h"
#include "shell/program_start.h"
#include "shell/qv_main_fm.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"
#include "visual/vis_obj.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

class AutobacTest : public ::testing::Test, public test::VisFixture {
protected:
  AutobacTest() {
    saved_ini_ = IniFileName;
    IniFileName = dir.File("quarvel.INI");
    IdleTaskManager = &tasks;
    Selector = &selector_;
    VOClassRegistry = &vo_classes_;
    MonitorClassReg = &monitor_classes_;
    monitor_classes_.RegisterClass(&DDTMonitorClass);
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      shown.push_back(msg);
      return answer;
    });
  }
  ~AutobacTest() override {
    autobac.reset();
    delete book;
    SetMessageDlgAnswerer(nullptr);
    MonitorClassReg = nullptr;
    VOClassRegistry = nullptr;
    Selector = nullptr;
    IdleTaskManager = nullptr;
    IniFileName = saved_ini_;
  }
  // The settings file, the book and the switch as the program has them after its start.
  void Start(const std::string& settings) {
    dir.Write("quarvel.INI", "[Autobac]\n" + settings);
    book = new TMonitorBook(form.get());
    book->SetParent(form.get());
    MonitorBook = book;
    autobac = std::make_unique<TAutobac>(nullptr, ticks);
    autobac->OpenMonitor();
  }
  TAbFrame* Frame() const { return AbMonitor ? AbMonitor->Frame() : nullptr; }
  std::string Stored(const std::string& key) const {
    return TIniFile2(IniFileName).ReadString("Autobac", key, "(none)");
  }
  std::vector<std::string> ListedExtensions() const {
    std::vector<std::string> out;
    TStringList& items = Frame()->ExtensionList->Items();
    for (int i = 0; i < items.Count(); ++i) out.push_back(items[i]);
    return out;
  }
  bool EditButtonsEnabled() const { return Frame()->AcceptBtn->Enabled() && Frame()->UndoBtn->Enabled(); }

  TIdleTaskManager tasks;
  TFixedTicks ticks{1000};
  TMonitorBook* book = nullptr;
  std::unique_ptr<TAutobac> autobac;
  std::vector<std::string> shown;
  int answer = mrOk;

private:
  std::string saved_ini_;
  TSelector selector_;
  TVOClassRegistry vo_classes_;
  TMonitorClassReg monitor_classes_;
};

TEST_F(AutobacTest, ThePageComesAfterTheUsersPagesAndIsNotStored) {
  Start("Enabled=1\nExt=.QVR.db \nDestination=" + dir.Path() + "Backup\nScanInt=5\n");
  ASSERT_NE(AbMonitor, nullptr);
  EXPECT_EQ(book->GetMonitorCount(), 2);
  EXPECT_EQ(book->GetMonitor(1), AbMonitor);
  EXPECT_EQ(AbMonitor->GroupIndex, 1100);
  EXPECT_EQ(book->TabSet()->Tab(1), "Automatic backup");
  EXPECT_EQ(book->GetTabIndex(), 0);  // the user's page stays in front
  EXPECT_NE(tasks.IndexOfTask(autobac.get(), autobac->MinuteTimer()), -1);

  // The stored settings are in the controls; nothing is to accept yet.
  EXPECT_EQ(AbMonitor->Source(), dir.Path());
  EXPECT_EQ(AbMonitor->Destination(), dir.Path() + "Backup/");
  EXPECT_EQ(ListedExtensions(), (std::vector<std::string>{".db", ".QVR"}));  // sorted, ignoring case
  EXPECT_EQ(Frame()->IntervalEdit->IntValue(), 5);
  EXPECT_EQ(Frame()->DestRootEdit->Text(), dir.Path() + "Backup/");
  EXPECT_FALSE(Frame()->AcceptBtn->Enabled());
  EXPECT_FALSE(Frame()->UndoBtn->Enabled());

  // A user's page goes before it; the backup page holds no objects and is never stored.
  book->AddGroupMonitor(100, &DDTMonitorClass);
  EXPECT_EQ(book->GetMonitor(2), AbMonitor);
  TVisObj* vo = nullptr;
  EXPECT_THROW(
      {
        try {
          AbMonitor->InsertVisObj(100, &DiagramVOClass, vo);
        } catch (const Exception& e) {
          EXPECT_STREQ(e.what(), "Error in TAbMonitor.InsertVisObj:No VisObject in AbMonitor");
          throw;
        }
      },
      Exception);
  EXPECT_EQ(AbMonitor->Popup(), nullptr);
  book->FreeEmptyMonitors();
  EXPECT_NE(AbMonitor, nullptr);
  book->SaveSessionMonitors();
  TIniFile2 session(TMonitorBook::SessionFileName());
  for (int i = 0; i < 3; ++i)
    EXPECT_NE(session.ReadString("SessionMonitors/Monitor" + std::to_string(i), "ClassName", ""), "TAbMonitor");

  // Opening again does not add a second page.
  const int pages = book->GetMonitorCount();
  autobac->OpenMonitor();
  EXPECT_EQ(book->GetMonitorCount(), pages);
}

TEST_F(AutobacTest, AcceptUndoAndTheExtensionList) {
  Start("Enabled=1\nExt=.QVR\n");
  TAbFrame* f = Frame();
  ASSERT_NE(f, nullptr);
  struct AddCase {
    const char* text;
    bool refused;
    std::vector<std::string> list;
  } adds[] = {
      {"CFG", false, {".CFG", ".QVR"}},   {"cfg", false, {".CFG", ".QVR"}},  // present in another letter case
      {"", false, {".", ".CFG", ".QVR"}}, {"a.b", true, {".", ".CFG", ".QVR"}}, {"q*", true, {".", ".CFG", ".QVR"}},
  };
  for (const AddCase& c : adds) {
    SCOPED_TRACE(c.text);
    shown.clear();
    f->ExtensionEdit->SetText(c.text);
    f->AddBtn->Click();
    EXPECT_EQ(ListedExtensions(), c.list);
    EXPECT_EQ(shown, c.refused ? std::vector<std::string>{std::string(c.text) + " is not a valid file extension."}
                               : std::vector<std::string>{});
    EXPECT_EQ(f->ExtensionEdit->Text(), c.refused ? c.text : "");
    EXPECT_TRUE(f->AcceptBtn->Enabled());
  }
  f->ExtensionList->SetSelected(0, true);  // "."
  f->DeleteBtn->Click();
  EXPECT_EQ(ListedExtensions(), (std::vector<std::string>{".CFG", ".QVR"}));

  struct AcceptCase {
    std::string text;
    bool refused;
    std::string stored;
  } accepts[] = {
      {dir.Path() + "Backup", false, dir.Path() + "Backup/"},
      {dir.Path() + "Back*up", true, dir.Path() + "Backup/"},
      {"Backup", true, dir.Path() + "Backup/"},
      {dir.Path() + "Backup.old", true, dir.Path() + "Backup/"},
      {"/media/usb/", false, "/media/usb/"},
      {"", false, ""},  // no backup folder: nothing is copied
  };
  for (const AcceptCase& c : accepts) {
    SCOPED_TRACE(c.text);
    shown.clear();
    f->DestRootEdit->SetText(c.text);
    EXPECT_TRUE(EditButtonsEnabled());
    EXPECT_TRUE(f->AcceptBtn->Default());
    f->AcceptBtn->Click();
    EXPECT_FALSE(f->AcceptBtn->Enabled());
    EXPECT_FALSE(f->UndoBtn->Enabled());
    EXPECT_EQ(shown, c.refused ? std::vector<std::string>{c.text + " is not a valid file extension."}
                               : std::vector<std::string>{});
    EXPECT_EQ(AbMonitor->Destination(), c.stored);
    EXPECT_EQ(Stored("Destination"), c.stored);
  }
  EXPECT_EQ(Stored("Ext"), ".CFG.QVR");
  EXPECT_EQ(AbMonitor->Extensions(), (std::vector<std::string>{".CFG", ".QVR"}));

  // Undo brings the stored settings back into the controls.
  f->IntervalEdit->SetIntValue(7);
  f->DestRootEdit->SetText("/elsewhere");
  f->ExtensionEdit->SetText("TXT");
  f->AddBtn->Click();
  f->UndoBtn->Click();
  EXPECT_EQ(f->IntervalEdit->IntValue(), 1);
  EXPECT_EQ(f->DestRootEdit->Text(), "");
  EXPECT_EQ(ListedExtensions(), (std::vector<std::string>{".CFG", ".QVR"}));
  EXPECT_FALSE(EditButtonsEnabled());
  f->IntervalEdit->SetIntValue(7);
  f->AcceptBtn->Click();
  EXPECT_EQ(Stored("ScanInt"), "7");
}

TEST_F(AutobacTest, TheTimerScansAndTheMinuteTaskCopies) {
  Start("Enabled=1\nExt=.QVR\nScanInt=2\nSource=" + dir.Path() + "data\nDestination=" + dir.Path() + "Backup\n");
  dir.Write("data/DL001/KW01.QVR", "one");
  dir.Write("data/DL001/KW02.QVR", "two");
  Frame()->Timer1->Timer();
  EXPECT_TRUE(AbMonitor->Queue().Entries().empty());
  Frame()->Timer1->Timer();
  EXPECT_EQ(AbMonitor->Queue().Entries().size(), 2u);

  tasks.Run();  // the minute has not passed
  EXPECT_FALSE(fs::exists(dir.File("Backup/DL001/KW01.QVR")));
  ticks.Advance(TAutobac::MinuteMs + 1);
  tasks.Run();
  EXPECT_EQ(dir.Read("Backup/DL001/KW02.QVR"), "two");
  EXPECT_EQ(Frame()->SavedFileM->ShownText(), "DL001/KW01.QVR\nDL001/KW02.QVR");
  EXPECT_FALSE(autobac->MinuteTimer()->Expired());  // restarted, still registered
  EXPECT_NE(tasks.IndexOfTask(autobac.get(), autobac->MinuteTimer()), -1);

  // An unexpected failure is shown, and the backup goes on.
  std::vector<std::string> reported;
  Application->OnException = [&](TComponent*, const std::exception& e) { reported.push_back(e.what()); };
  dir.Write("data/DL001/KW03.QVR", "three");
  AbMonitor->Scan();
  AbMonitor->Queue().CopyFile = [](const std::string&, const std::string&) -> bool {
    throw std::logic_error("unexpected");
  };
  ticks.Advance(TAutobac::MinuteMs + 1);
  tasks.Run();
  Application->OnException = nullptr;
  EXPECT_EQ(reported, std::vector<std::string>{"unexpected"});
  EXPECT_NE(tasks.IndexOfTask(autobac.get(), autobac->MinuteTimer()), -1);
  AbMonitor->Queue().CopyFile = TAbCopyQueue().CopyFile;

  // The list keeps the newest hundred lines.
  for (int i = 0; i < 150; ++i) dir.Write("data/many/F" + std::to_string(1000 + i) + ".QVR", "x");
  AbMonitor->Scan();
  AbMonitor->CopyPass();
  AbMonitor->CopyPass();
  const std::vector<std::string>& lines = Frame()->SavedFileM->Lines();
  EXPECT_EQ(lines.size(), static_cast<size_t>(TAbMonitor::MaxSavedLines));
  EXPECT_EQ(lines[0], "many/F1050.QVR");
  EXPECT_EQ(lines[99], "many/F1149.QVR");
}

TEST_F(AutobacTest, StoppingFromThePageAsksFirst) {
  Start("Enabled=1\n");
  TMenuItem item(nullptr);
  autobac->SetControl(&item);
  EXPECT_TRUE(item.Checked());
  EXPECT_THROW(autobac->SetControl(form.get()), Exception);

  answer = mrCancel;
  Frame()->StopBtn->Click();
  EXPECT_EQ(shown, std::vector<std::string>{"Switch automatic backup off?"});
  tasks.Run();
  EXPECT_TRUE(autobac->Enabled());
  ASSERT_NE(AbMonitor, nullptr);

  answer = mrOk;
  Frame()->StopBtn->Click();
  EXPECT_NE(AbMonitor, nullptr);  // the page outlives its button's event
  tasks.Run();
  EXPECT_EQ(AbMonitor, nullptr);
  EXPECT_FALSE(autobac->Enabled());
  EXPECT_FALSE(item.Checked());
  EXPECT_EQ(book->GetMonitorCount(), 1);
  EXPECT_EQ(Stored("Enabled"), "0");
  EXPECT_EQ(tasks.Count(), 0);

  // The menu item switches on without asking, and off after the question.
  shown.clear();
  item.Click();
  EXPECT_TRUE(autobac->Enabled());
  EXPECT_NE(AbMonitor, nullptr);
  EXPECT_EQ(Stored("Enabled"), "1");
  EXPECT_TRUE(shown.empty());
  item.Click();
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(AbMonitor, nullptr);
}

TEST_F(AutobacTest, AtTheProgramsEndTheSwitchStaysOnForTheNextStart) {
  Start("Enabled=1\n");
  ASSERT_NE(AbMonitor, nullptr);
  delete book;
  book = nullptr;
  EXPECT_EQ(AbMonitor, nullptr);
  EXPECT_FALSE(autobac->Enabled());
  EXPECT_EQ(Stored("Enabled"), "1");
  autobac.reset();
  EXPECT_EQ(tasks.Count(), 0);
}

TEST(AutobacProgram, TheFirstIdlePassOpensThePage) {
  InitializeGui();
  const TFormatSettings formats = FormatSettings;
  SetMessageDlgAnswerer([](const std::string&, TMsgDlgType, TMsgDlgButtons) { return static_cast<int>(mrOk); });
  test::TempDir home;
  home.Write("quarvel.INI", "[Autobac]\r\nEnabled=1\r\nExt=.QVR\r\n");
  {
    TProgram program({"--home", home.Path()}, std::string(QV_SOURCE_DIR) + "/res/");
    ASSERT_TRUE(program.Start()) << program.Error();
    program.MainForm()->Show();
    Application->ProcessMessages();
    Application->DoIdle();
    ASSERT_NE(AbMonitor, nullptr);
    EXPECT_EQ(AbMonitor->Source(), home.Path());
    EXPECT_EQ(program.MainForm()->Book()->GetMonitor(1), AbMonitor);
  }
  Application->ClearTerminated();
  EXPECT_EQ(AbMonitor, nullptr);
  EXPECT_EQ(TIniFile2(home.File("quarvel.INI")).ReadString("Autobac", "Enabled", ""), "1");
  SetMessageDlgAnswerer(nullptr);
  // The start chose a language and its formats; the tests after this one expect the defaults.
  SetResourceLocale(0, false);
  ResetResourceLanguageSetup();
  ReplaceFormatSettings(formats);
}

}  // namespace
}  // namespace qv
