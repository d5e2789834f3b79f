#include "platform/gui/graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(Graphics, SystemColoursResolveThroughTheClassicTable) {
  struct Case {
    TColor in, out;
  } cases[] = {{clBtnFace, RGB(212, 208, 200)},
               {clBtnShadow, RGB(128, 128, 128)},
               {clBtnHighlight, clWhite},
               {cl3DDkShadow, RGB(64, 64, 64)},
               {clWindow, clWhite},
               {RGB(1, 2, 3), RGB(1, 2, 3)}};
  for (const Case& c : cases) EXPECT_EQ(ColorToRGB(c.in), c.out) << std::hex << c.in;
  EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
  EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(Graphics, LinesLeaveOutTheirEndPointAndFillsAreHalfOpen) {
  TRecordingCanvas c(10, 10);
  c.Brush().Color = clWhite;
  c.FillRect(Rect(0, 0, 10, 10));
  c.Pen().Color = clRed;
  c.MoveTo(1, 1);
  c.LineTo(5, 1);
  EXPECT_EQ(c.Pixel(1, 1), clRed);
  EXPECT_EQ(c.Pixel(4, 1), clRed);
  EXPECT_EQ(c.Pixel(5, 1), clWhite);
  c.Brush().Color = clBlue;
  c.FillRect(Rect(2, 3, 4, 5));
  EXPECT_EQ(c.Pixel(2, 3), clBlue);
  EXPECT_EQ(c.Pixel(3, 4), clBlue);
  EXPECT_EQ(c.Pixel(4, 4), clWhite);
  EXPECT_EQ(c.Pixel(3, 5), clWhite);
  // An inverted rectangle is empty.
  c.FillRect(Rect(8, 8, 6, 9));
  EXPECT_EQ(c.Pixel(7, 8), clWhite);
  ASSERT_EQ(c.Calls().size(), 4u);
  EXPECT_EQ(c.Calls()[1].Op, "Line");
  EXPECT_EQ(c.Calls()[1].Pen.Color, clRed);
  EXPECT_EQ(c.Calls()[1].Points, (std::vector<TPoint>{{1, 1}, {5, 1}}));
}

// One-pixel lines of every style, in every direction, set the pixels of their pattern's on runs
// along the line and no others; an xor pen drawn twice leaves the background, so each pixel is
// set once.
TEST(Graphics, OnePixelLinesFollowTheirStylesPatternInEveryDirection) {
  struct Style {
    TPenStyle style;
    std::vector<int> runs;  // on, off, on, off ...
  } styles[] = {{TPenStyle::psSolid, {}},
                {TPenStyle::psDot, {3, 3}},
                {TPenStyle::psDash, {18, 6}},
                {TPenStyle::psDashDot, {9, 6, 3, 6}},
                {TPenStyle::psDashDotDot, {9, 3, 3, 3, 3, 3}}};
  struct Line {
    int x1, y1, x2, y2;
  } lines[] = {{2, 5, 57, 5}, {57, 9, 2, 9}, {5, 2, 5, 57}, {9, 57, 9, 2}, {2, 2, 50, 50}, {50, 12, 12, 50}};
  for (const Style& st : styles)
    for (const Line& l : lines) {
      TRecordingCanvas c(60, 60);
      c.Brush().Color = clWhite;
      c.FillRect(Rect(0, 0, 60, 60));
      c.Pen().Color = clRed;
      c.Pen().Style = st.style;
      c.MoveTo(l.x1, l.y1);
      c.LineTo(l.x2, l.y2);
      const int steps = std::max(std::abs(l.x2 - l.x1), std::abs(l.y2 - l.y1));
      const int dx = (l.x2 > l.x1) - (l.x2 < l.x1), dy = (l.y2 > l.y1) - (l.y2 < l.y1);
      std::vector<std::vector<bool>> on(60, std::vector<bool>(60, false));
      size_t run = 0;
      int left = st.runs.empty() ? 0 : st.runs[0];
      for (int k = 0; k < steps; ++k) {
        if (st.runs.empty() || run % 2 == 0)
          on[static_cast<size_t>(l.x1 + k * dx)][static_cast<size_t>(l.y1 + k * dy)] = true;
        if (!st.runs.empty() && --left == 0) {
          run = (run + 1) % st.runs.size();
          left = st.runs[run];
        }
      }
      int wrong = 0;
      for (int x = 0; x < 60; ++x)
        for (int y = 0; y < 60; ++y)
          wrong += c.Pixel(x, y) != (on[static_cast<size_t>(x)][static_cast<size_t>(y)] ? clRed : clWhite);
      EXPECT_EQ(wrong, 0) << static_cast<int>(st.style) << " from " << l.x1 << "," << l.y1 << " to " << l.x2 << ","
                          << l.y2;
      c.Pen().Mode = TPenMode::pmXor;
      c.Pen().Color = clWhite;
      c.MoveTo(l.x1, l.y1);
      c.LineTo(l.x2, l.y2);
      c.Pen().Color = clRed;
      c.MoveTo(l.x1, l.y1);
      c.LineTo(l.x2, l.y2);
      c.MoveTo(l.x1, l.y1);
      c.LineTo(l.x2, l.y2);
      wrong = 0;
      for (int x = 0; x < 60; ++x)
        for (int y = 0; y < 60; ++y)
          wrong += c.Pixel(x, y) != (on[static_cast<size_t>(x)][static_cast<size_t>(y)] ? RGB(0, 255, 255) : clWhite);
      EXPECT_EQ(wrong, 0) << "xor " << static_cast<int>(st.style);
    }
}

TEST(Graphics, OriginAndClipStateAreSavedAndRestored) {
  TRecordingCanvas c(10, 10);
  c.Brush().Color = clWhite;
  c.FillRect(Rect(0, 0, 10, 10));
  c.SaveState();
  c.MoveOrigin(2, 2);
  c.IntersectClipRect(Rect(0, 0, 3, 3));
  c.SetPixel(0, 0, clRed);  // device (2, 2)
  c.SetPixel(4, 4, clRed);  // outside the clip
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 3, 3));
  c.RestoreState();
  EXPECT_EQ(c.Pixel(2, 2), clRed);
  EXPECT_EQ(c.Pixel(6, 6), clWhite);
  c.ExcludeClipRect(Rect(0, 0, 5, 10));
  c.Brush().Color = clBlack;
  c.FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(c.Pixel(4, 0), clWhite);
  EXPECT_EQ(c.Pixel(5, 0), clBlack);
}

TEST(Graphics, PolygonFillsWithTheBrushAndNoOutlineWithAClearPen) {
  TRecordingCanvas c(12, 12);
  c.Brush().Color = clWhite;
  c.FillRect(Rect(0, 0, 12, 12));
  c.Brush().Color = clBlack;
  c.Pen().Style = TPenStyle::psClear;
  c.Polygon({{2, 2}, {10, 2}, {10, 10}, {2, 10}});
  EXPECT_EQ(c.Pixel(2, 2), clBlack);
  EXPECT_EQ(c.Pixel(9, 9), clBlack);
  EXPECT_EQ(c.Pixel(10, 10), clWhite);
}

TEST(Graphics, BitmapRoundTripsThroughBmpAndDrawsTransparent) {
  test::TempDir dir;
  TBitmap b(4, 3);
  b.Canvas().Brush().Color = clLime;
  b.Canvas().FillRect(Rect(0, 0, 4, 3));
  b.SetPixel(1, 1, clRed);
  b.SaveToFile(dir.File("a.bmp"));
  TBitmap loaded;
  loaded.LoadFromFile(dir.File("a.bmp"));
  ASSERT_EQ(loaded.Width(), 4);
  ASSERT_EQ(loaded.Height(), 3);
  EXPECT_EQ(loaded.Pixel(1, 1), clRed);
  EXPECT_EQ(loaded.Pixel(0, 0), clLime);
  EXPECT_THROW(loaded.LoadFromFile(dir.File("missing.bmp")), EInvalidGraphic);

  // The bottom-left pixel names the transparent colour.
  loaded.SetTransparent(true);
  EXPECT_EQ(loaded.TransparentColor(), clLime);
  TRecordingCanvas c(6, 6);
  c.Brush().Color = clBlue;
  c.FillRect(Rect(0, 0, 6, 6));
  c.Draw(1, 1, loaded);
  EXPECT_EQ(c.Pixel(2, 2), clRed);
  EXPECT_EQ(c.Pixel(1, 1), clBlue);
}

TEST(Graphics, MirroredCopyRunsBackwardsFromItsStartPoint) {
  TRecordingCanvas src(4, 1);
  src.SetPixel(0, 0, clRed);
  src.SetPixel(1, 0, clLime);
  src.SetPixel(2, 0, clBlue);
  src.SetPixel(3, 0, clBlack);
  TRecordingCanvas dst(4, 1);
  dst.CopyRect(Rect(3, 0, -1, 1), src, Rect(0, 0, 4, 1));
  EXPECT_EQ(dst.Pixel(3, 0), clRed);
  EXPECT_EQ(dst.Pixel(0, 0), clBlack);
}

TEST(Graphics, TextIsMeasuredInTheFontsPixelSize) {
  TRecordingCanvas c(100, 30);
  int small = c.TextHeight("Pp");
  c.Font().SetSize(16);
  EXPECT_GT(c.TextHeight("Pp"), small);
  EXPECT_GT(c.TextWidth("Hello"), c.TextWidth("Hi"));
  TRect r = Rect(0, 0, 1000, 0);
  c.DrawText("Hello", r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.Width(), c.TextWidth("Hello"));
  EXPECT_EQ(r.Height(), c.TextHeight("Hello"));
}

}  // namespace
}  // namespace qv
