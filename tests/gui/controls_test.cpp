#include "platform/gui/controls.h"

#include <gtest/gtest.h>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

class Box : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> log;
  int border = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER) log.push_back("enter");
    if (m.Msg == WM_NCCALCSIZE && border) {
      auto* r = reinterpret_cast<TRect*>(m.LParam);
      r->Left += border, r->Top += border, r->Right -= border, r->Bottom -= border;
      return;
    }
    if (m.Msg == WM_NCPAINT && border) {
      auto* c = reinterpret_cast<TCanvas*>(m.LParam);
      c->Brush().Color = clRed;
      c->FillRect(WindowRect());
      return;
    }
    TCustomControl::WndProc(m);
  }

protected:
  void Paint() override {
    Canvas().Brush().Color = clBlue;
    Canvas().FillRect(ClientRect());
  }
  void MouseDown(TMouseButton, TShiftState, int x, int y) override {
    log.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  }
};

class Dot : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;

protected:
  void Paint() override { Canvas().SetPixel(0, 0, clLime); }
};

TEST(Controls, NonClientBorderHoldsTheClientAreaAndIsPaintedFirst) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->border = 3;
  box->SetParent(&form);
  box->SetBounds(10, 10, 20, 16);
  box->RecalcNonClient();
  EXPECT_EQ(box->ClientRect(), Rect(0, 0, 14, 10));
  auto* dot = new Dot(&form);
  dot->SetParent(box);
  dot->SetBounds(2, 2, 4, 4);
  TRecordingCanvas c(20, 16);
  box->PaintTo(c, 0, 0);
  EXPECT_EQ(c.Pixel(0, 0), clRed);
  EXPECT_EQ(c.Pixel(3, 3), clBlue);
  EXPECT_EQ(c.Pixel(16, 12), clBlue);
  EXPECT_EQ(c.Pixel(17, 12), clRed);
  EXPECT_EQ(c.Pixel(5, 5), clLime);  // the windowless child, at border + its place
}

TEST(Controls, AlignmentStacksChildrenAndIgnoresUnchangedBounds) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* top = new Box(&form);
  top->SetHeight(20);
  top->SetAlign(TAlign::alTop);
  top->SetParent(&form);
  auto* bottom = new Box(&form);
  bottom->SetHeight(10);
  bottom->SetAlign(TAlign::alBottom);
  bottom->SetParent(&form);
  auto* client = new Box(&form);
  client->SetAlign(TAlign::alClient);
  client->SetParent(&form);
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 200, 20));
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 90, 200, 100));
  EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 200, 90));
  int resized = 0;
  client->OnResize = [&](TComponent*) { ++resized; };
  form.SetBounds(0, 0, 200, 120);
  EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 200, 110));
  EXPECT_EQ(resized, 1);
  client->SetBounds(0, 20, 200, 90);  // same again
  EXPECT_EQ(resized, 1);
  // A hidden child gives up its room.
  top->SetVisible(false);
  EXPECT_EQ(client->BoundsRect(), Rect(0, 0, 200, 110));
}

TEST(Controls, MouseMessagesReachVirtualOperationsAndCaptureEndsOnRelease) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetParent(&form);
  box->SetBounds(0, 0, 50, 50);
  int clicks = 0;
  box->OnClick = [&](TComponent*) { ++clicks; };
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 7));
  EXPECT_TRUE(box->MouseCapture());
  box->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 7));
  EXPECT_FALSE(box->MouseCapture());
  EXPECT_EQ(box->log, (std::vector<std::string>{"down 5,7"}));
  EXPECT_EQ(clicks, 1);
  // Released outside: no click.
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 7));
  box->Perform(WM_LBUTTONUP, 0, MakeLParam(-5, 70));
  EXPECT_EQ(clicks, 1);
}

TEST(Controls, ColourAndFontFollowTheParentUntilSetOwn) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetParent(&form);
  EXPECT_EQ(box->Color(), clBtnFace);
  form.SetColor(clRed);
  EXPECT_EQ(box->Color(), clRed);
  box->SetColor(clBlue);
  form.SetColor(clLime);
  EXPECT_EQ(box->Color(), clBlue);
  form.Font().SetSize(12);
  EXPECT_EQ(box->Font().Size(), 12);
  EXPECT_TRUE(box->ParentFont());
}

TEST(Controls, FreeingAParentFreesItsChildrenAndAChildLeavesItsParent) {
  TForm form(nullptr);
  auto* outer = new Box(nullptr);
  outer->SetParent(&form);
  auto* inner = new Dot(nullptr);
  inner->SetParent(outer);
  auto* other = new Dot(nullptr);
  other->SetParent(outer);
  delete other;
  EXPECT_EQ(outer->ControlCount(), 1);
  delete outer;  // frees inner too (ASan checks)
  EXPECT_EQ(form.ControlCount(), 0);
}

TEST(Controls, PostedMessageReachesWndProcFromTheLoop) {
  InitializeGui();
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetParent(&form);
  box->PostMessage(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(box->log.empty());
  Application->ProcessMessages();
  EXPECT_EQ(box->log, (std::vector<std::string>{"enter"}));
}

// Only the current page shows; inserting or deleting pages before it keeps it current.
TEST(Controls, NotebookKeepsItsCurrentPage) {
  InitializeGui();
  TForm form(nullptr);
  auto* book = new TNotebook(&form);
  book->SetParent(&form);
  book->SetBounds(0, 0, 200, 100);
  EXPECT_EQ(book->PageIndex(), -1);
  EXPECT_EQ(book->ActivePage(), nullptr);
  book->AddPage("a");
  book->AddPage("b");
  EXPECT_EQ(book->PageIndex(), 0);
  int changes = 0;
  book->OnPageChanged = [&](TComponent*) { ++changes; };
  book->SetPageIndex(1);
  book->SetPageIndex(1);
  book->SetPageIndex(5);
  EXPECT_EQ(changes, 1);
  TPage* b = book->ActivePage();
  EXPECT_EQ(b->Caption(), "b");
  EXPECT_FALSE(book->Page(0)->Visible());
  EXPECT_TRUE(b->Visible());
  EXPECT_EQ(b->Width(), 200);
  book->InsertPage(0, "first");
  EXPECT_EQ(book->ActivePage(), b);
  book->DeletePage(0);
  EXPECT_EQ(book->ActivePage(), b);
  book->DeletePage(1);
  EXPECT_EQ(book->PageIndex(), 0);
  EXPECT_TRUE(book->ActivePage()->Visible());
  book->DeletePage(0);
  EXPECT_EQ(book->PageIndex(), -1);
}

}  // namespace
}  // namespace qv
