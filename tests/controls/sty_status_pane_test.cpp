#include "controls/sty_status_pane.h"

#include <gtest/gtest.h>

#include <chrono>

#include "controls/draw_log.h"
#include "controls/sty_toolbar.h"

namespace qv {
namespace {

using test::DrawLog;
using test::Log;

Log Painted(TControl& c) {
  TRecordingCanvas canvas(c.Width(), c.Height());
  c.PaintTo(canvas, 0, 0);
  return DrawLog(canvas);
}

TEST(StyStatusPane, AutoSizeFollowsTheCaptionOrTakesTheDefaultWidth) {
  TForm form(nullptr);
  auto* pane = new TStyStatusPane(&form);
  pane->SetParent(&form);
  pane->SetAutoSize(true);
  EXPECT_EQ(pane->Width(), 40);
  pane->SetCaption("Ready to read");
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(pane->Font());
  // Caption width + 2 x BorderWidth 1 + CaptionOffset 2 + 6.
  EXPECT_EQ(pane->Width(), c.TextWidth("Ready to read") + 10);
  pane->SetCaptionOffset(5);
  EXPECT_EQ(pane->Width(), c.TextWidth("Ready to read") + 13);
  pane->SetCaption("");
  EXPECT_EQ(pane->Width(), 40);
  pane->SetDefaultWidth(55);
  EXPECT_EQ(pane->Width(), 55);
}

TEST(StyStatusPane, PaintsFillFlatFrameWithoutCornersAndTheCaption) {
  TForm form(nullptr);
  form.SetColor(clBtnFace);
  auto* pane = new TStyStatusPane(&form);
  pane->SetParent(&form);
  pane->SetBounds(0, 0, 60, 20);
  pane->SetFlatColor(clBlack);
  pane->SetFlatColorAdjustment(0);
  pane->SetCaption("COM1");
  EXPECT_EQ(Painted(*pane),
            (Log{"fill face 0,0,60,20", "line black 1,2-1,18", "line black 2,1-58,1", "line black 58,2-58,18",
                 "line black 2,18-58,18", "fill face 2,2,58,18", "text wintext COM1"}));
  // Other frame styles are painted inside the border width; disabled text is etched.
  pane->SetFrameStyle(TFrameStyleEx::fsNone);
  pane->SetEnabled(false);
  EXPECT_EQ(Painted(*pane),
            (Log{"fill face 0,0,60,20", "fill face 1,1,59,19", "text hilite COM1", "text shadow COM1"}));
}

TEST(StyStatusPane, FillColorFollowsColorUntilSetAndBlinkingChangesTheTextColour) {
  TForm form(nullptr);
  auto* pane = new TStyStatusPane(&form);
  pane->SetParent(&form);
  form.SetColor(clYellow);
  EXPECT_EQ(pane->FillColor(), clYellow);
  pane->SetFillColor(clRed);
  EXPECT_FALSE(pane->ParentFillColor());
  form.SetColor(clGreen);
  EXPECT_EQ(pane->Color(), clGreen);
  EXPECT_EQ(pane->FillColor(), clRed);
  pane->SetParentFillColor(true);
  EXPECT_EQ(pane->FillColor(), clGreen);
  form.SetColor(clBlue);
  EXPECT_EQ(pane->FillColor(), clBlue);

  EXPECT_EQ(pane->Perform(CM_STY_BLINKQUERY, 0, 0), 0);
  pane->Perform(CM_STY_BLINKSTATE, 1, 0);
  EXPECT_EQ(pane->CurrentTextColor(), clWindowText);  // not blinking: ignored
  pane->SetBlinking(true);
  EXPECT_EQ(pane->Perform(CM_STY_BLINKQUERY, 0, 0), 1);
  pane->Perform(CM_STY_BLINKSTATE, 1, 0);
  EXPECT_EQ(pane->CurrentTextColor(), clHighlight);
  pane->SetBlinking(false);
  EXPECT_EQ(pane->CurrentTextColor(), clWindowText);
}

TEST(StyStatusPane, AutoHintTakesTheHintAsCaption) {
  TStyStatusPane pane(nullptr);
  EXPECT_FALSE(pane.HandleHint("Opens a file"));
  pane.SetAutoHint(true);
  EXPECT_TRUE(pane.HandleHint("Opens a file"));
  EXPECT_EQ(pane.Caption(), "Opens a file");
}

TEST(StyPollingStatus, OneSharedTimerCallsEveryVisiblePaneInOrder) {
  EXPECT_EQ(PollingList(), nullptr);
  std::vector<int> calls;
  {
    TStyPollingStatus a(nullptr), b(nullptr), c(nullptr);
    ASSERT_NE(PollingList(), nullptr);
    a.OnTimerExpired = [&](TComponent*) { calls.push_back(1); };
    b.OnTimerExpired = [&](TComponent*) { calls.push_back(2); };
    c.OnTimerExpired = [&](TComponent*) { calls.push_back(3); };
    b.SetVisible(false);
    PollingList()->Tick();
    EXPECT_EQ(calls, (std::vector<int>{1, 3}));
    EXPECT_TRUE(c.Active());
    EXPECT_EQ(c.Interval(), 500);
    a.SetInterval(250);
    EXPECT_EQ(c.Interval(), 250);
    b.SetActive(false);
    EXPECT_FALSE(a.Active());
    // A pane freed by another pane's handler during a tick is skipped.
    auto* d = new TStyPollingStatus(nullptr);
    d->OnTimerExpired = [&](TComponent*) { calls.push_back(4); };
    calls.clear();
    a.OnTimerExpired = [&](TComponent*) { delete d; };
    PollingList()->Tick();
    EXPECT_EQ(calls, (std::vector<int>{3}));
  }
  EXPECT_EQ(PollingList(), nullptr);
}

// Counts the captions the clock draws.
class CountingClock : public TStyClockStatus {
public:
  using TStyClockStatus::TStyClockStatus;
  void DrawPaneCaption(const std::string& text) override {
    drawn.push_back(text);
    TStyClockStatus::DrawPaneCaption(text);
  }
  std::vector<std::string> drawn;
};

TEST(StyClockStatus, ShowsTheInjectedTimeAndRedrawsOnlyWhenTheTextChanges) {
  TFixedClock clock(EncodeDate(2026, 12, 10) + EncodeTime(17, 30, 5, 100));
  TForm form(nullptr);
  auto* pane = new CountingClock(&form, clock);
  pane->SetParent(&form);
  EXPECT_EQ(pane->Width(), 150);
  pane->SetFormat("yyyy-mm-dd hh:nn:ss");
  EXPECT_EQ(pane->Caption(), "2026-12-10 17:30:05");
  pane->drawn.clear();
  PollingList()->Tick();
  clock.Set(clock.Now() + 0.4 / 86400);  // the same second
  PollingList()->Tick();
  EXPECT_TRUE(pane->drawn.empty());
  clock.Set(clock.Now() + 0.5 / 86400);
  PollingList()->Tick();
  EXPECT_EQ(pane->drawn, (std::vector<std::string>{"2026-12-10 17:30:06"}));
  // The date-time event may replace the time; an empty format is the short date and long time.
  pane->OnGetDateTime = [](TComponent*, TDateTime& dt) { dt = EncodeDate(2027, 1, 2) + EncodeTime(3, 4, 5, 0); };
  pane->SetFormat("");
  EXPECT_EQ(pane->Caption(), FormatDateTime("c", EncodeDate(2027, 1, 2) + EncodeTime(3, 4, 5, 0)));
  int expired = 0;
  pane->OnTimerExpired = [&](TComponent*) { ++expired; };
  PollingList()->Tick();
  EXPECT_EQ(expired, 1);
}

TEST(StyClockStatus, AtTheSizeGripKeepsItsTextClearAndLetsTheGripWork) {
  TFixedClock clock(EncodeDate(2026, 12, 10));
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 100);
  auto* bar = new TStyStatusBar(&form);
  bar->SetParent(&form);
  auto* pane = new TStyClockStatus(&form, clock);
  pane->SetParent(bar);
  pane->SetAlign(TAlign::alRight);
  ASSERT_TRUE(pane->IsAtSizeGrip(pane->ClientRect()));
  TRect r;
  pane->GetTextRect(r);
  EXPECT_EQ(r, Rect(2, 2, pane->Width() - 2 - 12, pane->Height() - 2));
  // A press in the grip area reaches the bar, one left of it the pane.
  const int right = bar->ClientRect().Right;
  EXPECT_EQ(bar->ControlAtPos(Point(right - 5, 8)), nullptr);
  EXPECT_EQ(bar->ControlAtPos(Point(right - 20, 8)), pane);
  pane->SetAlign(TAlign::alLeft);
  EXPECT_FALSE(pane->IsAtSizeGrip(pane->ClientRect()));
  EXPECT_EQ(bar->ControlAtPos(Point(pane->Width() - 5, 8)), pane);
}

TEST(StyPollingStatus, TicksKeepTheIdleProcessingGoing) {
  InitializeGui();
  TStyPollingStatus pane(nullptr);
  pane.SetInterval(10);
  // The idle passes seen at each tick: with nothing else happening, each tick wakes the loop
  // and an idle pass follows it.
  std::vector<uint64_t> idle_at_tick;
  pane.OnTimerExpired = [&](TComponent*) {
    idle_at_tick.push_back(Application->IdleCount());
    if (idle_at_tick.size() == 4) Application->Terminate();
  };
  Application->OnIdle = [](TComponent*, bool& done) { done = true; };
  Application->Run();
  Application->ClearTerminated();
  Application->OnIdle = nullptr;
  pane.SetInterval(500);
  ASSERT_EQ(idle_at_tick.size(), 4u);
  for (size_t i = 1; i < idle_at_tick.size(); ++i) EXPECT_GT(idle_at_tick[i], idle_at_tick[i - 1]);
}

}  // namespace
}  // namespace qv
