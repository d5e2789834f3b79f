#include "controls/gradients.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/gui/forms.h"

namespace qv {
namespace {

// Lengths of the runs of equal colour down column x (or along row y).
std::vector<int> Bands(const TCanvas& c, int count, bool down, int at = 0) {
  std::vector<int> bands;
  TColor last = clNone;
  for (int i = 0; i < count; ++i) {
    TColor p = down ? c.Pixel(at, i) : c.Pixel(i, at);
    if (p != last) bands.push_back(0);
    ++bands.back();
    last = p;
  }
  return bands;
}

TEST(Gradients, LinearRunEndsExactlyInItsColoursWithOneBandPerColour) {
  TRecordingCanvas c(20, 256);
  DrawGradientArea(c, Rect(0, 0, 20, 256), TGradientDirection::gdHorizontalEnd, clBlack, clWhite, 1);
  EXPECT_EQ(c.Pixel(0, 0), clBlack);
  EXPECT_EQ(c.Pixel(19, 255), clWhite);
  std::set<TColor> colours;
  for (int y = 0; y < 256; ++y) colours.insert(c.Pixel(5, y));
  EXPECT_EQ(Bands(c, 256, true, 5).size(), colours.size());
  EXPECT_EQ(c.Pixel(0, 100), c.Pixel(19, 100));  // the strip is replicated across
}

TEST(Gradients, SmoothingFactorSetsTheNarrowestBand) {
  struct Case {
    uint8_t factor;
    TGradientDirection direction;
    int min_band;
  } cases[] = {
      {0, TGradientDirection::gdVerticalEnd, 1}, {1, TGradientDirection::gdVerticalEnd, 1},
      {8, TGradientDirection::gdVerticalEnd, 8}, {16, TGradientDirection::gdVerticalEnd, 16},
      {16, TGradientDirection::gdSquareBox, 17},
  };
  for (const Case& k : cases) {
    TRecordingCanvas c(300, 300);
    DrawGradientArea(c, Rect(0, 0, 300, 300), k.direction, clBlack, clWhite, k.factor);
    // Along the quadrant's inner row for the box, the top row for the linear run. The run ends at
    // the left edge, so the leftmost band may be narrower.
    bool box = k.direction == TGradientDirection::gdSquareBox;
    std::vector<int> bands = box ? Bands(c, 150, false, 149) : Bands(c, 300, false, 0);
    ASSERT_GE(bands.size(), 3u) << int(k.factor);
    for (size_t i = 1; i < bands.size(); ++i) EXPECT_GE(bands[i], k.min_band) << int(k.factor) << " band " << i;
  }
}

TEST(Gradients, EdgeCases) {
  TRecordingCanvas c(10, 10);
  c.Brush().Color = clRed;
  c.FillRect(Rect(0, 0, 10, 10));
  c.ClearCalls();
  DrawGradientArea(c, Rect(3, 3, 3, 8), TGradientDirection::gdDiagonalUp, clBlack, clWhite, 1);
  DrawGradientArea(c, Rect(0, 0, 0, 0), TGradientDirection::gdDiagonalDown, clBlack, clWhite, 1);
  EXPECT_TRUE(c.Calls().empty());
  DrawGradientArea(c, Rect(0, 0, 10, 10), TGradientDirection::gdDiagonalDown, clBlue, clBlue, 1);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(c.Pixel(i, 9 - i), clBlue);
  DrawGradientArea(c, Rect(0, 0, 10, 10), TGradientDirection::gdDiagonalDown, clBlack, clWhite, 1);
  EXPECT_LT(GetRValue(c.Pixel(0, 0)), GetRValue(c.Pixel(9, 9)));
  // Boxes are symmetric about the centre.
  DrawGradientArea(c, Rect(0, 0, 10, 10), TGradientDirection::gdBigSquareBox, clBlack, clWhite, 1);
  EXPECT_EQ(c.Pixel(1, 2), c.Pixel(8, 2));
  EXPECT_EQ(c.Pixel(1, 2), c.Pixel(1, 7));
  EXPECT_EQ(c.Pixel(4, 4), clWhite);  // the centre band has the stop colour
  EXPECT_LT(GetRValue(c.Pixel(0, 0)), GetRValue(c.Pixel(3, 3)));

  TFont f;
  EXPECT_EQ(CreateAngledFont(f, 90).Orientation(), 900);
  EXPECT_GE(AverageCharWidth(f), 1);
  TFont tiny;
  tiny.SetHeight(-1);
  EXPECT_GE(AverageCharWidth(tiny), 1);
  EXPECT_EQ(CountChars('a', "banana"), 3);
}

TEST(Gradients, TransparentStretchLeavesTheKeyColourUnpainted) {
  TBitmap glyph(2, 2);
  glyph.Canvas().Brush().Color = clLime;
  glyph.Canvas().FillRect(Rect(0, 0, 2, 2));
  glyph.SetPixel(1, 1, clRed);
  TRecordingCanvas c(4, 4);
  c.Brush().Color = clBlue;
  c.FillRect(Rect(0, 0, 4, 4));
  DrawTransparentStretched(c, glyph, Rect(0, 0, 4, 4), Rect(0, 0, 2, 2), clLime);
  EXPECT_EQ(c.Pixel(0, 0), clBlue);
  EXPECT_EQ(c.Pixel(3, 3), clRed);
  EXPECT_EQ(c.Pixel(2, 2), clRed);

  TRecordingCanvas t(5, 3);
  TileGraphic(t, glyph, Rect(0, 0, 5, 3));
  EXPECT_EQ(t.Pixel(3, 1), clRed);
  EXPECT_EQ(t.Pixel(4, 2), clLime);
}

TEST(Gradients, ParentBackgroundIsPaintedUnderTheControl) {
  TForm form(nullptr);
  form.SetColor(clRed);
  auto* child = new TCustomControl(&form);
  child->SetParent(&form);
  child->SetBounds(5, 5, 4, 4);
  TRecordingCanvas c(4, 4);
  PaintParentBackground(child, c, true);
  EXPECT_EQ(c.Pixel(0, 0), clRed);
  ASSERT_FALSE(c.Calls().empty());
  EXPECT_EQ(c.Calls()[0].Rect, form.ClientRect());
  TCustomControl orphan(nullptr);
  TRecordingCanvas d(4, 4);
  PaintParentBackground(&orphan, d, true);
  EXPECT_TRUE(d.Calls().empty());
}

TEST(Gradients, LongDiagonalStripIsTheShortOneStretched) {
  // A long strip multiplies its width by the step number, past the range of int.
  auto samples = [](int w) {
    TRecordingCanvas c(w, 1);
    DrawGradientArea(c, Rect(0, 0, w, 1), TGradientDirection::gdDiagonalDown, clBlack, clWhite, 1);
    std::vector<int> reds;
    for (int eighth = 0; eighth <= 8; ++eighth) reds.push_back(GetRValue(c.Pixel(std::min(w - 1, w * eighth / 8), 0)));
    return reds;
  };
  std::vector<int> shorter = samples(3000), longer = samples(33000);
  ASSERT_EQ(shorter.size(), longer.size());
  for (size_t i = 0; i < shorter.size(); ++i) EXPECT_NEAR(longer[i], shorter[i], 1) << "at eighth " << i;
  EXPECT_LT(longer.front(), longer.back());
}

}  // namespace
}  // namespace qv
