#pragma once
// Small helpers shared by the logger protocols' units; not part of any interface.
#include <memory>
#include <string>

#include "base/res_string.h"
#include "comm/com_protocol.h"
#include "comm/process_window_service.h"
#include "platform/rtl/exception.h"
#include "serial/ser_data_packet.h"

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

// The raw packet of a configuration or memory block: any byte starts it, its fixed length ends
// it; enabled only while a block is expected. Bound to the protocol's packet events.
inline std::unique_ptr<TSerDataPacket> MakeBlockPacket(TComProtocol* p) {
  auto packet = std::make_unique<TSerDataPacket>(nullptr);
  packet->AutoEnable = false;
  packet->SetIgnoreCase(false);
  packet->SetIncludeStrings(true);
  packet->SetStartCond(scAnyData);
  packet->SetEndCond(TPacketEndSet{ecPacketSize});
  packet->OnPacket = [p](TSerDataPacket* s, const uint8_t* d, int32_t n) { p->DataPacket(s, d, n); };
  packet->OnTimeout = [p](TComponent* s) { p->PacketTimeout(s); };
  return packet;
}

// Set to the block length and the answer time-out, on the protocol's port, disabled.
inline void ArmBlockPacket(TSerDataPacket& packet, const TComProtocol& p, int32_t block_len) {
  if (packet.ComPort() && packet.ComPort()->Open()) packet.SetEnabled(false);
  packet.SetPacketSize(block_len);
  packet.TimeOut = SecondsToTicks(p.AnswerTimeOut);
  packet.SetComPort(p.Port);
}

}  // namespace qv::tv10
