#include "base/timer2.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/dt_stamp.h"

namespace qv {
namespace {

constexpr uint32_t kWrap = 0xFFFFFFFFu;

TDateTime At(int h, int n, int s, int ms = 0) { return EncodeDate(2024, 3, 5) + EncodeTime(h, n, s, ms); }

// Compares date-times to the millisecond.
::testing::AssertionResult SameMoment(TDateTime a, TDateTime b) {
  if (std::llround(a * MSecsPerDay) == std::llround(b * MSecsPerDay)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << FormatDateTime("hh:nn:ss.zzz", a)
                                       << " != " << FormatDateTime("hh:nn:ss.zzz", b);
}

TEST(Timer2, RunsAcrossTheTickWrap) {
  TFixedTicks ticks(kWrap - 295);  // 296 ms before the counter wraps
  TFixedClock clock(At(12, 0, 0));
  TTimer2 timer(1000, ticks, clock);
  EXPECT_EQ(timer.Due(), 704u);
  struct Case {
    uint32_t t;
    bool expired;
    uint32_t remaining;
  } cases[] = {
      {kWrap - 195, false, 900}, {kWrap, false, 705}, {100, false, 604},
      {704, false, 0},           {705, true, 0},      {kWrap - 296, true, 0},  // before the start: a whole wrap later
  };
  for (const Case& c : cases) {
    ticks.Set(c.t);
    EXPECT_EQ(timer.Expired(), c.expired) << c.t;
    EXPECT_EQ(timer.Remaining(), c.remaining) << c.t;
  }

  ticks.Set(5000);  // without a wrap inside the period
  timer.Restart();
  for (const Case& c : {Case{4999, true, 0}, Case{5000, false, 1000}, Case{6000, false, 0}, Case{6001, true, 0}}) {
    ticks.Set(c.t);
    EXPECT_EQ(timer.Expired(), c.expired) << c.t;
    EXPECT_EQ(timer.Remaining(), c.remaining) << c.t;
  }
}

TEST(Timer2, ZeroIntervalAndUnchangedAlignment) {
  TFixedTicks ticks(1000);
  TFixedClock clock(At(12, 0, 0));
  TTimer2 zero(0, ticks, clock);
  EXPECT_TRUE(zero.Expired());
  EXPECT_EQ(zero.Remaining(), 0u);
  zero.CatchUp();  // returns, still expired
  EXPECT_TRUE(zero.Expired());

  TTimer2 timer(500, ticks, clock);
  ticks.Advance(200);
  timer.SetAlignment(false, 0, 0);  // the stored values: no restart
  EXPECT_EQ(timer.Start(), 1000u);
  timer.SetAlignment(false, 1, 0);
  EXPECT_EQ(timer.Start(), 1200u);
  EXPECT_EQ(timer.Due(), 1700u);
}

TEST(Timer2, CatchUpKeepsThePhase) {
  struct Case {
    uint32_t start;
  } cases[] = {{1000}, {kWrap - 10000}};  // the second crosses the wrap while catching up
  for (const Case& c : cases) {
    TFixedTicks ticks(c.start);
    TFixedClock clock(At(12, 0, 0));
    TTimer2 timer(1000, ticks, clock);
    ticks.Advance(36500);  // 35 whole periods missed after the first
    EXPECT_TRUE(timer.Expired());
    timer.CatchUp();
    EXPECT_EQ(timer.Due(), c.start + 1000u + 36000u);
    EXPECT_EQ(timer.Start(), c.start + 36000u);
    EXPECT_FALSE(timer.Expired());
    EXPECT_EQ(timer.Remaining(), 500u);
    timer.CatchUp();  // running: unchanged
    EXPECT_EQ(timer.Due(), c.start + 37000u);
  }
}

TEST(Timer2, AlignsToTheWallClockGrid) {
  struct Case {
    uint32_t interval;
    uint8_t grid;
    int32_t offset;
    TDateTime restart, due;
  } cases[] = {
      {600000, 5, 0, At(12, 3, 20), At(12, 10, 0)},       // ten minutes on the ten-minute grid
      {600000, 5, 30000, At(12, 3, 20), At(12, 10, 30)},  // with an offset
      {1200000, 5, 0, At(12, 0, 0), At(12, 20, 0)},       // due exactly on a grid point stays there
      {1000, 4, -5000, At(12, 0, 58), At(12, 1, 55)},     // grid point before now: next steps
      {3600000, 11, 0, At(23, 30, 0), At(0, 0, 0) + 1},   // the daily grid, into the next day
      {100, 0, 0, At(8, 0, 0, 50), At(8, 0, 0, 100)},
  };
  for (const Case& c : cases) {
    TFixedTicks ticks(kWrap - 1000);
    TFixedClock clock(c.restart);
    TTimer2 timer(c.interval, ticks, clock);
    timer.SetAlignment(true, c.grid, c.offset);
    EXPECT_TRUE(SameMoment(timer.DueTime(), c.due)) << c.interval << " " << int(c.grid);
  }

  // After the alignment, catching up keeps to the grid.
  TFixedTicks ticks(0);
  TFixedClock clock(At(12, 3, 20));
  TTimer2 timer(600000, ticks, clock);
  timer.SetAlignment(true, 5, 0);
  EXPECT_EQ(timer.Remaining(), 400000u);
  ticks.Advance(400001);
  clock.Set(At(12, 10, 0, 1));
  EXPECT_TRUE(timer.Expired());
  timer.CatchUp();
  EXPECT_TRUE(SameMoment(timer.DueTime(), At(12, 20, 0)));
}

TEST(Timer2, SnapToTimeGrid) {
  EXPECT_EQ(SnapToTimeGrid(5, NoDateTime), NoDateTime);
  EXPECT_TRUE(SameMoment(SnapToTimeGrid(0, At(8, 0, 0, 199)), At(8, 0, 0, 100)));
  EXPECT_TRUE(SameMoment(SnapToTimeGrid(5, At(12, 19, 59, 999)), At(12, 10, 0)));
  EXPECT_TRUE(SameMoment(SnapToTimeGrid(5, At(12, 20, 0)), At(12, 20, 0)));
  EXPECT_TRUE(SameMoment(SnapToTimeGrid(11, At(23, 59, 59)), At(0, 0, 0)));
  EXPECT_TRUE(SameMoment(SnapToTimeGrid(200, At(23, 59, 59)), At(0, 0, 0)));  // beyond the table
}

}  // namespace
}  // namespace qv
