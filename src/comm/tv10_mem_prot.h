#pragma once
// The conversations that act on a logger's memory: clearing one channel, and clearing the
// whole memory after the configuration has been read and the owner has agreed.
#include <cstdint>
#include <memory>

#include "comm/com_protocol.h"
#include "comm/telegram.h"
#include "comm/tv10_prot.h"

namespace qv {

// Channels of a device kind, from the sensor catalogue; 0 for an unknown kind.
int32_t Tv10ChannelCount(uint8_t dev_kind);

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
};

}  // namespace qv
