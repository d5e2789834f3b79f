#include "controls/sty_radio_button.h"

#include <gtest/gtest.h>

#include "controls/gradients.h"
#include "controls/sty_glyph_maps.h"
#include "controls/sty_panel.h"
#include "controls/sty_radio_group.h"
#include "platform/gui/actions.h"

namespace qv {
namespace {

TEST(StyRadioButton, CheckingUnchecksSiblingsOnly) {
  TForm form(nullptr);
  auto* here = new TStyPanel(&form);
  here->SetParent(&form);
  auto* there = new TStyPanel(&form);
  there->SetParent(&form);
  TStyRadioButton* r[3];
  int clicks[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    r[i] = new TStyRadioButton(&form);
    r[i]->SetParent(here);
    r[i]->OnClick = [&clicks, i](TComponent*) { ++clicks[i]; };
  }
  auto* other = new TStyRadioButton(&form);
  other->SetParent(there);
  other->SetChecked(true);
  r[0]->SetChecked(true);
  r[1]->SetChecked(true);
  EXPECT_FALSE(r[0]->Checked());
  EXPECT_TRUE(r[1]->Checked());
  EXPECT_TRUE(other->Checked());
  EXPECT_TRUE(r[1]->TabStop());
  EXPECT_FALSE(r[0]->TabStop());
  r[1]->SetChecked(true);
  EXPECT_EQ(clicks[0], 1);
  EXPECT_EQ(clicks[1], 1);
  EXPECT_EQ(clicks[2], 0);
}

TEST(StyRadioButton, TakesTheActionsCheckedState) {
  TForm form(nullptr);
  auto* r = new TStyRadioButton(&form);
  r->SetParent(&form);
  TAction action(nullptr);
  action.SetChecked(true);
  r->SetAction(&action);
  EXPECT_TRUE(r->Checked());
  action.SetChecked(false);
  EXPECT_FALSE(r->Checked());
  r->SetAction(nullptr);
}

TEST(StyRadioButton, PressReleasedOutsideLeavesItUnchecked) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* r = new TStyRadioButton(&form);
  r->SetParent(&form);
  form.Show();
  Application->ProcessMessages();
  r->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 3));
  if (!r->Focused()) GTEST_SKIP() << "no keyboard focus on this platform";
  EXPECT_FALSE(r->Checked()) << "a focus that a press brought checks nothing";
  r->Perform(WM_LBUTTONUP, 0, MakeLParam(300, 3));
  EXPECT_FALSE(r->Checked());
  r->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 3));
  r->Perform(WM_LBUTTONUP, 0, MakeLParam(3, 3));
  EXPECT_TRUE(r->Checked());
}

TEST(StyRadioButton, KeyboardFocusAndDownArrowCheck) {
  TForm form(nullptr);
  auto* a = new TStyRadioButton(&form);
  a->SetParent(&form);
  auto* b = new TStyRadioButton(&form);
  b->SetParent(&form);
  form.Show();
  a->Perform(CM_ENTER, 0, 0);  // tabbed onto
  EXPECT_TRUE(a->Checked());
  EXPECT_EQ(b->Perform(WM_KEYDOWN, VK_DOWN, 0), 0);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_NE(a->Perform(WM_KEYDOWN, VK_DOWN, ssShift), 0) << "with Shift the arrow is not the radio's";
  EXPECT_FALSE(a->Checked());
}

TEST(StyRadioButton, GlyphSourcesAndPlaces) {
  TForm form(nullptr);
  auto* r = new TStyRadioButton(&form);
  r->SetParent(&form);
  r->SetBounds(0, 0, 100, 20);
  EXPECT_EQ(r->GlyphRect(), Rect(0, 2, 13, 15));
  r->SetAlignment(TAlignment::taLeftJustify);
  EXPECT_EQ(r->GlyphRect(), Rect(87, 2, 100, 15));
  TBitmap strip(78, 13);
  r->SetCustomGlyphs(strip);
  EXPECT_TRUE(r->UseCustomGlyphs());
  EXPECT_EQ(r->GlyphWidth(), 13);
  TBitmap empty;
  r->SetCustomGlyphs(empty);
  EXPECT_FALSE(r->UseCustomGlyphs());
  // The built-in glyph in the checked state: the dot is drawn in the highlight colour.
  r->SetHotTrack(true);
  r->SetChecked(true);
  TBitmap g;
  r->DrawStateGlyph(g);
  EXPECT_EQ(g.Pixel(6, 6), ColorToRGB(r->MakeUniqueColor(r->HighlightColor())));
  EXPECT_EQ(g.Pixel(6, 3), ColorToRGB(clWindow));
  EXPECT_EQ(g.Pixel(0, 0), clOlive) << "the transparent corners stay";
}

TEST(StyRadioButton, MaskColoursAreNudgedWithinTheRedByte) {
  TForm form(nullptr);
  auto* r = new TStyRadioButton(&form);
  EXPECT_EQ(r->MakeUniqueColor(clLime), RGB(1, 255, 0));
  EXPECT_EQ(r->MakeUniqueColor(clGray), RGB(129, 128, 128));
  EXPECT_EQ(r->MakeUniqueColor(clRed), clRed);
  r->SetWinMaskColor(clRed);
  EXPECT_EQ(r->MakeUniqueColor(clRed), RGB(254, 0, 0)) << "no carry into green";
  r->SetFrameColor(clLime);
  r->SetWinMaskColor(clLime);
  r->SetHotTrack(true);
  EXPECT_EQ(r->GlyphColor(1), RGB(1, 255, 0));
}

TEST(StyRadioButton, ComplementHotColourTurnsTheHue) {
  TForm form(nullptr);
  auto* r = new TStyRadioButton(&form);
  r->SetHotTrack(true);
  r->SetHotTrackColor(clBlue);
  ASSERT_EQ(ColorHueOf(clBlue), 160);
  r->Perform(CM_MOUSEENTER, 0, 0);
  if (!r->MouseOver()) GTEST_SKIP() << "hover is not tracked here";
  EXPECT_EQ(ColorHueOf(r->GlyphColor(8)), 40);
}

// ---------------------------------------------------------------------------------------------
TStringList Texts(int n) {
  TStringList l;
  for (int i = 0; i < n; ++i) l.Add("Item " + std::to_string(i));
  return l;
}

TEST(StyRadioGroup, ColumnsHoldTheItemsInOrder) {
  TForm form(nullptr);
  auto* g = new TStyRadioGroup(&form);
  g->SetParent(&form);
  g->SetBounds(0, 0, 400, 120);
  g->SetItems(Texts(7));
  g->SetColumns(3);
  int x[7], y[7];
  for (int i = 0; i < 7; ++i) {
    x[i] = g->GetButton(i)->Left();
    y[i] = g->GetButton(i)->Top();
  }
  EXPECT_TRUE(x[0] == x[1] && x[1] == x[2] && x[3] == x[5] && x[0] < x[3] && x[3] < x[6]);
  EXPECT_EQ(y[3], y[0]);
  EXPECT_EQ(y[6], y[0]);
  EXPECT_EQ(y[1] - y[0], 17 + 3);
  g->SetColumns(0);
  EXPECT_EQ(g->Columns(), 1);
  g->SetColumns(20);
  EXPECT_EQ(g->Columns(), 16);
  // The first row's top: with gsStandard, below the caption; without one, half a line lower.
  g->SetGroupStyle(TStyGroupBoxStyle::gsStandard);
  int h = FontLineHeight(g->Font());
  g->SetCaption("Caption");
  EXPECT_EQ(g->GetButton(0)->Top(), h + 2);
  g->SetCaption("");
  EXPECT_EQ(g->GetButton(0)->Top(), h / 2 + 4);
}

TEST(StyRadioGroup, ItemIndexClampsAndFollowsTheItems) {
  TForm form(nullptr);
  auto* g = new TStyRadioGroup(&form);
  g->SetParent(&form);
  g->SetItems(Texts(3));
  g->SetItemIndex(2);
  EXPECT_TRUE(g->GetButton(2)->Checked());
  g->DeleteItem(2);
  EXPECT_EQ(g->ItemIndex(), 1);
  EXPECT_TRUE(g->GetButton(1)->Checked());
  g->SetItemIndex(-5);
  EXPECT_EQ(g->ItemIndex(), -1);
  EXPECT_FALSE(g->GetButton(1)->Checked());
  g->SetItemIndex(9);
  EXPECT_EQ(g->ItemIndex(), 1);
}

TEST(StyRadioGroup, RefusedClickKeepsTheOldSelection) {
  TForm form(nullptr);
  auto* g = new TStyRadioGroup(&form);
  g->SetParent(&form);
  g->SetItems(Texts(3));
  g->SetItemIndex(0);
  int clicks = 0;
  g->OnClick = [&](TComponent*) { ++clicks; };
  bool allow = false;
  g->OnChanging = [&](TComponent*, int, bool& a) { a = allow; };
  g->GetButton(2)->SetChecked(true);  // as the button's click does
  EXPECT_EQ(g->ItemIndex(), 0);
  EXPECT_TRUE(g->GetButton(0)->Checked());
  EXPECT_FALSE(g->GetButton(2)->Checked());
  EXPECT_EQ(clicks, 0);
  allow = true;
  g->GetButton(2)->SetChecked(true);
  EXPECT_EQ(g->ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  // With nothing selected a refused click leaves nothing checked.
  allow = false;
  g->SetItemIndex(-1);
  g->GetButton(1)->SetChecked(true);
  EXPECT_EQ(g->ItemIndex(), -1);
  EXPECT_FALSE(g->GetButton(1)->Checked());
}

TEST(StyRadioGroup, ItemFontFollowsTheFontUntilSet) {
  TForm form(nullptr);
  auto* g = new TStyRadioGroup(&form);
  g->SetParent(&form);
  g->SetItems(Texts(2));
  g->Font().SetSize(12);
  EXPECT_EQ(g->ItemFont().Size(), 12);
  EXPECT_EQ(g->GetButton(0)->Font().Size(), 12);
  TFont f;
  f.SetSize(9);
  g->SetItemFont(f);
  g->Font().SetSize(14);
  EXPECT_EQ(g->ItemFont().Size(), 9);
}

}  // namespace
}  // namespace qv
