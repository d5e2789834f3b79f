#pragma once
// Telegrams: the fixed-size frames the program exchanges with a logger. A frame is an ASCII
// start string, a payload fixed per type (bytes not set are 0) and the 16-bit sum of all bytes
// before it, low byte first. Out-telegrams are sent with a limited number of trials and wait
// for room in the port's output buffer through the port's triggers; in-telegrams listen for
// their answer through a data packet and check its sum.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "comm/com_protocol.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TSerCustomComPort;
class TSerDataPacket;
class TComponent;

// The sum of bytes 0 to size - 3 modulo 65536; 0 for a frame of fewer than 3 bytes.
uint16_t TelegramCheckSum(const uint8_t* frame, int32_t size);

class TTelegram {
public:
  using TTelegramEvent = std::function<void(TTelegram* sender)>;

  TTelegram(int32_t size, std::string start);
  virtual ~TTelegram() = default;
  TTelegram(const TTelegram&) = delete;
  TTelegram& operator=(const TTelegram&) = delete;
  virtual std::string ClassName() const = 0;

  int32_t GetSize() const { return size_; }
  const std::string& GetStartStr() const { return start_; }
  // The frame buffer of GetSize bytes.
  const std::vector<uint8_t>& Data() const { return data_; }

  // Sets bytes 0 to size - 2 to 0 and the last byte to 0xFF.
  void ResetBuffer();

protected:
  void InitBuffer();
  std::vector<uint8_t> data_;

private:
  int32_t size_;
  std::string start_;
};

// ---------------------------------------------------------------------------------------------
// Telegrams sent to the logger.

class TOutTelegram : public TTelegram {
public:
  TOutTelegram(int32_t size, std::string start);
  // Ends a pending send first, giving the port its handlers back.
  ~TOutTelegram() override;

  // Copies the start string, resets TrialCount (unless AutoBuild), writes the payload and the
  // sum, and sets Built; a type whose parameters are missing builds nothing.
  virtual void BuildTelegram();
  void CalcCheckSum();

  // Queues the frame, or waits for room in the output buffer when there is none. False when
  // the trials are used up (reported once as an error); a send beyond that raises.
  bool Send(TSerCustomComPort* port);
  void ResetTrials() { TrialCount = 0; }

  TSerCustomComPort* Port() const { return port_; }
  bool SendPending() const { return send_pending_; }
  // Ends a pending send: the port gets its trigger handlers back and the triggers go.
  void EndSend();

  // Build the frame anew at every send.
  bool AutoBuild = false;
  bool Built = false;
  // Seconds to wait for room in the output buffer.
  int32_t SendTimeOut = 10;
  // Sends since the last build, and the sends permitted.
  int32_t TrialCount = 0;
  int32_t Trials = 10;
  TTelegramEvent OnSent;
  TTelegramEvent OnSendTimeout;

protected:
  // False while a parameter the frame needs is missing.
  virtual bool PayloadReady() const { return true; }
  // What happens to Built when a build finds parameters missing.
  virtual bool KeepBuiltWhenNotReady() const { return true; }
  virtual void WritePayload() {}
  // Stores a changed parameter and rebuilds the frame; an unchanged one changes nothing.
  template <class T, class V>
  void Change(T& field, V value) {
    if (field == static_cast<T>(value)) return;
    field = static_cast<T>(value);
    BuildTelegram();
  }

private:
  void QueueFrame();
  void TimerEvent(TSerCustomComPort* cp, uint16_t handle);
  void OutBuffFreeEvent();

  TSerCustomComPort* port_ = nullptr;
  int32_t timer_handle_ = 0;
  std::function<void(TSerCustomComPort*, uint16_t)> saved_timer_;
  int32_t status_handle_ = 0;
  std::function<void(TComponent*)> saved_outbuff_free_;
  bool send_pending_ = false;
};

// "&S": the identify request.
class TScanTelgr : public TOutTelegram {
public:
  TScanTelgr();
  std::string ClassName() const override { return "TScanTelgr"; }
};

// Year - 2000, month, day, hour, minute and second at payload offsets 2 to 7. The second is
// rounded up from 500 ms without a carry into the minute, as the loggers expect.
void WriteDateTimePayload(uint8_t* payload, TDateTime dt, bool clamp_year);

// "&T": sets the logger's clock to the PC's local time at the moment the frame is queued.
class TSetDtOutTelgr : public TOutTelegram {
public:
  TSetDtOutTelgr();
  std::string ClassName() const override { return "TSetDtOutTelgr"; }
  // The clock read at each build; the system's local time when null.
  const TWallClock* Clock = nullptr;

protected:
  void WritePayload() override;
};

// "?E" + Kennung: requests the configuration block.
class TReadEETelgr : public TOutTelegram {
public:
  TReadEETelgr();
  std::string ClassName() const override { return "TReadEETelgr"; }
  int32_t Kennung() const { return kennung_; }
  // 0 to 65535, else Exception "TReadEETelgr.SetKennung: invalid Kennung"; a change rebuilds.
  void SetKennung(int32_t kennung);

protected:
  TReadEETelgr(int32_t size, std::string start) : TOutTelegram(size, std::move(start)) {}
  bool PayloadReady() const override { return kennung_ != 0; }
  void WritePayload() override;
  int32_t kennung_ = 0;
};

// "%E": announces a configuration write with the module's EE version and the Kennung.
class TPreWriteEETelgr : public TOutTelegram {
public:
  TPreWriteEETelgr();
  std::string ClassName() const override { return "TPreWriteEETelgr"; }
  int32_t Kennung() const { return kennung_; }
  void SetKennung(int32_t kennung);
  uint8_t ConfigByte() const { return config_byte_; }
  void SetConfigByte(uint8_t value);

protected:
  bool PayloadReady() const override { return kennung_ != 0; }
  bool KeepBuiltWhenNotReady() const override { return false; }
  void WritePayload() override;

private:
  int32_t kennung_ = 0;
  uint8_t config_byte_ = 0;
};

// "%R": one chunk of eight configuration bytes.
class TWriteEEData : public TOutTelegram {
public:
  TWriteEEData();
  std::string ClassName() const override { return "TWriteEEData"; }
  // The next eight source bytes (not owned); always rebuilds.
  void SetData(const uint8_t* data);

protected:
  bool PayloadReady() const override { return source_ != nullptr; }
  bool KeepBuiltWhenNotReady() const override { return false; }
  void WritePayload() override;

private:
  const uint8_t* source_ = nullptr;
};

// "?" + channel digit + Kennung: prepares the memory read of one channel.
class TPrepReadOffl : public TReadEETelgr {
public:
  TPrepReadOffl();
  std::string ClassName() const override { return "TPrepReadOffl"; }
  uint8_t Channel() const { return channel_; }
  // 1 to 9, else Exception "TPrepReadOffl.SetChannel: invalid channel".
  void SetChannel(int32_t channel);

protected:
  bool PayloadReady() const override { return kennung_ != 0 && channel_ != 0; }
  void WritePayload() override;

private:
  uint8_t channel_ = 0;
};

// "?T": the start date and time of a memory read.
class TDtReadOffl : public TOutTelegram {
public:
  TDtReadOffl();
  std::string ClassName() const override { return "TDtReadOffl"; }
  TDateTime DateTime() const { return date_time_; }
  // Year 2000 to 2255, else Exception "TDtReadOffl.SetDateTime: invalid date".
  void SetDateTime(TDateTime dt);

protected:
  bool PayloadReady() const override;
  void WritePayload() override;

private:
  TDateTime date_time_ = 0;
};

// "%" + channel digit + Kennung: clears the memory of one channel.
class TClearMemTelgr : public TOutTelegram {
public:
  TClearMemTelgr();
  std::string ClassName() const override { return "TClearMemTelgr"; }
  int32_t Kennung() const { return kennung_; }
  void SetKennung(int32_t kennung);
  uint8_t Channel() const { return channel_; }
  void SetChannel(int32_t channel);

protected:
  bool PayloadReady() const override { return kennung_ != 0 && channel_ != 0; }
  void WritePayload() override;

private:
  int32_t kennung_ = 0;
  uint8_t channel_ = 0;
};

// "?N" + Kennung: requests the current values of all channels.
class TReadOnlTelgr : public TOutTelegram {
public:
  TReadOnlTelgr();
  std::string ClassName() const override { return "TReadOnlTelgr"; }
  int32_t Kennung() const { return kennung_; }
  void SetKennung(int32_t kennung);

protected:
  TReadOnlTelgr(int32_t size, std::string start) : TOutTelegram(size, std::move(start)) {}
  bool PayloadReady() const override { return kennung_ != 0; }
  void WritePayload() override;
  int32_t kennung_ = 0;
};

// "?N" + channel digit + Kennung: requests the current values of one channel.
class TReadOnlTelgr_4k : public TReadOnlTelgr {
public:
  TReadOnlTelgr_4k();
  std::string ClassName() const override { return "TReadOnlTelgr_4k"; }
  uint8_t Kanal() const { return kanal_; }
  // 1 to 4, else Exception "TReadOnlTelgr.SetKanal: invalid channel".
  void SetKanal(int32_t kanal);

protected:
  bool PayloadReady() const override { return kennung_ != 0 && kanal_ != 0; }
  void WritePayload() override;

private:
  uint8_t kanal_ = 0;
};

// "$" or "#" + a two-character command: the program's acknowledge of a logger's answer.
class TAckNackOutTelgr : public TOutTelegram {
public:
  const std::string& Command() const { return command_; }
  // Takes the first two characters of the text; a change rebuilds.
  void SetCommand(const std::string& text);

protected:
  explicit TAckNackOutTelgr(std::string start) : TOutTelegram(5, std::move(start)) {}
  void WritePayload() override;

private:
  std::string command_;
};

class TAckOutTelgr : public TAckNackOutTelgr {
public:
  TAckOutTelgr() : TAckNackOutTelgr("$") {}
  std::string ClassName() const override { return "TAckOutTelgr"; }
};

class TNackOutTelgr : public TAckNackOutTelgr {
public:
  TNackOutTelgr() : TAckNackOutTelgr("#") {}
  std::string ClassName() const override { return "TNackOutTelgr"; }
};

// ---------------------------------------------------------------------------------------------
// Telegrams received from the logger.

class TInTelegram : public TTelegram {
public:
  TInTelegram(int32_t size, std::string start);
  ~TInTelegram() override;

  // Starts listening for one frame on the port. Exception "TInTelegram.Listen: ComPort must not
  // be nil" without a port, "TInTelegram.Listen: no change of ComPort while listening" while
  // listening on another; listening again on the same port does nothing.
  void Listen(TSerCustomComPort* port);
  void StopListen();
  // The packet's time-out in seconds (from the start string on); ignored unless positive.
  void SetTimeOut(int32_t seconds);

  bool Listening() const { return listening_; }
  bool DataValid() const { return data_valid_; }
  TSerDataPacket* Packet() const { return packet_.get(); }

  TTelegramEvent OnValid;
  TTelegramEvent OnInvalid;

  // A received frame: parsed, then checked; OnValid or OnInvalid fires. Frames that come while
  // not listening are dropped.
  void PacketReceived(const uint8_t* data, int32_t size);

protected:
  // Parses the payload into the fields; false when it cannot.
  virtual bool CheckData() { return true; }
  // A whole frame of this type that answers no request of this listener: passed over, and the
  // listening goes on.
  virtual bool PassOver() const { return false; }
  virtual void ClearData() {}
  // Forgets the answer and stops listening.
  void DropAnswer();

private:
  void CreatePacket();
  void PacketTimedOut();

  std::unique_ptr<TSerDataPacket> packet_;
  bool listening_ = false;
  bool data_valid_ = false;
};

// "$" or "#" + the two command characters answered.
class TAckNackInTelgr : public TInTelegram {
public:
  // The command; raises "<class>.GetCommand: do not read while data invalid" while the data
  // are not valid.
  std::string GetCommand() const;

  // The logger refuses each space it hears while awake ("#", the space, one more byte). That is the answer
  // the wake-up listens for (true); any other listener passes over it (false): it answers a space
  // sent before the logger had woken, and may come after the wake-up has ended.
  bool TakesSpaceRefusal = false;

protected:
  explicit TAckNackInTelgr(std::string start) : TInTelegram(5, std::move(start)) {}
  bool CheckData() override;
  bool PassOver() const override;
  void ClearData() override { command_.clear(); }

private:
  std::string command_;
};

class TAckInTelgr : public TAckNackInTelgr {
public:
  TAckInTelgr() : TAckNackInTelgr("$") {}
  std::string ClassName() const override { return "TAckInTelgr"; }
};

class TNackInTelgr : public TAckNackInTelgr {
public:
  TNackInTelgr() : TAckNackInTelgr("#") {}
  std::string ClassName() const override { return "TNackInTelgr"; }
};

// "&S" + Kennung + type code: the logger's identity.
class TReceiveIdTelgr : public TInTelegram {
public:
  TReceiveIdTelgr() : TInTelegram(7, "&S") {}
  std::string ClassName() const override { return "TReceiveIdTelgr"; }
  uint16_t Kennung() const { return kennung_; }
  // 5, 6 or 7 for the type codes 5, 40 and 50; 0 for any other code.
  uint8_t DevKind() const { return dev_kind_; }

protected:
  bool CheckData() override;
  void ClearData() override { kennung_ = 0, dev_kind_ = 0; }

private:
  uint16_t kennung_ = 0;
  uint8_t dev_kind_ = 0;
};

// "$?E" + EE version: the answer to "?E" before the configuration block.
class TAckReadEETelgr : public TInTelegram {
public:
  TAckReadEETelgr() : TInTelegram(7, "$?E") {}
  std::string ClassName() const override { return "TAckReadEETelgr"; }
  uint8_t EEVersion() const { return ee_version_; }

protected:
  bool CheckData() override;
  void ClearData() override { ee_version_ = 0; }

private:
  uint8_t ee_version_ = 0;
};

// "$?T" + block count: the answer to "?T" before the memory blocks.
class TAckReadOffl : public TInTelegram {
public:
  TAckReadOffl() : TInTelegram(7, "$?T") {}
  std::string ClassName() const override { return "TAckReadOffl"; }
  uint16_t BlockCount() const { return block_count_; }

protected:
  bool CheckData() override;
  void ClearData() override { block_count_ = 0; }

private:
  uint16_t block_count_ = 0;
};

// "?N" + up to eight value bytes: the current values of all channels.
class TReceiveOnline : public TInTelegram {
public:
  TReceiveOnline();
  std::string ClassName() const override { return "TReceiveOnline"; }
  int32_t ByteCount() const { return byte_count_; }
  // An odd count is lowered by one, then clamped to 4 to 8.
  virtual void SetByteCount(int32_t count);
  // The value bytes while the data are valid, else null.
  const uint8_t* GetValues() const { return DataValid() ? values_.data() : nullptr; }

protected:
  TReceiveOnline(int32_t size, int32_t count, int32_t offset);
  bool CheckData() override;
  void ClearData() override;
  void ChangeByteCount(int32_t count);

private:
  int32_t byte_count_;
  int32_t offset_;
  std::vector<uint8_t> values_;
};

// "?N" + channel + six value bytes: the current values of one channel.
class TReceiveOnline_4k : public TReceiveOnline {
public:
  TReceiveOnline_4k() : TReceiveOnline(11, 6, 3) {}
  std::string ClassName() const override { return "TReceiveOnline_4k"; }
  // Only 6; anything else raises "TReceiveOnline_4k.SetByteCount() invalid value for byte count!".
  void SetByteCount(int32_t count) override;
};

// ---------------------------------------------------------------------------------------------

// A protocol that turns telegram events into its event codes 50 to 53. It also knows the
// telegrams it sends, so that its end gives the port back only after their sends have ended,
// and so that a retry stops once the repeated telegram has used its trials.
class TTelgrProtocol : public TComProtocol {
public:
  std::string ClassName() const override { return "TTelgrProtocol"; }

  void TelgrSent(TTelegram* sender);
  void TelgrSendTimeout(TTelegram* sender);
  void TelgrValid(TTelegram* sender);
  void TelgrInvalid(TTelegram* sender);

  void DoneProtocol() override;

protected:
  // Binds OnSent and OnSendTimeout to TelgrSent and TelgrSendTimeout and registers the
  // telegram; returns it.
  template <class T>
  T* AddOut(std::unique_ptr<T> telegram) {
    T* t = telegram.get();
    t->OnSent = [this](TTelegram* s) { TelgrSent(s); };
    t->OnSendTimeout = [this](TTelegram* s) { TelgrSendTimeout(s); };
    out_.push_back(std::move(telegram));
    return t;
  }
  // Binds OnValid and OnInvalid to TelgrValid and TelgrInvalid and registers the telegram.
  template <class T>
  T* AddIn(std::unique_ptr<T> telegram) {
    T* t = telegram.get();
    t->OnValid = [this](TTelegram* s) { TelgrValid(s); };
    t->OnInvalid = [this](TTelegram* s) { TelgrInvalid(s); };
    in_.push_back(std::move(telegram));
    return t;
  }
  // Sends with Event preset to 50; a send refused because its trials are used up ends the run
  // (the refusal has been reported), since nothing would ever answer it. False then.
  bool SendTelegram(TOutTelegram* telegram);
  // SendTelegram with the request's answers listened for before it goes out: a quick logger
  // may answer before the send returns, and bytes that come while nothing listens are dropped.
  // A request that has to wait for room in the output buffer is listened for once it is sent,
  // by the step that takes event 50 (listening again there changes nothing).
  bool SendListening(TOutTelegram* telegram, std::initializer_list<TInTelegram*> answers);

public:
  // The step after a SendListening: its answers are listened for (again) and the protocol's
  // timer guards them with the answer time-out.
  void ListenForAnswers();

protected:
  // Listens on the protocol's port with the answer time-out of the protocols:
  // max(1, seconds div divisor) (3 for answers, 4 for the wake-up's).
  void ListenFor(TInTelegram* telegram, int32_t divisor = 3);
  // The retry question for a failure the user may repeat: true when the user asked to send
  // telegram again; otherwise the run has been cancelled.
  bool AskRetry(const std::string& msg, TOutTelegram* telegram);

  const std::vector<std::unique_ptr<TOutTelegram>>& OutTelegrams() const { return out_; }
  const std::vector<std::unique_ptr<TInTelegram>>& InTelegrams() const { return in_; }

private:
  std::vector<std::unique_ptr<TOutTelegram>> out_;
  std::vector<std::unique_ptr<TInTelegram>> in_;
  std::vector<TInTelegram*> answers_;  // of the last SendListening
};

}  // namespace qv
