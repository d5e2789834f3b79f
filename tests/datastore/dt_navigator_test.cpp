#include "datastore/dt_navigator.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "datastore/channels.h"
#include "datastore/data_globals.h"
#include "datastore/kw_data.h"
#include "platform/rtl/component.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A navigator whose followers are played by the test.
class TestNavigator : public TDtNavigator {
public:
  using TDtNavigator::TDtNavigator;
  int Notified = 0;
  bool Follower = true;
  TDtStamp Newest = NoDtStamp;

protected:
  void NotifyDataSets() override { ++Notified; }
  bool HasViewFollower() const override { return Follower; }
  TDtStamp NewestOfFollowers() const override { return Newest; }
};

constexpr uint16_t Day = 39000;  // a Wednesday in 2006
TDtStamp At(int h, int m, int s, uint16_t day = Day) { return TDtStamp{day, h * 3600 + m * 60 + s}; }

std::string Text(const TDtStamp& s) {
  return std::to_string(s.Date) + "/" + std::to_string(s.Time / 3600) + ":" + std::to_string(s.Time / 60 % 60) + ":" +
         std::to_string(s.Time % 60);
}

class NavigatorTest : public ::testing::Test {
protected:
  NavigatorTest() : clock_(DtStampToDateTime(At(14, 37, 25))) {
    saved_ini_ = IniFileName;
    IniFileName = dir_.File("Prog.INI");
  }
  ~NavigatorTest() override { IniFileName = saved_ini_; }

  test::TempDir dir_;
  TFixedClock clock_;
  std::string saved_ini_;
};

TEST_F(NavigatorTest, DefaultIsTheCurrentTenMinutesOfToday) {
  TestNavigator nav(clock_);
  EXPECT_EQ(Text(nav.Dt1Start), Text(At(14, 30, 0)));
  EXPECT_EQ(Text(nav.Dt1Stop), Text(At(14, 39, 59)));
  EXPECT_EQ(Text(nav.Dt2Start), Text(At(0, 0, 0)));
  EXPECT_EQ(Text(nav.Dt2Stop), Text(At(23, 59, 59)));
  EXPECT_EQ(nav.ZoomLevel, 12);
}

TEST_F(NavigatorTest, CommandsMoveTheViewRange) {
  InsertDtRangeDialog = [](TDateTime& start, TDateTime& stop) {
    // Entered the wrong way round: the earlier becomes the start.
    start = DtStampToDateTime(At(16, 0, 0));
    stop = DtStampToDateTime(At(10, 0, 0));
    return true;
  };
  struct Case {
    const char* name;
    TDtStamp start, stop;
    uint8_t level;
  } cases[] = {
      {"BStepLeftBtn", At(14, 20, 0), At(14, 29, 59), 12},
      {"EMenSStepLeft", At(14, 29, 0), At(14, 38, 59), 12},
      {"SStepRightBtn", At(14, 31, 0), At(14, 40, 59), 12},
      {"EMenBStepRight", At(14, 40, 0), At(14, 49, 59), 12},
      {"ZoomButton", At(14, 34, 0), At(14, 34, 59), 13},
      {"EMenUnZoom", At(14, 0, 0), At(14, 59, 59), 10},
      {"LastButton", At(9, 12, 0), At(9, 21, 59), 12},
      {"EMenEditDt", At(10, 0, 0), At(16, 0, 0), ZoomLevelOfSpan(At(10, 0, 0), At(16, 0, 0))},
  };
  for (const auto& c : cases) {
    std::remove(IniFileName.c_str());
    TestNavigator nav(clock_);
    nav.Newest = At(9, 17, 30);
    nav.FindNewest();
    int command = NavCommandOfName(c.name);
    ASSERT_GE(command, 0) << c.name;
    switch (command) {
      case ncBigStepLeft: nav.BigStepLeft(); break;
      case ncSmallStepLeft: nav.SmallStepLeft(); break;
      case ncSmallStepRight: nav.SmallStepRight(); break;
      case ncBigStepRight: nav.BigStepRight(); break;
      case ncZoom: nav.Zoom(); break;
      case ncUnzoom: nav.Unzoom(); break;
      case ncGotoNewest: nav.GotoNewest(); break;
      case ncEditDt: nav.EditDt(); break;
    }
    EXPECT_EQ(Text(nav.Dt1Start), Text(c.start)) << c.name;
    EXPECT_EQ(Text(nav.Dt1Stop), Text(c.stop)) << c.name;
    EXPECT_EQ(nav.ZoomLevel, c.level) << c.name;
    EXPECT_EQ(nav.Notified, 1) << c.name;
    EXPECT_EQ(Text(nav.Dt2Start), Text(At(0, 0, 0))) << c.name;
  }
  InsertDtRangeDialog = nullptr;
  EXPECT_EQ(NavCommandOfName("DeviceComboB"), -1);
}

TEST_F(NavigatorTest, ZoomCentreAndIncompleteRanges) {
  TestNavigator nav(clock_);
  // Day 100 00:00 to day 101 00:00: the centre is day 100 at 12:00.
  nav.SetDt1Zoom(TDtStamp{100, 0}, TDtStamp{101, 0}, 7);
  nav.Zoom();
  EXPECT_EQ(Text(nav.Dt1Start), Text(TDtStamp{100, 9 * 3600}));
  EXPECT_EQ(Text(nav.Dt1Stop), Text(TDtStamp{100, 15 * 3600 - 1}));
  EXPECT_EQ(nav.ZoomLevel, 9);

  // A range without a time falls back to the default.
  for (auto command : {&TDtNavigator::BigStepRight, &TDtNavigator::Zoom, &TDtNavigator::Unzoom}) {
    nav.Dt1Stop = TDtStamp{Day, -1};
    int before = nav.Notified;
    (nav.*command)();
    EXPECT_EQ(Text(nav.Dt1Start), Text(At(14, 30, 0)));
    EXPECT_EQ(nav.Notified, before + 1);
  }
  // Setting the same range again notifies nobody.
  int before = nav.Notified;
  nav.SetDt1(nav.Dt1Start, nav.Dt1Stop);
  EXPECT_EQ(nav.Notified, before);
}

TEST_F(NavigatorTest, DayCommandsAndTheFitOfBothWindows) {
  TestNavigator nav(clock_);
  // Dt1 follows the overview day by big steps.
  nav.NextDay();
  EXPECT_EQ(Text(nav.Dt2Start), Text(At(0, 0, 0, Day + 1)));
  EXPECT_EQ(Text(nav.Dt1Start), Text(At(0, 0, 0, Day + 1)));
  EXPECT_EQ(Text(nav.Dt1Stop), Text(At(0, 9, 59, Day + 1)));
  EXPECT_EQ(nav.ZoomLevel, 12);
  nav.PrevDay();
  nav.PrevDay();
  EXPECT_EQ(Text(nav.Dt2Start), Text(At(0, 0, 0, Day - 1)));
  EXPECT_EQ(Text(nav.Dt1Stop), Text(At(23, 59, 59, Day - 1)));
  EXPECT_EQ(nav.Notified, 3);

  // The ends of the calendar.
  nav.SetDay(LastDayNo);
  int before = nav.Notified;
  nav.NextDay();
  EXPECT_EQ(nav.Dt2Start.Date, LastDayNo);
  nav.SetDay(0);
  nav.PrevDay();
  EXPECT_EQ(nav.Dt2Start.Date, 0);
  EXPECT_EQ(nav.Notified, before + 1);

  // The overview day moves into a view range on other days: to its first or its last day.
  nav.SetDay(Day - 10);
  nav.SetDt1(At(12, 0, 0, Day), At(12, 0, 0, Day + 2));
  EXPECT_EQ(nav.Dt2Start.Date, Day);
  nav.SetDay(Day + 1);
  EXPECT_EQ(nav.Dt2Start.Date, Day + 1);  // inside: stays
  nav.SetDay(Day + 30);
  EXPECT_LE(nav.Dt1Start.Date, Day + 30);
  EXPECT_GE(nav.Dt1Stop.Date, Day + 30);
  nav.SetDt1(At(12, 0, 0, Day), At(13, 0, 0, Day + 2));
  EXPECT_EQ(nav.Dt2Start.Date, Day + 2);
  EXPECT_EQ(nav.Dt2Stop.Time, 86399);
}

TEST_F(NavigatorTest, SettingsAreStoredInSectionNavigator) {
  {
    TestNavigator nav(clock_);
    nav.SetDt1(At(8, 0, 0, Day - 3), At(9, 59, 59, Day - 3));
  }
  TIniFile2 ini(IniFileName);
  EXPECT_TRUE(ini.ValueExists("Navigator", "StartDt1"));
  EXPECT_TRUE(ini.ValueExists("Navigator", "StopDt2"));
  {
    TestNavigator nav(clock_);
    EXPECT_EQ(Text(nav.Dt1Start), Text(At(8, 0, 0, Day - 3)));
    EXPECT_EQ(Text(nav.Dt1Stop), Text(At(9, 59, 59, Day - 3)));
    EXPECT_EQ(nav.Dt2Start.Date, Day - 3);
    EXPECT_EQ(nav.ZoomLevel, ZoomLevelOfSpan(At(8, 0, 0, Day - 3), At(9, 59, 59, Day - 3)));
  }

  auto day = [](int d, int m, int y) { return DateToDayNo(d, m, y); };
  struct Case {
    const char* what;
    TDtStamp s1, e1, s2, e2;
    bool taken;
  } cases[] = {
      {"stop 1 before start 1", At(10, 0, 0, Day - 2), At(9, 0, 0, Day - 2), At(0, 0, 0, Day - 2),
       At(23, 59, 59, Day - 2), false},
      {"stop 2 before start 2", At(9, 0, 0, Day - 2), At(10, 0, 0, Day - 2), At(23, 59, 59, Day - 2),
       At(0, 0, 0, Day - 2), false},
      {"a year from the earlier start", At(0, 0, 0, day(1, 3, 2006)), At(0, 0, 0, day(1, 3, 2007)),
       At(0, 0, 0, day(1, 3, 2006)), At(23, 59, 59, day(1, 3, 2006)), false},
      {"just under a year", At(0, 0, 1, day(1, 3, 2006)), At(0, 0, 0, day(1, 3, 2007)), At(0, 0, 0, day(1, 3, 2006)),
       At(23, 59, 59, day(1, 3, 2006)), false},
      {"just under a year", At(0, 0, 0, day(1, 3, 2006)), At(23, 59, 59, day(28, 2, 2007)),
       At(0, 0, 0, day(1, 3, 2006)), At(23, 59, 59, day(1, 3, 2006)), true},
      {"29 February accepts any stop", At(0, 0, 0, day(29, 2, 2008)), At(0, 0, 0, day(5, 3, 2009)),
       At(0, 0, 0, day(29, 2, 2008)), At(23, 59, 59, day(29, 2, 2008)), true},
  };
  for (const auto& c : cases) {
    ini.WriteDateTime("Navigator", "StartDt1", DtStampToDateTime(c.s1));
    ini.WriteDateTime("Navigator", "StopDt1", DtStampToDateTime(c.e1));
    ini.WriteDateTime("Navigator", "StartDt2", DtStampToDateTime(c.s2));
    ini.WriteDateTime("Navigator", "StopDt2", DtStampToDateTime(c.e2));
    TestNavigator nav(clock_);
    EXPECT_EQ(Text(nav.Dt1Start), Text(c.taken ? c.s1 : At(14, 30, 0))) << c.what;
    EXPECT_EQ(Text(nav.Dt2Stop), Text(c.taken ? c.e2 : At(23, 59, 59))) << c.what;
  }
}

TEST_F(NavigatorTest, UpdateRunsFromAnIdleTaskAndThenGoesToTheNewestData) {
  TIdleTaskManager manager;
  IdleTaskManager = &manager;
  TFixedTicks ticks(1000);
  {
    TestNavigator nav(clock_, ticks);
    nav.Newest = At(9, 17, 30);
    nav.Changed();
    nav.Changed();
    EXPECT_TRUE(nav.UpdatePending());
    EXPECT_EQ(manager.Count(), 1);
    nav.GotoNewest();  // waits for the update, which finds the newest record first
    EXPECT_TRUE(nav.GotoNewestPending);
    manager.Run();
    EXPECT_TRUE(nav.UpdatePending()) << "not before 100 ms";
    ticks.Advance(101);
    manager.Run();
    EXPECT_FALSE(nav.UpdatePending());
    EXPECT_FALSE(nav.GotoNewestPending);
    EXPECT_EQ(Text(nav.Dt1Start), Text(At(9, 12, 0)));
    EXPECT_EQ(manager.Count(), 0);
    nav.Changed();
    EXPECT_EQ(manager.Count(), 1);
  }
  EXPECT_EQ(manager.Count(), 0) << "a freed navigator leaves no idle task";
  IdleTaskManager = nullptr;
}

// A control as the GUI side adapts it: a named component that records its state.
class FakeNavControl : public TNavControl {
public:
  FakeNavControl(TComponent* form, const std::string& name, bool menu_item)
      : component_(std::make_unique<TComponent>(nullptr)), form_(form), menu_item_(menu_item) {
    component_->SetName(name);
  }
  TComponent* Component() const override { return component_.get(); }
  bool IsMenuItem() const override { return menu_item_; }
  TComponent* Form() const override { return form_; }
  void SetOnClick(std::function<void()> run) override { *click_ = std::move(run); }
  void SetEnabled(bool enabled) override { *enabled_ = enabled; }

  // Kept by the test when the navigator takes the control.
  std::shared_ptr<bool> enabled_ = std::make_shared<bool>(true);
  std::shared_ptr<std::function<void()>> click_ = std::make_shared<std::function<void()>>();

private:
  std::unique_ptr<TComponent> component_;
  TComponent* form_;
  bool menu_item_;
};

// What the test keeps of a bound control.
struct BoundFake {
  std::shared_ptr<bool> enabled;
  std::shared_ptr<std::function<void()>> click;
  bool Enabled() const { return *enabled; }
  void Click() const { (*click)(); }
};

BoundFake Bind(TNavigator0& nav, TComponent* form, const std::string& name, bool menu_item) {
  auto control = std::make_unique<FakeNavControl>(form, name, menu_item);
  BoundFake kept{control->enabled_, control->click_};
  nav.BindControl(std::move(control));
  return kept;
}

TEST_F(NavigatorTest, BoundControlsRunTheirCommandsAndWaitForFollowers) {
  TIdleTaskManager manager;
  IdleTaskManager = &manager;
  TFixedTicks ticks(1000);
  {
    TestNavigator nav(clock_, ticks);
    nav.Follower = false;
    TComponent form(nullptr);
    const BoundFake step = Bind(nav, &form, "BStepLeftBtn", false);
    const BoundFake last = Bind(nav, &form, "LastButton", false);
    const BoundFake edit = Bind(nav, &form, "EMenEditDt", true);
    const BoundFake zoom = Bind(nav, &form, "emenzoom", true);
    const BoundFake wrong_kind = Bind(nav, &form, "ZoomButton", true);  // a menu item with a button's name
    const BoundFake unknown = Bind(nav, &form, "OtherButton", false);
    nav.BindControl(nullptr);
    EXPECT_EQ(nav.Form(), &form);
    EXPECT_EQ(nav.BoundButton(ncZoom), nullptr);
    ASSERT_NE(nav.BoundMenuItem(ncZoom), nullptr);
    EXPECT_EQ(nav.BoundMenuItem(ncZoom)->Component()->Name(), "emenzoom");
    for (bool enabled : {step.Enabled(), last.Enabled(), edit.Enabled(), zoom.Enabled()}) EXPECT_FALSE(enabled);
    EXPECT_TRUE(wrong_kind.Enabled() && unknown.Enabled()) << "ignored controls are left alone";
    EXPECT_FALSE(*wrong_kind.click || *unknown.click);

    auto run_update = [&] {
      ticks.Advance(101);
      manager.Run();
    };
    // Without a data set that follows the view range everything stays disabled.
    run_update();
    EXPECT_FALSE(step.Enabled());
    nav.Follower = true;
    nav.Changed();
    run_update();
    EXPECT_TRUE(step.Enabled());
    EXPECT_TRUE(edit.Enabled());
    EXPECT_TRUE(zoom.Enabled());
    EXPECT_FALSE(last.Enabled()) << "no newest record yet";

    step.Click();
    EXPECT_EQ(Text(nav.Dt1Start), Text(At(14, 20, 0)));
    EXPECT_EQ(nav.Notified, 1);
    nav.Newest = At(9, 0, 0);
    nav.Changed();
    EXPECT_FALSE(step.Enabled());
    run_update();
    EXPECT_TRUE(last.Enabled());
    last.Click();
    EXPECT_EQ(Text(nav.Dt1Start), Text(At(8, 55, 0)));
    zoom.Click();
    EXPECT_EQ(nav.ZoomLevel, 13);

    // While the recorder scrolls the view, the user's commands wait.
    AutoScrollActive = true;
    nav.Changed();
    run_update();
    EXPECT_FALSE(step.Enabled());
    AutoScrollActive = false;
  }
  IdleTaskManager = nullptr;
}

TEST_F(NavigatorTest, DataSetsThatFollowReopenTheirWindowsAndGiveTheNewestRecord) {
  TIdleTaskManager manager;
  IdleTaskManager = &manager;
  TFixedTicks ticks(1000);
  TDataGlobals globals(ticks);
  DataGlobals = &globals;
  {
    TDtNavigator nav(clock_, ticks);
    DtNavigator = &nav;
    auto channels = TChannels::CreateDefault();
    channels->Add(std::make_unique<TChannel>(2));
    TDtRecord rec(1);
    TKwData kw(dir_.Path(), channels.get(), &rec);
    TKwData other(dir_.Path() + "other/", channels.get(), &rec);
    int client;
    kw.AddClient(&client, DataEventBit(deFollowDt1), nullptr);
    EXPECT_EQ(Text(kw.StartDt(1)), Text(At(14, 30, 0)));
    nav.BigStepLeft();
    EXPECT_EQ(Text(kw.StartDt(1)), Text(At(14, 20, 0)));
    EXPECT_FALSE(other.HasBuffer()) << "a data set without followers is not opened";

    TDtRecord r(1);
    r.Date = Day;
    r.Time = 9 * 3600;
    r.SetValues(0, 1.5);
    {
      TDataLock lock(kw);
      kw.InsertRecord(r);
    }
    kw.Flush();  // a flush asks the navigator for an update
    EXPECT_TRUE(nav.UpdatePending());
    ticks.Advance(101);
    manager.Run();
    EXPECT_EQ(Text(nav.NewestDt), Text(At(9, 0, 0)));
    nav.GotoNewest();
    EXPECT_EQ(Text(kw.StartDt(1)), Text(At(8, 55, 0)));

    kw.DetachClient(&client);
    ticks.Advance(101);
    manager.Run();
    EXPECT_EQ(nav.NewestDt.Date, NoDayNo) << "only followers count";
  }
  EXPECT_EQ(DtNavigator, nullptr);
  DataGlobals = nullptr;
  IdleTaskManager = nullptr;
}

}  // namespace
}  // namespace qv
