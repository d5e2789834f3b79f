#include "archive/forms/d60_show_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "archive/archive_globals.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive_test_support.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/printers.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/file_io.h"
#include "shell/d32_insert_dt_range.h"
#include "shell/std_dialog_form.h"
#include "support/english_texts.h"
#include "support/pdf_text.h"

namespace qv {
namespace {

// Clicks OK in each program dialog that opens over the viewer, as its user would, after the
// user's changes (prepare), and notes its class.
class TOkClicker {
public:
  explicit TOkClicker(TForm* viewer, std::function<void(TForm&)> prepare = nullptr) {
    Application->OnIdle = [this, viewer, prepare](TComponent*, bool& done) {
      // Called again and again while it lives: the dialog may only just be opening, or closing.
      done = false;
      TModalWindow w;
      if (!TopModalWindow(w) || !w.Form || w.Form == viewer || w.Form->ModalResult() != mrNone) return;
      if (w.Id == last_) return;
      done = true;
      last_ = w.Id;
      Seen.push_back(w.Form->ClassName());
      if (prepare) prepare(*w.Form);
      if (!UserClickDialogButton("OK")) {
        ADD_FAILURE() << w.Form->ClassName();
        w.Form->Close();
      }
    };
  }
  ~TOkClicker() { Application->OnIdle = nullptr; }
  std::vector<std::string> Seen;

private:
  const void* last_ = nullptr;
};

class AuditViewer : public ::testing::Test {
protected:
  AuditViewer() {
    InitializeGui();
    StdDialogForm = new TStdDialogForm(nullptr);
  }
  ~AuditViewer() override {
    SetCommonDialogUser(nullptr);
    viewer.reset();
    delete StdDialogForm;
  }

  // count events, one a minute from start, each with its number as comment.
  void Record(int count, TDateTime start) {
    for (int i = 0; i < count; ++i) {
      clock.Set(start + i / 1440.0);
      trail.AddEvent(TAuditKind::DeviceData, "7", std::to_string(i));
    }
  }
  void Open() {
    viewer = std::make_unique<TD60_ShowLog>(nullptr, trail, &now);
    viewer->Show();
  }
  std::vector<std::string> Shown() const { return viewer->RichEdit->Lines(); }
  // The comment of a display line: the event's number.
  static std::string Number(const std::string& line) { return line.substr(line.rfind(" - ") + 3); }

  test::EnglishTexts english;
  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TFixedClock clock;
  TFixedClock now{EncodeDate(2026, 12, 15) + 0.5};
  TDY_AuditManager trail{clock};
  std::unique_ptr<TD60_ShowLog> viewer;
};

// 1200 events: the last page first, back page by page to the start, and forward again to the end
// with one event more at its top.
TEST_F(AuditViewer, PagesBackAndForthByClicks) {
  Record(1200, EncodeDate(2026, 12, 1));
  Open();
  struct Step {
    TButton* button;
    int first, last;
  };
  const std::vector<Step> steps = {
      {nullptr, 700, 1199},      {viewer->BitBtn1, 200, 700}, {viewer->BitBtn1, 0, 200},
      {viewer->BitBtn1, 0, 200}, {viewer->BitBtn2, 200, 700}, {viewer->BitBtn2, 699, 1199},
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    if (steps[i].button) UserClick(steps[i].button);
    EXPECT_EQ(viewer->First(), steps[i].first);
    EXPECT_EQ(viewer->Last(), steps[i].last);
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), static_cast<size_t>(steps[i].last - steps[i].first + 1));
    EXPECT_EQ(Number(shown.front()), std::to_string(steps[i].first));
    EXPECT_EQ(Number(shown.back()), std::to_string(steps[i].last));
  }
  // Events recorded while the viewer is open appear on its next page.
  Record(3, EncodeDate(2026, 12, 2));
  UserClick(viewer->BitBtn2);
  EXPECT_EQ(viewer->Last(), 1202);
  EXPECT_TRUE(boxes.Texts.empty());
}

// The range dialog is preset from the first and the last line shown; OK shows that range, and
// paging goes on from it.
TEST_F(AuditViewer, TheDateRangeStartsFromTheLinesShown) {
  Record(1200, EncodeDate(2026, 12, 1));
  Open();
  UserClick(viewer->BitBtn1);  // 200..700
  {
    // The range dialog takes OK after a change: the start hour down and up again.
    TOkClicker ok(viewer.get(), [](TForm& f) {
      auto& range = dynamic_cast<TD32_InsertDtRange&>(f);
      UserClick(range.StartTime, TPoint{6, range.StartTime->Height() / 2});
      UserKey(VK_DOWN);
      UserKey(VK_UP);
    });
    UserClick(viewer->BtnEditDt);
    EXPECT_EQ(ok.Seen, std::vector<std::string>{"TD32_InsertDtRange"});
  }
  EXPECT_EQ(viewer->First(), 200);
  EXPECT_EQ(viewer->Last(), 700);
  EXPECT_EQ(Number(Shown().front()), "200");
  EXPECT_EQ(Number(Shown().back()), "700");
  UserClick(viewer->BitBtn1);
  EXPECT_EQ(viewer->Last(), 200);

  EXPECT_EQ(DisplayLineTime("no time here"), -1000);
  EXPECT_EQ(DisplayLineTime("yesterday [System] x"), -1000);
}

// Archiving on the 15th with the preset time: an existing name is asked again and left alone; the
// new trail keeps the events from the first of the month on and then the archiving event.
TEST_F(AuditViewer, ArchivingKeepsTheMonthAndAsksAgainForAnExistingName) {
  Record(10, EncodeDate(2026, 11, 30) + 23.0 / 24);  // 23:00 .. 23:09
  Record(5, EncodeDate(2026, 12, 1));
  const std::string old_trail = ReadFileBytes(trail.FileName());
  std::ofstream(folder.File("taken.dat")) << "keep";
  Open();
  std::vector<std::string> presets;
  std::vector<std::string> answers = {folder.File("taken.dat"), folder.File("AuditTrail_Dec.dat")};
  SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
    auto& save = dynamic_cast<TSaveDialog&>(d);
    presets.push_back(save.FileName);
    save.FileName = answers.at(presets.size() - 1);
    return true;
  });
  {
    TOkClicker ok(viewer.get());
    UserClick(viewer->BtnSave);
    EXPECT_EQ(ok.Seen, std::vector<std::string>{"TD70_SelDateTime"});
  }
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[0], ArchiveDataPath + "AuditTrail_20261201.dat");
  EXPECT_EQ(boxes.Texts,
            (std::vector<std::string>{LoadResString("D60_FileExists"), LoadResString("D60_ArchiveCreated")}));
  EXPECT_EQ(ReadFileBytes(folder.File("taken.dat")), "keep");
  EXPECT_EQ(ReadFileBytes(folder.File("AuditTrail_Dec.dat")), old_trail);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 6u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Number(shown[static_cast<size_t>(i)]), std::to_string(i));
  EXPECT_NE(shown[5].find(folder.File("AuditTrail_Dec.dat")), std::string::npos) << shown[5];
}

// Another trail file is opened on its last page; printing puts the lines shown on paper.
TEST_F(AuditViewer, OpensAnotherTrailAndPrintsWhatItShows) {
  Record(3, EncodeDate(2026, 12, 1));
  ASSERT_TRUE(trail.ArchiveLog(folder.File("AuditTrail_20261201.dat"), EncodeDate(2026, 12, 2)));
  Open();
  ASSERT_EQ(Shown().size(), 2u);  // the last event kept and the archiving event
  SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
    dynamic_cast<TOpenDialog&>(d).FileName = folder.File("AuditTrail_20261201.dat");
    return true;
  });
  UserClick(viewer->BtnOpen);
  EXPECT_EQ(viewer->ShownFile(), folder.File("AuditTrail_20261201.dat"));
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 3u);

  // The print dialog's destination set to a PDF file and accepted with its own button.
  const std::string pdf = folder.File("trail.pdf");
  Printer().SetPixelsPerInch(75);
  bool accepted = false;
  SetCommonDialogUser([&](TCommonDialog&, TCommonDialogWindow& window) {
    EXPECT_TRUE(window.SetPrintFile(pdf));
    accepted = window.PressOk();
    return accepted;
  });
  UserClick(viewer->PrintLog);
  Printer().SetPixelsPerInch(300);
  EXPECT_TRUE(accepted);
  const std::vector<std::string> printed = test::PdfText(pdf);
  for (const std::string& line : shown)
    EXPECT_NE(std::find(printed.begin(), printed.end(), line), printed.end()) << line;
}

}  // namespace
}  // namespace qv
