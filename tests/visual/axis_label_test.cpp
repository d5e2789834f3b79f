#include "visual/axis_label.h"

#include <gtest/gtest.h>

#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "platform/gui/forms.h"
#include "platform/rtl/format_settings.h"
#include "visual/axis_scale.h"
#include "visual/plot_box.h"

namespace qv {
namespace {

std::vector<std::string> Texts(TGraphicControl& control) {
  TRecordingCanvas canvas(control.Width(), control.Height());
  canvas.StartRecording();
  control.PaintTo(canvas, 0, 0);
  std::vector<std::string> out;
  for (const TCanvasCall& c : canvas.Calls())
    if (c.Op == "TextOut") out.push_back(c.Text);
  return out;
}

class AxisLabelTest : public ::testing::Test {
protected:
  AxisLabelTest() { InitializeGui(); }
  TComponent owner_{nullptr};
};

TEST_F(AxisLabelTest, NumericTextsShareOneWidth) {
  TAxisScale axis(&owner_, 2, 1, 65, -35, 0, nullptr);
  axis.SetBounds(0, 0, 30, 200);
  TAxisLabel label(&owner_, &axis);
  label.SetBounds(0, 0, 40, 200);
  const auto texts = Texts(label);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), "  0");
  EXPECT_NE(std::find(texts.begin(), texts.end(), " 60"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "-30"), texts.end());
  for (const std::string& t : texts) EXPECT_EQ(t.size(), 3u) << t;

  TAxisScale half(&owner_, 2, 1, 2, 0, 0, nullptr);
  half.SetBounds(0, 0, 30, 100);  // 7 labels: step -0.5
  TAxisLabel half_label(&owner_, &half);
  half_label.SetBounds(0, 0, 40, 110);
  EXPECT_EQ(Texts(half_label), (std::vector<std::string>{"2.0", "1.5", "1.0", "0.5", "0.0"}));
  try {
    TAxisLabel none(&owner_, nullptr);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TAxisLabel.Create: Axis has to be created prior to AxisLabel");
  }
}

TEST_F(AxisLabelTest, FineAndCoarseTimeRowsPerZoomLevel) {
  const std::string fine[16] = {"mmm",   "mmm",   "d/",    "d/",    "h",     "h",        "hh:nn",    "hh:nn",
                                "hh:nn", "hh:nn", "hh:nn", "hh:nn", "hh:nn", "hh:nn:ss", "hh:nn:ss", "hh:nn:ss"};
  for (int level = 0; level < 16; ++level) EXPECT_EQ(TDt1AxisLabel::FineFormat(level), fine[level]) << level;

  struct Case {
    TDtStamp start, stop;
    std::vector<std::string> fine_first;
    size_t coarse_count;
  } cases[] = {
      // A year: month names in mid-month; years at mid-year.
      {TDtStamp{40000, 0}, TDtStamp{40365, 0}, {"Jul", "Aug"}, 2},
      // Within one day: hours and minutes; one weekday-and-date text.
      {test::At(8, 0), test::At(14, 0), {"08:00"}, 1},
      // Across midnight: two date texts.
      {test::At(22, 0), test::At(3, 0, 0, test::kDay + 1), {"22:00"}, 2},
  };
  for (const Case& c : cases) {
    TDtAxisScale axis(&owner_, 2, 1, c.start, c.stop, 3, nullptr);
    axis.SetBounds(0, 0, 600, 10);
    TDt1AxisLabel fine_row(&owner_, &axis);
    fine_row.SetBounds(0, 0, 600, 20);
    TDt2AxisLabel coarse_row(&owner_, &axis);
    coarse_row.SetBounds(0, 0, 600, 20);
    const auto texts = Texts(fine_row);
    ASSERT_GE(texts.size(), c.fine_first.size());
    for (size_t i = 0; i < c.fine_first.size(); ++i) EXPECT_EQ(texts[i], c.fine_first[i]) << c.start.Date;
    EXPECT_EQ(Texts(coarse_row).size(), c.coarse_count) << c.start.Date << " " << int(axis.ZoomLevel());
  }
}

TEST_F(AxisLabelTest, CaptionDotsRunOutwardsFromTheCaptions) {
  TDtRecord rec(3);
  test::TMemDtData data(&rec);
  auto channels = TChannels::CreateDefault();
  for (uint8_t k = 1; k <= 3; ++k) channels->Add(std::make_unique<TChannel>(k));
  data.SetChannels(channels.get());
  TGlobChanList list;
  for (uint8_t k = 1; k <= 3; ++k) {
    auto c = std::make_unique<TPlotGlbChan>(&data, channels->FindByKey(k));
    c->gchAssignedYAxis = 1;
    c->Color = RGB(0, 0, 50 * k);
    list.Add(std::move(c));
  }
  TYAxCaption caption(&owner_);
  caption.AutoHeight = false;
  caption.SetBounds(0, 0, 300, 20);
  caption.ChanList = &list;
  TRecordingCanvas canvas(300, 20);
  canvas.StartRecording();
  caption.PaintTo(canvas, 0, 0);
  std::vector<TRect> dots;
  for (const TCanvasCall& c : canvas.Calls())
    if (c.Op == "Ellipse") dots.push_back(c.Rect);
  // H 20: dots 8 wide from y 12, 4 apart, the first 8 from the (empty) caption's edge.
  ASSERT_EQ(dots.size(), 3u);
  EXPECT_EQ(dots[0], (TRect{284, 12, 292, 20}));
  EXPECT_EQ(dots[1], (TRect{272, 12, 280, 20}));
  EXPECT_EQ(dots[2], (TRect{260, 12, 268, 20}));
}

}  // namespace
}  // namespace qv
