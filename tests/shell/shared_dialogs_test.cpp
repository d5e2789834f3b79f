// The shared dialogs, each run modally offscreen: accepted, refused with its validation text and
// cancelled; and the common dialogs with their translated texts.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "base/archive_hooks.h"
#include "base/locale_helpers.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "platform/rtl/date_time.h"
#include "shell/d12_enter_string.h"
#include "shell/d21_edit_title.h"
#include "shell/d32_insert_dt_range.h"
#include "shell/d43_print_select.h"
#include "shell/d70_sel_date_time.h"
#include "shell/d72_sel_start_date_time.h"
#include "shell/std_dialog_form.h"

namespace qv {
namespace {

// Runs start() while `user` acts on the modal dialog that shown() returns, once, from the
// main loop's idle pass; the messages shown meanwhile are collected (and answered OK).
class ModalRun {
public:
  ModalRun() {
    InitializeGui();
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      messages.push_back(msg);
      return static_cast<int>(mrOk);
    });
  }
  ~ModalRun() {
    Application->OnIdle = nullptr;
    SetMessageDlgAnswerer(nullptr);
  }
  int Run(const std::function<TForm*()>& shown, const std::function<void()>& user, const std::function<int()>& start) {
    bool acted = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      TForm* f = shown();
      if (acted || !f || !f->Modal()) return;
      acted = true;
      user();
    };
    const int result = start();
    Application->OnIdle = nullptr;
    EXPECT_TRUE(acted);
    return result;
  }
  std::vector<std::string> messages;
};

TEST(TitleEditor, CustomStandardRefusedAndCancelled) {
  TArchiveStandIns archive;
  ModalRun run;
  auto shown = [] { return static_cast<TForm*>(D21_EditTitle); };
  // The custom title is taken; typing selects the custom choice and makes OK the default.
  std::string title;
  EXPECT_EQ(run.Run(
                shown,
                [] {
                  TD21_EditTitle& d = *D21_EditTitle;
                  EXPECT_TRUE(d.StandRadio->Checked());
                  EXPECT_TRUE(d.CancelBtn->Default());
                  EXPECT_EQ(d.StandTitleEdit->Text(), "Cellar");
                  d.CustomTitleEdit->SetText("My plot");
                  EXPECT_TRUE(d.CustomRadio->Checked());
                  EXPECT_TRUE(d.OKBtn->Default());
                  d.OKBtn->Click();
                },
                [&] { return StartD21EditTitle("Title", "Cellar", title); }),
            mrOk);
  EXPECT_EQ(title, "My plot");
  EXPECT_GE(archive.UserActivity, 1);
  // The standard choice gives "" even when a custom text was typed.
  EXPECT_EQ(run.Run(
                shown,
                [] {
                  TD21_EditTitle& d = *D21_EditTitle;
                  EXPECT_TRUE(d.CustomRadio->Checked());
                  d.StandRadio->SetChecked(true);
                  EXPECT_TRUE(d.OKBtn->Default());
                  d.OKBtn->Click();
                },
                [&] { return StartD21EditTitle("Title", "Cellar", title); }),
            mrOk);
  EXPECT_EQ(title, "");
  // An empty custom title is refused and the dialog stays; then cancelled.
  title = "Kept";
  EXPECT_EQ(run.Run(
                shown,
                [&] {
                  TD21_EditTitle& d = *D21_EditTitle;
                  d.CustomTitleEdit->SetText("");
                  d.CustomRadio->SetChecked(true);
                  d.OKClick();
                  EXPECT_EQ(d.ModalResult(), mrNone);
                  ASSERT_EQ(run.messages.size(), 1u);
                  EXPECT_EQ(run.messages[0], LoadResString("d21_EmptyTitle"));
                  EXPECT_TRUE(d.CancelBtn->Default());
                  d.CancelBtn->Click();
                },
                [&] { return StartD21EditTitle("Title", "Cellar", title); }),
            mrCancel);
  EXPECT_EQ(title, "Kept");
  EXPECT_EQ(D21_EditTitle, nullptr);
}

TEST(TitleEditor, OneInstanceAndTheThirtyCharacterLimit) {
  ModalRun run;
  std::string title = std::string(40, 'x');
  run.Run([] { return static_cast<TForm*>(D21_EditTitle); },
          [&] {
            EXPECT_EQ(D21_EditTitle->CustomTitleEdit->Text().size(), 30u);
            std::string other;
            try {
              StartD21EditTitle("", "", other);
              ADD_FAILURE() << "a second instance was opened";
            } catch (const Exception& e) {
              EXPECT_STREQ(e.what(), "Error in StartD21EditTitle: only !one! instance permitted");
            }
            D21_EditTitle->CancelBtn->Click();
          },
          [&] { return StartD21EditTitle("", "Std", title); });
}

TDateTime At(int y, int mo, int d, int h, int mi, int s) { return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0); }

TEST(DateTimeRange, RangeChecksOnOK) {
  struct Case {
    TDateTime start, stop;
    const char* refusal;  // nullptr: accepted
  };
  const TDateTime start = At(2026, 3, 10, 12, 0, 0);
  const Case cases[] = {
      {start, start + 5.0 / 86400, "err_TimeRangeTooSmall"},
      {start, start + 10.0 / 86400, "err_TimeRangeTooSmall"},
      {start, start + 20.0 / 86400, nullptr},
      {start, At(2027, 3, 10, 12, 0, 0), "err_TimeRangeTooBig"},
      {start, At(2027, 3, 10, 11, 59, 0), nullptr},
      {start + 20.0 / 86400, start, nullptr},                     // reversed: the caller orders them
      {At(2028, 3, 10, 12, 0, 0), start, "err_TimeRangeTooBig"},  // reversed by two years
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal ? c.refusal : "accepted");
    TArchiveStandIns archive;
    ModalRun run;
    TDateTime from = c.start, to = c.stop;
    const int result = run.Run([] { return static_cast<TForm*>(D32_InsertDtRange); },
                               [&] {
                                 TD32_InsertDtRange& d = *D32_InsertDtRange;
                                 EXPECT_FALSE(d.OKBtn->Enabled());
                                 d.StopTime->Change();  // any change of a picker enables OK
                                 EXPECT_TRUE(d.OKBtn->Enabled());
                                 d.OKClick();
                                 if (c.refusal) {
                                   EXPECT_EQ(run.messages, std::vector<std::string>{LoadResString(c.refusal)});
                                   EXPECT_FALSE(d.OKBtn->Enabled());
                                   EXPECT_EQ(d.ModalResult(), mrNone);
                                   d.CancelBtn->Click();
                                 }
                               },
                               [&] { return RunD32InsertDtRange(from, to); });
    EXPECT_EQ(result, c.refusal ? mrCancel : mrOk);
    EXPECT_NEAR(from, c.start, 1e-6);
    EXPECT_NEAR(to, c.stop, 1e-6);
    EXPECT_GE(archive.UserActivity, 1);
  }
}

TEST(DateTimeRange, DefaultsAndPickedValues) {
  InitializeGui();
  TFixedClock clock(At(2026, 12, 10, 15, 30, 45));
  TD32_InsertDtRange d(nullptr, &clock);
  EXPECT_NEAR(d.GetStartDt(), At(2026, 12, 9, 15, 30, 45), 1e-6);
  EXPECT_NEAR(d.GetStopDt(), At(2026, 12, 10, 15, 30, 45), 1e-6);
  d.SetStartDt(-1000.5);
  EXPECT_NEAR(d.GetStartDt(), At(2026, 12, 9, 15, 30, 45), 1e-6);
  // Date and time come from their own pickers.
  d.StartDate->SetDateTime(At(2025, 1, 2, 23, 59, 59));
  d.StartTime->SetDateTime(At(2000, 1, 1, 6, 7, 8));
  EXPECT_NEAR(d.GetStartDt(), At(2025, 1, 2, 6, 7, 8), 1e-6);
}

TEST(SingleDateTime, DefaultAcceptAndCancel) {
  TArchiveStandIns archive;
  ModalRun run;
  TFixedClock clock(At(2026, 12, 10, 15, 30, 45));
  TD70_SelDateTime d(Application, &clock);
  EXPECT_NEAR(d.GetSelDt(), At(2026, 11, 26, 0, 0, 0), 1e-6);
  d.SetSelDt(At(2026, 5, 1, 8, 0, 0));
  for (int button : {mrOk, mrCancel}) {
    const int result =
        run.Run([&] { return static_cast<TForm*>(&d); }, [&] { (button == mrOk ? d.OKBtn : d.CancelBtn)->Click(); },
                [&] { return d.ShowModal(); });
    EXPECT_EQ(result, button);
  }
  EXPECT_NEAR(d.GetSelDt(), At(2026, 5, 1, 8, 0, 0), 1e-6);
}

// The pickers write the date as every other date of the program is written, and an open dialog
// follows a change of language.
TEST(SingleDateTime, PickersShowTheProgramsShortDateInTheLanguageInUse) {
  TArchiveStandIns archive;
  const TFormatSettings saved = FormatSettings;
  TFixedClock clock(At(2026, 12, 10, 15, 30, 45));
  TD70_SelDateTime d(Application, &clock);
  d.SetSelDt(At(2026, 12, 9, 8, 0, 0));
  const struct {
    uint32_t locale;
    const char* shown;
  } cases[] = {{0x0407, "09.12.2026"}, {0x0409, "12/9/2026"}, {0x0809, "09/12/2026"}, {0x0407, "09.12.2026"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    SetLocaleFormatSettings(c.locale);
    EXPECT_EQ(FormatDateTime(FormatSettings.ShortDateFormat, At(2026, 12, 9, 0, 0, 0)), c.shown);
    EXPECT_EQ(d.SelDate->ShownText(), c.shown);
  }
  ReplaceFormatSettings(saved);
}

TEST(StartDateDialog, TickingAllDataRestsThePickersAndOkTakesTheChoice) {
  TArchiveStandIns archive;
  ModalRun run;
  auto shown = [] { return static_cast<TForm*>(D72_SelStartDateTime); };
  for (bool all : {true, false}) {
    TDateTime start = At(2030, 3, 4, 0, 0, 0);
    bool read_all = !all;
    const int result = run.Run(
        shown,
        [&] {
          TD72_SelStartDateTime& d = *D72_SelStartDateTime;
          EXPECT_FALSE(d.CancelBtn->Visible());
          EXPECT_EQ(d.SelGroup->Text(), "");
          EXPECT_NEAR(d.GetDateTime(), At(2030, 3, 4, 0, 0, 0), 1e-6);
          d.ReadAllData->SetChecked(true);
          EXPECT_FALSE(d.SelDate->Enabled());
          EXPECT_FALSE(d.SelTime->Enabled());
          d.ReadAllData->SetChecked(all);
          EXPECT_EQ(d.SelDate->Enabled(), !all);
          d.SetDateTime(At(2030, 2, 1, 6, 30, 0));
          d.OKBtn->Click();
        },
        [&] { return RunD72SelStartDateTime(start, read_all) ? mrOk : mrCancel; });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(read_all, all);
    EXPECT_NEAR(start, At(2030, 2, 1, 6, 30, 0), 1e-6);
    EXPECT_EQ(D72_SelStartDateTime, nullptr);
  }
}

TEST(StringEntry, MaximumLengthAcceptAndCancel) {
  TArchiveStandIns archive;
  ModalRun run;
  auto shown = [] { return static_cast<TForm*>(D12_EnterString); };
  std::string text = "ABCDEFGH";
  EXPECT_EQ(run.Run(
                shown,
                [] {
                  TD12_EnterString& d = *D12_EnterString;
                  EXPECT_EQ(d.GetText(), "ABCDE");
                  EXPECT_TRUE(d.CancelBtn->Default());
                  d.Edit->SetText("Hall");
                  EXPECT_TRUE(d.OKBtn->Default());
                  d.OKBtn->Click();
                },
                [&] { return RunD12EnterString("Comment:", "Text", "", 5, text); }),
            mrOk);
  EXPECT_EQ(text, "Hall");
  EXPECT_EQ(
      run.Run(
          shown, [] { D12_EnterString->CancelBtn->Click(); }, [&] { return RunD12EnterString("", "", "", 0, text); }),
      mrCancel);
  EXPECT_EQ(text, "Hall");
  EXPECT_EQ(D12_EnterString, nullptr);
  // No limit: nothing is cut; a limit cuts by characters, not bytes.
  TD12_EnterString d(nullptr);
  d.SetEditText("Grüße aus Köln");
  d.SetMaxLength(0);
  EXPECT_EQ(d.GetText(), "Grüße aus Köln");
  d.SetMaxLength(4);
  EXPECT_EQ(d.GetText(), "Grüß");
}

TEST(PrintSelection, KeptBetweenUsesWithItsChoice) {
  ModalRun run;
  Td43_PrintSelect* d = PrintSelectDialog();
  EXPECT_EQ(d->ItemIndex(), 0);
  EXPECT_EQ(d->SelectGroup->Items().Count(), 7);
  EXPECT_EQ(d->SelectGroup->Items()[6], LoadResString("d43_SelectDiagrams4pp"));
  EXPECT_EQ(run.Run([&] { return static_cast<TForm*>(d); },
                    [&] {
                      d->SelectGroup->SetItemIndex(3);
                      d->OKBtn->Click();
                    },
                    [&] { return d->ShowModal(); }),
            mrOk);
  EXPECT_EQ(PrintSelectDialog(), d);
  EXPECT_EQ(d->ItemIndex(), 3);
  EXPECT_EQ(
      run.Run([&] { return static_cast<TForm*>(d); }, [&] { d->CancelBtn->Click(); }, [&] { return d->ShowModal(); }),
      mrCancel);
  delete d;
  EXPECT_EQ(d43_PrintSelect, nullptr);
}

// The common dialogs in German: the texts of the language file reach Qt's dialogs.
class CommonDialogs : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    TResourceLanguageSetup setup;
    setup.ModuleFile = std::string(QV_SOURCE_DIR) + "/res/quarvel";
    setup.ProgramFile = setup.ModuleFile;
    SetResourceLanguageSetup(setup);
    ASSERT_TRUE(SetResourceLocale(0x0407, false));
    InstallCommonDialogTexts();
    form = new TStdDialogForm(nullptr);
  }
  void TearDown() override {
    delete form;
    SetCommonDialogUser(nullptr);
    SetCommonDialogTextProc(nullptr);
    SetResourceLocale(0, false);
    ResetResourceLanguageSetup();
  }
  TStdDialogForm* form = nullptr;
};

TEST_F(CommonDialogs, TranslatedTextsAcceptAndCancel) {
  struct Case {
    TCommonDialog* dialog;
    int id;
    const char* key;
  };
  const Case cases[] = {
      {form->OpenDialog, DlgTitleId, "Open"},
      {form->OpenDialog, DlgFileNameId, "File &name:"},
      {form->SaveDialog, DlgTitleId, "Save As"},
      {form->SaveDialog, DlgOkId, "&Save"},
      {form->PrintDialog, DlgTitleId, "Print"},
      {form->PrinterSetupDialog, DlgTitleId, "Print Setup"},
      {form->ColorDialog, DlgTitleId, "Color"},
      {form->FontDialog, DlgTitleId, "Font"},
      {form->OpenPictureDialog, DlgFileNameId, "File &name:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    for (bool accept : {true, false}) {
      std::string text;
      SetCommonDialogUser([&](TCommonDialog&, const TCommonDialogWindow& w) {
        text = w.ControlText(c.id);
        return accept;
      });
      EXPECT_EQ(c.dialog->Execute(), accept);
      EXPECT_EQ(text, LoadResString(c.key));
      EXPECT_NE(text, c.key);  // German, not the English key
    }
  }
  // Labels without a buddy show no accelerator sign.
  std::string look_in;
  SetCommonDialogUser([&](TCommonDialog&, const TCommonDialogWindow& w) {
    look_in = w.ControlText(DlgLookInId);
    return false;
  });
  form->OpenDialog->Execute();
  std::string expected = LoadResString("Look &in:");
  expected.erase(expected.find('&'), 1);
  EXPECT_EQ(look_in, expected);
  // The caller's title wins over the standard one.
  form->SaveDialog->Title = "Export";
  std::string title;
  SetCommonDialogUser([&](TCommonDialog& d, const TCommonDialogWindow& w) {
    title = w.ControlText(DlgTitleId);
    static_cast<TSaveDialog&>(d).FileName = "/tmp/export1.txt";
    return true;
  });
  EXPECT_TRUE(form->SaveDialog->Execute());
  EXPECT_EQ(title, "Export");
  EXPECT_EQ(form->SaveDialog->FileName, "/tmp/export1.txt");
  EXPECT_TRUE(form->OpenDialog->Options & ofAllowMultiSelect);
  EXPECT_TRUE(form->OpenDialog->Options & ofFileMustExist);
  EXPECT_EQ(form->Text(), "Standard Dialog Form");
}

}  // namespace
}  // namespace qv
