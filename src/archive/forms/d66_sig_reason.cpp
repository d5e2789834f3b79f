#include "archive/forms/d66_sig_reason.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "archive/dy_signature.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD66_SigReason::TD66_SigReason(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D66_SigReason"));
  NoteActivityOnMouse(this);
  SelectReasonRadioGroup = new TRadioGroup(this);
  SelectReasonRadioGroup->SetParent(this);
  std::vector<std::string> items;
  int width = 200;
  for (const TDY_SigReason& reason : SigReasons) {
    items.push_back(LoadResString(reason.ItemKey));
    width = std::max(width, DlgTextWidth(this, items.back()) + 50);
  }
  SelectReasonRadioGroup->SetBounds(10, 8, width, 24 + 24 * static_cast<int>(items.size()));
  SelectReasonRadioGroup->SetItems(items);
  SelectReasonRadioGroup->SetItemIndex(0);
  NoteActivityOnMouse(SelectReasonRadioGroup);
  OkButton = MakeDlgButton(this, "b_&OK", mrOk);
  OkButton->SetDefault(true);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int buttons_top = SelectReasonRadioGroup->Top() + SelectReasonRadioGroup->Height() + 10;
  PlaceDlgButtons(10, buttons_top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), width + 20, buttons_top + DlgButtonHeight + 10);
}

int RunD66SigReason(int& reason) {
  auto dialog = std::make_unique<TD66_SigReason>(Application);
  const int result = dialog->ShowModal();
  if (result == mrOk) reason = dialog->SelectReasonRadioGroup->ItemIndex();
  return result;
}

}  // namespace qv
