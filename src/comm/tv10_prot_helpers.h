#pragma once
// Small helpers shared by the logger protocols' units; not part of any interface.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>

#include "base/res_string.h"
#include "comm/com_protocol.h"
#include "comm/process_window_service.h"
#include "comm/telegram.h"
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

// ---- conversations as tables of steps ----
//
// A logger protocol is its table of steps: entry n takes the events while the protocol's Step
// is n. The parts that every conversation repeats are the table's: the user's cancel, the start,
// a child's end, a telegram sent, an answer awaited or a timer run down, each with its failure.
// What is left is the step's own body.

enum class TStepKind : uint8_t {
  Body,    // the body takes every event
  Start,   // evStart, then the body
  Child,   // a child's success, then the body; its failure ends the run (the child reported it)
  Timer,   // evTimer, then the body
  Sent,    // the telegram has gone out: the body, or by default the next step with the answers
           // listened for (ListenForAnswers); a send time-out fails with "sco_OutTimeout"
  Answer,  // a valid answer, then the body with it; none in time or an invalid one fails with
           // "deh_TONoResponse", the refusal (when the step names one) with "deh_ErrResponse"
};

// What the user's cancel does in a step: end the run with "deh_UserAbort", nothing (the step
// ends by itself), or whatever the body does with it.
enum class TOnCancel : uint8_t { Abort, Ignore, Body };

template <class P>
struct TConvStep {
  using TBody = void (P::*)(void* sender);
  using TFail = void (P::*)(const std::string& key);
  TStepKind Kind;
  TOnCancel Cancel = TOnCancel::Abort;
  TBody Body = nullptr;
  // A failure with its translation key; none cancels the run with the key's text.
  TFail Fail = nullptr;
  TNackInTelgr* P::*Refusal = nullptr;
};

template <class P, std::size_t N>
void RunConvStep(P& p, const std::array<TConvStep<P>, N>& steps, void* sender) {
  if (p.Step < 0 || static_cast<std::size_t>(p.Step) >= N) InvalidStep(p);
  const TConvStep<P>& step = steps[static_cast<std::size_t>(p.Step)];
  const auto fail = [&](const char* key) {
    if (step.Fail)
      (p.*step.Fail)(key);
    else
      CancelWith(p, key);
  };
  if (p.Event == evUserCancel && step.Cancel != TOnCancel::Body) {
    if (step.Cancel == TOnCancel::Abort) CancelWith(p, "deh_UserAbort");
    return;
  }
  switch (step.Kind) {
    case TStepKind::Body: break;
    case TStepKind::Start:
      if (p.Event != evStart) InvalidEvent(p);
      break;
    case TStepKind::Child:
      if (p.Event == evChildFailure) return p.CancelProtocol("", false);
      if (p.Event != evChildSuccess) InvalidEvent(p);
      break;
    case TStepKind::Timer:
      if (p.Event != evTimer) InvalidEvent(p);
      break;
    case TStepKind::Sent:
      if (p.Event == evTelgrSendTimeout) return fail("sco_OutTimeout");
      if (p.Event != evTelgrSent) InvalidEvent(p);
      if constexpr (std::is_base_of_v<TTelgrProtocol, P>) {
        if (!step.Body) {
          ++p.Step;
          return p.ListenForAnswers();
        }
      }
      break;
    case TStepKind::Answer:
      if (p.Event == evTimer || p.Event == evTelgrInvalid) return fail("deh_TONoResponse");
      if (p.Event != evTelgrValid) InvalidEvent(p);
      if (step.Refusal && sender == p.*step.Refusal) return fail("deh_ErrResponse");
      break;
  }
  (p.*step.Body)(sender);
}

}  // namespace qv::tv10
