#include "controls/sty_panel.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

Log Painted(TControl& c) {
  TRecordingCanvas canvas(c.Width(), c.Height());
  c.PaintTo(canvas, 0, 0);
  Log log = DrawLog(canvas);
  // The window's own erase comes first; the panel's painting follows.
  if (!log.empty() && log[0].rfind("fill", 0) == 0) log.erase(log.begin());
  return log;
}

TEST(StyPanel, ContentAreaLiesInsideTheFramesOnTheChosenSides) {
  TStyPanel p(nullptr);
  p.SetBounds(0, 0, 40, 30);
  EXPECT_EQ(p.ContentRect(p.ClientRect(), true), Rect(2, 2, 38, 28));
  p.SetBorderSides(SideBit(TSide::sdTop));
  EXPECT_EQ(p.ContentRect(p.ClientRect(), true), Rect(0, 2, 40, 30));
  struct Case {
    TFrameStyleEx outer, inner;
    int bevel, border, inset;
  } cases[] = {
      {TFrameStyleEx::fsNone, TFrameStyleEx::fsNone, 1, 0, 0},
      {TFrameStyleEx::fsFlat, TFrameStyleEx::fsNone, 1, 0, 1},
      {TFrameStyleEx::fsStatus, TFrameStyleEx::fsPopup, 3, 0, 6},
      {TFrameStyleEx::fsFlatRounded, TFrameStyleEx::fsGroove, 1, 0, 4},
      {TFrameStyleEx::fsFlatBold, TFrameStyleEx::fsNone, 1, 2, 4},
  };
  p.SetBorderSides(sdAllSides);
  for (const Case& k : cases) {
    p.SetBorderOuter(k.outer);
    p.SetBorderInner(k.inner);
    p.SetBevelWidth(k.bevel);
    p.SetBorderWidth(k.border);
    EXPECT_EQ(p.ContentRect(p.ClientRect(), true), Rect(k.inset, k.inset, 40 - k.inset, 30 - k.inset));
    // Children are aligned inside the frames and the border width.
    auto* child = new TPanel(&p);
    child->SetParent(&p);
    child->SetAlign(TAlign::alClient);
    EXPECT_EQ(child->BoundsRect(), Rect(k.inset, k.inset, 40 - k.inset, 30 - k.inset));
    delete child;
  }
}

TEST(StyPanel, PaintsBordersFillGridCaptionThenOnPaint) {
  TStyPanel p(nullptr);
  p.SetBounds(0, 0, 20, 18);
  p.SetBorderOuter(TFrameStyleEx::fsFlat);
  p.SetFlatColorAdjustment(0);
  p.SetFlatColor(clBlack);
  p.SetShowGrid(true);
  p.SetGridXSize(8);
  p.SetGridYSize(20);
  p.SetCaption("Hi");
  bool painted = false;
  p.OnPaint = [&](TComponent*) { painted = true; };
  Log log = Painted(p);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "line black 0,0-0,18");
  EXPECT_EQ(log[4], "fill face 1,1,19,17");
  EXPECT_EQ(log[5], "text wintext Hi");  // the grid has no row of 20 in a 16-high content area
  EXPECT_TRUE(painted);

  p.SetGridYSize(8);
  p.SetCaption("");
  log = Painted(p);
  // Dots at (1 + 8i - 1, 1 + 8j - 1) for two columns and two rows.
  EXPECT_EQ(Log(log.begin() + 5, log.end()),
            (Log{"pixel shadow 8,8", "pixel shadow 8,16", "pixel shadow 16,8", "pixel shadow 16,16"}));
  p.SetGridXSize(0);
  EXPECT_EQ(Painted(p).size(), 5u);
}

TEST(StyPanel, DisablingRemembersWhichChildrenWereEnabled) {
  TStyPanel p(nullptr);
  auto* a = new TPanel(&p);
  auto* b = new TPanel(&p);
  auto* c = new TPanel(&p);
  for (TPanel* x : {a, b, c}) x->SetParent(&p);
  b->SetEnabled(false);
  p.SetEnabled(false);
  EXPECT_FALSE(a->Enabled());
  EXPECT_FALSE(c->Enabled());
  p.SetEnabled(true);
  EXPECT_TRUE(a->Enabled());
  EXPECT_FALSE(b->Enabled());
  EXPECT_TRUE(c->Enabled());
  // A child freed while recorded takes its entry along.
  p.SetEnabled(false);
  delete b;
  EXPECT_EQ(p.EnabledStates().Count(), 2);
}

TEST(StyPanel, BottomAlignedPanelGrowsUpwards) {
  TStyPanel p(nullptr);
  p.SetBounds(0, 100, 50, 20);
  p.SetAlign(TAlign::alBottom);
  p.SetHeight(30);
  EXPECT_EQ(p.BoundsRect(), Rect(0, 90, 50, 120));
  p.SetAlign(TAlign::alRight);
  p.SetWidth(40);
  EXPECT_EQ(p.BoundsRect(), Rect(10, 90, 50, 120));
}

TEST(StyPanel, TransparentPanelPaintsItsParentInsteadOfItsFace) {
  TForm form(nullptr);
  form.SetColor(clRed);
  auto* p = new TStyPanel(&form);
  p->SetParent(&form);
  p->SetBounds(10, 10, 20, 20);
  p->SetBorderOuter(TFrameStyleEx::fsNone);
  p->SetColor(clBlue);
  p->SetTransparent(true);
  EXPECT_FALSE(p->ControlStyle() & csOpaque);
  TRecordingCanvas c(20, 20);
  p->PaintTo(c, 0, 0);
  EXPECT_EQ(c.Pixel(5, 5), clRed);
  p->SetTransparent(false);
  TRecordingCanvas d(20, 20);
  p->PaintTo(d, 0, 0);
  EXPECT_EQ(d.Pixel(5, 5), clBlue);
}

TEST(StyPanel, ControllerSettingsApplyOnlyWhenTheFrameIsVisible) {
  TStyFrameController fc(nullptr);
  TStyPanel p(nullptr);
  p.SetFrameController(&fc);
  EXPECT_EQ(p.BorderOuter(), TFrameStyleEx::fsRaised);
  fc.SetColor(clWhite);
  fc.SetFrameVisible(true);
  EXPECT_EQ(p.BorderOuter(), TFrameStyleEx::fsFlat);
  EXPECT_EQ(p.Color(), clWhite);
  EXPECT_EQ(p.FlatColorAdjustment(), 0);
  EXPECT_EQ(p.BorderShadow(), DarkenColor(clWhite, 50));
  TStyGroupBox box(nullptr);
  box.SetFrameController(&fc);
  EXPECT_EQ(box.BorderOuter(), TFrameStyleEx::fsNone);  // only a custom group box follows
  box.SetGroupStyle(TStyGroupBoxStyle::gsCustom);
  EXPECT_FALSE(box.ThemeAware());
  fc.SetFrameStyle(TFrameStyleEx::fsBump);
  EXPECT_EQ(box.BorderOuter(), TFrameStyleEx::fsBump);
}

TEST(StyGroupBox, FlatStyleDrawsARoundedRectangleBelowTheCaptionLine) {
  TStyGroupBox box(nullptr);
  box.SetBounds(0, 0, 30, 20);
  box.SetFlatColorAdjustment(0);
  box.SetFlatColor(clBlack);
  Log log = Painted(box);
  int y = ScreenCanvas().TextHeight("Pp") / 2 - 1;
  auto pt = [](int x, int yy) { return test::Cat({std::to_string(x), ",", std::to_string(yy)}); };
  ASSERT_GE(log.size(), 9u);
  EXPECT_EQ(log[0], "fill face 0,0,30,20");
  EXPECT_EQ(log[1], test::Cat({"line black ", pt(0, y + 2), "-", pt(0, 18)}));
  EXPECT_EQ(log[3], test::Cat({"line black ", pt(2, y), "-", pt(28, y)}));
  EXPECT_EQ(log[5], test::Cat({"pixel black ", pt(1, y + 1)}));
  box.SetCaption("Box");
  EXPECT_EQ(box.CaptionRect().Left, 8);
  box.SetGroupStyle(TStyGroupBoxStyle::gsTopLine);
  EXPECT_EQ(box.CaptionRect().Left, 0);
  // The client area starts below the caption line.
  auto* child = new TPanel(&box);
  child->SetParent(&box);
  child->SetAlign(TAlign::alClient);
  int h = ScreenCanvas().TextHeight("Yy");
  EXPECT_EQ(child->BoundsRect(), Rect(1, h + 1, 29, 19));
}

TEST(StySpacer, GrooveAndOrientation) {
  TForm form(nullptr);
  auto* s = new TStySpacer(&form);
  s->SetParent(&form);
  s->SetGrooved(true);
  EXPECT_EQ(Painted(*s), (Log{"line shadow 3,1-3,25", "line hilite 4,1-4,25"}));
  s->SetOrientation(TOrientation::orVertical);
  EXPECT_EQ(s->Width(), 25);
  EXPECT_EQ(s->Height(), 8);
  EXPECT_EQ(Painted(*s), (Log{"line shadow 1,3-25,3", "line hilite 1,4-25,4"}));
}

}  // namespace
}  // namespace qv
