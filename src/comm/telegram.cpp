#include "comm/telegram.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/qv_com_port.h"
#include "serial/ser_custom_com_port.h"
#include "serial/ser_data_packet.h"

namespace qv {

uint16_t TelegramCheckSum(const uint8_t* frame, int32_t size) {
  uint16_t sum = 0;
  for (int32_t i = 0; i < size - 2; ++i) sum = static_cast<uint16_t>(sum + frame[i]);
  return sum;
}

namespace {

void CheckKennung(int32_t kennung, const char* text) {
  if (kennung < 0 || kennung > 0xFFFF) throw Exception(text);
}

void PutWord(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

uint16_t GetWord(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint8_t ChannelDigit(uint8_t channel) { return static_cast<uint8_t>('0' + channel); }

// The start string as the packet matches it: literally, so that "?N" does not take any byte
// followed by "N" for a frame of the logger.
std::string LiteralMatchText(const std::string& start) {
  std::string out;
  for (char c : start) {
    if (c == '?' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

// ---- TTelegram ----

TTelegram::TTelegram(int32_t size, std::string start) : size_(size), start_(std::move(start)) { InitBuffer(); }

void TTelegram::InitBuffer() {
  data_.assign(static_cast<size_t>(std::max<int32_t>(size_, 0)), 0);
  ResetBuffer();
}

void TTelegram::ResetBuffer() {
  std::fill(data_.begin(), data_.end(), 0);
  if (!data_.empty()) data_.back() = 0xFF;
}

// ---- TOutTelegram ----

TOutTelegram::TOutTelegram(int32_t size, std::string start) : TTelegram(size, std::move(start)) {}

TOutTelegram::~TOutTelegram() {
  try {
    EndSend();
  } catch (...) {
    // Nothing to report from a destructor; the handlers are back in place.
  }
}

void TOutTelegram::BuildTelegram() {
  if (!PayloadReady()) {
    if (!KeepBuiltWhenNotReady()) Built = false;
    return;
  }
  ResetBuffer();
  const size_t n = std::min(GetStartStr().size(), static_cast<size_t>(std::max<int32_t>(GetSize() - 2, 0)));
  std::memcpy(data_.data(), GetStartStr().data(), n);
  if (!AutoBuild) TrialCount = 0;
  WritePayload();
  CalcCheckSum();
  Built = true;
}

void TOutTelegram::CalcCheckSum() {
  if (GetSize() < 2) return;
  PutWord(&data_[static_cast<size_t>(GetSize() - 2)], TelegramCheckSum(data_.data(), GetSize()));
}

bool TOutTelegram::Send(TSerCustomComPort* port) {
  if (!port) throw Exception("TOutTelegram.Send: ComPort must not be nil");
  if (send_pending_) throw Exception("TOutTelegram.Send: no SEND permitted during SendPending");
  ++TrialCount;
  if (TrialCount > Trials + 1) throw Exception("TOutTelegram.Send: Number of permitted trials exceeded");
  if (TrialCount == Trials + 1) {
    if (MsgHandler)
      MsgHandler->HandleMessage("TOutTelegram.Send: Number of permitted trials exceeded", ClassName(),
                                TMsgDlgType::mtError, mbOK, 0, mrOk, true, mkError);
    return false;
  }
  port_ = port;
  try {
    if (port->OutBuffFree() >= static_cast<uint32_t>(GetSize())) {
      if (AutoBuild) BuildTelegram();
      QueueFrame();
      EndSend();
      if (OnSent) OnSent(this);
      return true;
    }
    // Nothing is queued now; the frame waits for room below.
    send_pending_ = true;
    saved_timer_ = port->OnTriggerTimer();
    saved_outbuff_free_ = port->OnTriggerOutbuffFree();
    port->SetOnTriggerTimer([this](TSerCustomComPort* cp, uint16_t handle) { TimerEvent(cp, handle); });
    port->SetOnTriggerOutbuffFree([this](TComponent*) { OutBuffFreeEvent(); });
    timer_handle_ = port->AddTimerTrigger();
    port->SetTimerTrigger(timer_handle_, SecondsToTicks(SendTimeOut), true);
    status_handle_ = port->AddStatusTrigger(kStatusOutBuffFree);
    port->SetStatusTrigger(status_handle_, static_cast<uint16_t>(GetSize()), true);
    return true;
  } catch (...) {
    EndSend();
    throw;
  }
}

void TOutTelegram::QueueFrame() { port_->PutBlock(data_.data(), static_cast<uint16_t>(GetSize())); }

void TOutTelegram::EndSend() {
  TSerCustomComPort* port = port_;
  port_ = nullptr;
  if (!send_pending_) return;
  send_pending_ = false;
  const int32_t timer = timer_handle_, status = status_handle_;
  timer_handle_ = status_handle_ = 0;
  port->SetOnTriggerTimer(saved_timer_);
  port->SetOnTriggerOutbuffFree(saved_outbuff_free_);
  saved_timer_ = nullptr;
  saved_outbuff_free_ = nullptr;
  // A closed port has lost its triggers already; touching them would open it again.
  if (!port->Open()) return;
  if (timer) port->RemoveTrigger(timer);
  if (status) port->RemoveTrigger(status);
}

void TOutTelegram::TimerEvent(TSerCustomComPort* cp, uint16_t handle) {
  if (send_pending_ && handle == timer_handle_) {
    EndSend();
    if (OnSendTimeout) OnSendTimeout(this);
  } else if (saved_timer_) {
    saved_timer_(cp, handle);
  }
}

void TOutTelegram::OutBuffFreeEvent() {
  if (!send_pending_) return;
  try {
    port_->SetTimerTrigger(timer_handle_, 0, false);
    // A time-carrying frame takes the time of the moment it goes out: never sent unbuilt or stale.
    if (AutoBuild) BuildTelegram();
    QueueFrame();
  } catch (...) {
    EndSend();
    throw;
  }
  EndSend();
  if (OnSent) OnSent(this);
}

// ---- out-telegram types ----

TScanTelgr::TScanTelgr() : TOutTelegram(4, "&S") { BuildTelegram(); }

void WriteDateTimePayload(uint8_t* payload, TDateTime dt, bool clamp_year) {
  uint16_t year, month, day, hour, minute, second, ms;
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, minute, second, ms);
  if (clamp_year) year = std::clamp<uint16_t>(year, 2000, 2255);
  payload[0] = static_cast<uint8_t>(year - 2000);
  payload[1] = static_cast<uint8_t>(month);
  payload[2] = static_cast<uint8_t>(day);
  payload[3] = static_cast<uint8_t>(hour);
  payload[4] = static_cast<uint8_t>(minute);
  payload[5] = static_cast<uint8_t>(second + (ms >= 500 ? 1 : 0));
}

TSetDtOutTelgr::TSetDtOutTelgr() : TOutTelegram(10, "&T") { AutoBuild = true; }

void TSetDtOutTelgr::WritePayload() {
  const TDateTime now = Clock ? Clock->Now() : DefaultWallClock().Now();
  WriteDateTimePayload(&data_[2], now, true);
}

TReadEETelgr::TReadEETelgr() : TOutTelegram(8, "?E") {}

void TReadEETelgr::SetKennung(int32_t kennung) {
  CheckKennung(kennung, "TReadEETelgr.SetKennung: invalid Kennung");
  Change(kennung_, kennung);
}

void TReadEETelgr::WritePayload() { PutWord(&data_[2], static_cast<uint32_t>(kennung_)); }

TPreWriteEETelgr::TPreWriteEETelgr() : TOutTelegram(10, "%E") {}

void TPreWriteEETelgr::SetKennung(int32_t kennung) {
  CheckKennung(kennung, "TPreWriteEETelgr.SetKennung: invalid Kennung");
  Change(kennung_, kennung);
}

void TPreWriteEETelgr::SetConfigByte(uint8_t value) { Change(config_byte_, value); }

void TPreWriteEETelgr::WritePayload() {
  data_[2] = config_byte_;
  PutWord(&data_[4], static_cast<uint32_t>(kennung_));
}

TWriteEEData::TWriteEEData() : TOutTelegram(12, "%R") {}

void TWriteEEData::SetData(const uint8_t* data) {
  source_ = data;
  BuildTelegram();
}

void TWriteEEData::WritePayload() { std::memcpy(&data_[2], source_, 8); }

TPrepReadOffl::TPrepReadOffl() : TReadEETelgr(8, "?") {}

void TPrepReadOffl::SetChannel(int32_t channel) {
  if (channel < 1 || channel > 9) throw Exception("TPrepReadOffl.SetChannel: invalid channel");
  Change(channel_, channel);
}

void TPrepReadOffl::WritePayload() {
  data_[1] = ChannelDigit(channel_);
  PutWord(&data_[2], static_cast<uint32_t>(kennung_));
}

TDtReadOffl::TDtReadOffl() : TOutTelegram(10, "?T") {}

namespace {
bool YearInRange(TDateTime dt) {
  uint16_t year, month, day;
  DecodeDate(dt, year, month, day);
  return year >= 2000 && year <= 2255;
}
}  // namespace

void TDtReadOffl::SetDateTime(TDateTime dt) {
  if (!YearInRange(dt)) throw Exception("TDtReadOffl.SetDateTime: invalid date");
  Change(date_time_, dt);
}

bool TDtReadOffl::PayloadReady() const { return YearInRange(date_time_); }

void TDtReadOffl::WritePayload() { WriteDateTimePayload(&data_[2], date_time_, false); }

TClearMemTelgr::TClearMemTelgr() : TOutTelegram(8, "%") {}

void TClearMemTelgr::SetKennung(int32_t kennung) {
  CheckKennung(kennung, "TClearMemTelgr.SetKennung: invalid Kennung");
  Change(kennung_, kennung);
}

void TClearMemTelgr::SetChannel(int32_t channel) {
  if (channel < 1 || channel > 9) throw Exception("TClearMemTelgr.SetChannel: invalid channel");
  Change(channel_, channel);
}

void TClearMemTelgr::WritePayload() {
  data_[1] = ChannelDigit(channel_);
  PutWord(&data_[2], static_cast<uint32_t>(kennung_));
}

TReadOnlTelgr::TReadOnlTelgr() : TOutTelegram(8, "?N") {}

void TReadOnlTelgr::SetKennung(int32_t kennung) {
  CheckKennung(kennung, "TReadOnlTelgr.SetKennung: invalid Kennung");
  Change(kennung_, kennung);
}

void TReadOnlTelgr::WritePayload() { PutWord(&data_[2], static_cast<uint32_t>(kennung_)); }

TReadOnlTelgr_4k::TReadOnlTelgr_4k() : TReadOnlTelgr(9, "?N") {}

void TReadOnlTelgr_4k::SetKanal(int32_t kanal) {
  if (kanal < 1 || kanal > 4) throw Exception("TReadOnlTelgr.SetKanal: invalid channel");
  Change(kanal_, kanal);
}

void TReadOnlTelgr_4k::WritePayload() {
  if (kanal_ < 1 || kanal_ > 4) throw Exception("TReadOnlTelgr.BuildTelegram: invalid channel");
  data_[2] = ChannelDigit(kanal_);
  PutWord(&data_[3], static_cast<uint32_t>(kennung_));
}

void TAckNackOutTelgr::SetCommand(const std::string& text) { Change(command_, text.substr(0, 2)); }

void TAckNackOutTelgr::WritePayload() { std::memcpy(&data_[1], command_.data(), command_.size()); }

// ---- TInTelegram ----

TInTelegram::TInTelegram(int32_t size, std::string start) : TTelegram(size, std::move(start)) { CreatePacket(); }

TInTelegram::~TInTelegram() {
  if (packet_) {
    packet_->OnPacket = nullptr;
    packet_->OnTimeout = nullptr;
  }
}

void TInTelegram::CreatePacket() {
  packet_ = std::make_unique<TSerDataPacket>(nullptr);
  packet_->AutoEnable = false;
  packet_->SetIgnoreCase(false);
  packet_->SetIncludeStrings(true);
  packet_->SetStartCond(scString);
  packet_->SetStartString(LiteralMatchText(GetStartStr()));
  packet_->SetEndCond(TPacketEndSet{ecPacketSize});
  packet_->SetPacketSize(GetSize());
  packet_->OnPacket = [this](TSerDataPacket*, const uint8_t* data, int32_t size) { PacketReceived(data, size); };
  packet_->OnTimeout = [this](TComponent*) { PacketTimedOut(); };
}

void TInTelegram::Listen(TSerCustomComPort* port) {
  if (!port) throw Exception("TInTelegram.Listen: ComPort must not be nil");
  if (listening_) {
    if (packet_->ComPort() != port) throw Exception("TInTelegram.Listen: no change of ComPort while listening");
    return;
  }
  data_valid_ = false;
  packet_->SetComPort(port);
  ResetBuffer();
  ClearData();
  packet_->SetEnabled(true);
  listening_ = true;
}

void TInTelegram::StopListen() {
  if (!listening_) return;
  listening_ = false;
  data_valid_ = false;
  packet_->SetEnabled(false);
  ResetBuffer();
  ClearData();
}

void TInTelegram::DropAnswer() {
  listening_ = false;
  data_valid_ = false;
  packet_->SetEnabled(false);
}

void TInTelegram::SetTimeOut(int32_t seconds) {
  if (packet_ && seconds > 0) packet_->TimeOut = SecondsToTicks(seconds);
}

void TInTelegram::PacketReceived(const uint8_t* data, int32_t size) {
  // A frame delivered after StopListen belongs to no request any more.
  if (!listening_) return;
  const int32_t n = std::clamp<int32_t>(size, 0, GetSize());
  if (n > 0) std::memcpy(data_.data(), data, static_cast<size_t>(n));
  if (n == GetSize() && PassOver()) {
    packet_->SetEnabled(true);
    return;
  }
  listening_ = false;
  bool valid = CheckData();
  // A short frame, or one that does not begin with this type's start string, is not this answer.
  if (valid) {
    valid = n == GetSize() &&
            std::equal(GetStartStr().begin(), GetStartStr().end(), data_.begin(),
                       [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; }) &&
            TelegramCheckSum(data_.data(), GetSize()) == GetWord(&data_[static_cast<size_t>(GetSize() - 2)]);
  }
  data_valid_ = valid;
  if (valid) {
    if (OnValid) OnValid(this);
  } else if (OnInvalid) {
    OnInvalid(this);
  }
}

void TInTelegram::PacketTimedOut() {
  if (!listening_) return;
  listening_ = false;
  data_valid_ = false;
  packet_->SetEnabled(false);
  if (OnInvalid) OnInvalid(this);
}

// ---- in-telegram types ----

std::string TAckNackInTelgr::GetCommand() const {
  if (!DataValid()) throw Exception(ClassName() + ".GetCommand: do not read while data invalid");
  return command_;
}

bool TAckNackInTelgr::PassOver() const {
  return !TakesSpaceRefusal && data_[0] == '#' && data_[1] == ' ' &&
         TelegramCheckSum(data_.data(), GetSize()) == GetWord(&data_[static_cast<size_t>(GetSize() - 2)]);
}

bool TAckNackInTelgr::CheckData() {
  command_.assign(reinterpret_cast<const char*>(&data_[1]), 2);
  return true;
}

bool TReceiveIdTelgr::CheckData() {
  kennung_ = GetWord(&data_[2]);
  switch (data_[4]) {
    case 5: dev_kind_ = 5; break;
    case 40: dev_kind_ = 6; break;
    case 50: dev_kind_ = 7; break;
    default: dev_kind_ = 0; break;
  }
  return true;
}

bool TAckReadEETelgr::CheckData() {
  ee_version_ = data_[3];
  return true;
}

bool TAckReadOffl::CheckData() {
  block_count_ = GetWord(&data_[3]);
  return true;
}

TReceiveOnline::TReceiveOnline() : TReceiveOnline(12, 4, 2) {}

TReceiveOnline::TReceiveOnline(int32_t size, int32_t count, int32_t offset)
    : TInTelegram(size, "?N"), byte_count_(count), offset_(offset), values_(static_cast<size_t>(count), 0) {}

void TReceiveOnline::SetByteCount(int32_t count) {
  if (count % 2 != 0) --count;
  ChangeByteCount(std::clamp<int32_t>(count, 4, 8));
}

void TReceiveOnline::ChangeByteCount(int32_t count) {
  if (count == byte_count_) return;
  byte_count_ = count;
  values_.assign(static_cast<size_t>(count), 0);
  DropAnswer();
}

bool TReceiveOnline::CheckData() {
  if (values_.size() != static_cast<size_t>(byte_count_)) return false;
  std::memcpy(values_.data(), &data_[static_cast<size_t>(offset_)], values_.size());
  return true;
}

void TReceiveOnline::ClearData() { std::fill(values_.begin(), values_.end(), 0); }

void TReceiveOnline_4k::SetByteCount(int32_t count) {
  if (count != 6) throw Exception("TReceiveOnline_4k.SetByteCount() invalid value for byte count!");
}

// ---- TTelgrProtocol ----

void TTelgrProtocol::TelgrSent(TTelegram* sender) {
  Event = evTelgrSent;
  CallProtProc(sender);
}

void TTelgrProtocol::TelgrSendTimeout(TTelegram* sender) {
  Event = evTelgrSendTimeout;
  CallProtProc(sender);
}

void TTelgrProtocol::TelgrValid(TTelegram* sender) {
  Event = evTelgrValid;
  CallProtProc(sender);
}

void TTelgrProtocol::TelgrInvalid(TTelegram* sender) {
  Event = evTelgrInvalid;
  CallProtProc(sender);
}

void TTelgrProtocol::DoneProtocol() {
  // Pending sends hold the port's handlers on top of the protocol's: they go first, newest first.
  for (auto it = out_.rbegin(); it != out_.rend(); ++it) (*it)->EndSend();
  TComProtocol::DoneProtocol();
  for (auto& t : in_) t->StopListen();
}

bool TTelgrProtocol::SendTelegram(TOutTelegram* telegram) {
  Event = evTelgrSent;
  if (telegram->Send(Port)) return true;
  CancelProtocol("", false);
  return false;
}

bool TTelgrProtocol::SendListening(TOutTelegram* telegram, std::initializer_list<TInTelegram*> answers) {
  answers_.assign(answers.begin(), answers.end());
  if (Port && Port->OutBuffFree() >= static_cast<uint32_t>(telegram->GetSize()))
    for (TInTelegram* answer : answers) ListenFor(answer);
  return SendTelegram(telegram);
}

void TTelgrProtocol::ListenForAnswers() {
  for (TInTelegram* answer : answers_) ListenFor(answer);
  ArmTimer(SecondsToTicks(AnswerTimeOut));
}

void TTelgrProtocol::ListenFor(TInTelegram* telegram, int32_t divisor) {
  telegram->SetTimeOut(std::max<int32_t>(1, AnswerTimeOut / divisor));
  telegram->Listen(Port);
}

bool TTelgrProtocol::AskRetry(const std::string& msg, TOutTelegram* telegram) {
  if (telegram->TrialCount >= telegram->Trials) {
    CancelProtocol(msg, true);
    return false;
  }
  uint16_t answer = mrAbort;
  if (MsgHandler)
    answer = MsgHandler->HandleMessage(msg, LoadResString("sco_ComPort"), TMsgDlgType::mtWarning, mbAbort | mbRetry, 0,
                                       mrAbort, true, mkWarning);
  // A Cancel pressed while the question was open has ended the run already.
  if (!Running()) return false;
  if (answer == mrRetry) return true;
  CancelProtocol("", false);
  return false;
}

}  // namespace qv
