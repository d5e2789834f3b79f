#include "devices/device_messages.h"

#include <utility>

namespace qv {

namespace {
TDeviceMessageProc message_proc;  // main thread only
}

bool DeviceMessage(const std::string& msg, const std::string& source, TDevMsgKind kind) {
  return message_proc ? message_proc(msg, source, kind) : false;
}

void SetDeviceMessageProc(TDeviceMessageProc proc) { message_proc = std::move(proc); }

}  // namespace qv
