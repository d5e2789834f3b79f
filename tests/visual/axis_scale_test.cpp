#include "visual/axis_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "platform/gui/forms.h"

namespace qv {
namespace {

TDtStamp At(uint16_t day, int h, int m, int s = 0) { return TDtStamp{day, h * 3600 + m * 60 + s}; }

class AxisScaleTest : public ::testing::Test {
protected:
  AxisScaleTest() { InitializeGui(); }
};

TEST_F(AxisScaleTest, NumericStepsFollowTheRoomForLabels) {
  struct Case {
    double upper, lower;
    int length;
    double major;
  } cases[] = {
      {65, -35, 200, -10},        // 14 labels of 14 px: 100 / 14 = 7.1 -> 10, negative downwards
      {80, 20, 200, -5},          // 60 / 14 = 4.3 -> 5
      {1, 0, 100, -0.2},          // 7 labels: 0.14 -> 0.2
      {65, -35, 10, -101},        // no room: one step longer than the range
      {1e-30, 0, 200, -1e-25},    // the search starts at its smallest decade
      {1e38, -1e38, 200, -1e21},  // the search ends at its largest decade
  };
  for (const Case& c : cases) {
    TAxisScale axis(nullptr, 2, 1, c.upper, c.lower, 0, nullptr);
    axis.SetBounds(0, 0, 30, c.length);
    // The decades are products of 10, so compare relatively.
    EXPECT_NEAR(axis.MajorStep() / c.major, 1.0, 1e-9) << c.upper << ".." << c.lower;
  }
}

TEST_F(AxisScaleTest, ValueToPixelAtTheEdgesAndBeyond) {
  TAxisScale left(nullptr, 2, 1, 65, -35, 0, nullptr);
  left.SetBounds(0, 0, 30, 200);
  EXPECT_EQ(left.ValueToPixel(65), 0);
  EXPECT_EQ(left.ValueToPixel(-35), 200);
  EXPECT_EQ(left.ValueToPixel(15), 100);
  EXPECT_EQ(left.ValueToPixel(1e30), -10000);
  EXPECT_EQ(left.ValueToPixel(-1e30), 10000);
  EXPECT_DOUBLE_EQ(left.PixelToValue(100), 15);
  TAxisScale flat(nullptr, 2, 1, 5, 5, 0, nullptr);
  flat.SetBounds(0, 0, 30, 200);
  EXPECT_EQ(flat.ValueToPixel(5), 0);
  EXPECT_EQ(flat.ValueToPixel(1e38), 0);
  TAxisScale bottom(nullptr, 2, 1, 100, 0, 3, nullptr);
  bottom.SetBounds(0, 0, 500, 20);
  EXPECT_EQ(bottom.ValueToPixel(0), 0);
  EXPECT_EQ(bottom.ValueToPixel(100), 500);
}

// The pixel rounding equals nearbyint with the limits, halves and NaN included.
TEST(RoundAxisPixelTest, RoundsAsNearbyintWithinTheLimits) {
  const double cases[] = {0.0,     -0.0,     0.5,      1.5,    2.5,     -0.5,    -1.5,
                          -2.5,    0.49999,  0.500001, 9999.5, -9999.5, 10000.0, -10000.0,
                          10000.4, -10000.4, 1e300,    -1e300, 1e-300,  12.25,   std::nextafter(0.5, 0.0)};
  for (double p : cases) {
    const double expect = std::max(-10000.0, std::min(10000.0, std::nearbyint(p)));
    EXPECT_EQ(RoundAxisPixel(p), static_cast<int>(expect)) << p;
  }
  EXPECT_EQ(RoundAxisPixel(std::nan("")), 0);
  EXPECT_EQ(RoundAxisPixel(std::numeric_limits<double>::infinity()), kAxisPixelLimit);
  EXPECT_EQ(RoundAxisPixel(-std::numeric_limits<double>::infinity()), -kAxisPixelLimit);
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> any(-10000.0, 10000.0);
  for (int i = 0; i < 100000; ++i) {
    const double p = i % 2 ? any(rng) : std::floor(any(rng)) + 0.5;
    ASSERT_EQ(RoundAxisPixel(p), static_cast<int>(std::nearbyint(p))) << p;
  }
}

TEST_F(AxisScaleTest, SlaveReadsItsMasterAndASlaveCannotLead) {
  TAxisScale master(nullptr, 2, 1, 100, 0, 0, nullptr);
  master.SetBounds(0, 0, 30, 300);
  TAxisScale slave(nullptr, 2, 1, 5, 1, 1, &master);
  EXPECT_EQ(slave.StartValue(), 100);
  EXPECT_EQ(slave.AxisLength(), 300);
  EXPECT_EQ(slave.MajorStep(), master.MajorStep());
  TAxisScale third(nullptr, 2, 1, 5, 1, 1, nullptr);
  try {
    third.SetMaster(&slave);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TAxisScale.SetMaster: Master-Axis is a Slave");
  }
  EXPECT_FALSE(third.IsSlave());
}

// Painting ends and stays within the strip for every range, however degenerate.
TEST_F(AxisScaleTest, PaintingEndsForDegenerateRanges) {
  const double ranges[][2] = {{5, 5}, {1.5e38, -1.5e38}, {1e-30, 0}, {1e30, 0}, {-1e38, -1.4e38}, {65, -35}};
  for (const auto& r : ranges) {
    TAxisScale axis(nullptr, 2, 1, r[0], r[1], 0, nullptr);
    axis.SetBounds(0, 0, 30, 200);
    TRecordingCanvas canvas(30, 200);
    canvas.StartRecording();
    axis.PaintTo(canvas, 0, 0);
    EXPECT_GE(canvas.Calls().size(), 1u) << r[0];
    EXPECT_LE(canvas.Calls().size(), 2000u) << r[0];
    for (const TCanvasCall& call : canvas.Calls())
      for (const TPoint& p : call.Points) EXPECT_TRUE(p.Y >= 0 && p.Y <= 200) << r[0];
  }
  // With zero inside, the first tick is at zero and wide.
  TAxisScale axis(nullptr, 3, 1, 65, -35, 0, nullptr);
  axis.SetBounds(0, 0, 30, 200);
  TRecordingCanvas canvas(30, 200);
  canvas.StartRecording();
  axis.PaintTo(canvas, 0, 0);
  ASSERT_FALSE(canvas.Calls().empty());
  EXPECT_EQ(canvas.Calls()[0].Points[0].Y, 130);
  EXPECT_EQ(canvas.Calls()[0].Pen.Width, 3);
}

TEST_F(AxisScaleTest, TimeStepsPerZoomLevel) {
  struct Case {
    TDtStamp start, stop;
    int length;
    int level;
    int months, days, secs;
    TDtStamp first;
  } cases[] = {
      // 48 hours on 600 px: labels of 36 px, 16 of them, 3 h steps from midnight.
      {At(40000, 6, 0), At(40002, 6, 0), 600, 6, 0, 0, 10800, At(40000, 0, 0)},
      // A year: monthly ticks from the 1st of the start month (day 40000 is 7 July 2009).
      {At(40000, 0, 0), At(40365, 0, 0), 600, 1, 1, 0, 0, TDtStamp{DateToDayNo(1, 7, 2009), 0}},
      // A week: labels of 18 px, 33 of them, 6 h steps.
      {At(40000, 0, 0), At(40007, 0, 0), 600, 5, 0, 0, 21600, At(40000, 0, 0)},
      // A minute: labels of 54 px, 11 of them, 10 s steps from the start.
      {At(40000, 10, 3, 7), At(40000, 10, 4, 7), 600, 13, 0, 0, 10, At(40000, 10, 3, 7)},
      // Too short for a label: one tick after the middle of the interval.
      {At(40000, 10, 20), At(40000, 10, 40), 10, -1, 0, 0, 1201, At(40000, 10, 31)},
  };
  for (const Case& c : cases) {
    TDtAxisScale axis(nullptr, 2, 1, c.start, c.stop, 3, nullptr);
    axis.SetBounds(0, 0, c.length, 20);
    if (c.level >= 0) {
      EXPECT_EQ(axis.ZoomLevel(), c.level);
    }
    EXPECT_EQ(axis.MajMonths(), c.months) << c.length << " " << int(axis.ZoomLevel());
    EXPECT_EQ(axis.MajDays(), c.days) << int(axis.ZoomLevel());
    EXPECT_EQ(axis.MajSecs(), c.secs) << int(axis.ZoomLevel());
    EXPECT_TRUE(DtStampEqual(axis.FirstTick(), c.first)) << axis.FirstTick().Date << " " << axis.FirstTick().Time;
  }
}

TEST_F(AxisScaleTest, TimeMappingAndInvalidIntervals) {
  TDtAxisScale axis(nullptr, 2, 1, At(40000, 0, 0), At(40001, 0, 0), 3, nullptr);
  axis.SetBounds(0, 0, 480, 20);
  EXPECT_EQ(axis.DtToPixel(At(40000, 12, 0)), 240);
  EXPECT_EQ(axis.DtToPixel(At(41000, 0, 0)), 10000);
  TDtStamp t;
  axis.PixelToDt(240, t);
  EXPECT_TRUE(DtStampEqual(t, At(40000, 12, 0)));
  axis.PixelToDt(-50, t);  // taken as pixel 0
  EXPECT_TRUE(DtStampEqual(t, At(40000, 0, 0)));
  axis.SetInterval(At(40001, 0, 0), At(40000, 0, 0));
  EXPECT_TRUE(DtStampEqual(axis.StartDt(), TDtStamp{0, 0}));
  EXPECT_TRUE(DtStampEqual(axis.StopDt(), TDtStamp{0, 86398}));
  EXPECT_EQ(axis.ZoomLevel(), 7);
  // Near the calendar's end the tick walk stops when a step no longer moves the stamp.
  axis.SetInterval(TDtStamp{LastDayNo - 400, 0}, TDtStamp{LastDayNo, 86399});
  TRecordingCanvas canvas(480, 20);
  canvas.StartRecording();
  axis.PaintTo(canvas, 0, 0);
  EXPECT_LT(canvas.Calls().size(), 2000u);
}

}  // namespace
}  // namespace qv
