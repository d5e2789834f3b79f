#include "controls/sty_splitter.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"
#include "platform/gui/drag_image.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

using test::Log;

struct SplitterFixture : ::testing::Test {
  SplitterFixture() : form(nullptr) {
    form.SetBounds(0, 0, 800, 400);
    s = new TStySplitter(&form);
    s->SetParent(&form);
  }
  TStySplitterPane* Pane(int i) { return i == 0 ? s->UpperLeft().Pane() : s->LowerRight().Pane(); }
  void Down(int x, int y) { s->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y)); }
  void Move(int x, int y) { s->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(x, y)); }
  void Up(int x, int y) { s->Perform(WM_LBUTTONUP, 0, MakeLParam(x, y)); }
  TForm form;
  TStySplitter* s;
};

TEST_F(SplitterFixture, PanesAndBarFollowThePosition) {
  EXPECT_EQ(s->BoundsRect(), Rect(0, 0, 200, 100));
  EXPECT_EQ(Pane(0)->BoundsRect(), Rect(0, 0, 100, 100));
  EXPECT_EQ(s->BarRect(), Rect(100, 0, 104, 100));
  EXPECT_EQ(Pane(1)->BoundsRect(), Rect(104, 0, 200, 100));
  s->SetOrientation(TOrientation::orVertical);
  s->SetPosition(30);
  EXPECT_EQ(Pane(0)->BoundsRect(), Rect(0, 0, 200, 30));
  EXPECT_EQ(Pane(1)->BoundsRect(), Rect(0, 34, 200, 100));
  // A hidden pane leaves the whole area to the other and no bar; two hidden panes have no size.
  s->LowerRight().SetVisible(false);
  EXPECT_EQ(Pane(0)->BoundsRect(), Rect(0, 0, 200, 100));
  EXPECT_TRUE(s->BarRect().IsEmpty());
  s->UpperLeft().SetVisible(false);
  EXPECT_EQ(Pane(0)->Height(), 0);
  EXPECT_EQ(Pane(1)->Height(), 0);
}

TEST_F(SplitterFixture, PercentAndPositionAgree) {
  s->SetBounds(0, 0, 625, 100);
  s->SetSplitterWidth(6);
  s->SetPercent(40);
  EXPECT_TRUE(s->UsePercent());
  EXPECT_EQ(s->Position(), 249);  // rnd(0.4 x 622)
  s->SetPosition(300);
  s->SetPosition(249);
  EXPECT_EQ(s->Percent(), 40);
  // Widening keeps the share of the extent less half the bar.
  s->SetPercent(66);
  s->SetBounds(0, 0, 705, 100);
  EXPECT_EQ(s->Position(), 463);  // rnd(0.66 x 702)
  // Shrunk to nothing and back, the share is still there.
  s->SetBounds(0, 0, 2, 100);
  EXPECT_EQ(s->Position(), 0);
  EXPECT_GE(Pane(1)->Width(), 0);
  s->SetBounds(0, 0, 705, 100);
  EXPECT_EQ(s->Percent(), 66);
  EXPECT_EQ(s->Position(), 463);
}

TEST_F(SplitterFixture, AFixedPaneKeepsItsSizeWhenTheSplitterIsResized) {
  s->SetFixedPane(TFixedPane::fpLowerRight);
  s->SetBounds(0, 0, 300, 100);
  EXPECT_EQ(Pane(1)->Width(), 96);
  EXPECT_EQ(s->Position(), 200);
  s->SetFixedPane(TFixedPane::fpUpperLeft);
  s->SetBounds(0, 0, 500, 100);
  EXPECT_EQ(s->Position(), 200);
}

TEST_F(SplitterFixture, DraggingShowsTheImageClampsAndDropsThePosition) {
  s->SetMarginMin(20);
  Down(101, 50);
  ASSERT_TRUE(s->Dragging());
  EXPECT_EQ(DragImages(s), (std::vector<TRect>{Rect(100, 0, 104, 100)}));
  Move(61, 50);
  EXPECT_EQ(DragImages(s), (std::vector<TRect>{Rect(60, 0, 64, 100)}));
  EXPECT_EQ(s->Position(), 100);  // the panes wait for the drop
  Move(-40, 50);                  // beyond MarginMin
  EXPECT_EQ(DragImages(s), (std::vector<TRect>{Rect(20, 0, 24, 100)}));
  Move(500, 50);  // beyond the far end: 200 - 4
  EXPECT_EQ(DragImages(s), (std::vector<TRect>{Rect(196, 0, 200, 100)}));
  Move(81, 50);
  Up(81, 50);
  EXPECT_FALSE(s->Dragging());
  EXPECT_TRUE(DragImages(s).empty());
  EXPECT_EQ(s->Position(), 80);

  // A refusal leaves the bar; Escape keeps the position.
  s->OnChanging = [](TComponent*, int pos, bool& allow) { allow = pos > 50; };
  Down(81, 50);
  Move(41, 50);
  EXPECT_EQ(DragImages(s), (std::vector<TRect>{Rect(80, 0, 84, 100)}));
  Move(121, 50);
  uint16_t key = VK_ESCAPE;
  s->Perform(WM_KEYDOWN, key, 0);
  EXPECT_FALSE(s->Dragging());
  EXPECT_TRUE(DragImages(s).empty());
  EXPECT_EQ(s->Position(), 80);
  s->OnChanging = nullptr;

  // Real-time dragging moves the panes at once.
  s->SetRealTimeDrag(true);
  Down(81, 50);
  Move(131, 50);
  EXPECT_EQ(s->Position(), 130);
  EXPECT_EQ(Pane(0)->Width(), 130);
  Up(131, 50);
  EXPECT_TRUE(DragImages(s).empty());
}

TEST_F(SplitterFixture, NoNegativeSizesInASplitterSmallerThanItsBar) {
  s->SetBounds(0, 0, 3, 100);
  EXPECT_EQ(s->Position(), 0);
  for (int i = 0; i < 2; ++i) EXPECT_GE(Pane(i)->Width(), 0);
  s->SetPosition(50);
  EXPECT_EQ(s->Position(), 0);
  EXPECT_LE(Pane(1)->BoundsRect().Right, 3);
  Down(1, 50);
  Move(-30, 50);
  Up(-30, 50);
  EXPECT_EQ(s->Position(), 0);
  EXPECT_GE(Pane(1)->Width(), 0);
}

TEST_F(SplitterFixture, APositionSetWhileAPaneIsHiddenIsClampedWhenItShows) {
  s->LowerRight().SetVisible(false);
  s->SetPosition(500);
  EXPECT_EQ(s->Position(), 500);
  // No bar to drag meanwhile.
  Down(101, 50);
  EXPECT_FALSE(s->Dragging());
  EXPECT_TRUE(DragImages(s).empty());
  int changes = 0;
  s->OnChange = [&](TComponent*) { ++changes; };
  s->LowerRight().SetVisible(true);
  EXPECT_EQ(s->Position(), 196);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Pane(1)->BoundsRect(), Rect(200, 0, 200, 100));
}

TEST_F(SplitterFixture, HotSpotCollapsesAndRestores) {
  s->SetMarginMin(20);
  s->SetHotSpotVisible(true);
  EXPECT_EQ(s->SplitterWidth(), 7);
  const TRect hs = s->HotSpotRect();
  EXPECT_EQ(hs, Rect(100, 30, 107, 70));  // 40 % of 100, centred
  int clicks = 0;
  s->OnHotSpotClick = [&](TComponent*) { ++clicks; };
  Down(103, 50);
  Up(103, 50);
  EXPECT_TRUE(s->HotSpotClosed());
  EXPECT_EQ(s->Position(), 0);  // margins ignored while collapsed
  Down(3, 50);
  Up(3, 50);
  EXPECT_FALSE(s->HotSpotClosed());
  EXPECT_EQ(s->Position(), 100);
  EXPECT_EQ(clicks, 2);
  // A drag in between clears the collapsed state.
  Down(103, 50);
  Up(103, 50);
  Down(3, 10);
  Move(63, 10);
  Up(63, 10);
  EXPECT_FALSE(s->HotSpotClosed());
  EXPECT_EQ(s->Position(), 60);
  // Towards the end with hsdBoth below the middle.
  s->SetHotSpotDirection(THotSpotDirection::hsdBoth);
  Down(63, 55);
  Up(63, 55);
  EXPECT_EQ(s->Position(), 193);
}

TEST_F(SplitterFixture, BarStylesWidenTheBar) {
  s->SetSplitterStyle(TSplitterStyle::ssBump);
  EXPECT_EQ(s->SplitterWidth(), 6);
  // The monitor sets its width after the style.
  s->SetSplitterWidth(4);
  EXPECT_EQ(s->SplitterWidth(), 4);
  TRecordingCanvas c(200, 100);
  c.StartRecording();
  s->PaintTo(c, 0, 0);
  test::Log log = test::DrawLog(c);
  // Two raised 3-pixel strips meet at the bar's middle.
  auto at = std::find(log.begin(), log.end(), "fill face 100,0,105,101");
  ASSERT_NE(at, log.end());
  EXPECT_EQ(Log(at + 1, at + 9),
            (Log{"line hilite 99,0-99,100", "line hilite 99,0-102,0", "line shadow 101,0-101,100",
                 "line shadow 99,99-102,99", "line hilite 102,0-102,100", "line hilite 102,0-105,0",
                 "line shadow 104,0-104,100", "line shadow 102,99-105,99"}));
}

}  // namespace
}  // namespace qv
