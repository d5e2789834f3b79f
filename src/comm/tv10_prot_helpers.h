#pragma once
// Small helpers shared by the logger protocols' units; not part of any interface.
#include <string>

#include "base/res_string.h"
#include "comm/com_protocol.h"
#include "comm/process_window_service.h"
#include "platform/rtl/exception.h"

namespace qv::tv10 {

[[noreturn]] inline void InvalidEvent(const TComProtocol& p) {
  throw Exception(p.ClassName() + ".ProtProc: invalid event");
}
[[noreturn]] inline void InvalidStep(const TComProtocol& p) {
  throw Exception(p.ClassName() + ".ProtProc: invalid step");
}

// Cancels with the text of a translation key and a line break.
inline void CancelWith(TComProtocol& p, const char* key) { p.CancelProtocol(LoadResString(key), true); }

// The parent learns of its child's end through ChildSuccess / ChildFailure.
template <class Parent>
void BindChild(Parent* parent, TComProtocol& child) {
  child.OnSuccess = [parent](TComProtocol* c) { parent->ChildSuccess(c); };
  child.OnFailure = [parent](TComProtocol* c) { parent->ChildFailure(c); };
}

// A child runs on its parent's port with the parent's time-outs.
inline void CopyLine(const TComProtocol& from, TComProtocol& to) {
  to.Port = from.Port;
  to.Interactive = from.Interactive;
  to.SendTimeOut = from.SendTimeOut;
  to.AnswerTimeOut = from.AnswerTimeOut;
}

}  // namespace qv::tv10
