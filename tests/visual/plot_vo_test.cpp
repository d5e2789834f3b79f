#include "visual/plot_vo.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "controls/sty_toolbar.h"
#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "datastore/dt_navigator.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/date_time.h"
#include "visual/axis_label.h"
#include "visual/axis_scale.h"
#include "visual/d25_edit_plot_chan.h"
#include "visual/d26_y_range_dlg.h"
#include "visual/plot_box.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"

namespace qv {
namespace {

// A navigator that records the commands a plot gives it.
class RecordingNavigator : public TDtNavigator {
public:
  explicit RecordingNavigator(const TWallClock& clock) : TDtNavigator(clock) {}
  void BigStepLeft() override { calls += "BL "; }
  void SmallStepLeft() override { calls += "SL "; }
  void SmallStepRight() override { calls += "SR "; }
  void BigStepRight() override { calls += "BR "; }
  void Zoom() override { calls += "Z "; }
  void Unzoom() override { calls += "U "; }
  void GotoNewest() override { calls += "N "; }
  std::string calls;

protected:
  void NotifyDataSets() override {}
};

constexpr uint16_t kDay = 45292;

// Two in-memory data sets registered as open: "A" with 13 channels in °C and a few other
// units, "B" with one channel in %.
class PlotVOTest : public ::testing::Test, public test::VisFixture {
protected:
  PlotVOTest()
      : chans_a_(TChannels::CreateDefault()),
        chans_b_(TChannels::CreateDefault()),
        rec_(16),
        a_(std::make_unique<test::TMemDtData>(&rec_, "A/")),
        b_(std::make_unique<test::TMemDtData>(&rec_, "B/")),
        clock_(DtStampToDateTime(TDtStamp{kDay, 12 * 3600})) {
    saved_ini_ = IniFileName;
    IniFileName = dir.File("Prog.INI");
    for (uint8_t k = 1; k <= 13; ++k)
      AddChan(*chans_a_, k,
              "\xC2\xB0"
              "C",
              0, 10 * k);
    AddChan(*chans_a_, 20, " m ", 0, 1);
    AddChan(*chans_a_, 21, "mm", 0, 1000);
    AddChan(*chans_a_, 22, "hPa", 900, 1100);
    AddChan(*chans_b_, 1, "%", 0, 100);
    a_->SetChannels(chans_a_.get());
    b_->SetChannels(chans_b_.get());
  }
  ~PlotVOTest() override {
    DtNavigator = nullptr;
    form.reset();
    a_.reset();
    b_.reset();
    IniFileName = saved_ini_;
  }
  static void AddChan(TChannels& list, uint8_t key, const std::string& unit, double view_min, double view_max) {
    auto c = std::make_unique<TChannel>(key);
    c->SetName("Channel " + std::to_string(key));
    c->SetSName("C" + std::to_string(key));
    c->SetUnit(unit);
    c->SetViewMin(view_min);
    c->SetViewMax(view_max);
    list.Add(std::move(c));
  }
  TChannel* A(int key) const { return chans_a_->FindByKey(key); }
  TChannel* B() const { return chans_b_->FindByKey(1); }
  TDtPlotVO* NewPlot() {
    auto* vo = CreateVisObj<TDtPlotVO>(form.get());
    vo->SetParent(form.get());
    vo->SetBounds(0, 0, 600, 400);
    return vo;
  }

  std::unique_ptr<TChannels> chans_a_, chans_b_;
  TDtRecord rec_;
  std::unique_ptr<test::TMemDtData> a_, b_;
  TFixedClock clock_;
  std::string saved_ini_;
};

// The channel dialog's loop runs the program's other work; a device change that rebuilds the
// page frees the plot while the dialog is open. The dialog closes and nothing touches the plot.
TEST_F(PlotVOTest, APlotFreedWhileItsChannelDialogIsOpenClosesTheDialog) {
  TDtPlotVO* vo = NewPlot();
  form->Show();
  const std::string add = vo->AddChanItem()->Caption();
  int step = 0;
  TTimer user(nullptr);
  user.SetInterval(20);
  user.OnTimer = [&](TComponent*) {
    TModalWindow modal;
    if (step == 0) {
      // From the menu's loop, not from this tick: the dialog the entry opens needs the ticks.
      step = 1;
      PostDeferredCall([&] { EXPECT_TRUE(UserChoosePopupItem(add)); });
    } else if (step == 1 && TopModalWindow(modal) && modal.Form) {
      step = 2;
      delete vo;  // the page rebuilt meanwhile
    } else if (step == 2 && TopModalWindow(modal)) {
      // Still open: the user cancels it.
      step = 3;
      for (const std::string& b : modal.Buttons)
        if (b.find("Cancel") != std::string::npos) UserClickDialogButton(b);
    }
  };
  UserRightClick(vo, {50, 10});
  user.SetEnabled(false);
  EXPECT_EQ(step, 2);  // the dialog closed with the plot
  TModalWindow modal;
  EXPECT_FALSE(TopModalWindow(modal));
}

TEST_F(PlotVOTest, CurvesTakeTheAxisOfTheirUnit) {
  TDtPlotVO* vo = NewPlot();
  const std::string deg =
      "\xC2\xB0"
      "C";
  EXPECT_FALSE(vo->LeftRangeItem()->Enabled());
  ASSERT_TRUE(vo->AddGlobChan(a_.get(), A(1)));
  EXPECT_EQ(vo->GetAxisUnit(0), deg);
  EXPECT_EQ(vo->GetAxisUnit(1), kAxisNotUsed);
  EXPECT_EQ(vo->Caption()->Captions(0), "[ " + deg + " ]");
  EXPECT_EQ(vo->RightAxis()->Master(), vo->LeftAxis());
  EXPECT_FALSE(vo->RightLabel()->Visible());
  EXPECT_TRUE(vo->LeftRangeItem()->Enabled());
  EXPECT_FALSE(vo->RightRangeItem()->Enabled());
  EXPECT_FALSE(vo->RightGridItem()->Enabled());

  ASSERT_TRUE(vo->AddGlobChan(b_.get(), B()));
  EXPECT_EQ(vo->GetAxisUnit(1), "%");
  EXPECT_EQ(vo->RightAxis()->Master(), nullptr);
  EXPECT_EQ(vo->LeftAxis()->Master(), nullptr);
  EXPECT_TRUE(vo->RightLabel()->Visible());
  EXPECT_TRUE(vo->RightRangeItem()->Enabled());
  EXPECT_TRUE(vo->RightGridItem()->Enabled());
  EXPECT_EQ(static_cast<TPlotGlbChan*>(vo->vobGlobChanList()->GetGlobChan_I(1))->gchAssignedYAxis, 1);

  // A third unit has no axis; a channel already shown is flagged.
  uint8_t reason = 0;
  EXPECT_FALSE(vo->CanAcceptGlbChan(a_.get(), A(22), reason));
  EXPECT_EQ(reason, 0);
  EXPECT_FALSE(vo->AddGlobChan(a_.get(), A(22)));
  EXPECT_FALSE(vo->CanAcceptGlbChan(a_.get(), A(1), reason));
  EXPECT_EQ(reason, 1);
  EXPECT_TRUE(vo->CanAcceptGlbChan(a_.get(), A(2), reason));

  // Removing the °C curve frees the left axis, which then follows the right one.
  vo->DeleteGlobChan(0);
  EXPECT_EQ(vo->GetAxisUnit(0), kAxisNotUsed);
  EXPECT_EQ(vo->LeftAxis()->Master(), vo->RightAxis());
  EXPECT_FALSE(vo->LeftLabel()->Visible());
  EXPECT_TRUE(vo->AddGlobChan(a_.get(), A(22)));
  EXPECT_EQ(vo->GetAxisUnit(0), "hPa");
}

TEST_F(PlotVOTest, LockedAxisKeepsEveryCurveOnTheLeft) {
  TDtPlotVO* vo = NewPlot();
  vo->SetAxisLocked(1, true);
  EXPECT_TRUE(vo->IsAxisLocked(1));
  EXPECT_TRUE(vo->AddGlobChan(a_.get(), A(1)));
  uint8_t reason = 0;
  EXPECT_FALSE(vo->CanAcceptGlbChan(b_.get(), B(), reason));
  EXPECT_FALSE(vo->AddGlobChan(b_.get(), B()));
  EXPECT_TRUE(vo->AddGlobChan(a_.get(), A(2)));
  vo->SetAxisLocked(1, false);
  EXPECT_EQ(vo->GetAxisUnit(1), kAxisNotUsed);
  EXPECT_TRUE(vo->AddGlobChan(b_.get(), B()));
}

// An axis is released only when no remaining curve has exactly its unit: "m" is not held by
// "mm", and blanks around a unit do not count.
TEST_F(PlotVOTest, AxisReleaseComparesUnitsExactly) {
  TDtPlotVO* vo = NewPlot();
  ASSERT_TRUE(vo->AddGlobChan(a_.get(), A(20)));
  ASSERT_TRUE(vo->AddGlobChan(a_.get(), A(21)));
  EXPECT_EQ(vo->GetAxisUnit(0), "m");
  EXPECT_EQ(vo->GetAxisUnit(1), "mm");
  vo->DeleteGlobChan(0);
  EXPECT_EQ(vo->GetAxisUnit(0), kAxisNotUsed);
  EXPECT_TRUE(vo->AddGlobChan(a_.get(), A(22)));
}

TEST_F(PlotVOTest, TwelveCurvesAtMostWithPaletteColours) {
  TDtPlotVO* vo = NewPlot();
  for (int k = 1; k <= 12; ++k) {
    ASSERT_TRUE(vo->AddGlobChan(a_.get(), A(k))) << k;
    EXPECT_TRUE(k == 12 || vo->AddChanItem()->Enabled());
  }
  EXPECT_FALSE(vo->AddChanItem()->Enabled());
  uint8_t reason = 0;
  EXPECT_FALSE(vo->CanAcceptGlbChan(a_.get(), A(13), reason));
  EXPECT_FALSE(vo->AddGlobChan(a_.get(), A(13)));
  EXPECT_EQ(vo->GetGlobChanCount(), 12);
  auto colour = [&](int i) { return static_cast<TPlotGlbChan*>(vo->vobGlobChanList()->GetGlobChan_I(i))->Color; };
  EXPECT_EQ(colour(0), RGB(128, 0, 128));
  EXPECT_EQ(colour(9), RGB(128, 128, 128));
  EXPECT_EQ(colour(10), clBlack);
  // A freed colour is the next one taken.
  vo->DeleteGlobChan(2);
  EXPECT_TRUE(vo->AddChanItem()->Enabled());
  ASSERT_TRUE(vo->AddGlobChan(a_.get(), A(13)));
  EXPECT_EQ(colour(11), RGB(255, 0, 0));
}

TEST_F(PlotVOTest, AutomaticRangesFollowTheVisibleCurves) {
  TDtPlotVO* vo = NewPlot();
  chans_a_->FindByKey(1)->SetViewMax(50);
  chans_a_->FindByKey(2)->SetViewMin(-10);
  chans_a_->FindByKey(2)->SetViewMax(40);
  vo->AddGlobChan(a_.get(), A(1));
  vo->AddGlobChan(a_.get(), A(2));
  EXPECT_EQ(vo->YLAutoMin, -10);
  EXPECT_EQ(vo->YLAutoMax, 50);
  // A Y axis runs from its top (start) down.
  EXPECT_EQ(vo->LeftAxis()->StartValue(), 50);
  EXPECT_EQ(vo->LeftAxis()->EndValue(), -10);
  for (int i = 0; i < 2; ++i) static_cast<TPlotGlbChan*>(vo->vobGlobChanList()->GetGlobChan_I(i))->Visible = false;
  vo->GlobChanLoaded(nullptr);
  EXPECT_EQ(vo->YLAutoMin, -10);
  EXPECT_EQ(vo->YLAutoMax, 50);
  // A custom end replaces only its own end.
  vo->SetLeftCustRange(-1.501e38, 0);
  EXPECT_EQ(vo->LeftAxis()->StartValue(), 50);
  EXPECT_EQ(vo->LeftAxis()->EndValue(), 0);
}

TEST_F(PlotVOTest, LegendEntriesAndMenus) {
  TDtPlotVO* vo = NewPlot();
  TPlotReference& legend = vo->Legend();
  EXPECT_FALSE(vo->LegendToolbar()->Visible());
  vo->AddGlobChan(a_.get(), A(1));
  ASSERT_EQ(legend.EntryCount(), 1);
  EXPECT_EQ(legend.Entry(0)->Caption(), "dt: C1");
  vo->AddGlobChan(a_.get(), A(2));
  // Both from one data set: a header naming it, then the channels' short names.
  ASSERT_EQ(legend.EntryCount(), 3);
  EXPECT_TRUE(legend.CommonHeader());
  EXPECT_EQ(legend.Entry(0)->Caption(), "dt");
  EXPECT_EQ(legend.Entry(1)->Caption(), "C1");
  EXPECT_EQ(legend.Entry(2)->Hint(),
            "Channel 2 [\xC2\xB0"
            "C]");
  EXPECT_EQ(legend.Entry(2)->Font().Color(), RGB(0, 128, 0));
  vo->AddGlobChan(b_.get(), B());
  EXPECT_FALSE(legend.CommonHeader());
  EXPECT_EQ(legend.EntryCount(), 3);
  EXPECT_TRUE(vo->LegendToolbar()->Visible());

  // The popup's legend and grid entries.
  EXPECT_TRUE(vo->ReferenceItem()->Checked());
  vo->ReferenceItem()->Click();
  EXPECT_FALSE(vo->ReferenceOn());
  EXPECT_FALSE(vo->LegendToolbar()->Visible());
  EXPECT_FALSE(vo->ReferenceItem()->Checked());
  EXPECT_TRUE(vo->LeftGridItem()->Checked());
  vo->LeftGridItem()->Click();
  EXPECT_FALSE(vo->LeftGridOn());
  EXPECT_FALSE(vo->PlotBox()->LeftGrid());
  vo->RightGridItem()->Click();
  EXPECT_TRUE(vo->RightGridOn());
  EXPECT_TRUE(vo->PlotBox()->RightGrid());
  // Without the % curve the right label hides, and its grid with it.
  vo->DeleteGlobChan(2);
  EXPECT_FALSE(vo->RightGridOn());
  EXPECT_FALSE(vo->RightGridItem()->Enabled());
}

TEST_F(PlotVOTest, FollowsTheNavigatorAndItsKeys) {
  RecordingNavigator nav(clock_);
  DtNavigator = &nav;
  nav.Dt1Start = TDtStamp{kDay, 3600};
  nav.Dt1Stop = TDtStamp{kDay, 7199};
  TDtPlotVO* vo = NewPlot();
  vo->AddGlobChan(a_.get(), A(1));
  EXPECT_EQ(vo->BottomTimeAxis()->StartDt().Time, 3600);
  EXPECT_EQ(vo->BottomTimeAxis()->StopDt().Time, 7199);
  // A navigator step reopens the data set's window, which reports many changed records.
  nav.Dt1Start = TDtStamp{kDay + 1, 0};
  nav.Dt1Stop = TDtStamp{kDay + 1, 86399};
  vo->DataNotify(a_.get(), deManyChanged);
  EXPECT_EQ(vo->BottomTimeAxis()->StartDt().Date, kDay + 1);
  EXPECT_EQ(vo->BottomTimeAxis()->StopDt().Time, 86399);

  struct Key {
    uint16_t key;
    TShiftState shift;
  } keys[] = {{VK_ADD, 0},        {VK_OEM_PLUS, 0}, {VK_OEM_PLUS, ssShift}, {VK_SUBTRACT, 0}, {VK_RIGHT, 0},
              {VK_RIGHT, ssCtrl}, {VK_LEFT, 0},     {VK_LEFT, ssCtrl},      {VK_END, 0},      {VK_ADD, ssCtrl}};
  for (const Key& k : keys) {
    uint16_t key = k.key;
    vo->HandleKey(key, k.shift);
  }
  // Shift+"=" types no "+"; Ctrl with plus maximises the object instead of zooming.
  EXPECT_EQ(nav.calls, "Z Z U SR BR SL BL N ");
  EXPECT_EQ(vo->State(), 1);
  nav.calls.clear();
  AutoScrollActive = true;
  uint16_t key = VK_RIGHT;
  EXPECT_FALSE(vo->HandleKey(key, 0));
  vo->ZoomRequest(0, NoDtStamp);
  AutoScrollActive = false;
  EXPECT_EQ(nav.calls, "");
  vo->ZoomRequest(2, NoDtStamp);
  EXPECT_EQ(nav.calls, "U ");
}

// The range command picks the axis that carries a unit, whichever Y axis was double-clicked.
TEST_F(PlotVOTest, RangeDialogSetsTheCustomRange) {
  TDtPlotVO* vo = NewPlot();
  vo->AddGlobChan(a_.get(), A(2));  // view limits 0..20
  std::string caption;
  double low = 0, high = 0;
  PostDeferredCall([&] {
    ASSERT_NE(D26_YRangeDlg, nullptr);
    caption = D26_YRangeDlg->Text();
    low = D26_YRangeDlg->LowLimit;
    high = D26_YRangeDlg->HighLimit;
    D26_YRangeDlg->SetCustMax(35);
    D26_YRangeDlg->OKClick();
  });
  vo->RightAxis()->OnDblClick(vo->RightAxis());
  EXPECT_EQ(caption, LoadResString("d26_CaptionLeft"));
  EXPECT_EQ(low, -60);
  EXPECT_EQ(high, 60);
  EXPECT_EQ(vo->YLCustViewMax(), 35);
  EXPECT_EQ(vo->YLCustViewMin(), -1.501e38);
  EXPECT_EQ(vo->LeftAxis()->StartValue(), 35);
  EXPECT_EQ(D26_YRangeDlg, nullptr);
}

// A data set that goes away while the curve dialog is open ends the dialog unapplied, so that it
// never writes to the removed curves.
TEST_F(PlotVOTest, CurveDialogEndsWhenItsDataSetGoesAway) {
  TDtPlotVO* vo = NewPlot();
  vo->AddGlobChan(a_.get(), A(1));
  vo->AddGlobChan(b_.get(), B());
  bool seen = false, still_open = false;
  PostDeferredCall([&] {
    seen = D25_EditPlotChan != nullptr;
    b_.reset();
    PostDeferredCall([&] {
      // Only reached when the dialog did not end: close it so the test fails instead of hanging.
      if (D25_EditPlotChan) {
        still_open = true;
        D25_EditPlotChan->SetModalResult(mrCancel);
      }
    });
  });
  vo->EditGlobChan(1);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(still_open);
  EXPECT_EQ(D25_EditPlotChan, nullptr);
  ASSERT_EQ(vo->GetGlobChanCount(), 1);
  EXPECT_EQ(vo->GetAxisUnit(1), kAxisNotUsed);
}

TEST_F(PlotVOTest, OnlineRecordsExtendTheCurve) {
  TDtPlotVO* vo = NewPlot();
  a_->NewBuffer();
  TDtRecord r(16);
  for (int h = 0; h < 3; ++h) {
    r.Date = kDay;
    r.Time = h * 3600;
    r.SetValues(0, 5.0 * h);
    a_->InsertRecord(r);
  }
  a_->stored = a_->Buffer()->Bytes();
  a_->OpenDT(TDtStamp{kDay, 0}, TDtStamp{kDay, 86399}, NoDtStamp, NoDtStamp);
  vo->AddGlobChan(a_.get(), A(1));
  vo->BottomTimeAxis()->SetInterval(TDtStamp{kDay, 0}, TDtStamp{kDay, 86399});
  auto* curve = static_cast<TPlotGlbChan*>(vo->vobGlobChanList()->GetGlobChan_I(0));
  curve->LastPoint = TPoint{-1, -1};
  r.Time = 4 * 3600;
  r.SetValues(0, 7);
  a_->InsertRecord(r);
  // The recorder reports the record after storing it.
  a_->NotifyRecordChanges();
  EXPECT_EQ(curve->LastPoint.X, vo->BottomTimeAxis()->DtToPixel(TDtStamp{kDay, 4 * 3600}));
  EXPECT_EQ(curve->LastPoint.Y, vo->LeftAxis()->ValueToPixel(7));
}

TEST_F(PlotVOTest, StoredSettingsAndCurvesComeBack) {
  test::TRecordingMsgHandler log;
  TIniFile2 ini(dir.File("Monitors.ini"));
  {
    TDtPlotVO* vo = NewPlot();
    vo->AddGlobChan(a_.get(), A(1));
    vo->AddGlobChan(b_.get(), B());
    vo->SetLeftCustRange(30, -5);
    vo->SetRightGrid(true);
    vo->SetReferenceOn(false);
    vo->SetXMargin(7);
    vo->StoreIniSection(&ini, "M/Diagram0");
    delete vo;
  }
  EXPECT_EQ(ini.ReadString("M/Diagram0", "ClassName", ""), "TDtPlotVO");
  EXPECT_EQ(ini.ReadString("M/Diagram0", "YLCustViewMax", ""), "30");
  EXPECT_EQ(ini.ReadString("M/Diagram0", "LockedYAx1", ""), "0");

  TDtPlotVO* back = NewPlot();
  back->LoadIniSection(&ini, "M/Diagram0");
  EXPECT_EQ(back->GetGlobChanCount(), 2);
  EXPECT_EQ(back->GetLeftMax(), 30);
  EXPECT_EQ(back->GetLeftMin(), -5);
  EXPECT_EQ(back->YRCustViewMin(), -1.501e38);
  EXPECT_TRUE(back->RightGridOn());
  EXPECT_FALSE(back->ReferenceOn());
  EXPECT_EQ(back->XMargin(), 7);
  delete back;

  // The data set of the % curve is gone: that curve is dropped and reported, the other stays.
  b_.reset();
  TDtPlotVO* partial = NewPlot();
  partial->LoadIniSection(&ini, "M/Diagram0");
  ASSERT_EQ(partial->GetGlobChanCount(), 1);
  EXPECT_EQ(partial->vobGlobChanList()->GetGlobChan_I(0)->Channel(), A(1));
  EXPECT_EQ(partial->GetAxisUnit(1), kAxisNotUsed);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("B/"), std::string::npos);
  EXPECT_THROW(partial->LoadIniSection(nullptr, "M"), Exception);
}

// Stored ends that are unreadable or give no range leave that axis automatic, and the restore
// goes on.
TEST_F(PlotVOTest, BadStoredRangesBecomeAutomatic) {
  test::TRecordingMsgHandler log;
  TIniFile2 ini(dir.File("Monitors.ini"));
  ini.WriteString("P", "YLCustViewMin", "20");
  ini.WriteString("P", "YLCustViewMax", "10");
  ini.WriteString("P", "YRCustViewMin", "lots");
  ini.WriteString("P", "YRCustViewMax", "80");
  ini.WriteString("P", "LYAxGrid", "0");
  TDtPlotVO* vo = NewPlot();
  vo->LoadIniSection(&ini, "P");
  EXPECT_EQ(vo->YLCustViewMin(), -1.501e38);
  EXPECT_EQ(vo->YLCustViewMax(), -1.501e38);
  EXPECT_EQ(vo->YRCustViewMin(), -1.501e38);
  EXPECT_EQ(vo->YRCustViewMax(), 80);
  EXPECT_FALSE(vo->LeftGridOn());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("lots"), std::string::npos);
}

// The rows of dark (text) pixels in a rectangle of a picture, grouped into runs of rows: one run
// per label text of a Y axis. Each run is {first row, last row}.
std::vector<std::pair<int, int>> TextRuns(const TBitmap& shot, const TRect& r) {
  std::vector<std::pair<int, int>> runs;
  for (int y = r.Top; y < r.Bottom; ++y) {
    bool dark = false;
    for (int x = r.Left; x < r.Right && !dark; ++x) {
      const TColor p = shot.Pixel(x, y);
      dark = GetRValue(p) + GetGValue(p) + GetBValue(p) < 200;
    }
    if (!dark) continue;
    if (!runs.empty() && runs.back().second == y - 1)
      runs.back().second = y;
    else
      runs.push_back({y, y});
  }
  return runs;
}

// Every label of both Y axes is written whole and centred on its tick, the outermost ones too.
TEST_F(PlotVOTest, YLabelsStandWholeAtTheirTicks) {
  TDtPlotVO* vo = NewPlot();
  ASSERT_TRUE(vo->AddGlobChan(a_.get(), A(1)));
  ASSERT_TRUE(vo->AddGlobChan(b_.get(), B()));
  form->Show();
  Application->ProcessMessages();
  TBitmap shot;
  GrabWindowImage(vo, shot);
  for (TAxisLabel* label : {vo->LeftLabel(), vo->RightLabel()}) {
    SCOPED_TRACE(label == vo->LeftLabel() ? "left" : "right");
    TAxisScale* axis = label->Axis();
    const TPoint at = vo->ScreenToClient(label->ClientToScreen({0, 0}));
    const TRect r{at.X, at.Y, at.X + label->Width(), at.Y + label->Height()};
    const int box_top = vo->ScreenToClient(vo->PlotBox()->ClientToScreen({0, 0})).Y;
    const std::vector<std::pair<int, int>> runs = TextRuns(shot, r);
    const double step = std::fabs(axis->MajorStep());
    const int texts = static_cast<int>(std::lround(std::fabs(axis->EndValue() - axis->StartValue()) / step)) + 1;
    ASSERT_EQ(static_cast<int>(runs.size()), texts);
    // The top text is not cut: it lies inside the label, as high as the others.
    EXPECT_GT(runs.front().first, r.Top);
    EXPECT_EQ(runs.front().second - runs.front().first, runs[1].second - runs[1].first);
    EXPECT_LT(runs.back().second, r.Bottom - 1);
    // Each text is centred on its tick (the digits are centred within a pixel or two).
    for (int i = 0; i < texts; ++i) {
      const double v = std::max(axis->StartValue(), axis->EndValue()) - i * step;
      const int tick = box_top + axis->ValueToPixel(v);
      EXPECT_NEAR((runs[static_cast<size_t>(i)].first + runs[static_cast<size_t>(i)].second) / 2.0, tick, 2.0)
          << "value " << v;
    }
  }
}

TEST_F(PlotVOTest, LayoutAndRegistry) {
  TDtPlotVO* vo = NewPlot();
  vo->AddGlobChan(a_.get(), A(1));
  vo->AddGlobChan(b_.get(), B());
  // The plot box sits between the two Y axes and above the time axis, inside the client panel.
  TPlotBox* box = vo->PlotBox();
  EXPECT_EQ(box->Left(), vo->LeftAxis()->Left() + vo->LeftAxis()->Width());
  EXPECT_EQ(vo->RightAxis()->Left(), box->Left() + box->Width());
  EXPECT_EQ(vo->BottomTimeAxis()->Top(), box->Top() + box->Height());
  EXPECT_EQ(vo->BottomTimeAxis()->Width(), box->Width());
  EXPECT_LE(vo->RightLabel()->Left() + vo->RightLabel()->Width(), vo->ClientPanel()->Width());
  EXPECT_GT(box->Height(), 100);
  // A plot tiled into an empty pane keeps a usable layout and a compact legend.
  vo->SetBounds(0, 0, 0, 0);
  EXPECT_TRUE(vo->Legend().Compact());
  EXPECT_GE(vo->PlotBox()->Width(), 2);

  const std::vector<const TVisObjClass*> saved = DefaultVisObjClasses;
  RegisterPlotClasses();
  RegisterPlotClasses();
  TVOClassRegistry registry;
  DefaultVisObjClasses = saved;
  const TVisObjClass* cls = nullptr;
  ASSERT_TRUE(registry.FindClass("TDtPlotVO", cls));
  EXPECT_EQ(registry.IndexOfName("TDtPlotVO"), registry.Count() - 1);
  EXPECT_TRUE(cls->InheritsFrom(&DiagramVOClass));
  TVisObj* made = cls->Create(form.get());
  EXPECT_EQ(made->ClassName(), "TDtPlotVO");
  EXPECT_EQ(made->GetTypeDescr(), cls->GetTypeDescr());
  delete made;
}

}  // namespace
}  // namespace qv
