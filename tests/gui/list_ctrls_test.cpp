#include "platform/gui/list_ctrls.h"

#include <gtest/gtest.h>

#include "platform/gui/forms.h"

namespace qv {
namespace {

TEST(DrawnComboBox, DroppedListChoosesByClickAndGoesAway) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 300);
  auto* c = new TCustomComboBox(&form);
  c->SetParent(&form);
  for (const char* s : {"one", "two", "three"}) c->AddItem(s);
  int selects = 0, changes = 0;
  c->OnSelect = [&](TComponent*) { ++selects; };
  c->OnChange = [&](TComponent*) { ++changes; };
  c->SetDroppedDown(true);
  ASSERT_NE(c->DropList(), nullptr);
  EXPECT_EQ(c->DropList()->Count(), 3);
  EXPECT_EQ(c->DropList()->Top(), c->Height());
  int h = c->DropList()->ItemHeight();
  c->DropList()->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, h + 2));
  EXPECT_FALSE(c->DroppedDown());
  Application->ProcessMessages();  // the list is freed after its handler returned
  EXPECT_EQ(c->ItemIndex(), 1);
  EXPECT_EQ(c->EditText(), "two");
  EXPECT_EQ(selects, 1);
  EXPECT_EQ(changes, 1);
}

TEST(DrawnComboBox, EditingRemovesWholeCharacters) {
  TForm form(nullptr);
  auto* c = new TCustomComboBox(&form);
  c->SetParent(&form);
  c->SetEditText("a\xC3\xA4");  // "aä"
  c->Perform(WM_CHAR, '\b', 0);
  EXPECT_EQ(c->EditText(), "a");
  c->Perform(WM_CHAR, 'b', 0);
  c->Perform(WM_KEYDOWN, VK_HOME, 0);
  c->Perform(WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(c->EditText(), "b");
  c->SetMaxLength(0);
  c->SetEditReadOnly(true);
  c->Perform(WM_CHAR, 'x', 0);
  EXPECT_EQ(c->EditText(), "b");
}

TEST(DrawnListBox, KeysAndClicksSelect) {
  TForm form(nullptr);
  auto* l = new TCustomListBox(&form);
  l->SetParent(&form);
  for (int i = 0; i < 30; ++i) l->AddItem("item " + std::to_string(i));
  int clicks = 0;
  l->OnClick = [&](TComponent*) { ++clicks; };
  l->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(l->ItemIndex(), 0);
  l->Perform(WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(l->ItemIndex(), 29);
  EXPECT_EQ(l->TopIndex(), l->MaxTopIndex()) << "the selection is scrolled into view";
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 2));
  EXPECT_EQ(l->ItemIndex(), l->TopIndex());
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(l->FindPrefix("ITEM 2"), 2);
  l->DeleteItem(l->ItemIndex());
  EXPECT_EQ(l->ItemIndex(), -1);
}

TEST(DrawnListBox, ScrollBarPagesAndDrags) {
  TForm form(nullptr);
  auto* l = new TCustomListBox(&form);
  l->SetParent(&form);
  l->AddItem("one");
  EXPECT_FALSE(l->ScrollBarShown());
  for (int i = 0; i < 40; ++i) l->AddItem("item " + std::to_string(i));
  ASSERT_TRUE(l->ScrollBarShown());
  EXPECT_EQ(l->ItemRect(0).Right, l->ClientWidth() - 17);
  TRect bar = l->ScrollBarRect();
  int x = bar.Left + 5;
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, bar.Bottom - 2));
  l->Perform(WM_LBUTTONUP, 0, MakeLParam(x, bar.Bottom - 2));
  EXPECT_EQ(l->TopIndex(), l->VisibleCount() - 1);
  EXPECT_EQ(l->ItemIndex(), -1) << "the bar selects nothing";
  TRect thumb = l->ScrollThumbRect();
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, thumb.Top + 1));
  l->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(x, bar.Bottom + 50));
  l->Perform(WM_LBUTTONUP, 0, MakeLParam(x, bar.Bottom + 50));
  EXPECT_EQ(l->TopIndex(), l->MaxTopIndex());
  l->Perform(WM_MOUSEMOVE, 0, MakeLParam(x, 0));
  EXPECT_EQ(l->TopIndex(), l->MaxTopIndex()) << "the drag ended with the release";
}

TEST(TabbedText, CellsStartAtTheStops) {
  TRecordingCanvas c(300, 20);
  c.StartRecording();
  TabbedTextOut(c, 10, 0, "a\tbb\tc", {40, 100});
  std::vector<int> xs;
  for (const TCanvasCall& k : c.Calls()) xs.push_back(k.Points.empty() ? k.Rect.Left : k.Points[0].X);
  EXPECT_EQ(xs, (std::vector<int>{10, 50, 110}));
  EXPECT_EQ(TabbedTextWidth(c, "a\tbb", {40}), 40 + c.TextWidth("bb"));
}

}  // namespace
}  // namespace qv
