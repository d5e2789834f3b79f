#pragma once
// The date-time range dialog: a start and a stop, each a date and a time picker. OK checks the
// range: more than 10 seconds and less than one year.
#include <string>

#include "controls/sty_panel.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TD32_InsertDtRange : public TForm {
public:
  static constexpr int HelpContext = 3239;
  static constexpr int HelpButtonContext = 3650;
  // clock gives "now" for the defaults; the system's when null.
  explicit TD32_InsertDtRange(TComponent* owner, const TWallClock* clock = nullptr);
  std::string ClassName() const override { return "TD32_InsertDtRange"; }

  // A value above -1000 sets the pickers; -1000 or less gives yesterday (start) or today (stop)
  // with the current time of day.
  void SetStartDt(TDateTime dt);
  void SetStopDt(TDateTime dt);
  TDateTime GetStartDt() const;
  TDateTime GetStopDt() const;
  // OK: closes with 1, or shows "err_TimeRangeTooSmall" or "err_TimeRangeTooBig", disables OK
  // and stays open.
  void OKClick();

  TStyGroupBox* StartGroup;
  TStyGroupBox* StopGroup;
  TDateTimePicker* StartDate;
  TDateTimePicker* StartTime;
  TDateTimePicker* StopDate;
  TDateTimePicker* StopTime;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  void SetPickers(TDateTimePicker* date, TDateTimePicker* time, TDateTime dt, int days_back);
  const TWallClock* clock_;
};

// The dialog while its user runs it; null otherwise.
extern TD32_InsertDtRange* D32_InsertDtRange;

// Runs the dialog with the range; on OK (1) start and stop hold the values as entered (a stop
// before the start included: the caller orders them).
int RunD32InsertDtRange(TDateTime& start, TDateTime& stop);

}  // namespace qv
