#include "datastore/dt_navigator.h"

#include <algorithm>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "datastore/data_globals.h"
#include "datastore/dt_data.h"
#include "platform/rtl/component.h"
#include "platform/rtl/text_utils.h"

namespace qv {

TNavigator0* DtNavigator = nullptr;
TDtRangeDialog InsertDtRangeDialog;
bool AutoScrollActive = false;

const std::array<const char*, ncCount> NavButtonNames = {"BStepLeftBtn",  "SStepLeftBtn", "SStepRightBtn",
                                                         "BStepRightBtn", "ZoomButton",   "UnzoomButton",
                                                         "LastButton",    "EditDtBtn"};
const std::array<const char*, ncCount> NavMenuItemNames = {"EMenBStepLeft",  "EMenSStepLeft", "EMenSStepRight",
                                                           "EMenBStepRight", "EMenZoom",      "EMenUnZoom",
                                                           "EMenLast",       "EMenEditDt"};

namespace {

constexpr const char* NavSection = "Navigator";

bool Complete(const TDtStamp& s) { return s.Date != NoDayNo && s.Time != -1; }
int64_t Total(const TDtStamp& s) { return int64_t{s.Date} * 86400 + s.Time; }

// The same day and month one year later at the same time; false for 29 February.
bool OneYearAfter(const TDtStamp& start, TDtStamp& later) {
  uint16_t d, m, y;
  DayNoToDate(start.Date, d, m, y);
  if (!ValidDate(d, m, y + 1)) return false;
  later = TDtStamp{DateToDayNo(d, m, y + 1), start.Time};
  return later.Date != NoDayNo;
}

}  // namespace

int NavCommandOfName(const std::string& name) {
  for (int i = 0; i < ncCount; ++i) {
    if (SameText(name, NavButtonNames[i]) || SameText(name, NavMenuItemNames[i])) return i;
  }
  return -1;
}

// ---- TNavigator0 ----

TNavigator0::TNavigator0(const TTickSource& ticks, const TWallClock& clock)
    : timer_(std::make_unique<TTimer2>(100, ticks, clock)) {}

TNavigator0::~TNavigator0() {
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, timer_.get());
  if (DtNavigator == this) DtNavigator = nullptr;
}

void TNavigator0::BindControl(std::unique_ptr<TNavControl> control) {
  if (!control) return;
  const std::string& name = control->Component()->Name();
  const int command = NavCommandOfName(name);
  if (command < 0 || !HasCommand(command)) return;
  // Only buttons run the commands of button names, only menu items those of menu item names.
  const bool is_button = SameText(name, NavButtonNames[command]);
  if (is_button == control->IsMenuItem()) return;
  control->SetOnClick([this, command] { RunCommand(command); });
  if (!form_) form_ = control->Form();
  (is_button ? controls_[command].Button : controls_[command].MenuItem) = std::move(control);
  EnableCommand(command, false);
  Changed();
}

void TNavigator0::EnableCommand(int command, bool enabled) {
  if (controls_[command].Button) controls_[command].Button->SetEnabled(enabled);
  if (controls_[command].MenuItem) controls_[command].MenuItem->SetEnabled(enabled);
}

void TNavigator0::DisableAll() {
  for (int i = 0; i < ncCount; ++i) EnableCommand(i, false);
}

void TNavigator0::RunCommand(int command) {
  switch (command) {
    case ncBigStepLeft: BigStepLeft(); break;
    case ncSmallStepLeft: SmallStepLeft(); break;
    case ncSmallStepRight: SmallStepRight(); break;
    case ncBigStepRight: BigStepRight(); break;
    case ncZoom: Zoom(); break;
    case ncUnzoom: Unzoom(); break;
    case ncGotoNewest: GotoNewest(); break;
    default: break;
  }
}

void TNavigator0::Changed() {
  if (update_pending_ || !IdleTaskManager) return;
  DisableAll();
  update_pending_ = true;
  timer_->Restart();
  IdleTaskManager->AddTask(this, timer_.get(), [this](TIdleTaskManager*, TTimer2*, bool& done) { IdleUpdate(done); });
}

void TNavigator0::UpdateControls() {}

void TNavigator0::IdleUpdate(bool& done) {
  update_pending_ = false;
  UpdateControls();
  done = !update_pending_;
}

// ---- TDtNavigator ----

TDtNavigator::TDtNavigator(const TWallClock& clock, const TTickSource& ticks)
    : TNavigator0(ticks, clock), clock_(clock) {
  SetDefault();
  LoadSettings();
}

TDtNavigator::~TDtNavigator() {
  try {
    SaveSettings();
  } catch (const std::exception&) {
    // A settings file that cannot be written must not stop the shutdown.
  }
}

void TDtNavigator::SetWholeDay(uint16_t day) {
  Dt2Start = TDtStamp{day, 0};
  Dt2Stop = TDtStamp{day, 86399};
}

void TDtNavigator::SetDefault() {
  TDtStamp now;
  DateTimeToDtStamp(now, clock_.Now());
  Dt1Start = TDtStamp{now.Date, now.Time / 600 * 600};
  Dt1Stop = Dt1Start;
  IncDtStampSecs(Dt1Stop, 599);
  ZoomLevel = 12;
  SetWholeDay(now.Date);
}

void TDtNavigator::LoadSettings() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  TDtStamp s1, e1, s2, e2;
  DateTimeToDtStamp(s1, ini.ReadDateTime(NavSection, "StartDt1", DtStampToDateTime(Dt1Start)));
  DateTimeToDtStamp(e1, ini.ReadDateTime(NavSection, "StopDt1", DtStampToDateTime(Dt1Stop)));
  DateTimeToDtStamp(s2, ini.ReadDateTime(NavSection, "StartDt2", DtStampToDateTime(Dt2Start)));
  DateTimeToDtStamp(e2, ini.ReadDateTime(NavSection, "StopDt2", DtStampToDateTime(Dt2Stop)));
  if (!Complete(s1) || !Complete(e1) || !Complete(s2) || !Complete(e2)) return;
  if (Total(e1) <= Total(s1) || Total(e2) <= Total(s2)) return;
  TDtStamp earlier = Total(s1) <= Total(s2) ? s1 : s2;
  int64_t later_stop = std::max(Total(e1), Total(e2));
  TDtStamp year_after;
  if (OneYearAfter(earlier, year_after) && Total(year_after) <= later_stop) return;
  Dt1Start = s1;
  Dt1Stop = e1;
  Dt2Start = s2;
  Dt2Stop = e2;
  ZoomLevel = ZoomLevelOfSpan(Dt1Start, Dt1Stop);
}

void TDtNavigator::SaveSettings() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  ini.WriteDateTime(NavSection, "StartDt1", DtStampToDateTime(Dt1Start));
  ini.WriteDateTime(NavSection, "StopDt1", DtStampToDateTime(Dt1Stop));
  ini.WriteDateTime(NavSection, "StartDt2", DtStampToDateTime(Dt2Start));
  ini.WriteDateTime(NavSection, "StopDt2", DtStampToDateTime(Dt2Stop));
}

bool TDtNavigator::Dt1Complete() const { return Complete(Dt1Start) && Complete(Dt1Stop); }

// A window without date or time starts again from the default.
bool TDtNavigator::Dt1Usable() {
  if (Dt1Complete()) return true;
  SetDefault();
  NotifyDataSets();
  return false;
}

bool TDtNavigator::Dt2Usable() {
  if (Complete(Dt2Start) && Complete(Dt2Stop)) return true;
  SetDefault();
  NotifyDataSets();
  return false;
}

void TDtNavigator::StepDt1(uint16_t mode) {
  if (!Dt1Usable()) return;
  TDtStamp start = Dt1Start, stop = Dt1Stop;
  StepInterval(mode, ZoomLevel, start, stop);
  LimitToOneYear(start, stop);
  SetDt1Zoom(start, stop, ZoomLevel);
}

void TDtNavigator::BigStepLeft() { StepDt1(2); }
void TDtNavigator::SmallStepLeft() { StepDt1(0); }
void TDtNavigator::SmallStepRight() { StepDt1(1); }
void TDtNavigator::BigStepRight() { StepDt1(3); }

void TDtNavigator::Zoom() {
  if (!Dt1Usable()) return;
  int32_t days = int32_t{Dt1Start.Date} + Dt1Stop.Date;
  TDtStamp centre{static_cast<uint16_t>(days / 2), (Dt1Start.Time + Dt1Stop.Time) / 2};
  if (days % 2 != 0) IncDtStampSecs(centre, 43200);
  ZoomAt(centre);
}

void TDtNavigator::ZoomAt(const TDtStamp& stamp) {
  if (!Dt1Usable()) return;
  uint8_t level = ZoomLevel;
  TDtStamp start = Dt1Start, stop = Dt1Stop;
  ZoomInInterval(stamp, level, start, stop);
  SetDt1Zoom(start, stop, level);
}

void TDtNavigator::Unzoom() {
  if (!Dt1Usable()) return;
  uint8_t level = ZoomLevel;
  TDtStamp start = Dt1Start, stop = Dt1Stop;
  ZoomOutInterval(level, start, stop);
  SetDt1Zoom(start, stop, level);
}

void TDtNavigator::GotoNewest() {
  if (UpdatePending()) {
    GotoNewestPending = true;
    return;
  }
  GotoNewestPending = false;
  if (!Complete(NewestDt)) return;
  uint8_t level = ZoomLevel;
  TDtStamp start = Dt1Start, stop = Dt1Stop;
  LevelInterval(NewestDt, level, start, stop);
  SetDt1Zoom(start, stop, level);
}

void TDtNavigator::EditDt() {
  if (!InsertDtRangeDialog) return;
  TDateTime start = DtStampToDateTime(Dt1Start);
  TDateTime stop = DtStampToDateTime(Dt1Stop);
  if (!InsertDtRangeDialog(start, stop)) return;
  if (!(start < stop)) std::swap(start, stop);
  TDtStamp s, e;
  DateTimeToDtStamp(s, start);
  DateTimeToDtStamp(e, stop);
  if (Complete(s) && Complete(e)) SetDt1Zoom(s, e, ZoomLevelOfSpan(s, e));
}

void TDtNavigator::SetDt1(const TDtStamp& start, const TDtStamp& stop) {
  SetDt1Zoom(start, stop, ZoomLevelOfSpan(start, stop));
}

void TDtNavigator::SetDt1Zoom(const TDtStamp& start, const TDtStamp& stop, uint8_t level) {
  if (DtStampEqual(start, Dt1Start) && DtStampEqual(stop, Dt1Stop)) return;
  Dt1Start = start;
  Dt1Stop = stop;
  ZoomLevel = level;
  FitDt2();
  NotifyDataSets();
}

void TDtNavigator::FitDt2() {
  if (Dt1Start.Date == NoDayNo || Dt1Stop.Date == NoDayNo) return;
  if (Dt2Start.Date < Dt1Start.Date) {
    SetWholeDay(Dt1Start.Date);
  } else if (Dt2Start.Date > Dt1Stop.Date) {
    SetWholeDay(Dt1Stop.Date);
  }
}

void TDtNavigator::PrevDay() {
  if (!Dt2Usable()) return;
  SetDay(Dt2Start.Date == 0 ? 0 : static_cast<uint16_t>(Dt2Start.Date - 1));
}

void TDtNavigator::NextDay() {
  if (!Dt2Usable()) return;
  SetDay(Dt2Start.Date >= LastDayNo ? LastDayNo : static_cast<uint16_t>(Dt2Start.Date + 1));
}

void TDtNavigator::SetDay(uint16_t day) {
  if (day == Dt2Start.Date || day > LastDayNo) return;
  SetWholeDay(day);
  FitDt1();
  NotifyDataSets();
}

void TDtNavigator::FitDt1() {
  if (!Dt1Complete()) return;
  for (int i = 0; i < 9000 && Total(Dt1Start) > Total(Dt2Stop); ++i) StepInterval(2, ZoomLevel, Dt1Start, Dt1Stop);
  for (int i = 0; i < 9000 && Total(Dt1Stop) < Total(Dt2Start); ++i) StepInterval(3, ZoomLevel, Dt1Start, Dt1Stop);
}

void TDtNavigator::FindNewest() { NewestDt = NewestOfFollowers(); }

void TDtNavigator::Changed() {
  if (!UpdatePending()) EnableCommand(ncEditDt, false);
  TNavigator0::Changed();
}

void TDtNavigator::UpdateControls() {
  FindNewest();
  bool enable = HasViewFollower() && !AutoScrollActive;
  for (int i = 0; i < ncCount; ++i) {
    EnableCommand(i, enable && (i != ncGotoNewest || Complete(NewestDt)));
  }
  if (GotoNewestPending) GotoNewest();
}

void TDtNavigator::RunCommand(int command) {
  if (command == ncEditDt)
    EditDt();
  else
    TNavigator0::RunCommand(command);
}

void TDtNavigator::NotifyDataSets() {
  if (DataGlobals) DataGlobals->NavigatorChanged();
}

bool TDtNavigator::HasViewFollower() const { return DataGlobals && DataGlobals->HasClientFor(deFollowDt1); }

TDtStamp TDtNavigator::NewestOfFollowers() const {
  TDtStamp newest = NoDtStamp;
  if (!DataGlobals) return newest;
  for (int i = 0; i < DataGlobals->Count(); ++i) {
    auto* data = dynamic_cast<TDtData*>(DataGlobals->GetData(i));
    if (!data || !data->HasClientFor(deFollowDt1)) continue;
    // The recorder's worker may be inserting a newer record meanwhile.
    TDataLock lock(*data);
    TDtStamp t = data->GetNewestDt();
    if (Complete(t) && (!Complete(newest) || DtStampLater(t, newest))) newest = t;
  }
  return newest;
}

}  // namespace qv
