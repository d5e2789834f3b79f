#include "comm/tv10_mem_prot.h"

#include "base/res_string.h"
#include "comm/tv10_prot_helpers.h"
#include "devices/tv10_sensor_info.h"
#include "platform/rtl/exception.h"
#include "serial/ser_base_component.h"

namespace qv {

using namespace tv10;

int32_t Tv10ChannelCount(uint8_t dev_kind) {
  if (dev_kind != 5 && dev_kind != 6 && dev_kind != 7) return 0;
  return GetSubModSlotCount(dev_kind);
}

// ---- clear one channel ----

TTv10ClearChanProt::TTv10ClearChanProt() {
  Clear = AddOut(std::make_unique<TClearMemTelgr>());
  Clear->Trials = 5;
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
}

void TTv10ClearChanProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  Clear->SetKennung(Kennung);
  Clear->SetChannel(Channel);
  Clear->ResetTrials();
  Clear->SendTimeOut = SendTimeOut;
}

void TTv10ClearChanProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  if (!ProcessWindow) return;
  ProcessWindow->SetText2(LoadResString(GetName()) + " " + std::to_string(Channel));
  ProcessWindow->SetCancelVisible(true);
}

void TTv10ClearChanProt::Retry(const std::string& key) {
  DisarmTimer();
  Ack->StopListen();
  Nack->StopListen();
  if (!AskRetry(LoadResString(key), Clear)) return;
  Step = 1;
  SendTelegram(Clear);
}

void TTv10ClearChanProt::ProtProc(void* sender) {
  switch (Step) {
    case 0:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      SendTelegram(Clear);
      return;
    case 1:
      if (Event == evUserCancel) return;
      if (Event == evTelgrSendTimeout) return Retry("sco_OutTimeout");
      if (Event != evTelgrSent) InvalidEvent(*this);
      Step = 2;
      ListenFor(Ack);
      ListenFor(Nack);
      ArmTimer(SecondsToTicks(AnswerTimeOut));
      return;
    case 2:
      if (Event == evUserCancel) return;
      if (Event == evTimer || Event == evTelgrInvalid) return Retry("deh_TONoResponse");
      if (Event != evTelgrValid) InvalidEvent(*this);
      if (sender == Nack) return Retry("deh_ErrResponse");
      if (Ack->GetCommand() != "%" + std::to_string(Channel)) return CancelWith(*this, "sco_UndocErr");
      DisarmTimer();
      Nack->StopListen();
      return FinishOk();
    default: InvalidStep(*this);
  }
}

// ---- clear the memory ----

TTv10ClearMemProt::TTv10ClearMemProt()
    : ReadCfg(std::make_unique<TTv10RdCfgProt>()),
      WakeUp(std::make_unique<TTv10WakeUpProt>()),
      ClearChan(std::make_unique<TTv10ClearChanProt>()) {
  BindChild(this, *ReadCfg);
  BindChild(this, *WakeUp);
  BindChild(this, *ClearChan);
}

void TTv10ClearMemProt::InitProtocol() {
  TComProtocol::InitProtocol();
  Step = 0;
  Kennung = 0;
  DevKind = 0;
  EEVersion = 0;
  for (TComProtocol* child : {static_cast<TComProtocol*>(ReadCfg.get()), static_cast<TComProtocol*>(WakeUp.get()),
                              static_cast<TComProtocol*>(ClearChan.get())})
    CopyLine(*this, *child);
  ReadCfg->MaxEEVersion = MaxEEVersion;
  ReadCfg->OnConfigRead = OnConfigRead;
  ClearChan->Channel = 1;
}

void TTv10ClearMemProt::HookProcessWindow() {
  TComProtocol::HookProcessWindow();
  if (!ProcessWindow) return;
  ProcessWindow->SetText1(LoadResString(GetName()));
  ProcessWindow->SetCancelVisible(true);
}

void TTv10ClearMemProt::ProtProc(void*) {
  if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
  if (Event == evChildFailure && Step >= 1) return CancelProtocol("", false);
  switch (Step) {
    case 0:
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      ReadCfg->ExecuteChild();
      return;
    case 1:
      if (Event != evChildSuccess) InvalidEvent(*this);
      Kennung = ReadCfg->Kennung;
      DevKind = ReadCfg->DevKind;
      EEVersion = ReadCfg->EEVersion;
      BufLen = ReadCfg->BufLen;
      if (DevKind == 7) return FinishOk();
      if (Tv10ChannelCount(DevKind) == 0) throw Exception("TTv10ClearMemProt.ProtProc: unknown number of channels !");
      if (OnClearStart) {
        try {
          OnClearStart(this);
        } catch (const EAbort&) {
          return CancelWith(*this, "deh_UserAbort");
        }
      }
      ClearChan->Kennung = Kennung;
      Step = 2;
      ArmTimer(SecondsToTicks(1));
      return;
    case 2:
      if (Event != evTimer) InvalidEvent(*this);
      Step = 3;
      WakeUp->ExecuteChild();
      return;
    case 3:
      if (Event != evChildSuccess) InvalidEvent(*this);
      Step = 4;
      ClearChan->ExecuteChild();
      return;
    case 4:
      if (Event != evChildSuccess) InvalidEvent(*this);
      if (ClearChan->Channel < Tv10ChannelCount(DevKind)) {
        ++ClearChan->Channel;
        ClearChan->ExecuteChild();
        return;
      }
      return FinishOk();
    default: InvalidStep(*this);
  }
}

}  // namespace qv
