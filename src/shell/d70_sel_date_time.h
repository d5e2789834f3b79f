#pragma once
// The single date-time dialog: one date and one time picker. Its user creates and keeps it.
#include <string>

#include "controls/sty_panel.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TD70_SelDateTime : public TForm {
public:
  // clock gives "now" for the default; the system's when null.
  explicit TD70_SelDateTime(TComponent* owner, const TWallClock* clock = nullptr);
  std::string ClassName() const override { return "TD70_SelDateTime"; }
  // A value above -1000 sets date and time; otherwise today minus 14 days at 00:00:00.
  void SetSelDt(TDateTime dt);
  TDateTime GetSelDt() const;

  TStyGroupBox* SelGroup;
  TDateTimePicker* SelDate;
  TDateTimePicker* SelTime;
  TButton* OKBtn;
  TButton* CancelBtn;

private:
  const TWallClock* clock_;
};

}  // namespace qv
