#include "shell/base_dev_dialogs.h"

#include "base/forms/d23_edit_prot_options.h"
#include "base/msg_handler.h"
#include "datastore/forms/chan_frame.h"

namespace qv {

void InstallBaseDevDialogs() {
  InstallChanEditor();
  if (MsgHandler) MsgHandler->ProtOptionsDialog = RunProtOptionsDialog;
}

}  // namespace qv
