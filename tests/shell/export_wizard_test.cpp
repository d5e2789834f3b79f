// The export wizard and command: the format and header frames, the checks of each page, and the
// command driven offscreen through the pages to the written file, under the progress window
// whose Cancel leaves no partial file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "comm/process_window_service.h"
#include "controls/sty_check_list.h"
#include "datastore/data_globals.h"
#include "export_fixture.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/rtl/format_settings.h"
#include "shell/d42_export.h"
#include "shell/exp_format_frm.h"
#include "shell/export_manager.h"
#include "shell/export_modul.h"
#include "shell/process_window.h"
#include "support/english_texts.h"
#include "support/temp_dir.h"
#include "visual/d41_setup_gl_chans.h"

namespace qv {
namespace {

using test::At;
using test::AtDt;
using test::ReadFile;
using test::TDeviceData;

// Fixed format settings and English texts; error messages are collected and answered OK.
class WizardBase : public ::testing::Test {
protected:
  WizardBase() {
    InitializeGui();
    saved_ = FormatSettings;
    TFormatSettings f = saved_;
    f.DecimalSeparator = '.';
    f.DateSeparator = '/';
    f.TimeSeparator = ':';
    f.ShortDateFormat = "dd/mm/yyyy";
    f.LongTimeFormat = "hh:nn:ss";
    ReplaceFormatSettings(f);
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      messages.push_back(msg);
      return static_cast<int>(mrOk);
    });
  }
  ~WizardBase() override {
    SetMessageDlgAnswerer(nullptr);
    ReplaceFormatSettings(saved_);
  }
  std::vector<std::string> TakeMessages() { return std::exchange(messages, {}); }

  test::EnglishTexts texts_;
  TArchiveStandIns archive_;
  TFormatSettings saved_;
  std::vector<std::string> messages;
};

// ---- the format frame ----

class FormatFrameTest : public WizardBase {
protected:
  TForm form_{nullptr};
  TExpFormatFrm* frm_ = new TExpFormatFrm(&form_);
};

TEST_F(FormatFrameTest, DateAndTimeFormatsReadAndBuiltAsATable) {
  // The system's formats are taken when the frame is made.
  EXPECT_EQ(frm_->GetDateFormat(), "dd\"/\"mm\"/\"yyyy");
  EXPECT_EQ(frm_->GetTimeFormat(), "hh\":\"nn\":\"ss");
  struct Case {
    const char* text;
    int order, sep, year;
    const char* built;
  };
  const Case dates[] = {
      {"dd/mm/yyyy", 0, 2, 0, "dd\"/\"mm\"/\"yyyy"},
      {"mm\"-\"dd\"-\"yy", 1, 1, 1, "mm\"-\"dd\"-\"yy"},
      {"YYYY.MM.DD", 2, 0, 0, "yyyy\".\"mm\".\"dd"},
      {"d m yy", 0, 3, 1, "dd\" \"mm\" \"yy"},
      {"ddmmyyyy", 0, 4, 0, "ddmmyyyy"},
      {"dd_mm_yyyy", 0, 4, 0, "ddmmyyyy"},
      {"m/d/yyyy", 1, 2, 0, "mm\"/\"dd\"/\"yyyy"},
      {"yy-m-d", 2, 1, 1, "yy\"-\"mm\"-\"dd"},
  };
  for (const Case& c : dates) {
    SCOPED_TRACE(c.text);
    frm_->SetDateFormat(c.text);
    EXPECT_EQ(frm_->OrderCB->ItemIndex(), c.order);
    EXPECT_EQ(frm_->DateSepCB->ItemIndex(), c.sep);
    EXPECT_EQ(frm_->YearCB->ItemIndex(), c.year);
    EXPECT_EQ(frm_->GetDateFormat(), c.built);
  }
  const Case times[] = {
      {"hh:nn:ss", 0, 0, 0, "hh\":\"nn\":\"ss"}, {"hh\"-\"nn\"-\"ss", 0, 1, 0, "hh\"-\"nn\"-\"ss"},
      {"h/m", 0, 2, 0, "hh\"/\"nn\"/\"ss"},      {"hh nn ss", 0, 3, 0, "hh nn ss"},
      {"hh.nn.ss", 0, 4, 0, "hhnnss"},
  };
  for (const Case& c : times) {
    SCOPED_TRACE(c.text);
    frm_->SetTimeFormat(c.text);
    EXPECT_EQ(frm_->TimeSepCB->ItemIndex(), c.sep);
    EXPECT_EQ(frm_->GetTimeFormat(), c.built);
  }
  EXPECT_THROW(
      {
        try {
          frm_->SetDateFormat("yyyy");
        } catch (const Exception& e) {
          EXPECT_EQ(e.Message(), "TExpFormatFrm.SetDateFormat: invalid date format: yyyy");
          throw;
        }
      },
      Exception);
  EXPECT_THROW(
      {
        try {
          frm_->SetTimeFormat("nn:ss");
        } catch (const Exception& e) {
          EXPECT_EQ(e.Message(), "TExpFormatFrm.SetTimeFormat: invalid time format: nn:ss");
          throw;
        }
      },
      Exception);
  // A format the frame cannot show falls back to the system's, and past that to a fixed one.
  frm_->SetDateFormat("yyyy-mm-dd");
  frm_->SetDateFormatOrDefault("garbage");
  EXPECT_EQ(frm_->GetDateFormat(), "dd\"/\"mm\"/\"yyyy");
  TFormatSettings f = FormatSettings;
  f.ShortDateFormat = "yyyy";
  f.LongTimeFormat = "ss";
  ReplaceFormatSettings(f);
  frm_->SetDateFormatOrDefault("");
  frm_->SetTimeFormatOrDefault("");
  EXPECT_EQ(frm_->GetDateFormat(), "dd\".\"mm\".\"yyyy");
  EXPECT_EQ(frm_->GetTimeFormat(), "hh\":\"nn\":\"ss");
  // The example labels follow the combo boxes.
  frm_->OrderCB->SetItemIndex(2);
  frm_->OrderCB->OnChange(frm_->OrderCB);
  EXPECT_EQ(frm_->DateExampleLbl->Text().substr(0, 9), "Example: ");
  EXPECT_EQ(frm_->DateExampleLbl->Text()[13], '.') << frm_->DateExampleLbl->Text();
}

TEST_F(FormatFrameTest, SeparatorsLineEndsAndTheirRefusals) {
  int changes = 0;
  frm_->OnChange = [&] { ++changes; };
  EXPECT_EQ(frm_->GetDecimalSep(), '.');
  frm_->SetDecimalSep(',');
  EXPECT_EQ(frm_->GetDecimalSep(), ',');
  frm_->SetDecimalSep(';');
  EXPECT_EQ(frm_->GetDecimalSep(), '.');

  frm_->SetFieldSeparator(128 + 4);
  EXPECT_EQ(frm_->GetFieldSeparator(), 4);
  frm_->SetLineEnd(2);
  EXPECT_EQ(frm_->GetLineEnd(), 2);
  auto message_of = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string("no error");
  };
  EXPECT_EQ(message_of([&] { frm_->SetFieldSeparator(5); }), "TExpFormatFrm.SetFieldSeparator: invalid Value");
  EXPECT_EQ(message_of([&] { frm_->SetLineEnd(3); }), "TExpFormatFrm.SetLineEnd: invalid Value");
  frm_->FieldSepCB->SetItemIndex(-1);
  frm_->LineEndCB->SetItemIndex(-1);
  EXPECT_EQ(message_of([&] { frm_->GetFieldSeparator(); }), "TExpFormatFrm.GetFieldSeparator: invalid ItemIndex");
  EXPECT_EQ(message_of([&] { frm_->GetLineEnd(); }), "TExpFormatFrm.GetLineEnd: invalid ItemIndex");

  // A blank field separator with a blank date separator, and the slash in the missing-value text.
  frm_->SetFieldSeparator(4);
  frm_->DateSepCB->SetItemIndex(3);
  frm_->DateSepCB->OnChange(frm_->DateSepCB);
  EXPECT_FALSE(frm_->CheckFormat());
  EXPECT_EQ(TakeMessages(),
            std::vector<std::string>{"The field separator must not be used in the date or time format."});
  frm_->DateSepCB->SetItemIndex(0);
  frm_->SetFieldSeparator(2);
  frm_->SetBadValStr("n/a");
  EXPECT_FALSE(frm_->CheckFormat());
  EXPECT_EQ(TakeMessages(),
            std::vector<std::string>{"The field separator must not be used in the text for missing values."});
  frm_->SetFieldSeparator(0);
  EXPECT_TRUE(frm_->CheckFormat());
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_GT(changes, 0);
}

TEST_F(WizardBase, ChannelInfoFrameListsTheItemsInBitOrder) {
  TForm form(nullptr);
  auto* frm = new TExpChanInfoFrm(&form);
  ASSERT_EQ(frm->InfoList->Count(), ChanInfoItemCount);
  EXPECT_EQ(frm->InfoList->Item(0), "Column");
  EXPECT_EQ(frm->GetInfoSet(), 0);
  frm->SetInfoSet(0xF000 | (1u << ciUnit) | (1u << ciLoggerId));
  EXPECT_EQ(frm->GetInfoSet(), (1u << ciUnit) | (1u << ciLoggerId));
  EXPECT_TRUE(frm->InfoList->ItemChecked(ciUnit));
}

// ---- the wizard's pages ----

class WizardPagesTest : public WizardBase {
protected:
  ~WizardPagesTest() override { delete wizard_; }
  TD42_Export* wizard_ = new TD42_Export(nullptr);
  test::TempDir dir_;
  TDataGlobals globals_;
  TDataGlobals* const registered_ = (DataGlobals = &globals_);
};

TEST_F(WizardPagesTest, EachPageChecksItsChoicesBeforeNext) {
  TD42_Export& w = *wizard_;
  EXPECT_EQ(D42_Export, &w);
  EXPECT_EQ(w.CurrentPage(), 0);
  EXPECT_FALSE(w.BackBtn->Enabled());
  struct Range {
    TDateTime start, stop;
    const char* message;
  };
  const Range ranges[] = {
      {AtDt(10, 0, 0), AtDt(10, 0, 0), "The time range must be longer than 10 seconds."},
      {AtDt(11, 0, 0), AtDt(10, 0, 0), "The minimum must be below the maximum."},
      {AtDt(10, 0, 0), AtDt(10, 0, 2), nullptr},
  };
  for (const Range& r : ranges) {
    w.SetRange(r.start, r.stop);
    w.NextClick();
    if (r.message) {
      EXPECT_EQ(TakeMessages(), std::vector<std::string>{r.message});
      EXPECT_EQ(w.CurrentPage(), 0);
      EXPECT_FALSE(w.NextBtn->Enabled()) << "until a control changes";
      w.SkipDateCheckB->SetChecked(true);
      EXPECT_TRUE(w.NextBtn->Enabled());
      w.SkipDateCheckB->SetChecked(false);
    }
  }
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(w.CurrentPage(), 1);

  w.NextClick();
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Please choose at least one channel."});
  EXPECT_FALSE(w.NextBtn->Enabled());
  TDeviceData device(dir_.Path() + "A/", 1);
  device.data->SetName("Logger A");
  device.Chan(0)->SetName("Temperature");
  w.SetSources({{device.data.get(), device.Chan(0)}});
  EXPECT_EQ(w.SourceListBox->Items()[0], "Logger A: Temperature");
  EXPECT_TRUE(w.NextBtn->Enabled());
  w.NextClick();
  w.NextClick();  // the header rows need no check
  ASSERT_EQ(w.CurrentPage(), 3);

  // Back never checks; Next on the file page refuses what would lose a file or go astray.
  w.SetFileName("");
  w.BackClick();
  EXPECT_EQ(w.CurrentPage(), 2);
  w.NextClick();
  std::ofstream(dir_.File("old.txt")) << "kept";
  std::filesystem::create_directory(dir_.File("sub"));
  struct File {
    std::string name;
    bool ok;
  };
  const File files[] = {
      {"", false},
      {dir_.File("missing/x.txt"), false},
      {"relative.txt", false},
      {dir_.File("a\\b.txt"), false},
      {dir_.File("sub/.."), false},
      {dir_.File("sub"), false},
      {dir_.File("old.txt"), true},
      {dir_.File("new.txt"), true},
  };
  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(IsValidExportFile(f.name), f.ok);
  }
  w.SetFileName(dir_.File("sub"));
  w.NextClick();
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Please enter a file name in an existing folder."});
  w.SetFileName(dir_.File("old.txt"));
  w.NextClick();
  ASSERT_EQ(w.CurrentPage(), 4);
  EXPECT_EQ(w.NextBtn->Text(), "&Finish");

  // Finish checks the format and then closes with OK.
  w.FormatFrm->SetFieldSeparator(4);
  w.FormatFrm->DateSepCB->SetItemIndex(3);
  w.NextClick();
  EXPECT_EQ(TakeMessages(),
            std::vector<std::string>{"The field separator must not be used in the date or time format."});
  EXPECT_EQ(w.ModalResult(), 0);
  w.FormatFrm->SetFieldSeparator(0);
  w.FormatFrm->FieldSepCB->OnChange(w.FormatFrm->FieldSepCB);
  EXPECT_TRUE(w.NextBtn->Enabled());
  w.NextClick();
  EXPECT_EQ(w.ModalResult(), mrOk);
  w.BackClick();
  EXPECT_EQ(w.NextBtn->Text(), "&Next >");
}

TEST_F(WizardPagesTest, TheChannelSetUpEditsACopyThatOkTakesOver) {
  TDeviceData device(dir_.Path() + "A/", 2);
  device.data->SetName("Logger A");
  device.Chan(0)->SetName("Temperature");
  device.Chan(1)->SetName("Humidity");
  wizard_->SetSources({{device.data.get(), device.Chan(0)}, {device.data.get(), device.Chan(1)}});
  wizard_->ShowPage(TD42_Export::pgSources);
  for (const bool ok : {false, true}) {
    bool acted = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      TD41_SetupGlChans* d = D41_SetupGlChans;
      if (acted || !d || !d->Modal()) return;
      acted = true;
      EXPECT_EQ(d->Text(), "Choose channels...");
      d->SelectListBox->SetItemIndex(0);
      d->DeleteClick();
      (ok ? d->OkBtn : d->CancelBtn)->Click();
    };
    wizard_->SetupChansClick();
    Application->OnIdle = nullptr;
    EXPECT_TRUE(acted);
    EXPECT_EQ(D41_SetupGlChans, nullptr);
    ASSERT_EQ(wizard_->Sources().size(), ok ? 1u : 2u);
  }
  EXPECT_EQ(wizard_->SourceListBox->Items()[0], "Logger A: Humidity");
}

TEST_F(WizardPagesTest, TheFileProposalTakesTheFirstFreeNumber) {
  EXPECT_EQ(ProposeExportFileName(dir_.Path()), dir_.Path() + "Export1.txt");
  std::ofstream(dir_.File("Export1.txt")) << "1";
  std::ofstream(dir_.File("Export2.txt")) << "2";
  EXPECT_EQ(ProposeExportFileName(dir_.Path()), dir_.Path() + "Export3.txt");
  for (int n = 3; n <= 99; ++n) std::ofstream(dir_.File("Export" + std::to_string(n) + ".txt")) << n;
  EXPECT_EQ(ProposeExportFileName(dir_.Path()), dir_.Path() + "Export99.txt");
}

// ---- the command ----

// The program folder with its INI file, the idle tasks and the progress window, and one device
// with 600 records ten seconds apart from 10:00 on 2 March 2009; the second channel misses
// every tenth value.
class ExportCommandTest : public WizardBase {
protected:
  ExportCommandTest() {
    saved_exe_path_ = ExePath;
    saved_ini_ = IniFileName;
    ExePath = dir_.Path();
    IniFileName = dir_.File("quarvel.INI");
    IdleTaskManager = &tasks_;
    InstallProcessWindowFactory();
    Application->OnIdle = [this](TComponent*, bool& done) {
      if (D42_Export && D42_Export->Modal() && user_) std::exchange(user_, nullptr)(*D42_Export);
      if (cancel_at_start_ && ProcessWindow && ProcessWindow->Visible())
        static_cast<TProcessWindow*>(ProcessWindow)->CancelBtn->Click();
      RunIdleTasks(done);
    };
    device_.data->SetName("Logger A");
    device_.Chan(0)->SetName("Temperature");
    device_.Chan(0)->SetUnit("C");
    device_.Chan(0)->SetDecimals(1);
    device_.Chan(1)->SetName("Humidity");
    device_.Chan(1)->SetUnit("%");
    device_.Chan(1)->SetDecimals(0);
    std::vector<std::pair<TDtStamp, std::vector<double>>> records;
    for (int i = 0; i < 600; ++i)
      records.push_back({At(10, 0, 10 * i), {20.5 + i % 3, i % 10 == 0 ? NoValue : 40.0 + i % 5}});
    device_.Store(records);
    manager_ = std::make_unique<TExportManager>();
  }
  ~ExportCommandTest() override {
    manager_.reset();
    Application->OnIdle = nullptr;
    ProcessWindowFactory = nullptr;
    IdleTaskManager = nullptr;
    ExePath = saved_exe_path_;
    IniFileName = saved_ini_;
  }
  TChanSelList Sources() { return {{device_.data.get(), device_.Chan(0)}, {device_.data.get(), device_.Chan(1)}}; }
  // Through every page with Next, the range and sources set on the way.
  void Finish(TD42_Export& w, TDateTime start, TDateTime stop) {
    w.SetRange(start, stop);
    w.NextClick();
    w.SetSources(Sources());
    for (int page = 1; page < TD42_Export::PageCount; ++page) w.NextClick();
    EXPECT_EQ(w.ModalResult(), mrOk) << (messages.empty() ? "" : messages.back());
  }
  std::vector<std::string> FolderFiles() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path()))
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir_;
  TDataGlobals globals_;
  TDataGlobals* const registered_ = (DataGlobals = &globals_);
  TDeviceData device_{dir_.Path() + "A/", 2};
  TIdleTaskManager tasks_;
  std::unique_ptr<TExportManager> manager_;
  std::function<void(TD42_Export&)> user_;
  bool cancel_at_start_ = false;
  std::string saved_exe_path_, saved_ini_;
};

TEST_F(ExportCommandTest, StoredChoicesFillThePagesAndTheExportIsWrittenAndStored) {
  std::ofstream(dir_.File("Export1.txt")) << "1";
  std::ofstream(dir_.File("Export2.txt")) << "2";
  {
    TIniFile2 ini(IniFileName);
    ini.WriteString("Export", "GlobChanInfo", "unit-Column-");
    ini.WriteString("Export", "DateFormat", "yyyy\"-\"mm\"-\"dd");
    ini.WriteString("Export", "TimeFormat", "hh\":\"nn\":\"ss");
    ini.WriteString("Export", "DecimalSeparator", ",");
    ini.WriteString("Export", "FieldSeparator", "|");
    ini.WriteString("Export", "LineEnd", "LF");
    ini.WriteString("Export", "BadValueString", "<n/a>");
  }
  bool shown = false;
  user_ = [&](TD42_Export& w) {
    shown = true;
    EXPECT_EQ(w.FileName(), dir_.Path() + "Export3.txt");
    EXPECT_EQ(w.ChanInfoFrm->GetInfoSet(), (1u << ciChanNr) | (1u << ciUnit));
    EXPECT_EQ(w.FormatFrm->GetDateFormat(), "yyyy\"-\"mm\"-\"dd");
    EXPECT_EQ(w.FormatFrm->GetDecimalSep(), ',');
    EXPECT_EQ(w.FormatFrm->GetFieldSeparator(), 1);
    EXPECT_EQ(w.FormatFrm->GetLineEnd(), 2);
    EXPECT_EQ(w.FormatFrm->GetBadValStr(), "n/a");
    // A second command while the wizard is open does nothing.
    manager_->ExportClick();
    Finish(w, AtDt(10, 0, 0), AtDt(10, 0, 20));
  };
  // The command runs from the menu item it is bound to.
  TMenuItem item(nullptr);
  manager_->SetExportMenu(&item);
  item.Click();
  EXPECT_TRUE(shown);
  manager_->SetExportMenu(nullptr);
  EXPECT_FALSE(item.OnClick) << "a forgotten control loses the command";
  EXPECT_EQ(D42_Export, nullptr);
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_EQ(ReadFile(dir_.File("Export3.txt")),
            "Column||1|2\n"
            "Unit||C|%\n"
            "Data\n"
            "2009-03-02|10:00:00|     20,5|n/a\n"
            "2009-03-02|10:00:10|     21,5|       41\n"
            "2009-03-02|10:00:20|     22,5|       42\n");
  TIniFile2 ini(IniFileName);
  EXPECT_EQ(ini.ReadString("Export", "GlobChanInfo", ""), "Column-Unit-");
  EXPECT_EQ(ini.ReadString("Export", "BadValueString", ""), "<n/a>");
  EXPECT_EQ(ini.ReadString("Export", "DecimalSeparator", ""), ",");
  EXPECT_EQ(ini.ReadString("Export", "FieldSeparator", ""), "|");
  EXPECT_EQ(ini.ReadString("Export", "LineEnd", ""), "LF");
}

TEST_F(ExportCommandTest, HeaderNamesOfAnotherLanguageMarkNothingAndACancelledWizardWritesNothing) {
  {
    TIniFile2 ini(IniFileName);
    ini.WriteString("Export", "GlobChanInfo", "Spalte-Einheit-");
    ini.WriteString("Export", "DecimalSeparator", "");
    ini.WriteString("Export", "BadValueString", "");
  }
  const std::string before = ReadFile(IniFileName);
  user_ = [&](TD42_Export& w) {
    EXPECT_EQ(w.ChanInfoFrm->GetInfoSet(), 0);
    EXPECT_EQ(w.FormatFrm->GetDecimalSep(), '.');
    EXPECT_EQ(w.FormatFrm->GetBadValStr(), "");
    w.CancelBtn->Click();
  };
  manager_->ExportClick();
  EXPECT_EQ(ReadFile(IniFileName), before);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Export1.txt")));
}

TEST_F(ExportCommandTest, CancelUnderTheProgressWindowLeavesNoFile) {
  cancel_at_start_ = true;
  user_ = [&](TD42_Export& w) { Finish(w, AtDt(10, 0, 0), AtDt(11, 0, 0)); };
  const std::vector<std::string> before = FolderFiles();
  manager_->ExportClick();
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_EQ(FolderFiles(), before) << "neither the export nor a temporary file, nor the settings";
  EXPECT_TRUE(messages.empty());
}

TEST_F(ExportCommandTest, AFailedRunPassesItsErrorAndStoresNoChoices) {
  // The folder goes away between the file page and Finish.
  std::filesystem::create_directory(dir_.File("gone"));
  user_ = [&](TD42_Export& w) {
    w.SetFileName(dir_.File("gone/x.txt"));
    w.SetRange(AtDt(10, 0, 0), AtDt(10, 1, 0));
    w.NextClick();
    w.SetSources(Sources());
    for (int page = 1; page < TD42_Export::PageCount - 1; ++page) w.NextClick();
    std::filesystem::remove(dir_.File("gone"));
    w.NextClick();
  };
  EXPECT_THROW(manager_->ExportClick(), Exception);
  EXPECT_EQ(ProcessWindow, nullptr);
  EXPECT_EQ(D42_Export, nullptr);
  EXPECT_FALSE(std::filesystem::exists(IniFileName)) << "no [Export] after a failed run";
}

// A row writer that presses the progress window's Cancel after some rows.
class TCancellingRec : public TTxtExpImpRec {
public:
  using TTxtExpImpRec::TTxtExpImpRec;
  void DoExport() override {
    TTxtExpImpRec::DoExport();
    if (++rows == 10) static_cast<TProcessWindow*>(ProcessWindow)->CancelBtn->Click();
  }
  int rows = 0;
};

class TCancellingExport : public TTxtExpModul {
public:
  std::unique_ptr<TExpImpRecord> CreateRecord(int32_t value_count) override {
    return std::make_unique<TCancellingRec>(value_count);
  }
};

TEST_F(ExportCommandTest, CancelDuringTheRowsLeavesAnAppendedFileAsItWas) {
  const std::string file = dir_.File("kept.txt");
  std::ofstream(file, std::ios::binary) << "earlier export\r\n";
  TCancellingExport module;
  const TChanSelList sources = Sources();
  module.SetSources(&sources);
  module.SetRange(AtDt(10, 0, 0), AtDt(11, 30, 0));
  module.FileName = file;
  module.Append = true;
  EXPECT_FALSE(RunExportUnderProgress(module));
  auto* rec = dynamic_cast<TCancellingRec*>(module.Record());
  ASSERT_NE(rec, nullptr);
  EXPECT_GE(rec->rows, 10);
  EXPECT_LT(rec->rows, 540) << "the run stopped before its end";
  EXPECT_EQ(ReadFile(file), "earlier export\r\n");
  EXPECT_EQ(FolderFiles(), std::vector<std::string>{"kept.txt"});
  EXPECT_EQ(ProcessWindow, nullptr);

  // Without Cancel the same run appends the rows.
  TTxtExpModul plain;
  plain.SetSources(&sources);
  plain.SetRange(AtDt(10, 0, 0), AtDt(10, 0, 10));
  plain.FileName = file;
  plain.Append = true;
  plain.DateFormat = "dd/mm/yyyy";
  EXPECT_TRUE(RunExportUnderProgress(plain));
  EXPECT_EQ(ReadFile(file),
            "earlier export\r\n"
            "02/03/2009\t10:00:00\t     20.5\t\r\n"
            "02/03/2009\t10:00:10\t     21.5\t       41\r\n");
}

}  // namespace
}  // namespace qv
