#include "controls/sty_size_panel.h"

#include <gtest/gtest.h>

#include "platform/gui/drag_image.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

struct SizePanelFixture : ::testing::Test {
  SizePanelFixture() : form(nullptr) {
    form.SetBounds(0, 0, 400, 300);
    p = new TStySizePanel(&form);
    p->SetParent(&form);
    p->SetWidth(200);
  }
  void Drag(int from, int to) {
    p->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(from, 150));
    p->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(to, 150));
    p->Perform(WM_LBUTTONUP, 0, MakeLParam(to, 150));
  }
  TForm form;
  TStySizePanel* p;
};

TEST_F(SizePanelFixture, TheBarLiesOnTheInnerEdgeOutsideTheClientArea) {
  EXPECT_EQ(p->BoundsRect(), Rect(0, 0, 200, 300));
  TRect bar;
  p->GetSizeBarRect(bar);
  EXPECT_EQ(bar, Rect(196, 0, 200, 300));
  EXPECT_EQ(p->ClientRect(), Rect(0, 0, 195, 300));
  auto* child = new TPanel(&form);
  child->SetParent(p);
  child->SetAlign(TAlign::alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(0, 0, 195, 300));
  // Custom alignment: no bar, the whole area, no dragging.
  p->SetAlign(TAlign::alCustom);
  p->GetSizeBarRect(bar);
  EXPECT_TRUE(bar.IsEmpty());
  EXPECT_EQ(child->BoundsRect(), Rect(0, 0, 200, 300));
  Drag(198, 100);
  EXPECT_EQ(p->Width(), 200);
  EXPECT_FALSE(p->Dragging());

  TStySizePanel orphan(nullptr);
  try {
    TRect f;
    orphan.GetFreeArea(f);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "No parent specified");
  }
}

TEST_F(SizePanelFixture, DraggingTheBarResizesWithinTheMargins) {
  p->SetMarginMin(20);
  p->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(198, 150));
  EXPECT_EQ(DragImages(p), (std::vector<TRect>{Rect(196, 0, 200, 300)}));
  p->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(0, 150));
  EXPECT_EQ(DragImages(p), (std::vector<TRect>{Rect(21, 0, 25, 300)}));  // bar position 25
  p->Perform(WM_LBUTTONUP, 0, MakeLParam(0, 150));
  EXPECT_EQ(p->Width(), 25);
  EXPECT_TRUE(DragImages(p).empty());
  // Dropped at bar position 150; live dragging adds the bar gap.
  Drag(23, 148);
  EXPECT_EQ(p->Width(), 150);
  p->SetWidth(200);
  p->SetRealTimeDrag(true);
  Drag(198, 148);
  EXPECT_EQ(p->Width(), 151);
  // Never beyond the parent's free area less MarginMax.
  p->SetRealTimeDrag(false);
  p->SetMarginMax(50);
  Drag(149, 900);
  EXPECT_EQ(p->Width(), 350);
  // Escape leaves the size.
  p->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(348, 150));
  p->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(100, 150));
  p->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(p->Dragging());
  EXPECT_TRUE(DragImages(p).empty());
  EXPECT_EQ(p->Width(), 350);
}

TEST_F(SizePanelFixture, RightAndBottomPanelsGrowAwayFromTheirEdge) {
  p->SetAlign(TAlign::alRight);
  EXPECT_EQ(p->BoundsRect(), Rect(200, 0, 400, 300));
  Drag(2, -48);  // the bar 50 further left
  EXPECT_EQ(p->BoundsRect(), Rect(150, 0, 400, 300));
  p->SetAlign(TAlign::alBottom);
  p->SetHeight(100);
  p->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(100, 2));
  p->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(100, 32));
  p->Perform(WM_LBUTTONUP, 0, MakeLParam(100, 32));
  EXPECT_EQ(p->BoundsRect(), Rect(0, 230, 400, 300));
}

TEST_F(SizePanelFixture, HotSpotCollapsesToTheBarAndRestores) {
  p->SetMarginMin(20);
  p->SetHotSpotVisible(true);
  EXPECT_EQ(p->SizeBarWidth(), 7);
  const TRect hs = p->HotSpotRect();
  EXPECT_EQ(hs, Rect(193, 90, 200, 210));
  auto click = [&] {
    const int x = p->Width() - 3;
    p->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, 150));
    p->Perform(WM_LBUTTONUP, 0, MakeLParam(x, 150));
  };
  click();
  EXPECT_TRUE(p->HotSpotClosed());
  EXPECT_EQ(p->Width(), 28);  // MarginMin + bar + 1
  click();
  EXPECT_FALSE(p->HotSpotClosed());
  EXPECT_EQ(p->Width(), 200);
  p->SetHotSpotIgnoreMargins(true);
  click();
  EXPECT_EQ(p->Width(), 8);
  Drag(5, 60);  // wider: no longer collapsed
  EXPECT_FALSE(p->HotSpotClosed());
}

TEST_F(SizePanelFixture, APanelInATooSmallParentKeepsItsBar) {
  // The free area ends at 3, below the lower limit of 25: the clamp alone would give 3.
  form.SetBounds(0, 0, 3, 300);
  p->SetMarginMin(20);
  Drag(198, 0);
  EXPECT_EQ(p->Width(), 5);
}

}  // namespace
}  // namespace qv
