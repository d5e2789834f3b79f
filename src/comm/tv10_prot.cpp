#include "comm/tv10_prot.h"

#include <algorithm>
#include <array>
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
  // The Cancel button is not taken: the wake-up ends by itself within seconds.
  static constexpr std::array<TConvStep<TTv10WakeUpProt>, 2> kSteps{{
      {TStepKind::Body, TOnCancel::Ignore, &TTv10WakeUpProt::SpaceStep},
      {TStepKind::Body, TOnCancel::Ignore, &TTv10WakeUpProt::SpaceAnswered},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10WakeUpProt::SpaceStep(void*) {
  if (Event != evStart && Event != evTimer && Event != evOutBuffFree) InvalidEvent(*this);
  if (Port->OutBuffFree() >= 1) return SendSpace();
  if (Event != evStart) return CancelWith(*this, "sco_OutTimeout");
  Port->SetStatusTrigger(status_handle_, 1, true);
  ArmTimer(SecondsToTicks(SendTimeOut));
}

void TTv10WakeUpProt::SpaceAnswered(void* sender) {
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
  ProtProc(sender);
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
  static constexpr std::array<TConvStep<TTv10SyncClProt>, 4> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10SyncClProt::WakeLogger},
      {TStepKind::Child, TOnCancel::Abort, &TTv10SyncClProt::SendClock},
      {TStepKind::Sent, TOnCancel::Ignore},
      {TStepKind::Answer, TOnCancel::Ignore, &TTv10SyncClProt::ClockSet, nullptr, &TTv10SyncClProt::Nack},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10SyncClProt::WakeLogger(void*) {
  Step = 1;
  CopyLine(*this, *WakeUp);
  WakeUp->ExecuteChild();
}

void TTv10SyncClProt::SendClock(void*) {
  Step = 2;
  SendListening(SetDt, {Ack, Nack});
}

void TTv10SyncClProt::ClockSet(void*) {
  if (Ack->GetCommand() != "&T") return CancelWith(*this, "sco_UndocErr");
  DisarmTimer();
  Nack->StopListen();
  FinishOk();
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
  static constexpr std::array<TConvStep<TTv10ScanProt>, 5> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10ScanProt::WakeLogger},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ScanProt::SendScanStep},
      {TStepKind::Sent, TOnCancel::Abort, nullptr, &TTv10ScanProt::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ScanProt::ScanAcked, &TTv10ScanProt::Retry, &TTv10ScanProt::Nack},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ScanProt::IdReceived, &TTv10ScanProt::Retry},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ScanProt::WakeLogger(void*) {
  Step = 1;
  CopyLine(*this, *WakeUp);
  WakeUp->ExecuteChild();
}

void TTv10ScanProt::SendScanStep(void*) { SendScan(); }

void TTv10ScanProt::ScanAcked(void*) {
  if (Ack->GetCommand() != "&S") return CancelWith(*this, "sco_UndocErr");
  DisarmTimer();
  Nack->StopListen();
  Step = 4;
  // The identity follows the acknowledge at once; the packet layer hands the acknowledge over
  // before it looks at the next byte.
  ListenFor(Id);
  ArmTimer(SecondsToTicks(AnswerTimeOut));
}

void TTv10ScanProt::IdReceived(void* sender) {
  if (sender != Id) return CancelWith(*this, "sco_UndocErr");
  DisarmTimer();
  Kennung = Id->Kennung();
  DevKind = Id->DevKind();
  FinishOk();
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
  static constexpr std::array<TConvStep<TTv10ReadEEProt>, 6> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10ReadEEProt::SendRequest},
      {TStepKind::Sent, TOnCancel::Abort, nullptr, &TTv10ReadEEProt::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10ReadEEProt::RequestAnswered, &TTv10ReadEEProt::RetryUnheard},
      {TStepKind::Body, TOnCancel::Abort, &TTv10ReadEEProt::BlockStep},
      {TStepKind::Sent, TOnCancel::Ignore, &TTv10ReadEEProt::BlockAnswered},
      {TStepKind::Sent, TOnCancel::Ignore, &TTv10ReadEEProt::BlockAnswered},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ReadEEProt::SendRequest(void*) {
  Step = 1;
  SendListening(ReadEE, {AckEE, Nack});
}

void TTv10ReadEEProt::RetryUnheard(const std::string& key) {
  DisarmTimer();
  AckEE->StopListen();
  Nack->StopListen();
  Retry(key);
}

void TTv10ReadEEProt::RequestAnswered(void* sender) {
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
  StartBlock();
}

void TTv10ReadEEProt::BlockStep(void*) {
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
}

void TTv10ReadEEProt::BlockAnswered(void*) {
  if (Step == 4) return FinishOk();
  StartBlock();  // the logger sends the block again
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

void TTv10RdCfgProt::ProtProc(void* sender) {
  static constexpr std::array<TConvStep<TTv10RdCfgProt>, 3> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10RdCfgProt::StartScan},
      {TStepKind::Child, TOnCancel::Abort, &TTv10RdCfgProt::Identified},
      {TStepKind::Child, TOnCancel::Abort, &TTv10RdCfgProt::BlockRead},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10RdCfgProt::StartScan(void*) {
  Step = 1;
  Scan->ExecuteChild();
}

void TTv10RdCfgProt::Identified(void*) {
  Kennung = Scan->Kennung;
  DevKind = Scan->DevKind;
  BufLen = Tv10ConfigBlockLen(DevKind);
  if (BufLen == 0) return CancelWith(*this, "deh_DevNotCompat");
  Step = 2;
  Read->Kennung = Kennung;
  Read->DevKind = DevKind;
  Read->BufLen = BufLen;
  Read->ExecuteChild();
}

void TTv10RdCfgProt::BlockRead(void*) {
  EEVersion = Read->EEVersion;
  if (OnConfigRead) OnConfigRead(this);
  FinishOk();
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
  static constexpr std::array<TConvStep<TTv10WriteEEProt>, 6> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10WriteEEProt::SendAnnounce},
      {TStepKind::Sent, TOnCancel::Abort, nullptr, &TTv10WriteEEProt::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10WriteEEProt::Announced, &TTv10WriteEEProt::RetryUnheard,
       &TTv10WriteEEProt::Nack},
      {TStepKind::Sent, TOnCancel::Abort},
      {TStepKind::Answer, TOnCancel::Abort, &TTv10WriteEEProt::ChunkAnswered, &TTv10WriteEEProt::CancelUnheard},
      {TStepKind::Answer, TOnCancel::Ignore, &TTv10WriteEEProt::BlockAnswered, &TTv10WriteEEProt::CancelUnheard},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10WriteEEProt::SendAnnounce(void*) {
  Step = 1;
  SendListening(PreWrite, {Ack, Nack});
}

void TTv10WriteEEProt::StopAnswers() {
  DisarmTimer();
  Ack->StopListen();
  Nack->StopListen();
}

void TTv10WriteEEProt::RetryUnheard(const std::string& key) {
  StopAnswers();
  Retry(key);
}

void TTv10WriteEEProt::CancelUnheard(const std::string& key) {
  StopAnswers();
  CancelProtocol(LoadResString(key), true);
}

void TTv10WriteEEProt::Announced(void*) {
  StopAnswers();
  if (Ack->GetCommand() != "%E") return CancelWith(*this, "sco_UndocErr");
  RepeatCount = 0;
  Offset = 0;
  SendChunk(false);
}

void TTv10WriteEEProt::ChunkAnswered(void* sender) {
  StopAnswers();
  if (sender == Nack) {
    if (WriteData->TrialCount >= 6) return CancelWith(*this, "deh_ErrResponse");
    Diagnose("Repeating FWriteEEData-telegram");
    return SendChunk(true);
  }
  if (Ack->GetCommand() != "%R") return CancelWith(*this, "sco_UndocErr");
  Offset += 8;
  if (Offset < GetBufLen()) return SendChunk(false);
  ++RepeatCount;
  Step = 5;
  ListenForAnswers();
}

void TTv10WriteEEProt::BlockAnswered(void* sender) {
  StopAnswers();
  if (sender == Nack) {
    if (RepeatCount > 5) {
      RepeatCount = 0;
      return Retry("deh_ErrResponse");
    }
    Diagnose("Repeating total TransferBlock");
    Offset = 0;
    return SendChunk(false);
  }
  if (Ack->GetCommand() != "%R") return CancelWith(*this, "sco_UndocErr");
  FinishOk();
}

void TTv10WriteEEProt::Diagnose(const char* text) {
  if (MsgHandler)
    MsgHandler->HandleMessage(text, "TTv10WriteEEProt.ProtProc", TMsgDlgType::mtInformation, mbOK, 0, 0, true,
                              mkDiagnoseOnly);
}

}  // namespace qv
