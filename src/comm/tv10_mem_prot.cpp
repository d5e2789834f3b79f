#include "comm/tv10_mem_prot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/crc8408.h"
#include "comm/qv_com_port.h"
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

int32_t Tv10MemBlockLen(uint8_t dev_kind) {
  switch (dev_kind) {
    case 5:
    case 7: return 128;
    case 6: return 4000;
    default: return 0;
  }
}

TDateTime Tv10MemReadEpoch() { return EncodeDate(2000, 1, 1); }

namespace {

void ShowLine2(const std::string& text) {
  if (ProcessWindow) ProcessWindow->SetText2(text);
}

size_t ChannelIndex(int32_t channel, const char* error) {
  if (channel < 1 || channel > 4) throw Exception(error);
  return static_cast<size_t>(channel - 1);
}

}  // namespace

// ---- read the memory blocks ----

TTv10ReadOfflProt::TTv10ReadOfflProt() : WakeUp(std::make_unique<TTv10WakeUpProt>()) {
  BindChild(this, *WakeUp);
  Prep = AddOut(std::make_unique<TPrepReadOffl>());
  Prep->Trials = 5;
  DtRead = AddOut(std::make_unique<TDtReadOffl>());
  DtRead->Trials = 6;
  Ack = AddIn(std::make_unique<TAckInTelgr>());
  Nack = AddIn(std::make_unique<TNackInTelgr>());
  AckT = AddIn(std::make_unique<TAckReadOffl>());
  AckOut = AddOut(std::make_unique<TAckOutTelgr>());
  NackOut = AddOut(std::make_unique<TNackOutTelgr>());
  AckOut->SetCommand("?T");
  NackOut->SetCommand("?T");
  // Every block is acknowledged or refused by a send of its own: these never run out.
  AckOut->Trials = 2147483645;
  NackOut->Trials = 2147483645;
  start_.fill(Tv10MemReadEpoch());
  packet_ = MakeBlockPacket(this);
}

TTv10ReadOfflProt::~TTv10ReadOfflProt() {
  packet_->OnPacket = nullptr;
  packet_->OnTimeout = nullptr;
}

TDateTime TTv10ReadOfflProt::GetDateTime(int32_t channel) const {
  return start_[ChannelIndex(channel, "TTv10ReadOfflProt.GetDateTime: invalid channel")];
}

void TTv10ReadOfflProt::SetDateTime(int32_t channel, TDateTime dt) {
  start_[ChannelIndex(channel, "TTv10ReadOfflProt.SetDateTime: invalid channel")] = dt;
}

void TTv10ReadOfflProt::InitProtocol() {
  TTelgrProtocol::InitProtocol();
  Step = 0;
  DataOk = false;
  TryCount = 1;
  BlockCount = 0;
  BlockNo = 1;
  LastPercent = -1;
  if (BufLen < 3 || BufLen > 32767) throw Exception("TTv10ReadOfflProt.InitProtocol: invalid BufLen");
  buffer_.assign(static_cast<size_t>(BufLen), 0);
  ArmBlockPacket(*packet_, *this, BufLen);
  CopyLine(*this, *WakeUp);
  Prep->SetKennung(Kennung);
  Prep->SetChannel(1);
  Prep->ResetTrials();
  for (TOutTelegram* t : {static_cast<TOutTelegram*>(Prep), static_cast<TOutTelegram*>(DtRead),
                          static_cast<TOutTelegram*>(AckOut), static_cast<TOutTelegram*>(NackOut)})
    t->SendTimeOut = SendTimeOut;
}

void TTv10ReadOfflProt::HookProcessWindow() {
  TTelgrProtocol::HookProcessWindow();
  ShowLine2(LoadResString(GetName()));
  if (ProcessWindow) ProcessWindow->SetCancelVisible(true);
}

void TTv10ReadOfflProt::DoneProtocol() {
  DisablePacket();
  TTelgrProtocol::DoneProtocol();
  ShowLine2("");
}

void TTv10ReadOfflProt::DisablePacket() {
  if (packet_->ComPort() && packet_->ComPort()->Open()) packet_->SetEnabled(false);
}

void TTv10ReadOfflProt::StopListening() {
  DisarmTimer();
  Ack->StopListen();
  Nack->StopListen();
  AckT->StopListen();
}

void TTv10ReadOfflProt::Retry(const std::string& key) {
  StopListening();
  if (!AskRetry(LoadResString(key), Prep)) return;
  Step = 3;
  SendListening(Prep, {Ack, Nack});
}

void TTv10ReadOfflProt::StartBlock() {
  Step = 7;
  packet_->SetEnabled(true);
  ArmTimer(2 * SecondsToTicks(AnswerTimeOut));
}

void TTv10ReadOfflProt::ShowPercent() {
  if (!ProcessWindow || BlockCount == 0) return;
  const int32_t channels = std::max(Tv10ChannelCount(DevKind), 1);
  const double share = static_cast<double>(BlockNo) / BlockCount + (Channel() - 1);
  const auto percent = static_cast<int32_t>(std::nearbyint(100.0 / channels * share));
  if (percent == LastPercent) return;
  LastPercent = percent;
  ShowLine2(LoadResString(GetName()) + ": " + std::to_string(percent) + "%");
}

void TTv10ReadOfflProt::NextChannel() {
  if (Channel() < Tv10ChannelCount(DevKind)) {
    Prep->SetChannel(Channel() + 1);
    Prep->ResetTrials();
    DataOk = false;
    TryCount = 1;
    BlockCount = 0;
    BlockNo = 1;
    Step = 0;
    Event = evStart;
    ProtProc(this);
    return;
  }
  if (OnReadDone) OnReadDone(this, Channel());
  FinishOk();
}

void TTv10ReadOfflProt::ProtProc(void* sender) {
  using P = TTv10ReadOfflProt;
  static constexpr std::array<TConvStep<P>, 10> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &P::PauseFirst},
      {TStepKind::Timer, TOnCancel::Abort, &P::WakeLogger},
      {TStepKind::Child, TOnCancel::Abort, &P::SendPrepare},
      {TStepKind::Sent, TOnCancel::Abort, nullptr, &P::Retry},
      {TStepKind::Answer, TOnCancel::Abort, &P::Prepared, &P::Retry, &P::Nack},
      {TStepKind::Sent, TOnCancel::Abort},
      {TStepKind::Answer, TOnCancel::Abort, &P::BlocksAnnounced, &P::Retry, &P::Nack},
      {TStepKind::Body, TOnCancel::Abort, &P::BlockStep},
      {TStepKind::Sent, TOnCancel::Ignore, &P::BlockAcked},
      {TStepKind::Sent, TOnCancel::Ignore, &P::BlockRefused},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ReadOfflProt::PauseFirst(void*) {
  // The logger needs a pause between the channels before it wakes again.
  Step = 1;
  ArmTimer(SecondsToTicks(1));
}

void TTv10ReadOfflProt::WakeLogger(void*) {
  DisarmTimer();
  Step = 2;
  WakeUp->ExecuteChild();
}

void TTv10ReadOfflProt::SendPrepare(void*) {
  Step = 3;
  SendListening(Prep, {Ack, Nack});
}

void TTv10ReadOfflProt::Prepared(void*) {
  StopListening();
  Step = 5;
  DtRead->SetDateTime(GetDateTime(Channel()));
  DtRead->ResetTrials();
  SendListening(DtRead, {AckT, Nack});
}

void TTv10ReadOfflProt::BlocksAnnounced(void*) {
  StopListening();
  BlockCount = AckT->BlockCount();
  BlockNo = 1;
  TryCount = 1;
  if (BlockCount == 0) return NextChannel();
  // The first block follows the answer at once; the packet layer hands the answer over before
  // it looks at the next byte.
  StartBlock();
}

void TTv10ReadOfflProt::BlockStep(void*) {
  if (Event == evPacket) {
    DisarmTimer();
    std::fill(buffer_.begin(), buffer_.end(), 0);
    std::memcpy(buffer_.data(), PacketData, static_cast<size_t>(std::clamp<int32_t>(PacketSize, 0, BufLen)));
    if (CheckCrc8408(buffer_.data(), BufLen)) {
      Step = 8;
      DataOk = true;
      if (OnBlockRead) OnBlockRead(this);
      SendTelegram(AckOut);
      return;
    }
    std::fill(buffer_.begin(), buffer_.end(), 0);
    DataOk = false;
    if (MsgHandler)
      MsgHandler->HandleMessage("bad CRC", "TTv10ReadOfflProt.ProtProc", TMsgDlgType::mtInformation, mbOK, 0, 0, true,
                                mkDiagnoseOnly);
    if (TryCount >= 6) return CancelWith(*this, "deh_ChecksumErr");
    Step = 9;
    SendTelegram(NackOut);
    return;
  }
  if (Event == evTimer) {
    if (packet_->Enabled() && Port->CharReady()) throw Exception("TTv10ReadOfflProt.ProtProc: Datapacket corrupt");
    DisablePacket();
    return CancelWith(*this, "deh_TONoResponse");
  }
  if (Event == evPacketTimeout) {
    DisarmTimer();
    return CancelWith(*this, "deh_TONoResponse");
  }
  InvalidEvent(*this);
}

void TTv10ReadOfflProt::BlockAcked(void*) {
  TryCount = 1;
  ShowPercent();
  if (BlockNo < BlockCount) {
    ++BlockNo;
    return StartBlock();
  }
  NextChannel();
}

void TTv10ReadOfflProt::BlockRefused(void*) {
  ++TryCount;
  StartBlock();  // the logger sends the block again
}

// ---- read the memory ----

TTv10ReadMemProt::TTv10ReadMemProt()
    : ReadCfg(std::make_unique<TTv10RdCfgProt>()), ReadOffl(std::make_unique<TTv10ReadOfflProt>()) {
  BindChild(this, *ReadCfg);
  BindChild(this, *ReadOffl);
  start_.fill(Tv10MemReadEpoch());
}

TDateTime TTv10ReadMemProt::GetDateTime(int32_t channel) const {
  return start_[ChannelIndex(channel, "TTv10ReadMemProt.GetDateTime: invalid channel")];
}

void TTv10ReadMemProt::SetDateTime(int32_t channel, TDateTime dt) {
  start_[ChannelIndex(channel, "TTv10ReadMemProt.SetDateTime: invalid channel")] = dt;
  ReadOffl->SetDateTime(channel, dt);
}

void TTv10ReadMemProt::InitProtocol() {
  TComProtocol::InitProtocol();
  Step = 0;
  Kennung = 0;
  DevKind = 0;
  EEVersion = 0;
  CopyLine(*this, *ReadCfg);
  CopyLine(*this, *ReadOffl);
  ReadCfg->MaxEEVersion = MaxEEVersion;
  ReadCfg->OnConfigRead = OnConfigRead;
  for (int32_t ch = 1; ch <= 4; ++ch) ReadOffl->SetDateTime(ch, start_[static_cast<size_t>(ch - 1)]);
  ReadOffl->OnBlockRead = OnBlockRead;
  ReadOffl->OnReadDone = OnReadDone;
}

void TTv10ReadMemProt::HookProcessWindow() {
  TComProtocol::HookProcessWindow();
  if (!ProcessWindow) return;
  ProcessWindow->SetText1(LoadResString(GetName()));
  ProcessWindow->SetCancelVisible(true);
}

void TTv10ReadMemProt::ProtProc(void* sender) {
  static constexpr std::array<TConvStep<TTv10ReadMemProt>, 3> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10ReadMemProt::ReadConfig},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ReadMemProt::ConfigRead},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ReadMemProt::MemoryRead},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ReadMemProt::ReadConfig(void*) {
  Step = 1;
  ReadCfg->ExecuteChild();
}

void TTv10ReadMemProt::ConfigRead(void*) {
  Kennung = ReadCfg->Kennung;
  DevKind = ReadCfg->DevKind;
  EEVersion = ReadCfg->EEVersion;
  if (DevKind == 7) return FinishOk();
  const int32_t block_len = Tv10MemBlockLen(DevKind);
  if (block_len == 0) return CancelWith(*this, "deh_DevNotCompat");
  if (OnMemStart) OnMemStart(this);
  Step = 2;
  ReadOffl->Kennung = Kennung;
  ReadOffl->DevKind = DevKind;
  ReadOffl->BufLen = block_len;
  ReadOffl->ExecuteChild();
}

void TTv10ReadMemProt::MemoryRead(void*) { FinishOk(); }

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
  SendListening(Clear, {Ack, Nack});
}

void TTv10ClearChanProt::ProtProc(void* sender) {
  static constexpr std::array<TConvStep<TTv10ClearChanProt>, 3> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10ClearChanProt::SendClear},
      {TStepKind::Sent, TOnCancel::Ignore, nullptr, &TTv10ClearChanProt::Retry},
      {TStepKind::Answer, TOnCancel::Ignore, &TTv10ClearChanProt::Cleared, &TTv10ClearChanProt::Retry,
       &TTv10ClearChanProt::Nack},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ClearChanProt::SendClear(void*) {
  Step = 1;
  SendListening(Clear, {Ack, Nack});
}

void TTv10ClearChanProt::Cleared(void*) {
  if (Ack->GetCommand() != "%" + std::to_string(Channel)) return CancelWith(*this, "sco_UndocErr");
  DisarmTimer();
  Nack->StopListen();
  FinishOk();
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

void TTv10ClearMemProt::ProtProc(void* sender) {
  static constexpr std::array<TConvStep<TTv10ClearMemProt>, 5> kSteps{{
      {TStepKind::Start, TOnCancel::Abort, &TTv10ClearMemProt::ReadConfig},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ClearMemProt::ConfigRead},
      {TStepKind::Timer, TOnCancel::Abort, &TTv10ClearMemProt::WakeLogger},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ClearMemProt::ClearFirst},
      {TStepKind::Child, TOnCancel::Abort, &TTv10ClearMemProt::ChannelCleared},
  }};
  RunConvStep(*this, kSteps, sender);
}

void TTv10ClearMemProt::ReadConfig(void*) {
  Step = 1;
  ReadCfg->ExecuteChild();
}

void TTv10ClearMemProt::ConfigRead(void*) {
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
}

void TTv10ClearMemProt::WakeLogger(void*) {
  Step = 3;
  WakeUp->ExecuteChild();
}

void TTv10ClearMemProt::ClearFirst(void*) {
  Step = 4;
  ClearChan->ExecuteChild();
}

void TTv10ClearMemProt::ChannelCleared(void*) {
  if (ClearChan->Channel < Tv10ChannelCount(DevKind)) {
    ++ClearChan->Channel;
    ClearChan->ExecuteChild();
    return;
  }
  FinishOk();
}

}  // namespace qv
