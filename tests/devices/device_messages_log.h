#pragma once
// A message handler in a temporary folder whose dialogs are answered by a script: the device
// model's messages are recorded, and confirmations take the next answer (none left: Cancel).
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/msg_handler.h"
#include "devices/device_messages.h"
#include "support/temp_dir.h"

namespace qv::test {

struct DeviceMessageEntry {
  std::string Msg;
  TDevMsgKind Kind;
};

class DeviceMessagesLog {
public:
  DeviceMessagesLog() : old_handler_(MsgHandler) {
    SetMainThread();
    handler_ = std::make_unique<TMsgHandler>(nullptr, folder_.Path(), folder_.File("Quarvel.INI"));
    MsgHandler = handler_.get();
    MsgDialogProc = [this](const std::string& msg, TMsgDlgType type, TMsgDlgButtons, int32_t) {
      const TDevMsgKind kind = type == TMsgDlgType::mtConfirmation ? TDevMsgKind::Confirm
                               : type == TMsgDlgType::mtWarning    ? TDevMsgKind::Warning
                                                                   : TDevMsgKind::Error;
      messages.push_back({msg, kind});
      if (kind != TDevMsgKind::Confirm) return mrOk;
      if (answers.empty()) return mrCancel;
      const bool yes = answers.front();
      answers.pop_front();
      return yes ? mrYes : mrCancel;
    };
  }
  ~DeviceMessagesLog() {
    MsgDialogProc = nullptr;
    handler_.reset();
    MsgHandler = old_handler_;
  }
  DeviceMessagesLog(const DeviceMessagesLog&) = delete;
  DeviceMessagesLog& operator=(const DeviceMessagesLog&) = delete;

  std::vector<DeviceMessageEntry> messages;
  std::deque<bool> answers;  // answers to confirmations, Yes = true

private:
  TempDir folder_;
  TMsgHandler* old_handler_;
  std::unique_ptr<TMsgHandler> handler_;
};

}  // namespace qv::test
