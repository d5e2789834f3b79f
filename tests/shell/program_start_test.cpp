// Start-up of the whole program in a fresh home folder, and with the damaged or missing files
// it must live with or stop on.
#include "shell/program_start.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "devices/tv10_modul.h"
#include "platform/gui/forms.h"
#include "platform/rtl/format_settings.h"
#include "shell/appl_module.h"
#include "shell/qv_main_fm.h"
#include "shell/std_dialog_form.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

class ProgramStart : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    formats_ = FormatSettings;
    const std::string res = std::string(QV_SOURCE_DIR) + "/res/";
    resources.Write("quarvel.ENU", test::TempDir().Read("x"));  // the folder exists
    std::filesystem::copy_file(res + "quarvel.ENU", resources.File("quarvel.ENU"),
                               std::filesystem::copy_options::overwrite_existing);
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      shown.push_back(msg);
      return static_cast<int>(mrOk);
    });
  }
  void TearDown() override {
    SetMessageDlgAnswerer(nullptr);
    SetResourceLocale(0, false);
    ResetResourceLanguageSetup();
    // The program takes the formats of its language at the start.
    ReplaceFormatSettings(formats_);
  }
  std::vector<std::string> Args() const { return {"--home", home.Path()}; }
  test::TempDir resources;  // the shipped files: English only
  test::TempDir home;
  std::vector<std::string> shown;
  TFormatSettings formats_;
};

TEST_F(ProgramStart, FreshHomeOpensTheMainWindowAndEndsInOrder) {
  {
    TProgram program(Args(), resources.Path());
    ASSERT_TRUE(program.Start()) << program.Error();
    EXPECT_TRUE(program.Reports().empty());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(ExePath, home.Path());
    EXPECT_EQ(Application->Title(), "Quarvel2");
    ASSERT_NE(program.MainForm(), nullptr);
    EXPECT_EQ(Application->MainForm(), program.MainForm());
    EXPECT_NE(StdDialogForm, nullptr);
    EXPECT_NE(ApplModule, nullptr);
    EXPECT_NE(DbShell, nullptr);
    for (const char* name : {"FMenSelDev", "IMenComm", "IMenDelDevice", "FMenExit", "IMenDevType", "IMenReadMem"})
      EXPECT_NE(program.MainForm()->Item(name), nullptr) << name;
    EXPECT_EQ(program.MainForm()->Item("FMenSelDev")->Caption(), LoadResString("m_FMenSelDev"));
    EXPECT_NE(LoadResString("m_FMenSelDev"), "m_FMenSelDev");  // English is loaded
    // The loop runs the idle tasks; closing the window ends it.
    int passes = 0;
    IdleTaskManager->AddTask(this, nullptr, [&](TIdleTaskManager*, TTimer2*, bool& done) {
      ++passes;
      done = true;
      program.MainForm()->Item("FMenExit")->Click();
    });
    EXPECT_EQ(program.Run(), 0);
    Application->ClearTerminated();
    EXPECT_EQ(passes, 1);
  }
  EXPECT_EQ(ApplModule, nullptr);
  EXPECT_EQ(StdDialogForm, nullptr);
  TIniFile2 ini(home.File("quarvel.INI"));
  EXPECT_EQ(ini.ReadString("Main", "IniVersion", ""), GetExeVersionText());
}

// A desktop session that ends sends SIGTERM or SIGHUP: the program ends as when its main window
// closes, without a question, and its loop returns normally.
TEST_F(ProgramStart, TerminationSignalsEndTheProgramInOrder) {
  for (int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(home.File("Monitors.ini"));
    {
      TProgram program(Args(), resources.Path());
      ASSERT_TRUE(program.Start()) << program.Error();
      bool sent = false;
      IdleTaskManager->AddTask(this, nullptr, [&](TIdleTaskManager*, TTimer2*, bool& done) {
        done = true;
        if (!sent) ::raise(signal);
        sent = true;
      });
      EXPECT_EQ(program.Run(), 0);
      Application->ClearTerminated();
      EXPECT_EQ(program.MainForm(), nullptr);  // the windows went in order at the loop's end
    }
    EXPECT_EQ(ApplModule, nullptr);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(std::filesystem::exists(home.File("Monitors.ini")));  // the session's pages
    TIniFile2 ini(home.File("quarvel.INI"));
    EXPECT_EQ(ini.ReadString("Main", "IniVersion", ""), GetExeVersionText());
  }
}

TEST_F(ProgramStart, ArchiveServicesStartBeforeTheModuleChainAndEndAfterIt) {
  std::vector<std::string> calls;
  {
    TProgram program(Args(), resources.Path());
    program.SetArchiveServices(
        [&] { calls.push_back("start home=" + ExePath + (ApplModule ? " chain" : " no chain")); },
        [&] { calls.push_back(ApplModule ? "stop chain" : "stop no chain"); });
    ASSERT_TRUE(program.Start()) << program.Error();
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"start home=" + home.Path() + " no chain", "stop no chain"}));

  // An archive that cannot start is reported; the logger side still runs.
  TProgram program(Args(), resources.Path());
  program.SetArchiveServices([] { throw std::runtime_error("disk gone"); }, nullptr);
  ASSERT_TRUE(program.Start()) << program.Error();
  ASSERT_EQ(program.Reports().size(), 1u);
  EXPECT_NE(program.Reports()[0].find("disk gone"), std::string::npos);
  EXPECT_NE(ApplModule, nullptr);
}

// A device that cannot write its settings at the end: no dialog runs while the windows and the
// module chain are being freed (its loop would run idle tasks of half-freed objects); the user
// is told once, naming the file, when they are gone.
TEST_F(ProgramStart, WhatCannotBeSavedAtTheEndIsToldOnceWhenTheWindowsAreGone) {
  std::vector<bool> while_freeing;
  std::string device_ini;
  {
    TProgram program(Args(), resources.Path());
    ASSERT_TRUE(program.Start()) << program.Error();
    auto m = TDevice::Create<TTv10Modul>(DbShell->Root());
    m->SetTavraTyp(5);
    m->SetKennung(0x2345);
    m->SetId(DbShell->Root()->FindNextId(1, TDevice::MaxId));
    m->SetName("Logger_1");
    ASSERT_TRUE(m->SetUpDevice());
    device_ini = m.release()->Dir() + TDevice::IniFile;
    std::filesystem::remove(device_ini);
    std::filesystem::create_directories(device_ini + "/blocked");
    SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      shown.push_back(msg);
      while_freeing.push_back(ApplModule != nullptr || QVMainFm != nullptr);
      // A dialog's loop runs the idle passes.
      if (IdleTaskManager) IdleTaskManager->Run();
      return static_cast<int>(mrOk);
    });
    IdleTaskManager->AddTask(this, nullptr, [&](TIdleTaskManager*, TTimer2*, bool& done) {
      done = true;
      program.MainForm()->Item("FMenExit")->Click();
    });
    EXPECT_EQ(program.Run(), 0);
    Application->ClearTerminated();
  }
  EXPECT_EQ(while_freeing, std::vector<bool>{false});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind(LoadResString("app_ShutdownErrors"), 0), 0u) << shown[0];
  EXPECT_NE(shown[0].find(device_ini), std::string::npos) << shown[0];
}

TEST_F(ProgramStart, MissingLanguageFileIsReportedAndEnglishUsed) {
  home.Write("quarvel.INI", "[Language]\r\nLocale=1031\r\n");
  TProgram program(Args(), resources.Path());
  ASSERT_TRUE(program.Start()) << program.Error();
  ASSERT_EQ(program.Reports().size(), 1u);
  EXPECT_NE(program.Reports()[0].find("quarvel.DEU"), std::string::npos);
  EXPECT_NE(program.Reports()[0].find("English"), std::string::npos);
  EXPECT_EQ(shown, program.Reports());
  EXPECT_EQ(CurrentResourceLocale(), 0x0409u);
}

TEST_F(ProgramStart, DamagedSettingsFiles) {
  // Garbage is read as far as it goes: defaults, no complaint, and the program ends cleanly.
  {
    home.Write("quarvel.INI", std::string("\0\xff\xfe[Main\r\n=\x01\x02\r\n[[[", 18));
    TProgram program(Args(), resources.Path());
    ASSERT_TRUE(program.Start()) << program.Error();
    EXPECT_TRUE(program.Reports().empty());
  }
  // One that cannot be read at all stops the program before anything writes over it.
  std::filesystem::remove(home.File("quarvel.INI"));
  std::filesystem::create_directory(home.File("quarvel.INI"));
  {
    TProgram program(Args(), resources.Path());
    EXPECT_FALSE(program.Start());
    EXPECT_NE(program.Error().find(home.File("quarvel.INI")), std::string::npos);
    EXPECT_NE(program.Error().find("repair or remove"), std::string::npos);
    EXPECT_EQ(shown.back(), program.Error());
    EXPECT_EQ(program.MainForm(), nullptr);
  }
  EXPECT_EQ(ApplModule, nullptr);
  EXPECT_TRUE(std::filesystem::is_directory(home.File("quarvel.INI")));
}

TEST_F(ProgramStart, UnusableHomeFolderStopsWithAClearMessage) {
  home.Write("file", "not a folder");
  TProgram program({"--home", home.File("file") + "/quarvel/"}, resources.Path());
  EXPECT_FALSE(program.Start());
  EXPECT_NE(program.Error().find("cannot use its home folder"), std::string::npos);
  EXPECT_NE(program.Error().find(home.File("file")), std::string::npos);
  EXPECT_EQ(shown, std::vector<std::string>{program.Error()});
  EXPECT_EQ(program.MainForm(), nullptr);
  EXPECT_EQ(ApplModule, nullptr);
}

}  // namespace
}  // namespace qv
