#pragma once
// The message handler's dialogs and exception display on the GUI layer.

namespace qv {

// Installs MessageDlg and the application's exception display as the message handler's hooks.
void InstallMsgHandlerDialogs();

}  // namespace qv
