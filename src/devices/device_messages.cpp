#include "devices/device_messages.h"

#include "base/msg_handler.h"

namespace qv {

bool DeviceMessage(const std::string& msg, const std::string& source, TDevMsgKind kind) {
  TMsgHandler* handler = MsgHandler;
  if (!handler) return false;
  switch (kind) {
    case TDevMsgKind::Error:
      handler->HandleMessage(msg, source, TMsgDlgType::mtError, mbOK, 0, mrOk, true, mkError);
      return false;
    case TDevMsgKind::Warning:
      handler->HandleMessage(msg, source, TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkWarning);
      return false;
    case TDevMsgKind::Confirm:
      return handler->HandleMessage(msg, source, TMsgDlgType::mtConfirmation, mbYes | mbCancel, 0, mrYes, true,
                                    mkAlert) == mrYes;
  }
  return false;
}

}  // namespace qv
