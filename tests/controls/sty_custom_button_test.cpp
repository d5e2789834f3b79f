#include "controls/sty_custom_button.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

class TextButton : public TStyCustomButton {
public:
  using TStyCustomButton::TStyCustomButton;
  int released = 0;
  uint32_t flags = DT_CENTER;
  void DrawInto(TCanvas& c) { DrawStyledText(c, ClientRect(), flags); }

protected:
  void ReleasedInside() override { ++released; }
};

// Text copies as "colour dx,dy" relative to the caption's own place.
std::vector<std::string> TextCopies(const TCanvas& c) {
  std::vector<std::string> out;
  const TCanvasCall* last = nullptr;
  for (const TCanvasCall& k : c.Calls())
    if (k.Op == "DrawText") last = &k;
  for (const TCanvasCall& k : c.Calls())
    if (k.Op == "DrawText")
      out.push_back(test::ColorName(k.FontColor) + " " + std::to_string(k.Rect.Left - last->Rect.Left) + "," +
                    std::to_string(k.Rect.Top - last->Rect.Top));
  return out;
}

TEST(StyCustomButton, TextStylesDrawTheirCopiesBeforeTheCaption) {
  TForm form(nullptr);
  auto* b = new TextButton(&form);
  b->SetParent(&form);
  b->SetCaption("Go");
  struct Case {
    TTextStyle style;
    bool light, enabled;
    uint32_t flags;
    std::vector<std::string> copies;
  } cases[] = {
      {TTextStyle::tsNormal, false, true, DT_CENTER, {"wintext 0,0"}},
      {TTextStyle::tsRaised, false, true, DT_CENTER, {"shadow 1,1", "hilite -1,-1", "wintext 0,0"}},
      {TTextStyle::tsRaised, true, true, DT_CENTER, {"hilite -1,-1", "wintext 0,0"}},
      {TTextStyle::tsRecessed, false, true, DT_CENTER, {"hilite 1,1", "shadow -1,-1", "wintext 0,0"}},
      {TTextStyle::tsShadow, false, true, DT_CENTER, {"shadow 2,2", "wintext 0,0"}},
      // Right-aligned: the shadow only moves down, the caption moves left by the depth.
      {TTextStyle::tsShadow, false, true, DT_RIGHT, {"shadow 2,2", "wintext 0,0"}},
      {TTextStyle::tsRaised, false, false, DT_CENTER, {"hilite 1,1", "shadow 0,0"}},
  };
  for (const Case& k : cases) {
    b->SetTextStyle(k.style);
    b->SetLightTextStyle(k.light);
    b->SetEnabled(k.enabled);
    b->flags = k.flags;
    TRecordingCanvas c(115, 17);
    b->DrawInto(c);
    EXPECT_EQ(TextCopies(c), k.copies) << static_cast<int>(k.style) << " " << k.flags;
    if (k.flags == DT_RIGHT) {
      int shadow_left = c.Calls()[0].Rect.Left, caption_left = c.Calls()[1].Rect.Left;
      EXPECT_EQ(caption_left, -2);
      EXPECT_EQ(shadow_left, 0);
    }
    EXPECT_EQ(c.Brush().Style, TBrushStyle::bsSolid);
  }
}

TEST(StyCustomButton, PressTracksThePointerUntilRelease) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* b = new TextButton(&form);
  b->SetParent(&form);
  form.Show();
  Application->ProcessMessages();
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 5));
  if (!b->Focused()) GTEST_SKIP() << "no keyboard focus on this platform";
  EXPECT_TRUE(b->ShowDown());
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(115, 5));
  EXPECT_FALSE(b->ShowDown());
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(114, 16));
  EXPECT_TRUE(b->ShowDown());
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(114, 16));
  EXPECT_EQ(b->released, 1);
  EXPECT_FALSE(b->Dragging());
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 5));
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 17));
  EXPECT_EQ(b->released, 1);
}

TEST(StyControlButton, GlyphShapeSetsTheNumberOfGlyphs) {
  TForm form(nullptr);
  auto* b = new TStyControlButton(&form);
  b->SetParent(&form);
  struct Case {
    int w, h, num;
  } cases[] = {{34, 17, 2}, {17, 17, 1}, {85, 17, 1}, {68, 17, 4}, {30, 17, 4}, {0, 17, 1}};
  for (const Case& k : cases) {
    TBitmap g(k.w, k.h);
    b->SetGlyph(g);
    EXPECT_EQ(b->NumGlyphs(), k.num) << k.w;
    EXPECT_EQ(b->GlyphSize().X, k.w / k.num);
  }
  // A disabled button with two glyphs draws the second one.
  TBitmap two(4, 2);
  two.Canvas().Brush().Color = clRed;
  two.Canvas().FillRect(Rect(0, 0, 2, 2));
  two.Canvas().Brush().Color = clBlue;
  two.Canvas().FillRect(Rect(2, 0, 4, 2));
  two.SetPixel(0, 1, clLime);  // the transparent colour of the first glyph's corner
  b->SetGlyph(two);
  b->SetBounds(0, 0, 8, 8);
  TRecordingCanvas c(8, 8);
  b->PaintTo(c, 0, 0);
  EXPECT_EQ(c.Pixel(4, 4), clRed);
  b->SetEnabled(false);
  TRecordingCanvas d(8, 8);
  b->PaintTo(d, 0, 0);
  EXPECT_EQ(d.Pixel(4, 4), clBlue);
}

TEST(StyControlButton, RepeatsClicksOnlyWhileDownAndHoldingTheCapture) {
  TForm form(nullptr);
  auto* b = new TStyControlButton(&form);
  b->SetParent(&form);
  b->SetRepeatClicks(true);
  int clicks = 0;
  b->OnClick = [&](TComponent*) { ++clicks; };
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 3));
  ASSERT_NE(b->RepeatTimer(), nullptr);
  EXPECT_EQ(b->RepeatTimer()->Interval(), 400u);
  EXPECT_TRUE(b->RepeatTimer()->Enabled());
  b->RepeatTimerTick();
  EXPECT_EQ(b->RepeatTimer()->Interval(), 100u);
  b->RepeatTimerTick();
  EXPECT_EQ(clicks, 2);
  ReleaseCapture();  // the pointer left and the capture went elsewhere
  b->RepeatTimerTick();
  EXPECT_EQ(clicks, 2);
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(30, 3));  // released outside: no click
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(b->RepeatTimer()->Enabled());
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 3));
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(3, 3));
  EXPECT_EQ(clicks, 3);
  // A failing click stops the timer and goes on to the application's handling.
  b->OnClick = [](TComponent*) { throw Exception("boom"); };
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 3));
  EXPECT_THROW(b->RepeatTimerTick(), Exception);
  EXPECT_FALSE(b->RepeatTimer()->Enabled());
}

TEST(StyControlButton, FacesByStyleAndState) {
  TForm form(nullptr);
  auto* b = new TStyControlButton(&form);
  b->SetParent(&form);
  auto paint = [&] {
    TRecordingCanvas c(17, 21);
    b->PaintTo(c, 0, 0);
    return DrawLog(c);
  };
  Log up = paint();
  ASSERT_EQ(up.size(), 9u);
  EXPECT_EQ(up[0], "line hilite 0,0-0,21");  // fsButtonUp
  EXPECT_EQ(up[8], "fill face 2,2,15,19");
  b->SetStyle(TStyControlButtonStyle::cbsUp);
  EXPECT_EQ(paint().back(), "polygon black 8,7 12,12 4,12");
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 3));
  Log down = paint();
  EXPECT_EQ(down[0], "line shadow 0,0-0,21");  // one shadow ring
  EXPECT_EQ(down.back(), "polygon black 9,8 13,13 5,13");
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(3, 3));
  b->SetFlat(true);
  b->SetStyle(TStyControlButtonStyle::cbsDropDown);
  EXPECT_EQ(paint(), (Log{"fill face 0,0,17,21", "polygon black 8,12 5,8 12,8"}));
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(paint()[0], "line hilite 0,0-0,21");  // fsPopup under the mouse
}

}  // namespace
}  // namespace qv
