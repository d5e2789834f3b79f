#pragma once
// The conversations that act on a logger's memory: reading the stored blocks of every channel
// from a start date on, reading the memory after the configuration, clearing one channel, and
// clearing the whole memory after the configuration has been read and the owner has agreed.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "comm/com_protocol.h"
#include "comm/telegram.h"
#include "comm/tv10_prot.h"

namespace qv {

// Channels of a device kind, from the sensor catalogue; 0 for an unknown kind.
int32_t Tv10ChannelCount(uint8_t dev_kind);

// Memory block length of a device kind; 0 for an unknown kind.
int32_t Tv10MemBlockLen(uint8_t dev_kind);

// The start date-time of a channel before the owner sets one: 1 January 2000 00:00.
TDateTime Tv10MemReadEpoch();

// Reads the memory blocks of every channel: per channel a pause, a wake-up, "?" + channel,
// "?T" with the channel's start date-time, then the announced blocks, each acknowledged when its
// CRC holds and refused (the logger sends it again) when not.
class TTv10ReadOfflProt : public TTelgrProtocol {
public:
  using TReadDoneEvent = std::function<void(TComProtocol* sender, int32_t last_channel)>;

  TTv10ReadOfflProt();
  ~TTv10ReadOfflProt() override;
  std::string ClassName() const override { return "TTv10ReadOfflProt"; }
  std::string GetName() const override { return "deh_TransmitData"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void DoneProtocol() override;
  void ProtProc(void* sender) override;

  // Channel 1 to 4, else "TTv10ReadOfflProt.GetDateTime: invalid channel" (the same for Set).
  TDateTime GetDateTime(int32_t channel) const;
  void SetDateTime(int32_t channel, TDateTime dt);
  // The block read (BufLen bytes, CRC included) while DataOk, else null.
  const uint8_t* GetBlockData() const { return DataOk ? buffer_.data() : nullptr; }
  int32_t Channel() const { return Prep->Channel(); }

  int32_t Step = 0;
  bool DataOk = false;
  int32_t TryCount = 1;
  int32_t BlockCount = 0;
  int32_t BlockNo = 1;
  int32_t LastPercent = -1;
  uint16_t Kennung = 0;
  int32_t BufLen = 128;
  uint8_t DevKind = 0;
  // Fired for every good block before it is acknowledged.
  TProtocolEvent OnBlockRead;
  TReadDoneEvent OnReadDone;
  std::unique_ptr<TTv10WakeUpProt> WakeUp;
  TPrepReadOffl* Prep;
  TDtReadOffl* DtRead;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;
  TAckReadOffl* AckT;
  TAckOutTelgr* AckOut;
  TNackOutTelgr* NackOut;

private:
  void Retry(const std::string& key);
  void StopListening();
  void StartBlock();
  void DisablePacket();
  void NextChannel();
  void ShowPercent();
  void PauseFirst(void* sender);
  void WakeLogger(void* sender);
  void SendPrepare(void* sender);
  void Prepared(void* sender);
  void BlocksAnnounced(void* sender);
  void BlockStep(void* sender);
  void BlockAcked(void* sender);
  void BlockRefused(void* sender);
  std::unique_ptr<TSerDataPacket> packet_;
  std::vector<uint8_t> buffer_;
  std::array<TDateTime, 4> start_{};
};

// Reads the configuration (the owner takes it in OnConfigRead), lets the owner set the start
// date-times (OnMemStart) and reads the blocks. A kind-7 logger has no memory to read.
class TTv10ReadMemProt : public TComProtocol {
public:
  TTv10ReadMemProt();
  std::string ClassName() const override { return "TTv10ReadMemProt"; }
  std::string GetName() const override { return "deh_ReadMemory"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void ProtProc(void* sender) override;

  // Channel 1 to 4, else "TTv10ReadMemProt.GetDateTime: invalid channel" (the same for Set);
  // a set value goes on to the block read at once.
  TDateTime GetDateTime(int32_t channel) const;
  void SetDateTime(int32_t channel, TDateTime dt);

  int32_t Step = 0;
  uint16_t Kennung = 0;
  uint8_t DevKind = 0;
  uint8_t EEVersion = 0;
  uint8_t MaxEEVersion = 32;
  TProtocolEvent OnConfigRead;
  TProtocolEvent OnMemStart;
  TProtocolEvent OnBlockRead;
  TTv10ReadOfflProt::TReadDoneEvent OnReadDone;
  std::unique_ptr<TTv10RdCfgProt> ReadCfg;
  std::unique_ptr<TTv10ReadOfflProt> ReadOffl;

private:
  void ReadConfig(void* sender);
  void ConfigRead(void* sender);
  void MemoryRead(void* sender);
  std::array<TDateTime, 4> start_{};
};

// Clears the memory of one channel of a logger already awake.
class TTv10ClearChanProt : public TTelgrProtocol {
public:
  TTv10ClearChanProt();
  std::string ClassName() const override { return "TTv10ClearChanProt"; }
  std::string GetName() const override { return "deh_ClearChan"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void ProtProc(void* sender) override;

  int32_t Step = 0;
  uint8_t Channel = 1;
  uint16_t Kennung = 0;
  TClearMemTelgr* Clear;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;

private:
  void Retry(const std::string& key);
  void SendClear(void* sender);
  void Cleared(void* sender);
};

// Reads the configuration, lets the owner confirm (OnClearStart; an EAbort from it cancels),
// wakes the logger once and clears channel after channel. A kind-7 logger keeps its memory.
class TTv10ClearMemProt : public TComProtocol {
public:
  TTv10ClearMemProt();
  std::string ClassName() const override { return "TTv10ClearMemProt"; }
  std::string GetName() const override { return "deh_ClearMemory"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void ProtProc(void* sender) override;

  int32_t Step = 0;
  uint16_t Kennung = 0;
  uint8_t DevKind = 0;
  uint8_t MaxEEVersion = 32;
  uint8_t EEVersion = 0;
  int32_t BufLen = 128;
  TProtocolEvent OnConfigRead;
  TProtocolEvent OnClearStart;
  std::unique_ptr<TTv10RdCfgProt> ReadCfg;
  std::unique_ptr<TTv10WakeUpProt> WakeUp;
  std::unique_ptr<TTv10ClearChanProt> ClearChan;

private:
  void ReadConfig(void* sender);
  void ConfigRead(void* sender);
  void WakeLogger(void* sender);
  void ClearFirst(void* sender);
  void ChannelCleared(void* sender);
};

}  // namespace qv
