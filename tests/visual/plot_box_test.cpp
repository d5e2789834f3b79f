#include "visual/plot_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "visual/axis_scale.h"

namespace qv {
namespace {

using Chunks = std::vector<std::vector<TPoint>>;

// The points of joined chunks, each chunk after the first without its repeated first point.
std::vector<TPoint> Joined(const Chunks& chunks) {
  std::vector<TPoint> out;
  for (size_t i = 0; i < chunks.size(); ++i)
    out.insert(out.end(), chunks[i].begin() + (i == 0 ? 0 : 1), chunks[i].end());
  return out;
}

TEST(SliceReducerTest, SliceWidths) {
  EXPECT_EQ(SliceWidth(500, 1000), 2);
  EXPECT_EQ(SliceWidth(500, 40), 25);
  EXPECT_EQ(SliceWidth(1920, 1000), 4);
  EXPECT_EQ(SliceWidth(500, 39), 25);  // fewer than 40 dots: a twentieth of the width
  EXPECT_EQ(SliceWidth(0, 1000), 2);
  const int saved = TPlotBox::GetMaxDotsPerCurve();
  TPlotBox::SetMaxDotsPerCurve(10);
  EXPECT_EQ(TPlotBox::GetMaxDotsPerCurve(), 40);
  TPlotBox::SetMaxDotsPerCurve(saved);
}

TEST(SliceReducerTest, ExtremesInTheOrderReached) {
  struct Case {
    std::vector<int> ys;
    std::vector<TPoint> points;
  } cases[] = {
      {{10, 20}, {{0, 10}, {12, 20}}},     {{20, 10}, {{0, 20}, {12, 10}}}, {{15, 10, 20}, {{0, 10}, {12, 20}}},
      {{15, 20, 10}, {{0, 20}, {12, 10}}}, {{7, 7, 7}, {{0, 7}}},
  };
  for (const Case& c : cases) {
    Chunks chunks;
    TSliceReducer r(25, [&](const std::vector<TPoint>& p) { chunks.push_back(p); });
    for (size_t i = 0; i < c.ys.size(); ++i) r.Add(static_cast<int>(i), c.ys[i]);
    r.Finish();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], c.points) << c.ys[0];
    EXPECT_EQ(r.LastPoint, c.points.back());
  }
}

TEST(SliceReducerTest, ChunksOf500JoinAndGapsBreakTheCurve) {
  Chunks chunks;
  TSliceReducer r(2, [&](const std::vector<TPoint>& p) { chunks.push_back(p); });
  for (int i = 0; i < 1200; ++i) r.Add(2 * i, 5);
  r.Finish();
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 500u);
  EXPECT_EQ(chunks[1].size(), 500u);
  EXPECT_EQ(chunks[2].size(), 202u);
  EXPECT_EQ(chunks[1].front(), chunks[0].back());
  EXPECT_EQ(chunks[2].front(), chunks[1].back());

  chunks.clear();
  r.Add(0, 1);
  r.Add(4, 2);
  r.Break();
  EXPECT_EQ(r.LastPoint, (TPoint{-1, -1}));
  r.Add(8, 3);  // alone between two gaps
  r.Break();
  r.Add(12, 4);
  r.Finish();
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 2u);
  EXPECT_EQ(chunks[1], (std::vector<TPoint>{{8, 3}}));
  EXPECT_EQ(r.LastPoint, (TPoint{12, 4}));
}

// Every slice's minimum and maximum, found by a plain scan, is among the points drawn.
TEST(SliceReducerTest, KeepsEveryExtremeOfRandomData) {
  std::mt19937 rng(7);
  for (int width : {2, 3, 7, 25}) {
    std::vector<TPoint> input;
    int x = 0;
    for (int i = 0; i < 20000; ++i) {
      x += static_cast<int>(rng() % 3);  // several records per pixel, and empty pixels
      input.push_back({x, static_cast<int>(rng() % 1000) - 500});
    }
    Chunks chunks;
    TSliceReducer r(width, [&](const std::vector<TPoint>& p) { chunks.push_back(p); });
    for (const TPoint& p : input) r.Add(p.X, p.Y);
    r.Finish();
    const std::vector<TPoint> drawn = Joined(chunks);
    size_t i = 0, slices = 0;
    while (i < input.size()) {
      const int sx = input[i].X;
      int lo = input[i].Y, hi = input[i].Y;
      for (; i < input.size() && input[i].X < sx + width; ++i)
        lo = std::min(lo, input[i].Y), hi = std::max(hi, input[i].Y);
      auto has = [&](int y) {
        return std::any_of(drawn.begin(), drawn.end(),
                           [&](const TPoint& p) { return (p.X == sx || p.X == sx + width / 2) && p.Y == y; });
      };
      EXPECT_TRUE(has(lo)) << "slice at " << sx;
      EXPECT_TRUE(has(hi)) << "slice at " << sx;
      ++slices;
    }
    EXPECT_LE(drawn.size(), 2 * slices);
    // A two-point slice may take a chunk one past 500.
    for (const auto& chunk : chunks) EXPECT_LE(chunk.size(), TSliceReducer::kChunkPoints + 1);
  }
}

// Adding values through the map gives the very points of adding their pixels, for rising and
// falling maps, values crowded on few pixels (where extremes tie) and a plain Add in between.
TEST(SliceReducerTest, AddValueDrawsWhatAddDraws) {
  std::mt19937 rng(11);
  const TValuePixelMap maps[] = {{-20, 200, 600}, {180, -200, 600}, {0, 1e-3, 2}, {5, -1e6, 1000}, {-1e30, 2e30, 600}};
  for (const TValuePixelMap& map : maps) {
    const double rising = (map.Range > 0) == (map.Length > 0) ? 1 : -1;
    for (int width : {2, 5}) {
      Chunks plain, fast;
      TSliceReducer a(width, [&](const std::vector<TPoint>& p) { plain.push_back(p); });
      TSliceReducer b(width, [&](const std::vector<TPoint>& p) { fast.push_back(p); });
      int x = 0;
      for (int i = 0; i < 30000; ++i) {
        x += rng() % 7 == 0 ? 1 : 0;
        const double v = map.Start + map.Range * ((static_cast<int>(rng() % 2001) - 1000) / 700.0);
        if (rng() % 997 == 0) {
          a.Break();
          b.Break();
        } else if (rng() % 503 == 0) {
          a.Add(x, map(v));
          b.Add(x, map(v));
        } else {
          a.Add(x, map(v));
          b.AddValue(x, v, map, rising);
        }
      }
      a.Finish();
      b.Finish();
      EXPECT_EQ(fast, plain) << map.Start << " " << map.Range << " " << width;
      EXPECT_EQ(b.LastPoint, a.LastPoint);
    }
  }
}

TEST(PlotGlbChanTest, KeysRoundTripAndBadColoursAreKept) {
  test::TempDir dir;
  test::TRecordingMsgHandler log;
  TDtRecord rec(2);
  test::TMemDtData data(&rec, "DL001/");
  auto channels = TChannels::CreateDefault();
  channels->Add(std::make_unique<TChannel>(3));
  data.SetChannels(channels.get());
  TPlotGlbChan a(&data, channels->FindByKey(3));
  a.Color = RGB(0, 128, 0);
  a.Style = TPenStyle::psDashDot;
  a.AlarmLimits = true;
  a.Visible = false;
  TIniFile2 ini(dir.File("m.ini"));
  a.StoreIniFile(&ini, "S/GlobChan0");
  EXPECT_EQ(ini.ReadString("S/GlobChan0", "Color", ""), "$00008000");
  EXPECT_EQ(ini.ReadString("S/GlobChan0", "Style", ""), "dashdot");
  TPlotGlbChan b(&data, channels->FindByKey(3));
  b.LoadIniFile(ini, "S/GlobChan0");
  EXPECT_EQ(b.Color, a.Color);
  EXPECT_EQ(b.Style, a.Style);
  EXPECT_TRUE(b.AlarmLimits);
  EXPECT_FALSE(b.Visible);
  ini.WriteString("S/GlobChan0", "Color", "greenish");
  ini.WriteString("S/GlobChan0", "Style", "wavy");
  b.LoadIniFile(ini, "S/GlobChan0");
  EXPECT_EQ(b.Color, a.Color);
  EXPECT_EQ(b.Style, TPenStyle::psSolid);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("greenish"), std::string::npos);
}

// A plot box of 400 x 200 over one day with a data set of two channels.
class PlotBoxTest : public ::testing::Test {
protected:
  PlotBoxTest() : rec_(2), data_(&rec_, "DL001/"), channels_(TChannels::CreateDefault()) {
    InitializeGui();
    for (uint8_t key : {1, 2}) channels_->Add(std::make_unique<TChannel>(key));
    channels_->FindByKey(1)->SetAlarmMin(10);
    channels_->FindByKey(1)->SetAlarmMax(90);
    data_.SetChannels(channels_.get());
    data_.NewBuffer();
    left_ = new TAxisScale(&owner_, 2, 1, 100, 0, 0, nullptr);
    left_->SetBounds(0, 0, 30, 200);
    right_ = new TAxisScale(&owner_, 2, 1, 100, 0, 1, nullptr);
    right_->SetBounds(0, 0, 30, 200);
    time_ = new TDtAxisScale(&owner_, 2, 1, test::At(0, 0), test::At(23, 59, 59), 3, nullptr);
    time_->SetBounds(0, 0, 400, 20);
    box_ = new TDtPlotBox(form_.get(), right_, left_, time_);
    box_->SetParent(form_.get());
    box_->SetBounds(0, 0, 400, 200);
    box_->ChanList = &list_;
  }
  void Record(int hh, int mm, std::vector<double> values) {
    TDtRecord r = test::Rec(test::At(hh, mm), values);
    data_.InsertRecord(r);
  }
  void Open() {
    data_.stored = data_.Buffer()->Bytes();
    data_.OpenDT(test::At(0, 0), test::At(23, 59, 59), NoDtStamp, NoDtStamp);
  }
  TPlotGlbChan* Curve(int key, TColor color) {
    auto c = std::make_unique<TPlotGlbChan>(&data_, channels_->FindByKey(key));
    c->Color = color;
    TPlotGlbChan* p = c.get();
    list_.Add(std::move(c));
    return p;
  }
  std::vector<TCanvasCall> Paint(TColor color) {
    TRecordingCanvas canvas(400, 200);
    canvas.StartRecording();
    box_->PaintOn(canvas);
    std::vector<TCanvasCall> out;
    for (const TCanvasCall& c : canvas.Calls())
      if (c.Pen.Color == color) out.push_back(c);
    return out;
  }

  std::unique_ptr<TForm> form_ = (InitializeGui(), std::make_unique<TForm>(nullptr));
  TComponent& owner_ = *form_;
  TDtRecord rec_;
  test::TMemDtData data_;
  std::unique_ptr<TChannels> channels_;
  TGlobChanList list_;
  TAxisScale* left_;
  TAxisScale* right_;
  TDtAxisScale* time_;
  TDtPlotBox* box_;
};

// A day of records every 10 seconds on two curves, one on a falling axis with values beyond it,
// both with gaps: each curve's lines are those of reducing every record's pixels one by one.
TEST_F(PlotBoxTest, CurvesAreTheReductionOfEveryRecordsPixels) {
  right_->SetRange(-50, 150);
  TPlotGlbChan* red = Curve(1, clRed);
  TPlotGlbChan* blue = Curve(2, clBlue);
  blue->gchAssignedYAxis = 1;
  std::mt19937 rng(48);
  double walk = 50;
  struct TIn {
    TDtStamp t;
    double v[2];
  };
  std::vector<TIn> in;
  for (int i = 0; i < 8640; ++i) {
    walk += static_cast<double>(static_cast<int>(rng() % 2001) - 1000) / 400.0;
    const double a = rng() % 500 == 0 ? NoValue : walk;
    const double b = rng() % 700 == 0 ? NoValue : 50 + 120 * std::sin(i / 300.0) + static_cast<double>(rng() % 100) / 7;
    in.push_back({test::At(0, 0, 10 * i), {a, b}});
    TDtRecord r = test::Rec(in.back().t, {a, b});
    data_.InsertRecord(r);
  }
  Open();
  TRecordingCanvas canvas(400, 200);
  canvas.StartRecording();
  box_->PaintOn(canvas);
  for (int curve = 0; curve < 2; ++curve) {
    const TColor color = curve == 0 ? clRed : clBlue;
    TAxisScale* axis = curve == 0 ? left_ : right_;
    std::vector<TCanvasCall> expected;
    TSliceReducer r(SliceWidth(400, TPlotBox::GetMaxDotsPerCurve()), [&](const std::vector<TPoint>& p) {
      TCanvasCall call;
      call.Op = p.size() == 1 ? "Line" : "Polyline";
      call.Points = p.size() == 1 ? std::vector<TPoint>{p[0], p[0]} : p;
      expected.push_back(call);
    });
    for (const TIn& rec : in) {
      const double v = rec.v[curve];
      if (v > NoValue)
        r.Add(time_->DtToPixel(rec.t), axis->ValueToPixel(v));
      else
        r.Break();
    }
    r.Finish();
    std::vector<TCanvasCall> drawn;
    for (const TCanvasCall& c : canvas.Calls())
      if (c.Pen.Color == color && c.Pen.Width == box_->CurvePenWidth) drawn.push_back(c);
    ASSERT_EQ(drawn.size(), expected.size()) << curve;
    ASSERT_GT(expected.size(), 10u);
    for (size_t i = 0; i < drawn.size(); ++i) {
      EXPECT_EQ(drawn[i].Op, expected[i].Op) << curve << " " << i;
      EXPECT_EQ(drawn[i].Points, expected[i].Points) << curve << " " << i;
    }
    EXPECT_EQ((curve == 0 ? red : blue)->LastPoint, r.LastPoint);
  }
}

TEST_F(PlotBoxTest, AGapBreaksTheCurveAndAloneValueIsADot) {
  Curve(1, clRed);
  for (int h = 0; h < 6; ++h) Record(h, 0, {50.0 + h});
  Record(6, 0, {});  // missing
  Record(7, 0, {20});
  Record(8, 0, {});
  for (int h = 9; h < 12; ++h) Record(h, 0, {30});
  Open();
  const auto calls = Paint(clRed);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Op, "Polyline");
  EXPECT_EQ(calls[0].Points.size(), 6u);
  EXPECT_EQ(calls[0].Points[0], (TPoint{0, 100}));
  EXPECT_EQ(calls[1].Op, "Line");  // the lone value
  EXPECT_EQ(calls[1].Points[0], calls[1].Points[1]);
  EXPECT_EQ(calls[2].Points.size(), 3u);
  EXPECT_EQ(calls[2].Pen.Width, 2);
}

TEST_F(PlotBoxTest, AlarmLimitsOnlyForVisibleCurves) {
  TPlotGlbChan* c = Curve(1, clBlue);
  c->AlarmLimits = true;
  Record(1, 0, {50});
  Open();
  auto calls = Paint(clBlue);
  // The lower limit at y 180 and the upper at y 20, each with its hatching.
  auto at = [&](int y) {
    return std::count_if(calls.begin(), calls.end(), [&](const TCanvasCall& k) {
      return k.Op == "Line" && k.Points[0] == TPoint{1, y} && k.Points[1] == TPoint{399, y};
    });
  };
  EXPECT_EQ(at(180), 1);
  EXPECT_EQ(at(20), 1);
  EXPECT_GT(calls.size(), 10u);
  c->Visible = false;
  EXPECT_TRUE(Paint(clBlue).empty());
}

TEST_F(PlotBoxTest, OnlineInsertContinuesFromTheLastPoint) {
  TPlotGlbChan* c = Curve(1, clGreen);
  Record(1, 0, {50});
  Record(2, 0, {60});
  Open();
  Paint(clGreen);
  const TPoint last = c->LastPoint;
  EXPECT_EQ(last, (TPoint{time_->DtToPixel(test::At(2, 0)), 80}));
  Record(3, 0, {70});
  box_->OnlineInsert(&data_);
  EXPECT_EQ(c->LastPoint, (TPoint{time_->DtToPixel(test::At(3, 0)), 60}));
  Record(4, 0, {});
  box_->OnlineInsert(&data_);
  EXPECT_EQ(c->LastPoint, (TPoint{-1, -1}));
  c->gchAssignedYAxis = 5;
  Record(5, 0, {10});
  try {
    box_->OnlineInsert(&data_);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TDtPlotBox.OnlineInsert: invalid GlobChan.gchAssignedYAxis");
  }
}

// Extreme and degenerate Y ranges paint and end.
TEST_F(PlotBoxTest, DegenerateRangesPaint) {
  Curve(1, clRed);
  box_->SetLeftGrid(true);
  box_->SetRightGrid(true);
  Record(1, 0, {1e38});
  Record(2, 0, {-1e38});
  Record(3, 0, {5});
  Open();
  const double ranges[][2] = {{5, 5}, {1.5e38, -1.5e38}, {1e-30, 0}, {1e30, -1e30}};
  for (const auto& r : ranges) {
    left_->SetRange(r[0], r[1]);
    right_->SetRange(r[0], r[1]);
    const auto calls = Paint(clRed);
    ASSERT_FALSE(calls.empty()) << r[0];
    for (const TPoint& p : calls[0].Points) EXPECT_TRUE(std::abs(p.Y) <= 10000) << r[0];
  }
}

TEST_F(PlotBoxTest, DoubleClicksAskForZoom) {
  std::vector<std::pair<int, TDtStamp>> asks;
  box_->OnZoomRequest = [&](TComponent*, uint8_t kind, const TDtStamp& t) { asks.push_back({kind, t}); };
  box_->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(100, 50));
  box_->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON | MK_SHIFT, MakeLParam(100, 50));
  box_->ZoomClick(0, 0, 0);
  ASSERT_EQ(asks.size(), 3u);
  EXPECT_EQ(asks[0].first, 1);
  EXPECT_TRUE(DtStampEqual(asks[0].second, test::At(6, 0)));
  EXPECT_EQ(asks[1].first, 2);
  EXPECT_TRUE(DtStampEqual(asks[1].second, NoDtStamp));
  EXPECT_TRUE(DtStampEqual(asks[2].second, test::At(12, 0)));
}

class FakeTicks : public TTickSource {
public:
  uint32_t GetTickCount() const override { return now; }
  uint32_t now = 1000;
};

TEST(PlotBoxMouseTest, RightClickMenuWaitsForTheDoubleClickTime) {
  InitializeGui();
  FakeTicks ticks;
  TIdleTaskManager idle;
  IdleTaskManager = &idle;
  TForm form(nullptr);
  TAxisScale left(&form, 2, 1, 100, 0, 0, nullptr), right(&form, 2, 1, 100, 0, 1, nullptr);
  TDtAxisScale time(&form, 2, 1, test::At(0, 0), test::At(23, 0), 3, nullptr);
  auto* box = new TDtPlotBox(&form, &right, &left, &time, ticks);
  box->SetParent(&form);
  box->SetBounds(0, 0, 200, 100);
  auto* menu = new TPopupMenu(&form);
  box->SetPopupMenu(menu);
  int popups = 0, zooms = 0;
  SetPopupMenuHook([&](TPopupMenu*, int, int) { ++popups; });
  box->OnZoomRequest = [&](TComponent*, uint8_t kind, const TDtStamp&) { zooms += kind == 2; };
  const uint32_t wait = static_cast<uint32_t>(DoubleClickTime()) + 1;

  box->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(10, 10));
  box->Perform(WM_RBUTTONUP, 0, MakeLParam(10, 10));
  idle.Run();
  EXPECT_EQ(popups, 0);
  ticks.now += wait;
  idle.Run();
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(idle.Count(), 0);

  box->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(10, 10));
  box->Perform(WM_RBUTTONUP, 0, MakeLParam(10, 10));
  box->Perform(WM_RBUTTONDBLCLK, MK_RBUTTON, MakeLParam(10, 10));
  box->Perform(WM_RBUTTONUP, 0, MakeLParam(10, 10));
  ticks.now += wait;
  idle.Run();
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(zooms, 1);
  SetPopupMenuHook(nullptr);
  IdleTaskManager = nullptr;
}

}  // namespace
}  // namespace qv
