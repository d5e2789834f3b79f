#pragma once
// The device model's messages to the user. They go through the program's message handler,
// which logs them and shows the dialog unless automatic mode is on; without a handler they are
// dropped and confirmations answer no.
#include <string>

namespace qv {

enum class TDevMsgKind {
  Error,    // error dialog, OK
  Warning,  // warning dialog, OK
  Confirm,  // alert: confirmation dialog, Yes and Cancel, Yes the default
};

// Answers true when a confirmation was answered Yes; false otherwise.
bool DeviceMessage(const std::string& msg, const std::string& source, TDevMsgKind kind);
inline void DeviceErrorDialog(const std::string& msg, const std::string& source) {
  DeviceMessage(msg, source, TDevMsgKind::Error);
}

}  // namespace qv
