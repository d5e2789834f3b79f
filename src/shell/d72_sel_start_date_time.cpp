#include "shell/d72_sel_start_date_time.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD72_SelStartDateTime* D72_SelStartDateTime = nullptr;

TD72_SelStartDateTime::TD72_SelStartDateTime(TComponent* owner, const TWallClock* clock)
    : TD70_SelDateTime(owner, clock) {
  SetText(LoadResString("D72_SelStartDateTime"));
  SelGroup->SetText(LoadResString("D72_SelDt"));
  SelGroup->SetBounds(10, 8, 200, 112);
  ReadAllData = new TCheckBox(SelGroup);
  ReadAllData->SetParent(SelGroup);
  ReadAllData->SetText(LoadResString("D72_ReadAllData"));
  ReadAllData->SetBounds(12, 84, 176, 20);
  NoteActivityOnMouse(ReadAllData);
  // All data need no start: the pickers rest while the box is ticked.
  ReadAllData->OnClick = [this](TComponent*) {
    NoteUserActivity();
    SelDate->SetEnabled(!ReadAllData->Checked());
    SelTime->SetEnabled(!ReadAllData->Checked());
  };
  // The read goes on in every case; only OK takes the dialog's choice.
  CancelBtn->SetVisible(false);
  OKBtn->SetBounds(220 - 10 - DlgButtonWidth, 132, DlgButtonWidth, DlgButtonHeight);
  SetBounds(0, 0, 220, 132 + DlgButtonHeight + 10);
}

TD72_SelStartDateTime::~TD72_SelStartDateTime() {
  if (D72_SelStartDateTime == this) D72_SelStartDateTime = nullptr;
}

bool RunD72SelStartDateTime(TDateTime& start, bool& read_all) {
  TD72_SelStartDateTime dialog(nullptr);
  D72_SelStartDateTime = &dialog;
  dialog.SelGroup->SetText("");
  dialog.SetDateTime(start);
  if (dialog.ShowModal() != mrOk) return false;
  start = dialog.GetDateTime();
  read_all = dialog.ReadAllData->Checked();
  return true;
}

}  // namespace qv
