#pragma once
// The start-date dialog of a memory read: one start date and time for all channels, or all
// data the logger holds. Only OK closes it; the program's memory read shows it through
// RunD72SelStartDateTime.
#include "shell/d70_sel_date_time.h"

namespace qv {

class TD72_SelStartDateTime : public TD70_SelDateTime {
public:
  explicit TD72_SelStartDateTime(TComponent* owner, const TWallClock* clock = nullptr);
  ~TD72_SelStartDateTime() override;
  std::string ClassName() const override { return "TD72_SelStartDateTime"; }
  // The picked date plus the picked time.
  TDateTime GetDateTime() const { return GetSelDt(); }
  // A value above -1000 sets both pickers; otherwise today minus 14 days at 00:00.
  void SetDateTime(TDateTime dt) { SetSelDt(dt); }

  TCheckBox* ReadAllData;
};

// The one dialog while it is shown; null otherwise.
extern TD72_SelStartDateTime* D72_SelStartDateTime;

// Shows the dialog preset with start; true for OK, with the picked start and whether all data
// are to be read.
bool RunD72SelStartDateTime(TDateTime& start, bool& read_all);

}  // namespace qv
