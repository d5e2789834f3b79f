#include "controls/sty_toolbar.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"

namespace qv {
namespace {

// A child that counts the toolbar's button messages.
class Probe : public TCustomControl {
public:
  explicit Probe(TComponent* owner, int w = 25, int h = 25) : TCustomControl(owner) { SetBounds(0, 0, w, h); }
  void WndProc(TMessage& m) override {
    if (m.Msg >= CM_STY_SHOWCAPTIONSCHANGED && m.Msg <= CM_STY_BUTTONSIZECHANGED) messages.push_back(m.Msg);
    TCustomControl::WndProc(m);
  }
  std::vector<uint32_t> messages;
};

struct ToolbarFixture : ::testing::Test {
  ToolbarFixture() : form(nullptr) {
    form.SetBounds(0, 0, 200, 150);
    bar = new TStyToolbar(&form);
    bar->SetParent(&form);
  }
  Probe* Add(int w = 25, int h = 25) {
    auto* p = new Probe(&form, w, h);
    p->SetParent(bar);
    return p;
  }
  TForm form;
  TStyToolbar* bar;
};

TEST_F(ToolbarFixture, LaysOutControlsInListOrderAndSizesItselfToItsRows) {
  EXPECT_EQ(bar->BorderOuter(), TFrameStyleEx::fsGroove);
  EXPECT_EQ(bar->BorderSides(), SideBit(TSide::sdTop));
  Probe* a = Add();
  Probe* b = Add();
  Probe* c = Add();
  EXPECT_EQ(bar->Height(), 29);  // RowHeight + 2 * TopMargin
  EXPECT_EQ(bar->Width(), 200);
  EXPECT_EQ(a->BoundsRect(), Rect(4, 2, 29, 27));
  EXPECT_EQ(b->Left(), 29);
  EXPECT_EQ(c->Left(), 54);
  // A hidden control keeps its place in the list but takes no room.
  b->SetVisible(false);
  EXPECT_EQ(c->Left(), 29);
  EXPECT_EQ(bar->ToolbarControls().FindControl(b), 1);
  b->SetVisible(true);
  EXPECT_EQ(c->Left(), 54);
  // The list, not the child order, decides.
  bar->ToolbarControls().RemoveControl(a);
  bar->ToolbarControls().AddControl(a);
  bar->ArrangeControls();
  EXPECT_EQ(a->Left(), 54);
  delete b;
  EXPECT_EQ(bar->ToolbarControls().Count(), 2);
  EXPECT_EQ(a->Left(), 29);
}

TEST_F(ToolbarFixture, WrapsButNeverTheFirstControl) {
  form.SetWidth(60);
  Probe* wide = Add(80, 25);
  Probe* a = Add();
  Probe* b = Add();
  EXPECT_EQ(wide->Left(), 4);  // too wide, but first
  EXPECT_EQ(a->BoundsRect(), Rect(4, 27, 29, 52));
  EXPECT_EQ(b->Left(), 29);
  EXPECT_EQ(bar->Height(), 2 * 25 + 4);
  bar->SetWrapControls(false);
  EXPECT_EQ(b->Left(), 109);
  EXPECT_EQ(bar->Height(), 29);
}

TEST_F(ToolbarFixture, VerticalToolbarStacksDownAndSizesItsWidth) {
  bar->SetAlign(TAlign::alLeft);
  EXPECT_EQ(bar->BorderSides(), SideBit(TSide::sdLeft));
  bar->SetOrientation(TOrientation::orVertical);
  Probe* a = Add(20, 25);
  Probe* b = Add(20, 25);
  EXPECT_EQ(a->BoundsRect(), Rect(6, 4, 26, 29));
  EXPECT_EQ(b->Top(), 29);
  EXPECT_EQ(bar->Width(), 25 + 2 + 2);
}

TEST_F(ToolbarFixture, TextOptionsSetButtonMetricsAndDirectSettingsMakeThemCustom) {
  Probe* p = Add();
  bar->SetButtonWidth(30);
  EXPECT_EQ(bar->TextOptions(), TStyToolbarTextOptions::ttoCustom);
  EXPECT_EQ(p->messages, (std::vector<uint32_t>{CM_STY_BUTTONSIZECHANGED}));
  bar->SetTextOptions(TStyToolbarTextOptions::ttoShowTextLabels);
  EXPECT_EQ(bar->TextOptions(), TStyToolbarTextOptions::ttoShowTextLabels);
  EXPECT_EQ(bar->ButtonLayout(), TButtonLayout::blGlyphTop);
  EXPECT_EQ(bar->ButtonWidth(), 60);
  EXPECT_EQ(bar->ButtonHeight(), 40);
  EXPECT_TRUE(bar->ShowButtonCaptions());
  EXPECT_EQ(bar->RowHeight(), 40);
  bar->SetTextOptions(TStyToolbarTextOptions::ttoNoTextLabels);
  EXPECT_EQ(bar->ButtonWidth(), 25);
  EXPECT_EQ(bar->ButtonHeight(), 25);
  EXPECT_FALSE(bar->ShowButtonCaptions());
  EXPECT_EQ(bar->RowHeight(), 25);
  EXPECT_EQ(bar->ButtonLayout(), TButtonLayout::blGlyphLeft);
}

TEST_F(ToolbarFixture, AutoStyleFollowsAlignmentUntilABorderIsSetDirectly) {
  bar->SetAlign(TAlign::alBottom);
  EXPECT_EQ(bar->BorderSides(), SideBit(TSide::sdBottom));
  bar->SetShowDivider(false);
  EXPECT_EQ(bar->BorderOuter(), TFrameStyleEx::fsNone);
  bar->SetBorderOuter(TFrameStyleEx::fsPopup);
  EXPECT_FALSE(bar->AutoStyle());
  bar->SetAlign(TAlign::alTop);
  EXPECT_EQ(bar->BorderSides(), SideBit(TSide::sdBottom));
}

TEST_F(ToolbarFixture, PostedSizeMessageRelaysTheParentOnceAndStops) {
  Add();
  Application->ProcessMessages();
  Application->ProcessMessages();
  EXPECT_EQ(PendingMessageCount(), 0);
  EXPECT_EQ(bar->BoundsRect(), Rect(0, 0, 200, 29));
}

TEST(ToolbarControlList, IndexesAndNames) {
  TStyToolbarControlList list;
  TPanel a(nullptr), b(nullptr);
  a.SetName("First");
  EXPECT_EQ(list.AddControl(&a), 0);
  EXPECT_EQ(list.AddControl(&b), 1);
  EXPECT_EQ(list.AddControl(&a), 0);
  EXPECT_EQ(list.FindName("FIRST"), 0);
  EXPECT_EQ(list.RemoveName("first"), 0);
  EXPECT_EQ(list.RemoveName("first"), -1);
  EXPECT_EQ(list.RemoveControl(&b), 0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(StatusBar, SizeGripOnASizeableFormOnly) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* bar = new TStyStatusBar(&form);
  bar->SetParent(&form);
  EXPECT_EQ(bar->BoundsRect(), Rect(0, 81, 200, 100));
  EXPECT_EQ(bar->BorderOuter(), TFrameStyleEx::fsNone);
  ASSERT_TRUE(bar->SizeGripUsable());
  TRecordingCanvas c(200, 19);
  bar->PaintTo(c, 0, 0);
  // Client right is 201 without themes; the bottom row is left out: B = 19. Each shadow square
  // overlaps its highlight square one pixel up and left.
  EXPECT_EQ(c.Pixel(201 - 5 + 1, 19 - 12 + 1), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(c.Pixel(201 - 6, 19 - 13), ColorToRGB(clBtnShadow));
  EXPECT_EQ(c.Pixel(201 - 5, 19 - 12), ColorToRGB(clBtnShadow));
  int presses = 0;
  bar->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++presses; };
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(195, 10));
  EXPECT_EQ(form.SystemResizeRequests(), 1);
  EXPECT_EQ(presses, 0);
  bar->Perform(WM_LBUTTONUP, 0, MakeLParam(195, 10));
  form.SetFormBorderStyle(TBorderStyle::bsSingle);
  EXPECT_FALSE(bar->SizeGripUsable());
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(195, 10));
  bar->Perform(WM_LBUTTONUP, 0, MakeLParam(195, 10));
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(form.SystemResizeRequests(), 1);
}

TEST(StatusBar, PanesScaleWithTheBarAndSimpleStatusHidesThem) {
  TStyStatusBar bar(nullptr);
  bar.SetWidth(400);
  auto* pane = new TPanel(&bar);
  pane->SetParent(&bar);
  pane->SetBounds(0, 0, 100, 19);
  bar.SetAutoScalePanes(true);
  bar.SetWidth(440);
  EXPECT_EQ(pane->Width(), 110);
  bar.SetSimpleStatus(true);
  EXPECT_FALSE(pane->Visible());
  bar.SetSimpleStatus(false);
  EXPECT_TRUE(pane->Visible());

  // A bar first sized at width 0 only remembers the width.
  TStyStatusBar zero(nullptr);
  zero.SetWidth(0);
  auto* p2 = new TPanel(&zero);
  p2->SetParent(&zero);
  p2->SetBounds(0, 0, 50, 19);
  zero.SetAutoScalePanes(true);
  zero.SetWidth(300);
  EXPECT_EQ(p2->Width(), 50);
  zero.SetWidth(330);
  EXPECT_EQ(p2->Width(), 55);
}

}  // namespace
}  // namespace qv
