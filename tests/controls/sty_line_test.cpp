#include "controls/sty_line.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

Log Painted(TControl& c) {
  TRecordingCanvas canvas(c.Width(), c.Height());
  c.PaintTo(canvas, 0, 0);
  return DrawLog(canvas);
}

TEST(StyLine, EndPointsFollowTheMarginWhichFollowsArrowLengthOnlyOnceChanged) {
  TStyLine line(nullptr);
  line.SetBounds(0, 0, 100, 20);
  EXPECT_EQ(Painted(line), (Log{"line wintext 10,10-90,10"}));
  line.SetArrowLength(12);
  line.SetArrowLength(10);
  EXPECT_EQ(Painted(line), (Log{"line wintext 5,5-95,15"}));
  line.SetLineSlope(TStyLineSlope::lsUp);
  EXPECT_EQ(line.StartPoint(), Point(5, 15));
  EXPECT_EQ(line.EndPoint(), Point(95, 5));
  // Smaller than twice the margin: enlarged.
  line.SetBounds(0, 0, 4, 7);
  EXPECT_EQ(line.BoundsRect(), Rect(0, 0, 10, 10));
  line.SetArrowLength(-6);
  EXPECT_EQ(line.Margin(), 0);
}

TEST(StyLine, ArrowheadsSitAtTheEndsAndPointOutwards) {
  TStyLine line(nullptr);
  line.SetBounds(0, 0, 100, 20);
  line.SetShowArrows(TStyShowArrows::saBoth);
  line.SetLineColor(clBlack);
  // Horizontal: the line stops 5 inside each tip; wings at 22.5 degrees, 10 long.
  EXPECT_EQ(Painted(line), (Log{"line black 15,10-85,10", "polygon black outlined 10,10 19,14 19,6",
                                "polygon black outlined 90,10 81,6 81,14"}));
  // A new line 20 wide is vertical; rising, it runs from the bottom up with outward arrowheads.
  TStyLine up(nullptr);
  up.SetBounds(0, 0, 20, 60);
  up.SetLineSlope(TStyLineSlope::lsUp);
  up.SetShowArrows(TStyShowArrows::saStart);
  up.SetLineColor(clBlack);
  EXPECT_EQ(Painted(up), (Log{"line black 10,45-10,10", "polygon black outlined 10,50 14,41 6,41"}));
}

TEST(StyLine, WidthStaysOddAndPositiveWithArrows) {
  TStyLine line(nullptr);
  line.SetShowArrows(TStyShowArrows::saEnd);
  struct Case {
    int from, to, stored;
  } cases[] = {{1, 2, 3}, {3, 2, 1}, {1, 0, 1}, {1, 5, 5}};
  for (const Case& c : cases) {
    line.SetShowArrows(TStyShowArrows::saNone);
    line.SetLineWidth(c.from);
    line.SetShowArrows(TStyShowArrows::saEnd);
    line.SetLineWidth(c.to);
    EXPECT_EQ(line.LineWidth(), c.stored) << c.from << "->" << c.to;
  }
  line.SetShowArrows(TStyShowArrows::saNone);
  line.SetLineWidth(2);
  EXPECT_EQ(line.LineWidth(), 2);
}

TEST(StyLine, OnlyPointsNearTheLineHitTheControl) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* line = new TStyLine(&form);
  line->SetBounds(10, 10, 100, 20);
  line->SetParent(&form);
  auto hit = [&](int x, int y) { return form.ControlAtPos(Point(10 + x, 10 + y)) == line; };
  EXPECT_TRUE(hit(50, 10));
  EXPECT_TRUE(hit(50, 13));
  EXPECT_FALSE(hit(50, 14));  // the band is 2 x 4 pixels inside the margin
  EXPECT_FALSE(hit(50, 0));   // 10 pixels off
  EXPECT_FALSE(hit(3, 10));   // beyond the end
  // At 45 degrees the band still lies across the line, falling or rising.
  line->SetBounds(10, 10, 100, 100);  // from (10, 10) to (90, 90)
  EXPECT_TRUE(hit(50, 50));
  EXPECT_TRUE(hit(50, 56));
  EXPECT_FALSE(hit(50, 60));
  line->SetLineSlope(TStyLineSlope::lsUp);  // from (10, 90) to (90, 10)
  EXPECT_TRUE(hit(50, 44));
  EXPECT_FALSE(hit(50, 40));
  line->SetBounds(10, 10, 20, 100);  // vertical at x = 10
  EXPECT_TRUE(hit(13, 50));
  EXPECT_FALSE(hit(15, 50));
}

}  // namespace
}  // namespace qv
