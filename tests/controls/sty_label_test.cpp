#include "controls/sty_label.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

// The text calls with their places: "text <colour> <left>,<top>" (rectangles) or "<x>,<y>" (points).
Log TextCalls(const TCanvas& c) {
  Log out;
  for (const TCanvasCall& k : c.Calls()) {
    if (k.Op == "DrawText")
      out.push_back(
          test::Cat({test::ColorName(k.FontColor), " ", std::to_string(k.Rect.Left), ",", std::to_string(k.Rect.Top)}));
    else if (k.Op == "TextOut")
      out.push_back(test::Cat({test::ColorName(k.FontColor), " ", k.Text, " ", std::to_string(k.Points[0].X), ",",
                               std::to_string(k.Points[0].Y)}));
  }
  return out;
}

struct LabelFixture : ::testing::Test {
  LabelFixture() : form(nullptr) {
    form.SetBounds(0, 0, 300, 200);
    label = new TStyLabel(&form);
    label->SetParent(&form);
    label->SetAutoSize(false);
    label->SetBounds(0, 0, 80, 30);
    label->SetCaption("Label");
  }
  TRecordingCanvas& Paint() {
    canvas.ClearCalls();
    label->PaintTo(canvas, 0, 0);
    return canvas;
  }
  TForm form;
  TStyLabel* label;
  TRecordingCanvas canvas{300, 200};
};

TEST_F(LabelFixture, AnglesAreKeptBetween0And359AndSwitchTheRotation) {
  struct Case {
    int set, stored;
  } cases[] = {{-90, 270}, {450, 90}, {360, 0}, {-450, 270}, {30, 30}, {-720, 0}};
  for (const Case& c : cases) {
    label->SetAngle(c.set);
    EXPECT_EQ(label->Angle(), c.stored) << c.set;
  }
  label->SetRotation(TRotation::roNone);
  EXPECT_EQ(label->Angle(), 0);
  label->SetAngle(30);
  EXPECT_EQ(label->Rotation(), TRotation::roFlat);
  EXPECT_EQ(label->Angle(), 30);
  label->SetRotation(TRotation::roCurve);
  EXPECT_EQ(label->Angle(), 30);
  label->SetCenterPoint(TCenterPoint::cpLowerLeft);
  label->SetRotation(TRotation::roFlat);
  EXPECT_EQ(label->Angle(), 0);
  EXPECT_EQ(label->CenterPoint(), TCenterPoint::cpCenter);
}

TEST_F(LabelFixture, TextStylesDrawTheirCopiesInOrder) {
  label->SetBorderOuter(TFrameStyleEx::fsFlat);  // text area from (1, 1)
  label->SetTextStyle(TTextStyle::tsRaised);
  EXPECT_EQ(TextCalls(Paint()), (Log{"shadow 2,2", "hilite 0,0", "wintext 1,1"}));
  label->SetLightTextStyle(true);
  EXPECT_EQ(TextCalls(Paint()), (Log{"hilite 0,0", "wintext 1,1"}));
  label->SetTextStyle(TTextStyle::tsRecessed);
  EXPECT_EQ(TextCalls(Paint()), (Log{"hilite 2,2", "wintext 1,1"}));
  label->SetLightTextStyle(false);
  label->SetTextStyle(TTextStyle::tsShadow);
  EXPECT_EQ(TextCalls(Paint()), (Log{"shadow 3,3", "wintext 1,1"}));
  // Disabled: etched, whatever the style.
  label->SetEnabled(false);
  EXPECT_EQ(TextCalls(Paint()), (Log{"hilite 2,2", "shadow 1,1"}));
}

TEST_F(LabelFixture, TransparentLabelKeepsItsBordersButNotItsBackground) {
  label->SetBorderOuter(TFrameStyleEx::fsFlat);
  label->SetFlatColor(clBlack);
  label->SetFlatColorAdjustment(0);
  Log opaque = DrawLog(Paint());
  EXPECT_NE(std::find(opaque.begin(), opaque.end(), "fill face 1,1,79,29"), opaque.end());
  label->SetTransparent(true);
  Log clear = DrawLog(Paint());
  EXPECT_EQ(std::find(clear.begin(), clear.end(), "fill face 1,1,79,29"), clear.end());
  EXPECT_EQ(clear.front(), "line black 0,0-0,30");
}

TEST_F(LabelFixture, RotatedAndArcText) {
  label->SetBounds(0, 0, 100, 100);
  label->SetAngle(90);
  Log log = TextCalls(Paint());
  ASSERT_EQ(log.size(), 1u);
  const TCanvasCall* out = nullptr;
  for (const TCanvasCall& k : canvas.Calls())
    if (k.Op == "TextOut") out = &k;
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->Flags, TA_BASELINE);
  // Arc text: one call per character; nothing for an empty caption or a label too small for
  // its border.
  label->SetRotation(TRotation::roCurve);
  EXPECT_EQ(TextCalls(Paint()).size(), 5u);
  label->SetCaption("");
  Log borders_only = DrawLog(Paint());
  EXPECT_EQ(borders_only, (Log{"fill face 0,0,100,100"}));
  label->SetCaption("Arc");
  label->SetBorderWidth(30);  // the radius 50 - 60 is below zero
  EXPECT_TRUE(TextCalls(Paint()).empty());
}

TEST_F(LabelFixture, BlinkingAndFlyByChangeTheTextColour) {
  EXPECT_EQ(label->Perform(CM_STY_BLINKQUERY, 0, 0), 0);
  label->SetBlinking(true);
  EXPECT_EQ(label->Perform(CM_STY_BLINKQUERY, 0, 0), 1);
  label->Perform(CM_STY_BLINKSTATE, 1, 0);
  EXPECT_EQ(label->CurrentTextColor(), clHighlight);
  label->SetBlinking(false);
  EXPECT_EQ(label->CurrentTextColor(), clWindowText);

  label->Font().SetColor(clNavy);
  label->SetFlyByEnabled(true);
  label->Perform(CM_MOUSELEAVE, 0, 0);  // no entry seen: nothing to restore
  EXPECT_EQ(label->Font().Color(), clNavy);
  label->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(label->Font().Color(), clHighlight);
  label->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(label->Font().Color(), clNavy);
  label->Perform(CM_MOUSEENTER, 0, 0);
  label->SetFlyByEnabled(false);
  EXPECT_EQ(label->Font().Color(), clNavy);
}

TEST_F(LabelFixture, AutoSizeLeavesRoomForTheBorders) {
  TCanvas& sc = ScreenCanvas();
  sc.Font().Assign(label->Font());
  const int w = sc.TextWidth("Label"), h = sc.TextHeight("Label");
  label->SetBorderOuter(TFrameStyleEx::fsRaised);
  label->SetBorderWidth(1);
  label->SetAutoSize(true);
  EXPECT_EQ(label->Width(), w + 6);
  EXPECT_EQ(label->Height(), h + 6);
  label->SetBorderSides(SideBit(TSide::sdTop));
  label->SetCaption("Label ");
  label->SetCaption("Label");
  EXPECT_EQ(label->Width(), w);
  EXPECT_EQ(label->Height(), h + 3);
  label->SetCondenseCaption(TStyCondenseCaption::ccAtEnd);
  EXPECT_FALSE(label->AutoSize());
}

}  // namespace
}  // namespace qv
