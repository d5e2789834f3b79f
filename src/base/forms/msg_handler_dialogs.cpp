#include "base/forms/msg_handler_dialogs.h"

#include "base/msg_handler.h"
#include "platform/gui/forms.h"

namespace qv {

void InstallMsgHandlerDialogs() {
  MsgDialogProc = [](const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t help_ctx) {
    return MessageDlg(msg, type, buttons, help_ctx);
  };
  ExceptionReportProc = [](TComponent* sender) {
    if (!Application) return false;  // at the very end of the program
    Application->HandleException(sender);
    return true;
  };
}

}  // namespace qv
