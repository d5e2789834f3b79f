#include "comm/tv10_onl_prot.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/res_string.h"
#include "comm/qv_com_port.h"
#include "comm/tv10_prot_helpers.h"
#include "serial/ser_base_component.h"

namespace qv {

using namespace tv10;

namespace {
constexpr int32_t kRequestSends = 6;
constexpr int32_t kRetryPauseSeconds = 2;
// What one "?N" answer carries.
constexpr int32_t kAnswerBytes = 8;
constexpr int32_t kChannelBytes = 6;
constexpr int32_t kChannels6 = 4;
}  // namespace

TTv10ReadOnlProt::TTv10ReadOnlProt() : WakeUp(std::make_unique<TTv10WakeUpProt>()) {
  ReadOnl = AddOut(std::make_unique<TReadOnlTelgr>());
  ReadOnl->Trials = kRequestSends;
  ReadOnl4k = AddOut(std::make_unique<TReadOnlTelgr_4k>());
  ReadOnl4k->Trials = kRequestSends;
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
  Receive = AddIn(std::make_unique<TReceiveOnline>());
  Receive4k = AddIn(std::make_unique<TReceiveOnline_4k>());
  BindChild(this, *WakeUp);
  values_.assign(4, 0);
}

void TTv10ReadOnlProt::SetValueBytes(int32_t count) {
  if (count % 2 != 0) --count;
  if (DevKind != 6) count = std::clamp<int32_t>(count, 4, 12);
  // Kind 6 takes what its owner says; a negative count would have no buffer at all.
  count = std::max<int32_t>(count, 0);
  if (count == ValueBytes()) return;
  values_.assign(static_cast<size_t>(count), 0);
  DataOk = false;
}

void TTv10ReadOnlProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  DataOk = false;
  ReadOnl->SetKennung(Kennung);
  ReadOnl4k->SetKennung(Kennung);
  ReadOnl4k->SetKanal(1);
  for (TReadOnlTelgr* t : {ReadOnl, static_cast<TReadOnlTelgr*>(ReadOnl4k)}) {
    t->ResetTrials();
    t->SendTimeOut = SendTimeOut;
  }
}

void TTv10ReadOnlProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  if (!ProcessWindow) return;
  ProcessWindow->SetText1(LoadResString(GetName()));
  ProcessWindow->SetCancelVisible(true);
}

void TTv10ReadOnlProt::DoneProtocol() {
  TTelgrProtocol::DoneProtocol();
  if (ProcessWindow) ProcessWindow->SetText2("");
}

TReadOnlTelgr* TTv10ReadOnlProt::Request() const { return DevKind == 6 ? ReadOnl4k : ReadOnl; }

void TTv10ReadOnlProt::StopListening() {
  Ack->StopListen();
  Nack->StopListen();
  Receive->StopListen();
  Receive4k->StopListen();
}

void TTv10ReadOnlProt::Retry(const std::string& key) {
  DisarmTimer();
  StopListening();
  if (Request()->TrialCount >= kRequestSends) return CancelProtocol(LoadResString(key), true);
  Step = 0;
  ArmTimer(SecondsToTicks(kRetryPauseSeconds));
}

void TTv10ReadOnlProt::TakeValues(const uint8_t* data, int32_t count, int32_t offset) {
  if (!data || offset < 0 || offset >= ValueBytes()) return;
  const int32_t n = std::min(count, ValueBytes() - offset);
  if (n > 0) std::memcpy(values_.data() + offset, data, static_cast<size_t>(n));
}

void TTv10ReadOnlProt::Done() {
  DataOk = true;
  if (OnValuesRead) OnValuesRead(this);
  FinishOk();
}

void TTv10ReadOnlProt::ProtProc(void* sender) {
  static constexpr std::array<TConvStep<TTv10ReadOnlProt>, 7> kSteps{{
      {TStepKind::Body, TOnCancel::Abort, &TTv10ReadOnlProt::WakeLogger},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ReadOnlProt::SendRequest},
      {TStepKind::Sent, TOnCancel::Abort, nullptr, &TTv10ReadOnlProt::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ReadOnlProt::RequestAcked, &TTv10ReadOnlProt::Retry,
       &TTv10ReadOnlProt::Nack},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ReadOnlProt::ValuesReceived, &TTv10ReadOnlProt::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ReadOnlProt::ValuesReceived, &TTv10ReadOnlProt::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ReadOnlProt::ChannelReceived, &TTv10ReadOnlProt::Retry},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ReadOnlProt::WakeLogger(void*) {
  // The start, or the pause before another try.
  if (Event != evStart && Event != evTimer) InvalidEvent(*this);
  Step = 1;
  CopyLine(*this, *WakeUp);
  WakeUp->ExecuteChild();
}

void TTv10ReadOnlProt::SendRequest(void*) {
  if (DevKind < 5 || DevKind > 7) return CancelProtocol("TTv10ReadOnlProt.ProtProc(): invalid Tavra type !", true);
  Step = 2;
  SendListening(Request(), {Ack, Nack});
}

void TTv10ReadOnlProt::RequestAcked(void*) {
  Nack->StopListen();
  DisarmTimer();
  // The answer follows the acknowledge at once; the packet layer hands the acknowledge over
  // before it looks at the next byte.
  if (DevKind == 5 || DevKind == 7) {
    Step = 4;
    ArmTimer(SecondsToTicks(AnswerTimeOut));
    Receive->SetByteCount(std::min(kAnswerBytes, ValueBytes()));
    ListenFor(Receive);
    return;
  }
  if (DevKind == 6) {
    Step = 6;
    ArmTimer(SecondsToTicks(AnswerTimeOut));
    Receive4k->SetByteCount(kChannelBytes);
    ListenFor(Receive4k);
    return;
  }
  CancelProtocol("TTv10ReadOnlProt.ProtProc: invalid Tavra Type !", true);
}

void TTv10ReadOnlProt::ValuesReceived(void* sender) {
  DisarmTimer();
  if (sender != Receive) return Retry("sco_UndocErr");
  if (Step == 4) {
    TakeValues(Receive->GetValues(), Receive->ByteCount(), 0);
    if (ValueBytes() <= kAnswerBytes) return Done();
    Step = 5;
    ArmTimer(SecondsToTicks(AnswerTimeOut));
    Receive->SetByteCount(ValueBytes() - kAnswerBytes);
    ListenFor(Receive);
    return;
  }
  // The second answer's byte count is at least 4; only what the buffer still holds is taken.
  TakeValues(Receive->GetValues(), Receive->ByteCount(), kAnswerBytes);
  Done();
}

void TTv10ReadOnlProt::ChannelReceived(void* sender) {
  DisarmTimer();
  if (sender != Receive4k) return Retry("sco_UndocErr");
  const int32_t channel = ReadOnl4k->Kanal();
  TakeValues(Receive4k->GetValues(), kChannelBytes, kChannelBytes * (channel - 1));
  if (channel >= kChannels6) return Done();
  Step = 2;
  ReadOnl4k->SetKanal(channel + 1);
  SendListening(ReadOnl4k, {Ack, Nack});
}

}  // namespace qv
