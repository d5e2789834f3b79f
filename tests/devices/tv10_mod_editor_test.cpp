#include "devices/forms/tv10_mod_editor.h"

#include <gtest/gtest.h>

#include <string>

#include "base/idle_task_manager.h"
#include "editor_fixture.h"

namespace qv::test {
namespace {

using ModuleEditor = LoggerEditorFixture;

// A user's pick in a combo box.
void Pick(TComboBox* combo, int index) {
  combo->SetItemIndex(index);
  combo->OnChange(combo);
}

// A user's click on a check box.
void Toggle(TCheckBox* box) { box->SetChecked(!box->Checked()); }

TEST_F(ModuleEditor, ShowsTheLoggerAndKeepsIntervalsAndStoringModeConsistent) {
  auto root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  auto* editor = Open<TTv10ModEditor>(logger);
  TTv10ModFrame* frame = editor->ModFrame();
  EXPECT_EQ(frame->InfoCell(0, 0)->Caption(), "tk1_Id: 42");
  EXPECT_EQ(frame->InfoCell(1, 0)->Caption(), "tk1_ProjectNo: 0003");
  EXPECT_EQ(frame->InfoCell(0, 2)->Caption(), "tk1_SwVersion: 1.2");
  EXPECT_EQ(frame->TavraTypLbl->Caption(), "tk1_Type: " + Tv10KindName(5));
  EXPECT_FALSE(frame->ChanGrBox[2]->Visible());
  EXPECT_NE(frame->SensTypeLbl[0]->Caption(), "t10_SensType: ---");
  EXPECT_EQ(editor->GetSampleIntIdx(), 3);
  EXPECT_EQ(editor->GetSaveIntIdx(), 4);
  EXPECT_FALSE(frame->LocalHeightEd->Visible());  // board 0 has no pressure sensor
  EXPECT_FALSE(editor->Modified());

  // 10 min sampling does not divide 12 min storing: storing follows the sampling.
  Pick(frame->SampleIntCombo, 4);
  Pick(frame->SaveIntCombo, 5 - 3);
  EXPECT_EQ(editor->GetSaveIntIdx(), 4);
  EXPECT_TRUE(editor->Modified());
  Pick(frame->SampleIntCombo, 12);  // 24 h: storing follows up to the last entry
  EXPECT_EQ(editor->GetSaveIntIdx(), 12);

  // At least one value kind stays stored.
  editor->SetStoringMode(1);
  Toggle(frame->StorMdAveCheckB);
  frame->StorMdAveCheckB->OnClick(frame->StorMdAveCheckB);
  EXPECT_EQ(editor->GetStoringMode(), 2);
  editor->SetStoringMode(4);
  Toggle(frame->StorMdMinCheckB);
  frame->StorMdMinCheckB->OnClick(frame->StorMdMinCheckB);
  EXPECT_EQ(editor->GetStoringMode(), 1);

  editor->SetStoringMode(3);
  Pick(frame->SampleIntCombo, 3);
  Pick(frame->SaveIntCombo, 8 - 3);  // 60 min, average and maximum: 30000 hours
  EXPECT_EQ(frame->LogTimeLbl->Caption(), "tk1_LogTime: 1250 tk1_LogTimeTage / 0 tk1_LogTimeStd");
  editor->SetStoringMode(0);  // as a damaged block may hold it
  EXPECT_EQ(frame->LogTimeLbl->Caption(), "tk1_LogTime: ---");
  editor->SetStoringMode(3);

  ChangeDetails.clear();
  ASSERT_TRUE(logger->CloseEditor(true));
  EXPECT_EQ(logger->SaveIntIdx.Edit, 8);
  EXPECT_EQ(logger->StoringMode.Edit, 3);
  EXPECT_NE(ChangeDetails.find("audit_SaveIntChange audit_From: 10min audit_To: 1h"), std::string::npos)
      << ChangeDetails;
  EXPECT_NE(ChangeDetails.find("audit_StoreModeChange audit_From: audit_StoreModeAvg audit_To: "
                               "audit_StoreModeAvg/audit_StoreModeMax"),
            std::string::npos);
  EXPECT_EQ(ChangeDetails.find("audit_SampleIntChange"), std::string::npos);
  EXPECT_EQ(ChangeDetails.find("audit_LocalHeightChange"), std::string::npos);
}

TEST_F(ModuleEditor, Co2LoggerSamplesAtLeastOnceAMinute) {
  auto root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  static_cast<TTv10SubModul*>(logger->GetSubModul(2))->SensorType = 9;
  auto* editor = Open<TTv10ModEditor>(logger);
  Pick(editor->ModFrame()->SampleIntCombo, 2);
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0], "err_InvalidRange");
  EXPECT_EQ(editor->GetSampleIntIdx(), 3);
}

TEST_F(ModuleEditor, LocalHeightIsANumberWithinItsRange) {
  auto root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  form->Show();
  Application->ProcessMessages();
  auto* editor = Open<TTv10ModEditor>(logger);
  TTv10ModFrame* frame = editor->ModFrame();
  EXPECT_EQ(frame->LocalHeightEd->Text(), "123.400");
  for (const char* bad : {"2000.5", "-100.5", "high"}) {
    SCOPED_TRACE(bad);
    frame->PageControl->SetActivePage(TTv10ModFrame::kSensorSheet);
    frame->LocalHeightEd->SetText(bad);
    dialogs.clear();
    EXPECT_FALSE(logger->CloseEditor(true));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], std::string(bad) == "high" ? "err_InvalidFloat" : "err_InvalidRange");
    EXPECT_EQ(frame->PageControl->ActivePage(), TTv10ModFrame::kInfoSheet);
  }
  frame->LocalHeightEd->SetText("12,5");
  ChangeDetails.clear();
  ASSERT_TRUE(logger->CloseEditor(true));
  EXPECT_FLOAT_EQ(logger->LocalHeight.Edit, 12.5f);
  EXPECT_NE(ChangeDetails.find("audit_LocalHeightChange audit_From: 123.40 audit_To: 12.50"), std::string::npos);
}

TEST_F(ModuleEditor, ButtonsActOnTheNextIdlePass) {
  TIdleTaskManager idle;
  TIdleTaskManager* old = IdleTaskManager;
  IdleTaskManager = &idle;
  auto root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  TExplElement* selected = nullptr;
  logger->SetOnSelect([&](TExplElement*, TExplElement* element, bool) { selected = element; });
  auto* editor = Open<TTv10ModEditor>(logger);
  editor->ModFrame()->EditChanBtn[1]->Click();
  EXPECT_EQ(selected, nullptr);
  idle.Run();
  EXPECT_EQ(selected, logger->GetSubModul(2));
  EXPECT_EQ(idle.Count(), 0);
  // An editor freed before the idle pass leaves no task behind.
  editor->ModFrame()->EditChanBtn[0]->Click();
  logger->CloseEditor(false);
  EXPECT_EQ(idle.Count(), 0);
  IdleTaskManager = old;
}

TEST_F(ModuleEditor, LoggerWithoutConfigurationShowsOnlyTheMessage) {
  auto root = LoadRoot();
  auto fresh = TDevice::Create<TTv10Modul>(root.get());
  fresh->SetTavraTyp(5);
  fresh->SetId(root->FindNextId(1, TDevice::MaxId));
  ASSERT_TRUE(fresh->SetUpDevice());
  TTv10Modul* logger = fresh.release();
  auto* editor = Open<TTv10ModEditor>(logger);
  EXPECT_TRUE(editor->ModFrame()->InvalidParMsgLbl->Visible());
  EXPECT_FALSE(editor->ModFrame()->PageControl->Enabled());
  ChangeDetails.clear();
  EXPECT_TRUE(logger->CloseEditor(true));
  EXPECT_TRUE(ChangeDetails.empty());
}

}  // namespace
}  // namespace qv::test
