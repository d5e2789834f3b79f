#include "controls/sty_tool_button.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"
#include "platform/gui/user_input.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

struct ToolButtonFixture : ::testing::Test {
  ToolButtonFixture() : form(nullptr) {
    form.SetBounds(0, 0, 300, 200);
    bar = new TStyToolbar(&form);
    bar->SetParent(&form);
  }
  ~ToolButtonFixture() override { SetPopupMenuHook(nullptr); }
  TStyToolButton* Add() {
    auto* b = new TStyToolButton(&form);
    b->SetParent(bar);
    return b;
  }
  // Press and release at a point of the button.
  static void ClickAt(TStyToolButton* b, int x, int y) {
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y));
    b->Perform(WM_LBUTTONUP, 0, MakeLParam(x, y));
  }
  TForm form;
  TStyToolbar* bar;
};

TEST_F(ToolButtonFixture, GroupsLatchOneButtonAndIgnoreUngroupedDown) {
  TStyToolButton* loose = Add();
  loose->SetDown(true);
  EXPECT_FALSE(loose->Down());
  TStyToolButton* a = Add();
  TStyToolButton* b = Add();
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  int clicks = 0;
  b->OnClick = [&](TComponent*) { ++clicks; };
  ClickAt(a, 5, 5);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), TStyToolButtonState::bsLatched);
  ClickAt(b, 5, 5);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(a->State(), TStyToolButtonState::bsUp);
  EXPECT_EQ(clicks, 1);
  ClickAt(b, 5, 5);  // the down one stays down without AllowAllUp, and does not click
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(clicks, 1);
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());  // siblings take the sender's setting
  ClickAt(b, 5, 5);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicks, 2);
}

TEST_F(ToolButtonFixture, DropDownShowsItsMenuOnTheArrowOrAnywhereWithoutAClickHandler) {
  TPopupMenu menu(nullptr);
  auto* item = new TMenuItem(&menu);
  item->SetCaption("Item");
  menu.Items()->Add(item);
  std::vector<TPoint> shown;
  SetPopupMenuHook([&](TPopupMenu* m, int x, int y) {
    EXPECT_EQ(m, &menu);
    shown.push_back({x, y});
  });
  TStyToolButton* b = Add();
  b->SetToolStyle(TStyToolStyle::tsDropDown);
  EXPECT_EQ(b->Width(), 39);
  b->SetDropDownMenu(&menu);
  uint32_t now = 1000;
  b->SetTickSource([&] { return now; });
  ClickAt(b, 3, 3);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(menu.PopupComponent(), b);
  TPoint corner = b->ClientToScreen({0, b->Height()});
  EXPECT_EQ(shown[0].Y, corner.Y);
  // Again within 100 ms of the menu closing: no reopen.
  now += 50;
  ClickAt(b, 3, 3);
  EXPECT_EQ(shown.size(), 1u);
  now += 500;
  ClickAt(b, 3, 3);
  EXPECT_EQ(shown.size(), 2u);

  int clicks = 0;
  b->OnClick = [&](TComponent*) { ++clicks; };
  now += 500;
  ClickAt(b, 3, 3);  // left part with a handler: the press that closed the menu is swallowed
  ClickAt(b, 3, 3);
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(clicks, 1);
  ClickAt(b, 30, 3);  // the arrow part
  EXPECT_EQ(shown.size(), 3u);
  // An empty menu does nothing.
  menu.Items()->Clear();
  now += 500;
  ClickAt(b, 30, 3);
  EXPECT_EQ(shown.size(), 3u);
}

TEST_F(ToolButtonFixture, SizeLayoutAndCaptionFollowTheToolbarUntilSetDirectly) {
  TImageList images(nullptr);
  images.SetSize(16, 16);
  bar->SetImages(&images);
  bar->SetShowButtonCaptions(true);
  auto* b = new TStyToolButton(&form);
  b->SetCaption("Caption");
  b->SetParent(bar);
  int text = ScreenCanvas().TextWidth("Caption");
  EXPECT_TRUE(b->ShowCaption());
  EXPECT_EQ(b->Width(), std::max(25, 16 + text + 12));
  // The layout message alone keeps the size; the next size message takes the new layout.
  bar->SetButtonLayout(TButtonLayout::blGlyphTop);
  EXPECT_EQ(b->Layout(), TButtonLayout::blGlyphTop);
  EXPECT_EQ(b->Width(), std::max(25, 16 + text + 12));
  bar->SetButtonWidth(26);
  EXPECT_EQ(b->Width(), std::max(26, text + 8));
  bar->SetButtonHeight(40);
  EXPECT_EQ(b->Height(), 40);
  b->SetHeight(30);
  EXPECT_FALSE(b->UseToolbarButtonSize());
  bar->SetButtonHeight(50);
  EXPECT_EQ(b->Height(), 30);
  b->SetUseToolbarButtonSize(true);
  EXPECT_EQ(b->Height(), 50);
  b->SetToolStyle(TStyToolStyle::tsDropDown);
  EXPECT_TRUE(b->UseToolbarButtonSize());
  EXPECT_EQ(b->Width(), std::max(26, text + 8) + 14);
}

TEST_F(ToolButtonFixture, PaintShowsStateFrameDitherAndArrow) {
  TStyToolButton* b = Add();
  b->SetGroupIndex(1);
  b->SetDown(true);
  TRecordingCanvas c(25, 25);
  b->PaintTo(c, 0, 0);
  Log log = DrawLog(c);
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], "line shadow 0,0-0,25");  // fsStatus: latched
  EXPECT_EQ(c.Calls()[4].Op, "FillRect");
  EXPECT_TRUE(c.Calls()[4].Brush.Bitmap != nullptr);  // the dither
  EXPECT_EQ(c.Pixel(1, 1), ColorToRGB(clBtnFace));
  EXPECT_EQ(c.Pixel(2, 1), ColorToRGB(clBtnHighlight));

  TStyToolButton* d = Add();
  d->SetToolStyle(TStyToolStyle::tsDropDown);
  d->SetEnabled(false);
  TRecordingCanvas e(39, 25);
  d->PaintTo(e, 0, 0);
  EXPECT_EQ(DrawLog(e), (Log{"polygon shadow 31,14 29,12 33,12"}));
  EXPECT_EQ(d->State(), TStyToolButtonState::bsDisabled);
}

TEST_F(ToolButtonFixture, ActionCheckedDrivesDown) {
  TAction action(nullptr);
  action.SetImageIndex(3);
  TStyToolButton* b = Add();
  b->SetGroupIndex(2);
  b->SetAllowAllUp(true);
  b->SetAction(&action);
  EXPECT_EQ(b->ImageIndex(), 3);
  action.SetChecked(true);
  EXPECT_TRUE(b->Down());
  action.SetChecked(false);
  EXPECT_FALSE(b->Down());
  int executed = 0;
  action.OnExecute = [&](TComponent*) { ++executed; };
  ClickAt(b, 3, 3);
  EXPECT_EQ(executed, 1);
  TAction other(nullptr);
  b->AssignTo(other);
  EXPECT_EQ(other.Checked(), b->Down());
  EXPECT_EQ(other.ImageIndex(), 3);
}

// A click that frees its button (the program rebuilds the toolbar), from the button itself or from
// an entry of its drop-down menu: the press and release with the mouse end without touching the
// freed button, and the toolbar takes the mouse afterwards.
TEST_F(ToolButtonFixture, AButtonFreedByItsClickEndsTheClickCleanly) {
  const struct {
    const char* name;
    TStyToolStyle style;
    int group;
    bool from_menu;
  } cases[] = {
      {"plain", TStyToolStyle::tsButton, 0, false},
      {"grouped", TStyToolStyle::tsButton, 1, false},
      {"drop-down, its own part", TStyToolStyle::tsDropDown, 0, false},
      {"drop-down, an entry of its menu", TStyToolStyle::tsDropDown, 0, true},
  };
  form.Show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPopupMenu menu(nullptr);
    auto* entry = new TMenuItem(&menu);
    entry->SetCaption("Rebuild");
    menu.Items()->Add(entry);
    TStyToolButton* b = Add();
    b->SetToolStyle(c.style);
    b->SetGroupIndex(c.group);
    b->SetDropDownMenu(&menu);
    int freed = 0;
    // The handler may be the button's own: nothing of it is used after the delete.
    const auto rebuild = [&](TComponent*) {
      ++freed;
      delete b;
    };
    (c.from_menu ? entry->OnClick : b->OnClick) = rebuild;
    // The user picks the entry once the menu is open.
    TTimer picker(nullptr);
    picker.SetInterval(20);
    picker.OnTimer = [&](TComponent*) {
      picker.SetEnabled(false);
      EXPECT_TRUE(UserChoosePopupItem("Rebuild"));
    };
    picker.SetEnabled(c.from_menu);
    UserClick(b, {c.from_menu ? b->Width() - 4 : 4, b->Height() / 2});
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(bar->ControlCount(), 0);
    int clicks = 0;
    bar->OnClick = [&](TComponent*) { ++clicks; };
    UserClick(bar, {bar->Width() - 5, 5});
    EXPECT_EQ(clicks, 1);
    bar->OnClick = nullptr;
  }
}

}  // namespace
}  // namespace qv
