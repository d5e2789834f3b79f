#include "comm_fixture.h"

#include "serial/ser_base_component.h"

namespace qv::test {

namespace {
[[maybe_unused]] const bool timers_scaled = (SetTimerScale(kTimerScale), true);

[[noreturn]] void InvalidEvent(const TComProtocol& p) { throw Exception(p.ClassName() + ".ProtProc: invalid event"); }
}  // namespace

NoAnswerTimeOuts::NoAnswerTimeOuts() { SetTimerScale(kTimerScale / 4); }
NoAnswerTimeOuts::~NoAnswerTimeOuts() { SetTimerScale(kTimerScale); }

WakeUpProt::WakeUpProt() {
  Answer = AddIn(std::make_unique<TNackInTelgr>());
  Answer->TakesSpaceRefusal = true;
}

void WakeUpProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  SpaceCount = 0;
}

void WakeUpProt::SendSpace() {
  ListenFor(Answer, 4);
  Port->PutString(" ");
  ++SpaceCount;
  Step = 1;
  ArmTimer(9);
}

void WakeUpProt::ProtProc(void* sender) {
  if (Event == evUserCancel) return CancelProtocol(LoadResString("deh_UserAbort"), true);
  switch (Step) {
    case 0:
      if (Event != evStart && Event != evTimer) InvalidEvent(*this);
      SendSpace();
      return;
    case 1:
      if (Event == evTelgrValid && sender == Answer && Answer->GetCommand()[0] == ' ') return FinishOk();
      if (Event != evTimer && Event != evTelgrValid && Event != evTelgrInvalid) InvalidEvent(*this);
      Answer->StopListen();
      if (SpaceCount >= MaxSpaces) return CancelProtocol(LoadResString("deh_TONoResponse"), true);
      SendSpace();
      return;
    default: throw Exception(ClassName() + ".ProtProc: invalid step");
  }
}

IdentifyProt::IdentifyProt() : WakeUp(std::make_unique<WakeUpProt>()) {
  Scan = AddOut(std::make_unique<TScanTelgr>());
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
  Id = AddIn(std::make_unique<TReceiveIdTelgr>());
}

void IdentifyProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  Kennung = 0;
  DevKind = 0;
  Scan->ResetTrials();
  Scan->SendTimeOut = SendTimeOut;
}

void IdentifyProt::SendScan() {
  // The answers listen before the request goes out, so that a quick answer is not lost.
  Step = 2;
  ListenFor(Ack);
  ListenFor(Nack);
  ListenFor(Id);
  SendTelegram(Scan);
}

void IdentifyProt::Retry(const std::string& key) {
  DisarmTimer();
  for (TInTelegram* t :
       {static_cast<TInTelegram*>(Ack), static_cast<TInTelegram*>(Nack), static_cast<TInTelegram*>(Id)})
    t->StopListen();
  if (AskRetry(LoadResString(key), Scan)) SendScan();
}

void IdentifyProt::ProtProc(void* sender) {
  if (Event == evUserCancel) return CancelProtocol(LoadResString("deh_UserAbort"), true);
  switch (Step) {
    case 0:
      if (Event != evStart) InvalidEvent(*this);
      if (!UseWakeUp) return SendScan();
      WakeUp->Port = Port;
      WakeUp->MaxSpaces = MaxSpaces;
      WakeUp->OnSuccess = [this](TComProtocol* child) { ChildSuccess(child); };
      WakeUp->OnFailure = [this](TComProtocol* child) { ChildFailure(child); };
      Step = 1;
      WakeUp->ExecuteChild();
      return;
    case 1:
      if (Event == evChildSuccess) return SendScan();
      if (Event == evChildFailure) return CancelProtocol("", false);
      InvalidEvent(*this);
    case 2:
      if (Event == evTelgrSent) {
        Step = 3;
        ArmTimer(SecondsToTicks(AnswerTimeOut));
        return;
      }
      if (Event == evTelgrSendTimeout) return Retry("sco_OutTimeout");
      InvalidEvent(*this);
    case 3:
    case 4:
      if (Event == evTimer || Event == evTelgrInvalid) return Retry("deh_TONoResponse");
      if (Event != evTelgrValid) InvalidEvent(*this);
      if (sender == Nack) return Retry("deh_ErrResponse");
      if (Step == 3 && sender == Ack) {
        if (Ack->GetCommand() != "&S") return CancelProtocol(LoadResString("sco_UndocErr"), true);
        Nack->StopListen();
        Step = 4;
        ArmTimer(SecondsToTicks(AnswerTimeOut));
        return;
      }
      if (Step == 4 && sender == Id) {
        DisarmTimer();
        Kennung = Id->Kennung();
        DevKind = Id->DevKind();
        return FinishOk();
      }
      // An identity left over from an earlier request: wait for this one's.
      if (sender == Id) ListenFor(Id);
      return;
    default: throw Exception(ClassName() + ".ProtProc: invalid step");
  }
}

}  // namespace qv::test
