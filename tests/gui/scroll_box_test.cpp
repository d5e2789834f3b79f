#include "platform/gui/scroll_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

// Bars appear when the children reach past the visible part; scrolling moves the children and
// stays within the range, which follows the children.
TEST(ScrollBoxTest, ScrollsItsChildren) {
  InitializeGui();
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* box = new TScrollBox(&form);
  box->SetParent(&form);
  box->SetBounds(0, 0, 200, 100);
  auto* area = new TPaintBox(box);
  area->SetParent(box);
  area->SetBounds(0, 0, 150, 80);
  EXPECT_FALSE(box->HorzScrollBar()->Visible());
  EXPECT_FALSE(box->VertScrollBar()->Visible());
  EXPECT_EQ(box->ClientWidth(), 200);

  area->SetBounds(0, 0, 500, 90);  // wider: the horizontal bar takes 17 pixels of the height
  EXPECT_TRUE(box->HorzScrollBar()->Visible());
  EXPECT_TRUE(box->VertScrollBar()->Visible());
  EXPECT_EQ(box->HorzRange(), 500);
  EXPECT_EQ(box->ClientWidth(), 183);
  EXPECT_EQ(box->ClientHeight(), 83);

  auto* child = new TPanel(box);
  child->SetParent(box);
  child->SetBounds(40, 30, 10, 10);
  box->SetHorzPosition(100);
  box->SetVertPosition(5);
  EXPECT_EQ(child->Left(), -60);
  EXPECT_EQ(child->Top(), 25);
  EXPECT_EQ(area->Left(), -100);
  box->SetHorzPosition(10000);
  EXPECT_EQ(box->HorzPosition(), 500 - 183);
  EXPECT_EQ(box->HorzScrollBar()->Position(), 500 - 183);
  // A range that shrinks scrolls back.
  area->SetBounds(area->Left(), area->Top(), 250, 90);
  EXPECT_EQ(box->HorzPosition(), 250 - 183);
  EXPECT_EQ(area->Left(), -(250 - 183));
  // The bar moves the area.
  int pos = 0;
  box->HorzScrollBar()->Scroll(TScrollCode::scPosition, 3);
  pos = box->HorzPosition();
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(child->Left(), 37);
}

// A control that takes the capture while another window is pressed (a drag its parent runs) gets
// the moves and the release in its own coordinates.
TEST(ScrollBoxTest, TheCapturingBoxGetsTheMouse) {
  InitializeGui();
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* box = new TScrollBox(&form);
  box->SetParent(&form);
  box->SetBounds(10, 10, 200, 150);
  auto* item = new TPanel(box);
  item->SetParent(box);
  item->SetBounds(20, 30, 40, 40);
  form.Show();
  std::vector<std::string> seen;
  item->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) { box->SetMouseCapture(true); };
  box->OnMouseMove = [&](TComponent*, TShiftState, int x, int y) {
    seen.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };
  box->OnMouseUp = [&](TComponent*, TMouseButton, TShiftState, int x, int y) {
    seen.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  };
  item->OnMouseMove = [&](TComponent*, TShiftState, int, int) { seen.push_back("item move"); };
  SendMouseForTest(item, WM_LBUTTONDOWN, {5, 5});
  EXPECT_TRUE(box->MouseCapture());
  SendMouseForTest(item, WM_MOUSEMOVE, {15, 7});
  SendMouseForTest(item, WM_LBUTTONUP, {15, 7});
  EXPECT_EQ(seen, (std::vector<std::string>{"move 35,37", "up 35,37"}));
  EXPECT_FALSE(box->MouseCapture());
  // Without a capture taken that way, the pressed window keeps its mouse.
  seen.clear();
  item->OnMouseDown = nullptr;
  SendMouseForTest(item, WM_LBUTTONDOWN, {5, 5});
  SendMouseForTest(item, WM_MOUSEMOVE, {6, 6});
  SendMouseForTest(item, WM_LBUTTONUP, {6, 6});
  EXPECT_EQ(seen, std::vector<std::string>{"item move"});
}

}  // namespace
}  // namespace qv
