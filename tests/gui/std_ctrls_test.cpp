#include "platform/gui/std_ctrls.h"

#include <gtest/gtest.h>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

TEST(StdControls, ButtonWithModalResultEndsTheModalForm) {
  TForm form(nullptr);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetModalResult(mrOk);
  int clicks = 0;
  ok->OnClick = [&](TComponent*) { ++clicks; };
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (form.Modal()) ok->Click();
  };
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(clicks, 1);
  Application->OnIdle = nullptr;
}

TEST(StdControls, ValueChangesFireTheirEventsOnce) {
  TForm form(nullptr);
  auto* check = new TCheckBox(&form);
  check->SetParent(&form);
  int clicks = 0;
  check->OnClick = [&](TComponent*) { ++clicks; };
  check->SetChecked(true);
  check->SetChecked(true);
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(clicks, 1);

  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  int changes = 0;
  edit->OnChange = [&](TComponent*) { ++changes; };
  edit->SetText("abc");
  edit->SetText("abc");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(edit->Text(), "abc");

  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->Items().Add("one");
  combo->Items().Add("two");
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "two");
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetText("one");
  EXPECT_EQ(combo->ItemIndex(), 0);

  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->Items().Add("a");
  list->Items().Add("b");
  list->SetItemIndex(1);
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST(StdControls, SpeedButtonsOfAGroupLatchOneAtATime) {
  TForm form(nullptr);
  auto* a = new TSpeedButton(&form);
  auto* b = new TSpeedButton(&form);
  auto* loose = new TSpeedButton(&form);
  for (auto* s : {a, b, loose}) s->SetParent(&form);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  loose->SetDown(true);
  EXPECT_FALSE(loose->Down());  // no group: never down
  a->SetDown(true);
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  b->SetDown(false);  // without AllowAllUp the last one stays down
  EXPECT_TRUE(b->Down());
}

TEST(StdControls, LabelSizesItselfToItsCaption) {
  TForm form(nullptr);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetCaption("A longer caption");
  int w = label->Width();
  label->SetCaption("Short");
  EXPECT_LT(label->Width(), w);
  EXPECT_EQ(label->Width(), ScreenCanvas().TextWidth("Short"));
}

TEST(StdControls, PanelClientAreaExcludesBevelsAndBorder) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 100, 100);
  panel->SetBorderWidth(3);
  auto* child = new TPanel(&form);
  child->SetParent(panel);
  child->SetAlign(TAlign::alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(4, 4, 96, 96));
}

}  // namespace
}  // namespace qv
