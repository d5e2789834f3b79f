#include "controls/frame_paint.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

constexpr TSides kLeft = SideBit(TSide::sdLeft), kTop = SideBit(TSide::sdTop), kRight = SideBit(TSide::sdRight),
                 kBottom = SideBit(TSide::sdBottom);

TEST(FramePaint, ShadesOnThe240Scale) {
  uint8_t h, s, l;
  ColorToHueZivLum(clRed, h, s, l);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 240);
  EXPECT_EQ(l, 120);
  ColorToHueZivLum(clBtnFace, h, s, l);  // resolved through the system colours
  EXPECT_EQ(h, 27);
  EXPECT_EQ(s, 29);
  EXPECT_EQ(l, 194);
  struct Case {
    TColor got, want;
  } cases[] = {
      {HueZivLumToColor(0, 0, 240), clWhite},
      {HueZivLumToColor(0, 240, 120), clRed},
      // The hue is divided by 239: pure blue comes back with a little red.
      {HueZivLumToColor(160, 240, 120), RGB(4, 0, 255)},
      {HueZivLumToColor(239, 240, 120), clRed},  // sextant 6 drawn as 0
      {LightenColor(clWhite, 100), clWhite},
      {DarkenColor(clBlack, 50), clBlack},
      {DarkenColor(clBtnFace, 50), RGB(165, 157, 141)},
      {ShiftColor(clBtnFace, -50), RGB(165, 157, 141)},
      {ShiftColor(clBtnFace, 0), clBtnFace},  // unchanged, still a system colour
      {MixColors(clWhite, clBlack, 128), RGB(128, 128, 128)},
      {MixColors(clRed, clBlue, 255), clRed},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
  EXPECT_TRUE(ColorsAlike(RGB(200, 0, 0), RGB(180, 0, 0)));
  EXPECT_FALSE(ColorsAlike(clBtnFace, clSilver));  // hues 27 apart
  EXPECT_FALSE(ColorsAlike(clWhite, clBlack));
  EXPECT_EQ(CenteredRect(Rect(0, 0, 10, 10), 3, 3), Rect(3, 3, 6, 6));
  EXPECT_EQ(CenteredRect(Rect(-5, 0, 0, 10), 2, 2), Rect(-3, 4, -1, 6));  // division truncates toward zero
}

TEST(FramePaint, FrameStylesOnChosenSides) {
  struct Case {
    TFrameStyle style;
    TSides sides;
    Log log;
    TRect inside;
  } cases[] = {
      {TFrameStyleEx::fsNone, sdAllSides, {}, Rect(0, 0, 10, 8)},
      {TFrameStyleEx::fsFlat, kTop, {"line dkshadow 0,0-10,0"}, Rect(0, 1, 10, 8)},
      {TFrameStyleEx::fsStatus, kLeft | kBottom, {"line shadow 0,0-0,8", "line hilite 0,7-10,7"}, Rect(1, 0, 10, 7)},
      {TFrameStyleEx::fsRaised,
       sdAllSides,
       {"line light 0,0-0,8", "line light 0,0-10,0", "line dkshadow 9,0-9,8", "line dkshadow 0,7-10,7",
        "line hilite 1,1-1,7", "line hilite 1,1-9,1", "line shadow 8,1-8,7", "line shadow 1,6-9,6"},
       Rect(2, 2, 8, 6)},
      {TFrameStyleEx::fsFlatBold, kRight, {"line shadow 9,0-9,8", "line shadow 8,0-8,8"}, Rect(0, 0, 8, 8)},
      // Etched with the top only: corner pixels first, then the two lines.
      {TFrameStyleEx::fsGroove,
       kTop,
       {"pixel shadow 9,0", "pixel hilite 0,1", "line hilite 1,1-10,1", "line shadow 0,0-9,0"},
       Rect(0, 2, 10, 8)},
      {TFrameStyleEx::fsBump,
       sdAllSides,
       {"pixel shadow 9,0", "pixel shadow 0,7", "line shadow 1,1-1,8", "line shadow 1,1-10,1", "line shadow 9,1-9,8",
        "line shadow 1,7-10,7", "line hilite 0,0-0,7", "line hilite 0,0-9,0", "line hilite 8,0-8,7",
        "line hilite 0,6-9,6"},
       Rect(2, 2, 8, 6)},
  };
  for (const Case& c : cases) {
    TRecordingCanvas canvas(10, 8);
    TRect inside = PaintFrameSides(canvas, Rect(0, 0, 10, 8), c.style, c.sides);
    EXPECT_EQ(DrawLog(canvas), c.log) << static_cast<int>(c.style);
    EXPECT_EQ(inside, c.inside) << static_cast<int>(c.style);
  }
}

TEST(FramePaint, SidesWithoutAColourStillShrinkTheResult) {
  TRecordingCanvas canvas(10, 8);
  TRect inside = PaintSides(canvas, Rect(0, 0, 10, 8), clNone, sdAllSides, clBtnShadow);
  EXPECT_EQ(DrawLog(canvas), (Log{"line shadow 9,0-9,8", "line shadow 0,7-10,7"}));
  EXPECT_EQ(inside, Rect(1, 1, 9, 7));
}

TEST(FramePaint, ColourFramesShadeTheFaceColour) {
  TRecordingCanvas canvas(10, 8);
  PaintColorFrameSides(canvas, Rect(0, 0, 10, 8), clBtnFace, kLeft | kRight, TFrameStyleEx::fsStatus);
  std::string dark = test::ColorName(DarkenColor(clBtnFace, 50)), light = test::ColorName(LightenColor(clBtnFace, 100));
  EXPECT_EQ(DrawLog(canvas), (Log{test::Cat({"line ", dark, " 0,0-0,8"}), test::Cat({"line ", light, " 9,0-9,8"})}));
}

TEST(FramePaint, RoundedFlatFrameShortensSidesAtDrawnCorners) {
  TRecordingCanvas a(10, 8);
  EXPECT_EQ(PaintRoundedFlatFrame(a, Rect(0, 0, 10, 8), clBlack, kLeft), Rect(2, 0, 10, 8));
  EXPECT_EQ(DrawLog(a), (Log{"line black 0,0-0,8"}));
  TRecordingCanvas b(10, 8);
  PaintRoundedFlatFrame(b, Rect(0, 0, 10, 8), clBlack, kLeft | kTop);
  EXPECT_EQ(DrawLog(b), (Log{"line black 0,2-0,8", "line black 2,0-10,0", "pixel black 1,1"}));
}

TEST(FramePaint, ControlBordersGoFromTheOutsideIn) {
  TRecordingCanvas none(10, 8);
  EXPECT_EQ(PaintControlBorders(none, Rect(0, 0, 10, 8), TFrameStyleEx::fsNone, TFrameStyleEx::fsNone, 0, sdAllSides, 1,
                                clBtnFace, clBtnHighlight, clBtnShadow, clBtnShadow, 30, clBtnFace, clBtnFace, false),
            Rect(0, 0, 10, 8));
  EXPECT_TRUE(none.Calls().empty());

  TRecordingCanvas c(10, 8);
  TRect inside = PaintControlBorders(c, Rect(0, 0, 10, 8), TFrameStyleEx::fsStatus, TFrameStyleEx::fsFlat, 1, kTop, 2,
                                     clRed, clLime, clBlue, clBlack, 0, clWhite, clWhite, false);
  // Status rings in the shadow colour (blue), the border width in red, the flat inner frame.
  EXPECT_EQ(DrawLog(c),
            (Log{"line #FF0000 0,0-10,0", "line #FF0000 0,1-10,1", "line #0000FF 0,2-10,2", "line black 0,3-10,3"}));
  EXPECT_EQ(inside, Rect(0, 4, 10, 8));
}

TEST(FramePaint, EditFrameCoversThePlatformBorderFirst) {
  TRecordingCanvas c(6, 5);
  TRect inside = PaintEditFrame(c, 6, 5, TFrameStyleEx::fsFlat, clWindow, clBtnShadow, kTop);
  Log log = DrawLog(c);
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log[0], "line window 0,0-0,5");
  // The frame lies on the outer edge, where the platform's border was: inside is the client area.
  EXPECT_EQ(log[8], "line shadow 0,0-6,0");
  EXPECT_EQ(inside, Rect(0, 1, 6, 5));
}

TEST(FramePaint, ArrowsAndTheirCanvasState) {
  TRecordingCanvas c(17, 20);
  c.Brush().Color = clLime;
  PaintDropDownArrow(c, Rect(0, 0, 17, 20), false, false, true);
  EXPECT_EQ(DrawLog(c), (Log{"polygon black 8,11 5,7 12,7"}));
  EXPECT_EQ(c.Brush().Color, clLime);
  EXPECT_EQ(c.Pen().Style, TPenStyle::psSolid);
  struct Case {
    int direction;
    bool down, enabled;
    std::string polygon;
  } cases[] = {
      {0, false, true, "polygon black 8,6 12,11 4,11"},
      {1, true, true, "polygon black 9,13 6,9 13,9"},
      {2, true, false, "polygon shadow 6,9 10,5 10,13"},  // down only counts when enabled
      {3, false, true, "polygon black 10,9 6,13 6,5"},
  };
  for (const Case& k : cases) {
    TRecordingCanvas d(17, 20);
    PaintDirectionArrow(d, Rect(0, 0, 17, 20), false, k.direction, k.down, k.enabled);
    EXPECT_EQ(DrawLog(d), (Log{k.polygon})) << k.direction;
  }
  TRecordingCanvas e(17, 20);
  e.Pen().Style = TPenStyle::psDot;
  PaintDirectionArrow(e, Rect(0, 0, 17, 20), false, 7, false, true);
  EXPECT_TRUE(e.Calls().empty());
  EXPECT_EQ(e.Pen().Style, TPenStyle::psSolid);
}

TEST(FramePaint, DottedFocusFrameStaysBlackWhenPaintedTwice) {
  TRecordingCanvas c(6, 6);
  c.Brush().Color = clWhite;
  c.FillRect(Rect(0, 0, 6, 6));
  EXPECT_EQ(PaintDottedFocusFrame(c, Rect(0, 0, 6, 6)), Rect(1, 1, 5, 5));
  PaintDottedFocusFrame(c, Rect(0, 0, 6, 6));
  EXPECT_EQ(c.Pixel(0, 1), clBlack);
  EXPECT_EQ(c.Pixel(0, 2), clWhite);
  EXPECT_EQ(c.Pixel(3, 5), clBlack);
  EXPECT_EQ(c.Pixel(5, 3), clBlack);
}

}  // namespace
}  // namespace qv
