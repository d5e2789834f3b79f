#include "platform/gui/mdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gui/forms.h"

namespace qv {
namespace {

// A frame with three shown sub-windows in a 600 x 400 client area.
class MdiArea : public ::testing::Test {
protected:
  MdiArea() {
    InitializeGui();
    frame.SetBounds(0, 0, 600, 400);
    area = new TMdiArea(&frame);
    area->SetAlign(TAlign::alClient);
    area->SetParent(&frame);
    area->OnActiveChildChange = [this](TComponent*) { ++changes; };
    for (int i = 0; i < 3; ++i) {
      auto* child = new TForm(&frame);
      child->SetText("Doc " + std::to_string(i));
      child->SetBounds(0, 0, 200, 150);
      area->AddChild(child);
      child->Show();
      children.push_back(child);
    }
    frame.Show();
    Application->ProcessMessages();
  }
  TForm frame{nullptr};
  TMdiArea* area = nullptr;
  std::vector<TForm*> children;
  int changes = 0;
};

TEST_F(MdiArea, TilesFillTheAreaInBandsOrColumns) {
  ASSERT_EQ(area->Width(), 600);
  ASSERT_EQ(area->Height(), 400);
  area->TileHorizontal();
  for (int i = 0; i < 3; ++i) {
    const TRect r = area->ChildBounds(i);
    EXPECT_EQ(r.Left, 0) << i;
    EXPECT_EQ(r.Width(), 600) << i;
  }
  // The bands cover the height without overlap.
  std::vector<int> tops;
  for (int i = 0; i < 3; ++i) tops.push_back(area->ChildBounds(i).Top);
  std::sort(tops.begin(), tops.end());
  EXPECT_EQ(tops, (std::vector<int>{0, 133, 266}));
  area->TileVertical();
  std::vector<std::pair<int, int>> columns;
  for (int i = 0; i < 3; ++i) {
    const TRect r = area->ChildBounds(i);
    EXPECT_EQ(r.Top, 0);
    EXPECT_EQ(r.Height(), 400);
    columns.push_back({r.Left, r.Width()});
  }
  std::sort(columns.begin(), columns.end());
  EXPECT_EQ(columns, (std::vector<std::pair<int, int>>{{0, 200}, {200, 200}, {400, 200}}));
}

TEST_F(MdiArea, CascadeStepsDownAndMinimizedWindowsLineUpAtTheBottom) {
  area->Cascade();
  std::vector<int> lefts;
  for (int i = 0; i < 3; ++i) {
    const TRect r = area->ChildBounds(i);
    EXPECT_EQ(r.Left, r.Top);
    lefts.push_back(r.Left);
  }
  std::sort(lefts.begin(), lefts.end());
  EXPECT_EQ(lefts, (std::vector<int>{0, 24, 48}));
  area->MinimizeAll();
  std::vector<int> icon_lefts;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(children[static_cast<size_t>(i)]->WindowState(), TWindowState::wsMinimized);
    const TRect r = area->ChildBounds(i);
    EXPECT_EQ(r.Bottom, 400);
    icon_lefts.push_back(r.Left);
  }
  EXPECT_EQ(icon_lefts, (std::vector<int>{0, 160, 320}));
}

TEST_F(MdiArea, TheActiveChildFollowsAndAFreedChildLeaves) {
  area->SetActiveChild(children[1]);
  EXPECT_EQ(area->ActiveChild(), children[1]);
  const int before = changes;
  delete children[1];
  EXPECT_EQ(area->ChildCount(), 2);
  EXPECT_NE(area->ActiveChild(), children[1]);
  EXPECT_GT(changes, before);
  // A close that is refused keeps the sub-window; one that frees it removes it.
  children[0]->OnCloseQuery = [](TComponent*, bool& can) { can = false; };
  children[0]->Close();
  Application->ProcessMessages();
  EXPECT_EQ(area->ChildCount(), 2);
  children[2]->OnClose = [](TComponent*, TCloseAction& action) { action = TCloseAction::caFree; };
  children[2]->Close();
  Application->ProcessMessages();
  EXPECT_EQ(area->ChildCount(), 1);
  EXPECT_EQ(area->Children(0), children[0]);
}

}  // namespace
}  // namespace qv
