#include "devices/forms/tv10_sub_mod_ed.h"

#include <gtest/gtest.h>

#include <string>

#include "editor_fixture.h"

namespace qv::test {
namespace {

using SlotEditor = LoggerEditorFixture;

TEST_F(SlotEditor, ShowsTheSlotAndRecordsOnlyTheEditedValues) {
  auto root = LoadRoot();
  TTv10SubModul* slot = Slot(ReadLogger(root.get()), 1);
  slot->AlarmMaxEdit = 30.25;  // more decimals than shown: kept while untouched
  auto* editor = Open<TTv10SubModEd>(slot);
  TTv10SubModFr* frame = editor->SubModFrame();
  EXPECT_FALSE(frame->InvalidParMsgLbl->Visible());
  EXPECT_TRUE(frame->PageControl->Enabled());
  EXPECT_FALSE(frame->IdMaskEdit->Enabled());
  EXPECT_EQ(frame->ModChanNumLbl->Caption(), "t10_ModChanNum: 1");
  EXPECT_NE(frame->SensTypeLbl->Caption(), "t10_SensType: ---");
  EXPECT_EQ(frame->OffsetEdit->Text(), "-0.5");
  EXPECT_EQ(frame->AlarmMaxEd->Text(), "30.3");
  EXPECT_EQ(frame->AlarmAtRadioGr->ItemIndex(), 1);
  EXPECT_EQ(editor->GetUnitText(), slot->Unit());
  EXPECT_FALSE(editor->Modified());

  frame->AlarmMinEd->SetText("2,5");
  frame->AlarmAtRadioGr->SetItemIndex(0);
  EXPECT_TRUE(editor->Modified());
  ChangeDetails.clear();
  ASSERT_TRUE(slot->CloseEditor(true));
  EXPECT_EQ(slot->AlarmMinEdit, 2.5);
  EXPECT_EQ(slot->AlarmMaxEdit, 30.25);
  EXPECT_FALSE(slot->AlarmAtSample.Edit);
  EXPECT_FLOAT_EQ(slot->Offset.Edit, -0.5f);
  EXPECT_NE(ChangeDetails.find("chn_Channel 1 audit_AlarmMinChange audit_From: 0.00 audit_To: 2.50"), std::string::npos)
      << ChangeDetails;
  EXPECT_NE(ChangeDetails.find("audit_AlarmAtSampleChange audit_From: audit_AlarmAtSample audit_To: "
                               "audit_AlarmAtStoring"),
            std::string::npos);
  for (const char* untouched : {"audit_AlarmMaxChange", "audit_OffsetChange", "audit_DecChange", "audit_View"})
    EXPECT_EQ(ChangeDetails.find(untouched), std::string::npos) << untouched;
}

TEST_F(SlotEditor, RefusesValuesOutsideTheirLimitsOnTheirSheet) {
  struct Case {
    const char* name;
    TEdit* TTv10SubModFr::*edit;
    const char* text;
    std::string message;
    int sheet;
    TEdit* TTv10SubModFr::*focused;
  } cases[] = {
      {"offset range", &TTv10SubModFr::OffsetEdit, "25", "err_InvalidRange", TTv10SubModFr::kInfoSheet,
       &TTv10SubModFr::OffsetEdit},
      {"offset text", &TTv10SubModFr::OffsetEdit, "1.2.3", "err_InvalidFloat", TTv10SubModFr::kInfoSheet,
       &TTv10SubModFr::OffsetEdit},
      {"view max below min", &TTv10SubModFr::ViewMaxEd, "-50000", "err_MaxLtMin", TTv10SubModFr::kDisplaySheet,
       &TTv10SubModFr::ViewMinEd},
      {"alarm min above max", &TTv10SubModFr::AlarmMinEd, "31", "err_MaxLtMin", TTv10SubModFr::kAlarmSheet,
       &TTv10SubModFr::AlarmMinEd},
      {"view range", &TTv10SubModFr::ViewMinEd, "-50001", "err_InvalidRange", TTv10SubModFr::kDisplaySheet,
       &TTv10SubModFr::ViewMinEd},
      {"hysteresis", &TTv10SubModFr::AlarmHystEdit, "40.5", "err_InvalidRange", TTv10SubModFr::kAlarmSheet,
       &TTv10SubModFr::AlarmHystEdit},
  };
  auto root = LoadRoot();
  TTv10SubModul* slot = Slot(ReadLogger(root.get()), 1);
  form->Show();
  Application->ProcessMessages();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* editor = Open<TTv10SubModEd>(slot);
    TTv10SubModFr* frame = editor->SubModFrame();
    (frame->*c.edit)->SetText(c.text);
    dialogs.clear();
    EXPECT_FALSE(slot->CloseEditor(true));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], c.message);
    EXPECT_EQ(frame->PageControl->ActivePage(), c.sheet);
    EXPECT_TRUE((frame->*c.focused)->Focused());
    slot->CloseEditor(false);
  }
  auto* editor = Open<TTv10SubModEd>(slot);
  editor->SubModFrame()->AlarmHystEdit->SetText("40");
  EXPECT_TRUE(slot->CloseEditor(true));
  EXPECT_EQ(slot->AlarmHyst.Edit, 40.0);
}

TEST_F(SlotEditor, Co2OffsetRangeAndUnit) {
  auto root = LoadRoot();
  TTv10SubModul* slot = Slot(ReadLogger(root.get()), 2);
  slot->SensorType = 9;
  auto* editor = Open<TTv10SubModEd>(slot);
  EXPECT_EQ(editor->SubModFrame()->UnitLbl6->Caption(), "ppm");
  editor->SubModFrame()->OffsetEdit->SetText("150");
  ASSERT_TRUE(slot->CloseEditor(true));
  EXPECT_FLOAT_EQ(slot->Offset.Edit, 150.0f);
}

TEST_F(SlotEditor, UnassignedAndUnreadSlotsLimitWhatCanBeEdited) {
  auto root = LoadRoot();
  TTv10SubModul* slot = Slot(ReadLogger(root.get()), 2);
  slot->NewChanNum = 0;
  auto* editor = Open<TTv10SubModEd>(slot);
  TTv10SubModFr* frame = editor->SubModFrame();
  EXPECT_EQ(frame->ModChanNumLbl->Caption(), "t10_ModChanNum: ---");
  for (TControl* c : std::initializer_list<TControl*>{frame->SNameEdit, frame->OffsetEdit, frame->AlarmAtRadioGr,
                                                      frame->AlarmMinEd, frame->AlarmMaxEd, frame->AlarmHystEdit})
    EXPECT_FALSE(c->Enabled()) << c->ClassName();
  EXPECT_TRUE(frame->ViewMinEd->Enabled());
  EXPECT_TRUE(frame->DecimalsSpEd->Enabled());

  // Only the decimals changed: one detail, and nothing for the logger.
  frame->DecimalsSpEd->SetIntValue(3);
  const uint8_t state = slot->EEState();
  ChangeDetails.clear();
  ASSERT_TRUE(slot->CloseEditor(true));
  EXPECT_EQ(slot->DecimalsEdit, 3);
  EXPECT_EQ(ChangeDetails.rfind("\r\n"), 0u) << ChangeDetails;  // one detail
  EXPECT_NE(ChangeDetails.find("audit_DecChange"), std::string::npos);
  EXPECT_EQ(slot->EEState(), state);

  // A slot of a logger that never read its configuration.
  auto fresh = TDevice::Create<TTv10Modul>(root.get());
  fresh->SetTavraTyp(5);
  fresh->SetId(root->FindNextId(1, TDevice::MaxId));
  ASSERT_TRUE(fresh->SetUpDevice());
  TTv10Modul* unread = fresh.release();
  ASSERT_GT(unread->ChildCount(), 0);
  auto* unread_slot = static_cast<TTv10SubModul*>(unread->GetChild(0));
  editor = Open<TTv10SubModEd>(unread_slot);
  EXPECT_TRUE(editor->SubModFrame()->InvalidParMsgLbl->Visible());
  EXPECT_FALSE(editor->SubModFrame()->PageControl->Enabled());
  EXPECT_TRUE(unread_slot->CloseEditor(true));
}

}  // namespace
}  // namespace qv::test
