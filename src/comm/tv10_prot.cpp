#include "comm/tv10_prot.h"

#include <algorithm>
#include <cstring>

#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/crc8408.h"
#include "comm/qv_com_port.h"
#include "comm/tv10_prot_helpers.h"
#include "serial/ser_base_component.h"
#include "serial/ser_base_dispatcher.h"
#include "serial/ser_data_packet.h"

namespace qv {

using namespace tv10;

namespace {

// A child has reported the cause already.
void Fail(TComProtocol& p) { p.CancelProtocol("", false); }

void ShowText(int line, const std::string& text) {
  if (!ProcessWindow) return;
  if (line == 1) ProcessWindow->SetText1(text);
  if (line == 2) ProcessWindow->SetText2(text);
  if (line == 3) ProcessWindow->SetText3(text);
}

void ShowCancel() {
  if (ProcessWindow) ProcessWindow->SetCancelVisible(true);
}

}  // namespace

int32_t Tv10ConfigBlockLen(uint8_t dev_kind) {
  switch (dev_kind) {
    case 5:
    case 7: return 128;
    case 6: return 200;
    default: return 0;
  }
}

// ---- wake-up ----

TTv10WakeUpProt::TTv10WakeUpProt() {
  Answer = AddIn(std::make_unique<TNackInTelgr>());
  Answer->TakesSpaceRefusal = true;
  // The refusal of a space is the answer looked for; any other frame counts as no answer.
  Answer->OnValid = [this](TTelegram* s) { TelgrValid(s); };
}

void TTv10WakeUpProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  SpaceCount = 0;
  if (Port && !hooked_) {
    hooked_ = Port;
    saved_outbuff_free_ = Port->OnTriggerOutbuffFree();
    Port->SetOnTriggerOutbuffFree([this](TComponent* s) { OutBuffFree(s); });
    status_handle_ = Port->AddStatusTrigger(kStatusOutBuffFree);
    // The spaces must go out whatever the handshake lines say.
    saved_hw_flow_ = Port->HWFlowOptions();
    Port->SetHWFlowOptions(0);
  }
}

void TTv10WakeUpProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  ShowCancel();
}

void TTv10WakeUpProt::DoneProtocol() {
  if (hooked_) {
    TQvComPort* port = hooked_;
    hooked_ = nullptr;
    port->SetOnTriggerOutbuffFree(saved_outbuff_free_);
    saved_outbuff_free_ = nullptr;
    const int32_t status = status_handle_;
    status_handle_ = 0;
    if (port->Open()) {
      if (status) port->RemoveTrigger(status);
      port->SetHWFlowOptions(saved_hw_flow_);
    }
  }
  TTelgrProtocol::DoneProtocol();
}

void TTv10WakeUpProt::SendSpace() {
  // Listening first: the logger answers a space at once.
  ListenFor(Answer, 4);
  Port->PutString(" ");
  Step = 1;
  ++SpaceCount;
  DisarmTimer();
  Port->SetStatusTrigger(status_handle_, 1, false);
  ArmTimer(9);
}

void TTv10WakeUpProt::ProtProc(void* sender) {
  if (Event == evUserCancel) return;  // the wake-up ends by itself within seconds
  switch (Step) {
    case 0:
      if (Event != evStart && Event != evTimer && Event != evOutBuffFree) InvalidEvent(*this);
      if (Port->OutBuffFree() >= 1) return SendSpace();
      if (Event != evStart) return CancelWith(*this, "sco_OutTimeout");
      Port->SetStatusTrigger(status_handle_, 1, true);
      ArmTimer(SecondsToTicks(SendTimeOut));
      return;
    case 1:
      if (Event == evTelgrValid && sender == Answer && Answer->GetCommand()[0] == ' ') return FinishOk();
      if (Event == evTelgrValid || Event == evTelgrInvalid) {
        // Another answer: treated as the wait running out.
        DisarmTimer();
        Event = evTimer;
      }
      if (Event != evTimer) InvalidEvent(*this);
      Answer->StopListen();
      if (SpaceCount >= 9) return CancelWith(*this, "deh_TONoResponse");
      Step = 0;
      Event = evStart;
      return ProtProc(sender);
    default: InvalidStep(*this);
  }
}

// ---- set clock ----

TTv10SyncClProt::TTv10SyncClProt() : WakeUp(std::make_unique<TTv10WakeUpProt>()) {
  SetDt = AddOut(std::make_unique<TSetDtOutTelgr>());
  SetDt->Trials = 2;
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
  BindChild(this, *WakeUp);
}

void TTv10SyncClProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  SetDt->ResetTrials();
  SetDt->SendTimeOut = SendTimeOut;
}

void TTv10SyncClProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  ShowText(1, LoadResString(GetName()));
  ShowCancel();
}

void TTv10SyncClProt::ProtProc(void* sender) {
  switch (Step) {
    case 0:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      CopyLine(*this, *WakeUp);
      WakeUp->ExecuteChild();
      return;
    case 1:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evChildFailure) return Fail(*this);
      if (Event != evChildSuccess) InvalidEvent(*this);
      Step = 2;
      SendListening(SetDt, {Ack, Nack});
      return;
    case 2:
      if (Event == evUserCancel) return;
      if (Event == evTelgrSendTimeout) return CancelWith(*this, "sco_OutTimeout");
      if (Event != evTelgrSent) InvalidEvent(*this);
      Step = 3;
      ListenFor(Ack);
      ListenFor(Nack);
      ArmTimer(SecondsToTicks(AnswerTimeOut));
      return;
    case 3:
      if (Event == evUserCancel) return;
      if (Event == evTimer || Event == evTelgrInvalid) return CancelWith(*this, "deh_TONoResponse");
      if (Event != evTelgrValid) InvalidEvent(*this);
      if (sender == Nack) return CancelWith(*this, "deh_ErrResponse");
      if (Ack->GetCommand() != "&T") return CancelWith(*this, "sco_UndocErr");
      DisarmTimer();
      Nack->StopListen();
      return FinishOk();
    default: InvalidStep(*this);
  }
}

// ---- identify ----

TTv10ScanProt::TTv10ScanProt() : WakeUp(std::make_unique<TTv10WakeUpProt>()) {
  Scan = AddOut(std::make_unique<TScanTelgr>());
  Scan->Trials = 10;
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
  Id = AddIn(std::make_unique<TReceiveIdTelgr>());
  BindChild(this, *WakeUp);
}

void TTv10ScanProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  Kennung = 0;
  DevKind = 0;
  Scan->ResetTrials();
  Scan->SendTimeOut = SendTimeOut;
}

void TTv10ScanProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  ShowText(2, LoadResString(GetName()));
  ShowCancel();
}

void TTv10ScanProt::DoneProtocol() {
  TTelgrProtocol::DoneProtocol();
  ShowText(2, "");
}

void TTv10ScanProt::SendScan() {
  Step = 2;
  SendListening(Scan, {Ack, Nack});
}

void TTv10ScanProt::Retry(const std::string& key) {
  DisarmTimer();
  Ack->StopListen();
  Nack->StopListen();
  Id->StopListen();
  if (AskRetry(LoadResString(key), Scan)) SendScan();
}

void TTv10ScanProt::ProtProc(void* sender) {
  if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
  switch (Step) {
    case 0:
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      CopyLine(*this, *WakeUp);
      WakeUp->ExecuteChild();
      return;
    case 1:
      if (Event == evChildFailure) return Fail(*this);
      if (Event != evChildSuccess) InvalidEvent(*this);
      return SendScan();
    case 2:
      if (Event == evTelgrSendTimeout) return Retry("sco_OutTimeout");
      if (Event != evTelgrSent) InvalidEvent(*this);
      Step = 3;
      ListenFor(Ack);
      ListenFor(Nack);
      ArmTimer(SecondsToTicks(AnswerTimeOut));
      return;
    case 3:
      if (Event == evTimer || Event == evTelgrInvalid) return Retry("deh_TONoResponse");
      if (Event != evTelgrValid) InvalidEvent(*this);
      if (sender == Nack) return Retry("deh_ErrResponse");
      if (Ack->GetCommand() != "&S") return CancelWith(*this, "sco_UndocErr");
      DisarmTimer();
      Nack->StopListen();
      Step = 4;
      // The identity follows the acknowledge at once; the packet layer hands the acknowledge
      // over before it looks at the next byte.
      ListenFor(Id);
      ArmTimer(SecondsToTicks(AnswerTimeOut));
      return;
    case 4:
      if (Event == evTimer || Event == evTelgrInvalid) return Retry("deh_TONoResponse");
      if (Event != evTelgrValid) InvalidEvent(*this);
      if (sender != Id) return CancelWith(*this, "sco_UndocErr");
      DisarmTimer();
      Kennung = Id->Kennung();
      DevKind = Id->DevKind();
      return FinishOk();
    default: InvalidStep(*this);
  }
}

// ---- read the configuration block ----

TTv10ReadEEProt::TTv10ReadEEProt() {
  ReadEE = AddOut(std::make_unique<TReadEETelgr>());
  ReadEE->Trials = 5;
  AckEE = AddIn(std::make_unique<TAckReadEETelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
  AckOut = AddOut(std::make_unique<TAckOutTelgr>());
  NackOut = AddOut(std::make_unique<TNackOutTelgr>());
  AckOut->SetCommand("?E");
  NackOut->SetCommand("?E");
  AckOut->Trials = 2;
  NackOut->Trials = 2;
  packet_ = MakeBlockPacket(this);
}

TTv10ReadEEProt::~TTv10ReadEEProt() {
  packet_->OnPacket = nullptr;
  packet_->OnTimeout = nullptr;
}

void TTv10ReadEEProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  DataOk = false;
  BlockCount = 0;
  EEVersion = 0;
  if (BufLen < 3 || BufLen > 32767) throw Exception("TTv10ReadEEProt.InitProtocol: invalid BufLen");
  buffer_.assign(static_cast<size_t>(BufLen), 0);
  ArmBlockPacket(*packet_, *this, BufLen);
  ReadEE->SetKennung(Kennung);
  ReadEE->ResetTrials();
  for (TOutTelegram* t :
       {static_cast<TOutTelegram*>(ReadEE), static_cast<TOutTelegram*>(AckOut), static_cast<TOutTelegram*>(NackOut)})
    t->SendTimeOut = SendTimeOut;
}

void TTv10ReadEEProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  ShowText(2, LoadResString(GetName()));
  ShowCancel();
}

void TTv10ReadEEProt::DoneProtocol() {
  DisablePacket();
  TTelgrProtocol::DoneProtocol();
  ShowText(2, "");
}

void TTv10ReadEEProt::DisablePacket() {
  if (packet_->ComPort() && packet_->ComPort()->Open()) packet_->SetEnabled(false);
}

void TTv10ReadEEProt::Retry(const std::string& key) {
  if (!AskRetry(LoadResString(key), ReadEE)) return;
  Step = 1;
  SendListening(ReadEE, {AckEE, Nack});
}

void TTv10ReadEEProt::StartBlock() {
  Step = 3;
  packet_->SetEnabled(true);
  ArmTimer(2 * SecondsToTicks(AnswerTimeOut));
}

void TTv10ReadEEProt::ProtProc(void* sender) {
  switch (Step) {
    case 0:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      SendListening(ReadEE, {AckEE, Nack});
      return;
    case 1:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evTelgrSendTimeout) return Retry("sco_OutTimeout");
      if (Event != evTelgrSent) InvalidEvent(*this);
      Step = 2;
      ListenFor(AckEE);
      ListenFor(Nack);
      ArmTimer(SecondsToTicks(AnswerTimeOut));
      return;
    case 2:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evTimer || Event == evTelgrInvalid) {
        DisarmTimer();
        AckEE->StopListen();
        Nack->StopListen();
        return Retry("deh_TONoResponse");
      }
      if (Event != evTelgrValid) InvalidEvent(*this);
      if (sender == Nack) {
        DisarmTimer();
        AckEE->StopListen();
        return Retry("deh_ErrResponse");
      }
      EEVersion = AckEE->EEVersion();
      if (EEVersion > MaxEEVersion) return CancelWith(*this, "deh_BadDevVersion");
      DisarmTimer();
      Nack->StopListen();
      // The block follows the answer at once; the packet layer hands the answer over before it
      // looks at the next byte.
      return StartBlock();
    case 3:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evPacket) {
        DisarmTimer();
        ++BlockCount;
        std::fill(buffer_.begin(), buffer_.end(), 0);
        std::memcpy(buffer_.data(), PacketData, static_cast<size_t>(std::clamp<int32_t>(PacketSize, 0, BufLen)));
        if (CheckCrc8408(buffer_.data(), BufLen)) {
          Step = 4;
          DataOk = true;
          AckOut->ResetTrials();
          SendTelegram(AckOut);
          return;
        }
        std::fill(buffer_.begin(), buffer_.end(), 0);
        DataOk = false;
        if (BlockCount > 5) return Retry("deh_ChecksumErr");
        Step = 5;
        // Each refusal is a send of its own: the trials guard only the wait for room.
        NackOut->ResetTrials();
        SendTelegram(NackOut);
        return;
      }
      if (Event == evTimer) {
        if (packet_->Enabled() && Port->CharReady()) throw Exception("TTv10ReadEEProt.ProtProc: Datapacket corrupt");
        DisablePacket();
        return Retry("deh_TONoResponse");
      }
      if (Event == evPacketTimeout) {
        DisarmTimer();
        DisablePacket();
        return Retry("deh_TONoResponse");
      }
      InvalidEvent(*this);
    case 4:
    case 5:
      if (Event == evUserCancel) return;
      if (Event == evTelgrSendTimeout) return CancelWith(*this, "sco_OutTimeout");
      if (Event != evTelgrSent) InvalidEvent(*this);
      if (Step == 4) return FinishOk();
      return StartBlock();  // the logger sends the block again
    default: InvalidStep(*this);
  }
}

// ---- identify and read ----

TTv10RdCfgProt::TTv10RdCfgProt() : Scan(std::make_unique<TTv10ScanProt>()), Read(std::make_unique<TTv10ReadEEProt>()) {
  BindChild(this, *Scan);
  BindChild(this, *Read);
}

void TTv10RdCfgProt::InitProtocol() {
  TComProtocol::InitProtocol();
  Step = 0;
  Kennung = 0;
  DevKind = 0;
  EEVersion = 0;
  CopyLine(*this, *Scan);
  CopyLine(*this, *Read);
  Read->MaxEEVersion = MaxEEVersion;
  Read->BufLen = BufLen;
}

void TTv10RdCfgProt::HookProcessWindow() {
  TComProtocol::HookProcessWindow();
  ShowText(IsChild ? 3 : 1, LoadResString(GetName()));
  ShowCancel();
}

void TTv10RdCfgProt::DoneProtocol() {
  TComProtocol::DoneProtocol();
  if (IsChild) ShowText(3, "");
}

void TTv10RdCfgProt::ProtProc(void*) {
  if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
  switch (Step) {
    case 0:
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      Scan->ExecuteChild();
      return;
    case 1:
      if (Event == evChildFailure) return Fail(*this);
      if (Event != evChildSuccess) InvalidEvent(*this);
      Kennung = Scan->Kennung;
      DevKind = Scan->DevKind;
      BufLen = Tv10ConfigBlockLen(DevKind);
      if (BufLen == 0) return CancelWith(*this, "deh_DevNotCompat");
      Step = 2;
      Read->Kennung = Kennung;
      Read->DevKind = DevKind;
      Read->BufLen = BufLen;
      Read->ExecuteChild();
      return;
    case 2:
      if (Event == evChildFailure) return Fail(*this);
      if (Event != evChildSuccess) InvalidEvent(*this);
      EEVersion = Read->EEVersion;
      if (OnConfigRead) OnConfigRead(this);
      return FinishOk();
    default: InvalidStep(*this);
  }
}

// ---- write the configuration block ----

TTv10WriteEEProt::TTv10WriteEEProt() {
  PreWrite = AddOut(std::make_unique<TPreWriteEETelgr>());
  PreWrite->Trials = 5;
  WriteData = AddOut(std::make_unique<TWriteEEData>());
  WriteData->Trials = 6;
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
}

void TTv10WriteEEProt::SetBufLen(int32_t len) {
  if (len < 0 || len > 32767) throw Exception("TTv10WriteEEProt.SetBufLen: invalid length");
  if (len != GetBufLen()) buffer_.assign(static_cast<size_t>(len), 0xFF);
}

void TTv10WriteEEProt::ReceiveData(const uint8_t* data, int32_t count) {
  if (!data || count < 0 || buffer_.empty() || count > GetBufLen() - 2)
    throw Exception("TTv10WriteEEProt.ReceiveData: invalid Parameters!");
  std::fill(buffer_.begin(), buffer_.end(), 0xFF);
  std::memcpy(buffer_.data(), data, static_cast<size_t>(count));
  AddCrc8408(buffer_.data(), GetBufLen());
}

void TTv10WriteEEProt::InitProtocol() {
  // Whole chunks of eight only: a block that is not a multiple of eight would read past its end.
  if (buffer_.empty() || buffer_.size() % 8 != 0) throw Exception("TTv10WriteEEProt.InitProtocol: invalid BufLen");
  TTelgrProtocol::InitProtocol();
  Step = 0;
  Offset = 0;
  RepeatCount = 0;
  PreWrite->SetKennung(Kennung);
  PreWrite->SetConfigByte(ConfigByte);
  PreWrite->ResetTrials();
  PreWrite->SendTimeOut = SendTimeOut;
  WriteData->SendTimeOut = SendTimeOut;
}

void TTv10WriteEEProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  ShowText(1, LoadResString(GetName()));
  ShowCancel();
}

void TTv10WriteEEProt::Listen() {
  ListenFor(Ack);
  ListenFor(Nack);
  ArmTimer(SecondsToTicks(AnswerTimeOut));
}

void TTv10WriteEEProt::SendChunk(bool same) {
  Step = 3;
  // A new chunk starts its trials afresh; the same chunk again counts on.
  if (!same) WriteData->SetData(buffer_.data() + Offset);
  SendListening(WriteData, {Ack, Nack});
}

void TTv10WriteEEProt::Retry(const std::string& key) {
  if (!AskRetry(LoadResString(key), PreWrite)) return;
  Step = 1;
  SendListening(PreWrite, {Ack, Nack});
}

void TTv10WriteEEProt::ProtProc(void* sender) {
  auto stop_both = [this]() {
    DisarmTimer();
    Ack->StopListen();
    Nack->StopListen();
  };
  auto diagnose = [](const char* text) {
    if (MsgHandler)
      MsgHandler->HandleMessage(text, "TTv10WriteEEProt.ProtProc", TMsgDlgType::mtInformation, mbOK, 0, 0, true,
                                mkDiagnoseOnly);
  };
  switch (Step) {
    case 0:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event != evStart) InvalidEvent(*this);
      Step = 1;
      SendListening(PreWrite, {Ack, Nack});
      return;
    case 1:
    case 3:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evTelgrSendTimeout) {
        if (Step == 1) return Retry("sco_OutTimeout");
        return CancelWith(*this, "sco_OutTimeout");
      }
      if (Event != evTelgrSent) InvalidEvent(*this);
      ++Step;
      return Listen();
    case 2:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evTimer || Event == evTelgrInvalid) {
        stop_both();
        return Retry("deh_TONoResponse");
      }
      if (Event != evTelgrValid) InvalidEvent(*this);
      stop_both();
      if (sender == Nack) return Retry("deh_ErrResponse");
      if (Ack->GetCommand() != "%E") return CancelWith(*this, "sco_UndocErr");
      RepeatCount = 0;
      Offset = 0;
      return SendChunk(false);
    case 4:
      if (Event == evUserCancel) return CancelWith(*this, "deh_UserAbort");
      if (Event == evTimer || Event == evTelgrInvalid) {
        stop_both();
        return CancelWith(*this, "deh_TONoResponse");
      }
      if (Event != evTelgrValid) InvalidEvent(*this);
      stop_both();
      if (sender == Nack) {
        if (WriteData->TrialCount >= 6) return CancelWith(*this, "deh_ErrResponse");
        diagnose("Repeating FWriteEEData-telegram");
        return SendChunk(true);
      }
      if (Ack->GetCommand() != "%R") return CancelWith(*this, "sco_UndocErr");
      Offset += 8;
      if (Offset < GetBufLen()) return SendChunk(false);
      ++RepeatCount;
      Step = 5;
      return Listen();
    case 5:
      if (Event == evUserCancel) return;
      if (Event == evTimer || Event == evTelgrInvalid) {
        stop_both();
        return CancelWith(*this, "deh_TONoResponse");
      }
      if (Event != evTelgrValid) InvalidEvent(*this);
      stop_both();
      if (sender == Nack) {
        if (RepeatCount > 5) {
          RepeatCount = 0;
          return Retry("deh_ErrResponse");
        }
        diagnose("Repeating total TransferBlock");
        Offset = 0;
        return SendChunk(false);
      }
      if (Ack->GetCommand() != "%R") return CancelWith(*this, "sco_UndocErr");
      return FinishOk();
    default: InvalidStep(*this);
  }
}

}  // namespace qv
