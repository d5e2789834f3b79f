#include "controls/sty_background.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "controls/draw_log.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

// The layers composed for the control, as drawing calls.
Log Composed(TStyCustomBackground& b) {
  TRecordingCanvas c(b.Width(), b.Height());
  c.StartRecording();
  b.ComposePicture(c);
  return DrawLog(c);
}

// The gradient is drawn over the whole control as one bitmap.
bool HasGradient(const Log& log, const std::string& size) {
  return std::find(log.begin(), log.end(), "Draw 0,0," + size) != log.end();
}

TEST(StyBackground, ImageStylesPlaceTheImageAndCoveringImagesHideTheGradient) {
  TStyBackground b(nullptr);
  b.SetBounds(0, 0, 100, 50);
  b.Image().SetSize(200, 200);
  b.SetShowImage(true);
  struct Case {
    TImageStyle style;
    const char* last;
    bool gradient;
  } cases[] = {{TImageStyle::isCenter, "Draw -50,-75,150,125", true},
               {TImageStyle::isClip, "Draw 0,0,200,200", true},
               {TImageStyle::isFill, "StretchDraw 0,0,50,50", true},
               {TImageStyle::isStretch, "StretchDraw 0,0,100,50", false}};
  for (const Case& c : cases) {
    b.SetImageStyle(c.style);
    Log log = Composed(b);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), c.last);
    EXPECT_EQ(HasGradient(log, "100,50"), c.gradient);
  }
  // A wide image fills the width.
  b.Image().SetSize(200, 50);
  b.SetImageStyle(TImageStyle::isFill);
  EXPECT_EQ(Composed(b).back(), "StretchDraw 0,0,100,25");
  b.SetActive(false);
  b.SetImageStyle(TImageStyle::isCenter);
  EXPECT_FALSE(HasGradient(Composed(b), "100,50"));
}

TEST(StyBackground, TextureAndGradientExcludeEachOther) {
  TStyBackground b(nullptr);
  EXPECT_TRUE(b.ShowGradient());
  b.SetShowTexture(true);
  EXPECT_FALSE(b.ShowGradient());
  b.SetShowGradient(true);
  EXPECT_FALSE(b.ShowTexture());
  b.SetShowGradient(false);
  EXPECT_TRUE(b.ShowTexture());
  b.SetShowImage(true);
  b.SetShowGradient(true);
  b.SetShowGradient(false);
  EXPECT_FALSE(b.ShowTexture());
}

TEST(StyBackground, PaintsThePictureInsideTheFrameAndNeverSmallerThanFive) {
  TForm form(nullptr);
  auto* b = new TStyBackground(&form);
  b->SetParent(&form);
  b->SetBounds(0, 0, 3, 3);
  TRecordingCanvas c(20, 20);
  b->PaintTo(c, 0, 0);
  EXPECT_EQ(b->BoundsRect(), Rect(0, 0, 5, 5));
  b->SetBounds(0, 0, 40, 30);
  b->SetFrameStyle(TFrameStyleEx::fsRaised);
  c.ClearCalls();
  b->PaintTo(c, 0, 0);
  Log log = DrawLog(c);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0], "Draw 2,2,42,32");
  // Horizontal bands from the start colour at the top to the stop colour at the bottom.
  b->SetFrameStyle(TFrameStyleEx::fsNone);
  b->SetGradientColorStart(clRed);
  b->SetGradientColorStop(clBlue);
  TRecordingCanvas whole(40, 30);
  b->PaintTo(whole, 0, 0);
  EXPECT_GT(GetRValue(whole.Pixel(20, 0)), 0xF0);
  EXPECT_EQ(whole.Pixel(20, 29), clBlue);
}

}  // namespace
}  // namespace qv
