#include "shell/d32_insert_dt_range.h"

#include <cmath>
#include <memory>

#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD32_InsertDtRange* D32_InsertDtRange = nullptr;

namespace {
constexpr int GroupWidth = 200;
constexpr int GroupHeight = 88;
constexpr double TenSeconds = 10.0 / 86400.0;

TStyGroupBox* MakeGroup(TForm* form, const std::string& key, int left) {
  auto* g = new TStyGroupBox(form);
  g->SetParent(form);
  g->SetText(LoadResString(key));
  g->SetBounds(left, 8, GroupWidth, GroupHeight);
  return g;
}

TDateTimePicker* MakePicker(TStyGroupBox* group, TDateTimeKind kind, int top, const std::function<void()>& changed) {
  auto* p = new TDateTimePicker(group);
  p->SetParent(group);
  p->SetKind(kind);
  p->SetBounds(12, top, GroupWidth - 24, 22);
  p->OnChange = [changed](TComponent*) { changed(); };
  NoteActivityOnMouse(p);
  return p;
}
}  // namespace

TD32_InsertDtRange::TD32_InsertDtRange(TComponent* owner, const TWallClock* clock)
    : TForm(owner), clock_(clock ? clock : &DefaultWallClock()) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d32_InsertDtRange"));
  NoteActivityOnMouse(this);
  auto changed = [this] {
    NoteUserActivity();
    OKBtn->SetEnabled(true);
  };
  StartGroup = MakeGroup(this, "d32_StartDt", 10);
  StopGroup = MakeGroup(this, "d32_StopDt", 20 + GroupWidth);
  StartDate = MakePicker(StartGroup, TDateTimeKind::dtkDate, 24, changed);
  StartTime = MakePicker(StartGroup, TDateTimeKind::dtkTime, 54, changed);
  StopDate = MakePicker(StopGroup, TDateTimeKind::dtkDate, 24, changed);
  StopTime = MakePicker(StopGroup, TDateTimeKind::dtkTime, 54, changed);

  OKBtn = MakeDlgButton(this, "b_&OK", mrNone);
  OKBtn->OnClick = [this](TComponent*) { OKClick(); };
  OKBtn->SetDefault(true);
  CancelBtn = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  HelpBtn = MakeDlgButton(this, "b_&Help", mrNone);
  HelpBtn->SetVisible(false);
  const int width = 30 + 2 * GroupWidth;
  const int buttons_top = 8 + GroupHeight + 12;
  PlaceDlgButtons(width - 10 - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OKBtn, CancelBtn});
  SetBounds(0, 0, width, buttons_top + DlgButtonHeight + 10);

  SetStartDt(-1000);
  SetStopDt(-1000);
  OKBtn->SetEnabled(false);
}

void TD32_InsertDtRange::SetPickers(TDateTimePicker* date, TDateTimePicker* time, TDateTime dt, int days_back) {
  if (dt <= -1000) {
    const TDateTime now = Now(*clock_);
    dt = std::floor(now) - days_back + (now - std::floor(now));
  }
  date->SetDateTime(dt);
  time->SetDateTime(dt);
}

void TD32_InsertDtRange::SetStartDt(TDateTime dt) { SetPickers(StartDate, StartTime, dt, 1); }
void TD32_InsertDtRange::SetStopDt(TDateTime dt) { SetPickers(StopDate, StopTime, dt, 0); }

namespace {
TDateTime Combine(const TDateTimePicker* date, const TDateTimePicker* time) {
  const TDateTime t = time->DateTime();
  return std::floor(date->DateTime()) + (t - std::floor(t));
}
}  // namespace

TDateTime TD32_InsertDtRange::GetStartDt() const { return Combine(StartDate, StartTime); }
TDateTime TD32_InsertDtRange::GetStopDt() const { return Combine(StopDate, StopTime); }

void TD32_InsertDtRange::OKClick() {
  NoteUserActivity();
  // Both limits apply to the ordered pair: a reversed range of two years is as big as any.
  TDateTime earlier = GetStartDt(), later = GetStopDt();
  if (later < earlier) std::swap(earlier, later);
  const char* refusal = nullptr;
  // Half a millisecond of slack: the pickers hold whole seconds, their sum is a double.
  if (later - earlier <= TenSeconds + 0.0005 / 86400.0)
    refusal = "err_TimeRangeTooSmall";
  else if (TDateTime limited = later; LimitToOneYearDT(limited, earlier))
    refusal = "err_TimeRangeTooBig";
  if (!refusal) {
    SetModalResult(mrOk);
    return;
  }
  MessageDlg(LoadResString(refusal), TMsgDlgType::mtError, mbOK);
  OKBtn->SetEnabled(false);
}

int RunD32InsertDtRange(TDateTime& start, TDateTime& stop) {
  auto dialog = std::make_unique<TD32_InsertDtRange>(Application);
  D32_InsertDtRange = dialog.get();
  struct ClearGlobal {
    ~ClearGlobal() { D32_InsertDtRange = nullptr; }
  } clear_global;
  dialog->SetStartDt(start);
  dialog->SetStopDt(stop);
  const int result = dialog->ShowModal();
  if (result == mrOk) {
    start = dialog->GetStartDt();
    stop = dialog->GetStopDt();
  }
  return result;
}

}  // namespace qv
