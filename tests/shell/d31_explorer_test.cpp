#include "shell/d31_explorer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/idle_task_manager.h"
#include "controls/sty_splitter.h"
#include "crypto/external_tool.h"
#include "devices/app_hooks.h"
#include "support/pdf_text.h"
#include "devices/forms/device_frame.h"
#include "devices/editor_fixture.h"
#include "devices/forms/tv10_mod_editor.h"
#include "devices/forms/tv10_sub_mod_ed.h"
#include "devices/tv10_sensor_info.h"
#include "platform/gui/outline.h"
#include "platform/gui/printers.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/string_list.h"
#include "shell/d12_enter_string.h"
#include "shell/std_dialog_form.h"

namespace qv::test {
namespace {

// A device that logs when the explorer applies or discards its edits, and may fail to apply.
class LoggedDevice : public TDevice {
public:
  bool ApplyChanges() override {
    Log->push_back("apply " + EditName());
    return TDevice::ApplyChanges() && !Fail;
  }
  void CancelChanges() override {
    Log->push_back("cancel " + Name());
    TDevice::CancelChanges();
  }
  bool AcceptEditor() override {
    if (Throw) throw Exception("Shelf broken");
    return TDevice::AcceptEditor();
  }
  std::vector<std::string>* Log = nullptr;
  bool Fail = false;
  bool Throw = false;
};

class Explorer : public LoggerEditorFixture {
protected:
  Explorer() { EXPECT_EQ(StdDialogForm, nullptr); }
  ~Explorer() override {
    RecorderConfirmStop = nullptr;
    Application->OnIdle = nullptr;
  }

  LoggedDevice* AddLogged(TDevice* parent, const std::string& name) {
    auto node = TDevice::Create<LoggedDevice>(parent);
    node->Log = &log_lines;
    node->SetId(parent->FindNextId(1, TDevice::MaxId));
    node->SetName(name);
    EXPECT_TRUE(node->SetUpDevice());
    return node.release();
  }
  // Root, "Cellar" with "Shelf" below it, and "Attic".
  void BuildTree() {
    root = LoadRoot();
    cellar = AddLogged(root.get(), "Cellar");
    shelf = AddLogged(cellar, "Shelf");
    attic = AddLogged(root.get(), "Attic");
  }
  // A click on the outline row of element.
  static void ClickNode(TD31_Explorer& dlg, TExplElement* element) {
    TOutline* o = dlg.Outline;
    const int row = o->NodeRow(o->GetDataItem(element));
    ASSERT_GE(row, 0);
    const TRect r = o->ItemRect(row);
    o->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(r.Right - 10, r.Top + 2));
    o->Perform(WM_LBUTTONUP, 0, MakeLParam(r.Right - 10, r.Top + 2));
  }
  // Types into the long-name edit of a plain device's open editor.
  static void TypeName(TDevice* node, const std::string& text) {
    auto* editor = dynamic_cast<TDeviceEditor*>(node->Editor());
    ASSERT_NE(editor, nullptr);
    editor->DeviceFrame()->LNameEdit->SetText(text);
  }
  // Answers the comment dialog when it shows: with text, or Cancel when text is null.
  void AnswerComment(const char* text) {
    Application->OnIdle = [text](TComponent*, bool& done) {
      done = true;
      if (!D12_EnterString || !D12_EnterString->Modal()) return;
      if (text) {
        D12_EnterString->Edit->SetText(text);
        D12_EnterString->OKBtn->Click();
      } else {
        D12_EnterString->CancelBtn->Click();
      }
    };
  }

  std::unique_ptr<TDevice> root;
  LoggedDevice *cellar = nullptr, *shelf = nullptr, *attic = nullptr;
  std::vector<std::string> log_lines;
};

TEST_F(Explorer, EditsAreAppliedFromTheLastNodeToTheFirstWithOneAuditRecord) {
  BuildTree();
  TD31_Explorer dlg(nullptr, root.get());
  EXPECT_EQ(dlg.Outline->ItemTexts(),
            (std::vector<std::string>{"dev_OutlineRoot", "DL001 Cellar", "Shelf", "DL002 Attic"}));
  EXPECT_FALSE(dlg.OKBtn->Enabled());
  EXPECT_TRUE(dlg.CancelBtn->Default());
  EXPECT_FALSE(dlg.PrintBtn->Enabled());
  // The buttons keep to the bottom right (no Help button while no help is installed).
  dlg.SetBounds(0, 0, 900, 520);
  EXPECT_EQ(dlg.CancelBtn->BoundsRect().Right, dlg.BottomPanel->ClientWidth() - 7);
  EXPECT_EQ(dlg.CancelBtn->BoundsRect().Bottom, dlg.BottomPanel->ClientHeight() - 7);
  EXPECT_EQ(dlg.OKBtn->BoundsRect().Right, dlg.CancelBtn->Left() - 7);
  EXPECT_EQ(dlg.PrintBtn->BoundsRect().Right, dlg.OKBtn->Left() - 7);

  ClickNode(dlg, cellar);
  ASSERT_EQ(dlg.CurrentElement(), cellar);
  auto* editor = dynamic_cast<TDeviceEditor*>(cellar->Editor());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->DeviceFrame()->Panel->Parent(), static_cast<TWinControl*>(dlg.EditorPane));
  EXPECT_TRUE(dlg.PrintBtn->Enabled());
  EXPECT_FALSE(dlg.OKBtn->Enabled());  // showing the values is no modification

  TypeName(cellar, "Cellar north");
  EXPECT_TRUE(dlg.OKBtn->Enabled());
  EXPECT_TRUE(dlg.OKBtn->Default());
  EXPECT_FALSE(dlg.CancelBtn->Default());
  EXPECT_EQ(dlg.Outline->NodeText(2), "DL001 Cellar north");

  ClickNode(dlg, attic);  // the cellar's editor closes, its values kept in the edit copies
  EXPECT_EQ(dlg.CurrentElement(), attic);
  EXPECT_EQ(cellar->Editor(), nullptr);
  EXPECT_EQ(cellar->EditName(), "Cellar north");
  EXPECT_EQ(cellar->Name(), "Cellar");

  dlg.OKBtnClick();
  EXPECT_EQ(log_lines, (std::vector<std::string>{"apply Attic", "apply Shelf", "apply Cellar north"}));
  EXPECT_EQ(cellar->Name(), "Cellar north");
  const auto events = archive.Audit.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TDY_AuditEventKind::DeviceConfigChanged);
  EXPECT_NE(events[0].Comment.find("audit_DevNameChange"), std::string::npos) << events[0].Comment;
  EXPECT_EQ(dlg.ModalResult(), mrOk);
  EXPECT_TRUE(dlg.FailedElements().empty());
  EXPECT_TRUE(dialogs.empty());
}

TEST_F(Explorer, ElementsThatFailToApplyAreNamedAndTheRestIsAudited) {
  BuildTree();
  shelf->Fail = true;
  TD31_Explorer dlg(nullptr, root.get());
  dlg.SelectElement(cellar);
  TypeName(cellar, "Cellar north");
  dlg.OKBtnClick();
  EXPECT_EQ(log_lines.size(), 3u);  // one failure does not stop the others
  EXPECT_EQ(cellar->Name(), "Cellar north");
  EXPECT_EQ(dlg.FailedElements(), std::vector<std::string>{"Shelf"});
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0], "d31_ApplyFailed\nShelf");
  EXPECT_EQ(archive.Audit.Events().size(), 1u);
  EXPECT_EQ(dlg.ModalResult(), mrOk);
}

TEST_F(Explorer, CancelDiscardsTheEditsOfEveryNodeFromTheFirstToTheLast) {
  struct Case {
    const char* name;
    std::function<void(TD31_Explorer&)> leave;
  } cases[] = {
      {"Cancel", [](TD31_Explorer& d) { d.CancelBtnClick(); }},
      {"OK while the recorder must go on",
       [](TD31_Explorer& d) {
         RecorderConfirmStop = [] { return false; };
         d.OKBtnClick();
       }},
      {"window closed", [](TD31_Explorer& d) { d.Close(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuildTree();
    log_lines.clear();
    {
      TD31_Explorer dlg(nullptr, root.get());
      dlg.SelectElement(cellar);
      TypeName(cellar, "Wine cellar");
      dlg.SelectElement(attic);  // the cellar's editor is closed before the dialog ends
      TypeName(attic, "Loft");
      c.leave(dlg);
      if (std::string(c.name) != "window closed") {
        EXPECT_EQ(dlg.ModalResult(), mrCancel);
      }
    }
    RecorderConfirmStop = nullptr;
    EXPECT_EQ(log_lines, (std::vector<std::string>{"cancel Cellar", "cancel Shelf", "cancel Attic"}));
    EXPECT_EQ(cellar->EditName(), "Cellar");
    EXPECT_EQ(attic->EditName(), "Attic");
    EXPECT_EQ(attic->Editor(), nullptr);  // closed with the dialog
    EXPECT_TRUE(archive.Audit.Events().empty());
    root.reset();
  }
}

TEST_F(Explorer, AnEditorHoldingAnInvalidValueKeepsItsElementSelected) {
  root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  TD31_Explorer dlg(nullptr, root.get());
  ClickNode(dlg, logger);
  auto* editor = dynamic_cast<TTv10ModEditor*>(logger->Editor());
  ASSERT_NE(editor, nullptr);
  editor->ModFrame()->LocalHeightEd->SetText("high");
  ClickNode(dlg, Slot(logger, 2));
  EXPECT_EQ(dlg.CurrentElement(), logger);
  EXPECT_EQ(logger->Editor(), editor);
  EXPECT_EQ(dlg.Outline->SelectedItem(), dlg.Outline->GetDataItem(logger));
  EXPECT_EQ(dialogs.size(), 1u);
  dlg.OKBtnClick();  // refused the same way: the dialog stays
  EXPECT_EQ(dlg.ModalResult(), mrNone);
  EXPECT_EQ(dialogs.size(), 2u);

  editor->ModFrame()->LocalHeightEd->SetText("0");
  ClickNode(dlg, Slot(logger, 2));
  EXPECT_EQ(dlg.CurrentElement(), Slot(logger, 2));
  EXPECT_EQ(logger->Editor(), nullptr);
}

TEST_F(Explorer, ALoggerJumpsToItsSlotsAndToTheNewHolderOfAChangedSensor) {
  TIdleTaskManager idle;
  TIdleTaskManager* old = IdleTaskManager;
  IdleTaskManager = &idle;
  root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  TD31_Explorer dlg(nullptr, root.get());
  dlg.SelectElement(logger);
  static_cast<TTv10ModEditor*>(logger->Editor())->ModFrame()->EditChanBtn[1]->Click();
  idle.Run();
  EXPECT_EQ(dlg.CurrentElement(), Slot(logger, 2));
  EXPECT_EQ(dlg.Outline->SelectedItem(), dlg.Outline->GetDataItem(Slot(logger, 2)));

  // Another sensor in slot 2: a new sub-module takes the slot; the outline is filled again
  // with it and it is selected.
  const uint8_t board = logger->SensorPcb.Value;
  const uint8_t taken1 = Slot(logger, 1)->SensorType, taken2 = Slot(logger, 2)->SensorType;
  uint8_t other = 0;
  const auto choice = Tv10SensorSelection(2, board);
  for (size_t i = 0; i < Tv10SensorRows.size() && !other; ++i) {
    const uint8_t type = Tv10SensorRows[i].SensorType;
    if (choice.test(i) && type != taken1 && type != taken2) other = type;
  }
  ASSERT_NE(other, 0);
  SetChangeSensorsDlgProc([other](uint8_t, uint8_t, uint8_t, std::array<uint8_t, 4>& types) {
    types[1] = other;
    return true;
  });
  TTavra2GSubMod* former = Slot(logger, 2);
  dlg.SelectElement(logger);
  static_cast<TTv10ModEditor*>(logger->Editor())->ModFrame()->ChangeSensBtn->Click();
  idle.Run();
  SetChangeSensorsDlgProc(nullptr);
  TExplElement* holder = logger->FindSubModul(2);
  ASSERT_NE(holder, nullptr);
  EXPECT_NE(holder, former);
  EXPECT_EQ(dlg.CurrentElement(), holder);
  EXPECT_GE(dlg.Outline->GetDataItem(holder), 1);
  EXPECT_EQ(dlg.Outline->SelectedItem(), dlg.Outline->GetDataItem(holder));
  EXPECT_EQ(logger->Editor(), nullptr);
  IdleTaskManager = old;
}

TEST_F(Explorer, TheSheetOfASlotDescribesItsLoggerAndAllItsSlots) {
  // The sheet's date in the default formats, whatever an earlier test of the process left.
  const TFormatSettings saved_formats = FormatSettings;
  ReplaceFormatSettings(TFormatSettings{});
  struct Restore {
    const TFormatSettings& formats;
    ~Restore() { ReplaceFormatSettings(formats); }
  } restore{saved_formats};
  root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  logger->SetName("Greenhouse");
  TD31_Explorer dlg(nullptr, root.get());
  // A storing interval picked but not yet applied is what the sheet shows.
  dlg.SelectElement(logger);
  TComboBox* save_int = static_cast<TTv10ModEditor*>(logger->Editor())->ModFrame()->SaveIntCombo;
  save_int->SetItemIndex(5);
  save_int->OnChange(save_int);
  TFixedClock clock(EncodeDate(2026, 12, 10) + EncodeTime(9, 30, 0, 0));
  dlg.Clock = &clock;
  dlg.SelectElement(Slot(logger, 2));
  TStringList lines;
  std::string title;
  AnswerComment(nullptr);  // no comment: no comment line
  ASSERT_TRUE(dlg.BuildInfoSheet(lines, title));
  EXPECT_EQ(dlg.CurrentElement(), Slot(logger, 2));  // selected again afterwards
  EXPECT_EQ(title, "D31_PrintCaption DL001");
  std::vector<std::string> got;
  for (int i = 0; i < lines.Count(); ++i) got.push_back(lines[i]);
  const std::vector<std::string> head = {"10/12/2026 09:30:00",   "",
                                         "KD_Title_DeviceInfo: ", "",
                                         "tk1_Type: Logger",      "tk1_QvId DL001",
                                         "dev_Name Greenhouse",   "dev_SName Cellar"};
  ASSERT_GT(got.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + static_cast<long>(head.size())), head);
  for (const char* line :
       {"tk1_Id: 42", "tk1_ProjectNo: 0003", "tk1_SwVersion : 1.2", "tk1_SaveInt 1h", "t10_PreSelEnabled: No",
        "t10_ModChanNum: 1", "t10_ModChanNum: 2", "tk1_AlarmAt: tk1_AlAtSample"})
    EXPECT_NE(std::find(got.begin(), got.end(), line), got.end()) << line;
  EXPECT_EQ(std::count(got.begin(), got.end(), ""), 4);  // after the date, the title and before each slot

  // With a comment, printed to a PDF file.
  AnswerComment("Checked by A. Smith");
  const std::string pdf = home.Path() + "sheet.pdf";
  Printer().SetOutputFile(pdf);
  dlg.PrintBtnClick();
  Printer().SetOutputFile("");
  EXPECT_EQ(dlg.CurrentElement(), Slot(logger, 2));
  EXPECT_EQ(ReadFileBytes(pdf).substr(0, 4), "%PDF");
  // The printed text is the sheet's, now with the comment under the date.
  QV_REQUIRE_TOOL("python3");
  std::vector<std::string> printed = {got[0], "Checked by A. Smith"};
  for (size_t i = 1; i < got.size(); ++i)
    if (!got[i].empty()) printed.push_back(got[i]);
  EXPECT_EQ(PdfText(pdf), printed);
}

TEST_F(Explorer, OnlyALoggerOrAValidSlotHasASheet) {
  BuildTree();
  TTv10Modul* logger = ReadLogger(root.get());
  TD31_Explorer dlg(nullptr, root.get());
  TStringList lines;
  std::string title;
  bool asked = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    asked = asked || D12_EnterString;
  };
  dlg.SelectElement(shelf);
  EXPECT_FALSE(dlg.BuildInfoSheet(lines, title));
  EXPECT_EQ(dialogs, std::vector<std::string>{"Unknown Explorer element !"});
  EXPECT_EQ(dlg.CurrentElement(), shelf);

  // A slot whose editor holds a value it cannot take cannot hand over to its logger.
  dialogs.clear();
  dlg.SelectElement(Slot(logger, 1));
  static_cast<TTv10SubModEd*>(Slot(logger, 1)->Editor())->SubModFrame()->AlarmMaxEd->SetText("much");
  EXPECT_FALSE(dlg.BuildInfoSheet(lines, title));
  EXPECT_EQ(dialogs.size(), 1u);  // the slot's refusal only
  EXPECT_EQ(dlg.CurrentElement(), Slot(logger, 1));
  EXPECT_EQ(lines.Count(), 0);
  EXPECT_FALSE(asked);
}

TEST_F(Explorer, AnEditorThatCannotCloseIsDroppedAndTheTreeShownAfresh) {
  BuildTree();
  TD31_Explorer dlg(nullptr, root.get());
  dlg.SelectElement(shelf);
  shelf->Throw = true;
  dlg.SelectElement(attic);
  EXPECT_EQ(dialogs, std::vector<std::string>{"Shelf broken."});
  EXPECT_EQ(shelf->Editor(), nullptr);  // not left behind with its frame in the dialog
  EXPECT_EQ(dlg.CurrentElement(), attic);
  EXPECT_EQ(dlg.Outline->SelectedItem(), dlg.Outline->GetDataItem(attic));
}

TEST_F(Explorer, OneDialogAtATime) {
  BuildTree();
  Application->OnIdle = [](TComponent*, bool& done) {
    done = true;
    if (!D31_Explorer || !D31_Explorer->Modal()) return;
    EXPECT_THROW(RunExplorer(), Exception);
    D31_Explorer->CancelBtnClick();
  };
  RunExplorer();  // without a device shell the outline is empty
  EXPECT_EQ(D31_Explorer, nullptr);
}

}  // namespace
}  // namespace qv::test
