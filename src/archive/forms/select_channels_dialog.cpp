#include "archive/forms/select_channels_dialog.h"

#include <memory>

#include "base/res_string.h"
#include "platform/gui/forms.h"
#include "visual/d41_setup_gl_chans.h"

namespace qv {

void SetUpSelectChannelsDialog(TD41_SetupGlChans& dialog) {
  dialog.MoveDownBtn->SetVisible(false);
  dialog.MoveUpBtn->SetVisible(false);
  dialog.SetText(LoadResString("d42_SetupChans"));
}

bool SelectChannelsWithDialog(TChanSelList& cells) {
  if (D41_SetupGlChans) return false;
  // Freed, and the dialog's global cleared with it, however the dialog ends.
  auto dialog = std::make_unique<TD41_SetupGlChans>(Application);
  SetUpSelectChannelsDialog(*dialog);
  dialog->SetSelectList(&cells);
  return dialog->ShowModal() == mrOk;
}

}  // namespace qv
