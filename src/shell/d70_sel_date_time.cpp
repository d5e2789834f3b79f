#include "shell/d70_sel_date_time.h"

#include <cmath>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD70_SelDateTime::TD70_SelDateTime(TComponent* owner, const TWallClock* clock)
    : TForm(owner), clock_(clock ? clock : &DefaultWallClock()) {
  SetPosition(TPosition::poMainFormCenter);
  SetText(LoadResString("D70_SelDateTime"));
  NoteActivityOnMouse(this);
  SelGroup = new TStyGroupBox(this);
  SelGroup->SetParent(this);
  SelGroup->SetText(LoadResString("D70_SelDt"));
  SelGroup->SetBounds(10, 8, 200, 88);
  auto make = [this](TDateTimeKind kind, int top) {
    auto* p = new TDateTimePicker(SelGroup);
    p->SetParent(SelGroup);
    p->SetKind(kind);
    p->SetBounds(12, top, 176, 22);
    p->OnChange = [](TComponent*) { NoteUserActivity(); };
    NoteActivityOnMouse(p);
    return p;
  };
  SelDate = make(TDateTimeKind::dtkDate, 24);
  SelTime = make(TDateTimeKind::dtkTime, 54);
  OKBtn = MakeDlgButton(this, "b_&OK", mrOk);
  OKBtn->SetDefault(true);
  CancelBtn = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  PlaceDlgButtons(220 - 10 - 2 * DlgButtonWidth - DlgButtonGap, 108, {OKBtn, CancelBtn});
  SetBounds(0, 0, 220, 108 + DlgButtonHeight + 10);
  SetSelDt(-1000);
}

void TD70_SelDateTime::SetSelDt(TDateTime dt) {
  if (dt <= -1000) dt = std::floor(Now(*clock_)) - 14;
  SelDate->SetDateTime(dt);
  SelTime->SetDateTime(dt);
}

TDateTime TD70_SelDateTime::GetSelDt() const {
  const TDateTime t = SelTime->DateTime();
  return std::floor(SelDate->DateTime()) + (t - std::floor(t));
}

}  // namespace qv
